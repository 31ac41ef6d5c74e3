#include "base/uClock.h"
#include "base/uDateTime.h"
#include "base/uExceptions.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>

namespace {

TTime Hm(int AHour, int AMin, int ASec = 0, int AMSec = 0) {
    return EncodeTime(AHour, AMin, ASec, AMSec);
}

TEST(DateTime, EncodeGivesDaysSince18991230) {
    struct TCase {
        int y, m, d;
        double serial;
    };
    const TCase cCases[] = {
        {1899, 12, 30, 0},  {1900, 1, 1, 2},    {2000, 2, 29, 36585},    {2024, 3, 10, 45361},
        {1899, 12, 29, -1}, {1, 1, 1, -693593}, {9999, 12, 31, 2958465},
    };
    for (const TCase& c : cCases) {
        SCOPED_TRACE(testing::Message() << c.y << "-" << c.m << "-" << c.d);
        EXPECT_EQ(EncodeDate(c.y, c.m, c.d), c.serial);
        int y = 0, m = 0, d = 0;
        DecodeDate(c.serial, y, m, d);
        EXPECT_EQ(y * 10000 + m * 100 + d, c.y * 10000 + c.m * 100 + c.d);
    }
    EXPECT_DOUBLE_EQ(EncodeTime(6, 0, 0, 0), 0.25);
    EXPECT_DOUBLE_EQ(EncodeTime(23, 59, 59, 999), (MSecsPerDay - 1) / MSecsPerDay);
}

TEST(DateTime, InvalidPartsRaiseConvertErrorWithItsMessage) {
    const int cBadDates[][3] = {{1900, 2, 29}, {2023, 2, 29}, {2024, 4, 31}, {2024, 13, 1},
                                {2024, 0, 1},  {2024, 1, 0},  {0, 1, 1},     {10000, 1, 1}};
    for (const auto& d : cBadDates) {
        SCOPED_TRACE(testing::Message() << d[0] << "-" << d[1] << "-" << d[2]);
        try {
            EncodeDate(d[0], d[1], d[2]);
            ADD_FAILURE() << "no error";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Invalid argument to date encode"));
        }
    }
    const int cBadTimes[][4] = {{24, 0, 0, 0}, {23, 60, 0, 0}, {0, 0, 60, 0}, {0, 0, 0, 1000}, {-1, 0, 0, 0}};
    for (const auto& t : cBadTimes) {
        SCOPED_TRACE(testing::Message() << t[0] << ":" << t[1] << ":" << t[2] << "." << t[3]);
        try {
            EncodeTime(t[0], t[1], t[2], t[3]);
            ADD_FAILURE() << "no error";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), QStringLiteral("Invalid argument to time encode"));
        }
    }
}

TEST(DateTime, DecodeRoundsToTheMillisecondConsistently) {
    struct TCase {
        TDateTime value;
        int y, m, d, h, n, s, ms;
    };
    const TCase cCases[] = {
        {MakeDateTime(2024, 3, 10, 14, 30, 5, 123), 2024, 3, 10, 14, 30, 5, 123},
        {MakeDateTime(2024, 3, 10, 23, 59, 59, 999), 2024, 3, 10, 23, 59, 59, 999},
        // Less than half a millisecond before midnight is midnight of the next day, date and time alike.
        {EncodeDate(2024, 3, 10) + (MSecsPerDay - 0.2) / MSecsPerDay, 2024, 3, 11, 0, 0, 0, 0},
        // Before 1899-12-30 the time of day is kept as a positive fraction: -1.25 is 29 Dec, 06:00.
        {-1.25, 1899, 12, 29, 6, 0, 0, 0},
    };
    for (const TCase& c : cCases) {
        SCOPED_TRACE(testing::Message() << c.y << "-" << c.m << "-" << c.d << " " << c.h << ":" << c.n);
        int y = 0, m = 0, d = 0, h = 0, n = 0, s = 0, ms = 0;
        DecodeDate(c.value, y, m, d);
        DecodeTime(c.value, h, n, s, ms);
        EXPECT_EQ((std::array<int, 7>{y, m, d, h, n, s, ms}),
                  (std::array<int, 7>{c.y, c.m, c.d, c.h, c.n, c.s, c.ms}));
    }
    EXPECT_EQ(DateOf(MakeDateTime(2024, 3, 10, 18)), 45361);
    EXPECT_DOUBLE_EQ(TimeOf(MakeDateTime(2024, 3, 10, 18)), 0.75);
}

