// Bookings of guests inside and "Reserved.ini": the entry text, storing and restoring across a restart,
// stale entries dropped at start-up, a file that cannot be written, and the reader's limits.

#include "frontdesk/uTarvoDoc.h"

#include "tests/common/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <gtest/gtest.h>

#include <memory>

using namespace Tarvo;

namespace {

// One zone all day at 2 per minute, minute unit, overdue minutes at 3, the day starting at 06:00.
const char* const cDataFile =
    "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
    "<Tarvo version=\"1.2\">\r\n"
    "<Main>\r\n"
    "<StartDayTime>06:00</StartDayTime>\r\n"
    "<Tariffication>2</Tariffication>\r\n"
    "<OverdueCost>3</OverdueCost>\r\n"
    "</Main>\r\n"
    "<TimeZones><Item1 name=\"All day\" startTime=\"00:00\" baseCost=\"2\" minCost=\"1\"/></TimeZones>\r\n"
    "<Cards>\r\n"
    "<Item1 number=\"0C0B0A\" name=\"Ann Lee\" level=\"0\"/>\r\n"
    "<Item2 number=\"0D\" name=\"Bob\" level=\"0\"/>\r\n"
    "<Item3 number=\"0E\" name=\"Cid\" level=\"10\"/>\r\n"
    "</Cards>\r\n"
    "</Tarvo>\r\n";

const TOrv_KEYNUM cAnn = MakeKeyNum({0x0A, 0x0B, 0x0C});
const TOrv_KEYNUM cBob = MakeKeyNum({0x0D});
const TOrv_KEYNUM cCid = MakeKeyNum({0x0E});

TDateTime HM(int AHour, int AMin) {
    return EncodeTime(AHour, AMin, 0, 0);
}

class TBookingTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_oDir.WriteFile(QStringLiteral("Tarvo.xml"), cDataFile);
        m_pDoc = NewDoc();
    }
    std::unique_ptr<TTarvoDoc> NewDoc() {
        auto lDoc = std::make_unique<TTarvoDoc>();
        lDoc->SetFileName(m_oDir.FilePath(QStringLiteral("Tarvo.xml")));
        lDoc->SetLangDir(m_oDir.FilePath(QStringLiteral("Languages")));
        lDoc->SetOnWriteError([this](const QString& AMessage) { m_aErrors << AMessage; });
        lDoc->Open();
        return lDoc;
    }
    void PresentAt(const TOrv_KEYNUM& ANumber, TDateTime AMoment) {
        m_oClock.Set(AMoment);
        m_pDoc->FireCard(ANumber);
    }
    QString IniPath() const { return m_oDir.FilePath(QStringLiteral("Reserved.ini")); }
    QByteArray ReadIni() const {
        QFile lFile(IniPath());
        return lFile.open(QIODevice::ReadOnly) ? lFile.readAll() : QByteArray("<missing>");
    }
    void WriteIni(const QByteArray& ABytes) { m_oDir.WriteFile(QStringLiteral("Reserved.ini"), ABytes); }
    // A folder in the file's place: it can neither be read as the file nor replaced.
    void BlockIni() {
        QFile::remove(IniPath());
        ASSERT_TRUE(QDir().mkpath(IniPath() + QStringLiteral("/blocked")));
    }
    void UnblockIni() { ASSERT_TRUE(QDir(IniPath()).removeRecursively()); }

    TLocaleOverride m_oLocale;
    TFixedClock m_oClock{MakeDateTime(2024, 3, 10, 9, 0)};
    TTempDir m_oDir;
    std::unique_ptr<TTarvoDoc> m_pDoc;
    QStringList m_aErrors;
};

} // namespace

