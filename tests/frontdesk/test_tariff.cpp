// Billing: the zone in force, unit prices by level, rounding of amounts and moments, the walk of a stay
// over the time zones (multi-day wraps, empty zones, long stays), bookings and the amount of a visit.

#include "frontdesk/uTarvoDoc.h"

#include "base/uMemXml.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

using namespace Tarvo;

namespace {

struct TZoneDef {
    QString m_sStart;
    QString m_sBase;
    QString m_sMin; // empty: the base cost
};

// Zone index and units of one segment.
using TSegs = std::vector<std::pair<int, std::int64_t>>;

TSegs SegsOf(const TTariffSegments& ASegments) {
    TSegs lResult;
    for (const TTariffSegment& lSeg : ASegments)
        lResult.emplace_back(lSeg.m_nZone, lSeg.m_nUnits);
    return lResult;
}

TDateTime At(int ADay, int AHour, int AMin = 0, int ASec = 0, int AMSec = 0) {
    return MakeDateTime(2024, 3, ADay, AHour, AMin, ASec, AMSec);
}

class TTariffTest : public ::testing::Test {
protected:
    // The zones as the data file gives them and, unless AMaxLevel is negative (no card list, so the
    // highest level stays 10), one card whose level becomes the highest level.
    void Load(const std::vector<TZoneDef>& AZones, int AMaxLevel = 10,
              const QString& AStartDay = QStringLiteral("00:00")) {
        QString lBody =
            QStringLiteral("<Main><StartDayTime>%1</StartDayTime></Main><TimeZones>").arg(AStartDay);
        int lId = 1;
        for (const TZoneDef& lZone : AZones)
            lBody += QStringLiteral("<Item%1 name=\"Z\" startTime=\"%2\" baseCost=\"%3\" minCost=\"%4\"/>")
                         .arg(lId++)
                         .arg(lZone.m_sStart, lZone.m_sBase,
                              lZone.m_sMin.isEmpty() ? lZone.m_sBase : lZone.m_sMin);
        lBody += QStringLiteral("</TimeZones>");
        if (AMaxLevel >= 0)
            lBody += QStringLiteral("<Cards><Item1 number=\"0A0B0C\" level=\"%1\"/></Cards>").arg(AMaxLevel);
        TMemXml lXml(QString(), TXmlEncoding::Utf8);
        lXml.SetText(
            QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Tarvo version=\"1.2\">%1</Tarvo>")
                .arg(lBody));
        m_oDoc.LoadFromXml(lXml);
        ASSERT_FALSE(m_oDoc.LoadFailed()) << m_oDoc.LoadError().toStdString();
        ASSERT_EQ(m_oDoc.TZs().Count(), int(AZones.size()));
        ASSERT_EQ(m_oDoc.MaxLevel(), AMaxLevel < 0 ? 10 : AMaxLevel);
    }
    // The tariff settings; the load resets them.
    void Settings(TTariffication AUnit, std::int32_t AAcc = 0, Extended AEntrance = 0, Extended AMin = 0) {
        m_oDoc.SetTariffication(AUnit);
        m_oDoc.SetAccPrice(AAcc);
        m_oDoc.SetEntrance(AEntrance);
        m_oDoc.SetMinAmount(AMin);
    }

    TLocaleOverride m_oLocale;
    TTarvoDoc m_oDoc;
};

const std::vector<TZoneDef> cDayEvening = {{"08:00", "3", ""}, {"20:00", "5", ""}};

} // namespace

