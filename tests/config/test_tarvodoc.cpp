// Editing the configuration program's document: identifiers, add/change/delete/clear, lookups, setters
// and the change notification each of them gives.
#include "config/uTarvoDoc.h"

#include "base/uDateTime.h"
#include "base/uExceptions.h"
#include "base/uKeyNum.h"
#include "base/uMemXml.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using namespace ConfigTarvo;

namespace {

TOrv_KEYNUM Key(const char* AHex) {
    TOrv_KEYNUM lNumber{};
    EXPECT_TRUE(HexToKeyNum(QString::fromLatin1(AHex), lNumber)) << AHex;
    return lNumber;
}

// The document with a listener counting the notifications and keeping the last change mask.
class ConfigDoc : public ::testing::Test {
protected:
    ConfigDoc() {
        m_oDoc.SetOnChange([this](TDocUpdate& ASender) {
            EXPECT_EQ(&ASender, &m_oDoc);
            ++m_nChanges;
            m_nLastMask = ASender.ChangeMask();
        });
    }

    // Loads a data file text with the given "Item" children below TimeZones and Cards.
    void Load(const QString& AZones, const QString& ACards) {
        TMemXml lXml{QString()};
        lXml.SetText(QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?><Tarvo version=\"1.2\">"
                                    "<TimeZones>%1</TimeZones><Cards>%2</Cards></Tarvo>")
                         .arg(AZones, ACards));
        m_oDoc.LoadFromXml(lXml);
        ResetCounts();
    }
    void ResetCounts() {
        m_nChanges = 0;
        m_nLastMask = 0;
    }
    // Four cards 0..3 named c0..c3, and four zones z0..z3; not modified, no notification counted.
    void FillFour() {
        for (int i = 0; i < 4; ++i) {
            m_oDoc.AddCard(MakeKeyNum({std::uint8_t(0x10 + i)}), QStringLiteral("c%1").arg(i), QString(), 0);
            m_oDoc.AddTimeZone(QStringLiteral("z%1").arg(i), EncodeTime(i * 6, 0, 0, 0), 1, 1);
        }
        m_oDoc.SetModifyedFlag(false);
        ResetCounts();
    }
    std::vector<std::int32_t> CardIds() const {
        std::vector<std::int32_t> lIds;
        for (int i = 0; i < m_oDoc.Cards().Count(); ++i)
            lIds.push_back(m_oDoc.Cards().GetCard(i)->m_nId);
        return lIds;
    }

    TTarvoDoc m_oDoc;
    int m_nChanges = 0;
    std::uint32_t m_nLastMask = 0;
};

TEST_F(ConfigDoc, NewIdentifiersFollowTheLargestAndAreNeverReused) {
    Load(QString(), QStringLiteral("<Item3 number=\"01\"/><Item12 number=\"02\"/><Item7 number=\"03\"/>"));
    EXPECT_EQ(m_oDoc.AddCard(Key("AA"), QString(), QString(), 0), 3);
    EXPECT_EQ(m_nChanges, 1);
    EXPECT_EQ(m_nLastMask, DCH_CARDS | DCH_MODIFIED);
    m_oDoc.AddCard(Key("BB"), QString(), QString(), 0);
    EXPECT_EQ(CardIds(), (std::vector<std::int32_t>{3, 12, 7, 13, 14}));

    m_oDoc.DeleteCard(4); // card 14
    m_oDoc.AddCard(Key("CC"), QString(), QString(), 0);
    EXPECT_EQ(m_oDoc.Cards().GetCard(4)->m_nId, 15);

    m_oDoc.ClearCards();
    m_oDoc.AddCard(Key("DD"), QString(), QString(), 0);
    EXPECT_EQ(CardIds(), (std::vector<std::int32_t>{16}));

    // Reloading a file that holds larger identifiers than handed out so far must not lead to a clash.
    Load(QString(), QStringLiteral("<Item40 number=\"01\"/>"));
    m_oDoc.AddCard(Key("EE"), QString(), QString(), 0);
    EXPECT_EQ(CardIds(), (std::vector<std::int32_t>{40, 41}));

    // Zones count on their own, from 1 in an empty list.
    EXPECT_EQ(m_oDoc.AddTimeZone(QStringLiteral("a"), 0, 0, 0), 0);
    m_oDoc.AddTimeZone(QStringLiteral("b"), 0, 0, 0);
    EXPECT_EQ(m_oDoc.TZs().GetZone(0)->m_nId, 1);
    EXPECT_EQ(m_oDoc.TZs().GetZone(1)->m_nId, 2);
}

