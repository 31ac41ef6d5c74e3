// "Tarvo.xml" between the two programs: each one's save replaces only its own items, so what the other
// wrote survives byte for byte, and both read the same zones and cards.
#include "config/uTarvoDoc.h"
#include "frontdesk/uTarvoDoc.h"

#include "base/uDataFile.h"
#include "base/uDateTime.h"
#include "base/uKeyNum.h"
#include "base/uMemXml.h"
#include "tests/common/TestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace {

TOrv_KEYNUM Key(const char* AHex) {
    TOrv_KEYNUM lNumber{};
    EXPECT_TRUE(HexToKeyNum(QString::fromLatin1(AHex), lNumber)) << AHex;
    return lNumber;
}

QString ReadText(const QString& APath) {
    QFile lFile(APath);
    EXPECT_TRUE(lFile.open(QIODevice::ReadOnly)) << APath.toStdString();
    return QString::fromUtf8(lFile.readAll());
}

// The part of AText from AFrom up to and including the next ATo; empty when either is missing.
QString Block(const QString& AText, const QString& AFrom, const QString& ATo) {
    const qsizetype lStart = AText.indexOf(AFrom);
    if (lStart < 0)
        return QString();
    const qsizetype lEnd = AText.indexOf(ATo, lStart + AFrom.size());
    return lEnd < 0 ? QString() : AText.mid(lStart, lEnd + ATo.size() - lStart);
}

void ExpectSameBlocks(const QString& ABefore, const QString& AAfter,
                      const std::vector<QStringList>& ABlocks) {
    for (const QStringList& lPart : ABlocks) {
        const QString lOld = Block(ABefore, lPart[0], lPart[1]);
        EXPECT_FALSE(lOld.isEmpty()) << "missing before: " << lPart[0].toStdString();
        EXPECT_EQ(Block(AAfter, lPart[0], lPart[1]), lOld);
    }
}

// Zones and cards as one comparable text each; zones by identifier, since the front desk sorts its zones
// by start time and the configuration program keeps them in file order.
QStringList ZoneRows(const TTimeZoneList& AList) {
    std::vector<const TTarvoTimeZone*> lZones;
    for (int i = 0; i < AList.Count(); ++i)
        lZones.push_back(AList.GetZone(i));
    std::sort(lZones.begin(), lZones.end(), [](auto A, auto B) { return A->m_nId < B->m_nId; });
    QStringList lRows;
    for (const TTarvoTimeZone* z : lZones)
        lRows << QStringLiteral("%1|%2|%3|%4|%5")
                     .arg(z->m_nId)
                     .arg(z->m_sName, HourMinToXml(z->m_tStartTime))
                     .arg(double(z->m_nBaseCost))
                     .arg(double(z->m_nMinCost));
    return lRows;
}

QStringList CardRows(const TCardList& AList) {
    QStringList lRows;
    for (int i = 0; i < AList.Count(); ++i) {
        const TCard& c = *AList.GetCard(i);
        lRows << QStringLiteral("%1|%2|%3|%4|%5")
                     .arg(c.m_nId)
                     .arg(KeyNumToStr(c.m_Number, KEYVIEW_HEX), c.m_sUserName, c.m_sComment)
                     .arg(c.m_nLevel);
    }
    return lRows;
}

class DataFileSharing : public ::testing::Test {
protected:
    DataFileSharing() : m_oClock(MakeDateTime(2024, 3, 10, 14, 30)) {}

    std::unique_ptr<Tarvo::TTarvoDoc> OpenFrontDesk() {
        auto lDoc = std::make_unique<Tarvo::TTarvoDoc>();
        lDoc->SetFileName(DataFile());
        lDoc->SetLangDir(m_oDir.FilePath(QStringLiteral("Languages")));
        lDoc->Open();
        return lDoc;
    }
    std::unique_ptr<ConfigTarvo::TTarvoDoc> OpenConfig() {
        auto lDoc = std::make_unique<ConfigTarvo::TTarvoDoc>();
        lDoc->SetFileName(DataFile());
        lDoc->SetLangDir(m_oDir.FilePath(QStringLiteral("Languages")));
        lDoc->Open();
        return lDoc;
    }
    QString DataFile() const { return m_oDir.FilePath(QStringLiteral("Tarvo.xml")); }

