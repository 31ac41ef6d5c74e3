// Log and report lines without a document: file names per period, every line layout byte for byte,
// the two log-line readers on good and damaged lines, and the line-by-line file reader.

#include "frontdesk/uLogLines.h"

#include "base/uMessages.h"
#include "tests/common/TestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

using namespace Tarvo;

namespace {

TCard MakeCard(const QString& AName, std::initializer_list<std::uint8_t> AKey, int ALevel,
               const QString& AComment = QString()) {
    TCard lCard;
    lCard.m_sUserName = AName;
    lCard.m_Number = MakeKeyNum(AKey);
    lCard.m_nLevel = ALevel;
    lCard.m_sComment = AComment;
    return lCard;
}

TLogBooking Booking(bool AAllDay, bool AConst, int AH1, int AM1, int AH2, int AM2) {
    TLogBooking lBooking;
    lBooking.m_fReserv = true;
    lBooking.m_fRAllDay = AAllDay;
    lBooking.m_fRConst = AConst;
    lBooking.m_dtRFrom = EncodeTime(AH1, AM1, 0, 0);
    lBooking.m_dtRTo = EncodeTime(AH2, AM2, 0, 0);
    return lBooking;
}

TLogLine Line(TDateTime ATime, TLogKind AKind, const TCard& ACard, Extended ASum = 0,
              const QString& AComment = QString(), const TLogBooking& ABooking = TLogBooking()) {
    TLogLine lLine;
    lLine.m_dtTime = ATime;
    lLine.m_nKind = AKind;
    SetLogLineCard(lLine, ACard);
    lLine.m_nSum = ASum;
    lLine.m_sComment = AComment;
    lLine.m_Booking = ABooking;
    return lLine;
}

} // namespace

// ---- file names ------------------------------------------------------------------------------------

TEST(LogFileNames, PerPeriodAndFormatIncludingIsoWeeksAtYearBoundaries) {
    struct TCase {
        int m_nYear, m_nMonth, m_nDay;
        const char* m_sPrefix;
        int m_nPeriod, m_nFormat;
        const char* m_sExpected;
    };
    const TCase cCases[] = {
        {2020, 3, 5, "L", LOG_PERIOD_DAY, LOG_FORMAT_TXT, "L05032020.log"},
        {2020, 3, 5, "L", LOG_PERIOD_WEEK, LOG_FORMAT_TXT, "LW102020.log"},
        {2020, 3, 5, "L", LOG_PERIOD_MONTH, LOG_FORMAT_TXT, "L 32020.log"},
        {2020, 3, 5, "R", LOG_PERIOD_DAY, LOG_FORMAT_CSV, "R05032020.csv"},
        {2020, 3, 5, "R", LOG_PERIOD_WEEK, LOG_FORMAT_CSV, "RW102020.csv"},
        {2020, 3, 5, "R", LOG_PERIOD_MONTH, LOG_FORMAT_CSV, "R 32020.csv"},
        {2020, 12, 12, "L", LOG_PERIOD_MONTH, LOG_FORMAT_TXT, "L122020.log"},
        // ISO week of the neighbouring year, always with the date's own calendar year.
        {2019, 12, 31, "L", LOG_PERIOD_WEEK, LOG_FORMAT_TXT, "LW12019.log"},  // Tuesday: week 1 of 2020
        {2014, 12, 29, "L", LOG_PERIOD_WEEK, LOG_FORMAT_TXT, "LW12014.log"},  // Monday: week 1 of 2015
        {2021, 1, 1, "L", LOG_PERIOD_WEEK, LOG_FORMAT_TXT, "LW532021.log"},   // Friday: week 53 of 2020
        {2021, 1, 3, "L", LOG_PERIOD_WEEK, LOG_FORMAT_TXT, "LW532021.log"},   // Sunday: still week 53
        {2021, 1, 4, "L", LOG_PERIOD_WEEK, LOG_FORMAT_TXT, "LW12021.log"},    // Monday: week 1
        {2016, 1, 1, "L", LOG_PERIOD_WEEK, LOG_FORMAT_TXT, "LW532016.log"},   // Friday: week 53 of 2015
        {2022, 1, 2, "L", LOG_PERIOD_WEEK, LOG_FORMAT_TXT, "LW522022.log"},   // Sunday: week 52 of 2021
        {2018, 1, 1, "L", LOG_PERIOD_WEEK, LOG_FORMAT_TXT, "LW12018.log"},    // Monday: week 1
        {2020, 12, 31, "L", LOG_PERIOD_WEEK, LOG_FORMAT_TXT, "LW532020.log"}, // Thursday: week 53
    };
    for (const TCase& c : cCases) {
        SCOPED_TRACE(c.m_sExpected);
        EXPECT_EQ(LogFileName(QLatin1String(c.m_sPrefix), EncodeDate(c.m_nYear, c.m_nMonth, c.m_nDay),
                              c.m_nPeriod, c.m_nFormat),
                  QLatin1String(c.m_sExpected));
    }
}