TEST(TBookingValueTest, EntryTextIsWrittenAndReadBack) {
    EXPECT_EQ(TTarvoDoc::FormatBookingValue(HM(18, 0), HM(20, 30), false), QStringLiteral("18:00-20:30 "));
    EXPECT_EQ(TTarvoDoc::FormatBookingValue(HM(10, 0) + 2, HM(22, 0), true), QStringLiteral("10:00-22:00 D"));
    // Seconds are not part of a booking.
    EXPECT_EQ(TTarvoDoc::FormatBookingValue(EncodeTime(7, 5, 59, 0), HM(0, 0), false),
              QStringLiteral("07:05-00:00 "));

    struct TCase {
        const char* m_sValue;
        bool m_fRead;
        TDateTime m_dtFrom, m_dtTo;
        bool m_fAllDay;
    };
    const TCase lCases[] = {
        {"18:00-20:30", true, HM(18, 0), HM(20, 30), false},
        {"10:00-22:00 D", true, HM(10, 0), HM(22, 0), true},
        {"7:5-8:05 xDy", true, HM(7, 5), HM(8, 5), true},
        {"10:00-12:00 d", true, HM(10, 0), HM(12, 0), false},
        {"10:00-12:00  D", true, HM(10, 0), HM(12, 0), false}, // the word after the first blank is empty
        {"10:00-12:00 X D", true, HM(10, 0), HM(12, 0), false},
        {"23:59-00:00 D", true, HM(23, 59), HM(0, 0), true},
        {"", false, 0, 0, false},
        {"10:00", false, 0, 0, false},
        {"10:00-", false, 0, 0, false},
        {"-10:00", false, 0, 0, false},
        {"24:00-10:00 D", false, 0, 0, false},
        {"10:00-10:60", false, 0, 0, false},
        {"10-12", false, 0, 0, false},
        {"10:00--:00", false, 0, 0, false},           // a sign without digits
        {"10:00-99999999999:00", false, 0, 0, false}, // beyond 32 bits
        {"ab:cd-ef:gh", false, 0, 0, false},
    };
    for (const TCase& lCase : lCases) {
        TDateTime lFrom = 1, lTo = 1;
        bool lAllDay = true;
        EXPECT_EQ(TTarvoDoc::ReadBookingValue(QString::fromLatin1(lCase.m_sValue), lFrom, lTo, lAllDay),
                  lCase.m_fRead)
            << lCase.m_sValue;
        EXPECT_EQ(lFrom, lCase.m_dtFrom) << lCase.m_sValue;
        EXPECT_EQ(lTo, lCase.m_dtTo) << lCase.m_sValue;
        EXPECT_EQ(lAllDay, lCase.m_fAllDay) << lCase.m_sValue;
    }
}

// Booked, restarted on the same business day, then checked out: the booking read back is charged and
// its entry is gone.
TEST_F(TBookingTest, BookingSurvivesARestartAndIsChargedAtCheckOut) {
    PresentAt(cAnn, MakeDateTime(2024, 3, 10, 17, 0));
    PresentAt(cBob, MakeDateTime(2024, 3, 10, 17, 5));
    EXPECT_FALSE(QFileInfo::exists(IniPath())) << "no booking, no file";
    // Booked under the card's own key text, whatever length the presented number had.
    EXPECT_TRUE(
        m_pDoc->SetBookingForCard(MakeKeyNum({0x0A, 0x0B, 0x0C, 0x44}), true, HM(18, 0), HM(20, 30), false));
    EXPECT_TRUE(m_pDoc->SetBookingForCard(cBob, true, HM(10, 0), HM(23, 0), true));
    // Values are read without their outer blanks, as INI files are: a rewritten entry loses its last one.
    EXPECT_EQ(ReadIni(), QByteArray("[Cards]\r\n0C0B0A=18:00-20:30\r\n0D=10:00-23:00 D\r\n\r\n"));
    m_pDoc->Close();
    m_pDoc.reset();

    m_oClock.Set(MakeDateTime(2024, 3, 10, 19, 0));
    m_pDoc = NewDoc();
    ASSERT_EQ(m_pDoc->InUsers().Count(), 2) << "the guests come back from the day's log";
    TDateTime lFrom = 0, lTo = 0;
    bool lAllDay = true;
    EXPECT_TRUE(m_pDoc->GetBookingForCard(cAnn, lFrom, lTo, lAllDay));
    EXPECT_EQ(lFrom, HM(18, 0));
    EXPECT_EQ(lTo, HM(20, 30));
    EXPECT_FALSE(lAllDay);
    EXPECT_TRUE(m_pDoc->GetBookingForCard(cBob, lFrom, lTo, lAllDay));
    EXPECT_TRUE(lAllDay);

    // 150 booked minutes at 2, and 10 overdue minutes at 3.
    PresentAt(cAnn, MakeDateTime(2024, 3, 10, 20, 40));
    ASSERT_EQ(m_pDoc->Report().Count(), 1);
    const TRepItem* lVisit = m_pDoc->Report().Get(0);
    EXPECT_EQ(lVisit->m_nSum, 330);
    EXPECT_TRUE(lVisit->m_fReserv);
    EXPECT_EQ(lVisit->m_dtRFrom, HM(18, 0));
    EXPECT_EQ(lVisit->m_dtRTo, HM(20, 30));
    EXPECT_FALSE(lVisit->m_fRConst);
    EXPECT_EQ(ReadIni(), QByteArray("[Cards]\r\n0D=10:00-23:00 D\r\n\r\n"));
    EXPECT_TRUE(m_aErrors.isEmpty()) << m_aErrors.join('\n').toStdString();
}