    TLocaleOverride m_oLocale;
    TFixedClock m_oClock;
    TTempDir m_oDir;
};

TEST_F(DataFileSharing, EachProgramKeepsTheOthersItems) {
    // The configuration program creates the file.
    {
        auto lCfg = OpenConfig();
        lCfg->AddTimeZone(QStringLiteral("Evening"), EncodeTime(18, 0, 0, 0), 4, 2);
        lCfg->AddTimeZone(QStringLiteral("Day"), EncodeTime(8, 0, 0, 0), 3.5L, 1.25L);
        lCfg->AddCard(Key("00AB12"), QStringLiteral("Ann"), QStringLiteral("vip & co"), 2);
        lCfg->AddCard(Key("CD34"), QString(), QStringLiteral("spare"), 0);
        lCfg->SetStartDay(EncodeTime(6, 30, 0, 0));
        lCfg->SetKeyView(1);
        lCfg->SetKeyEditFormat(2);
        lCfg->SetLanguage(0x0419);
        lCfg->SetReaderPort(QStringLiteral("COM3"));
        lCfg->SetReaderSn(1234);
        lCfg->Save();
    }
    const QString lConfigWritten = ReadText(DataFile());

    // The front desk reads it and saves its settings.
    {
        auto lDesk = OpenFrontDesk();
        EXPECT_EQ(lDesk->StartDay(), EncodeTime(6, 30, 0, 0));
        EXPECT_EQ(lDesk->KeyView(), 1);
        EXPECT_EQ(lDesk->ReaderSn(), 1234);
        EXPECT_EQ(lDesk->ReaderPort(), QStringLiteral("COM3"));
        lDesk->SetNDS(18);
        lDesk->SetPrinter(QStringLiteral("Desk printer"));
        lDesk->SetCardRegMin(1500);
        Tarvo::TKorvelOutputs lOut;
        lOut.m_nKorvelOutputs = 0x5;
        lOut.m_nKorvelInit = 0x2;
        lOut.m_aKorvelTimes = {100, 200, 300, 400};
        lDesk->SetKorvelOutput(1, lOut);
        lDesk->SetPopupMax(4);
        lDesk->SetCamSource(1);
        lDesk->SetVILogin(QStringLiteral("operator"));
        lDesk->Save();
        lDesk->Close();
    }
    const QString lDeskWritten = ReadText(DataFile());
    ExpectSameBlocks(lConfigWritten, lDeskWritten,
                     {{QStringLiteral("<Main "), QStringLiteral(">")},
                      {QStringLiteral("<StartDayTime>"), QStringLiteral("</StartDayTime>")},
                      {QStringLiteral("<TimeZones>"), QStringLiteral("</TimeZones>")},
                      {QStringLiteral("<Cards "), QStringLiteral("</Cards>")}});
    // The front desk's sections come after the cards.
    EXPECT_GT(lDeskWritten.indexOf(QLatin1String("<Popup")), lDeskWritten.indexOf(QLatin1String("</Cards>")));

    // The configuration program edits and saves again.
    QStringList lZones, lCards;
    {
        auto lCfg = OpenConfig();
        EXPECT_EQ(lCfg->KeyEditFormat(), 2);
        lCfg->DeleteTZs({0});
        lCfg->AddTimeZone(QStringLiteral("Night"), EncodeTime(23, 0, 0, 0), 2, 1);
        lCfg->SetCard(1, Key("CD34"), QStringLiteral("Bob"), QString(), 1);
        lCfg->AddCard(Key("EF56"), QStringLiteral("Eve"), QString(), 3);
        lCfg->SetReaderPort(QStringLiteral("COM4"));
        lCfg->SetKorvelWiegand(true);
        lCfg->Save();
        lZones = ZoneRows(lCfg->TZs());
        lCards = CardRows(lCfg->Cards());
    }
    const QString lConfigAgain = ReadText(DataFile());
    ExpectSameBlocks(lDeskWritten, lConfigAgain,
                     {{QStringLiteral("<Log "), QStringLiteral("\n")},
                      {QStringLiteral("<NDS>"), QStringLiteral("</Printer>")},
                      {QStringLiteral("<LedG"), QStringLiteral("</Exit>")},
                      {QStringLiteral("<Popup"), QStringLiteral("\n")},
                      {QStringLiteral("<Receipt"), QStringLiteral("\n")},
                      {QStringLiteral("<Camera"), QStringLiteral("</Camera>")}});
    EXPECT_TRUE(Block(lConfigAgain, QStringLiteral("<Reader "), QStringLiteral(">"))
                    .contains(QLatin1String("cardRegInterval=\"1500\"")));

    // Both read the same zones and cards, and the front desk its own settings.
    auto lDesk = OpenFrontDesk();
    auto lCfg = OpenConfig();
    EXPECT_EQ(ZoneRows(lDesk->TZs()), lZones);
    EXPECT_EQ(ZoneRows(lCfg->TZs()), lZones);
    EXPECT_EQ(CardRows(lDesk->Cards()), lCards);
    EXPECT_EQ(CardRows(lCfg->Cards()), lCards);
    EXPECT_EQ(lZones.size(), 2);
    EXPECT_EQ(lCards.size(), 3);
    EXPECT_EQ(lDesk->NDS(), 18.0L);
    EXPECT_EQ(lDesk->CardRegMin(), 1500u);
    EXPECT_EQ(lDesk->GetKorvelOutput(1).m_aKorvelTimes[3], 400u);
    EXPECT_EQ(lDesk->PopupMax(), 4);
    EXPECT_EQ(lDesk->VILogin(), QStringLiteral("operator"));
    EXPECT_EQ(lDesk->ReaderPort(), QStringLiteral("COM4"));
    EXPECT_TRUE(lDesk->KorvelWiegand());
    lDesk->Close();
}

