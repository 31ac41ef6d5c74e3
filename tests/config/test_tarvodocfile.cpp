// The configuration program's document and "Tarvo.xml": Open, reading, saving its own items while the
// front desk's stay byte for byte, and the refusal to save over a file that was not read completely.
#include "config/uTarvoDoc.h"

#include "base/uDateTime.h"
#include "base/uExceptions.h"
#include "base/uKeyNum.h"
#include "base/uMemXml.h"
#include "tests/common/TestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

#include <functional>

using namespace ConfigTarvo;

namespace {

// A file as the front desk and the configuration program leave it between them, with a few things a
// hand edit could leave behind: a stray element among the zones, a card whose number is not hex.
const char* const FULL_FILE = R"(<?xml version="1.0" encoding="utf-8"?>
<Tarvo version="1.2">
<Main language="0419" keyView="1" keyEditFormatId="2">
<StartDayTime>06:30</StartDayTime>
<Log fileFormat="1, csv" filePeriod="2, month"/>
<NDS>18</NDS>
<Tariffication>3</Tariffication>
<Entrance>50</Entrance>
<MinAmount>100</MinAmount>
<AccPrice>-2</AccPrice>
<OverdueCost>1.5</OverdueCost>
<DayCost>900</DayCost>
<RecentBooking active="True" from="10:00:00" to="12:00:00" allDay="False"/>
<AutoPrintRep>True</AutoPrintRep>
<Printer>Desk &amp; Co</Printer>
</Main>
<Reader sn="1234" port="COM3" cardRegInterval="1500">
<Korvel wiegand="True">
<LedG active="True" initON="False" time="500"/>
<LedR active="False" initON="True" time="0"/>
<Beep active="True" initON="False" time="200"/>
<Power active="False" initON="False" time="0"/>
<Exit>
<LedG active="False" initON="False" time="0"/>
<LedR active="True" initON="False" time="700"/>
<Beep active="True" initON="False" time="100"/>
<Power active="True" initON="True" time="3000"/>
</Exit>
</Korvel>
</Reader>
<TimeZones>
<Item1 name="Day" startTime="08:00" baseCost="3.5" minCost="1.5"/>
<Stray note="left by hand"/>
<Item2 name="Evening" startTime="18:00" baseCost="4" minCost="2"/>
<Item5 name="Night" startTime="23:00" baseCost="2" minCost="1"/>
</TimeZones>
<Cards RdMode="2">
<Item3 number="00AB12" name="Ann" level="2"><Commant>vip</Commant></Item3>
<Item4 number="XYZ" name="Broken" level="1"/>
<Item7 number="CD34" name="Bob" level="0"><Commant/></Item7>
<Item12 number="EF56" level="5"><Commant>line</Commant></Item12>
</Cards>
<Popup fontName="Calibri" fontSize="20" max="10" timeOut="7"/>
<Receipt wndPos="[100,120,640,480]"/>
<Camera source="1">
<ArchPhoto scale="100" wndPos="[1,2,3,4]"/>
<WebCam camera="USB Cam" mode="-1" numShots="3"/>
<VI server="http://10.0.0.5:80" login="op" passwmd5="0123abcd" camera="cam1" cameraTitle="Door" timeOffs="0" stepViewing="100" reqTimeOut="30000"/>
</Camera>
</Tarvo>
)";

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

// The part of AText from AFrom up to and including the next ATo; empty when either is missing.
QString Block(const QString& AText, const QString& AFrom, const QString& ATo) {
    const qsizetype lStart = AText.indexOf(AFrom);
    if (lStart < 0)
        return QString();
    const qsizetype lEnd = AText.indexOf(ATo, lStart + AFrom.size());
    return lEnd < 0 ? QString() : AText.mid(lStart, lEnd + ATo.size() - lStart);
}

QStringList ChildNames(const TMXNode& ANode) {
    QStringList lNames;
    for (int i = 0; i < ANode.ChildNodes().Count(); ++i)
        lNames << ANode.ChildNodes().Get(i);
    return lNames;
}

// Writes AText as the data file in the writer's own layout, as a save by either program leaves it.
QString WriteDataFile(const TTempDir& ADir, const char* AText) {
    const QString lPath = ADir.WriteFile(QStringLiteral("Tarvo.xml"), QByteArray(AText));
    TMemXml lXml(lPath, TXmlEncoding::Utf8);
    lXml.UpdateFile();
    return lPath;
}