// ---- log lines byte for byte ------------------------------------------------------------------------

TEST(LogLineLayout, TextAndCsvByteForByte) {
    TLocaleOverride lLocale(QLatin1Char(',')); // amounts keep "." whatever the locale says
    const TCard lJohn = MakeCard(QStringLiteral("John Smith"), {0x12, 0xAB, 0x00}, 2);
    const TCard lKey = MakeCard(QString(), {0x12, 0xAB, 0x00}, 5);
    const TCard lSemi = MakeCard(QStringLiteral("A;B \"C\""), {0x01}, 1);
    const TCard lAnn = MakeCard(QStringLiteral("Ann"), {0x02}, 0);
    const TDateTime lIn = MakeDateTime(2020, 3, 5, 10, 0, 5);
    const TDateTime lOut = MakeDateTime(2020, 3, 5, 11, 30, 0);
    struct TCase {
        const char* m_sName;
        TLogLine m_Line;
        bool m_fWithDate;
        int m_nAcc;
        const char* m_sTxt;
        const char* m_sCsv;
    };
    const TCase cCases[] = {
        {"in, two-word name", Line(lIn, TLogKind::In, lJohn), false, -2, "10:00:05 [in] \"John Smith\", 2",
         "10:00:05;in;John Smith;2;;"},
        {"out with amount", Line(lOut, TLogKind::Out, lJohn, 90), false, -2,
         "11:30:00 [out] \"John Smith\", 90.00", "11:30:00;out;John Smith;90.00;;;"},
        {"key in braces, date form", Line(lIn, TLogKind::In, lKey), true, 0,
         "05.03.2020 10:00:05 [in] {00AB12}, 5", "05.03.2020 10:00:05;in;{00AB12};5;;"},
        {"quotes and separator in the name", Line(lOut, TLogKind::Out, lSemi, 1.5L), false, -1,
         "11:30:00 [out] \"A;B \"\"C\"\"\", 1.5", "11:30:00;out;\"A;B \"\"C\"\"\";1.5;;;"},
        {"all-day booking with day price",
         Line(lOut, TLogKind::Out, lAnn, 300, {}, Booking(true, true, 10, 0, 22, 0)), false, 0,
         "11:30:00 [out] Ann, 300 RDF10:00-22:00", "11:30:00;out;Ann;300;RDF10:00-22:00;;"},
        {"timed booking, comment with blanks",
         Line(lOut, TLogKind::Out, lAnn, 12.345L, QStringLiteral("paid cash"),
              Booking(false, false, 18, 0, 20, 30)),
         false, -2, "11:30:00 [out] Ann, 12.35 R18:00-20:30 \"paid cash\"",
         "11:30:00;out;Ann;12.35;R18:00-20:30;paid cash;"},
        {"comment without blanks stays bare", Line(lIn, TLogKind::In, lAnn, 0, QStringLiteral("vip")), false,
         0, "10:00:05 [in] Ann, 0 vip", "10:00:05;in;Ann;0;vip;"},
        {"line breaks in a comment become blanks", Line(lIn, TLogKind::In, lAnn, 0, QStringLiteral("a\r\nb")),
         false, 0, "10:00:05 [in] Ann, 0 \"a  b\"", "10:00:05;in;Ann;0;a  b;"},
    };
    for (const TCase& c : cCases) {
        SCOPED_TRACE(c.m_sName);
        EXPECT_EQ(FormatLogLineTxt(c.m_Line, c.m_fWithDate, c.m_nAcc), QString::fromUtf8(c.m_sTxt));
        EXPECT_EQ(FormatLogLineCsv(c.m_Line, c.m_fWithDate, c.m_nAcc), QString::fromUtf8(c.m_sCsv));
    }
}