TEST_F(ConfigDoc, AddStoresTheValuesGiven) {
    const TTime lStart = EncodeTime(18, 30, 0, 0);
    EXPECT_EQ(m_oDoc.AddTimeZone(QStringLiteral("Evening"), lStart, 2.5L, 1.25L), 0);
    EXPECT_EQ(m_nLastMask, DCH_TZS | DCH_MODIFIED);
    const TTarvoTimeZone& lZone = *m_oDoc.TZs().GetZone(0);
    EXPECT_EQ(lZone.m_sName, QStringLiteral("Evening"));
    EXPECT_EQ(lZone.m_tStartTime, lStart);
    EXPECT_EQ(lZone.m_nBaseCost, 2.5L);
    EXPECT_EQ(lZone.m_nMinCost, 1.25L);

    m_oDoc.AddCard(Key("00AB12"), QStringLiteral("Ann"), QStringLiteral("note"), 4);
    const TCard& lCard = *m_oDoc.Cards().GetCard(0);
    EXPECT_EQ(CompareKeyNums(lCard.m_Number, Key("00AB12")), 0);
    EXPECT_EQ(lCard.m_sUserName, QStringLiteral("Ann"));
    EXPECT_EQ(lCard.m_sComment, QStringLiteral("note"));
    EXPECT_EQ(lCard.m_nLevel, 4);
}

TEST_F(ConfigDoc, DeletingSeveralKeepsTheOrderOfTheRestWithOneNotification) {
    struct TCase {
        const char* m_sName;
        std::function<void(TTarvoDoc&, const std::vector<int>&)> m_fnDelete;
        std::function<QStringList(const TTarvoDoc&)> m_fnNames;
        std::uint32_t m_nBit;
    };
    const TCase lCases[] = {
        {"cards", [](TTarvoDoc& D, const std::vector<int>& I) { D.DeleteCards(I); },
         [](const TTarvoDoc& D) {
             QStringList l;
             for (int i = 0; i < D.Cards().Count(); ++i)
                 l << D.Cards().GetCard(i)->m_sUserName;
             return l;
         },
         DCH_CARDS},
        {"zones", [](TTarvoDoc& D, const std::vector<int>& I) { D.DeleteTZs(I); },
         [](const TTarvoDoc& D) {
             QStringList l;
             for (int i = 0; i < D.TZs().Count(); ++i)
                 l << D.TZs().GetZone(i)->m_sName;
             return l;
         },
         DCH_TZS},
    };
    for (const TCase& c : lCases) {
        SCOPED_TRACE(c.m_sName);
        m_oDoc.ClearCards();
        m_oDoc.ClearTZs();
        FillFour();
        const QString lP = c.m_nBit == DCH_CARDS ? QStringLiteral("c") : QStringLiteral("z");

        c.m_fnDelete(m_oDoc, {-1, 4, 99}); // nothing inside the list: no change at all
        EXPECT_EQ(m_nChanges, 0);
        EXPECT_FALSE(m_oDoc.Modifyed());

        c.m_fnDelete(m_oDoc, {2, 0, 2, 99});
        EXPECT_EQ(c.m_fnNames(m_oDoc), (QStringList{lP + QLatin1Char('1'), lP + QLatin1Char('3')}));
        EXPECT_EQ(m_nChanges, 1);
        EXPECT_EQ(m_nLastMask, c.m_nBit | DCH_MODIFIED);
        EXPECT_TRUE(m_oDoc.Modifyed());
    }
}

TEST_F(ConfigDoc, SetCardRaisesItsBitOnlyOnARealChange) {
    struct TCase {
        const char* m_sName;
        const char* m_sNumber;
        const char* m_sUser;
        const char* m_sComment;
        int m_nLevel;
        bool m_fChange;
    };
    const TCase lCases[] = {
        {"same values", "AB12", "Ann", "vip", 2, false},
        {"comment only", "AB12", "Ann", "regular", 2, true},
        {"same value, longer number", "00AB12", "Ann", "vip", 2, true},
        {"name case", "AB12", "ANN", "vip", 2, true},
        {"level", "AB12", "Ann", "vip", 3, true},
        {"number", "AB13", "Ann", "vip", 2, true},
    };
    for (const TCase& c : lCases) {
        SCOPED_TRACE(c.m_sName);
        m_oDoc.ClearCards();
        m_oDoc.AddCard(Key("AB12"), QStringLiteral("Ann"), QStringLiteral("vip"), 2);
        const std::int32_t lId = m_oDoc.Cards().GetCard(0)->m_nId;
        m_oDoc.SetModifyedFlag(false);
        ResetCounts();

        m_oDoc.SetCard(0, Key(c.m_sNumber), QString::fromLatin1(c.m_sUser), QString::fromLatin1(c.m_sComment),
                       c.m_nLevel);
        EXPECT_EQ(m_nChanges, c.m_fChange ? 1 : 0);
        EXPECT_EQ(m_nLastMask, c.m_fChange ? DCH_CARD | DCH_MODIFIED : 0u);
        EXPECT_EQ(m_oDoc.Modifyed(), c.m_fChange);
        const TCard& lCard = *m_oDoc.Cards().GetCard(0);
        EXPECT_EQ(CompareKeyNums(lCard.m_Number, Key(c.m_sNumber)), 0);
        EXPECT_EQ(lCard.m_sComment, QString::fromLatin1(c.m_sComment));
        EXPECT_EQ(lCard.m_nLevel, c.m_nLevel);
        EXPECT_EQ(lCard.m_nId, lId);
    }
}