// Entries of cards not inside and keys that are no key text are dropped; an entry that does not read
// clears that guest's booking; other sections stay.
TEST_F(TBookingTest, StartUpDropsStaleEntriesAndClearsUnreadableOnes) {
    m_pDoc->AddInUser(m_pDoc->Cards().GetCard(0), MakeDateTime(2024, 3, 10, 8, 0));
    m_pDoc->AddInUser(m_pDoc->Cards().GetCard(1), MakeDateTime(2024, 3, 10, 8, 1));
    m_pDoc->AddInUser(m_pDoc->Cards().GetCard(2), MakeDateTime(2024, 3, 10, 8, 2));
    ASSERT_TRUE(m_pDoc->SetBookingForCard(cBob, true, HM(9, 0), HM(10, 0), false));
    const QByteArray lStale = "[Other]\r\nkeep=me\r\n[cards]\r\n0c0b0a=10:00-12:00 D\r\nZZ=10:00-11:00\r\n"
                              "0D=bad\r\n77=10:00-11:00\r\n[Cards]\r\n0F=10:00-11:00\r\n";
    WriteIni(lStale);

    m_pDoc->LoadBookings();
    TDateTime lFrom = 0, lTo = 0;
    bool lAllDay = false;
    EXPECT_TRUE(m_pDoc->GetBookingForCard(cAnn, lFrom, lTo, lAllDay));
    EXPECT_EQ(lFrom, HM(10, 0));
    EXPECT_EQ(lTo, HM(12, 0));
    EXPECT_TRUE(lAllDay);
    EXPECT_FALSE(m_pDoc->GetBookingForCard(cBob, lFrom, lTo, lAllDay)) << "its entry does not read";
    EXPECT_EQ(lFrom, 0);
    EXPECT_FALSE(m_pDoc->GetBookingForCard(cCid, lFrom, lTo, lAllDay)) << "no entry";
    EXPECT_EQ(ReadIni(),
              QByteArray("[Other]\r\nkeep=me\r\n\r\n[cards]\r\n0c0b0a=10:00-12:00 D\r\n0D=bad\r\n\r\n"));

    // Nothing to drop: the file is left as it is.
    const QByteArray lClean = "[Cards]\r\n0D=09:00-10:00\r\n";
    WriteIni(lClean);
    m_pDoc->LoadBookings();
    EXPECT_EQ(ReadIni(), lClean);
    EXPECT_TRUE(m_pDoc->GetBookingForCard(cBob, lFrom, lTo, lAllDay));
    EXPECT_FALSE(m_pDoc->GetBookingForCard(cAnn, lFrom, lTo, lAllDay));

    // Without the file nothing is restored, and none is created.
    QFile::remove(IniPath());
    m_pDoc->LoadBookings();
    EXPECT_TRUE(m_pDoc->GetBookingForCard(cBob, lFrom, lTo, lAllDay));
    EXPECT_FALSE(QFileInfo::exists(IniPath()));
    EXPECT_TRUE(m_aErrors.isEmpty()) << m_aErrors.join('\n').toStdString();
}

TEST_F(TBookingTest, ClearingABookingRemovesItsEntryOnly) {
    PresentAt(cAnn, MakeDateTime(2024, 3, 10, 10, 0));
    PresentAt(cBob, MakeDateTime(2024, 3, 10, 10, 1));
    ASSERT_TRUE(m_pDoc->SetBookingForCard(cAnn, true, HM(11, 0), HM(12, 0), false));
    ASSERT_TRUE(m_pDoc->SetBookingForCard(cBob, true, HM(11, 0), HM(13, 0), false));
    ASSERT_TRUE(m_pDoc->SetBookingForCard(cAnn, true, HM(11, 30), HM(12, 0), true));
    EXPECT_TRUE(m_pDoc->SetBookingForCard(cAnn, false, HM(11, 0), HM(12, 0), true));
    TDateTime lFrom = 1, lTo = 1;
    bool lAllDay = true;
    EXPECT_FALSE(m_pDoc->GetBookingForCard(cAnn, lFrom, lTo, lAllDay));
    EXPECT_EQ(lFrom, 0);
    EXPECT_EQ(lTo, 0);
    EXPECT_FALSE(lAllDay);
    EXPECT_EQ(ReadIni(), QByteArray("[Cards]\r\n0D=11:00-13:00\r\n\r\n"));

    // Only guests inside can be booked; a card outside has no booking.
    EXPECT_THROW(m_pDoc->SetBookingForCard(cCid, true, HM(1, 0), HM(2, 0), false), EAssertionFailed);
    lFrom = lTo = 1;
    EXPECT_FALSE(m_pDoc->GetBookingForCard(cCid, lFrom, lTo, lAllDay));
    EXPECT_EQ(lFrom, 0);
}