// The examples of billing by the zones, each with its segments: rounding of the time-in and of the
// duration, the zone in force before the first start, wraps past midnight, levels, empty zones, the
// hour unit's per-zone rounding and the price accuracy of each segment.
TEST_F(TTariffTest, StaysByTheZones) {
    struct TCase {
        const char* m_sName;
        std::vector<TZoneDef> m_aZones;
        int m_nMaxLevel;
        TTariffication m_nUnit;
        std::int32_t m_nAcc;
        std::int32_t m_nLevel;
        TDateTime m_dtIn, m_dtOut;
        Extended m_nSum;
        TSegs m_aSegs;
    };
    const std::vector<TZoneDef> lOneZone = {{"00:00", "2", "1"}};
    const TCase cCases[] = {
        {"89 min 50 s is 90 minutes at 2",
         lOneZone,
         10,
         TARIF_MINUTE,
         0,
         0,
         At(10, 10, 0, 20),
         At(10, 11, 30, 10),
         180,
         {{0, 90}}},
        {"level 5 of 10 pays 1.5",
         lOneZone,
         10,
         TARIF_MINUTE,
         0,
         5,
         At(10, 10, 0, 20),
         At(10, 11, 30, 10),
         135,
         {{0, 90}}},
        {"highest level pays the minimum cost",
         lOneZone,
         10,
         TARIF_MINUTE,
         0,
         10,
         At(10, 10),
         At(10, 11),
         60,
         {{0, 60}}},
        {"no card list keeps the highest level 10",
         lOneZone,
         -1,
         TARIF_MINUTE,
         0,
         10,
         At(10, 10),
         At(10, 11),
         60,
         {{0, 60}}},
        {"all cards at level 0 pay the base cost",
         lOneZone,
         0,
         TARIF_MINUTE,
         0,
         0,
         At(10, 10),
         At(10, 11),
         120,
         {{0, 60}}},
        {"day into evening zone",
         cDayEvening,
         10,
         TARIF_MINUTE,
         0,
         0,
         At(10, 19, 30),
         At(10, 20, 45),
         315,
         {{0, 30}, {1, 45}}},
        {"before the first start the evening zone is in force",
         cDayEvening,
         10,
         TARIF_MINUTE,
         0,
         0,
         At(10, 3),
         At(10, 9),
         1680,
         {{1, 300}, {0, 60}}},
        {"26 hours round the clock",
         cDayEvening,
         10,
         TARIF_MINUTE,
         0,
         0,
         At(10, 10),
         At(11, 12),
         6120,
         {{0, 600}, {1, 720}, {0, 240}}},
        {"single zone over three days",
         lOneZone,
         10,
         TARIF_MINUTE,
         0,
         0,
         At(10, 10),
         At(13, 10),
         8640,
         {{0, 840}, {0, 1440}, {0, 1440}, {0, 600}}},
        {"equal starts: the later zone is in force, the earlier is empty",
         {{"08:00", "3", ""}, {"08:00", "3", ""}, {"20:00", "5", ""}},
         10,
         TARIF_MINUTE,
         0,
         0,
         At(10, 10),
         At(11, 12),
         6120,
         {{1, 600}, {2, 720}, {0, 0}, {1, 240}}},
        {"hour unit: a zone of 10 h 30 min counts 11 hours",
         {{"08:00", "1", ""}, {"18:30", "100", ""}},
         10,
         TARIF_HOUR,
         0,
         0,
         At(10, 17),
         At(10, 20),
         102,
         {{0, 2}, {1, 1}}},
        {"hour unit: one day is 11 + 13 of the zones' 11 + 14 hours",
         {{"08:00", "1", ""}, {"18:30", "100", ""}},
         10,
         TARIF_HOUR,
         0,
         0,
         At(10, 8),
         At(11, 8),
         1311,
         {{0, 11}, {1, 13}}},
        {"hour unit: 10:40 starts at 11:00, 1.5 h is 2 h",
         lOneZone,
         10,
         TARIF_HOUR,
         0,
         0,
         At(10, 10, 40),
         At(10, 12, 10),
         4,
         {{0, 2}}},
        {"seconds: 10.5 s is 10 (half to even)",
         {{"00:00", "0.5", ""}},
         10,
         TARIF_SECOND,
         0,
         0,
         At(10, 10, 0, 0, 400),
         At(10, 10, 0, 10, 900),
         5,
         {{0, 10}}},
        {"seconds: 11.5 s is 12 (half to even)",
         {{"00:00", "0.5", ""}},
         10,
         TARIF_SECOND,
         0,
         0,
         At(10, 10),
         At(10, 10, 0, 11, 500),
         6,
         {{0, 12}}},
        {"minutes: 30 s is 0 units",
         lOneZone,
         10,
         TARIF_MINUTE,
         0,
         0,
         At(10, 10),
         At(10, 10, 0, 30),
         0,
         {{0, 0}}},
        {"minutes: 90 s is 2 units",
         lOneZone,
         10,
         TARIF_MINUTE,
         0,
         0,
         At(10, 10),
         At(10, 10, 1, 30),
         4,
         {{0, 2}}},
        {"accuracy 1: 125 becomes 130",
         {{"00:00", "1", ""}},
         10,
         TARIF_MINUTE,
         1,
         0,
         At(10, 10),
         At(10, 12, 5),
         130,
         {{0, 125}}},
        {"accuracy 1: each segment rounds, 124 + 124 is 240",
         {{"08:00", "1", ""}, {"10:04", "1", ""}, {"12:08", "1", ""}},
         10,
         TARIF_MINUTE,
         1,
         0,
         At(10, 8),
         At(10, 12, 8),
         240,
         {{0, 124}, {1, 124}}},
        {"unrounded",
         {{"00:00", "1.25", ""}},
         10,
         TARIF_MINUTE,
         TARIFF_ACC_UNROUNDED,
         0,
         At(10, 10),
         At(10, 10, 7),
         8.75L,
         {{0, 7}}},
        {"accuracy 0 rounds 8.75 up",
         {{"00:00", "1.25", ""}},
         10,
         TARIF_MINUTE,
         0,
         0,
         At(10, 10),
         At(10, 10, 7),
         9,
         {{0, 7}}},
    };
    for (const TCase& lCase : cCases) {
        SCOPED_TRACE(lCase.m_sName);
        Load(lCase.m_aZones, lCase.m_nMaxLevel);
        Settings(lCase.m_nUnit, lCase.m_nAcc);
        TTariffSegments lSegs;
        EXPECT_EQ(m_oDoc.CalcSum2(lCase.m_dtIn, lCase.m_dtOut, lCase.m_nLevel, &lSegs), lCase.m_nSum);
        EXPECT_EQ(SegsOf(lSegs), lCase.m_aSegs);
        Extended lTotal = 0;
        for (const TTariffSegment& lSeg : lSegs)
            lTotal += lSeg.m_nSum;
        EXPECT_EQ(lTotal, lCase.m_nSum);
        // Without segments the same amount.
        EXPECT_EQ(m_oDoc.CalcSum2(lCase.m_dtIn, lCase.m_dtOut, lCase.m_nLevel), lCase.m_nSum);
    }
}