TEST_F(ConfigDoc, SetTimeZoneRaisesItsBitOnlyOnARealChange) {
    const TTime lStart = EncodeTime(8, 0, 0, 0);
    struct TCase {
        const char* m_sName;
        const char* m_sZone;
        TTime m_tStart;
        Extended m_nBase;
        Extended m_nMin;
        bool m_fChange;
    };
    const TCase lCases[] = {
        {"same values", "Day", lStart, 3.5L, 1.5L, false},
        {"name case", "DAY", lStart, 3.5L, 1.5L, true},
        {"start", "Day", EncodeTime(8, 1, 0, 0), 3.5L, 1.5L, true},
        {"base cost by the smallest step", "Day", lStart, 3.5L + 3.5L * 1e-18L, 1.5L, true},
        {"minimum cost", "Day", lStart, 3.5L, 1.25L, true},
    };
    for (const TCase& c : lCases) {
        SCOPED_TRACE(c.m_sName);
        m_oDoc.ClearTZs();
        m_oDoc.AddTimeZone(QStringLiteral("Day"), lStart, 3.5L, 1.5L);
        const std::int32_t lId = m_oDoc.TZs().GetZone(0)->m_nId;
        m_oDoc.SetModifyedFlag(false);
        ResetCounts();

        m_oDoc.SetTimeZone(0, QString::fromLatin1(c.m_sZone), c.m_tStart, c.m_nBase, c.m_nMin);
        EXPECT_EQ(m_nChanges, c.m_fChange ? 1 : 0);
        EXPECT_EQ(m_nLastMask, c.m_fChange ? DCH_TZ | DCH_MODIFIED : 0u);
        const TTarvoTimeZone& lZone = *m_oDoc.TZs().GetZone(0);
        EXPECT_EQ(lZone.m_sName, QString::fromLatin1(c.m_sZone));
        EXPECT_EQ(lZone.m_tStartTime, c.m_tStart);
        EXPECT_EQ(lZone.m_nBaseCost, c.m_nBase);
        EXPECT_EQ(lZone.m_nId, lId);
    }
}

TEST_F(ConfigDoc, ClearingAnEmptyListChangesNothing) {
    m_oDoc.ClearCards();
    m_oDoc.ClearTZs();
    EXPECT_EQ(m_nChanges, 0);
    EXPECT_FALSE(m_oDoc.Modifyed());

    FillFour();
    m_oDoc.BeginUpdate();
    m_oDoc.ClearCards();
    m_oDoc.ClearTZs();
    m_oDoc.EndUpdate();
    EXPECT_EQ(m_nChanges, 1);
    EXPECT_EQ(m_nLastMask, DCH_CARDS | DCH_TZS | DCH_MODIFIED);
    EXPECT_EQ(m_oDoc.Cards().Count(), 0);
    EXPECT_EQ(m_oDoc.TZs().Count(), 0);
}

TEST_F(ConfigDoc, FindMembers) {
    m_oDoc.AddTimeZone(QStringLiteral("Morning"), EncodeTime(6, 0, 0, 0), 1, 1);
    m_oDoc.AddTimeZone(QStringLiteral("Evening"), EncodeTime(18, 0, 0, 0), 1, 1);
    m_oDoc.AddTimeZone(QStringLiteral("ЁЛКА"), EncodeTime(22, 0, 0, 0), 1, 1);
    m_oDoc.AddCard(Key("00AB12"), QStringLiteral("Bob"), QString(), 0);
    m_oDoc.AddCard(Key("CD34"), QString(), QString(), 0);
    m_oDoc.AddCard(Key("EF56"), QStringLiteral("Ann"), QString(), 0);
    m_oDoc.AddCard(Key("7788"), QString(), QString(), 0);

    EXPECT_EQ(m_oDoc.FindTimeZoneByName(QStringLiteral("EVENING")), 1);
    EXPECT_EQ(m_oDoc.FindTimeZoneByName(QStringLiteral("ёлка")), 2);
    EXPECT_EQ(m_oDoc.FindTimeZoneByName(QStringLiteral("Even")), -1);
    // The date part and less than a millisecond are ignored; a minute is not.
    EXPECT_EQ(m_oDoc.FindTimeZoneByTime(45000 + EncodeTime(18, 0, 0, 0) + 0.4 / MSecsPerDay), 1);
    EXPECT_EQ(m_oDoc.FindTimeZoneByTime(EncodeTime(18, 1, 0, 0)), -1);

    EXPECT_EQ(m_oDoc.FindCardByNumber(Key("AB12")), 0); // common length decides
    EXPECT_EQ(m_oDoc.FindCardByNumber(Key("FFEF56")), 2);
    EXPECT_EQ(m_oDoc.FindCardByNumber(Key("AB13")), -1);
    EXPECT_EQ(m_oDoc.FindCardByUserName(QStringLiteral("ANN")), 2);
    EXPECT_EQ(m_oDoc.FindCardByUserName(QString()), 1); // the first card without a name
    EXPECT_EQ(m_oDoc.FindCardByUserName(QStringLiteral("Eve")), -1);
}

