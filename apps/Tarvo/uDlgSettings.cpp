#include "apps/Tarvo/uDlgSettings.h"

// Placeholder until the settings dialog exists.
bool ExecSettingsDlg(QWidget*, Tarvo::TTarvoDoc&) { return false; }
