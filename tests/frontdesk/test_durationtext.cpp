// The stay as the check-out popup tells it, for the three tariff units.

#include "frontdesk/uDurationText.h"

#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

using namespace Tarvo;

namespace {

struct TDurationCase {
    std::int64_t m_nSeconds;
    TTariffication m_nUnit;
    const char* m_pText;
};

TEST(DurationText, ByTariffUnit) {
    const TDurationWords words{QStringLiteral("h"), QStringLiteral("min"), QStringLiteral("sec")};
    const TDurationCase cases[] = {
        {4530, TARIF_MINUTE, "1 h. 16 min"},
        {4530, TARIF_HOUR, "1 h"},
        {4530, TARIF_SECOND, "1 h. 15 min. 30 sec"},
        // Half a minute rounds up.
        {29, TARIF_MINUTE, "0 min"},
        {30, TARIF_MINUTE, "1 min"},
        {3599, TARIF_MINUTE, "1 h. 0 min"},
        // Hours from the whole minutes: 89 min 29 s is 89 min, 89 min 30 s is 90 min.
        {89 * 60 + 29, TARIF_HOUR, "1 h"},
        {89 * 60 + 30, TARIF_HOUR, "2 h"},
        {0, TARIF_HOUR, "0 h"},
        // Per second: zero hours and minutes are left out, the seconds always shown.
        {0, TARIF_SECOND, "0 sec"},
        {59, TARIF_SECOND, "59 sec"},
        {3600, TARIF_SECOND, "1 h. 0 sec"},
        {3661, TARIF_SECOND, "1 h. 1 min. 1 sec"},
        {25 * 3600, TARIF_MINUTE, "25 h. 0 min"},
        // A clock put back makes no negative stay.
        {-95, TARIF_SECOND, "0 sec"},
        {-95, TARIF_MINUTE, "0 min"},
    };
    for (const TDurationCase& c : cases) {
        SCOPED_TRACE(c.m_nSeconds);
        EXPECT_EQ(DurationText(c.m_nSeconds, c.m_nUnit, words), QString::fromUtf8(c.m_pText));
    }
}

TEST(DurationText, TranslatedWordsAreUsed) {
    const TDurationWords words{QStringLiteral("ч"), QStringLiteral("мин"), QStringLiteral("сек")};
    EXPECT_EQ(DurationText(4530, TARIF_SECOND, words), QStringLiteral("1 ч. 15 мин. 30 сек"));
}

TEST(DurationText, StayRoundsToTheNearestSecond) {
    const TDateTime in = MakeDateTime(2020, 3, 5, 10, 0, 0);
    EXPECT_EQ(StaySeconds(in, MakeDateTime(2020, 3, 5, 11, 15, 30)), 4530);
    EXPECT_EQ(StaySeconds(in, MakeDateTime(2020, 3, 5, 10, 0, 29, 499)), 29);
    EXPECT_EQ(StaySeconds(in, MakeDateTime(2020, 3, 5, 10, 0, 29, 501)), 30);
    // Across midnight.
    EXPECT_EQ(StaySeconds(MakeDateTime(2020, 3, 5, 23, 59, 0), MakeDateTime(2020, 3, 6, 0, 1, 0)), 120);
    EXPECT_EQ(DurationText(in, MakeDateTime(2020, 3, 5, 11, 15, 30), TARIF_MINUTE),
              QStringLiteral("1 h. 16 min"));
}

} // namespace
