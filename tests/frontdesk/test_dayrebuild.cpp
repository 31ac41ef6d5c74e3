// The day rebuilt from its log file at start-up (log, guests inside, report, counters) and the rewrite of
// the day's part of the log file after a comment was changed.

#include "DayLogFixture.h"

#include "frontdesk/uLogLines.h"

using namespace Tarvo;

namespace {

struct TExpectedItem {
    int m_nCard;
    bool m_fIn;
    double m_nSum;
    const char* m_sComment;
    TDateTime m_dtTime;
};

void ExpectLog(const TTarvoDoc& ADoc, const std::vector<TExpectedItem>& AItems) {
    ASSERT_EQ(ADoc.LogList().Count(), int(AItems.size()));
    for (int i = 0; i < ADoc.LogList().Count(); ++i) {
        SCOPED_TRACE(i);
        const TLogItem& lItem = *ADoc.LogList().Get(i);
        EXPECT_EQ(lItem.m_pCard, ADoc.Cards().GetCard(AItems[size_t(i)].m_nCard));
        EXPECT_EQ(lItem.m_fIn, AItems[size_t(i)].m_fIn);
        EXPECT_EQ(double(lItem.m_nSum), AItems[size_t(i)].m_nSum);
        EXPECT_EQ(lItem.m_sComment, QString::fromUtf8(AItems[size_t(i)].m_sComment));
        EXPECT_TRUE(SameDateTimeMs(lItem.m_dtTime, AItems[size_t(i)].m_dtTime));
    }
}

TDateTime Mar(int ADay, int AHour, int AMin, int ASec = 0) {
    return MakeDateTime(2020, 3, ADay, AHour, AMin, ASec);
}

} // namespace

// A week file with the previous day, lines that do not read, unknown cards, an out-line without its
// guest, a check-in after midnight and the next business day: the rebuild takes exactly the day's
// events of known cards and stops at the first line of the next day.
TEST_F(TDayLogTest, RebuildPicksTheBusinessDayOutOfAWeekFile) {
    struct TCase {
        std::int32_t m_nFormat;
        const char* m_sFile;
        QStringList m_aLines;
    };
    const TCase cCases[] = {
        {LOG_FORMAT_TXT,
         "Logs/LW102020.log",
         {
             "04.03.2020 20:00:00 [in] Bob, 3",
             "05.03.2020 05:59:59 [in] Ann, 1", // before 06:00: the previous day
             "05.03.2020 10:00:05 [in] \"John Smith\", 2",
             "05.03.2020 10:30:00 [in] {00000C}, 1", // found by its key number
             "garbage [",
             "05.03.2020 10:45:00 [in] Nobody, 1", // not registered
             "05.03.2020 10:50:00 [in] , 1",       // no name at all
             "05.03.2020 10:55:00 [note] Ann, 1",  // neither in nor out
             "05.03.2020 11:30:00 [out] \"John Smith\", 90.00 RD10:00-12:00 \"paid cash\"",
             "05.03.2020 12:00:00 [out] Bob, 3.00 thanks", // Bob is not inside
             "06.03.2020 02:00:00 [in] ANN, 1 late",       // user names ignore case
             "06.03.2020 06:00:00 [in] Bob, 3",            // next business day: the end
             "05.03.2020 13:00:00 [in] Bob, 3",
         }},
        {LOG_FORMAT_CSV,
         "Logs/LW102020.csv",
         {
             "04.03.2020 20:00:00;in;Bob;3;;",
             "05.03.2020 05:59:59;in;Ann;1;;",
             "05.03.2020 10:00:05;in;John Smith;2;;",
             "05.03.2020 10:30:00;in;{00000C};1;;",
             "garbage;",
             "05.03.2020 10:45:00;in;Nobody;1;;",
             "05.03.2020 10:50:00;in;;1;;",
             "05.03.2020 10:55:00;note;Ann;1;;",
             "05.03.2020 11:30:00;out;John Smith;90.00;RD10:00-12:00;paid cash;",
             "05.03.2020 12:00:00;out;Bob;3.00;;thanks;",
             "06.03.2020 02:00:00;in;ANN;1;late;",
             "06.03.2020 06:00:00;in;Bob;3;;",
             "05.03.2020 13:00:00;in;Bob;3;;",
         }},
    };
    for (const TCase& c : cCases) {
        SCOPED_TRACE(c.m_sFile);
        ResetDataFolder();
        m_oDir.WriteFile(QLatin1String(c.m_sFile), Lines(c.m_aLines));
        m_oClock.Set(Mar(6, 3, 0)); // still the 5th's business day
        m_oDir.WriteFile(QStringLiteral("Tarvo.xml"), DataFileText(c.m_nFormat, LOG_PERIOD_WEEK));
        auto lDoc = OpenDoc();
        ASSERT_EQ(lDoc->ReportDate(), EncodeDate(2020, 3, 5));

        ExpectLog(*lDoc, {{JOHN, true, 0, "", Mar(5, 10, 0, 5)},
                          {KEYONLY, true, 0, "", Mar(5, 10, 30)},
                          {JOHN, false, 90, "paid cash", Mar(5, 11, 30)},
                          {BOB, false, 3, "thanks", Mar(5, 12, 0)},
                          {ANN, true, 0, "late", Mar(6, 2, 0)}});
        ASSERT_EQ(lDoc->InUsers().Count(), 2);
        EXPECT_EQ(lDoc->InUsers().Get(0)->m_pCard, lDoc->Cards().GetCard(KEYONLY));
        EXPECT_TRUE(SameDateTimeMs(lDoc->InUsers().Get(0)->m_dtTime, Mar(5, 10, 30)));
        EXPECT_EQ(lDoc->InUsers().Get(1)->m_pCard, lDoc->Cards().GetCard(ANN));
        ASSERT_EQ(lDoc->Report().Count(), 1);
        const TRepItem& lRep = *lDoc->Report().Get(0);
        EXPECT_EQ(lRep.m_pCard, lDoc->Cards().GetCard(JOHN));
        EXPECT_TRUE(SameDateTimeMs(lRep.m_dtTimeIn, Mar(5, 10, 0, 5)));
        EXPECT_TRUE(SameDateTimeMs(lRep.m_dtTimeOut, Mar(5, 11, 30)));
        EXPECT_EQ(double(lRep.m_nSum), 90.0);
        EXPECT_TRUE(lRep.m_fReserv);
        EXPECT_TRUE(lRep.m_fRAllDay);
        EXPECT_FALSE(lRep.m_fRConst);
        EXPECT_TRUE(SameTimeOfDay(lRep.m_dtRFrom, EncodeTime(10, 0, 0, 0)));
        EXPECT_TRUE(SameTimeOfDay(lRep.m_dtRTo, EncodeTime(12, 0, 0, 0)));
        EXPECT_EQ(lDoc->RepInUsers(), 3);
        EXPECT_EQ(lDoc->RepOutUsers(), 2);
        EXPECT_EQ(double(lDoc->TotalSum()), 90.0);
    }
}

