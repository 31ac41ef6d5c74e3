#pragma once
// The receipt window of one finished visit.

class QWidget;
namespace Tarvo {
class TTarvoDoc;
struct TReceiptData;
} // namespace Tarvo

// Shows the receipt modally (owned by AOwner when given). With AAutoPrint the window prints itself
// and closes.
void ExecReceiptDlg(QWidget* AOwner, Tarvo::TTarvoDoc& ADoc, const Tarvo::TReceiptData& AData, bool AAutoPrint);
