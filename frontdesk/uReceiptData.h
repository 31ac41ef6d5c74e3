#pragma once
// The data of one finished visit that a receipt is printed from. A check-out popup carries one, so a
// click on the popup can still show the receipt after the report has moved on.

#include "base/uDateTime.h"
#include "base/uRecords.h"

namespace Tarvo {

class TRepItem;

struct TReceiptData {
    int m_nReceiptN = -1; // report row index, the receipt number
    TCard m_Card;         // a copy: the card list may be reloaded while a popup is still up
    TDateTime m_dtTimeIn = 0;
    TDateTime m_dtTimeOut = 0;
    Extended m_nSum = 0;
    bool m_fReserv = false;
    TDateTime m_dtRFrom = 0;
    TDateTime m_dtRTo = 0;
    bool m_fRAllDay = false;
    bool m_fRConst = false;
};

// The record for report row AIdx (its fields copied from ARow).
TReceiptData MakeReceiptData(int AIdx, const TRepItem& ARow);

} // namespace Tarvo