// With the day period, a day whose first event falls after midnight is rebuilt all the same; lines
// without a date are of the file's own date.
TEST_F(TDayLogTest, RebuildKeepsADayWhoseFirstEventIsAfterMidnight) {
    m_oDir.WriteFile(QStringLiteral("Logs/L05032020.log"),
                     Lines({"06.03.2020 01:00:00 [in] Ann, 1", "06.03.2020 01:30:00 [out] Ann, 4.00"}));
    m_oDir.WriteFile(QStringLiteral("Logs/L06032020.log"),
                     Lines({"07:00:00 [in] Bob, 3", "07.03.2020 05:00:00 [in] Ann, 1"}));
    m_oClock.Set(Mar(6, 4, 0));
    {
        auto lDoc = OpenDoc();
        ExpectLog(*lDoc, {{ANN, true, 0, "", Mar(6, 1, 0)}, {ANN, false, 4, "", Mar(6, 1, 30)}});
        EXPECT_EQ(lDoc->Report().Count(), 1);
        EXPECT_EQ(lDoc->InUsers().Count(), 0);
    }
    m_oClock.Set(Mar(7, 5, 30));
    auto lDoc = OpenDoc();
    ExpectLog(*lDoc, {{BOB, true, 0, "", Mar(6, 7, 0)}, {ANN, true, 0, "", Mar(7, 5, 0)}});
    EXPECT_EQ(lDoc->InUsers().Count(), 2);
}

