// Text forms and root handling of the data file shared by both documents.
#include "base/uDataFile.h"
#include "base/uExceptions.h"
#include "base/uLocale.h"

#include <gtest/gtest.h>

namespace {

TEST(DataFileForms, IntegersAcceptSignedDecimalOnly) {
    struct TCase {
        const char* m_sText;
        bool m_fOk;
        std::int32_t m_nValue;
    };
    const TCase lCases[] = {{"42", true, 42},   {"-7", true, -7},         {"+3", true, 3},
                            {"", false, 0},     {"4x", false, 0},         {" 4", false, 0},
                            {"-", false, 0},    {"2147483648", false, 0}, {"-2147483648", true, INT32_MIN},
                            {"0x10", false, 0}, {"1.5", false, 0}};
    for (const TCase& c : lCases) {
        std::int32_t lValue = 99;
        EXPECT_EQ(XmlToInt(QString::fromLatin1(c.m_sText), lValue), c.m_fOk) << c.m_sText;
        EXPECT_EQ(lValue, c.m_fOk ? c.m_nValue : 99) << c.m_sText;
    }
    std::uint32_t lUnsigned = 0;
    EXPECT_TRUE(XmlToUInt(QStringLiteral("4294967295"), lUnsigned));
    EXPECT_EQ(lUnsigned, 4294967295u);
    EXPECT_FALSE(XmlToUInt(QStringLiteral("4294967296"), lUnsigned));
}

TEST(DataFileForms, LanguageIsHexWithFourDigits) {
    EXPECT_EQ(LangIdToXml(1049), QStringLiteral("0419"));
    EXPECT_EQ(LangIdToXml(127), QStringLiteral("007F"));
    EXPECT_EQ(LangIdToXml(0x12345), QStringLiteral("12345"));
    struct TCase {
        const char* m_sText;
        bool m_fOk;
        std::uint32_t m_nValue;
    };
    const TCase lCases[] = {{"0419", true, 0x419}, {"7F", true, 127}, {"7f", true, 127},
                            {"", false, 0},        {"ru", false, 0},  {"-1", false, 0}, {"123456789", false, 0}};
    for (const TCase& c : lCases) {
        std::uint32_t lValue = 5;
        EXPECT_EQ(XmlToLangId(QString::fromLatin1(c.m_sText), lValue), c.m_fOk) << c.m_sText;
        EXPECT_EQ(lValue, c.m_fOk ? c.m_nValue : 5u) << c.m_sText;
    }
}

TEST(DataFileForms, BooleansAcceptWordsAnyCaseOrNumbers) {
    struct TCase {
        const char* m_sText;
        bool m_fOk;
        bool m_fValue;
    };
    const TCase lCases[] = {{"True", true, true}, {"FALSE", true, false}, {"tRuE", true, true}, {"0", true, false},
                            {"2", true, true},    {"yes", false, false},  {"", false, false}};
    for (const TCase& c : lCases) {
        bool lValue = false;
        EXPECT_EQ(XmlToBool(QString::fromLatin1(c.m_sText), lValue), c.m_fOk) << c.m_sText;
        if (c.m_fOk) {
            EXPECT_EQ(lValue, c.m_fValue) << c.m_sText;
        }
    }
    EXPECT_EQ(BoolToXml(true), QStringLiteral("True"));
    EXPECT_EQ(BoolToXml(false), QStringLiteral("False"));
}

TEST(DataFileForms, PointFloatsIgnoreTheLocaleSeparator) {
    for (QChar lSep : {QLatin1Char('.'), QLatin1Char(',')}) {
        SetDecimalSeparator(lSep);
        EXPECT_EQ(PointFloatToXml(1.25L), QStringLiteral("1.25"));
        EXPECT_EQ(XmlToPointFloat(QStringLiteral("0.5")), 0.5L);
        EXPECT_EQ(XmlToPointFloat(QStringLiteral("abc")), 0.0L);
    }
    ResetLocaleOverrides();
}

TEST(DataFileForms, HourMinuteTimes) {
    TTime lTime = 0.75;
    EXPECT_TRUE(XmlToHourMin(QStringLiteral("08:05"), lTime));
    EXPECT_EQ(HourMinToXml(lTime), QStringLiteral("08:05"));
    EXPECT_TRUE(SameTimeOfDay(lTime, EncodeTime(8, 5, 0, 0)));

    lTime = 0.75;
    EXPECT_FALSE(XmlToHourMin(QStringLiteral("8"), lTime));
    EXPECT_EQ(lTime, 0.75);  // fewer than two numbers: the caller's absent value stands
    EXPECT_THROW(XmlToHourMin(QStringLiteral("24:00"), lTime), EConvertError);
    EXPECT_THROW(XmlToHourMin(QStringLiteral("10:60"), lTime), EConvertError);
    EXPECT_THROW(XmlToHourMin(QStringLiteral("-1:00"), lTime), EConvertError);
}

TEST(DataFileForms, RectanglesFillAsFarAsFound) {
    TRect lRect{1, 2, 3, 4};
    XmlToRect(QStringLiteral("[10,20]"), lRect);
    EXPECT_EQ(lRect, (TRect{10, 20, 3, 4}));
    XmlToRect(QStringLiteral("[100,120,640,-480]"), lRect);
    EXPECT_EQ(RectToXml(lRect), QStringLiteral("[100,120,640,-480]"));
}

TEST(DataFileForms, ItemIdentifiers) {
    std::int32_t lId = 0;
    EXPECT_TRUE(ItemIdOfName(QStringLiteral("Item12"), lId));
    EXPECT_EQ(lId, 12);
    EXPECT_TRUE(ItemIdOfName(QStringLiteral("xxxx7"), lId));  // the prefix itself is not checked
    EXPECT_EQ(lId, 7);
    for (const char* lBad : {"Item0", "Item-3", "Item", "ItemX", "It"})
        EXPECT_FALSE(ItemIdOfName(QString::fromLatin1(lBad), lId)) << lBad;
}

// Saving starts by fixing the declaration and the root's version; what it keeps depends on the version.
TEST(DataFileRoot, PrepareForSaveByVersion) {
    struct TCase {
        const char* m_sVersion;  // nullptr: no version attribute
        bool m_fChildrenKept;
    };
    const TCase lCases[] = {{"1.2", true}, {"1.1", true}, {"1", true},     {"2.0", false},
                            {nullptr, false}, {"abc", false}, {"-", false}};
    for (const TCase& c : lCases) {
        TMemXml lXml{QString()};
        QString lText = QStringLiteral("<Tarvo");
        if (c.m_sVersion)
            lText += QStringLiteral(" version=\"%1\"").arg(QString::fromLatin1(c.m_sVersion));
        lText += QStringLiteral("><Main/></Tarvo>");
        lXml.SetText(lText);
        TMXNode& lRoot = PrepareRootForSave(lXml);
        EXPECT_EQ(lRoot.GetNodeAttr(QStringLiteral("version")), QStringLiteral("1.2"));
        EXPECT_EQ(lRoot.NodeExists(QStringLiteral("Main")), c.m_fChildrenKept) << (c.m_sVersion ? c.m_sVersion : "none");
        EXPECT_EQ(lXml.RootNode().GetNodeAttr(QStringLiteral("version")), QStringLiteral("1.0"));
        EXPECT_EQ(lXml.RootNode().GetNodeAttr(QStringLiteral("encoding")), QStringLiteral("utf-8"));
    }
}

TEST(DataFileRoot, LoadNeedsMajorVersionOne) {
    struct TCase {
        const char* m_sText;
        bool m_fFound;
    };
    const TCase lCases[] = {{"<Tarvo version=\"1.2\"/>", true},
                            {"<tarvo version=\"1.7\"/>", true},
                            {"<Tarvo version=\"2.0\"/>", false},
                            {"<Tarvo version=\"1\"/>", true},  // kept by a save, so it must be read
                            {"<Tarvo/>", false},
                            {"<Other version=\"1.2\"/>", false},
                            {"", false}};
    for (const TCase& c : lCases) {
        TMemXml lXml{QString()};
        lXml.SetText(QString::fromLatin1(c.m_sText));
        std::int32_t lMinor = -1;
        EXPECT_EQ(FindRootForLoad(lXml, lMinor) != nullptr, c.m_fFound) << c.m_sText;
    }
}

TEST(DataFileLists, CardsSkipBadIdsAndNumbersAndGiveTheLargestLevel) {
    TMemXml lXml{QString()};
    lXml.SetText(QStringLiteral("<Cards>"
                                "<Item3 number=\"00AB12\" name=\"Ann\" level=\"2\"><Commant>VIP &amp; friend</Commant></Item3>"
                                "<Item0 number=\"11\"/>"
                                "<Item4 number=\"XYZ\"/>"
                                "<Item5 name=\"no number\"/>"
                                "<Item6 number=\"\"/>"
                                "<Item7 number=\"C0FFEE\" level=\"5\"/>"
                                "<Item8 number=\"01\" level=\"x\"/>"
                                "</Cards>"));
    TCardList lList;
    const std::int32_t lMax = LoadCardsFromXml(*lXml.RootNode().ChildNodes().GetNode(0), lList);
    ASSERT_EQ(lList.Count(), 3);
    EXPECT_EQ(lList.GetCard(0)->m_nId, 3);
    EXPECT_EQ(KeyNumToStr(lList.GetCard(0)->m_Number, 0), QStringLiteral("00AB12"));
    EXPECT_EQ(lList.GetCard(0)->m_sComment, QStringLiteral("VIP & friend"));
    EXPECT_EQ(lList.GetCard(1)->m_nId, 7);
    EXPECT_EQ(lList.GetCard(2)->m_nLevel, 0);
    EXPECT_EQ(lMax, 5);
}

TEST(DataFileLists, ZoneWithBadStartTimeStopsReadingAfterTheEarlierZones) {
    TMemXml lXml{QString()};
    lXml.SetText(QStringLiteral("<TimeZones>"
                                "<Item1 name=\"Day\" startTime=\"08:00\" baseCost=\"1.5\" minCost=\"1\"/>"
                                "<Item2 name=\"Bad\" startTime=\"25:00\"/>"
                                "<Item3 name=\"Night\" startTime=\"22:00\"/>"
                                "</TimeZones>"));
    TTimeZoneList lList;
    EXPECT_THROW(LoadZonesFromXml(*lXml.RootNode().ChildNodes().GetNode(0), lList), EConvertError);
    ASSERT_EQ(lList.Count(), 1);
    EXPECT_EQ(lList.GetZone(0)->m_sName, QStringLiteral("Day"));
    EXPECT_EQ(lList.GetZone(0)->m_nBaseCost, 1.5L);
}

} // namespace
