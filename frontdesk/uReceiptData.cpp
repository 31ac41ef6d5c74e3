#include "frontdesk/uReceiptData.h"

#include "frontdesk/uTarvoRecords.h"

namespace Tarvo {

TReceiptData MakeReceiptData(int AIdx, const TRepItem& ARow) {
    TReceiptData r;
    r.m_nReceiptN = AIdx;
    if (ARow.m_pCard)
        r.m_Card = *ARow.m_pCard;
    r.m_dtTimeIn = ARow.m_dtTimeIn;
    r.m_dtTimeOut = ARow.m_dtTimeOut;
    r.m_nSum = ARow.m_nSum;
    r.m_fReserv = ARow.m_fReserv;
    r.m_dtRFrom = ARow.m_dtRFrom;
    r.m_dtRTo = ARow.m_dtRTo;
    r.m_fRAllDay = ARow.m_fRAllDay;
    r.m_fRConst = ARow.m_fRConst;
    return r;
}

} // namespace Tarvo