// Moments exactly one millisecond apart are never equal, whatever the rounding of their fractions does;
// moments less than a millisecond apart always are.
TEST(DateTime, OneMillisecondComparisonsAcrossManyMoments) {
    int lChecked = 0;
    for (int lDay = 44000; lDay < 47000; lDay += 97) {
        for (int lMs = 1; lMs < 86400000; lMs += 7 * 60000 + 13) {
            const TDateTime lLater = lDay + lMs / MSecsPerDay;
            const TDateTime lEarlier = lDay + (lMs - 1) / MSecsPerDay;
            const TDateTime lNear = lLater + 0.4 / MSecsPerDay;
            ASSERT_EQ(CompareTimeOfDay(lEarlier, lLater), -1) << lDay << " " << lMs;
            ASSERT_EQ(CompareTimeOfDay(lLater, lEarlier), 1) << lDay << " " << lMs;
            ASSERT_EQ(CompareDateTimeMs(lEarlier, lLater), -1) << lDay << " " << lMs;
            ASSERT_EQ(CompareTimeOfDay(lNear, lLater), 0) << lDay << " " << lMs;
            ASSERT_EQ(CompareDateTimeMs(lNear, lLater), 0) << lDay << " " << lMs;
            ++lChecked;
        }
    }
    EXPECT_GT(lChecked, 5000);
    // The time of day ignores the date; the date-time comparison does not.
    EXPECT_EQ(CompareTimeOfDay(MakeDateTime(2024, 3, 10, 8), MakeDateTime(2001, 1, 1, 8)), 0);
    EXPECT_EQ(CompareDateTimeMs(MakeDateTime(2024, 3, 10, 8), MakeDateTime(2001, 1, 1, 8)), 1);
    EXPECT_EQ(CompareTimeOfDay(MakeDateTime(2024, 3, 10, 7), MakeDateTime(2001, 1, 1, 8)), -1);
}

TEST(DateTime, BusinessDayOfAMoment) {
    struct TCase {
        const char* name;
        TDateTime moment;
        TTime startDay;
        TDate expected;
    };
    const TDate cMar9 = EncodeDate(2024, 3, 9), cMar10 = EncodeDate(2024, 3, 10);
    const TCase cCases[] = {
        {"05:59 before a 06:00 start", MakeDateTime(2024, 3, 10, 5, 59), Hm(6, 0), cMar9},
        {"06:00 exactly", MakeDateTime(2024, 3, 10, 6, 0), Hm(6, 0), cMar10},
        {"one ms before the start", MakeDateTime(2024, 3, 10, 5, 59, 59, 999), Hm(6, 0), cMar9},
        {"one ms before a 05:00 start", MakeDateTime(2024, 3, 10, 4, 59, 59, 999), Hm(5, 0), cMar9},
        {"a third of a ms before the start", MakeDateTime(2024, 3, 10, 6, 0) - 0.3 / MSecsPerDay, Hm(6, 0),
         cMar10},
        {"late evening", MakeDateTime(2024, 3, 10, 23, 59, 59, 999), Hm(6, 0), cMar10},
        {"midnight start, midnight", MakeDateTime(2024, 3, 10), 0, cMar10},
        {"midnight start, last ms", MakeDateTime(2024, 3, 10, 23, 59, 59, 999), 0, cMar10},
        {"start day with a date part", MakeDateTime(2024, 3, 10, 5, 59), EncodeDate(2001, 5, 5) + Hm(6, 0),
         cMar9},
    };
    for (const TCase& c : cCases)
        EXPECT_EQ(GetRepDateForTime(c.moment, c.startDay), c.expected) << c.name;
}

TEST(DateTime, QDateTimeRoundTripInLocalTime) {
    const TDateTime lMoment = MakeDateTime(2024, 3, 10, 14, 30, 5, 123);
    const QDateTime lQt = ToQDateTime(lMoment);
    EXPECT_EQ(lQt.timeSpec(), Qt::LocalTime);
    EXPECT_EQ(lQt.date(), QDate(2024, 3, 10));
    EXPECT_EQ(lQt.time(), QTime(14, 30, 5, 123));
    EXPECT_EQ(CompareDateTimeMs(FromQDateTime(lQt), lMoment), 0);
    // A UTC value is taken in local time.
    const QDateTime lUtc = lQt.toUTC();
    EXPECT_EQ(CompareDateTimeMs(FromQDateTime(lUtc), lMoment), 0);
    EXPECT_EQ(FromQDateTime(QDateTime()), 0);
}

TEST(Clock, FixedClockReplacesNowAndTicksAndRestoresThem) {
    const TDateTime lFixed = MakeDateTime(2024, 3, 10, 5, 59, 59, 500);
    {
        TFixedClock lClock(lFixed, 0xFFFFFFF0u);
        EXPECT_EQ(Now(), lFixed);
        EXPECT_EQ(Today(), EncodeDate(2024, 3, 10));
        const std::uint32_t lStart = GetTickCount();
        lClock.AdvanceMs(0x20);
        // The counter wrapped; the elapsed time still comes out by unsigned difference.
        EXPECT_EQ(GetTickCount(), 0x10u);
        EXPECT_EQ(GetTickCount() - lStart, 0x20u);
        EXPECT_EQ(CompareDateTimeMs(Now(), MakeDateTime(2024, 3, 10, 5, 59, 59, 532)), 0);
    }
    const TDateTime lSystem = FromQDateTime(QDateTime::currentDateTime());
    EXPECT_LT(std::fabs(Now() - lSystem) * 86400.0, 60.0) << "the system clock is back";
}

} // namespace
