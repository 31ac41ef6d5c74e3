#include "frontdesk/uReportExport.h"

#include "base/uKeyNum.h"

namespace Tarvo {

TTextRows ReportExportRows(TRepViewData& AData, const TTarvoDoc& ADoc, const QStringList& ACaptions) {
    TTextRows lRows = ListRows(AData, ACaptions, 1);
    for (int r = 0; r < AData.GetCount(); ++r) {
        QStringList& lRow = lRows[size_t(r) + 1];
        const int lIdx = AData.GetItemDocIndex(r);
        const TCard* lCard =
            lIdx >= 0 && lIdx < ADoc.Report().Count() ? ADoc.Report().Get(lIdx)->m_pCard : nullptr;
        // A visit whose card is gone has neither.
        lRow[1] = lCard ? UserOrKeyText(lCard->m_sUserName, lCard->m_Number, ADoc.KeyView()) : QString();
        lRow[2] = lCard ? lCard->m_sComment : QString();
    }
    return lRows;
}

QStringList ReportListCaptions() {
    return {QStringLiteral("Camera"),   QStringLiteral("#"),     QStringLiteral("User name"),
            QStringLiteral("Comment"),  QStringLiteral("Level"), QStringLiteral("Time In"),
            QStringLiteral("Time Out"), QStringLiteral("Sum")};
}

} // namespace Tarvo
