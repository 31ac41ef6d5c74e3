// The document's log and report files: whole files byte for byte in both formats and all periods,
// the file of an event after midnight, failures told through OnWriteError with the event kept, and the
// comments of log items.

#include "DayLogFixture.h"

#include "frontdesk/uLogLines.h"

using namespace Tarvo;

namespace {

// {D} and {E} stand for the dates of 5 and 6 March, written only when the lines carry dates.
QString WithDates(QString ALine, bool AWithDate) {
    ALine.replace(QStringLiteral("{D}"), AWithDate ? QStringLiteral("05.03.2020 ") : QString());
    return ALine.replace(QStringLiteral("{E}"), AWithDate ? QStringLiteral("06.03.2020 ") : QString());
}

} // namespace

// One business day as the card events write it: a visit, a check-in after midnight, the summary with
// the guests still inside; every file compared whole.
TEST_F(TDayLogTest, WholeFilesInEveryFormatAndPeriod) {
    struct TCase {
        std::int32_t m_nFormat, m_nPeriod;
        const char* m_sLogName;
        const char* m_sRepName;
    };
    const TCase cCases[] = {
        {LOG_FORMAT_TXT, LOG_PERIOD_DAY, "L05032020.log", "R05032020.log"},
        {LOG_FORMAT_TXT, LOG_PERIOD_WEEK, "LW102020.log", "RW102020.log"},
        {LOG_FORMAT_TXT, LOG_PERIOD_MONTH, "L 32020.log", "R 32020.log"},
        {LOG_FORMAT_CSV, LOG_PERIOD_DAY, "L05032020.csv", "R05032020.csv"},
        {LOG_FORMAT_CSV, LOG_PERIOD_WEEK, "LW102020.csv", "RW102020.csv"},
        {LOG_FORMAT_CSV, LOG_PERIOD_MONTH, "L 32020.csv", "R 32020.csv"},
    };
    const QStringList cTxtLog = {
        "{D}10:00:05 [in] \"John Smith\", 2",
        "{D}10:30:00 [in] {00000C}, 1",
        "{D}11:30:00 [out] \"John Smith\", 90.00",
        "{D}12:00:00 [in] Ann, 1",
        "06.03.2020 02:00:00 [out] Ann, 12.50 RDF10:00-22:00",
    };
    const QStringList cTxtRep = {
        "   0 \"John Smith\" {D}10:00:05-{D}11:30:00 90.00",
        "   1 Ann {D}12:00:00-{E}02:00:00 12.50",
        "Total sum: 102.50",
        "\t3 in / 2 out",
        "\tNot out:",
        "\t1  00000C {D}10:30:00  ",
    };
    const QStringList cCsvLog = {
        "{D}10:00:05;in;John Smith;2;;",
        "{D}10:30:00;in;{00000C};1;;",
        "{D}11:30:00;out;John Smith;90.00;;;",
        "{D}12:00:00;in;Ann;1;;",
        "06.03.2020 02:00:00;out;Ann;12.50;RDF10:00-22:00;;",
    };
    const QStringList cCsvRep = {
        "0;John Smith;{D}10:00:05;{D}11:30:00;90.00;",
        "1;Ann;{D}12:00:00;{E}02:00:00;12.50;",
        ";;;;102.50;",
        ";3 in / 2 out;;;;",
        ";Not out:;;;;",
        "1;;00000C;{D}10:30:00;;;",
    };
    for (const TCase& c : cCases) {
        SCOPED_TRACE(c.m_sLogName);
        ResetDataFolder();
        auto lDoc = OpenDoc(c.m_nFormat, c.m_nPeriod);
        lDoc->SetDayCost(300);
        const TCardList& lCards = lDoc->Cards();
        TCard* lJohn = lCards.GetCard(JOHN);
        TCard* lAnn = lCards.GetCard(ANN);
        TCard* lKey = lCards.GetCard(KEYONLY);
        const TDateTime t1 = MakeDateTime(2020, 3, 5, 10, 0, 5), t2 = MakeDateTime(2020, 3, 5, 10, 30, 0),
                        t3 = MakeDateTime(2020, 3, 5, 11, 30, 0), t4 = MakeDateTime(2020, 3, 5, 12, 0, 0),
                        t5 = MakeDateTime(2020, 3, 6, 2, 0, 0);
        const TTime lFrom = EncodeTime(10, 0, 0, 0), lTo = EncodeTime(22, 0, 0, 0);
        EXPECT_EQ(lDoc->AddLog(t1, lJohn, true, 0, t1, false, 0, 0, false, false, QString()), 0);
        EXPECT_EQ(lDoc->AddLog(t2, lKey, true, 0, t2, false, 0, 0, false, false, QString()), 1);
        EXPECT_EQ(lDoc->AddLog(t3, lJohn, false, 90, t3, false, 0, 0, false, false, QString()), 2);
        EXPECT_EQ(lDoc->AddReport(lJohn, t1, t3, 90, false, 0, 0, false, false), 0);
        EXPECT_EQ(lDoc->AddLog(t4, lAnn, true, 0, t4, false, 0, 0, false, false, QString()), 3);
        EXPECT_EQ(lDoc->AddLog(t5, lAnn, false, 12.5L, t5, true, lFrom, lTo, true, true, QString()), 4);
        EXPECT_EQ(lDoc->AddReport(lAnn, t4, t5, 12.5L, true, lFrom, lTo, true, true), 1);
        EXPECT_EQ(double(lDoc->TotalSum()), 102.5);

        TInUserList lInside;
        auto lGuest = std::make_unique<TInUser>();
        lGuest->m_pCard = lKey;
        lGuest->m_dtTime = t2;
        lInside.Add(std::move(lGuest));
        lDoc->AddReport(EncodeDate(2020, 3, 5), 102.5L, 3, 2, lInside);

        const bool lWithDate = c.m_nPeriod != LOG_PERIOD_DAY;
        QStringList lLog = c.m_nFormat == LOG_FORMAT_CSV ? cCsvLog : cTxtLog;
        QStringList lRep = c.m_nFormat == LOG_FORMAT_CSV ? cCsvRep : cTxtRep;
        for (QString& lLine : lLog)
            lLine = WithDates(lLine, lWithDate);
        for (QString& lLine : lRep)
            lLine = WithDates(lLine, lWithDate);
        EXPECT_EQ(ReadAll(m_oDir.FilePath(QStringLiteral("Logs/")) + QLatin1String(c.m_sLogName)),
                  Lines(lLog));
        EXPECT_EQ(ReadAll(m_oDir.FilePath(QStringLiteral("Report/")) + QLatin1String(c.m_sRepName)),
                  Lines(lRep));
        EXPECT_EQ(QDir(m_oDir.FilePath(QStringLiteral("Logs"))).entryList(QDir::Files).size(), 1);
        EXPECT_TRUE(m_aErrors.isEmpty()) << m_aErrors.join(QLatin1Char('\n')).toStdString();
    }
}

