#pragma once
// The receipt of one finished visit without any window: its rows (the charge per tariff time zone, per
// booking and overdue), its total, and the page text filled into the HTML template by element id.

#include "base/uDateTime.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace Tarvo {

class TTarvoDoc;
struct TReceiptData;

// One line of the charges table.
struct TRcptRec {
    QString m_sCaption;         // empty for a plain visit
    TDateTime m_dtFrom = 0;     // start of the period the row covers
    std::int64_t m_nTUnits = 0; // billing units; 0 for a fixed-price row
    Extended m_nPrice = 0;      // price of one unit
    Extended m_nSum = 0;        // the row's amount
};
using TRcptRecDynArray = std::vector<TRcptRec>;

// Element ids of the template that the page filling replaces.
inline constexpr const char* RCPT_ID_HEAD = "rcptHead";
inline constexpr const char* RCPT_ID_DATE = "rcptDate";
inline constexpr const char* RCPT_ID_TITLE = "rcptTitle";
inline constexpr const char* RCPT_ID_USER = "rcptUserName";
inline constexpr const char* RCPT_ID_TABLE = "rcptTable";
inline constexpr const char* RCPT_ID_FOOT = "rcptFoot";

// The rows of the visit AData, priced by ADoc's current tariff through the same walk the check-out
// billed with, into VRecs (cleared first). The result is the receipt total. A constant whole-day
// booking is one row at the visit's charged sum, which already holds the entrance fee and the minimum,
// so that total is the charged sum itself.
Extended BuildReceiptRows(const TTarvoDoc& ADoc, const TReceiptData& AData, TRcptRecDynArray& VRecs);

// HTML-escapes AText (" & < >) and turns every CR LF into "<br>".
QString ReceiptHtmlText(const QString& AText);
// "hh:nn - hh:nn" of a row with units: from its start to its start plus its units, both to the minute.
QString ReceiptRowPeriod(const TRcptRec& ARec, const TTarvoDoc& ADoc);
// The charges table as HTML: head, a row per receipt row, the entrance fee and minimum notes, the total.
QString ReceiptTableHtml(const TTarvoDoc& ADoc, const TRcptRecDynArray& ARecs, Extended ATotal);
// The tax note: "%%" gives "%", "%1" the tax rate, "%2" the tax contained in the total with two
// decimals; a "%" before any other character is dropped and the character kept.
QString ReceiptTaxNote(const QString& AText, Extended ANDS, Extended ATotal);

// Replaces the content of the element with id AId by AInnerHtml; false (AHtml unchanged) when the page
// has no such element or it has no closing tag.
bool SetElementContent(QString& VHtml, const QString& AId, const QString& AInnerHtml);
// The template ATemplate filled for the visit: header, report date, number, guest, table, tax note.
// Elements the template lacks are skipped.
QString FillReceiptPage(const QString& ATemplate, const TTarvoDoc& ADoc, const TReceiptData& AData,
                        const TRcptRecDynArray& ARecs, Extended ATotal);

// The printer a receipt goes to: AConfigured when it is one of AInstalled, else ADefault; empty when
// there is no printer at all (ADefault empty). The system's default printer is never changed.
QString ChooseReceiptPrinter(const QString& AConfigured, const QStringList& AInstalled,
                             const QString& ADefault);
// File name of the receipt saved as PDF: "Receipt-yyyymmdd-hhnnss-<number>.pdf" by the departure.
QString ReceiptPdfFileName(const TReceiptData& AData);

} // namespace Tarvo
