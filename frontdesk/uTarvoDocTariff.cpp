// Billing arithmetic of the front desk: the zone in force, unit prices by card level, rounding of
// amounts and moments, the walk of a stay over the tariff time zones and the amount of a finished stay.
// Nothing here changes the document.

#include "frontdesk/uTarvoDoc.h"

#include "base/uMoney.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <utility>

namespace Tarvo {

namespace {

constexpr std::int64_t cMSecsPerDay = 86400000;

// The calendar's first and last day (0001-01-01 and 9999-12-31); a moment of a stay lies within them.
constexpr double cFirstDay = -693593.0;
constexpr double cLastDay = 2958465.0;

bool IsCalendarMoment(TDateTime AValue) {
    return AValue > cFirstDay - 1.0 && AValue < cLastDay + 1.0; // false for NaN as well
}

void CheckStayMoment(TDateTime AValue) {
    if (!IsCalendarMoment(AValue))
        throw EConvertError(QStringLiteral("Invalid moment of a stay: %1").arg(AValue));
}

// The moment to the nearest millisecond, as the date-time comparisons take it. Only for calendar
// moments (the product stays far inside the 64-bit range).
std::int64_t MsOf(TDateTime AValue) {
    return std::llround(AValue * MSecsPerDay);
}

// Millisecond of the day. Moments before 1899-12-30 carry their time of day as a positive fraction.
std::int64_t MsOfDay(TDateTime AValue) {
    return std::llabs(MsOf(AValue)) % cMSecsPerDay;
}

// AValue / AUnit to the nearest whole number, an exact half to the even neighbour.
std::int64_t DivRoundHalfEven(std::int64_t AValue, std::int64_t AUnit) {
    const bool lNegative = AValue < 0;
    const std::int64_t lAbs = lNegative ? -AValue : AValue;
    std::int64_t lQuot = lAbs / AUnit;
    const std::int64_t lTwiceRem = 2 * (lAbs % AUnit);
    if (lTwiceRem > AUnit || (lTwiceRem == AUnit && (lQuot & 1) != 0))
        ++lQuot;
    return lNegative ? -lQuot : lQuot;
}

// The least q with AValue * 2^q a whole number (INT_MIN for 0): the binary places the value needs.
int BinaryPlaces(Extended AValue) {
    if (AValue == 0)
        return INT_MIN;
    int lExp = 0;
    const Extended lMant = std::frexp(std::fabs(AValue), &lExp); // [0.5, 1)
    const auto lBits = static_cast<std::uint64_t>(std::ldexp(lMant, 64));
    return 64 - lExp - __builtin_ctzll(lBits);
}

} // namespace

// ---- moments ---------------------------------------------------------------------------------------

std::int64_t TTarvoDoc::UnitMSecs(TTariffication AUnit) {
    switch (AUnit) {
    case TARIF_MINUTE:
        return 60000;
    case TARIF_HOUR:
        return 3600000;
    default:
        return 1000;
    }
}

std::int64_t TTarvoDoc::SecondsToUnits(std::int64_t ASeconds, TTariffication AUnit) {
    switch (AUnit) {
    case TARIF_MINUTE:
        return (ASeconds + 30) / 60;
    case TARIF_HOUR:
        // Through whole minutes first: 1770 s are 30 min and so one hour.
        return ((ASeconds + 30) / 60 + 30) / 60;
    default:
        return ASeconds;
    }
}

TDateTime TTarvoDoc::RoundToUnit(TDateTime ADateTime, TTariffication AUnit) {
    // Far outside the calendar there is nothing sensible to round; such values pass unchanged.
    if (!(std::fabs(ADateTime) < 1e8))
        return ADateTime;
    const std::int64_t lUnit = UnitMSecs(AUnit);
    const std::int64_t lMs = MsOf(ADateTime);
    const std::int64_t lDay = lMs / cMSecsPerDay; // towards zero, as the date of the moment
    std::int64_t lMsOfDay = std::llabs(lMs) % cMSecsPerDay;
    const std::int64_t lBelow = lMsOfDay % lUnit;
    lMsOfDay -= lBelow;
    if (2 * lBelow > lUnit) // exactly half a unit rounds down
        lMsOfDay += lUnit;
    if (lMsOfDay == cMSecsPerDay)
        return double(lDay + 1);
    const double lFraction = double(lMsOfDay) / MSecsPerDay;
    return lMs < 0 ? double(lDay) - lFraction : double(lDay) + lFraction;
}

TDateTime TTarvoDoc::RoundToSeconds(TDateTime ADateTime) {
    return RoundToUnit(ADateTime, TARIF_SECOND);
}

TDateTime TTarvoDoc::RoundToMinutes(TDateTime ADateTime) {
    return RoundToUnit(ADateTime, TARIF_MINUTE);
}

TDateTime TTarvoDoc::RoundToHours(TDateTime ADateTime) {
    return RoundToUnit(ADateTime, TARIF_HOUR);
}

// ---- zones and prices ------------------------------------------------------------------------------

int TTarvoDoc::FindTzByTime(TDateTime ATime) const {
    int lResult = m_oTZs.Count() - 1;
    for (int i = 0; i < m_oTZs.Count(); ++i) {
        if (CompareTimeOfDay(m_oTZs.GetZone(i)->m_tStartTime, ATime) > 0)
            return lResult;
        lResult = i;
    }
    return lResult;
}

std::int64_t TTarvoDoc::GetTzSeconds(int AIdx) const {
    TARVO_ASSERT(AIdx >= 0 && AIdx < m_oTZs.Count(), "uTarvoDoc");
    const std::int64_t lStart = MsOfDay(m_oTZs.GetZone(AIdx)->m_tStartTime);
    const std::int64_t lEnd = AIdx + 1 < m_oTZs.Count()
                                  ? MsOfDay(m_oTZs.GetZone(AIdx + 1)->m_tStartTime)
                                  : MsOfDay(m_oTZs.GetZone(0)->m_tStartTime) + cMSecsPerDay;
    return std::llabs(lEnd - lStart) / 1000;
}

Extended TTarvoDoc::CalcPrice(Extended ABaseCost, Extended AMinCost, std::int32_t ALevel) const {
    // Without levels above 0 every card is at level 0 and pays the base cost.
    if (m_nMaxLevel <= 0)
        return ABaseCost;
    // A level outside 0..MaxLevel would price below the minimum cost or above the base cost.
    const std::int32_t lLevel = std::clamp(ALevel, 0, m_nMaxLevel);
    return ABaseCost - (ABaseCost - AMinCost) * Extended(lLevel) / Extended(m_nMaxLevel);
}

Extended TTarvoDoc::CalcSum(Extended ATotal, Extended APrice, std::int32_t AAccPrice) {
    const Extended lProduct = ATotal * APrice;
    if (AAccPrice == TARIFF_ACC_UNROUNDED)
        return lProduct;
    return RoundHalfAwayFromZero(lProduct, AAccPrice);
}

Extended TTarvoDoc::CalcSum3(Extended ASum) const {
    Extended lResult = ASum;
    if (m_nEntrance != 0)
        lResult += m_nEntrance;
    if (m_nMinAmount > lResult)
        lResult = m_nMinAmount;
    return lResult;
}

// ---- the walk over the zones -----------------------------------------------------------------------

Extended TTarvoDoc::CalcSum2(TDateTime ATimeIn, TDateTime ATimeOut, std::int32_t ALevel,
                             TTariffSegments* VSegments) const {
    if (VSegments)
        VSegments->clear();
    CheckStayMoment(ATimeIn);
    CheckStayMoment(ATimeOut);
    const int lCount = m_oTZs.Count();
    if (lCount == 0)
        return 0;
    // A check-out before the check-in (the clock was set back) is billed for the same span, walked
    // from the earlier moment so that each unit is priced in the zone it lies in.
    if (MsOf(ATimeOut) < MsOf(ATimeIn))
        std::swap(ATimeIn, ATimeOut);

    const TTariffication lTariff = m_nTariff;
    const std::int64_t lUnitMs = UnitMSecs(lTariff);
    // On whole milliseconds, so that an exact half unit is a half and goes to the even neighbour.
    std::int64_t lLeft = DivRoundHalfEven(MsOf(ATimeOut) - MsOf(ATimeIn), lUnitMs);

    const TDateTime lStart = RoundToUnit(ATimeIn, lTariff);
    int lZone = FindTzByTime(lStart);
    const std::int64_t lZoneStart = MsOfDay(m_oTZs.GetZone(lZone)->m_tStartTime);
    std::int64_t lT = MsOfDay(lStart);
    if (lT < lZoneStart) // before the first zone's start: in the last zone, which runs over midnight
        lT += cMSecsPerDay;

    std::vector<std::int64_t> lLen(static_cast<size_t>(lCount));
    std::vector<Extended> lPrice(static_cast<size_t>(lCount));
    std::int64_t lDayUnits = 0;
    for (int i = 0; i < lCount; ++i) {
        const TTarvoTimeZone* lTz = m_oTZs.GetZone(i);
        lLen[size_t(i)] = SecondsToUnits(GetTzSeconds(i), lTariff);
        lPrice[size_t(i)] = CalcPrice(lTz->m_nBaseCost, lTz->m_nMinCost, ALevel);
        lDayUnits += lLen[size_t(i)];
    }
    std::int64_t lFirst = 0;
    if (lDayUnits > 0) {
        lFirst = lLen[size_t(lZone)] - SecondsToUnits((lT - lZoneStart) / 1000, lTariff);
    } else {
        // Every zone is shorter than half a unit, so each zone's own rounding leaves the day empty and
        // the walk would never end. Then a unit belongs to the zone in force at its start: a zone counts
        // the unit boundaries (multiples of the unit from midnight) that fall inside it.
        const auto lUnitsBefore = [lUnitMs](std::int64_t AMs) { return (AMs + lUnitMs - 1) / lUnitMs; };
        for (int i = 0; i < lCount; ++i) {
            const std::int64_t lFrom = MsOfDay(m_oTZs.GetZone(i)->m_tStartTime);
            const std::int64_t lTo = lFrom + GetTzSeconds(i) * 1000;
            lLen[size_t(i)] = lUnitsBefore(lTo) - lUnitsBefore(lFrom);
        }
        const std::int64_t lZoneEnd = lZoneStart + GetTzSeconds(lZone) * 1000;
        lFirst = lUnitsBefore(lZoneEnd) - lT / lUnitMs;
        lDayUnits = cMSecsPerDay / lUnitMs;
    }
    lFirst = std::max<std::int64_t>(lFirst, 0);

    Extended lSum = 0;
    std::int64_t lDone = 0; // units walked so far, for the segments' start moments
    const auto lAdd = [&](int AZone, std::int64_t AUnits) {
        const Extended lPriceOf = lPrice[size_t(AZone)];
        const Extended lAmount = CalcSum(Extended(AUnits), lPriceOf, m_nAccPrice);
        if (VSegments) {
            const TDateTime lFrom = lStart + double(lDone * lUnitMs) / MSecsPerDay;
            VSegments->push_back(TTariffSegment{AZone, lFrom, AUnits, lPriceOf, lAmount});
        }
        lSum += lAmount;
        lDone += AUnits;
        lLeft -= AUnits;
    };

    lAdd(lZone, std::min(lFirst, lLeft));
    // Whole rounds of the day are alike; when their sum adds exactly, a long stay takes them at once
    // instead of zone by zone. Only without segments: the receipt wants every one of them.
    if (!VSegments && lLeft > lDayUnits) {
        const std::int64_t lRounds = (lLeft - 1) / lDayUnits; // leaves at least one unit to walk
        Extended lRoundSum = 0;
        Extended lRoundAbs = 0;
        int lPlaces = BinaryPlaces(lSum);
        bool lFinite = std::isfinite(lSum);
        for (int i = 1; i <= lCount; ++i) {
            const int lZ = (lZone + i) % lCount;
            const Extended lAmount = CalcSum(Extended(lLen[size_t(lZ)]), lPrice[size_t(lZ)], m_nAccPrice);
            lFinite = lFinite && std::isfinite(lAmount);
            lPlaces = std::max(lPlaces, BinaryPlaces(lAmount));
            lRoundSum += lAmount;
            lRoundAbs += std::fabs(lAmount);
        }
        // Every amount is a multiple of 2^-places; while every partial sum stays below 2^62 such steps,
        // each addition of the walk is exact, so the rounds' total is the sum the walk would reach.
        if (lFinite && lPlaces < 16000) {
            const Extended lBound = std::fabs(lSum) + Extended(lRounds) * lRoundAbs;
            if (lPlaces == INT_MIN || std::ldexp(lBound, lPlaces) < 0x1p62L) {
                lSum += Extended(lRounds) * lRoundSum;
                lLeft -= lRounds * lDayUnits;
            }
        }
    }
    while (lLeft > 0) {
        lZone = (lZone + 1) % lCount;
        lAdd(lZone, std::min(lLen[size_t(lZone)], lLeft));
    }
    return lSum;
}

// ---- a finished stay -------------------------------------------------------------------------------

Extended TTarvoDoc::CalcStayAmount(TDateTime ATimeIn, TDateTime ANow, std::int32_t ALevel,
                                   const TStayBooking& ABooking, TStayBill* VBill) const {
    CheckStayMoment(ANow);
    TStayBill lBill;
    TTariffSegments* lSegments = VBill ? &lBill.m_aSegments : nullptr;
    const TDate lRepDate = _GetRepDateForTime(ANow, m_tStartDay);

    if (!ABooking.m_fReserv) {
        lBill.m_nKind = STAY_ZONES;
        lBill.m_dtFrom = ATimeIn;
        lBill.m_dtTo = ANow;
        lBill.m_nZonesSum = CalcSum2(ATimeIn, ANow, ALevel, lSegments);
    } else if (ABooking.m_fRAllDay) {
        // The booked day's interval; an end before the start is on the next day.
        lBill.m_dtFrom = lRepDate + TimeOf(ABooking.m_dtRFrom);
        lBill.m_dtTo = lRepDate + TimeOf(ABooking.m_dtRTo);
        if (CompareDateTimeMs(lBill.m_dtFrom, lBill.m_dtTo) > 0)
            lBill.m_dtTo += 1.0;
        if (m_nDayCost != 0) {
            lBill.m_nKind = STAY_DAY_FIXED;
            lBill.m_nZonesSum = m_nDayCost;
        } else {
            lBill.m_nKind = STAY_DAY_ZONES;
            lBill.m_nZonesSum = CalcSum2(lBill.m_dtFrom, lBill.m_dtTo, ALevel, lSegments);
        }
    } else {
        lBill.m_nKind = STAY_BOOKED;
        // An end before the start of the business day lies in its small hours, on the next date.
        lBill.m_dtTo = lRepDate + TimeOf(ABooking.m_dtRTo);
        if (CompareTimeOfDay(ABooking.m_dtRTo, m_tStartDay) < 0)
            lBill.m_dtTo += 1.0;
        lBill.m_dtFrom = DateOf(lBill.m_dtTo) + TimeOf(ABooking.m_dtRFrom);
        if (CompareDateTimeMs(lBill.m_dtFrom, lBill.m_dtTo) > 0)
            lBill.m_dtFrom -= 1.0;
        lBill.m_nZonesSum = CalcSum2(lBill.m_dtFrom, lBill.m_dtTo, ALevel, lSegments);
        if (CompareDateTimeMs(ANow, lBill.m_dtTo) > 0) {
            const std::int64_t lOverMs = MsOf(RoundToUnit(ANow, m_nTariff)) - MsOf(lBill.m_dtTo);
            // Rounding the check-out can fall before an end off the unit grid: no overdue then.
            lBill.m_nOverdueUnits =
                std::max<std::int64_t>(DivRoundHalfEven(lOverMs, UnitMSecs(m_nTariff)), 0);
            lBill.m_nOverdueSum = Extended(lBill.m_nOverdueUnits) * m_nOverdueCost;
        }
    }
    lBill.m_nSum = lBill.m_nZonesSum + lBill.m_nOverdueSum;
    lBill.m_nTotal = CalcSum3(lBill.m_nSum);
    const Extended lTotal = lBill.m_nTotal;
    if (VBill)
        *VBill = std::move(lBill);
    return lTotal;
}

} // namespace Tarvo