// Segments start on the unit grid: the rounded time-in, then each zone's start; prices per segment.
TEST_F(TTariffTest, SegmentsCarryStartAndPrice) {
    Load({{"08:00", "3", "1"}, {"20:00", "5", "3"}});
    Settings(TARIF_HOUR);
    TTariffSegments lSegs;
    // 13.5 h is 14 h (half to even); 10:40 rounds to 11:00, which leaves 9 h of the day zone.
    EXPECT_EQ(m_oDoc.CalcSum2(At(10, 10, 40), At(11, 0, 10), 5, &lSegs), 9 * 2 + 5 * 4);
    ASSERT_EQ(SegsOf(lSegs), (TSegs{{0, 9}, {1, 5}}));
    EXPECT_TRUE(SameDateTimeMs(lSegs[0].m_dtFrom, At(10, 11)));
    EXPECT_TRUE(SameDateTimeMs(lSegs[1].m_dtFrom, At(10, 20)));
    EXPECT_EQ(lSegs[0].m_nPrice, 2);
    EXPECT_EQ(lSegs[1].m_nPrice, 4);
    EXPECT_EQ(lSegs[0].m_nSum, 18);
    EXPECT_EQ(lSegs[1].m_nSum, 20);
}

// A check-out before the check-in (clock set back) is billed for the same span in the zones it covers,
// not for the span walked onwards from the later moment.
TEST_F(TTariffTest, ReversedMomentsBillTheSpanBetweenThem) {
    Load(cDayEvening);
    Settings(TARIF_MINUTE);
    TTariffSegments lForward, lBackward;
    EXPECT_EQ(m_oDoc.CalcSum2(At(10, 3), At(10, 9), 0, &lForward), 1680);
    EXPECT_EQ(m_oDoc.CalcSum2(At(10, 9), At(10, 3), 0, &lBackward), 1680);
    EXPECT_EQ(SegsOf(lBackward), SegsOf(lForward));
}

TEST_F(TTariffTest, InvalidMomentsAreRejected) {
    Load(cDayEvening);
    Settings(TARIF_MINUTE);
    const double lNaN = std::numeric_limits<double>::quiet_NaN();
    const double lInf = std::numeric_limits<double>::infinity();
    const TStayBooking lNone;
    for (const double lBad : {lNaN, lInf, -lInf, 1e7, -1e6}) {
        SCOPED_TRACE(lBad);
        EXPECT_THROW(m_oDoc.CalcSum2(lBad, At(10, 9), 0), EConvertError);
        EXPECT_THROW(m_oDoc.CalcSum2(At(10, 9), lBad, 0), EConvertError);
        EXPECT_THROW(m_oDoc.CalcStayAmount(At(10, 9), lBad, 0, lNone), EConvertError);
    }
    // The calendar's ends are still moments.
    EXPECT_NO_THROW(m_oDoc.CalcSum2(MakeDateTime(1, 1, 1, 10), MakeDateTime(1, 1, 1, 11), 0));
    EXPECT_NO_THROW(m_oDoc.CalcSum2(MakeDateTime(9999, 12, 31, 10), MakeDateTime(9999, 12, 31, 23, 59), 0));
}