TEST(LogLineLayout, DateFormByPeriodAndCalendarDate) {
    const TDate lRepDate = EncodeDate(2020, 3, 5);
    EXPECT_FALSE(LogTimeWithDate(MakeDateTime(2020, 3, 5, 23, 0), lRepDate, LOG_PERIOD_DAY));
    EXPECT_TRUE(LogTimeWithDate(MakeDateTime(2020, 3, 6, 2, 0), lRepDate, LOG_PERIOD_DAY));
    EXPECT_TRUE(LogTimeWithDate(MakeDateTime(2020, 3, 5, 10, 0), lRepDate, LOG_PERIOD_WEEK));
    EXPECT_TRUE(LogTimeWithDate(MakeDateTime(2020, 3, 5, 10, 0), lRepDate, LOG_PERIOD_MONTH));
}

TEST(QuoteTextTest, QuotesOnlyBlanksAndQuotes) {
    EXPECT_EQ(QuoteText(QStringLiteral("plain")), QStringLiteral("plain"));
    EXPECT_EQ(QuoteText(QString()), QString());
    EXPECT_EQ(QuoteText(QStringLiteral("two words")), QStringLiteral("\"two words\""));
    EXPECT_EQ(QuoteText(QStringLiteral("a\"b")), QStringLiteral("\"a\"\"b\""));
    EXPECT_EQ(QuoteText(QStringLiteral("a;b,c")), QStringLiteral("a;b,c"));
}

// ---- report lines and the day summary ----------------------------------------------------------------

TEST(ReportLineLayout, TextAndCsvByteForByte) {
    const TCard lJohn = MakeCard(QStringLiteral("John Smith"), {0x12, 0xAB, 0x00}, 2);
    const TCard lKey = MakeCard(QString(), {0xFF, 0x01}, 2);
    const TDateTime lIn = MakeDateTime(2020, 3, 5, 10, 0, 5);
    const TDateTime lOut = MakeDateTime(2020, 3, 5, 11, 30, 0);
    EXPECT_EQ(FormatReportLine(LOG_FORMAT_TXT, 0, lJohn, lIn, lOut, 90, false, -2),
              QStringLiteral("   0 \"John Smith\" 10:00:05-11:30:00 90.00"));
    EXPECT_EQ(FormatReportLine(LOG_FORMAT_CSV, 0, lJohn, lIn, lOut, 90, false, -2),
              QStringLiteral("0;John Smith;10:00:05;11:30:00;90.00;"));
    EXPECT_EQ(FormatReportLine(LOG_FORMAT_TXT, 12345, lKey, lIn, lOut, 7, true, 0),
              QStringLiteral("12345 {01FF} 05.03.2020 10:00:05-05.03.2020 11:30:00 7"));
    EXPECT_EQ(FormatReportLine(LOG_FORMAT_CSV, 3, lKey, lIn, lOut, 7, true, 0),
              QStringLiteral("3;{01FF};05.03.2020 10:00:05;05.03.2020 11:30:00;7;"));
}