// An event of another business day is written into that day's file but is no item of the current day.
TEST_F(TDayLogTest, EventOfAnotherBusinessDayGoesToItsOwnFileOnly) {
    auto lDoc = OpenDoc();
    TCard* lAnn = lDoc->Cards().GetCard(ANN);
    const TDateTime lEarly = MakeDateTime(2020, 3, 5, 5, 0, 0); // before 06:00: the 4th's business day
    EXPECT_EQ(lDoc->AddLog(lEarly, lAnn, true, 0, lEarly, false, 0, 0, false, false, QString()), -1);
    EXPECT_EQ(lDoc->LogList().Count(), 0);
    EXPECT_EQ(ReadAll(lDoc->GetLogPath(EncodeDate(2020, 3, 4), false)),
              "05.03.2020 05:00:00 [in] Ann, 1\r\n");
    EXPECT_FALSE(QFile::exists(lDoc->GetLogPath(EncodeDate(2020, 3, 5), false)));
}

TEST_F(TDayLogTest, PathsLieBesideTheDataFile) {
    auto lDoc = OpenDoc(LOG_FORMAT_CSV, LOG_PERIOD_WEEK);
    const TDate lDay = EncodeDate(2019, 12, 31);
    EXPECT_EQ(lDoc->GetLogPath(lDay, false), m_oDir.Path() + QStringLiteral("/Logs/LW12019.csv"));
    EXPECT_EQ(lDoc->GetReportPath(lDay, false), m_oDir.Path() + QStringLiteral("/Report/RW12019.csv"));
    EXPECT_FALSE(QFileInfo::exists(LogsDir()));
    lDoc->GetLogPath(lDay, true);
    EXPECT_TRUE(QFileInfo(LogsDir()).isDir());
    // A folder that cannot be created raises the system's error to the caller.
    m_oDir.WriteFile(QStringLiteral("Report"), "not a folder");
    EXPECT_THROW(lDoc->GetReportPath(lDay, true), EInOutError);
}