TEST_F(DataFileSharing, ACardThatDoesNotParseSurvivesOnlyTheFrontDesksSave) {
    m_oDir.WriteFile(
        QStringLiteral("Tarvo.xml"),
        "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Tarvo version=\"1.2\">\r\n"
        "<Cards RdMode=\"1\"><Item1 number=\"0A\" name=\"Ann\"/><Item4 number=\"XYZ\" name=\"Broken\"/>"
        "<Item5 number=\"0B\"/></Cards></Tarvo>\r\n");
    auto CardChildren = [this] {
        TMemXml lXml(DataFile(), TXmlEncoding::Utf8);
        const TMXNode* lCards = lXml.RootNode().ChildNodes().FindNode(QStringLiteral("Tarvo\\Cards"), false);
        QStringList lNames;
        for (int i = 0; lCards && i < lCards->ChildNodes().Count(); ++i)
            lNames << lCards->ChildNodes().Get(i) + QLatin1Char('=') +
                          lCards->ChildNodes().GetNode(i)->GetNodeAttr(QStringLiteral("number"));
        return lNames;
    };

    auto lDesk = OpenFrontDesk();
    EXPECT_EQ(lDesk->Cards().Count(), 2);
    lDesk->SetNDS(10);
    lDesk->Save();
    lDesk->Close();
    EXPECT_EQ(CardChildren(), (QStringList{QStringLiteral("Item1=0A"), QStringLiteral("Item4=XYZ"),
                                           QStringLiteral("Item5=0B")}));

    auto lCfg = OpenConfig();
    EXPECT_EQ(CardRows(lCfg->Cards()), CardRows(lDesk->Cards()));
    lCfg->Save();
    EXPECT_EQ(CardChildren(), (QStringList{QStringLiteral("Item1=0A"), QStringLiteral("Item5=0B")}));
}

} // namespace
