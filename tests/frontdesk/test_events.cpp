// Card events of the front desk: check-in and check-out with billing, the events and change bits they
// fire, unregistered cards, the change of business day with its summary, and the lookups.

#include "frontdesk/uTarvoDoc.h"

#include "tests/common/TestSupport.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace Tarvo;

namespace {

// One zone all day at 2 per minute (1 at the highest level, 10), minute unit, whole amounts.
const char* const cDataFile =
    "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
    "<Tarvo version=\"1.2\">\r\n"
    "<Main>\r\n"
    "<StartDayTime>06:00</StartDayTime>\r\n"
    "<Log fileFormat=\"0, txt\" filePeriod=\"0, day\"/>\r\n"
    "<Tariffication>2</Tariffication>\r\n"
    "<AccPrice>0</AccPrice>\r\n"
    "<Entrance>%ENTRANCE%</Entrance>\r\n"
    "</Main>\r\n"
    "<TimeZones><Item1 name=\"All day\" startTime=\"00:00\" baseCost=\"2\" minCost=\"1\"/></TimeZones>\r\n"
    "<Cards>\r\n"
    "<Item1 number=\"0C0B0A\" name=\"Ann Lee\" level=\"0\"><Commant>vip</Commant></Item1>\r\n"
    "<Item2 number=\"0D\" name=\"Bob\" level=\"5\"/>\r\n"
    "<Item3 number=\"0C0B0A\" name=\"Twice\" level=\"10\"/>\r\n"
    "<Item4 number=\"01\" name=\"Ärger\" level=\"10\"/>\r\n"
    "</Cards>\r\n"
    "</Tarvo>\r\n";

const TOrv_KEYNUM cAnn = MakeKeyNum({0x0A, 0x0B, 0x0C});
const TOrv_KEYNUM cBob = MakeKeyNum({0x0D});
const TOrv_KEYNUM cStranger = MakeKeyNum({0x77, 0x66});

class TEventsTest : public ::testing::Test {
protected:
    void OpenDoc(const char* AEntrance = "0") {
        m_oDir.WriteFile(QStringLiteral("Tarvo.xml"),
                         QByteArray(cDataFile).replace("%ENTRANCE%", QByteArray(AEntrance)));
        m_oDoc.SetFileName(m_oDir.FilePath(QStringLiteral("Tarvo.xml")));
        m_oDoc.SetLangDir(m_oDir.FilePath(QStringLiteral("Languages")));
        m_oDoc.Open();
        m_oDoc.SetOnChange([this](TDocUpdate& ASender) {
            m_aChanges.push_back(ASender.ChangeMask());
            m_aOrder << QStringLiteral("change");
        });
        m_oDoc.SetOnUserIn([this](TTarvoDoc&) { m_aOrder << QStringLiteral("in"); });
        m_oDoc.SetOnUserOut([this](TTarvoDoc&) { m_aOrder << QStringLiteral("out"); });
        m_oDoc.SetOnWriteError([this](const QString& AMessage) { m_aErrors << AMessage; });
    }
    void PresentAt(const TOrv_KEYNUM& ANumber, TDateTime AMoment) {
        m_oClock.Set(AMoment);
        m_aChanges.clear();
        m_aOrder.clear();
        m_oDoc.FireCard(ANumber);
    }
    QByteArray ReadFile(const QString& AName) const {
        QFile lFile(m_oDir.FilePath(AName));
        return lFile.open(QIODevice::ReadOnly) ? lFile.readAll() : QByteArray();
    }

    TLocaleOverride m_oLocale;
    TFixedClock m_oClock{MakeDateTime(2024, 3, 10, 9, 0)};
    TTempDir m_oDir;
    TTarvoDoc m_oDoc;
    std::vector<std::uint32_t> m_aChanges;
    QStringList m_aOrder;
    QStringList m_aErrors;
};

} // namespace