TEST_F(TTariffTest, WithoutZonesNothingIsInForceAndStaysCostTheEntranceFee) {
    Load({});
    Settings(TARIF_MINUTE, 0, 50);
    EXPECT_EQ(m_oDoc.FindTzByTime(At(10, 10)), -1);
    TTariffSegments lSegs{TTariffSegment{}};
    EXPECT_EQ(m_oDoc.CalcSum2(At(10, 10), At(10, 12), 0, &lSegs), 0);
    EXPECT_TRUE(lSegs.empty());
    EXPECT_EQ(m_oDoc.CalcStayAmount(At(10, 10), At(10, 12), 0, TStayBooking{}), 50);
    EXPECT_THROW(m_oDoc.GetTzSeconds(0), EAssertionFailed);
}

TEST_F(TTariffTest, ZoneInForceAndZoneLengths) {
    Load({{"08:00", "1", ""}, {"08:00", "2", ""}, {"20:00", "3", ""}});
    const struct {
        TDateTime m_dtTime;
        int m_nZone;
    } cFind[] = {
        {At(10, 0), 2},
        {At(10, 7, 59, 59, 999), 2},
        {At(10, 7, 59, 59, 999) + 0.6 / MSecsPerDay, 1}, // to the millisecond it is the start
        {At(10, 8), 1},                                  // equal starts: the later one in the list
        {At(10, 19, 59), 1},
        {At(10, 20), 2},
        {At(10, 23, 59, 59, 999), 2},
        {EncodeTime(9, 0, 0, 0), 1}, // the date is ignored
    };
    for (const auto& lCase : cFind)
        EXPECT_EQ(m_oDoc.FindTzByTime(lCase.m_dtTime), lCase.m_nZone) << lCase.m_dtTime;
    EXPECT_EQ(m_oDoc.GetTzSeconds(0), 0);
    EXPECT_EQ(m_oDoc.GetTzSeconds(1), 43200);
    EXPECT_EQ(m_oDoc.GetTzSeconds(2), 43200); // over midnight to the first start
    EXPECT_THROW(m_oDoc.GetTzSeconds(-1), EAssertionFailed);
    EXPECT_THROW(m_oDoc.GetTzSeconds(3), EAssertionFailed);

    Load({{"06:30", "1", ""}});
    EXPECT_EQ(m_oDoc.FindTzByTime(At(10, 3)), 0);
    EXPECT_EQ(m_oDoc.GetTzSeconds(0), 86400);
}

TEST_F(TTariffTest, UnitPriceByLevel) {
    const struct {
        int m_nMaxLevel;
        std::int32_t m_nLevel;
        Extended m_nPrice;
    } cCases[] = {
        {10, 0, 2},    {10, 5, 1.5L}, {10, 10, 1},
        {4, 1, 1.75L}, {10, 12, 1}, // above the highest level: the minimum cost, not less
        {10, -3, 2},                // below 0: the base cost, not more
        {0, 0, 2},                  // every card at level 0: the base cost
    };
    for (const auto& lCase : cCases) {
        SCOPED_TRACE(testing::Message() << lCase.m_nMaxLevel << " " << lCase.m_nLevel);
        Load({}, lCase.m_nMaxLevel);
        EXPECT_EQ(m_oDoc.CalcPrice(2, 1, lCase.m_nLevel), lCase.m_nPrice);
    }
}

