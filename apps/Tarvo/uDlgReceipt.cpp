#include "apps/Tarvo/uDlgReceipt.h"

// Placeholder until the receipt window exists.
void ExecReceiptDlg(QWidget*, Tarvo::TTarvoDoc&, const Tarvo::TReceiptData&, bool) {}