TEST_F(TEventsTest, CheckInThenCheckOutBillsTheStayAndCountsIt) {
    OpenDoc();
    PresentAt(cAnn, MakeDateTime(2024, 3, 10, 10, 0, 20));
    ASSERT_EQ(m_oDoc.InUsers().Count(), 1);
    EXPECT_EQ(m_oDoc.InUsers().Get(0)->m_pCard, m_oDoc.Cards().GetCard(0));
    EXPECT_EQ(m_oDoc.InUsers().Get(0)->m_dtTime, MakeDateTime(2024, 3, 10, 10, 0, 20));
    EXPECT_EQ(m_oDoc.RepInUsers(), 1);
    EXPECT_EQ(m_oDoc.RepOutUsers(), 0);
    ASSERT_EQ(m_oDoc.LogList().Count(), 1);
    EXPECT_TRUE(m_oDoc.LogList().Get(0)->m_fIn);
    EXPECT_EQ(m_aOrder, QStringList({"in", "change"}));
    ASSERT_EQ(m_aChanges.size(), 1u);
    EXPECT_EQ(m_aChanges[0] & (DCH_INUSERS | DCH_LOG), DCH_INUSERS | DCH_LOG);
    EXPECT_EQ(m_aChanges[0] & DCH_MODIFIED, 0u) << "card events are not settings to save";

    // 89 min 50 s are 90 minutes at 2.
    PresentAt(cAnn, MakeDateTime(2024, 3, 10, 11, 30, 10));
    EXPECT_EQ(m_oDoc.InUsers().Count(), 0);
    EXPECT_EQ(m_oDoc.RepOutUsers(), 1);
    ASSERT_EQ(m_oDoc.Report().Count(), 1);
    const TRepItem* lItem = m_oDoc.Report().Get(0);
    EXPECT_EQ(lItem->m_pCard, m_oDoc.Cards().GetCard(0));
    EXPECT_EQ(lItem->m_dtTimeIn, MakeDateTime(2024, 3, 10, 10, 0, 20));
    EXPECT_EQ(lItem->m_dtTimeOut, MakeDateTime(2024, 3, 10, 11, 30, 10));
    EXPECT_EQ(lItem->m_nSum, 180);
    EXPECT_FALSE(lItem->m_fReserv);
    EXPECT_EQ(m_oDoc.TotalSum(), 180);
    ASSERT_EQ(m_oDoc.LogList().Count(), 2);
    EXPECT_FALSE(m_oDoc.LogList().Get(1)->m_fIn);
    EXPECT_EQ(m_oDoc.LogList().Get(1)->m_nSum, 180);
    EXPECT_EQ(m_aOrder, QStringList({"out", "change"}));
    ASSERT_EQ(m_aChanges.size(), 1u);
    const std::uint32_t lBits = DCH_INUSERS | DCH_LOG | DCH_REPORT | DCH_TOTALS;
    EXPECT_EQ(m_aChanges[0] & lBits, lBits);

    // The third presentation is a new visit.
    PresentAt(cAnn, MakeDateTime(2024, 3, 10, 12, 0));
    EXPECT_EQ(m_oDoc.InUsers().Count(), 1);
    EXPECT_EQ(m_oDoc.RepInUsers(), 2);
    EXPECT_EQ(m_aOrder, QStringList({"in", "change"}));
    EXPECT_TRUE(m_aErrors.isEmpty()) << m_aErrors.join('\n').toStdString();
}

// The amount logged and reported is the one charged: level price, entrance fee and minimum included.
TEST_F(TEventsTest, CheckOutChargesLevelPriceAndEntranceFee) {
    OpenDoc("50");
    PresentAt(cBob, MakeDateTime(2024, 3, 10, 10, 0, 20));
    PresentAt(cBob, MakeDateTime(2024, 3, 10, 11, 30, 10));
    ASSERT_EQ(m_oDoc.Report().Count(), 1);
    // Level 5 of 10 pays 1.5 per minute: 135, plus the entrance fee.
    EXPECT_EQ(m_oDoc.Report().Get(0)->m_nSum, 185);
    EXPECT_EQ(m_oDoc.LogList().Get(1)->m_nSum, 185);
    EXPECT_EQ(m_oDoc.TotalSum(), 185);
}

TEST_F(TEventsTest, UnregisteredCardChangesAndWritesNothing) {
    OpenDoc();
    PresentAt(cStranger, MakeDateTime(2024, 3, 10, 10, 0));
    EXPECT_TRUE(m_aOrder.isEmpty());
    EXPECT_EQ(m_oDoc.InUsers().Count(), 0);
    EXPECT_EQ(m_oDoc.LogList().Count(), 0);
    EXPECT_EQ(m_oDoc.RepInUsers(), 0);
    EXPECT_FALSE(QFileInfo::exists(m_oDir.FilePath(QStringLiteral("Logs"))));
    EXPECT_FALSE(QFileInfo::exists(m_oDir.FilePath(QStringLiteral("Report"))));
}

