// Row texts, row order and sorting of the three list adapters, on a document with a few cards.

#include "base/uMessages.h"
#include "frontdesk/uViewData.h"
#include "tests/frontdesk/DayLogFixture.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <vector>

using namespace Tarvo;

namespace {

class TViewDataTest : public TDayLogTest {
protected:
    // Cards: John Smith (00AB12, level 2, "vip"), Ann (000001, 1), no name (00000C, 1), Bob (000002, 3),
    // a second Ann (000003, 2).
    static constexpr int ANN2 = 4;

    void SetUp() override {
        m_oDir.WriteFile(
            QStringLiteral("Tarvo.xml"),
            "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Tarvo version=\"1.2\">\r\n"
            "<Main><StartDayTime>06:00</StartDayTime></Main>\r\n<Cards>\r\n"
            "<Item1 number=\"00AB12\" name=\"John Smith\" level=\"2\"><Commant>vip</Commant></Item1>\r\n"
            "<Item2 number=\"000001\" name=\"Ann\" level=\"1\"><Commant/></Item2>\r\n"
            "<Item3 number=\"00000C\" level=\"1\"><Commant/></Item3>\r\n"
            "<Item4 number=\"000002\" name=\"Bob\" level=\"3\"><Commant/></Item4>\r\n"
            "<Item5 number=\"000003\" name=\"Ann\" level=\"2\"><Commant>two</Commant></Item5>\r\n"
            "</Cards>\r\n</Tarvo>\r\n");
        m_pDoc = OpenDoc();
    }

    TCard* Card(int AIdx) const { return m_pDoc->Cards().GetCard(AIdx); }
    static TDateTime At(int AHour, int AMin, int ASec = 0, int AMSec = 0) {
        return MakeDateTime(2020, 3, 5, AHour, AMin, ASec, AMSec);
    }

    static TListViewRow Row(TVirtualListViewData& AData, int ARow) {
        TListViewRow row;
        AData.GetData(ARow, row);
        return row;
    }
    // Document index of every row.
    template <class TData> static std::vector<int> Order(const TData& AData) {
        std::vector<int> idx;
        for (int r = 0; r < AData.GetCount(); ++r)
            idx.push_back(AData.GetItemDocIndex(r));
        return idx;
    }