TEST(DaySummaryLayout, TotalsCountsAndGuestsStillInside) {
    TCard lAnn = MakeCard(QStringLiteral("Ann Lee"), {0x12, 0xAB, 0x00}, 2, QStringLiteral("regular guest"));
    TCard lKey = MakeCard(QString(), {0x05}, 1);
    TInUserList lInside;
    auto lFirst = std::make_unique<TInUser>();
    lFirst->m_pCard = &lAnn;
    lFirst->m_dtTime = MakeDateTime(2020, 3, 5, 18, 0, 0);
    lFirst->m_fReserv = true;
    lFirst->m_dtRFrom = EncodeTime(18, 0, 0, 0);
    lFirst->m_dtRTo = EncodeTime(20, 30, 0, 0);
    lInside.Add(std::move(lFirst));
    auto lSecond = std::make_unique<TInUser>();
    lSecond->m_pCard = &lKey;
    lSecond->m_dtTime = MakeDateTime(2020, 3, 6, 1, 15, 0); // after midnight: date form
    lInside.Add(std::move(lSecond));
    const TDate lDay = EncodeDate(2020, 3, 5);

    EXPECT_EQ(FormatDaySummary(LOG_FORMAT_TXT, LOG_PERIOD_DAY, lDay, 1234.5L, 7, 5, lInside, true, -2),
              QStringList({"Total sum: 1234.50", "\t7 in / 5 out",
                           "\tNot out:", "\t1 \"Ann Lee\" 00AB12 18:00:00  RF18:00-20:30 \"regular guest\"",
                           "\t2  05 06.03.2020 01:15:00  "}));
    EXPECT_EQ(FormatDaySummary(LOG_FORMAT_CSV, LOG_PERIOD_DAY, lDay, 1234.5L, 7, 5, lInside, false, -2),
              QStringList({";;;;1234.50;", ";7 in / 5 out;;;;", ";Not out:;;;;",
                           "1;Ann Lee;00AB12;18:00:00;R18:00-20:30;regular guest;",
                           "2;;05;06.03.2020 01:15:00;;;"}));
    EXPECT_EQ(FormatDaySummary(LOG_FORMAT_TXT, LOG_PERIOD_WEEK, lDay, 0, 1, 1, lInside, false, 0).at(3),
              QStringLiteral("\t1 \"Ann Lee\" 00AB12 05.03.2020 18:00:00  R18:00-20:30 \"regular guest\""));

    const TInUserList lNobody;
    EXPECT_EQ(FormatDaySummary(LOG_FORMAT_TXT, LOG_PERIOD_DAY, lDay, 0, 0, 0, lNobody, false, 0),
              QStringList({"Total sum: 0", "\t0 in / 0 out"}));
    EXPECT_EQ(FormatDaySummary(LOG_FORMAT_CSV, LOG_PERIOD_DAY, lDay, 0, 0, 0, lNobody, false, 0),
              QStringList({";;;;0;", ";0 in / 0 out;;;;"}));
}

TEST(DaySummaryLayout, TranslatedTextsAreUsedAndCannotBreakTheColumns) {
    SetMsgLookup([](int AId, QString& VText) {
        if (AId == MSG_IN_OUT_COUNTS)
            VText = QStringLiteral("%d rein; %d raus %s %d"); // a bad translation: more directives
        else if (AId == MSG_TOTAL_SUM)
            VText = QStringLiteral("Summe: %s");
        else
            return false;
        return true;
    });
    const TInUserList lNobody;
    const QStringList lTxt =
        FormatDaySummary(LOG_FORMAT_TXT, LOG_PERIOD_DAY, EncodeDate(2020, 3, 5), 5, 2, 1, lNobody, false, 0);
    const QStringList lCsv =
        FormatDaySummary(LOG_FORMAT_CSV, LOG_PERIOD_DAY, EncodeDate(2020, 3, 5), 5, 2, 1, lNobody, false, 0);
    SetMsgLookup({});
    EXPECT_EQ(lTxt, QStringList({"Summe: 5", "\t2 rein; 1 raus  "}));
    EXPECT_EQ(lCsv, QStringList({";;;;5;", ";\"2 rein; 1 raus  \";;;;"}));
}

// ---- reading log lines back ---------------------------------------------------------------------------

