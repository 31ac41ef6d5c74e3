// Two and a half business days at the front desk, end to end without a screen: guests come and go on
// a fake clock, a booking is stored and restored, the program restarts in the middle of a day (the
// document is read back from disk), a day is closed with its summary and a comment is rewritten into
// the log. Run in both file formats and all three periods; every log and report file is compared
// whole, byte for byte.

#include "frontdesk/uTarvoDoc.h"

#include "tests/common/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <ostream>

using namespace Tarvo;

namespace {

// Day zone from 08:00 at 3 (2 at level 10), evening zone from 20:00 at 5 (4), per minute, amounts in
// hundredths, overdue minutes at 1.5, the business day starting at 06:00.
const char* const cDataFile =
    "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
    "<Tarvo version=\"1.2\">\r\n"
    "<Main>\r\n"
    "<StartDayTime>06:00</StartDayTime>\r\n"
    "<Log fileFormat=\"%FORMAT%\" filePeriod=\"%PERIOD%\"/>\r\n"
    "<Tariffication>2</Tariffication>\r\n"
    "<AccPrice>-2</AccPrice>\r\n"
    "<OverdueCost>1.5</OverdueCost>\r\n"
    "</Main>\r\n"
    "<TimeZones>\r\n"
    "<Item1 name=\"Day\" startTime=\"08:00\" baseCost=\"3\" minCost=\"2\"/>\r\n"
    "<Item2 name=\"Evening\" startTime=\"20:00\" baseCost=\"5\" minCost=\"4\"/>\r\n"
    "</TimeZones>\r\n"
    "<Cards>\r\n"
    "<Item1 number=\"0C0B0A\" name=\"Ann Lee\" level=\"0\"><Commant>regular guest</Commant></Item1>\r\n"
    "<Item2 number=\"0D\" name=\"Bob\" level=\"10\"/>\r\n"
    "<Item3 number=\"E0F1\" level=\"5\"/>\r\n"
    "</Cards>\r\n"
    "</Tarvo>\r\n";

const TOrv_KEYNUM cAnn = MakeKeyNum({0x0A, 0x0B, 0x0C});
const TOrv_KEYNUM cBob = MakeKeyNum({0x0D});
const TOrv_KEYNUM cCid = MakeKeyNum({0xF1, 0xE0}); // no user name

QByteArray Crlf(const QStringList& ALines) {
    return (ALines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toLatin1();
}

using TFiles = std::map<QString, QByteArray>; // "Logs/..." or "Report/..." -> content

// ---- the expected files ------------------------------------------------------------------------------
// Monday 11 March: Cid 18:00:00-18:45:30 (46 minutes at 2.5). Tuesday 12: Ann in 10:00:05, Bob in
// 10:30 and booked 10:00-12:00, Cid in 11:00, restart at 12:30, Bob out 13:00 (120 booked minutes at
// 2 and 60 overdue at 1.5), Ann out 14:00 (240 minutes at 3), the comment on Ann's check-in, Ann in
// 23:30, Bob in at 02:00 on Wednesday. Wednesday 13: Ann out at 07:00 closes Tuesday (450 evening
// minutes at 5), Bob out 08:00 (360 evening minutes at 4). The rewrite of Tuesday's lines for the
// comment keeps the booking text of Bob's finished visit.

const QStringList cTxtLogMon = {
    "18:00:00 [in] {E0F1}, 5",
    "18:45:30 [out] {E0F1}, 115.00",
};
const QStringList cTxtLogTue = {
    "10:00:05 [in] \"Ann Lee\", 0 \"came early\"",
    "10:30:00 [in] Bob, 10",
    "11:00:00 [in] {E0F1}, 5",
    "13:00:00 [out] Bob, 330.00 R10:00-12:00",
    "14:00:00 [out] \"Ann Lee\", 720.00",
    "23:30:00 [in] \"Ann Lee\", 0",
    "13.03.2024 02:00:00 [in] Bob, 10",
};
const QStringList cTxtLogWed = {
    "07:00:00 [out] \"Ann Lee\", 2250.00",
    "08:00:00 [out] Bob, 1440.00",
};
const QStringList cTxtRepMon = {
    "   0 {E0F1} 18:00:00-18:45:30 115.00",
    "Total sum: 115.00",
    "\t1 in / 1 out",
};
const QStringList cTxtRepTue = {
    "   0 Bob 10:30:00-13:00:00 330.00",
    "   1 \"Ann Lee\" 10:00:05-14:00:00 720.00",
    "Total sum: 1050.00",
    "\t5 in / 2 out",
    "\tNot out:",
    "\t1  E0F1 11:00:00  ",
    "\t2 \"Ann Lee\" 0C0B0A 23:30:00  \"regular guest\"",
    "\t3 Bob 0D 13.03.2024 02:00:00  ",
};
const QStringList cTxtRepWed = {
    "   0 \"Ann Lee\" 23:30:00-07:00:00 2250.00",
    "   1 Bob 02:00:00-08:00:00 1440.00",
};

// Week and month files carry the date on every line.
const QStringList cTxtLogDated = {
    "11.03.2024 18:00:00 [in] {E0F1}, 5",
    "11.03.2024 18:45:30 [out] {E0F1}, 115.00",
    "12.03.2024 10:00:05 [in] \"Ann Lee\", 0 \"came early\"",
    "12.03.2024 10:30:00 [in] Bob, 10",
    "12.03.2024 11:00:00 [in] {E0F1}, 5",
    "12.03.2024 13:00:00 [out] Bob, 330.00 R10:00-12:00",
    "12.03.2024 14:00:00 [out] \"Ann Lee\", 720.00",
    "12.03.2024 23:30:00 [in] \"Ann Lee\", 0",
    "13.03.2024 02:00:00 [in] Bob, 10",
    "13.03.2024 07:00:00 [out] \"Ann Lee\", 2250.00",
    "13.03.2024 08:00:00 [out] Bob, 1440.00",
};
const QStringList cTxtRepDated = {
    "   0 {E0F1} 11.03.2024 18:00:00-11.03.2024 18:45:30 115.00",
    "Total sum: 115.00",
    "\t1 in / 1 out",
    "   0 Bob 12.03.2024 10:30:00-12.03.2024 13:00:00 330.00",
    "   1 \"Ann Lee\" 12.03.2024 10:00:05-12.03.2024 14:00:00 720.00",
    "Total sum: 1050.00",
    "\t5 in / 2 out",
    "\tNot out:",
    "\t1  E0F1 12.03.2024 11:00:00  ",
    "\t2 \"Ann Lee\" 0C0B0A 12.03.2024 23:30:00  \"regular guest\"",
    "\t3 Bob 0D 13.03.2024 02:00:00  ",
    "   0 \"Ann Lee\" 12.03.2024 23:30:00-13.03.2024 07:00:00 2250.00",
    "   1 Bob 13.03.2024 02:00:00-13.03.2024 08:00:00 1440.00",
};

const QStringList cCsvLogMon = {
    "18:00:00;in;{E0F1};5;;",
    "18:45:30;out;{E0F1};115.00;;;",
};
const QStringList cCsvLogTue = {
    "10:00:05;in;Ann Lee;0;came early;",      "10:30:00;in;Bob;10;;",           "11:00:00;in;{E0F1};5;;",
    "13:00:00;out;Bob;330.00;R10:00-12:00;;", "14:00:00;out;Ann Lee;720.00;;;", "23:30:00;in;Ann Lee;0;;",
    "13.03.2024 02:00:00;in;Bob;10;;",
};
const QStringList cCsvLogWed = {
    "07:00:00;out;Ann Lee;2250.00;;;",
    "08:00:00;out;Bob;1440.00;;;",
};
const QStringList cCsvRepMon = {
    "0;{E0F1};18:00:00;18:45:30;115.00;",
    ";;;;115.00;",
    ";1 in / 1 out;;;;",
};
const QStringList cCsvRepTue = {
    "0;Bob;10:30:00;13:00:00;330.00;",
    "1;Ann Lee;10:00:05;14:00:00;720.00;",
    ";;;;1050.00;",
    ";5 in / 2 out;;;;",
    ";Not out:;;;;",
    "1;;E0F1;11:00:00;;;",
    "2;Ann Lee;0C0B0A;23:30:00;;regular guest;",
    "3;Bob;0D;13.03.2024 02:00:00;;;",
};
const QStringList cCsvRepWed = {
    "0;Ann Lee;23:30:00;07:00:00;2250.00;",
    "1;Bob;02:00:00;08:00:00;1440.00;",
};
const QStringList cCsvLogDated = {
    "11.03.2024 18:00:00;in;{E0F1};5;;",
    "11.03.2024 18:45:30;out;{E0F1};115.00;;;",
    "12.03.2024 10:00:05;in;Ann Lee;0;came early;",
    "12.03.2024 10:30:00;in;Bob;10;;",
    "12.03.2024 11:00:00;in;{E0F1};5;;",
    "12.03.2024 13:00:00;out;Bob;330.00;R10:00-12:00;;",
    "12.03.2024 14:00:00;out;Ann Lee;720.00;;;",
    "12.03.2024 23:30:00;in;Ann Lee;0;;",
    "13.03.2024 02:00:00;in;Bob;10;;",
    "13.03.2024 07:00:00;out;Ann Lee;2250.00;;;",
    "13.03.2024 08:00:00;out;Bob;1440.00;;;",
};
const QStringList cCsvRepDated = {
    "0;{E0F1};11.03.2024 18:00:00;11.03.2024 18:45:30;115.00;",
    ";;;;115.00;",
    ";1 in / 1 out;;;;",
    "0;Bob;12.03.2024 10:30:00;12.03.2024 13:00:00;330.00;",
    "1;Ann Lee;12.03.2024 10:00:05;12.03.2024 14:00:00;720.00;",
    ";;;;1050.00;",
    ";5 in / 2 out;;;;",
    ";Not out:;;;;",
    "1;;E0F1;12.03.2024 11:00:00;;;",
    "2;Ann Lee;0C0B0A;12.03.2024 23:30:00;;regular guest;",
    "3;Bob;0D;13.03.2024 02:00:00;;;",
    "0;Ann Lee;12.03.2024 23:30:00;13.03.2024 07:00:00;2250.00;",
    "1;Bob;13.03.2024 02:00:00;13.03.2024 08:00:00;1440.00;",
};

struct TScriptCase {
    const char* m_sName;
    const char* m_sFormat; // as in the data file
    const char* m_sPeriod;
    TFiles m_aFiles;
};

void PrintTo(const TScriptCase& ACase, std::ostream* AStream) {
    *AStream << ACase.m_sName;
}

const TScriptCase cCases[] = {
    {"TxtDay",
     "0, txt",
     "0, day",
     {{"Logs/L11032024.log", Crlf(cTxtLogMon)},
      {"Logs/L12032024.log", Crlf(cTxtLogTue)},
      {"Logs/L13032024.log", Crlf(cTxtLogWed)},
      {"Report/R11032024.log", Crlf(cTxtRepMon)},
      {"Report/R12032024.log", Crlf(cTxtRepTue)},
      {"Report/R13032024.log", Crlf(cTxtRepWed)}}},
    {"TxtWeek",
     "0, txt",
     "1, week",
     {{"Logs/LW112024.log", Crlf(cTxtLogDated)}, {"Report/RW112024.log", Crlf(cTxtRepDated)}}},
    {"TxtMonth",
     "0, txt",
     "2, month",
     {{"Logs/L 32024.log", Crlf(cTxtLogDated)}, {"Report/R 32024.log", Crlf(cTxtRepDated)}}},
    {"CsvDay",
     "1, csv",
     "0, day",
     {{"Logs/L11032024.csv", Crlf(cCsvLogMon)},
      {"Logs/L12032024.csv", Crlf(cCsvLogTue)},
      {"Logs/L13032024.csv", Crlf(cCsvLogWed)},
      {"Report/R11032024.csv", Crlf(cCsvRepMon)},
      {"Report/R12032024.csv", Crlf(cCsvRepTue)},
      {"Report/R13032024.csv", Crlf(cCsvRepWed)}}},
    {"CsvWeek",
     "1, csv",
     "1, week",
     {{"Logs/LW112024.csv", Crlf(cCsvLogDated)}, {"Report/RW112024.csv", Crlf(cCsvRepDated)}}},
    {"CsvMonth",
     "1, csv",
     "2, month",
     {{"Logs/L 32024.csv", Crlf(cCsvLogDated)}, {"Report/R 32024.csv", Crlf(cCsvRepDated)}}},
};

// ---- the script --------------------------------------------------------------------------------------

class TScriptedDayTest : public ::testing::TestWithParam<TScriptCase> {
protected:
    void SetUp() override {
        m_oDir.WriteFile(QStringLiteral("Tarvo.xml"), QByteArray(cDataFile)
                                                          .replace("%FORMAT%", GetParam().m_sFormat)
                                                          .replace("%PERIOD%", GetParam().m_sPeriod));
    }
    // Opening reads the data file, the day's log and the bookings: a restart of the program.
    void Start(TDateTime AMoment) {
        m_oClock.Set(AMoment);
        m_pDoc = std::make_unique<TTarvoDoc>();
        m_pDoc->SetFileName(m_oDir.FilePath(QStringLiteral("Tarvo.xml")));
        m_pDoc->SetLangDir(m_oDir.FilePath(QStringLiteral("Languages")));
        m_pDoc->SetOnWriteError([this](const QString& AMessage) { m_aErrors << AMessage; });
        m_pDoc->Open();
    }
    void Stop(TDateTime AMoment) {
        m_oClock.Set(AMoment);
        m_pDoc->Close();
        m_pDoc.reset();
    }
    void Present(const TOrv_KEYNUM& ANumber, TDateTime AMoment) {
        m_oClock.Set(AMoment);
        m_pDoc->FireCard(ANumber);
    }
    Extended LastVisitSum() const { return m_pDoc->Report().Get(m_pDoc->Report().Count() - 1)->m_nSum; }
    QByteArray ReadFile(const QString& AName) const {
        QFile lFile(m_oDir.FilePath(AName));
        return lFile.open(QIODevice::ReadOnly) ? lFile.readAll() : QByteArray("<missing>");
    }
    QStringList FilesIn(const QString& AFolder) const {
        QStringList lNames;
        for (const QString& lName : QDir(m_oDir.FilePath(AFolder)).entryList(QDir::Files, QDir::Name))
            lNames << AFolder + QLatin1Char('/') + lName;
        return lNames;
    }

    TLocaleOverride m_oLocale;
    TFixedClock m_oClock{MakeDateTime(2024, 3, 11, 17, 0)};
    TTempDir m_oDir;
    std::unique_ptr<TTarvoDoc> m_pDoc;
    QStringList m_aErrors;
};

TDateTime Mon(int AHour, int AMin, int ASec = 0) {
    return MakeDateTime(2024, 3, 11, AHour, AMin, ASec);
}
TDateTime Tue(int AHour, int AMin, int ASec = 0) {
    return MakeDateTime(2024, 3, 12, AHour, AMin, ASec);
}
TDateTime Wed(int AHour, int AMin, int ASec = 0) {
    return MakeDateTime(2024, 3, 13, AHour, AMin, ASec);
}

} // namespace

TEST_P(TScriptedDayTest, FilesOfTheDaysAreExact) {
    Start(Mon(17, 0));
    Present(cCid, Mon(18, 0));
    Present(cCid, Mon(18, 45, 30));
    EXPECT_EQ(LastVisitSum(), 115);

    Present(cAnn, Tue(10, 0, 5));
    Present(cBob, Tue(10, 30));
    m_oClock.Set(Tue(10, 45));
    ASSERT_TRUE(
        m_pDoc->SetBookingForCard(cBob, true, EncodeTime(10, 0, 0, 0), EncodeTime(12, 0, 0, 0), false));
    EXPECT_EQ(ReadFile(QStringLiteral("Reserved.ini")), QByteArray("[Cards]\r\n0D=10:00-12:00 \r\n\r\n"));
    Present(cCid, Tue(11, 0));

    Stop(Tue(12, 30));
    Start(Tue(12, 30));
    ASSERT_EQ(m_pDoc->InUsers().Count(), 3);
    EXPECT_EQ(m_pDoc->RepInUsers(), 3);
    EXPECT_EQ(m_pDoc->LogList().Count(), 3);

    // Charged by the booking that came back from "Reserved.ini".
    Present(cBob, Tue(13, 0));
    EXPECT_EQ(LastVisitSum(), 330);
    EXPECT_EQ(ReadFile(QStringLiteral("Reserved.ini")), QByteArray("[Cards]\r\n\r\n"));
    Present(cAnn, Tue(14, 0));
    EXPECT_EQ(LastVisitSum(), 720);
    m_oClock.Set(Tue(14, 5));
    m_pDoc->SetLogItemComment(Tue(10, 0, 5), QStringLiteral("came early"));
    EXPECT_EQ(m_pDoc->GetLogItemComment(Tue(10, 0, 5)), QStringLiteral("came early"));
    Present(cAnn, Tue(23, 30));

    Present(cBob, Wed(2, 0));
    EXPECT_EQ(m_pDoc->ReportDate(), EncodeDate(2024, 3, 12));
    Present(cAnn, Wed(7, 0));
    EXPECT_EQ(m_pDoc->ReportDate(), EncodeDate(2024, 3, 13));
    EXPECT_EQ(LastVisitSum(), 2250);
    Present(cBob, Wed(8, 0));
    EXPECT_EQ(LastVisitSum(), 1440);
    EXPECT_EQ(m_pDoc->TotalSum(), 3690);
    EXPECT_EQ(m_pDoc->InUsers().Count(), 1);
    Stop(Wed(9, 0));

    EXPECT_TRUE(m_aErrors.isEmpty()) << m_aErrors.join('\n').toStdString();
    QStringList lExpectedNames;
    for (const auto& [lName, lContent] : GetParam().m_aFiles)
        lExpectedNames << lName;
    lExpectedNames.sort();
    EXPECT_EQ(FilesIn(QStringLiteral("Logs")) + FilesIn(QStringLiteral("Report")), lExpectedNames);
    for (const auto& [lName, lContent] : GetParam().m_aFiles)
        EXPECT_EQ(ReadFile(lName).toStdString(), lContent.toStdString()) << lName.toStdString();
}

INSTANTIATE_TEST_SUITE_P(FormatsAndPeriods, TScriptedDayTest, ::testing::ValuesIn(cCases),
                         [](const ::testing::TestParamInfo<TScriptCase>& AInfo) {
                             return std::string(AInfo.param.m_sName);
                         });
