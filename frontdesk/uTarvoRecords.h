#pragma once
// Records of the front desk's business day (events, guests inside, finished visits), their owning
// lists, the tariff unit and the base-station output settings.

#include "base/uDateTime.h"
#include "base/uExceptions.h"
#include "base/uRecords.h"

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace Tarvo {

// The unit a stay is billed in.
enum TTariffication : std::int32_t { TARIF_SECOND = 0, TARIF_MINUTE = 1, TARIF_HOUR = 2 };

// One line of the day's event log. The card belongs to the document's card list.
class TLogItem {
public:
    TDateTime m_dtTime = 0;
    TCard* m_pCard = nullptr;
    bool m_fIn = false;  // check-in; false: check-out
    Extended m_nSum = 0; // amount charged at a check-out
    QString m_sComment;  // operator's comment
};

// A guest inside now.
class TInUser {
public:
    TCard* m_pCard = nullptr;
    TDateTime m_dtTime = 0; // check-in
    bool m_fReserv = false; // came on a booking
    TDateTime m_dtRFrom = 0;
    TDateTime m_dtRTo = 0;
    bool m_fRAllDay = false;
};

// A finished visit of the day's report.
class TRepItem {
public:
    TCard* m_pCard = nullptr;
    TDateTime m_dtTimeIn = 0;
    TDateTime m_dtTimeOut = 0;
    Extended m_nSum = 0;
    bool m_fReserv = false;
    TDateTime m_dtRFrom = 0;
    TDateTime m_dtRTo = 0;
    bool m_fRAllDay = false;
    bool m_fRConst = false;
};

// The day's owning lists.
class TInUserList : public TOwningList<TInUser> {};
class TRepList : public TOwningList<TRepItem> {};
class TLogList : public TOwningList<TLogItem> {};

// Orders log items by the time of day of their moment (date ignored, equal within one millisecond).
class TLogTimeComparer {
public:
    static int Compare(const TLogItem& ALeft, const TLogItem& ARight) {
        return CompareTimeOfDay(ALeft.m_dtTime, ARight.m_dtTime);
    }
};

// Outputs of the base-station reader, in bit order: green LED, red LED, beeper, 12 V power.
inline constexpr int KORVEL_OUTPUT_COUNT = 4;
inline constexpr std::array<const char*, KORVEL_OUTPUT_COUNT> KORVEL_OUTPUT_NAMES = {"LedG", "LedR", "Beep",
                                                                                     "Power"};

// The base station's output settings for one event side.
struct TKorvelOutputs {
    std::uint32_t m_nKorvelOutputs = 0;                              // bit i: output i is used
    std::uint32_t m_nKorvelInit = 0;                                 // bit i: output i is on when idle
    std::array<std::uint32_t, KORVEL_OUTPUT_COUNT> m_aKorvelTimes{}; // pulse of output i, milliseconds
    bool operator==(const TKorvelOutputs&) const = default;
};

// Element 0: entry side, element 1: exit side.
using TKorvelOutputsArray = std::array<TKorvelOutputs, 2>;

} // namespace Tarvo