// Whatever the writers produce reads back to the same content, in both formats, with and without dates.
TEST(LogLineReaders, ReadBackWhatTheWritersWrite) {
    const TCard lJohn = MakeCard(QStringLiteral("John \"J\" Smith"), {0x12, 0xAB, 0x00}, 2);
    const TCard lKey = MakeCard(QString(), {0x12, 0xAB, 0x00}, 5);
    const TCard lAnn = MakeCard(QStringLiteral("Ann;Lee,"), {0x02}, 0);
    const TDate lRepDate = EncodeDate(2020, 3, 5);
    const TDateTime lIn = MakeDateTime(2020, 3, 5, 10, 0, 5);
    const TLogLine cLines[] = {
        Line(lIn, TLogKind::In, lJohn),
        Line(lIn, TLogKind::In, lKey, 0, QStringLiteral("a \"quoted\" comment")),
        Line(lIn, TLogKind::Out, lJohn, 90.5L),
        Line(lIn, TLogKind::Out, lKey, 12, QStringLiteral("note")),
        Line(lIn, TLogKind::Out, lAnn, 3, QStringLiteral("late, again"), Booking(true, true, 10, 0, 22, 0)),
        Line(lIn, TLogKind::Out, lAnn, 0, QString(), Booking(false, false, 18, 0, 20, 30)),
        // Comments a bare token would not give back: one that looks like a booking, one ending in a comma.
        Line(lIn, TLogKind::Out, lAnn, 0, QStringLiteral("R10:00-11:00")),
        Line(lIn, TLogKind::Out, lAnn, 0, QStringLiteral("Room 5:30-6:00")),
        Line(lIn, TLogKind::Out, lAnn, 0, QStringLiteral("ok,")),
    };
    for (int lFormat : {LOG_FORMAT_TXT, LOG_FORMAT_CSV}) {
        for (bool lWithDate : {false, true}) {
            for (const TLogLine& lWritten : cLines) {
                const QString lText = lFormat == LOG_FORMAT_CSV ? FormatLogLineCsv(lWritten, lWithDate, -2)
                                                                : FormatLogLineTxt(lWritten, lWithDate, -2);
                SCOPED_TRACE(lText.toStdString());
                TLogLine lRead;
                ASSERT_TRUE(lFormat == LOG_FORMAT_CSV ? ParseLogLineCsv(lText, lRepDate, lRead)
                                                      : ParseLogLineTxt(lText, lRepDate, lRead));
                EXPECT_TRUE(SameDateTimeMs(lRead.m_dtTime, lIn));
                EXPECT_EQ(lRead.m_nKind, lWritten.m_nKind);
                EXPECT_EQ(lRead.m_fKey, lWritten.m_sName.isEmpty());
                if (lRead.m_fKey) {
                    EXPECT_EQ(lRead.m_Number, lWritten.m_Number);
                } else {
                    EXPECT_EQ(lRead.m_sName, lWritten.m_sName);
                }
                if (lWritten.m_nKind == TLogKind::Out) {
                    EXPECT_EQ(double(lRead.m_nSum), double(lWritten.m_nSum));
                }
                EXPECT_EQ(lRead.m_sComment, lWritten.m_sComment);
                const bool lBookingKept = lWritten.m_nKind == TLogKind::Out && lWritten.m_Booking.m_fReserv;
                EXPECT_EQ(lRead.m_Booking.m_fReserv, lBookingKept);
                if (lBookingKept) {
                    EXPECT_EQ(lRead.m_Booking.m_fRAllDay, lWritten.m_Booking.m_fRAllDay);
                    EXPECT_EQ(lRead.m_Booking.m_fRConst, lWritten.m_Booking.m_fRConst);
                    EXPECT_TRUE(SameTimeOfDay(lRead.m_Booking.m_dtRFrom, lWritten.m_Booking.m_dtRFrom));
                    EXPECT_TRUE(SameTimeOfDay(lRead.m_Booking.m_dtRTo, lWritten.m_Booking.m_dtRTo));
                }
            }
        }
    }
}