// Key numbers match over the shorter length, and a card registered twice is its first entry.
TEST_F(TEventsTest, KeyNumbersMatchOverTheShorterLength) {
    OpenDoc();
    const TOrv_KEYNUM lLonger = MakeKeyNum({0x0A, 0x0B, 0x0C, 0x99, 0x98});
    const TOrv_KEYNUM lShorter = MakeKeyNum({0x0A, 0x0B});
    EXPECT_EQ(m_oDoc.FindCardByKeyNum(lLonger), 0);
    EXPECT_EQ(m_oDoc.FindCardByKeyNum(lShorter), 0);
    EXPECT_EQ(m_oDoc.FindCardByKeyNum(MakeKeyNum({0x0A, 0x0C})), -1);

    PresentAt(lLonger, MakeDateTime(2024, 3, 10, 10, 0));
    ASSERT_EQ(m_oDoc.InUsers().Count(), 1);
    EXPECT_EQ(m_oDoc.InUsers().Get(0)->m_pCard->m_sUserName, QStringLiteral("Ann Lee"));
    EXPECT_EQ(m_oDoc.FindInUserByKeyNum(lShorter), 0);
    EXPECT_EQ(m_oDoc.FindInUserByKeyNum(cBob), -1);
    // The shorter number is the same guest: this is her check-out.
    PresentAt(lShorter, MakeDateTime(2024, 3, 10, 10, 30));
    EXPECT_EQ(m_oDoc.InUsers().Count(), 0);
    EXPECT_EQ(m_oDoc.Report().Count(), 1);
}

TEST_F(TEventsTest, FindCardByUserNameIgnoresLetterCase) {
    OpenDoc();
    struct TCase {
        const char* m_sName;
        int m_nExpected;
    };
    const TCase lCases[] = {
        {"Ann Lee", 0}, {"ANN LEE", 0}, {"ann lee", 0}, {"twice", 2}, {"äRGER", 3}, {"Ann", -1}, {"", -1},
    };
    for (const TCase& lCase : lCases)
        EXPECT_EQ(m_oDoc.FindCardByUserName(QString::fromUtf8(lCase.m_sName)), lCase.m_nExpected)
            << lCase.m_sName;
}

// With the day starting at 06:00 a check-in at 02:00 belongs to the business day before.
TEST_F(TEventsTest, FindInUserByCalendarDateAndByBusinessDay) {
    OpenDoc();
    PresentAt(cAnn, MakeDateTime(2024, 3, 11, 2, 0));
    PresentAt(cBob, MakeDateTime(2024, 3, 11, 7, 0));
    EXPECT_EQ(m_oDoc.FindInUserByDate(MakeDateTime(2024, 3, 11, 23, 0)), 0);
    EXPECT_EQ(m_oDoc.FindInUserByDate(MakeDateTime(2024, 3, 10)), -1);
    EXPECT_EQ(m_oDoc.FindInUserByRepDate(MakeDateTime(2024, 3, 10)), 0);
    EXPECT_EQ(m_oDoc.FindInUserByRepDate(MakeDateTime(2024, 3, 11)), 1);
    EXPECT_EQ(m_oDoc.FindInUserByRepDate(MakeDateTime(2024, 3, 12)), -1);
}