void ExpectSameItems(const TTarvoDoc& A, const TTarvoDoc& B) {
    ASSERT_EQ(A.TZs().Count(), B.TZs().Count());
    for (int i = 0; i < A.TZs().Count(); ++i) {
        const TTarvoTimeZone &a = *A.TZs().GetZone(i), &b = *B.TZs().GetZone(i);
        EXPECT_EQ(a.m_nId, b.m_nId);
        EXPECT_EQ(a.m_sName, b.m_sName);
        EXPECT_TRUE(SameTimeOfDay(a.m_tStartTime, b.m_tStartTime)) << a.m_sName.toStdString();
        EXPECT_EQ(a.m_nBaseCost, b.m_nBaseCost);
        EXPECT_EQ(a.m_nMinCost, b.m_nMinCost);
    }
    ASSERT_EQ(A.Cards().Count(), B.Cards().Count());
    for (int i = 0; i < A.Cards().Count(); ++i) {
        const TCard &a = *A.Cards().GetCard(i), &b = *B.Cards().GetCard(i);
        EXPECT_EQ(a.m_nId, b.m_nId);
        EXPECT_EQ(CompareKeyNums(a.m_Number, b.m_Number), 0) << a.m_nId;
        EXPECT_EQ(a.m_sUserName, b.m_sUserName);
        EXPECT_EQ(a.m_sComment, b.m_sComment);
        EXPECT_EQ(a.m_nLevel, b.m_nLevel);
    }
}

class ConfigDocFile : public ::testing::Test {
protected:
    ConfigDocFile() {
        m_oDoc.SetFileName(m_oDir.FilePath(QStringLiteral("Tarvo.xml")));
        m_oDoc.SetLangDir(m_oDir.FilePath(QStringLiteral("Languages")));
        m_oDoc.SetOnChange([this](TDocUpdate& ASender) {
            ++m_nChanges;
            m_nLastMask = ASender.ChangeMask();
        });
    }

    TLocaleOverride m_oLocale;
    TTempDir m_oDir;
    TTarvoDoc m_oDoc;
    int m_nChanges = 0;
    std::uint32_t m_nLastMask = 0;
};

constexpr std::uint32_t OPEN_BITS = DCH_READER | DCH_TZS | DCH_CARDS | DCH_CARDRDMODE | DCH_LANGUAGE;

TEST_F(ConfigDocFile, OpenReadsItsItemsAndSkipsWhatDoesNotParse) {
    WriteDataFile(m_oDir, FULL_FILE);
    m_oDoc.Open();
    EXPECT_EQ(m_nChanges, 1);
    EXPECT_EQ(m_nLastMask, OPEN_BITS);
    EXPECT_FALSE(m_oDoc.Modifyed());
    EXPECT_FALSE(m_oDoc.LoadFailed());

    EXPECT_EQ(m_oDoc.Language(), 0x0419u);
    EXPECT_EQ(m_oDoc.KeyView(), 1);
    EXPECT_EQ(m_oDoc.KeyEditFormat(), 2);
    EXPECT_EQ(m_oDoc.StartDay(), EncodeTime(6, 30, 0, 0));
    EXPECT_EQ(m_oDoc.ReaderSn(), 1234);
    EXPECT_EQ(m_oDoc.ReaderPort(), QStringLiteral("COM3"));
    EXPECT_TRUE(m_oDoc.KorvelWiegand());
    EXPECT_EQ(m_oDoc.CardRdMode(), crm_Find);

    ASSERT_EQ(m_oDoc.TZs().Count(), 3); // file order, not sorted; the stray element is not a zone
    EXPECT_EQ(m_oDoc.TZs().GetZone(1)->m_sName, QStringLiteral("Evening"));
    EXPECT_EQ(m_oDoc.TZs().GetZone(2)->m_nId, 5);
    EXPECT_EQ(m_oDoc.TZs().GetZone(0)->m_nBaseCost, 3.5L);
    ASSERT_EQ(m_oDoc.Cards().Count(), 3); // Item4's number is not hex
    const TCard& lAnn = *m_oDoc.Cards().GetCard(0);
    EXPECT_EQ(lAnn.m_nId, 3);
    EXPECT_EQ(CompareKeyNums(lAnn.m_Number, Key("00AB12")), 0);
    EXPECT_EQ(lAnn.m_sComment, QStringLiteral("vip"));
    EXPECT_EQ(lAnn.m_nLevel, 2);
    EXPECT_EQ(m_oDoc.Cards().GetCard(2)->m_sUserName, QString());
    EXPECT_EQ(m_oDoc.Cards().GetCard(2)->m_sComment, QStringLiteral("line"));
}