// Rounding of a segment amount to the price accuracy, halves away from zero.
TEST_F(TTariffTest, SegmentAmountRounding) {
    const Extended lThird = 1.0L / 3.0L;
    const struct {
        Extended m_nTotal, m_nPrice;
        std::int32_t m_nAcc;
        Extended m_nExpected;
        Extended m_nTolerance; // 0: exact
    } cCases[] = {
        {125, 1, 1, 130, 0},
        {124, 1, 1, 120, 0},
        {-125, 1, 1, -130, 0},
        {-124, 1, 1, -120, 0},
        {5, 0.5L, 0, 3, 0},
        {3, 0.5L, 0, 2, 0}, // away from zero, not to even
        {-5, 0.5L, 0, -3, 0},
        {149, 1, 2, 100, 0},
        {150, 1, 2, 200, 0},
        {250, 1, 2, 300, 0},
        {0, 5, 0, 0, 0},
        {7, 1.25L, TARIFF_ACC_UNROUNDED, 8.75L, 0},
        {1, lThird, TARIFF_ACC_UNROUNDED, lThird, 0},
        {1, 0.126L, -2, 0.13L, 1e-17L},
        {1, 0.124L, -2, 0.12L, 1e-17L},
        {1, -0.126L, -2, -0.13L, 1e-17L},
        {1, lThird, -2, 0.33L, 1e-17L},
        {2, lThird, -3, 0.667L, 1e-17L},
        {123, 1, 5000, 0, 0},          // a step beyond any amount: everything rounds to 0
        {1, lThird, -5000, lThird, 0}, // a step finer than extended holds: nothing to round
    };
    for (const auto& lCase : cCases) {
        SCOPED_TRACE(testing::Message()
                     << double(lCase.m_nTotal) << " x " << double(lCase.m_nPrice) << " acc " << lCase.m_nAcc);
        const Extended lSum = TTarvoDoc::CalcSum(lCase.m_nTotal, lCase.m_nPrice, lCase.m_nAcc);
        if (lCase.m_nTolerance == 0)
            EXPECT_EQ(lSum, lCase.m_nExpected);
        else
            EXPECT_LE(std::fabs(lSum - lCase.m_nExpected), lCase.m_nTolerance) << double(lSum);
    }
}

TEST_F(TTariffTest, EntranceFeeAndMinimum) {
    const struct {
        Extended m_nSum, m_nEntrance, m_nMin, m_nExpected;
    } cCases[] = {
        {0, 0, 0, 0},       {0, 50, 0, 50},     {0, 0, 100, 100},
        {40, 50, 100, 100}, {80, 50, 100, 130}, {150, 0, 100, 150},
    };
    Load(cDayEvening);
    for (const auto& lCase : cCases) {
        Settings(TARIF_MINUTE, 0, lCase.m_nEntrance, lCase.m_nMin);
        EXPECT_EQ(m_oDoc.CalcSum3(lCase.m_nSum), lCase.m_nExpected)
            << double(lCase.m_nSum) << " " << double(lCase.m_nEntrance) << " " << double(lCase.m_nMin);
    }
    // A stay of 0 units costs the entrance fee, or the minimum when that is higher.
    Settings(TARIF_MINUTE, 0, 50, 0);
    EXPECT_EQ(m_oDoc.CalcStayAmount(At(10, 10), At(10, 10, 0, 20), 0, TStayBooking{}), 50);
    Settings(TARIF_MINUTE, 0, 50, 100);
    EXPECT_EQ(m_oDoc.CalcStayAmount(At(10, 10), At(10, 10, 0, 20), 0, TStayBooking{}), 100);
}

