#pragma once
// The stay as the check-out popup tells it: hours, minutes and seconds by the tariff unit.

#include "base/uDateTime.h"
#include "frontdesk/uTarvoRecords.h"

#include <QString>

#include <cstdint>

namespace Tarvo {

// Words of the units ("h", "min", "sec" in English; translated through the message catalogue).
struct TDurationWords {
    QString m_sHour;
    QString m_sMin;
    QString m_sSec;
    // The catalogue's current texts.
    static TDurationWords FromCatalogue();
};

// Text of a stay of ASeconds whole seconds:
//   minute: "1 h. 16 min" (the hours part only when there are hours), half a minute rounds up;
//   hour:   "1 h", from the whole minutes, half an hour rounds up;
//   second: "1 h. 15 min. 30 sec" (hours and minutes only when not zero).
// A negative span (the clock was put back) counts as no time at all.
QString DurationText(std::int64_t ASeconds, TTariffication AUnit, const TDurationWords& AWords);
// The stay between two moments, rounded to the nearest whole second (halves to even).
std::int64_t StaySeconds(TDateTime AArrival, TDateTime ADeparture);
// Both in one, with the catalogue's words.
QString DurationText(TDateTime AArrival, TDateTime ADeparture, TTariffication AUnit);

} // namespace Tarvo
