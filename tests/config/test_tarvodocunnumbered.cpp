// Cards without a number in the configuration program's document, and the error of a value that stops
// its reading.
#include "config/uTarvoDoc.h"

#include "base/uDateTime.h"
#include "base/uExceptions.h"
#include "base/uKeyNum.h"
#include "base/uMemXml.h"
#include "tests/common/TestSupport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace ConfigTarvo;

namespace {

TOrv_KEYNUM Key(const char* AHex) {
    TOrv_KEYNUM lNumber{};
    EXPECT_TRUE(HexToKeyNum(QString::fromLatin1(AHex), lNumber)) << AHex;
    return lNumber;
}

QByteArray ReadBytes(const QString& APath) {
    QFile lFile(APath);
    EXPECT_TRUE(lFile.open(QIODevice::ReadOnly)) << APath.toStdString();
    return lFile.readAll();
}

// A file as a save leaves it, with two cards that have no number: one with an empty attribute, one
// without it.
const char* const CARDS_FILE = "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                               "<Tarvo version=\"1.2\">\r\n"
                               "\t<Main language=\"0419\" keyView=\"0\" keyEditFormatId=\"0\">\r\n"
                               "\t\t<StartDayTime>00:00</StartDayTime>\r\n"
                               "\t</Main>\r\n"
                               "\t<Reader sn=\"0\">\r\n"
                               "\t\t<Korvel wiegand=\"False\"/>\r\n"
                               "\t</Reader>\r\n"
                               "\t<TimeZones/>\r\n"
                               "\t<Cards RdMode=\"1\">\r\n"
                               "\t\t<Item1 number=\"\" name=\"Anna\" level=\"2\">\r\n"
                               "\t\t\t<Commant>new member, card not yet issued</Commant>\r\n"
                               "\t\t</Item1>\r\n"
                               "\t\t<Item2 name=\"Boris\" level=\"0\">\r\n"
                               "\t\t\t<Commant/>\r\n"
                               "\t\t</Item2>\r\n"
                               "\t\t<Item3 number=\"0A\" name=\"Cleo\" level=\"1\">\r\n"
                               "\t\t\t<Commant/>\r\n"
                               "\t\t</Item3>\r\n"
                               "\t</Cards>\r\n"
                               "</Tarvo>\r\n";

class ConfigDocUnnumbered : public ::testing::Test {
protected:
    ConfigDocUnnumbered() {
        m_sPath = m_oDir.WriteFile(QStringLiteral("Tarvo.xml"), QByteArray(CARDS_FILE));
        m_oDoc.SetFileName(m_sPath);
        m_oDoc.SetLangDir(m_oDir.FilePath(QStringLiteral("Languages")));
        m_oDoc.Open();
    }

    TLocaleOverride m_oLocale;
    TTempDir m_oDir;
    QString m_sPath;
    TTarvoDoc m_oDoc;
};

} // namespace

// A card without a number is listed with its name and comment, and a save without changes writes the
// file back as it was.
TEST_F(ConfigDocUnnumbered, IsListedAndSavedByteForByte) {
    ASSERT_EQ(m_oDoc.Cards().Count(), 3);
    const TCard& lAnna = *m_oDoc.Cards().GetCard(0);
    EXPECT_EQ(lAnna.m_nId, 1);
    EXPECT_EQ(lAnna.m_Number[0], 0);
    EXPECT_EQ(lAnna.m_sUserName, QStringLiteral("Anna"));
    EXPECT_EQ(lAnna.m_sComment, QStringLiteral("new member, card not yet issued"));
    EXPECT_EQ(lAnna.m_nLevel, 2);
    EXPECT_EQ(m_oDoc.Cards().GetCard(1)->m_sUserName, QStringLiteral("Boris"));

    m_oDoc.Save();
    EXPECT_EQ(ReadBytes(m_sPath), QByteArray(CARDS_FILE));
}

// Giving the card a number writes it; the other card without one stays as it was.
TEST_F(ConfigDocUnnumbered, GetsTheNumberTheOwnerGives) {
    m_oDoc.SetCard(0, Key("1234"), QStringLiteral("Anna"), QStringLiteral("issued"), 2);
    m_oDoc.Save();
    QByteArray lExpected(CARDS_FILE);
    lExpected.replace("<Item1 number=\"\" name=\"Anna\"", "<Item1 number=\"1234\" name=\"Anna\"");
    lExpected.replace("new member, card not yet issued", "issued");
    EXPECT_EQ(ReadBytes(m_sPath), lExpected);
}

// A number of length 0 equals every number over the common length: such a card must never be what a
// search by number finds, or every new card would count as added already and every card presented in
// the delete mode would delete it.
TEST_F(ConfigDocUnnumbered, IsNeverFoundByNumber) {
    struct TCase {
        const char* m_sName;
        TOrv_KEYNUM m_Number;
        int m_nFound;
    };
    const TCase lCases[] = {
        {"the numbered card", Key("0A"), 2},
        {"the numbered card with a leading zero", Key("000A"), 2},
        {"a number nobody has", Key("0B"), -1},
        {"the empty number", TOrv_KEYNUM{}, -1},
    };
    for (const TCase& c : lCases) {
        SCOPED_TRACE(c.m_sName);
        EXPECT_EQ(m_oDoc.FindCardByNumber(c.m_Number), c.m_nFound);
    }
}

// A value that stops the reading raises an error naming the file, the item and the value.
TEST(ConfigDocReadingError, NamesFileItemAndValue) {
    struct TCase {
        const char* m_sName;
        const char* m_sStartDay;
        const char* m_sZone;
        const char* m_sDetail;
    };
    const TCase lCases[] = {
        {"start of day", "12:60", "<Item1 name=\"a\" startTime=\"08:00\"/>",
         "Main/StartDayTime has the text \"12:60\" (Invalid argument to time encode)."},
        {"zone", "06:00",
         "<Item1 name=\"a\" startTime=\"08:00\"/><Item2 name=\"Late &amp; long\" startTime=\"25:00\"/>",
         "time zone \"Late & long\" (Item2) has startTime=\"25:00\" (Invalid argument to time encode)."},
        {"zone without a name", "06:00", "<Item9 startTime=\"-:30\"/>",
         "time zone Item9 has startTime=\"-:30\" ('-' is not a valid integer value)."},
    };
    TLocaleOverride lLocale;
    TTempDir lDir;
    for (const TCase& c : lCases) {
        SCOPED_TRACE(c.m_sName);
        const QString lPath = lDir.WriteFile(
            QStringLiteral("Tarvo.xml"),
            QStringLiteral("<Tarvo version=\"1.2\"><Main><StartDayTime>%1</StartDayTime></Main>"
                           "<TimeZones>%2</TimeZones></Tarvo>")
                .arg(QLatin1String(c.m_sStartDay), QLatin1String(c.m_sZone))
                .toUtf8());
        TTarvoDoc lDoc;
        lDoc.SetFileName(lPath);
        lDoc.SetLangDir(lDir.FilePath(QStringLiteral("Languages")));
        const QString lExpected = QStringLiteral("The data file \"%1\" could not be read: %2")
                                      .arg(QDir::toNativeSeparators(lPath), QString::fromUtf8(c.m_sDetail));
        try {
            lDoc.Open();
            ADD_FAILURE() << "no error";
        } catch (const EConvertError& E) {
            EXPECT_EQ(E.Message(), lExpected);
        }
        EXPECT_EQ(lDoc.LoadError(), lExpected);
    }
}