TEST_F(ConfigDocFile, OpenWithoutFileGivesDefaultsButKeepsLanguageAndKeyFormat) {
    m_oDoc.SetLanguage(0x0419);
    m_oDoc.SetKeyEditFormat(3);
    m_oDoc.SetReaderPort(QStringLiteral("COM9"));
    m_oDoc.SetKeyView(1);
    m_oDoc.AddCard(Key("01"), QString(), QString(), 0);
    ASSERT_TRUE(m_oDoc.Modifyed());
    m_nChanges = 0;

    m_oDoc.Open();
    EXPECT_EQ(m_nChanges, 1);
    EXPECT_EQ(m_nLastMask, OPEN_BITS | DCH_MODIFIED);
    EXPECT_FALSE(m_oDoc.Modifyed());
    EXPECT_EQ(m_oDoc.Language(), 0x0419u);
    EXPECT_EQ(m_oDoc.KeyEditFormat(), 3);
    EXPECT_EQ(m_oDoc.ReaderPort(), QString());
    EXPECT_EQ(m_oDoc.KeyView(), 0);
    EXPECT_EQ(m_oDoc.ReaderSn(), 0);
    EXPECT_FALSE(m_oDoc.KorvelWiegand());
    EXPECT_EQ(m_oDoc.StartDay(), 0.0);
    EXPECT_EQ(m_oDoc.CardRdMode(), crm_Add);
    EXPECT_EQ(m_oDoc.Cards().Count(), 0);
    EXPECT_EQ(m_oDoc.TZs().Count(), 0);
    // The identifier count of the run goes on.
    m_oDoc.AddCard(Key("02"), QString(), QString(), 0);
    EXPECT_EQ(m_oDoc.Cards().GetCard(0)->m_nId, 2);
}

TEST_F(ConfigDocFile, OpenResolvesAnUnchosenLanguageFromTheInstalledFiles) {
    WriteDataFile(m_oDir, "<Tarvo version=\"1.2\"><Main language=\"7F\"/></Tarvo>");
    TLocaleOverride lRussian(QLatin1Char(','), 0x0419);
    m_oDoc.Open();
    EXPECT_EQ(m_oDoc.Language(), 127u) << "no language file installed";

    m_oDir.WriteFile(QStringLiteral("Languages/ConfigTarvo-Russian.lng"),
                     QByteArray("\xEF\xBB\xBF[Global]\r\nTitle=Russian\r\nLangId=0419\r\n"));
    m_oDoc.Open();
    EXPECT_EQ(m_oDoc.Language(), 0x0419u);
    EXPECT_FALSE(m_oDoc.Modifyed());
}

