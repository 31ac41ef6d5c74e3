#pragma once
// The day's report as exported: the report list's columns without the first (the photo mark), a header
// row of the list's captions, then the visits in the list's current order. Column 1 is each visit's own
// number, columns 4 to 7 the texts the list shows; column 2 is the card's user name or key text in the
// key display form, column 3 the card's own comment (the list shows the check-in's comment there).

#include "base/uListExport.h"
#include "frontdesk/uViewData.h"

namespace Tarvo {

// ACaptions: the report list's column captions, the photo column's first.
TTextRows ReportExportRows(TRepViewData& AData, const TTarvoDoc& ADoc, const QStringList& ACaptions);
// The report list's captions in English, for a program without the list window.
QStringList ReportListCaptions();

} // namespace Tarvo