namespace {

struct TReadCase {
    const char* m_sLine;
    bool m_fAccepted;
    TLogKind m_nKind = TLogKind::None;
    const char* m_sName = "";
    int m_nKeyLen = -1; // -1: the name is no key number
    double m_nSum = 0;
    const char* m_sComment = "";
    const char* m_sBooking = ""; // "" none, else flags "R", "RD", "RF", "RDF" and the times "hh:nn-hh:nn"
    TDateTime m_dtTime = 0;      // 0: 5 March 2020 10:00:00
};

void CheckRead(const TReadCase& c, bool ACsv) {
    SCOPED_TRACE(c.m_sLine);
    const TDate lRepDate = EncodeDate(2020, 3, 5);
    TLogLine lLine;
    const QString lText = QString::fromUtf8(c.m_sLine);
    const bool lAccepted =
        ACsv ? ParseLogLineCsv(lText, lRepDate, lLine) : ParseLogLineTxt(lText, lRepDate, lLine);
    ASSERT_EQ(lAccepted, c.m_fAccepted);
    if (!lAccepted)
        return;
    EXPECT_TRUE(
        SameDateTimeMs(lLine.m_dtTime, c.m_dtTime != 0 ? c.m_dtTime : lRepDate + EncodeTime(10, 0, 0, 0)));
    EXPECT_EQ(lLine.m_nKind, c.m_nKind);
    EXPECT_EQ(lLine.m_sName, QString::fromUtf8(c.m_sName));
    EXPECT_EQ(lLine.m_fKey, c.m_nKeyLen >= 0);
    if (c.m_nKeyLen >= 0) {
        EXPECT_EQ(int(lLine.m_Number[0]), c.m_nKeyLen);
    }
    EXPECT_EQ(double(lLine.m_nSum), c.m_nSum);
    EXPECT_EQ(lLine.m_sComment, QString::fromUtf8(c.m_sComment));
    const QString lBooking = lLine.m_Booking.m_fReserv ? BookingText(lLine.m_Booking) : QString();
    EXPECT_EQ(lBooking, QString::fromUtf8(c.m_sBooking));
}

} // namespace

TEST(LogLineReaders, TextLinesGoodAndDamaged) {
    const TReadCase cCases[] = {
        {"", false},
        {"[in] Ann, 1", false},
        {"1[in] Ann, 1", false},
        {"ten [in] Ann, 1", false},                 // no ":" or "." before the "["
        {"25:00:00 [in] Ann, 1", false},            // no valid time
        {"10:00 [in] Ann, 1", false},               // two numbers only
        {"10:00:00 [in Ann, 1", false},             // no "]"
        {"99999999999:00:00 [in] Ann, 1", false},   // number beyond 32 bits
        {"-:00:00 [in] Ann, 1", false},             // sign without digits
        {"31.02.2020 10:00:00 [in] Ann, 1", false}, // no such date
        {"05.03.2020 10:00 [in] Ann, 1", false},
        {"10:00:00 [in] Ann, 1", true, TLogKind::In, "Ann"},
        {"10:00:00 [IN] Ann, 1", true, TLogKind::In, "Ann"},
        {"10:00:00 [Out] Ann, 2.5", true, TLogKind::Out, "Ann", -1, 2.5},
        {"10:00:00 [gone] Ann, 1", true, TLogKind::None, "Ann"},
        {"10:00:00 [in]", true, TLogKind::In, ""},
        {"10:00:00 [out] Ann, abc", true, TLogKind::Out, "Ann", -1, 0},
        {"10:00:00 [out] Ann, 1e999999", true, TLogKind::Out, "Ann", -1, 0},
        {"10:00:00 [out] {00AB12}, 4 note", true, TLogKind::Out, "{00AB12}", 3, 4, "note"},
        {"10:00:00 [out] {}, 4", true, TLogKind::Out, "{}", 0, 4},
        {"10:00:00 [out] {XYZ}, 4", true, TLogKind::Out, "{XYZ}", -1, 4},
        {"10:00:00 [out] \"A \"\"B\"\"\", 5 \"first one\" last", true, TLogKind::Out, "A \"B\"", -1, 5,
         "last"},
        {"10:00:00 [out] \"never closed, 5", true, TLogKind::Out, "never closed, 5"},
        {"10:00:00 [out] Ann, 5 RD10:00-25:00 x", true, TLogKind::Out, "Ann", -1, 5, "x", "RD10:00-00:00"},
        {"10:00:00 [out] Ann, 5 RF9:5-23:59", true, TLogKind::Out, "Ann", -1, 5, "", "RF09:05-23:59"},
        {"10:00:00 [out] Ann, 5 \"R10:00-11:00\"", true, TLogKind::Out, "Ann", -1, 5, "R10:00-11:00"},
        {"10:00:00 [out] Ann, 5 Rxyz", true, TLogKind::Out, "Ann", -1, 5, "Rxyz"},
        {"10:00:00 [out] Ann, 5 X10:00-11:00", true, TLogKind::Out, "Ann", -1, 5, "X10:00-11:00"},
        {"10:00:00 [in] Ann, 1 R10:00-12:00", true, TLogKind::In, "Ann", -1, 0, "R10:00-12:00"},
        {"10:00:00 [in]  Ann", true, TLogKind::In, ""}, // two blanks: an empty name token, then the level
        {"05.03.2020 23:59:59 [in] Ann, 1", true, TLogKind::In, "Ann", -1, 0, "", "",
         MakeDateTime(2020, 3, 5, 23, 59, 59)},
        {"06.03.2020 02:00:00 [in] Ann, 1", true, TLogKind::In, "Ann", -1, 0, "", "",
         MakeDateTime(2020, 3, 6, 2, 0, 0)},
    };
    for (const TReadCase& c : cCases)
        CheckRead(c, false);
}