TEST(TTariffRounding, MomentsToTheUnit) {
    const struct {
        TDateTime m_dtIn;
        TTariffication m_nUnit;
        TDateTime m_dtOut;
    } cCases[] = {
        {At(10, 10, 0, 30, 0), TARIF_MINUTE, At(10, 10, 0)},
        {At(10, 10, 0, 30, 1), TARIF_MINUTE, At(10, 10, 1)},
        {At(10, 10, 0, 29, 999), TARIF_MINUTE, At(10, 10, 0)},
        {At(10, 10, 30, 0, 0), TARIF_HOUR, At(10, 10)},
        {At(10, 10, 30, 0, 1), TARIF_HOUR, At(10, 11)},
        {At(10, 10, 0, 0, 500), TARIF_SECOND, At(10, 10)},
        {At(10, 10, 0, 0, 501), TARIF_SECOND, At(10, 10, 0, 1)},
        {At(10, 23, 59, 45), TARIF_MINUTE, At(11, 0)},
        {At(10, 23, 59, 59, 600), TARIF_SECOND, At(11, 0)},
        {At(10, 23, 30, 0, 1), TARIF_HOUR, At(11, 0)},
        {At(10, 10, 0, 0, 501), static_cast<TTariffication>(7), At(10, 10, 0, 1)}, // other units: seconds
        // Before 1899-12-30 the time of day is a positive fraction below the (negative) day.
        {-1.0 - EncodeTime(6, 0, 31, 0), TARIF_MINUTE, -1.0 - EncodeTime(6, 1, 0, 0)},
        {-1.0 - EncodeTime(23, 59, 45, 0), TARIF_MINUTE, 0.0},
    };
    for (const auto& lCase : cCases)
        EXPECT_EQ(TTarvoDoc::RoundToUnit(lCase.m_dtIn, lCase.m_nUnit), lCase.m_dtOut) << lCase.m_dtIn;
    EXPECT_EQ(TTarvoDoc::RoundToMinutes(At(10, 10, 0, 30, 1)), At(10, 10, 1));
    EXPECT_EQ(TTarvoDoc::RoundToHours(At(10, 10, 30, 0, 1)), At(10, 11));
    EXPECT_EQ(TTarvoDoc::RoundToSeconds(At(10, 10, 0, 0, 501)), At(10, 10, 0, 1));
    EXPECT_TRUE(std::isnan(TTarvoDoc::RoundToMinutes(std::numeric_limits<double>::quiet_NaN())));

    const struct {
        std::int64_t m_nSeconds;
        TTariffication m_nUnit;
        std::int64_t m_nUnits;
    } cUnits[] = {
        {29, TARIF_MINUTE, 0},   {30, TARIF_MINUTE, 1}, {89, TARIF_MINUTE, 1},
        {1769, TARIF_HOUR, 0},   {1770, TARIF_HOUR, 1}, {37800, TARIF_HOUR, 11}, // 29:30 is 30 min, 1 h
        {48600, TARIF_HOUR, 14}, {5, TARIF_SECOND, 5},  {5, static_cast<TTariffication>(-1), 5},
    };
    for (const auto& lCase : cUnits)
        EXPECT_EQ(TTarvoDoc::SecondsToUnits(lCase.m_nSeconds, lCase.m_nUnit), lCase.m_nUnits)
            << lCase.m_nSeconds << " " << int(lCase.m_nUnit);
}

// Long stays: whole days may be taken at once only where that gives exactly the walk's sum. Each case
// compares the amount without segments (which may take days at once) with the walk that lists every
// segment, and with the amount known from the tariff.
TEST_F(TTariffTest, LongStaysGiveExactlyTheWalksSum) {
    const struct {
        const char* m_sName;
        const char* m_sDay;
        const char* m_sEvening;
        std::int32_t m_nAcc;
        int m_nDays;
        Extended m_nPerDay; // 720 minutes of each zone
        Extended m_nTolerance;
    } cCases[] = {
        {"whole prices, one day", "3", "5", 0, 1, 5760, 0},
        {"whole prices, 30 days", "3", "5", 0, 30, 5760, 0},
        {"binary fractions, 400 days", "0.25", "0.75", TARIFF_ACC_UNROUNDED, 400, 720, 0},
        {"decimal fractions, 30 days", "0.1", "0.3", TARIFF_ACC_UNROUNDED, 30, 288, 1e-9L},
        {"hundredths, 400 days", "0.013", "0.027", -2, 400, 28.8L, 1e-9L},
        {"amounts beyond 64 bits, 3000 days", "1000000000000001", "3", 0, 3000, 720000000000002880.0L, 1e7L},
    };
    for (const auto& lCase : cCases) {
        SCOPED_TRACE(lCase.m_sName);
        Load({{"08:00", lCase.m_sDay, ""}, {"20:00", lCase.m_sEvening, ""}});
        Settings(TARIF_MINUTE, lCase.m_nAcc);
        const TDateTime lIn = At(10, 10);
        const TDateTime lOut = lIn + lCase.m_nDays;
        TTariffSegments lSegs;
        const Extended lWalked = m_oDoc.CalcSum2(lIn, lOut, 0, &lSegs);
        EXPECT_EQ(m_oDoc.CalcSum2(lIn, lOut, 0), lWalked);
        EXPECT_EQ(lSegs.size(), size_t(2 * lCase.m_nDays + 1));
        EXPECT_LE(std::fabs(lWalked - lCase.m_nPerDay * lCase.m_nDays), lCase.m_nTolerance)
            << double(lWalked);
    }
    // A stay of a thousand years is billed at once; every day of it is 5760.
    Load(cDayEvening);
    Settings(TARIF_MINUTE);
    const TDateTime lIn = MakeDateTime(1024, 3, 10, 10);
    const TDateTime lOut = MakeDateTime(2024, 3, 10, 10);
    EXPECT_EQ(m_oDoc.CalcSum2(lIn, lOut, 0), Extended(5760) * (lOut - lIn));
}

