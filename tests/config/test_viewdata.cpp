// The data of the zones and cards lists: row texts in document order, the cache of the rows on screen
// and the refresh after document changes.
#include "config/uViewData.h"

#include "base/uDateTime.h"
#include "base/uKeyNum.h"
#include "config/uTarvoDoc.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

using namespace ConfigTarvo;

namespace {

TOrv_KEYNUM Key(const char* AHex) {
    TOrv_KEYNUM lNumber{};
    EXPECT_TRUE(HexToKeyNum(QString::fromLatin1(AHex), lNumber)) << AHex;
    return lNumber;
}

QStringList Row(TVirtualListViewData& AData, int ARow) {
    TListViewRow lRow;
    AData.GetData(ARow, lRow);
    return QStringList{lRow.m_sCaption} + lRow.m_aSubItems;
}

} // namespace

class ViewData : public ::testing::Test {
protected:
    ViewData() : m_oLocale(QLatin1Char(',')) {
        m_oDoc.AddTimeZone(QStringLiteral("Night"), EncodeTime(0, 0, 0, 0), 1.5L, 0.5L);
        m_oDoc.AddTimeZone(QStringLiteral("Morning"), EncodeTime(8, 5, 0, 0), 18, 0.1L);
        m_oDoc.AddTimeZone(QStringLiteral("Evening"), EncodeTime(23, 59, 0, 0), 1e20L, -2.25L);
        m_oDoc.AddCard(Key("123456"), QStringLiteral("Ann"), QStringLiteral("VIP"), 3);
        m_oDoc.AddCard(Key("00AB12"), QString(), QString(), 0);
        m_oDoc.AddCard(Key("0C0D0E0F10"), QStringLiteral("Bob"), QStringLiteral("two\nlines"), 2147483647);
    }
    TLocaleOverride m_oLocale;
    TTarvoDoc m_oDoc;
};

TEST_F(ViewData, ZoneRowsShowNumberNameStartTimeAndCostsInTheLocale) {
    TTimeZonesViewData lData(m_oDoc);
    ASSERT_EQ(lData.GetCount(), 3);
    lData.DataHint(0, 1); // rows inside and outside the cache read the same
    EXPECT_EQ(Row(lData, 0), (QStringList{"1", "Night", "00:00", "1,5", "0,5"}));
    EXPECT_EQ(Row(lData, 1), (QStringList{"2", "Morning", "08:05", "18", "0,1"}));
    EXPECT_EQ(Row(lData, 2), (QStringList{"3", "Evening", "23:59", "1E20", "-2,25"}));
    EXPECT_EQ(lData.ObjectOf(1), m_oDoc.TZs().GetZone(1));
    EXPECT_EQ(lData.GetItemDocIndex(2), 2);
    EXPECT_EQ(lData.FindDocIndex(2), 2);
}

TEST_F(ViewData, CardRowsShowTheKeyInTheDocumentsKeyView) {
    TCardsViewData lData(m_oDoc);
    lData.UpdateAllView();
    EXPECT_EQ(Row(lData, 0), (QStringList{"1", "123456", "Ann", "3", "VIP"}));
    EXPECT_EQ(Row(lData, 1), (QStringList{"2", "00AB12", "", "0", ""}));
    EXPECT_EQ(Row(lData, 2), (QStringList{"3", "0C0D0E0F10", "Bob", "2147483647", "two\nlines"}));

    m_oDoc.SetKeyView(KEYVIEW_WINPAK);
    lData.DataHint(0, 2);
    lData.UpdateAllView();
    EXPECT_EQ(Row(lData, 0).at(1), QStringLiteral("1193046"));
    EXPECT_EQ(Row(lData, 1).at(1), QStringLiteral("43794"));
    EXPECT_EQ(Row(lData, 2).at(1), QStringLiteral("921360"));
    EXPECT_EQ(lData.ObjectOf(2), m_oDoc.Cards().GetCard(2));
}

