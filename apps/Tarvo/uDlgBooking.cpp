#include "apps/Tarvo/uDlgBooking.h"

// Placeholders until the dialogs exist.
bool ExecBookingDlg(QWidget*, Tarvo::TTarvoDoc&, Tarvo::TInUser&) { return false; }
bool ExecLogItemDlg(QWidget*, Tarvo::TTarvoDoc&, TDateTime) { return false; }