// A booking file that cannot be written is told to the operator, the check-out still happens, and the
// entries left wrong are put right by the next write, before a restart could bring them back.
TEST_F(TBookingTest, UnwritableFileIsReportedAndPutRightLater) {
    PresentAt(cAnn, MakeDateTime(2024, 3, 10, 10, 0));
    PresentAt(cBob, MakeDateTime(2024, 3, 10, 10, 1));
    ASSERT_TRUE(m_pDoc->SetBookingForCard(cAnn, true, HM(10, 0), HM(11, 0), false));
    BlockIni();

    EXPECT_FALSE(m_pDoc->SetBookingForCard(cBob, true, HM(12, 0), HM(13, 0), false));
    ASSERT_EQ(m_aErrors.size(), 1);
    EXPECT_TRUE(m_aErrors[0].contains(QStringLiteral("Reserved.ini"))) << m_aErrors[0].toStdString();
    TDateTime lFrom = 0, lTo = 0;
    bool lAllDay = false;
    EXPECT_TRUE(m_pDoc->GetBookingForCard(cBob, lFrom, lTo, lAllDay)) << "the booking holds in memory";

    // Ann leaves while her entry cannot be removed: she is billed for her booking all the same.
    PresentAt(cAnn, MakeDateTime(2024, 3, 10, 10, 30));
    EXPECT_EQ(m_aErrors.size(), 2);
    ASSERT_EQ(m_pDoc->Report().Count(), 1);
    EXPECT_EQ(m_pDoc->Report().Get(0)->m_nSum, 120);
    EXPECT_EQ(m_pDoc->FindInUserByKeyNum(cAnn), -1);

    // The file comes back as it was before the failures.
    UnblockIni();
    WriteIni("[Cards]\r\n0C0B0A=10:00-11:00 \r\n");
    // Ann's new stay must not inherit the entry of her last one.
    PresentAt(cAnn, MakeDateTime(2024, 3, 10, 15, 0));
    EXPECT_EQ(ReadIni(), QByteArray("[Cards]\r\n0D=12:00-13:00 \r\n\r\n"));
    EXPECT_EQ(m_aErrors.size(), 2);
}

TEST_F(TBookingTest, UnreadableFileAtStartUpIsReportedAndKept) {
    m_pDoc->AddInUser(m_pDoc->Cards().GetCard(0), MakeDateTime(2024, 3, 10, 8, 0));
    BlockIni();
    m_pDoc->LoadBookings();
    ASSERT_EQ(m_aErrors.size(), 1);
    EXPECT_TRUE(m_aErrors[0].contains(QStringLiteral("Reserved.ini")));
    EXPECT_TRUE(QFileInfo(IniPath()).isDir());
}

// Hand edits: repeated keys are written once, sections and other entries survive a rewrite.
TEST(TBookingsIniTest, RewriteKeepsOtherEntriesAndCollapsesRepeatedKeys) {
    TLocaleOverride lLocale;
    TTarvoDoc::TBookingsIni lIni;
    lIni.SetBytes(
        "; note\r\nstray=1\r\n[Cards]\r\n0A=1\r\n  0b = 2 \r\n0A=3\r\n[x]\r\ny=z\r\n[CARDS]\r\n0a=4\n0C=5");
    EXPECT_EQ(lIni.ReadCard(QStringLiteral("0a")), QStringLiteral("1"));
    EXPECT_EQ(lIni.ReadCard(QStringLiteral("0B")), QStringLiteral("2"));
    EXPECT_EQ(lIni.ReadCard(QStringLiteral("0D")), QString());
    EXPECT_FALSE(lIni.WriteCard(QStringLiteral("0C"), QStringLiteral("5")));
    EXPECT_TRUE(lIni.WriteCard(QStringLiteral("0A"), QStringLiteral("6")));
    EXPECT_EQ(lIni.GetBytes(), QByteArray("[Cards]\r\n0A=6\r\n0b=2\r\n0C=5\r\n\r\n[x]\r\ny=z\r\n\r\n"));
    EXPECT_TRUE(lIni.DeleteCard(QStringLiteral("0B")));
    EXPECT_FALSE(lIni.DeleteCard(QStringLiteral("0B")));
    EXPECT_TRUE(lIni.WriteCard(QStringLiteral("0D"), QStringLiteral("7")));
    EXPECT_EQ(lIni.GetBytes(), QByteArray("[Cards]\r\n0A=6\r\n0C=5\r\n0D=7\r\n\r\n[x]\r\ny=z\r\n\r\n"));

    // Deleting from an empty file leaves it empty; writing creates the section.
    TTarvoDoc::TBookingsIni lEmpty;
    EXPECT_FALSE(lEmpty.DeleteCard(QStringLiteral("0A")));
    EXPECT_EQ(lEmpty.GetBytes(), QByteArray());
    EXPECT_TRUE(lEmpty.WriteCard(QStringLiteral("0A"), QStringLiteral("10:00-11:00 ")));
    EXPECT_EQ(lEmpty.GetBytes(), QByteArray("[Cards]\r\n0A=10:00-11:00 \r\n\r\n"));
}

