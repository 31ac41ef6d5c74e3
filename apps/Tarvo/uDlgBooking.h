#pragma once
// The booking dialog of a guest inside and the comment dialog of a check-in log entry.

#include "base/uDateTime.h"

class QWidget;
namespace Tarvo {
class TTarvoDoc;
class TInUser;
} // namespace Tarvo

// Books AUser (a guest of ADoc's guests-inside list); true when closed with OK.
bool ExecBookingDlg(QWidget* AOwner, Tarvo::TTarvoDoc& ADoc, Tarvo::TInUser& AUser);
// Edits the comment of the check-in logged at ATime; true when closed with OK.
bool ExecLogItemDlg(QWidget* AOwner, Tarvo::TTarvoDoc& ADoc, TDateTime ATime);