TEST(LogLineReaders, CsvLinesGoodAndDamaged) {
    const TReadCase cCases[] = {
        {"", false},
        {"10;in;Ann;1;", false},    // time field of two characters
        {"10:00:00;in;Ann", false}, // three fields
        {"25:00:00;in;Ann;1;", false},
        {"10:00;in;Ann;1;", false},
        {"5.3.2020 99999999999:0:0;in;Ann;1;", false},
        {"\"10:00:00;in;Ann;1;", false}, // one quoted field running to the end
        {"10:00:00;in;Ann;1;", true, TLogKind::In, "Ann"},
        {"10:00:00;IN;Ann;1;;", true, TLogKind::None, "Ann"}, // the kind is compared exactly
        {"10:00:00;out;Ann;2.25;;;", true, TLogKind::Out, "Ann", -1, 2.25},
        {"10:00:00;out;\"A;B\";1;;;", true, TLogKind::Out, "A;B", -1, 1},
        {"10:00:00;out;{AB};7.5;RF;c1;c2;", true, TLogKind::Out, "{AB}", 1, 7.5, "c2", "RF00:00-00:00"},
        {"10:00:00;out;{};1;;", true, TLogKind::Out, "{}", -1, 1}, // too short to be a key
        {"10:00:00;out;Ann;1;X12:00-13:00;", true, TLogKind::Out, "Ann", -1, 1},
        {"10:00:00;out;Ann;1;RD8:00-9:30;note;", true, TLogKind::Out, "Ann", -1, 1, "note", "RD08:00-09:30"},
        {"10:00:00;in;Ann;1;comment;", true, TLogKind::In, "Ann", -1, 0, "comment"},
        {"05.03.2020 10:00:00;in;Ann;1;", true, TLogKind::In, "Ann"},
    };
    for (const TReadCase& c : cCases)
        CheckRead(c, true);
}