// What the events write is what the rebuild reads back, in every format and period.
TEST_F(TDayLogTest, RebuildRestoresWhatTheEventsWrote) {
    for (std::int32_t lFormat : {LOG_FORMAT_TXT, LOG_FORMAT_CSV}) {
        for (std::int32_t lPeriod : {LOG_PERIOD_DAY, LOG_PERIOD_WEEK, LOG_PERIOD_MONTH}) {
            SCOPED_TRACE(lFormat * 10 + lPeriod);
            ResetDataFolder();
            m_oClock.Set(Mar(4, 22, 0));
            {
                // The previous business day leaves a guest inside and lines in week and month files.
                auto lDoc = OpenDoc(lFormat, lPeriod);
                TCard* lBob = lDoc->Cards().GetCard(BOB);
                lDoc->AddLog(Mar(4, 22, 0), lBob, true, 0, Mar(4, 22, 0), false, 0, 0, false, false,
                             QString());
            }
            m_oClock.Set(Mar(5, 9, 0));
            auto lFirst = OpenDoc();
            TCard* lJohn = lFirst->Cards().GetCard(JOHN);
            TCard* lAnn = lFirst->Cards().GetCard(ANN);
            const TTime lFrom = EncodeTime(18, 0, 0, 0), lTo = EncodeTime(20, 30, 0, 0);
            lFirst->AddLog(Mar(5, 18, 0), lJohn, true, 0, Mar(5, 18, 0), false, 0, 0, false, false,
                           QString());
            lFirst->AddLog(Mar(5, 18, 5), lAnn, true, 0, Mar(5, 18, 5), false, 0, 0, false, false, QString());
            lFirst->AddLog(Mar(6, 1, 15), lJohn, false, 55.5L, Mar(6, 1, 15), true, lFrom, lTo, false, true,
                           QString());
            lFirst->AddReport(lJohn, Mar(5, 18, 0), Mar(6, 1, 15), 55.5L, true, lFrom, lTo, false, true);
            lFirst->SetLogItemComment(Mar(5, 18, 5), QStringLiteral("window seat"));
            lFirst->SetLogItemComment(Mar(6, 1, 15), QStringLiteral("paid"));

            m_oClock.Set(Mar(6, 2, 0)); // restart on the same business day
            auto lSecond = OpenDoc();
            ExpectLog(*lSecond, {{JOHN, true, 0, "", Mar(5, 18, 0)},
                                 {ANN, true, 0, "window seat", Mar(5, 18, 5)},
                                 {JOHN, false, 55.5, "paid", Mar(6, 1, 15)}});
            ASSERT_EQ(lSecond->InUsers().Count(), 1);
            EXPECT_EQ(lSecond->InUsers().Get(0)->m_pCard, lSecond->Cards().GetCard(ANN));
            ASSERT_EQ(lSecond->Report().Count(), 1);
            const TRepItem& lRep = *lSecond->Report().Get(0);
            EXPECT_TRUE(SameDateTimeMs(lRep.m_dtTimeIn, Mar(5, 18, 0)));
            EXPECT_TRUE(lRep.m_fReserv);
            EXPECT_FALSE(lRep.m_fRAllDay);
            EXPECT_TRUE(lRep.m_fRConst);
            EXPECT_TRUE(SameTimeOfDay(lRep.m_dtRTo, lTo));
            EXPECT_EQ(lSecond->RepInUsers(), 2);
            EXPECT_EQ(lSecond->RepOutUsers(), 1);
            EXPECT_EQ(double(lSecond->TotalSum()), 55.5);
            EXPECT_TRUE(m_aErrors.isEmpty());
        }
    }
}