TEST_F(ViewData, HintInsideTheCacheKeepsItAndAHintOutsideMovesIt) {
    TCardsViewData lData(m_oDoc);
    lData.DataHint(1, 2);
    EXPECT_EQ(lData.CacheStart(), 1);
    EXPECT_EQ(lData.CacheCount(), 2);

    // The level is cached: a change reaches the row only when the cache is refilled.
    m_oDoc.SetCard(1, Key("00AB12"), QString(), QString(), 9);
    lData.DataHint(2, 2);
    EXPECT_EQ(lData.CacheStart(), 1);
    EXPECT_EQ(Row(lData, 1).at(3), QStringLiteral("0"));
    lData.DataHint(0, 1);
    EXPECT_EQ(lData.CacheStart(), 0);
    EXPECT_EQ(Row(lData, 1).at(3), QStringLiteral("9"));

    // A hint past the document's end caches only the rows that exist.
    lData.DataHint(2, 10);
    EXPECT_EQ(lData.CacheStart(), 2);
    EXPECT_EQ(lData.CacheCount(), 1);
}

TEST_F(ViewData, UpdateRebuildsTheCacheAfterDeletionsAndTellsTheView) {
    TTimeZonesViewData lData(m_oDoc);
    int lCalls = 0;
    int lCountSeen = -1;
    lData.SetOnUpdateAllView([&](TVirtualListViewData& ASender) {
        ++lCalls;
        lCountSeen = ASender.GetCount();
        EXPECT_EQ(&ASender, &lData);
    });
    lData.DataHint(0, 2);
    m_oDoc.DeleteTZs({0, 2});
    lData.Update();
    EXPECT_EQ(lCalls, 1);
    EXPECT_EQ(lCountSeen, 1);
    // The rows of the deleted zones are gone from the cache, the remaining zone is row 0.
    EXPECT_EQ(lData.CacheCount(), 1);
    EXPECT_EQ(Row(lData, 0), (QStringList{"1", "Morning", "08:05", "18", "0,1"}));

    m_oDoc.ClearTZs();
    lData.UpdateAllView();
    EXPECT_EQ(lCalls, 2);
    EXPECT_EQ(lData.CacheCount(), 0);
    EXPECT_EQ(lData.GetCount(), 0);
}

TEST_F(ViewData, ARowReadBeforeTheUpdateNeverShowsADeletedRecord) {
    TCardsViewData lData(m_oDoc);
    lData.DataHint(0, 2);
    m_oDoc.DeleteCards({0});
    // The view may paint before the change notification reaches it.
    EXPECT_EQ(Row(lData, 0), (QStringList{"1", "00AB12", "", "0", ""}));
    EXPECT_EQ(Row(lData, 1), (QStringList{"2", "0C0D0E0F10", "Bob", "2147483647", "two\nlines"}));
    TListViewRow lRow;
    EXPECT_THROW(lData.GetData(2, lRow), EAssertionFailed);
}

TEST_F(ViewData, ARowOutsideTheDocumentIsAnAssertion) {
    TCardsViewData lData(m_oDoc);
    TListViewRow lRow;
    EXPECT_THROW(lData.GetData(3, lRow), EAssertionFailed);
}

// A zone or card keeps its row identity when rows before it go and when it is edited; a new record
// never takes the identity of a deleted one. The lists keep their selection on records by it.
TEST_F(ViewData, RowIdentitiesFollowTheRecords) {
    TCardsViewData lCards(m_oDoc);
    TTimeZonesViewData lZones(m_oDoc);
    const std::uint64_t lBob = lCards.GetRowId(2);
    const std::uint64_t lEvening = lZones.GetRowId(2);
    const std::uint64_t lAnn = lCards.GetRowId(0);
    EXPECT_NE(lCards.GetRowId(0), lCards.GetRowId(1));
    EXPECT_NE(lZones.GetRowId(0), lZones.GetRowId(1));

    m_oDoc.DeleteCards({0});
    m_oDoc.DeleteTZs({0});
    m_oDoc.SetCard(1, Key("0C0D0E0F10"), QStringLiteral("Bob Brown"), QString(), 1);
    EXPECT_EQ(lCards.GetRowId(1), lBob);
    EXPECT_EQ(lZones.GetRowId(1), lEvening);

    m_oDoc.AddCard(Key("123456"), QStringLiteral("Ann"), QStringLiteral("VIP"), 3);
    EXPECT_NE(lCards.GetRowId(2), lAnn);
    EXPECT_NE(lCards.GetRowId(2), lBob);
}
