#pragma once
// The first-start offer of the front desk (see frontdesk/uFirstStart.h for when it is made).

class QWidget;

namespace Tarvo {

// Shows the offer when this start calls for it. "Start ConfigTarvo" starts the configuration program
// (hand-over, /N) and returns false: the front desk then ends. "Continue" (or Escape) returns true, as
// does a start without the offer or a configuration program that could not be started (reported).
bool OfferFirstStartSetup(QWidget* AParent = nullptr);

} // namespace Tarvo