// With the hour unit and every zone shorter than half an hour, each zone on its own counts 0 hours and
// the walk could never end. Then each hour is priced in the zone in force at its start.
TEST_F(TTariffTest, ZonesShorterThanHalfAUnitNeverHangTheWalk) {
    std::vector<TZoneDef> lZones;
    for (int i = 0; i < 72; ++i)
        lZones.push_back({QStringLiteral("%1:%2").arg(i / 3).arg(i % 3 * 20), QString::number(i + 1), ""});
    Load(lZones);
    Settings(TARIF_HOUR);
    TTariffSegments lSegs;
    // 10:00 is in zone 30 (price 31), 11:00 in zone 33 (price 34).
    EXPECT_EQ(m_oDoc.CalcSum2(At(10, 10), At(10, 12), 0, &lSegs), 31 + 34);
    EXPECT_EQ(SegsOf(lSegs), (TSegs{{30, 1}, {31, 0}, {32, 0}, {33, 1}}));
    // 30 days: every hour h of the day 30 times at the price of zone 3h, 3h + 1.
    EXPECT_EQ(m_oDoc.CalcSum2(At(1, 10), At(31, 10), 0), 30 * 852);
    EXPECT_EQ(m_oDoc.CalcSum2(At(1, 10), At(31, 10), 0, &lSegs), 30 * 852);
}

// The amount of a finished stay: not booked, booked for the whole day at the day price or by the
// zones, booked for a time range with overdue units; entrance fee and minimum on top.
TEST_F(TTariffTest, FinishedStays) {
    struct TCase {
        const char* m_sName;
        TTariffication m_nUnit;
        std::int32_t m_nLevel;
        Extended m_nDayCost, m_nEntrance;
        TStayBooking m_oBooking;
        TDateTime m_dtIn, m_dtNow;
        Extended m_nAmount;
        TStayKind m_nKind;
        std::int64_t m_nOverdue;
    };
    const auto Booked = [](TTime AFrom, TTime ATo, bool AAllDay) {
        return TStayBooking{true, AFrom, ATo, AAllDay};
    };
    const TTime t1800 = EncodeTime(18, 0, 0, 0), t2000 = EncodeTime(20, 0, 0, 0);
    const TTime t2200 = EncodeTime(22, 0, 0, 0), t0200 = EncodeTime(2, 0, 0, 0);
    const TTime t1000 = EncodeTime(10, 0, 0, 0);
    const TCase cCases[] = {
        {"not booked", TARIF_MINUTE, 0, 0, 0, {}, At(10, 19, 30), At(10, 20, 45), 315, STAY_ZONES, 0},
        {"not booked, with entrance fee",
         TARIF_MINUTE,
         0,
         0,
         20,
         {},
         At(10, 19, 30),
         At(10, 20, 45),
         335,
         STAY_ZONES,
         0},
        {"all day at the day price", TARIF_MINUTE, 0, 350, 20, Booked(t1000, t1800, true), At(10, 10),
         At(10, 23), 370, STAY_DAY_FIXED, 0},
        {"all day at the day price, five minutes", TARIF_MINUTE, 0, 350, 0, Booked(t1000, t1800, true),
         At(10, 10), At(10, 10, 5), 350, STAY_DAY_FIXED, 0},
        {"all day by the zones", TARIF_MINUTE, 0, 0, 0, Booked(t1000, t1800, true), At(10, 11), At(10, 12),
         480 * 3, STAY_DAY_ZONES, 0},
        {"all day by the zones, over midnight", TARIF_MINUTE, 0, 0, 0, Booked(t2200, t0200, true), At(10, 23),
         At(11, 1), 240 * 5, STAY_DAY_ZONES, 0},
        {"time range left 40 min late", TARIF_MINUTE, 0, 0, 0, Booked(t1800, t2000, false), At(10, 17),
         At(10, 20, 40), 120 * 3 + 40 * 2, STAY_BOOKED, 40},
        {"time range left early", TARIF_MINUTE, 0, 0, 0, Booked(t1800, t2000, false), At(10, 18, 30),
         At(10, 19), 120 * 3, STAY_BOOKED, 0},
        {"overdue is not scaled by level", TARIF_MINUTE, 10, 0, 0, Booked(t1800, t2000, false), At(10, 17),
         At(10, 20, 40), 120 * 1 + 40 * 2, STAY_BOOKED, 40},
        {"day price does not apply to a time range", TARIF_MINUTE, 0, 350, 0, Booked(t1800, t2000, false),
         At(10, 17), At(10, 20, 40), 120 * 3 + 40 * 2, STAY_BOOKED, 40},
        {"time range over midnight left in the small hours", TARIF_MINUTE, 0, 0, 50,
         Booked(t2200, t0200, false), At(10, 21), At(11, 2, 30), 240 * 5 + 30 * 2 + 50, STAY_BOOKED, 30},
        {"hour unit: 40 min late is 1 hour overdue", TARIF_HOUR, 0, 0, 0, Booked(t1800, t2000, false),
         At(10, 18), At(10, 20, 40), 2 * 3 + 1 * 2, STAY_BOOKED, 1},
        {"hour unit: 30 min late rounds to no overdue", TARIF_HOUR, 0, 0, 0, Booked(t1800, t2000, false),
         At(10, 18), At(10, 20, 30), 2 * 3, STAY_BOOKED, 0},
    };
    for (const TCase& lCase : cCases) {
        SCOPED_TRACE(lCase.m_sName);
        Load({{"08:00", "3", "1"}, {"20:00", "5", "1"}}, 10, QStringLiteral("06:00"));
        Settings(lCase.m_nUnit, 0, lCase.m_nEntrance);
        m_oDoc.SetDayCost(lCase.m_nDayCost);
        m_oDoc.SetOverdueCost(2);
        TStayBill lBill;
        EXPECT_EQ(
            m_oDoc.CalcStayAmount(lCase.m_dtIn, lCase.m_dtNow, lCase.m_nLevel, lCase.m_oBooking, &lBill),
            lCase.m_nAmount);
        EXPECT_EQ(m_oDoc.CalcStayAmount(lCase.m_dtIn, lCase.m_dtNow, lCase.m_nLevel, lCase.m_oBooking),
                  lCase.m_nAmount);
        EXPECT_EQ(lBill.m_nKind, lCase.m_nKind);
        EXPECT_EQ(lBill.m_nTotal, lCase.m_nAmount);
        EXPECT_EQ(lBill.m_nOverdueUnits, lCase.m_nOverdue);
        EXPECT_EQ(lBill.m_nOverdueSum, lCase.m_nOverdue * 2);
        EXPECT_EQ(lBill.m_nSum, lBill.m_nZonesSum + lBill.m_nOverdueSum);
        EXPECT_EQ(lBill.m_aSegments.empty(), lCase.m_nKind == STAY_DAY_FIXED);
    }
}

