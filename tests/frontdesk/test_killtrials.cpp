// A check-out killed at any point, then the restart: the guest is billed exactly once and as the
// uninterrupted check-out bills, the booking is never lost, and the report file holds every visit of
// the rebuilt day exactly once.
#include "frontdesk/uLogLines.h"
#include "frontdesk/uTarvoDoc.h"

#include "base/uCodePage.h"
#include "base/uKeyNum.h"
#include "tests/common/KillPoints.h"
#include "tests/common/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

using namespace Tarvo;

namespace {

// Per minute from 08:00 at 3, overdue minutes at 1.5: a booked stay and the same stay unbooked cost
// different amounts.
QByteArray DataFileText(std::int32_t APeriod) {
    return "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Tarvo version=\"1.2\">\r\n"
           "<Main>\r\n<StartDayTime>06:00</StartDayTime>\r\n<Log fileFormat=\"0, txt\" filePeriod=\"" +
           LogFilePeriodToStr(APeriod).toUtf8() +
           "\"/>\r\n<Tariffication>2</Tariffication>\r\n<AccPrice>-2</AccPrice>\r\n"
           "<OverdueCost>1.5</OverdueCost>\r\n</Main>\r\n"
           "<TimeZones>\r\n<Item1 name=\"Day\" startTime=\"08:00\" baseCost=\"3\" minCost=\"2\"/>\r\n"
           "</TimeZones>\r\n<Cards>\r\n"
           "<Item1 number=\"0C0B0A\" name=\"Ann Lee\" level=\"0\"/>\r\n"
           "<Item2 number=\"0D\" name=\"Bob\" level=\"0\"/>\r\n"
           "</Cards>\r\n</Tarvo>\r\n";
}

TOrv_KEYNUM Key(const char* AHex) {
    TOrv_KEYNUM lNumber{};
    EXPECT_TRUE(HexToKeyNum(QString::fromLatin1(AHex), lNumber));
    return lNumber;
}

const TOrv_KEYNUM cAnn = Key("0C0B0A");
const TOrv_KEYNUM cBob = Key("0D");

class TKillTrialTest : public ::testing::Test {
protected:
    TKillTrialTest() : m_oClock(MakeDateTime(2024, 3, 12, 10, 0, 0)) {}

    std::unique_ptr<TTarvoDoc> OpenDoc() {
        auto lDoc = std::make_unique<TTarvoDoc>();
        lDoc->SetFileName(m_oDir.FilePath(QStringLiteral("Tarvo.xml")));
        lDoc->SetLangDir(m_oDir.FilePath(QStringLiteral("Languages")));
        lDoc->SetOnWriteError([](const QString& AMessage) { ADD_FAILURE() << AMessage.toStdString(); });
        lDoc->Open();
        return lDoc;
    }

    // A fresh data folder; Ann came at 09:00 (booked 09:00-10:00 when ABooked), Bob at 09:30 and
    // stays; before the check-out at 11:37, one earlier visit of Bob is already in the report.
    void SetUpDay(std::int32_t APeriod, bool ABooked) {
        QDir(m_oDir.Path()).removeRecursively();
        QDir().mkpath(m_oDir.Path());
        m_oDir.WriteFile(QStringLiteral("Tarvo.xml"), DataFileText(APeriod));
        m_oClock.Set(MakeDateTime(2024, 3, 12, 8, 0, 0));
        auto lDoc = OpenDoc();
        lDoc->FireCard(cBob);
        m_oClock.Set(MakeDateTime(2024, 3, 12, 8, 40, 0));
        lDoc->FireCard(cBob);
        m_oClock.Set(MakeDateTime(2024, 3, 12, 9, 0, 0));
        lDoc->FireCard(cAnn);
        if (ABooked) {
            ASSERT_TRUE(
                lDoc->SetBookingForCard(cAnn, true, EncodeTime(9, 0, 0, 0), EncodeTime(10, 0, 0, 0), false));
        }
        m_oClock.Set(MakeDateTime(2024, 3, 12, 9, 30, 0));
        lDoc->FireCard(cBob);
        m_oClock.Set(CheckOutTime());
    }

    static TDateTime CheckOutTime() { return MakeDateTime(2024, 3, 12, 11, 37, 0); }

