// A "Tarvo.xml" edited by hand, with comments, a processing instruction and values in single quotes:
// both programs read every zone and card of it, and neither program's save loses one or adds a root.
#include "config/uTarvoDoc.h"
#include "frontdesk/uTarvoDoc.h"

#include "base/uKeyNum.h"
#include "base/uMemXml.h"
#include "tests/common/TestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

#include <memory>

namespace {

// Comments before, inside and after the root, one between cards that also holds a card taken out,
// one before the front desk's Popup, and values in single quotes.
const char* const HAND_EDITED =
    "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
    "<!-- edited by hand on 3 March -->\r\n"
    "<?editor name=\"vi\"?>\r\n"
    "<Tarvo version=\"1.2\">\r\n"
    "\t<Reader sn='1234' port=\"COM3\"/>\r\n"
    "\t<TimeZones>\r\n"
    "\t\t<!-- the day tariff -->\r\n"
    "\t\t<Item1 name=\"Day\" startTime=\"08:00\" baseCost=\"3.5\" minCost=\"1.5\"/>\r\n"
    "\t\t<Item2 name='Night' startTime='22:00' baseCost='2' minCost='1'/>\r\n"
    "\t</TimeZones>\r\n"
    "\t<Cards RdMode=\"1\">\r\n"
    "\t\t<Item1 number=\"0A\" name=\"Ann\" level=\"1\">\r\n"
    "\t\t\t<Commant>vip <!-- since May --></Commant>\r\n"
    "\t\t</Item1>\r\n"
    "\t\t<!-- Bob left: <Item2 number=\"0B\" name=\"Bob\"/> -->\r\n"
    "\t\t<Item3 number='0C' name=\"Cleo O'Hara\" level=\"2\"/>\r\n"
    "\t\t<Item4 number=\"0D\" name=\"Dan\" level=\"0\"/>\r\n"
    "\t</Cards>\r\n"
    "\t<!-- popups stay small -->\r\n"
    "\t<Popup fontName=\"Arial\" fontSize=\"12\" max=\"4\" timeOut=\"9\"/>\r\n"
    "</Tarvo>\r\n"
    "<!-- end -->\r\n";

QString ReadText(const QString& APath) {
    QFile lFile(APath);
    EXPECT_TRUE(lFile.open(QIODevice::ReadOnly)) << APath.toStdString();
    return QString::fromUtf8(lFile.readAll());
}

QStringList CardRows(const TCardList& ACards) {
    QStringList lRows;
    for (int i = 0; i < ACards.Count(); ++i) {
        const TCard& c = *ACards.GetCard(i);
        lRows << QStringLiteral("%1 %2 %3 %4 %5")
                     .arg(c.m_nId)
                     .arg(KeyNumToStr(c.m_Number, KEYVIEW_HEX), c.m_sUserName)
                     .arg(c.m_nLevel)
                     .arg(c.m_sComment);
    }
    return lRows;
}

const QStringList EXPECTED_CARDS = {"1 0A Ann 1 vip ", "3 0C Cleo O'Hara 2 ", "4 0D Dan 0 "};

class HandEditedFile : public ::testing::Test {
protected:
    HandEditedFile() : m_oClock(MakeDateTime(2024, 3, 10, 14, 30)) {
        m_oDir.WriteFile(QStringLiteral("Tarvo.xml"), QByteArray(HAND_EDITED));
    }