// A line that cannot be written is told at once; the event itself stays recorded in the day.
TEST_F(TDayLogTest, WriteFailuresAreToldAndTheEventStaysDone) {
    auto lDoc = OpenDoc();
    TCard* lJohn = lDoc->Cards().GetCard(JOHN);
    int lChanges = 0;
    lDoc->SetOnChange([&](TDocUpdate&) { ++lChanges; });
    const TDateTime t1 = MakeDateTime(2020, 3, 5, 10, 0, 0), t2 = MakeDateTime(2020, 3, 5, 11, 0, 0);

    // The folders cannot be created: files of their names are in the way.
    m_oDir.WriteFile(QStringLiteral("Logs"), "x");
    m_oDir.WriteFile(QStringLiteral("Report"), "x");
    EXPECT_EQ(lDoc->AddLog(t1, lJohn, true, 0, t1, false, 0, 0, false, false, QString()), 0);
    ASSERT_EQ(m_aErrors.size(), 1);
    EXPECT_TRUE(m_aErrors.at(0).contains(LogsDir())) << m_aErrors.at(0).toStdString();
    // The operator sees what is missing, as for a line that could not be appended.
    EXPECT_TRUE(m_aErrors.at(0).contains(QStringLiteral("10:00:00 [in] \"John Smith\", 2")))
        << m_aErrors.at(0).toStdString();
    EXPECT_EQ(lDoc->AddReport(lJohn, t1, t2, 7, false, 0, 0, false, false), 0);
    ASSERT_EQ(m_aErrors.size(), 2);
    EXPECT_TRUE(m_aErrors.at(1).contains(QStringLiteral("\"John Smith\" 10:00:00-11:00:00 7.00")))
        << m_aErrors.at(1).toStdString();
    EXPECT_EQ(double(lDoc->TotalSum()), 7.0);
    EXPECT_EQ(lDoc->LogList().Count(), 1);
    EXPECT_EQ(lChanges, 2);

    // The folders exist but the files cannot be written: the error names the file and the lost line.
    QFile::remove(LogsDir());
    QFile::remove(m_oDir.FilePath(QStringLiteral("Report")));
    ASSERT_TRUE(QDir().mkpath(lDoc->GetLogPath(EncodeDate(2020, 3, 5), false))); // a folder in its place
    ASSERT_TRUE(QDir().mkpath(lDoc->GetReportPath(EncodeDate(2020, 3, 5), false)));
    m_aErrors.clear();
    EXPECT_EQ(lDoc->AddLog(t2, lJohn, false, 7, t2, false, 0, 0, false, false, QString()), 1);
    ASSERT_EQ(m_aErrors.size(), 1);
    EXPECT_TRUE(m_aErrors.at(0).contains(QStringLiteral("L05032020.log")));
    EXPECT_TRUE(m_aErrors.at(0).contains(QStringLiteral("11:00:00 [out] \"John Smith\", 7.00")));

    // The summary is told once, not once per line.
    TInUserList lInside;
    auto lGuest = std::make_unique<TInUser>();
    lGuest->m_pCard = lJohn;
    lInside.Add(std::move(lGuest));
    m_aErrors.clear();
    lDoc->AddReport(EncodeDate(2020, 3, 5), 7, 1, 1, lInside);
    ASSERT_EQ(m_aErrors.size(), 1);
    EXPECT_TRUE(m_aErrors.at(0).contains(QStringLiteral("Total sum: 7.00"))) << m_aErrors.at(0).toStdString();
}