// The fast check that lets the rebuild pass over earlier days' lines agrees with the readers.
TEST(LogLineReaders, StrictMomentAgreesWithTheReaders) {
    const char* const cLines[] = {
        "05.03.2020 10:00:05 [in] Ann, 1",
        "05.03.2020 10:00:05;in;Ann;1;",
        "31.02.2020 10:00:05 [in] Ann, 1",
        "05.03.2020 10:00:05[in] Ann, 1",
        "5.03.2020 10:00:05 [in] Ann, 1",
        "05.03.2020 24:00:00;in;Ann;1;",
        "10:00:05 [in] Ann, 1",
        "05.03.2020 10:00:05 [",
        "05.03.2020 10:00:05;",
    };
    for (const char* lText : cLines) {
        SCOPED_TRACE(lText);
        for (int lFormat : {LOG_FORMAT_TXT, LOG_FORMAT_CSV}) {
            TDateTime lFast = 0, lMoment = 0;
            const QByteArray lBytes(lText);
            if (!StrictLogLineMoment(lBytes.constData(), lBytes.size(), lFormat, lFast))
                continue;
            TLogLine lLine;
            EXPECT_TRUE(LogLineMoment(QString::fromLatin1(lBytes), EncodeDate(2000, 1, 1), lMoment));
            EXPECT_TRUE(SameDateTimeMs(lFast, lMoment));
            if (lFormat == LOG_FORMAT_TXT ? ParseLogLineTxt(QString::fromLatin1(lBytes), 0, lLine)
                                          : ParseLogLineCsv(QString::fromLatin1(lBytes), 0, lLine)) {
                EXPECT_TRUE(SameDateTimeMs(lFast, lLine.m_dtTime));
            }
        }
    }
    TDateTime lTime = 0;
    EXPECT_TRUE(StrictLogLineMoment("05.03.2020 10:00:05 [", 21, LOG_FORMAT_TXT, lTime));
    EXPECT_FALSE(StrictLogLineMoment("05.03.2020 10:00:05 [", 21, LOG_FORMAT_CSV, lTime));
    EXPECT_FALSE(StrictLogLineMoment("31.02.2020 10:00:05;", 20, LOG_FORMAT_CSV, lTime));
}

// ---- reading files line by line -------------------------------------------------------------------------

TEST(LogFileReaderTest, LineEndsOffsetsAndOverlongLines) {
    TTempDir lDir;
    struct TExpected {
        QByteArray m_aLine;
        qint64 m_nOffset;
        bool m_fTooLong;
    };
    std::vector<TExpected> lExpected;
    QByteArray lBytes;
    auto lAdd = [&](const QByteArray& ALine, const QByteArray& AEnd, bool ATooLong = false) {
        lExpected.push_back({ATooLong ? QByteArray() : ALine, lBytes.size(), ATooLong});
        lBytes += ALine + AEnd;
    };
    // Lines of 1 KiB up to the reader's chunk size, so that one CR LF is split over the boundary.
    const qsizetype lChunk = 256 * 1024;
    while (lBytes.size() + 1024 < lChunk)
        lAdd(QByteArray(1022, 'a'), "\r\n");
    lAdd(QByteArray(lChunk - 1 - lBytes.size(), 'b'), "\r\n");
    ASSERT_EQ(lBytes.at(lChunk - 1), '\r');
    lAdd("lf", "\n");
    lAdd("cr", "\r");
    lAdd("", "\r\n");
    lAdd(QByteArray(TLogFileReader::MaxLineLength + 1, 'x'), "\r\n", true);
    lAdd(QByteArray(TLogFileReader::MaxLineLength, 'y'), "\n");
    lAdd("last", ""); // no line end
    QFile lFile(lDir.WriteFile(QStringLiteral("f.log"), lBytes));
    ASSERT_TRUE(lFile.open(QIODevice::ReadOnly));

    TLogFileReader lReader(lFile);
    QByteArray lLine;
    qint64 lOffset = -1;
    bool lTooLong = false;
    for (const TExpected& e : lExpected) {
        ASSERT_TRUE(lReader.Next(lLine, lOffset, lTooLong));
        EXPECT_EQ(lLine, e.m_aLine);
        EXPECT_EQ(lOffset, e.m_nOffset);
        EXPECT_EQ(lTooLong, e.m_fTooLong);
    }
    EXPECT_FALSE(lReader.Next(lLine, lOffset, lTooLong));
    EXPECT_FALSE(lReader.Failed());
}