    template <class TDoc> std::unique_ptr<TDoc> Open() {
        auto lDoc = std::make_unique<TDoc>();
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

} // namespace

TEST_F(HandEditedFile, TheFrontDeskReadsEverythingAndSavesOneRoot) {
    auto lDesk = Open<Tarvo::TTarvoDoc>();
    EXPECT_EQ(lDesk->LoadProblems(), QStringList());
    EXPECT_EQ(lDesk->ReaderSn(), 1234);
    EXPECT_EQ(lDesk->TZs().Count(), 2);
    EXPECT_EQ(CardRows(lDesk->Cards()), EXPECTED_CARDS);
    EXPECT_EQ(lDesk->PopupMax(), 4);
    EXPECT_EQ(lDesk->PopupTimeOut(), 9u);
    lDesk->Save();

    const QString lSaved = ReadText(DataFile());
    EXPECT_EQ(lSaved.count(QLatin1String("<Tarvo ")), 1);
    EXPECT_FALSE(lSaved.contains(QLatin1String("!--")));
    auto lAgain = Open<Tarvo::TTarvoDoc>();
    EXPECT_EQ(CardRows(lAgain->Cards()), EXPECTED_CARDS);
    EXPECT_EQ(lAgain->PopupMax(), 4);
}

TEST_F(HandEditedFile, TheConfigurationProgramKeepsEveryCardAndTheFrontDesksItems) {
    auto lConfig = Open<ConfigTarvo::TTarvoDoc>();
    EXPECT_EQ(lConfig->ReaderSn(), 1234);
    EXPECT_EQ(lConfig->TZs().Count(), 2);
    EXPECT_EQ(CardRows(lConfig->Cards()), EXPECTED_CARDS);
    lConfig->Save();

    const QString lSaved = ReadText(DataFile());
    EXPECT_EQ(lSaved.count(QLatin1String("<Tarvo ")), 1);
    EXPECT_TRUE(lSaved.contains(
        QLatin1String("\t<Popup fontName=\"Arial\" fontSize=\"12\" max=\"4\" timeOut=\"9\"/>\r\n")));
    auto lDesk = Open<Tarvo::TTarvoDoc>();
    EXPECT_EQ(CardRows(lDesk->Cards()), EXPECTED_CARDS);
    EXPECT_EQ(lDesk->TZs().Count(), 2);
    EXPECT_EQ(lDesk->PopupMax(), 4);
}

// Two spellings of one attribute name: both programs read the first and write back one attribute with
// the value they set, never a second one that the next reading would take for the same name.
TEST_F(HandEditedFile, ARepeatedAttributeNameIsWrittenBackOnce) {
    m_oDir.WriteFile(QStringLiteral("Tarvo.xml"),
                     "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Tarvo version=\"1.2\">\r\n"
                     "\t<Main Language=\"0409\" language=\"0419\" keyView=\"0\"/>\r\n"
                     "\t<Reader sn=\"1\" SN=\"2\"/>\r\n</Tarvo>\r\n");
    {
        auto lDesk = Open<Tarvo::TTarvoDoc>();
        EXPECT_EQ(lDesk->Language(), 0x0409u);
        EXPECT_EQ(lDesk->ReaderSn(), 1);
        lDesk->SetLanguage(0x0407);
        lDesk->Save();
    }
    QString lSaved = ReadText(DataFile());
    EXPECT_TRUE(lSaved.contains(QLatin1String("<Main language=\"0407\" keyView=\"0\">")))
        << lSaved.toStdString();
    EXPECT_TRUE(lSaved.contains(QLatin1String("<Reader sn=\"1\" ")));
    EXPECT_FALSE(lSaved.contains(QLatin1String("SN=")));

    m_oDir.WriteFile(QStringLiteral("Tarvo.xml"),
                     lSaved
                         .replace(QLatin1String("<Main language=\"0407\""),
                                  QLatin1String("<Main language=\"0407\" LANGUAGE=\"0419\""))
                         .toUtf8());
    {
        auto lConfig = Open<ConfigTarvo::TTarvoDoc>();
        EXPECT_EQ(lConfig->Language(), 0x0407u);
        lConfig->Save();
    }
    const QString lConfigSaved = ReadText(DataFile());
    EXPECT_EQ(lConfigSaved.count(QLatin1String("anguage=")) + lConfigSaved.count(QLatin1String("ANGUAGE=")),
              1)
        << lConfigSaved.toStdString();
    EXPECT_EQ(Open<Tarvo::TTarvoDoc>()->Language(), 0x0407u);
}