// OnUserIn and OnUserOut fire inside the update, with the last items of the lists in place.
TEST_F(TEventsTest, EventsSeeTheFinishedEventBeforeOnChange) {
    OpenDoc();
    PresentAt(cAnn, MakeDateTime(2024, 3, 10, 10, 0));
    int lIns = 0, lOuts = 0;
    m_oDoc.SetOnUserIn([&](TTarvoDoc& ADoc) {
        ++lIns;
        EXPECT_GT(ADoc.UpdateDepth(), 0);
        ASSERT_GT(ADoc.InUsers().Count(), 0);
        EXPECT_EQ(ADoc.InUsers().Get(ADoc.InUsers().Count() - 1)->m_pCard->m_sUserName,
                  QStringLiteral("Bob"));
        ASSERT_GT(ADoc.LogList().Count(), 0);
        const TLogItem* lLast = ADoc.LogList().Get(ADoc.LogList().Count() - 1);
        EXPECT_TRUE(lLast->m_fIn);
        EXPECT_EQ(lLast->m_pCard->m_sUserName, QStringLiteral("Bob"));
        EXPECT_TRUE(m_aChanges.empty());
    });
    m_oDoc.SetOnUserOut([&](TTarvoDoc& ADoc) {
        ++lOuts;
        EXPECT_GT(ADoc.UpdateDepth(), 0);
        EXPECT_EQ(ADoc.FindInUserByKeyNum(cAnn), -1);
        EXPECT_EQ(ADoc.InUsers().Count(), 1) << "Bob stays inside";
        ASSERT_GT(ADoc.Report().Count(), 0);
        const TRepItem* lVisit = ADoc.Report().Get(ADoc.Report().Count() - 1);
        EXPECT_EQ(lVisit->m_pCard->m_sUserName, QStringLiteral("Ann Lee"));
        EXPECT_EQ(lVisit->m_nSum, 60);
        const TLogItem* lLast = ADoc.LogList().Get(ADoc.LogList().Count() - 1);
        EXPECT_FALSE(lLast->m_fIn);
        EXPECT_EQ(lLast->m_nSum, 60);
        EXPECT_TRUE(m_aChanges.empty());
    });
    PresentAt(cBob, MakeDateTime(2024, 3, 10, 10, 10));
    PresentAt(cAnn, MakeDateTime(2024, 3, 10, 10, 30));
    EXPECT_EQ(lIns, 1);
    EXPECT_EQ(lOuts, 1);
    EXPECT_EQ(m_aChanges.size(), 1u);
}

// A guest in at 23:00 and out at 07:00: the old day is closed first with her under "Not out:", then
// the check-out is billed from 23:00 and counted in the new day.
TEST_F(TEventsTest, CheckOutAfterTheStartOfANewDayClosesTheOldOneFirst) {
    OpenDoc();
    PresentAt(cBob, MakeDateTime(2024, 3, 10, 20, 0));
    PresentAt(cBob, MakeDateTime(2024, 3, 10, 20, 10));
    PresentAt(cAnn, MakeDateTime(2024, 3, 10, 23, 0));
    EXPECT_EQ(m_oDoc.TotalSum(), 15);
    EXPECT_EQ(m_oDoc.ReportDate(), EncodeDate(2024, 3, 10));

    // 05:59:59 still belongs to the 10th: a check-in there does not close the day.
    PresentAt(cBob, MakeDateTime(2024, 3, 11, 5, 59, 59));
    EXPECT_EQ(m_oDoc.ReportDate(), EncodeDate(2024, 3, 10));
    EXPECT_FALSE(QFileInfo::exists(m_oDir.FilePath(QStringLiteral("Report/R11032024.log"))));
    const QByteArray lBefore = ReadFile(QStringLiteral("Report/R10032024.log"));

    PresentAt(cAnn, MakeDateTime(2024, 3, 11, 7, 0));
    EXPECT_EQ(m_oDoc.ReportDate(), EncodeDate(2024, 3, 11));
    // Bob came in on the next calendar date: his time carries the date. He has no comment. The blank
    // before a booking text and the one before the comment are both there without a booking.
    EXPECT_EQ(ReadFile(QStringLiteral("Report/R10032024.log")).mid(lBefore.size()).toStdString(),
              std::string("Total sum: 15\r\n\t3 in / 1 out\r\n\tNot out:\r\n"
                          "\t1 \"Ann Lee\" 0C0B0A 23:00:00  vip\r\n\t2 Bob 0D 11.03.2024 05:59:59  \r\n"));

    // Billed 8 hours from 23:00, counted and reported in the new day.
    ASSERT_EQ(m_oDoc.Report().Count(), 1);
    EXPECT_EQ(m_oDoc.Report().Get(0)->m_nSum, 960);
    EXPECT_EQ(m_oDoc.Report().Get(0)->m_dtTimeIn, MakeDateTime(2024, 3, 10, 23, 0));
    EXPECT_EQ(m_oDoc.TotalSum(), 960);
    EXPECT_EQ(m_oDoc.RepInUsers(), 0);
    EXPECT_EQ(m_oDoc.RepOutUsers(), 1);
    ASSERT_EQ(m_oDoc.LogList().Count(), 1);
    EXPECT_FALSE(m_oDoc.LogList().Get(0)->m_fIn);
    EXPECT_EQ(m_oDoc.InUsers().Count(), 1) << "Bob stays inside across the change";
    EXPECT_EQ(m_aOrder, QStringList({"out", "change"}));
    EXPECT_TRUE(QFileInfo::exists(m_oDir.FilePath(QStringLiteral("Report/R11032024.log"))));
}