// A file beyond the limit is read up to its last whole line within it: the line cut in two is not read
// as a wrong time.
TEST(TBookingsIniTest, OversizedFileIsReadUpToTheLastWholeLine) {
    TTempDir lDir;
    const qint64 lMax = TTarvoDoc::TBookingsIni::MaxFileSize;
    QByteArray lBytes = "[Cards]\r\n0A=10:00-11:00 \r\n";
    const QByteArray lFiller = "; " + QByteArray(60, 'x') + "\r\n";
    while (lBytes.size() + lFiller.size() < lMax - 100)
        lBytes += lFiller;
    // "0B=10:00-12:59" straddles the limit: only "0B=10:00-12:5" lies within it.
    const qsizetype lCut = lMax - lBytes.size() - qsizetype(sizeof("0B=10:00-12:5") - 1);
    lBytes += QByteArray(lCut - 2, ';') + "\r\n" + "0B=10:00-12:59\r\n0C=10:00-13:00\r\n";
    ASSERT_GT(lBytes.size(), lMax);
    const QString lPath = lDir.WriteFile(QStringLiteral("Reserved.ini"), lBytes);

    TTarvoDoc::TBookingsIni lIni;
    QString lError;
    ASSERT_TRUE(lIni.LoadFromFile(lPath, &lError)) << lError.toStdString();
    EXPECT_EQ(lIni.ReadCard(QStringLiteral("0A")), QStringLiteral("10:00-11:00"));
    EXPECT_EQ(lIni.ReadCard(QStringLiteral("0B")), QString());
    EXPECT_EQ(lIni.ReadCard(QStringLiteral("0C")), QString());

    EXPECT_TRUE(lIni.LoadFromFile(lDir.FilePath(QStringLiteral("none.ini")), &lError));
    EXPECT_TRUE(lIni.CardEntries().empty());
}

TEST_F(TBookingTest, RecentBookingMarksTheDocumentModifiedOnlyWhenItChanges) {
    int lChanges = 0;
    m_pDoc->SetOnChange([&](TDocUpdate&) { ++lChanges; });
    ASSERT_FALSE(m_pDoc->Modifyed());
    TDateTime lFrom = 0, lTo = 0;
    bool lAllDay = true;
    m_pDoc->GetRecentBooking(lFrom, lTo, lAllDay);
    m_pDoc->SetRecentBooking(lFrom, lTo, lAllDay);
    EXPECT_FALSE(m_pDoc->Modifyed());
    EXPECT_EQ(lChanges, 0);

    m_pDoc->SetRecentBooking(HM(18, 0), HM(20, 0), true);
    EXPECT_TRUE(m_pDoc->Modifyed());
    EXPECT_EQ(lChanges, 1);
    m_pDoc->GetRecentBooking(lFrom, lTo, lAllDay);
    EXPECT_EQ(lFrom, HM(18, 0));
    EXPECT_EQ(lTo, HM(20, 0));
    EXPECT_TRUE(lAllDay);
    // Compared exactly: a millisecond is a change.
    m_pDoc->SetRecentBooking(HM(18, 0), HM(20, 0) + 1.0 / MSecsPerDay, true);
    m_pDoc->GetRecentBooking(lFrom, lTo, lAllDay);
    EXPECT_EQ(lTo, HM(20, 0) + 1.0 / MSecsPerDay);
    EXPECT_FALSE(m_pDoc->RecentBookingActive()) << "only kept for the file";
}
