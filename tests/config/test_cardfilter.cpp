// The cards list through the filter field: which cards a text shows, the mapping of rows to cards, and
// the rows following document changes.
#include "config/uCardFilter.h"

#include "base/uKeyNum.h"
#include "config/uTarvoDoc.h"
#include "config/uViewData.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

using namespace ConfigTarvo;

namespace {

TOrv_KEYNUM Key(const char* AHex) {
    TOrv_KEYNUM lNumber{};
    EXPECT_TRUE(HexToKeyNum(QString::fromLatin1(AHex), lNumber)) << AHex;
    return lNumber;
}

} // namespace

class CardFilter : public ::testing::Test {
protected:
    CardFilter() {
        m_oDoc.AddCard(Key("123456"), QStringLiteral("Ann Lee"), QStringLiteral("VIP"), 3);
        m_oDoc.AddCard(Key("00AB12"), QString(), QStringLiteral("lost, replaced"), 0);
        m_oDoc.AddCard(Key("0C0D0E"), QStringLiteral("Bob"), QStringLiteral("Ann's friend"), 1);
        m_oDoc.AddCard(Key("0A0B0C"), QStringLiteral("Joanna"), QString(), 1);
        m_oDoc.SetOnChange([this](TDocUpdate&) { m_oFilter.Update(); });
        m_oFilter.SetOnUpdateAllView([this](TVirtualListViewData&) { ++m_nViewUpdates; });
        m_oFilter.Update();
    }
    // Names (or the key for a card without one) of the rows, with the number column.
    QStringList Rows() {
        QStringList lRows;
        for (int i = 0; i < m_oFilter.GetCount(); ++i) {
            TListViewRow lRow;
            m_oFilter.GetData(i, lRow);
            lRows << lRow.m_sCaption + ":" +
                         (lRow.m_aSubItems.value(1).isEmpty() ? lRow.m_aSubItems.value(0)
                                                              : lRow.m_aSubItems.value(1));
        }
        return lRows;
    }
    TTarvoDoc m_oDoc;
    TCardsViewData m_oCards{m_oDoc};
    TCardFilterViewData m_oFilter{m_oDoc, m_oCards};
    int m_nViewUpdates = 0;
};

TEST_F(CardFilter, TextShowsCardsByNameKeyOrCommentInDocumentOrder) {
    struct TCase {
        const char* m_sText;
        QStringList m_aRows;
    } const cCases[] = {
        {"", {"1:Ann Lee", "2:00AB12", "3:Bob", "4:Joanna"}},
        {"ann", {"1:Ann Lee", "3:Bob", "4:Joanna"}}, // name, comment, inside a name
        {"  ANN  ", {"1:Ann Lee", "3:Bob", "4:Joanna"}},
        {"ab1", {"2:00AB12"}},
        {"0e", {"3:Bob"}},
        {"replaced", {"2:00AB12"}},
        {"4:", {}}, // the number column is not searched
        {"zzz", {}},
    };
    for (const TCase& c : cCases) {
        m_oFilter.SetFilterText(QString::fromUtf8(c.m_sText));
        EXPECT_EQ(Rows(), c.m_aRows) << c.m_sText;
        EXPECT_EQ(m_oFilter.IsFiltered(), !QString::fromUtf8(c.m_sText).trimmed().isEmpty()) << c.m_sText;
    }
    EXPECT_EQ(m_oDoc.Cards().Count(), 4);
}

TEST_F(CardFilter, RowsMapToTheirCards) {
    m_oFilter.SetFilterText(QStringLiteral("ann"));
    const int cDocOfRow[] = {0, 2, 3};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(m_oFilter.GetItemDocIndex(i), cDocOfRow[i]);
        EXPECT_EQ(m_oFilter.FindDocIndex(cDocOfRow[i]), i);
        EXPECT_EQ(m_oFilter.GetRowId(i), m_oCards.GetRowId(cDocOfRow[i]));
    }
    EXPECT_EQ(m_oFilter.FindDocIndex(1), -1);
    EXPECT_EQ(m_oFilter.FindDocIndex(9), -1);
    EXPECT_THROW(m_oFilter.GetItemDocIndex(3), EAssertionFailed);
    EXPECT_THROW(m_oFilter.GetItemDocIndex(-1), EAssertionFailed);
}

TEST_F(CardFilter, RowsFollowTheDocument) {
    m_oFilter.SetFilterText(QStringLiteral("ann"));
    const int lUpdates = m_nViewUpdates;
    m_oDoc.DeleteCard(0);
    EXPECT_EQ(Rows(), (QStringList{"2:Bob", "3:Joanna"}));
    // A card renamed out of the filter leaves the rows; one renamed into it comes.
    m_oDoc.SetCard(2, Key("0A0B0C"), QStringLiteral("Jo"), QString(), 1);
    m_oDoc.SetCard(0, Key("00AB12"), QStringLiteral("Hanna"), QString(), 0);
    EXPECT_EQ(Rows(), (QStringList{"1:Hanna", "2:Bob"}));
    EXPECT_GT(m_nViewUpdates, lUpdates);
    // The key is searched in the form the list shows it.
    m_oFilter.SetFilterText(KeyNumToStr(Key("0C0D0E"), 1));
    EXPECT_TRUE(Rows().isEmpty());
    m_oDoc.SetKeyView(1);
    EXPECT_EQ(Rows(), (QStringList{"2:Bob"}));
}
