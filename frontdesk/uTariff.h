#pragma once
// Records of the tariff walk: the priced segments of a stay, the booking a stay was made on and the
// breakdown of a finished stay's amount, as the check-out and the receipt need them.

#include "base/uDateTime.h"

#include <cstdint>
#include <limits>
#include <vector>

namespace Tarvo {

// AccPrice value that leaves segment amounts unrounded.
inline constexpr std::int32_t TARIFF_ACC_UNROUNDED = std::numeric_limits<std::int32_t>::max();

// One step of the walk over the time zones: the units spent in one zone.
struct TTariffSegment {
    int m_nZone = -1;          // index into the document's TZs
    TDateTime m_dtFrom = 0;    // start, on the unit grid: the rounded time-in, then each zone's start
    std::int64_t m_nUnits = 0; // tariff units charged in the zone (0 for a zone shorter than a unit)
    Extended m_nPrice = 0;     // unit price for the card's level
    Extended m_nSum = 0;       // the segment's amount, rounded to the price accuracy
};
using TTariffSegments = std::vector<TTariffSegment>;

// The booking of a guest (TInUser) or of a finished visit (TRepItem).
struct TStayBooking {
    bool m_fReserv = false;  // the stay was booked
    TDateTime m_dtRFrom = 0; // only the times of day count
    TDateTime m_dtRTo = 0;
    bool m_fRAllDay = false;
};

template <class TItem> TStayBooking StayBookingOf(const TItem& AItem) {
    return TStayBooking{AItem.m_fReserv, AItem.m_dtRFrom, AItem.m_dtRTo, AItem.m_fRAllDay};
}

// How a finished stay was charged.
enum TStayKind : std::int32_t {
    STAY_ZONES = 0,     // not booked: the stay by the time zones
    STAY_DAY_FIXED = 1, // booked for the whole day at the day price
    STAY_DAY_ZONES = 2, // booked for the whole day without a day price: the booked interval by the zones
    STAY_BOOKED = 3,    // booked for a time range: the booked interval by the zones, plus overdue units
};

// The breakdown of a finished stay's amount.
struct TStayBill {
    TStayKind m_nKind = STAY_ZONES;
    TDateTime m_dtFrom = 0; // interval priced by the zones (the stay or the booked interval)
    TDateTime m_dtTo = 0;
    TTariffSegments m_aSegments;      // the walk over that interval; empty for STAY_DAY_FIXED
    Extended m_nZonesSum = 0;         // the segments' sum, or the day price for STAY_DAY_FIXED
    std::int64_t m_nOverdueUnits = 0; // STAY_BOOKED: units after the booking's end
    Extended m_nOverdueSum = 0;       // m_nOverdueUnits x OverdueCost, not rounded
    Extended m_nSum = 0;              // before entrance fee and minimum
    Extended m_nTotal = 0;            // the amount charged
};

} // namespace Tarvo