TEST_F(ConfigDoc, SettersRaiseTheirBitsOnceAndNothingOnAnEqualValue) {
    struct TCase {
        const char* m_sName;
        std::function<void(TTarvoDoc&)> m_fnSet;
        std::uint32_t m_nBits;
    };
    const TCase lCases[] = {
        {"StartDay", [](TTarvoDoc& D) { D.SetStartDay(EncodeTime(6, 0, 0, 0)); }, DCH_STARTDAY},
        {"Language", [](TTarvoDoc& D) { D.SetLanguage(0x0419); }, DCH_LANGUAGE},
        {"CardRdMode", [](TTarvoDoc& D) { D.SetCardRdMode(crm_Find); }, DCH_CARDRDMODE},
        {"ReaderSn", [](TTarvoDoc& D) { D.SetReaderSn(1234); }, DCH_READER},
        {"ReaderPort", [](TTarvoDoc& D) { D.SetReaderPort(QStringLiteral("COM3")); }, DCH_READER},
        {"KorvelWiegand", [](TTarvoDoc& D) { D.SetKorvelWiegand(true); }, DCH_READER | DCH_KORVEL_WIEGAND},
        {"KeyView", [](TTarvoDoc& D) { D.SetKeyView(1); }, DCH_KEYVIEW},
        {"KeyEditFormat", [](TTarvoDoc& D) { D.SetKeyEditFormat(2); }, 0},
    };
    for (const TCase& c : lCases) {
        SCOPED_TRACE(c.m_sName);
        TTarvoDoc lDoc;
        int lChanges = 0;
        std::uint32_t lMask = 0;
        lDoc.SetOnChange([&](TDocUpdate& D) {
            ++lChanges;
            lMask = D.ChangeMask();
        });
        c.m_fnSet(lDoc);
        EXPECT_EQ(lChanges, 1);
        EXPECT_EQ(lMask, c.m_nBits | DCH_MODIFIED);
        EXPECT_TRUE(lDoc.Modifyed());

        lDoc.SetModifyedFlag(false);
        lChanges = 0;
        c.m_fnSet(lDoc);
        EXPECT_EQ(lChanges, 0);
        EXPECT_FALSE(lDoc.Modifyed());
    }
    TTarvoDoc lDoc;
    lDoc.SetReaderPort(QStringLiteral("com3"));
    lDoc.SetModifyedFlag(false);
    lDoc.SetReaderPort(QStringLiteral("COM3")); // ports compare as exact text
    EXPECT_TRUE(lDoc.Modifyed());
    EXPECT_EQ(lDoc.CardRdMode(), crm_Inactive) << "a new document reads no cards until Open";
}

TEST_F(ConfigDoc, BadIndexesAreContractErrorsExceptForDeleteCard) {
    FillFour();
    const TOrv_KEYNUM lKey = Key("01");
    EXPECT_THROW(m_oDoc.SetCard(4, lKey, QString(), QString(), 0), EAssertionFailed);
    EXPECT_THROW(m_oDoc.SetCard(-1, lKey, QString(), QString(), 0), EAssertionFailed);
    EXPECT_THROW(m_oDoc.SetTimeZone(4, QString(), 0, 0, 0), EAssertionFailed);
    EXPECT_THROW(m_oDoc.Cards().GetCard(4), EAssertionFailed);
    try {
        m_oDoc.TZs().GetZone(-1);
        ADD_FAILURE() << "no assertion";
    } catch (const EAssertionFailed& E) {
        EXPECT_TRUE(E.Message().contains(QLatin1String("uTarvoDoc"))) << E.Message().toStdString();
    }
    EXPECT_THROW(m_oDoc.DeleteCard(4), EListError);
    EXPECT_EQ(m_oDoc.Cards().Count(), 4);
    EXPECT_EQ(m_nChanges, 0);
    EXPECT_FALSE(m_oDoc.Modifyed());
}

} // namespace