TEST_F(ConfigDocFile, LoadingVariants) {
    struct TCase {
        const char* m_sName;
        const char* m_sXml;
        std::function<void(const TTarvoDoc&)> m_fnCheck;
    };
    const TCase lCases[] = {
        {"version 1.1 has no base-station element yet",
         "<Tarvo version=\"1.1\"><Reader sn=\"5\"><Korvel wiegand=\"True\"/></Reader></Tarvo>",
         [](const TTarvoDoc& D) {
             EXPECT_EQ(D.ReaderSn(), 5);
             EXPECT_FALSE(D.KorvelWiegand());
         }},
        {"version 2.0 is not read",
         "<Tarvo version=\"2.0\"><Reader sn=\"5\"/><Cards><Item1 number=\"01\"/></Cards></Tarvo>",
         [](const TTarvoDoc& D) {
             EXPECT_EQ(D.ReaderSn(), 0);
             EXPECT_EQ(D.Cards().Count(), 0);
             EXPECT_EQ(D.Language(), 0x0409u);
         }},
        {"Main without attributes",
         "<Tarvo version=\"1.2\"><Main><StartDayTime>7</StartDayTime></Main></Tarvo>",
         [](const TTarvoDoc& D) {
             EXPECT_EQ(D.Language(), 127u);
             EXPECT_EQ(D.KeyView(), 0);
             EXPECT_EQ(D.KeyEditFormat(), 0);
             EXPECT_EQ(D.StartDay(), 0.0); // one number only: the time is not taken
         }},
        {"no Main keeps the language", "<Tarvo version=\"1.2\"><Cards RdMode=\"0\"/></Tarvo>",
         [](const TTarvoDoc& D) {
             EXPECT_EQ(D.Language(), 0x0409u);
             EXPECT_EQ(D.KeyEditFormat(), 4);
             EXPECT_EQ(D.CardRdMode(), crm_Inactive);
         }},
        {"reading mode out of range", "<Tarvo version=\"1.2\"><Cards RdMode=\"4\"/></Tarvo>",
         [](const TTarvoDoc& D) { EXPECT_EQ(D.CardRdMode(), crm_Add); }},
        {"bad item names",
         "<Tarvo version=\"1.2\"><TimeZones><Item0 name=\"a\"/><ItemX name=\"b\"/><Zone7 "
         "name=\"c\"/></TimeZones>"
         "<Cards><Item-1 number=\"01\"/><Item2 number=\"\"/><Item3/><item9 number=\"0A\"/></Cards></Tarvo>",
         [](const TTarvoDoc& D) {
             ASSERT_EQ(D.TZs().Count(), 1);
             EXPECT_EQ(D.TZs().GetZone(0)->m_nId, 7); // only the first four characters are skipped
             // Cards without a number are kept for the owner to number; a bad id still drops one.
             ASSERT_EQ(D.Cards().Count(), 3);
             EXPECT_EQ(D.Cards().GetCard(0)->m_nId, 2);
             EXPECT_EQ(D.Cards().GetCard(1)->m_nId, 3);
             EXPECT_EQ(D.Cards().GetCard(2)->m_nId, 9);
             EXPECT_EQ(D.Cards().GetCard(1)->m_Number[0], 0);
         }},
    };
    for (const TCase& c : lCases) {
        SCOPED_TRACE(c.m_sName);
        TTarvoDoc lDoc;
        lDoc.SetLanguage(0x0409);
        lDoc.SetKeyEditFormat(4);
        TMemXml lXml{QString()};
        lXml.SetText(QString::fromUtf8(c.m_sXml));
        lDoc.LoadFromXml(lXml);
        EXPECT_FALSE(lDoc.LoadFailed());
        c.m_fnCheck(lDoc);
    }
}

// Edits a document opened on FULL_FILE: zones and cards deleted, changed and added, settings changed.
void EditFullFile(TTarvoDoc& ADoc) {
    ADoc.DeleteTZs({1}); // Evening
    ADoc.SetTimeZone(0, QStringLiteral("Day"), EncodeTime(8, 0, 0, 0), 3.75L, 0.5L);
    ADoc.AddTimeZone(QStringLiteral("Late"), EncodeTime(21, 0, 0, 0), 5, 2.25L);
    ADoc.DeleteCard(1); // Bob
    ADoc.SetCard(0, Key("00AB12"), QStringLiteral("Ann"), QStringLiteral("vip & \"more\""), 2);
    ADoc.AddCard(Key("1234"), QStringLiteral("Новый"), QString(), 1);
    ADoc.SetStartDay(EncodeTime(7, 0, 0, 0));
    ADoc.SetKeyView(0);
    ADoc.SetKeyEditFormat(1);
    ADoc.SetReaderPort(QStringLiteral("COM4"));
    ADoc.SetReaderSn(77);
    ADoc.SetKorvelWiegand(false);
    ADoc.SetCardRdMode(crm_Delete);
    ADoc.SetLanguage(0x0409);
}