TEST_F(TDayLogTest, SummaryOfTheCurrentDayCorrectsItsTotal) {
    auto lDoc = OpenDoc();
    int lChanges = 0;
    std::uint32_t lMask = 0;
    lDoc->SetOnChange([&](TDocUpdate& ASender) {
        ++lChanges;
        lMask = ASender.ChangeMask();
    });
    lDoc->AddReport(EncodeDate(2020, 3, 5), 42, 0, 0, TInUserList());
    EXPECT_EQ(double(lDoc->TotalSum()), 42.0);
    EXPECT_EQ(lMask, DCH_TOTALS);
    // Another day's summary leaves the current total alone.
    lDoc->AddReport(EncodeDate(2020, 3, 4), 5, 0, 0, TInUserList());
    EXPECT_EQ(double(lDoc->TotalSum()), 42.0);
    EXPECT_EQ(lChanges, 1);
    EXPECT_EQ(ReadAll(lDoc->GetReportPath(EncodeDate(2020, 3, 4), false)),
              "Total sum: 5.00\r\n\t0 in / 0 out\r\n");
}

// Comments are found by moment (within a millisecond), also across midnight and in a list that a clock
// set back left out of order; setting the same text changes nothing.
TEST_F(TDayLogTest, CommentsOfLogItems) {
    auto lDoc = OpenDoc();
    TCard* lAnn = lDoc->Cards().GetCard(ANN);
    const TDateTime cTimes[] = {
        MakeDateTime(2020, 3, 5, 9, 0, 0),  MakeDateTime(2020, 3, 5, 23, 0, 0),
        MakeDateTime(2020, 3, 6, 1, 0, 0),  MakeDateTime(2020, 3, 6, 2, 30, 0),
        MakeDateTime(2020, 3, 6, 2, 10, 0), // the clock went back
    };
    for (TDateTime t : cTimes)
        lDoc->AddLog(t, lAnn, true, 0, t, false, 0, 0, false, false, QString());
    ASSERT_EQ(lDoc->LogList().Count(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(lDoc->_FindLogItemByTime(cTimes[i] + 0.4 / MSecsPerDay), i);
    EXPECT_EQ(lDoc->_FindLogItemByTime(MakeDateTime(2020, 3, 5, 1, 0, 0)), -1); // same time, other date
    EXPECT_EQ(lDoc->_FindLogItemByTime(cTimes[0] + 2 / MSecsPerDay), -1);

    int lChanges = 0;
    std::uint32_t lMask = 0;
    lDoc->SetOnChange([&](TDocUpdate& ASender) {
        ++lChanges;
        lMask = ASender.ChangeMask();
    });
    lDoc->SetLogItemComment(cTimes[2], QStringLiteral("Late guest"));
    EXPECT_EQ(lDoc->GetLogItemComment(cTimes[2]), QStringLiteral("Late guest"));
    EXPECT_EQ(lChanges, 1);
    EXPECT_EQ(lMask, DCH_LOG | DCH_REPVIEW);
    lDoc->SetLogItemComment(cTimes[2], QStringLiteral("Late guest"));
    lDoc->SetLogItemComment(MakeDateTime(2020, 3, 5, 12, 0, 0), QStringLiteral("nobody"));
    EXPECT_EQ(lChanges, 1);
    lDoc->SetLogItemComment(cTimes[2], QStringLiteral("late guest")); // case counts
    EXPECT_EQ(lChanges, 2);
    EXPECT_EQ(lDoc->GetLogItemComment(MakeDateTime(2020, 3, 5, 12, 0, 0)), QString());
}