    // The visit lines the report file must hold for the document's report: one per visit, in any order.
    static void ExpectReportFileMatches(const TTarvoDoc& ADoc, const char* AWhen) {
        QStringList lExpected;
        for (int i = 0; i < ADoc.Report().Count(); ++i) {
            const TRepItem& lItem = *ADoc.Report().Get(i);
            lExpected << FormatReportLine(ADoc.LogFileFormat(), i, *lItem.m_pCard, lItem.m_dtTimeIn,
                                          lItem.m_dtTimeOut, lItem.m_nSum,
                                          ADoc.LogFilePeriod() != LOG_PERIOD_DAY, ADoc.AccPrice());
        }
        QStringList lActual;
        QFile lFile(ADoc.GetReportPath(ADoc.ReportDate(), false));
        if (lFile.open(QIODevice::ReadOnly))
            for (const QByteArray& lLine : lFile.readAll().split('\n'))
                if (!lLine.trimmed().isEmpty())
                    lActual << FromAnsi(lLine.endsWith('\r') ? lLine.chopped(1) : lLine);
        std::sort(lExpected.begin(), lExpected.end());
        std::sort(lActual.begin(), lActual.end());
        EXPECT_EQ(lActual, lExpected) << AWhen;
    }

    TTempDir m_oDir;
    TLocaleOverride m_oLocale;
    TFixedClock m_oClock;
};

TEST_F(TKillTrialTest, ACheckOutKilledAtAnyFileChangeIsBilledOnceAsWithoutTheKill) {
    const struct {
        std::int32_t m_nPeriod;
        bool m_fBooked;
        int m_nMinPoints; // the log and report lines (open, write), and the bookings file replaced
    } cCases[] = {{LOG_PERIOD_DAY, true, 7}, {LOG_PERIOD_DAY, false, 4}, {LOG_PERIOD_WEEK, true, 7}};
    for (const auto& c : cCases) {
        const bool lFailedBefore = HasFailure();
        SCOPED_TRACE(testing::Message() << "period " << c.m_nPeriod << (c.m_fBooked ? ", booked" : ""));
        // The uninterrupted check-out.
        SetUpDay(c.m_nPeriod, c.m_fBooked);
        Extended lBill = 0;
        {
            auto lDoc = OpenDoc();
            lDoc->FireCard(cAnn);
            ASSERT_EQ(lDoc->Report().Count(), 2);
            lBill = lDoc->Report().Get(1)->m_nSum;
        }
        ASSERT_EQ(lBill, c.m_fBooked ? Extended(60 * 3 + 97 * 1.5L) : Extended(157 * 3)); // 09:00-11:37

        int lKills = 0;
        for (int lPoint = 0;; ++lPoint) {
            SCOPED_TRACE(testing::Message() << "killed at file change " << lPoint);
            SetUpDay(c.m_nPeriod, c.m_fBooked);
            const TKillResult lResult = RunKilledAt(lPoint, [&] {
                auto lDoc = OpenDoc();
                lDoc->FireCard(cAnn);
            });
            if (lResult == TKillResult::Unsupported)
                GTEST_SKIP() << "system calls cannot be traced here";

            // The restart at the same moment; a guest still inside presents the card again.
            auto lDoc = OpenDoc();
            ExpectReportFileMatches(*lDoc, "after the restart");
            if (lDoc->FindInUserByKeyNum(cAnn) >= 0)
                lDoc->FireCard(cAnn);
            ASSERT_EQ(lDoc->Report().Count(), 2);
            EXPECT_EQ(lDoc->Report().Get(1)->m_pCard->m_Number, cAnn);
            EXPECT_EQ(lDoc->Report().Get(1)->m_nSum, lBill);
            EXPECT_EQ(lDoc->TotalSum(), lDoc->Report().Get(0)->m_nSum + lBill);
            EXPECT_GE(lDoc->FindInUserByKeyNum(cBob), 0);
            ExpectReportFileMatches(*lDoc, "after the check-out");
            // No booking entry outlives the visit it belonged to.
            TTarvoDoc::TBookingsIni lIni;
            ASSERT_TRUE(lIni.LoadFromFile(lDoc->GetBookingsPath(), nullptr));
            EXPECT_TRUE(lIni.ReadCard(KeyNumToStr(cAnn, KEYVIEW_HEX)).isEmpty());
            if ((HasFailure() && !lFailedBefore) || lResult == TKillResult::Finished)
                break;
            ++lKills;
        }
        // Every point was tried; there are at least as many as the check-out's own file changes.
        EXPECT_GE(lKills, c.m_nMinPoints);
        std::printf("[          ] %d kill points tried\n", lKills);
    }
}

} // namespace