TEST_F(ConfigDocFile, SaveRewritesItsItemsAndKeepsTheFrontDesksByteForByte) {
    for (QChar lSep : {QLatin1Char('.'), QLatin1Char(',')}) {
        SCOPED_TRACE(std::string("decimal separator ") + char(lSep.unicode()));
        TLocaleOverride lLocale(lSep);
        const QString lPath = WriteDataFile(m_oDir, FULL_FILE);
        const QString lBefore = QString::fromUtf8(ReadBytes(lPath));
        TTarvoDoc lDoc;
        lDoc.SetFileName(lPath);
        lDoc.Open();
        EditFullFile(lDoc);
        ASSERT_TRUE(lDoc.Modifyed());
        std::uint32_t lMask = 0;
        lDoc.SetOnChange([&](TDocUpdate& D) { lMask = D.ChangeMask(); });
        lDoc.Save();
        EXPECT_FALSE(lDoc.Modifyed());
        EXPECT_EQ(lMask, DCH_MODIFIED);

        // Read back: the same zones, cards and settings.
        TTarvoDoc lBack;
        lBack.SetFileName(lPath);
        lBack.Open();
        ExpectSameItems(lDoc, lBack);
        EXPECT_EQ(lBack.StartDay(), EncodeTime(7, 0, 0, 0));
        EXPECT_EQ(lBack.KeyView(), 0);
        EXPECT_EQ(lBack.KeyEditFormat(), 1);
        EXPECT_EQ(lBack.ReaderPort(), QStringLiteral("COM4"));
        EXPECT_EQ(lBack.ReaderSn(), 77);
        EXPECT_FALSE(lBack.KorvelWiegand());
        EXPECT_EQ(lBack.CardRdMode(), crm_Delete);
        EXPECT_EQ(lBack.Language(), 0x0409u);

        // Deleted items, the stray element and the card that was never loaded are gone; the new ones
        // were appended.
        TMemXml lXml(lPath, TXmlEncoding::Utf8);
        const TMXNodeList& lTop =
            lXml.RootNode().ChildNodes().GetNodeByName(QStringLiteral("Tarvo"))->ChildNodes();
        EXPECT_EQ(ChildNames(*lTop.GetNodeByName(QStringLiteral("TimeZones"))),
                  (QStringList{QStringLiteral("Item1"), QStringLiteral("Item5"), QStringLiteral("Item6")}));
        EXPECT_EQ(ChildNames(*lTop.GetNodeByName(QStringLiteral("Cards"))),
                  (QStringList{QStringLiteral("Item3"), QStringLiteral("Item12"), QStringLiteral("Item13")}));
        const TMXNode& lDay = *lTop.GetNodeByName(QStringLiteral("TimeZones"))->ChildNodes().GetNode(0);
        EXPECT_EQ(lDay.GetNodeAttr(QStringLiteral("baseCost")), QStringLiteral("3.75"));
        EXPECT_EQ(lDay.GetNodeAttr(QStringLiteral("minCost")), QStringLiteral("0.5"));

        // The front desk's items, byte for byte.
        const QString lAfter = QString::fromUtf8(ReadBytes(lPath));
        const QStringList lFrontDesk[] = {
            {QStringLiteral("<Log "), QStringLiteral("\n")},
            {QStringLiteral("<NDS>"), QStringLiteral("</Printer>")},
            {QStringLiteral("<LedG"), QStringLiteral("</Exit>")},
            {QStringLiteral("<Popup"), QStringLiteral("\n")},
            {QStringLiteral("<Receipt"), QStringLiteral("\n")},
            {QStringLiteral("<Camera"), QStringLiteral("</Camera>")},
        };
        for (const QStringList& lPart : lFrontDesk) {
            const QString lOld = Block(lBefore, lPart[0], lPart[1]);
            EXPECT_FALSE(lOld.isEmpty()) << lPart[0].toStdString();
            EXPECT_EQ(Block(lAfter, lPart[0], lPart[1]), lOld);
        }
        EXPECT_TRUE(Block(lAfter, QStringLiteral("<Reader "), QStringLiteral(">"))
                        .contains(QLatin1String("cardRegInterval=\"1500\"")));
    }
}

TEST_F(ConfigDocFile, FirstSaveCreatesTheFile) {
    m_oDoc.Open();
    m_oDoc.AddTimeZone(QStringLiteral("All day"), EncodeTime(0, 0, 0, 0), 1.5L, 1);
    m_oDoc.AddCard(Key("0A0B"), QString(), QStringLiteral("two\nlines"), 0);
    m_oDoc.Save();
    TTarvoDoc lBack;
    lBack.SetFileName(m_oDoc.FileName());
    lBack.Open();
    ExpectSameItems(m_oDoc, lBack);
    EXPECT_TRUE(ReadBytes(m_oDoc.FileName()).startsWith("\xEF\xBB\xBF"));
}

// A hand-edited file may repeat an identifier; both items are loaded, and a save must not write one
// over the other.
TEST_F(ConfigDocFile, RepeatedIdentifiersAreNotLostOnSave) {
    WriteDataFile(m_oDir, "<Tarvo version=\"1.2\"><TimeZones><Item5 name=\"a\" startTime=\"08:00\"/>"
                          "<Item5 name=\"b\" startTime=\"20:00\"/></TimeZones></Tarvo>");
    m_oDoc.Open();
    ASSERT_EQ(m_oDoc.TZs().Count(), 2);
    m_oDoc.SetTimeZone(1, QStringLiteral("B"), EncodeTime(21, 0, 0, 0), 1, 1);
    m_oDoc.Save();
    TTarvoDoc lBack;
    lBack.SetFileName(m_oDoc.FileName());
    lBack.Open();
    ExpectSameItems(m_oDoc, lBack);
}

