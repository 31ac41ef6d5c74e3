#pragma once
// The front desk's settings dialog.

class QWidget;
namespace Tarvo {
class TTarvoDoc;
}

// Runs the settings dialog modally on ADoc; true when closed with OK.
bool ExecSettingsDlg(QWidget* AOwner, Tarvo::TTarvoDoc& ADoc);