// The booked interval of a time range that ends before the start of the business day lies on the next
// calendar date; its segments are those of that interval, whenever the guest came.
TEST_F(TTariffTest, BookedIntervalAndItsSegments) {
    Load(cDayEvening, 10, QStringLiteral("06:00"));
    Settings(TARIF_MINUTE);
    m_oDoc.SetOverdueCost(2);
    TStayBill lBill;
    const TStayBooking lBooking{true, EncodeTime(22, 0, 0, 0), EncodeTime(2, 0, 0, 0), false};
    // Checked out at 01:00 on the 11th: still the business day of the 10th.
    EXPECT_EQ(m_oDoc.CalcStayAmount(At(10, 23, 30), At(11, 1), 0, lBooking, &lBill), 1200);
    EXPECT_TRUE(SameDateTimeMs(lBill.m_dtFrom, At(10, 22)));
    EXPECT_TRUE(SameDateTimeMs(lBill.m_dtTo, At(11, 2)));
    EXPECT_EQ(SegsOf(lBill.m_aSegments), (TSegs{{1, 240}}));
    EXPECT_TRUE(SameDateTimeMs(lBill.m_aSegments[0].m_dtFrom, At(10, 22)));
    // A booking from 07:00 to 09:00 checked out on the 11th at 08:00 is that morning's, across zones.
    const TStayBooking lMorning{true, EncodeTime(7, 0, 0, 0), EncodeTime(9, 0, 0, 0), false};
    EXPECT_EQ(m_oDoc.CalcStayAmount(At(11, 6, 30), At(11, 8), 0, lMorning, &lBill), 60 * 5 + 60 * 3);
    EXPECT_EQ(SegsOf(lBill.m_aSegments), (TSegs{{1, 60}, {0, 60}}));
    EXPECT_TRUE(SameDateTimeMs(lBill.m_aSegments[1].m_dtFrom, At(11, 8)));
}