// A comment changed in a week file: the earlier days' lines stay byte for byte (hand-edited ones too),
// the day's lines are written again with the comment, and an out-line keeps its booking text.
TEST_F(TDayLogTest, RewriteReplacesOnlyTheDaysLines) {
    struct TCase {
        std::int32_t m_nFormat;
        const char* m_sFile;
        QByteArray m_aEarlier;
        QStringList m_aDay;
    };
    const TCase cCases[] = {
        {LOG_FORMAT_TXT,
         "Logs/LW102020.log",
         "02.03.2020 10:00:00 [in] Ann, 1\r\n02.03.2020 11:00:00 [out] Ann,  2.00   edited by hand\n"
         "not a log line\r\n04.03.2020 23:00:00 [in] Bob, 3 \"a; b\"\r\n",
         {"05.03.2020 10:00:05 [in] \"John Smith\", 2 \"table 4\"",
          "05.03.2020 11:30:00 [out] \"John Smith\", 90.00 RF18:00-20:30 paid",
          "06.03.2020 01:00:00 [in] Ann, 1"}},
        {LOG_FORMAT_CSV,
         "Logs/LW102020.csv",
         "02.03.2020 10:00:00;in;Ann;1;;\r\n;;;odd;\r\n04.03.2020 23:00:00;in;Bob;3;\"a; b\";\r\n",
         {"05.03.2020 10:00:05;in;John Smith;2;table 4;",
          "05.03.2020 11:30:00;out;John Smith;90.00;RF18:00-20:30;paid;", "06.03.2020 01:00:00;in;Ann;1;;"}},
    };
    for (const TCase& c : cCases) {
        SCOPED_TRACE(c.m_sFile);
        ResetDataFolder();
        m_oDir.WriteFile(QLatin1String(c.m_sFile), c.m_aEarlier);
        m_oClock.Set(Mar(5, 9, 0));
        auto lDoc = OpenDoc(c.m_nFormat, LOG_PERIOD_WEEK);
        lDoc->SetDayCost(0); // the booking text keeps its "F" from the time of the check-out
        TCard* lJohn = lDoc->Cards().GetCard(JOHN);
        TCard* lAnn = lDoc->Cards().GetCard(ANN);
        const TTime lFrom = EncodeTime(18, 0, 0, 0), lTo = EncodeTime(20, 30, 0, 0);
        // Real card events carry milliseconds; the file holds whole seconds.
        const TDateTime lJohnIn = Mar(5, 10, 0, 5) + 250 / MSecsPerDay;
        lDoc->AddLog(lJohnIn, lJohn, true, 0, lJohnIn, false, 0, 0, false, false,
                     QString());
        lDoc->AddLog(Mar(5, 11, 30), lJohn, false, 90, Mar(5, 11, 30), true, lFrom, lTo, false, true,
                     QString());
        lDoc->AddReport(lJohn, lJohnIn, Mar(5, 11, 30), 90, true, lFrom, lTo, false, true);
        lDoc->AddLog(Mar(6, 1, 0), lAnn, true, 0, Mar(6, 1, 0), false, 0, 0, false, false, QString());

        lDoc->SetLogItemComment(lJohnIn, QStringLiteral("table 4"));
        lDoc->SetLogItemComment(Mar(5, 11, 30), QStringLiteral("paid"));
        EXPECT_EQ(ReadAll(m_oDir.FilePath(QLatin1String(c.m_sFile))), c.m_aEarlier + Lines(c.m_aDay));

        // Removing a comment shortens the file: nothing of the longer old lines is left behind.
        lDoc->SetLogItemComment(lJohnIn, QString());
        QStringList lDay = c.m_aDay;
        lDay[0] = c.m_nFormat == LOG_FORMAT_CSV
                      ? QStringLiteral("05.03.2020 10:00:05;in;John Smith;2;;")
                      : QStringLiteral("05.03.2020 10:00:05 [in] \"John Smith\", 2");
        EXPECT_EQ(ReadAll(m_oDir.FilePath(QLatin1String(c.m_sFile))), c.m_aEarlier + Lines(lDay));
        EXPECT_TRUE(m_aErrors.isEmpty());
    }
}

// Lines that never reached the file (it was not writable) come back with the rewrite, after a last
// line that lacked its end.
TEST_F(TDayLogTest, RewriteWritesTheDayBackWhenItsLinesAreMissing) {
    auto lDoc = OpenDoc();
    m_oDir.WriteFile(QStringLiteral("Logs/L05032020.log"), "04.03.2020 23:59:00 [in] Bob, 3");
    TCard* lAnn = lDoc->Cards().GetCard(ANN);
    lDoc->AddLogItem(lAnn, true, QString(), 0, Mar(5, 10, 0));
    lDoc->SetLogItemComment(Mar(5, 10, 0), QStringLiteral("back"));
    EXPECT_EQ(ReadAll(lDoc->GetLogPath(EncodeDate(2020, 3, 5), false)),
              "04.03.2020 23:59:00 [in] Bob, 3\r\n10:00:00 [in] Ann, 1 back\r\n");
}

TEST_F(TDayLogTest, RewriteRaisesWhenTheFileCannotBeOpened) {
    auto lDoc = OpenDoc();
    TCard* lAnn = lDoc->Cards().GetCard(ANN);
    lDoc->AddLogItem(lAnn, true, QString(), 0, Mar(5, 10, 0));
    // No "Logs" folder: the comment is kept in memory and the error reaches the caller.
    EXPECT_THROW(lDoc->SetLogItemComment(Mar(5, 10, 0), QStringLiteral("x")), EInOutError);
    EXPECT_EQ(lDoc->GetLogItemComment(Mar(5, 10, 0)), QStringLiteral("x"));
}