TEST_F(TEventsTest, SetReportDateClosesADayOnlyWhenTheDateChanges) {
    OpenDoc();
    PresentAt(cAnn, MakeDateTime(2024, 3, 10, 10, 0));
    PresentAt(cAnn, MakeDateTime(2024, 3, 10, 10, 5));
    PresentAt(cBob, MakeDateTime(2024, 3, 10, 11, 0));
    const QString lReport = QStringLiteral("Report/R10032024.log");
    const QByteArray lBefore = ReadFile(lReport);

    m_aChanges.clear();
    m_oDoc.SetReportDate(EncodeDate(2024, 3, 10) + 0.75); // same calendar date
    EXPECT_TRUE(m_aChanges.empty());
    EXPECT_EQ(ReadFile(lReport), lBefore);
    EXPECT_EQ(m_oDoc.Report().Count(), 1);

    m_oDoc.SetReportDate(EncodeDate(2024, 3, 12));
    EXPECT_EQ(m_oDoc.ReportDate(), EncodeDate(2024, 3, 12));
    ASSERT_EQ(m_aChanges.size(), 1u);
    const std::uint32_t lBits = DCH_LOG | DCH_REPORT | DCH_TOTALS;
    EXPECT_EQ(m_aChanges[0] & lBits, lBits);
    EXPECT_EQ(m_oDoc.LogList().Count(), 0);
    EXPECT_EQ(m_oDoc.Report().Count(), 0);
    EXPECT_EQ(m_oDoc.TotalSum(), 0);
    EXPECT_EQ(m_oDoc.RepInUsers(), 0);
    EXPECT_EQ(m_oDoc.RepOutUsers(), 0);
    EXPECT_EQ(m_oDoc.InUsers().Count(), 1);
    EXPECT_EQ(ReadFile(lReport).mid(lBefore.size()).toStdString(),
              std::string("Total sum: 10\r\n\t2 in / 1 out\r\n\tNot out:\r\n\t1 Bob 0D 11:00:00  \r\n"));
}

// A new document's first date is only taken over; closing the document closes a finished day.
TEST_F(TEventsTest, FirstDateIsTakenOverAndCloseClosesAFinishedDay) {
    TTarvoDoc lFresh;
    lFresh.SetFileName(m_oDir.FilePath(QStringLiteral("Tarvo.xml")));
    lFresh.SetReportDate(EncodeDate(2024, 3, 9));
    EXPECT_EQ(lFresh.ReportDate(), EncodeDate(2024, 3, 9));
    EXPECT_FALSE(QFileInfo::exists(m_oDir.FilePath(QStringLiteral("Report"))));

    OpenDoc();
    PresentAt(cBob, MakeDateTime(2024, 3, 10, 10, 0));
    m_oClock.Set(MakeDateTime(2024, 3, 11, 6, 0));
    m_oDoc.Close();
    EXPECT_EQ(m_oDoc.ReportDate(), EncodeDate(2024, 3, 11));
    EXPECT_TRUE(
        ReadFile(QStringLiteral("Report/R10032024.log")).startsWith("Total sum: 0\r\n\t1 in / 0 out\r\n"));
}

TEST_F(TEventsTest, GuestsInsideAreAddedAndRemovedWithTheirChangeBit) {
    OpenDoc();
    m_aChanges.clear();
    EXPECT_EQ(m_oDoc.AddInUser(m_oDoc.Cards().GetCard(1), MakeDateTime(2024, 3, 10, 8, 0)), 0);
    EXPECT_EQ(m_oDoc.AddInUser(m_oDoc.Cards().GetCard(0), MakeDateTime(2024, 3, 10, 8, 5)), 1);
    EXPECT_FALSE(m_oDoc.InUsers().Get(1)->m_fReserv);
    m_oDoc.DeleteInUser(0);
    ASSERT_EQ(m_oDoc.InUsers().Count(), 1);
    EXPECT_EQ(m_oDoc.InUsers().Get(0)->m_pCard, m_oDoc.Cards().GetCard(0));
    ASSERT_EQ(m_aChanges.size(), 3u);
    for (std::uint32_t lMask : m_aChanges)
        EXPECT_EQ(lMask, DCH_INUSERS);
    EXPECT_THROW(m_oDoc.DeleteInUser(1), EListError);
    EXPECT_THROW(m_oDoc.AddInUser(nullptr, 0), EAssertionFailed);
}