TEST_F(ConfigDocFile, SaveFailuresLeaveTheDocumentModified) {
    TTarvoDoc lNoName;
    EXPECT_THROW(lNoName.Save(), EAssertionFailed);

    m_oDoc.SetFileName(m_oDir.FilePath(QStringLiteral("missing/Tarvo.xml")));
    m_oDoc.Open();
    m_oDoc.AddCard(Key("01"), QString(), QString(), 0);
    EXPECT_THROW(m_oDoc.Save(), Exception);
    EXPECT_TRUE(m_oDoc.Modifyed());
}

// One bad value stops the reading; the zones and cards after it were never loaded, and a save would
// delete them from the file. The save is refused until the operator agrees.
TEST_F(ConfigDocFile, AFileReadOnlyPartlyIsNotSavedOverWithoutConsent) {
    struct TCase {
        const char* m_sName;
        const char* m_sBadZone;
        const char* m_sStartDay;
        int m_nZonesRead;
    };
    const TCase lCases[] = {
        {"hour above 23", "<Item2 name=\"b\" startTime=\"25:00\"/>", "06:00", 1},
        {"minute above 59 at the start of day", "<Item2 name=\"b\" startTime=\"10:00\"/>", "12:60", 0},
        {"a sign without digits", "<Item2 name=\"b\" startTime=\"-:30\"/>", "06:00", 1},
    };
    for (const TCase& c : lCases) {
        SCOPED_TRACE(c.m_sName);
        const QByteArray lText =
            QStringLiteral("<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
                           "<Tarvo version=\"1.2\"><Main><StartDayTime>%1</StartDayTime></Main>"
                           "<TimeZones><Item1 name=\"a\" startTime=\"08:00\"/>%2"
                           "<Item3 name=\"c\" startTime=\"20:00\"/></TimeZones>"
                           "<Cards><Item1 number=\"01\"/><Item2 number=\"02\"/></Cards></Tarvo>")
                .arg(QLatin1String(c.m_sStartDay), QLatin1String(c.m_sBadZone))
                .toUtf8();
        const QString lPath = m_oDir.WriteFile(QStringLiteral("Tarvo.xml"), lText);
        m_nChanges = 0;
        EXPECT_THROW(m_oDoc.Open(), EConvertError);
        EXPECT_EQ(m_nChanges, 1) << "the views still hear of what was read";
        EXPECT_TRUE(m_oDoc.LoadFailed());
        EXPECT_FALSE(m_oDoc.LoadError().isEmpty());
        EXPECT_EQ(m_oDoc.TZs().Count(), c.m_nZonesRead);
        EXPECT_EQ(m_oDoc.Cards().Count(), 0);

        m_oDoc.AddTimeZone(QStringLiteral("new"), EncodeTime(12, 0, 0, 0), 1, 1);
        try {
            m_oDoc.Save();
            ADD_FAILURE() << "saved over a file that was read only partly";
        } catch (const EDataFileIncomplete& E) {
            EXPECT_TRUE(E.Message().contains(QLatin1String("could not be read completely"))) << E.what();
            EXPECT_TRUE(E.Message().contains(QLatin1String("delete"))) << E.what();
        }
        EXPECT_EQ(ReadBytes(lPath), lText);
        EXPECT_TRUE(m_oDoc.Modifyed());

        // With the operator's consent the document as it is goes to the file, and the refusal ends.
        m_oDoc.Save(true);
        EXPECT_FALSE(m_oDoc.LoadFailed());
        EXPECT_FALSE(m_oDoc.Modifyed());
        TTarvoDoc lBack;
        lBack.SetFileName(lPath);
        lBack.Open();
        ExpectSameItems(m_oDoc, lBack);
    }

    // A repaired file opens completely again.
    m_oDoc.SetFileName(m_oDir.WriteFile(QStringLiteral("bad.xml"),
                                        "<Tarvo version=\"1.2\"><Main><StartDayTime>"
                                        "24:00</StartDayTime></Main></Tarvo>"));
    EXPECT_THROW(m_oDoc.Open(), EConvertError);
    m_oDir.WriteFile(QStringLiteral("bad.xml"), "<Tarvo version=\"1.2\"/>");
    m_oDoc.Open();
    EXPECT_FALSE(m_oDoc.LoadFailed());
}

} // namespace