    std::unique_ptr<TTarvoDoc> m_pDoc;
};

TEST_F(TViewDataTest, LogShowsNewestFirstWithItsTexts) {
    m_pDoc->AddLogItem(Card(ANN), true, QStringLiteral("window seat"), 0, At(10, 14, 59, 900));
    m_pDoc->AddLogItem(Card(KEYONLY), true, QString(), 0, At(10, 20));
    m_pDoc->AddLogItem(Card(ANN), false, QString(), 12.5L, At(11, 2, 3));
    TLogViewData data(*m_pDoc);
    data.Update();

    ASSERT_EQ(data.GetCount(), 3);
    EXPECT_EQ(data.GetItemDocIndex(0), 2);
    EXPECT_EQ(data.FindDocIndex(0), 2);
    EXPECT_EQ(data.FindDocIndex(2), 0);
    EXPECT_EQ(data.GetItemDocIndex(3), -1);

    const TListViewRow out = Row(data, 0);
    EXPECT_EQ(out.m_nImageIndex, LV_IMAGE_CAMERA);
    EXPECT_EQ(out.m_aSubItems, QStringList({"11:02:03", "Ann", "", LoadResString(MSG_OUT), "", "12.50"}));
    EXPECT_EQ(out.ColumnImage(4), LV_IMAGE_CHECKOUT);
    // A card without name shows its key in braces; a check-in shows the level and no sum.
    EXPECT_EQ(Row(data, 1).m_aSubItems,
              QStringList({"10:20:00", "{00000C}", "", LoadResString(MSG_IN), "1", ""}));
    EXPECT_EQ(Row(data, 1).ColumnImage(4), LV_IMAGE_CHECKIN);
    // The time is cut, not rounded.
    EXPECT_EQ(Row(data, 2).ColumnText(1), "10:14:59");
    EXPECT_EQ(Row(data, 2).ColumnText(3), "window seat");
}

TEST_F(TViewDataTest, CachedRowsFollowUpdatesAndShrinkingLists) {
    for (int i = 0; i < 5; ++i)
        m_pDoc->AddInUser(Card(i), At(10, i));
    TInViewData data(*m_pDoc);
    int nNotified = 0;
    data.SetOnUpdateAllView([&](TVirtualListViewData& ASender) {
        EXPECT_EQ(&ASender, &data);
        ++nNotified;
    });
    data.Update();
    EXPECT_EQ(nNotified, 1);
    data.DataHint(1, 3);
    EXPECT_EQ(data.RetrieveItem(2).m_sIdx, "3");
    // Rows outside the cache are built on demand.
    EXPECT_EQ(data.RetrieveItem(4).m_sIdx, "5");

    // Two guests leave: the cache shrinks to the rows that still exist and shows them anew.
    m_pDoc->DeleteInUser(0);
    m_pDoc->DeleteInUser(0);
    data.Update();
    ASSERT_EQ(data.GetCount(), 3);
    EXPECT_EQ(Row(data, 1).ColumnText(1), "Bob");
    EXPECT_EQ(Row(data, 2).ColumnText(1), "Ann");
    EXPECT_EQ(Row(data, 2).ColumnText(2), "two");
    EXPECT_EQ(nNotified, 2);
    // A hint reaching past the end is harmless.
    data.DataHint(0, 50);
    EXPECT_EQ(Row(data, 0).ColumnText(0), "1");
    EXPECT_THROW(data.GetItemDocIndex(3), EAssertionFailed);
}

struct TGuestCase {
    TTariffication m_nUnit;
    TDateTime m_dtRFrom, m_dtRTo;
    bool m_fAllDay;
    const char* m_pTime;
    const char* m_pFrom;
    const char* m_pTo;
};

TEST_F(TViewDataTest, GuestRowsByTariffUnitAndBooking) {
    const TGuestCase cases[] = {
        {TARIF_MINUTE, 0, 0, false, "10:15", "--:--", "--:--"},
        {TARIF_HOUR, 0, 0, true, "10:15", "--:--", "--:--"}, // no end time: no star
        {TARIF_SECOND, 0, 0, false, "10:14:41", "--:--:--", "--:--:--"},
        {TARIF_MINUTE, EncodeTime(9, 30, 0, 0), EncodeTime(12, 0, 0, 0), false, "10:15", "09:30", "12:00"},
        {TARIF_MINUTE, EncodeTime(9, 30, 0, 0), EncodeTime(23, 59, 0, 0), true, "10:15", "09:30", "23:59*"},
        {TARIF_SECOND, EncodeTime(9, 30, 15, 0), EncodeTime(12, 0, 0, 0), false, "10:14:41", "09:30:15",
         "12:00:00"},
    };
    m_pDoc->AddInUser(Card(KEYONLY), At(10, 14, 40, 600));
    TInUser& guest = *m_pDoc->InUsers().Get(0);
    TInViewData data(*m_pDoc);
    for (const TGuestCase& c : cases) {
        SCOPED_TRACE(std::string(c.m_pTime) + " " + c.m_pTo);
        m_pDoc->SetTariffication(c.m_nUnit);
        guest.m_dtRFrom = c.m_dtRFrom;
        guest.m_dtRTo = c.m_dtRTo;
        guest.m_fRAllDay = c.m_fAllDay;
        data.Update();
        // The guests view shows the empty name and the key in its own column.
        EXPECT_EQ(Row(data, 0).m_aSubItems, QStringList({"", "", "00000C", c.m_pTime, c.m_pFrom, c.m_pTo}));
        EXPECT_EQ(Row(data, 0).m_sCaption, "1");
        EXPECT_EQ(Row(data, 0).m_nImageIndex, -1);
    }
}

TEST_F(TViewDataTest, GuestsSortByHeaderClicks) {
    // Document order: Bob 10:05, Ann(2) 10:01, John 10:03, Ann 10:01 (same minute as Ann(2)), no name 10:02.
    m_pDoc->AddInUser(Card(BOB), At(10, 5));
    m_pDoc->AddInUser(Card(ANN2), At(10, 1));
    m_pDoc->AddInUser(Card(JOHN), At(10, 3));
    m_pDoc->AddInUser(Card(ANN), At(10, 1));
    m_pDoc->AddInUser(Card(KEYONLY), At(10, 2));
    m_pDoc->InUsers().Get(2)->m_dtRFrom = EncodeTime(9, 0, 0, 0);
    TInViewData data(*m_pDoc);
    data.Update();
    EXPECT_EQ(Order(data), std::vector<int>({0, 1, 2, 3, 4}));

    struct TClick {
        int m_nColumn; // 0-based, as the header reports it
        int m_nSortColumn;
        std::vector<int> m_aOrder;
    };
    const TClick clicks[] = {
        // Name ascending, the two Anns by key (000001 before 000003); the empty name first.
        {1, icUser, {4, 3, 1, 0, 2}},
        // Again: descending, and the tie-break reversed too.
        {1, -icUser, {2, 0, 1, 3, 4}},
        {3, icKey, {3, 0, 1, 4, 2}},
        // Same check-in moment: by name, then key.
        {4, icTime, {3, 1, 4, 2, 0}},
        {4, -icTime, {0, 2, 4, 1, 3}},
        {5, icBookingFrom, {4, 3, 1, 0, 2}},
        // "Comment" has no order of its own: back to document order.
        {2, icComment, {0, 1, 2, 3, 4}},
        {0, icIdx, {0, 1, 2, 3, 4}},
        {0, -icIdx, {4, 3, 2, 1, 0}},
    };
    for (const TClick& c : clicks) {
        SCOPED_TRACE(c.m_nSortColumn);
        data.ColumnClick(c.m_nColumn);
        EXPECT_EQ(data.SortColumn(), c.m_nSortColumn);
        EXPECT_EQ(Order(data), c.m_aOrder);
    }
    // Row <-> document index both ways; rows show the document's place, not the row number.
    EXPECT_EQ(data.FindDocIndex(4), 0);
    EXPECT_EQ(data.FindDocIndex(9), -1);
    EXPECT_EQ(Row(data, 0).m_sCaption, "5");
}

struct TRepCase {
    TTariffication m_nUnit;
    TDateTime m_dtIn, m_dtOut;
    const char* m_pIn;
    const char* m_pOut;
};

TEST_F(TViewDataTest, ReportTimesRoundTheStayToWholeUnits) {
    const TRepCase cases[] = {
        // 1 h 35 min 20 s rounds to 2 hours, added to the check-in rounded to the minute.
        {TARIF_HOUR, At(10, 14, 40), At(11, 50), "10:15", "12:15"},
        // 5 min 40 s: 6 minutes.
        {TARIF_MINUTE, At(10, 14, 40), At(10, 20, 20), "10:15", "10:21"},
        // Exactly half a unit goes to the even number: 2.5 min -> 2, 3.5 min -> 4, 1.5 h -> 2, 2.5 h -> 2.
        {TARIF_MINUTE, At(10, 0), At(10, 2, 30), "10:00", "10:02"},
        {TARIF_MINUTE, At(10, 0), At(10, 3, 30), "10:00", "10:04"},
        {TARIF_HOUR, At(10, 0), At(11, 30), "10:00", "12:00"},
        {TARIF_HOUR, At(10, 0), At(12, 30), "10:00", "12:00"},
        {TARIF_SECOND, At(10, 14, 40, 600), At(10, 20, 20, 100), "10:14:41", "10:20:21"},
        // A stay past midnight shows the time of day.
        {TARIF_MINUTE, At(23, 50), At(23, 50) + 1.0 / 48, "23:50", "00:20"},
    };
    TRepViewData data(*m_pDoc);
    for (const TRepCase& c : cases) {
        SCOPED_TRACE(std::string(c.m_pIn) + "-" + c.m_pOut);
        m_pDoc->SetTariffication(c.m_nUnit);
        const int n = m_pDoc->AddRepItem(Card(KEYONLY), c.m_dtIn, c.m_dtOut, 3, false, 0, 0, false, false);
        data.Update();
        const TListViewRow row = Row(data, n);
        EXPECT_EQ(row.ColumnText(5), QString(c.m_pIn));
        EXPECT_EQ(row.ColumnText(6), QString(c.m_pOut));
    }
}

TEST_F(TViewDataTest, ReportRowTexts) {
    m_pDoc->AddLogItem(Card(JOHN), true, QStringLiteral("birthday"), 0, At(10, 0, 0));
    m_pDoc->AddRepItem(Card(JOHN), At(10, 0), At(11, 0), 7.5L, false, 0, 0, false, false);
    m_pDoc->AddRepItem(Card(KEYONLY), At(10, 30), At(11, 0), 2, false, 0, 0, false, false);
    m_pDoc->SetTariffication(TARIF_MINUTE);
    TRepViewData data(*m_pDoc);
    data.Update();
    const TListViewRow row = Row(data, 0);
    EXPECT_EQ(row.m_nImageIndex, LV_IMAGE_CAMERA);
    EXPECT_EQ(row.m_aSubItems, QStringList({"1", "John Smith", "birthday", "2", "10:00", "11:00", "7.50"}));
    EXPECT_EQ(Row(data, 1).ColumnText(2), "{00000C}");
    EXPECT_EQ(Row(data, 1).ColumnText(3), "");
    EXPECT_THROW(data.GetItemDocIndex(2), EAssertionFailed);
    EXPECT_THROW(data.GetItemDocIndex(-1), EAssertionFailed);
}

TEST_F(TViewDataTest, ReportSortsBySumLevelAndTimeWithTieBreaks) {
    // 0 Bob 5.00, 1 Ann(2) 3.00, 2 John 5.00, 3 Ann 3.00 (check-in a day earlier, latest time of day).
    m_pDoc->AddRepItem(Card(BOB), At(10, 0), At(11, 0), 5, false, 0, 0, false, false);
    m_pDoc->AddRepItem(Card(ANN2), At(9, 0), At(12, 0), 3, false, 0, 0, false, false);
    m_pDoc->AddRepItem(Card(JOHN), At(8, 0), At(9, 0), 5, false, 0, 0, false, false);
    m_pDoc->AddRepItem(Card(ANN), At(11, 0) - 1, At(11, 30), 3, false, 0, 0, false, false);
    TRepViewData data(*m_pDoc);
    data.Update();
    struct TClick {
        int m_nColumn;
        std::vector<int> m_aOrder;
    };
    const TClick clicks[] = {
        // Sum, ties by name, then key.
        {7, {3, 1, 0, 2}},
        {7, {2, 0, 1, 3}},
        // Level: Ann 1, Ann(2) 2, John 2, Bob 3.
        {4, {3, 1, 2, 0}},
        // Time in by time of day only: 08:00, 09:00, 10:00, 11:00 (the day before).
        {5, {2, 1, 0, 3}},
        {6, {2, 0, 3, 1}},
        {2, {3, 1, 0, 2}},
        {0, {0, 1, 2, 3}}, // "Camera": document order
    };
    for (const TClick& c : clicks) {
        SCOPED_TRACE(c.m_nColumn);
        data.ColumnClick(c.m_nColumn);
        EXPECT_EQ(Order(data), c.m_aOrder);
    }
}

// Every row's identity by the document entry it shows; all distinct.
template <class TData> std::map<int, std::uint64_t> IdsByDocIndex(const TData& AData) {
    std::map<int, std::uint64_t> ids;
    std::set<std::uint64_t> distinct;
    for (int r = 0; r < AData.GetCount(); ++r) {
        ids[AData.GetItemDocIndex(r)] = AData.GetRowId(r);
        distinct.insert(AData.GetRowId(r));
    }
    EXPECT_EQ(distinct.size(), ids.size());
    return ids;
}

// An entry keeps its identity wherever its row goes: newer log entries push it down, a check-out
// before it moves it up, a sort anywhere. A view keeps its selection on entries by these identities.
TEST_F(TViewDataTest, RowIdentitiesFollowTheEntriesNotTheRows) {
    m_pDoc->AddLogItem(Card(ANN), true, QString(), 0, At(10, 0));
    m_pDoc->AddLogItem(Card(BOB), true, QString(), 0, At(10, 1));
    TLogViewData log(*m_pDoc);
    log.Update();
    const auto logBefore = IdsByDocIndex(log);
    m_pDoc->AddLogItem(Card(ANN), false, QString(), 2, At(10, 2));
    log.Update();
    auto logAfter = IdsByDocIndex(log);
    EXPECT_EQ(log.FindDocIndex(0), 2); // Ann's check-in moved from row 1 to row 2
    EXPECT_EQ(logAfter.size(), 3u);
    logAfter.erase(2);
    EXPECT_EQ(logAfter, logBefore);

    for (int i : {BOB, ANN, JOHN})
        m_pDoc->AddInUser(Card(i), At(11, i));
    TInViewData in(*m_pDoc);
    in.ColumnClick(icUser - 1);
    std::map<TCard*, std::uint64_t> inBefore;
    for (int r = 0; r < in.GetCount(); ++r)
        inBefore[m_pDoc->InUsers().Get(in.GetItemDocIndex(r))->m_pCard] = in.GetRowId(r);
    m_pDoc->DeleteInUser(0); // Bob leaves: the others move up a place in the document
    in.Update();
    ASSERT_EQ(in.GetCount(), 2);
    for (int r = 0; r < in.GetCount(); ++r)
        EXPECT_EQ(in.GetRowId(r), inBefore.at(m_pDoc->InUsers().Get(in.GetItemDocIndex(r))->m_pCard));

    // The same card twice in the report, and the same times for two cards: still told apart.
    m_pDoc->AddRepItem(Card(ANN), At(9, 0), At(9, 30), 5, false, 0, 0, false, false);
    m_pDoc->AddRepItem(Card(ANN), At(10, 0), At(10, 30), 3, false, 0, 0, false, false);
    m_pDoc->AddRepItem(Card(BOB), At(10, 0), At(10, 30), 4, false, 0, 0, false, false);
    TRepViewData rep(*m_pDoc);
    rep.Update();
    const auto repBefore = IdsByDocIndex(rep);
    rep.ColumnClick(rcSum - 1);
    EXPECT_EQ(Order(rep), std::vector<int>({1, 2, 0}));
    EXPECT_EQ(IdsByDocIndex(rep), repBefore);
}

TEST_F(TViewDataTest, RowWithoutCardIsAProgrammingError) {
    m_pDoc->AddLogItem(Card(ANN), true, QString(), 0, At(10, 0));
    m_pDoc->LogList().Get(0)->m_pCard = nullptr;
    TLogViewData data(*m_pDoc);
    TListViewRow row;
    EXPECT_THROW(data.GetData(0, row), EAssertionFailed);
}

} // namespace
