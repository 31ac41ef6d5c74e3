// The front desk's part of "Tarvo.xml": layout of a save, round trip of every setting, older and newer
// versions, text forms, locale floats and the errors that stop the reading.

#include "frontdesk/uTarvoDoc.h"

#include "base/uClock.h"
#include "base/uLocale.h"
#include "base/uMemXml.h"

#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>

using namespace Tarvo;

namespace {

// A function, not a constant: the date functions must not run before the base's statics exist.
TDateTime Now20240310() {
    return EncodeDate(2024, 3, 10) + EncodeTime(14, 30, 5, 0);
}

// Lines joined with CR LF, as the store writes them; the data file starts with the UTF-8 mark.
QByteArray Lines(const QStringList& ALines) {
    return (ALines.join(QStringLiteral("\r\n")) + "\r\n").toUtf8();
}

std::unique_ptr<TMemXml> XmlOf(const QString& ABody, const QString& AVersion = QStringLiteral("1.2")) {
    auto lXml = std::make_unique<TMemXml>(QString(), TXmlEncoding::Utf8);
    lXml->SetText(
        QStringLiteral(
            "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Tarvo version=\"%1\">\r\n%2</Tarvo>\r\n")
            .arg(AVersion, ABody));
    return lXml;
}

class TTarvoDocFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_oDir.isValid());
        SetNowFunc(Now20240310);
        SetDecimalSeparator(QLatin1Char('.'));
        SetSystemLangId(1033);
    }
    void TearDown() override {
        SetNowFunc({});
        ResetLocaleOverrides();
    }

    QString FilePath() const { return m_oDir.filePath(QStringLiteral("Tarvo.xml")); }
    void WriteRaw(const QByteArray& ABytes) {
        QFile lFile(FilePath());
        ASSERT_TRUE(lFile.open(QIODevice::WriteOnly));
        lFile.write(ABytes);
    }
    void WriteDataFile(const QString& ABody, const QString& AVersion = QStringLiteral("1.2")) {
        WriteRaw("\xEF\xBB\xBF" + XmlOf(ABody, AVersion)->GetText().toUtf8());
    }
    QByteArray ReadRaw() const {
        QFile lFile(FilePath());
        return lFile.open(QIODevice::ReadOnly) ? lFile.readAll() : QByteArray();
    }
    std::unique_ptr<TTarvoDoc> OpenDoc() {
        auto lDoc = std::make_unique<TTarvoDoc>();
        lDoc->SetFileName(FilePath());
        lDoc->SetLangDir(m_oDir.filePath(QStringLiteral("Languages")));
        lDoc->Open();
        return lDoc;
    }

    QTemporaryDir m_oDir;
};

} // namespace

// A file only the configuration program wrote: the front desk's first save appends its sections after
// Cards and keeps everything of the other program byte for byte, a card it could not read included.
TEST_F(TTarvoDocFileTest, FirstSaveAppendsFrontDeskSectionsAndKeepsTheRest) {
    const QStringList lHead = {
        "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>",
        "<Tarvo version=\"1.2\">",
        "\t<Main language=\"0419\" keyView=\"1\" keyEditFormatId=\"2\">",
        "\t\t<StartDayTime>06:00</StartDayTime>",
    };
    const QStringList lZonesAndCards = {
        "\t<TimeZones>",
        "\t\t<Item2 name=\"Night &amp; day\" startTime=\"22:00\" baseCost=\"0.5\" minCost=\"0.25\"/>",
        "\t\t<Item1 name=\"Day\" startTime=\"08:00\" baseCost=\"2\" minCost=\"1\"/>",
        "\t</TimeZones>",
        "\t<Cards RdMode=\"1\">",
        "\t\t<Item5 number=\"00AB12\" name=\"Ann\" level=\"3\">",
        "\t\t\t<Commant>vip</Commant>",
        "\t\t</Item5>",
        "\t\t<Item6 number=\"XYZ\" level=\"1\">",
        "\t\t\t<Commant/>",
        "\t\t</Item6>",
        "\t</Cards>",
    };
    WriteRaw(Lines(lHead +
                   QStringList{"\t</Main>", "\t<Reader sn=\"1234\" port=\"COM3\">",
                               "\t\t<Korvel wiegand=\"True\"/>", "\t</Reader>"} +
                   lZonesAndCards + QStringList{"</Tarvo>"}));

    auto lDoc = OpenDoc();
    EXPECT_EQ(lDoc->Cards().Count(), 1);
    EXPECT_EQ(lDoc->MaxLevel(), 3);
    lDoc->Save();

    QStringList lOutputs;
    for (const char* lName : {"LedG", "LedR", "Beep", "Power"})
        lOutputs
            << QStringLiteral("<%1 active=\"False\" initON=\"False\" time=\"0\"/>").arg(QLatin1String(lName));
    const QStringList lExpected =
        lHead +
        QStringList{
            "\t\t<Log fileFormat=\"0, txt\" filePeriod=\"0, day\"/>",
            "\t\t<NDS>0</NDS>",
            "\t\t<Tariffication>2</Tariffication>",
            "\t\t<Entrance>0</Entrance>",
            "\t\t<MinAmount>0</MinAmount>",
            "\t\t<AccPrice>0</AccPrice>",
            "\t\t<OverdueCost>0</OverdueCost>",
            "\t\t<DayCost>0</DayCost>",
            "\t\t<RecentBooking active=\"False\" from=\"00:00:00\" to=\"00:00:00\" allDay=\"False\"/>",
            "\t\t<AutoPrintRep>False</AutoPrintRep>",
            "\t\t<Printer/>",
            "\t</Main>",
            "\t<Reader sn=\"1234\" port=\"COM3\" cardRegInterval=\"0\">",
            "\t\t<Korvel wiegand=\"True\">",
            "\t\t\t" + lOutputs[0],
            "\t\t\t" + lOutputs[1],
            "\t\t\t" + lOutputs[2],
            "\t\t\t" + lOutputs[3],
            "\t\t\t<Exit>",
            "\t\t\t\t" + lOutputs[0],
            "\t\t\t\t" + lOutputs[1],
            "\t\t\t\t" + lOutputs[2],
            "\t\t\t\t" + lOutputs[3],
            "\t\t\t</Exit>",
            "\t\t</Korvel>",
            "\t</Reader>",
        } +
        lZonesAndCards +
        QStringList{
            "\t<Popup fontName=\"Calibri\" fontSize=\"20\" max=\"10\" timeOut=\"7\"/>",
            "\t<Receipt wndPos=\"[0,0,0,0]\"/>",
            "\t<Camera source=\"0\">",
            "\t\t<ArchPhoto scale=\"100\" wndPos=\"[0,0,0,0]\"/>",
            "\t\t<WebCam mode=\"-1\" numShots=\"3\"/>",
            "\t\t<KeepPhotos days=\"0\"/>",
            "\t\t<VI server=\"http://127.0.0.1:80\" timeOffs=\"0\" stepViewing=\"100\" "
            "reqTimeOut=\"30000\"/>",
            "\t</Camera>",
            "</Tarvo>",
        };
    EXPECT_TRUE(ReadRaw().startsWith("\xEF\xBB\xBF<?xml "));
    EXPECT_EQ(QString::fromUtf8(ReadRaw()), QString::fromUtf8(Lines(lExpected)));
}

TEST_F(TTarvoDocFileTest, EverySettingSurvivesSaveAndOpen) {
    // What only the configuration program or the business day sets comes from the file.
    WriteDataFile("<Main keyView=\"1\"><StartDayTime>06:30</StartDayTime>"
                  "<RecentBooking active=\"True\" from=\"10:15:00\" to=\"12:45:30\" allDay=\"True\"/></Main>"
                  "<Reader sn=\"777\"/>");
    auto lDoc = OpenDoc();
    TKorvelOutputs lEntry, lExit;
    lEntry.m_nKorvelOutputs = 0x3;
    lEntry.m_nKorvelInit = 0x1;
    lEntry.m_aKorvelTimes = {500, 1000, 0, 4000000000u};
    lExit.m_nKorvelOutputs = 0xC;
    lExit.m_nKorvelInit = 0x8;
    lExit.m_aKorvelTimes = {1, 2, 3, 4};
    lDoc->SetLanguage(0x419);
    lDoc->SetLogFileFormat(1);
    lDoc->SetLogFilePeriod(2);
    lDoc->SetTariffication(TARIF_HOUR);
    lDoc->SetEntrance(12.5);
    lDoc->SetMinAmount(100.25);
    lDoc->SetAccPrice(-2);
    lDoc->SetOverdueCost(3.75);
    lDoc->SetDayCost(1500);
    lDoc->SetAutoPrintRep(true);
    lDoc->SetPrinter(QStringLiteral("Эпсон \"A&B\" <1>"));
    lDoc->SetReaderPort(QStringLiteral("/dev/ttyUSB0"));
    lDoc->SetCardRegMin(2500);
    lDoc->SetKorvelOutputs({lEntry, lExit});
    lDoc->SetKorvelWiegand(true);
    lDoc->SetPopupFontName(QStringLiteral("DejaVu Sans"));
    lDoc->SetPopupFontSize(14);
    lDoc->SetPopupMax(3);
    lDoc->SetPopupTimeOut(12);
    lDoc->SetRcptWinPos({100, 120, 640, 480});
    lDoc->SetNDS(18);
    lDoc->SetCamSource(2);
    lDoc->SetArchScale(75);
    lDoc->SetArchWinPos({-5, 10, 800, 600});
    lDoc->SetWebCamera(QStringLiteral("HD Webcam C270"));
    lDoc->SetWebcamMode(4);
    lDoc->SetWebcamNumShots(5);
    lDoc->SetWebcamInterval(250);
    lDoc->SetVIServer(QStringLiteral("http://vi.local:8080"));
    lDoc->SetVILogin(QStringLiteral("desk"));
    lDoc->SetVIPasswMd5(QStringLiteral("0cc175b9c0f1b6a831c399e269772661"));
    lDoc->SetVICamera(QStringLiteral("cam-7"));
    lDoc->SetVICameraTitle(QStringLiteral("Entrance"));
    lDoc->SetVITimeOffs(-3600);
    lDoc->SetVIStepViewing(250);
    lDoc->SetVIReqTimeOut(4000000000u);
    lDoc->Save();

    auto lRead = OpenDoc();
    EXPECT_EQ(lRead->Language(), 0x419u);
    EXPECT_EQ(lRead->LogFileFormat(), 1);
    EXPECT_EQ(lRead->LogFilePeriod(), 2);
    EXPECT_EQ(lRead->Tariffication(), TARIF_HOUR);
    EXPECT_EQ(lRead->Entrance(), 12.5L);
    EXPECT_EQ(lRead->MinAmount(), 100.25L);
    EXPECT_EQ(lRead->AccPrice(), -2);
    EXPECT_EQ(lRead->OverdueCost(), 3.75L);
    EXPECT_EQ(lRead->DayCost(), 1500);
    EXPECT_TRUE(lRead->AutoPrintRep());
    EXPECT_EQ(lRead->Printer(), lDoc->Printer());
    EXPECT_EQ(lRead->ReaderSn(), 777);
    EXPECT_EQ(lRead->ReaderPort(), QStringLiteral("/dev/ttyUSB0"));
    EXPECT_EQ(lRead->CardRegMin(), 2500u);
    EXPECT_EQ(lRead->GetKorvelOutput(0), lEntry);
    EXPECT_EQ(lRead->GetKorvelOutput(1), lExit);
    EXPECT_TRUE(lRead->KorvelWiegand());
    EXPECT_EQ(lRead->PopupFontName(), QStringLiteral("DejaVu Sans"));
    EXPECT_EQ(lRead->PopupFontSize(), 14);
    EXPECT_EQ(lRead->PopupMax(), 3);
    EXPECT_EQ(lRead->PopupTimeOut(), 12u);
    EXPECT_EQ(lRead->RcptWinPos(), (TRect{100, 120, 640, 480}));
    EXPECT_EQ(lRead->NDS(), 18);
    EXPECT_EQ(lRead->CamSource(), 2);
    EXPECT_EQ(lRead->ArchScale(), 75);
    EXPECT_EQ(lRead->ArchWinPos(), (TRect{-5, 10, 800, 600}));
    EXPECT_EQ(lRead->WebCamera(), QStringLiteral("HD Webcam C270"));
    EXPECT_EQ(lRead->WebcamMode(), 4);
    EXPECT_EQ(lRead->WebcamNumShots(), 5);
    EXPECT_EQ(lRead->WebcamInterval(), 500u); // never stored
    EXPECT_EQ(lRead->VIServer(), QStringLiteral("http://vi.local:8080"));
    EXPECT_EQ(lRead->VILogin(), QStringLiteral("desk"));
    EXPECT_EQ(lRead->VIPasswMd5(), QStringLiteral("0cc175b9c0f1b6a831c399e269772661"));
    EXPECT_EQ(lRead->VICamera(), QStringLiteral("cam-7"));
    EXPECT_EQ(lRead->VICameraTitle(), QStringLiteral("Entrance"));
    EXPECT_EQ(lRead->VITimeOffs(), -3600);
    EXPECT_EQ(lRead->VIStepViewing(), 250);
    EXPECT_EQ(lRead->VIReqTimeOut(), 4000000000u);
    EXPECT_EQ(lRead->KeyView(), 1);
    EXPECT_EQ(lRead->StartDay(), EncodeTime(6, 30, 0, 0));
    EXPECT_TRUE(lRead->RecentBookingActive());
    TDateTime lFrom = 0, lTo = 0;
    bool lAllDay = false;
    lRead->GetRecentBooking(lFrom, lTo, lAllDay);
    EXPECT_EQ(lFrom, EncodeTime(10, 15, 0, 0));
    EXPECT_EQ(lTo, EncodeTime(12, 45, 30, 0));
    EXPECT_TRUE(lAllDay);
    EXPECT_FALSE(lRead->Modifyed());
}

TEST_F(TTarvoDocFileTest, ItemsReadFromTheTree) {
    struct TCase {
        const char* m_sName;
        QString m_sBody;
        QString m_sVersion;
        std::function<void(const TTarvoDoc&)> m_fnCheck;
    };
    const QString v12 = QStringLiteral("1.2");
    const TCase cCases[] = {
        {"tariff 0 keeps minute", "<Main><Tariffication>0</Tariffication></Main>", v12,
         [](const TTarvoDoc& D) { EXPECT_EQ(D.Tariffication(), TARIF_MINUTE); }},
        {"tariff 4 keeps minute", "<Main><Tariffication>4</Tariffication></Main>", v12,
         [](const TTarvoDoc& D) { EXPECT_EQ(D.Tariffication(), TARIF_MINUTE); }},
        {"tariff 1 is second", "<Main><Tariffication>1</Tariffication></Main>", v12,
         [](const TTarvoDoc& D) { EXPECT_EQ(D.Tariffication(), TARIF_SECOND); }},
        {"tariff 3 is hour", "<Main><Tariffication>3</Tariffication></Main>", v12,
         [](const TTarvoDoc& D) { EXPECT_EQ(D.Tariffication(), TARIF_HOUR); }},
        {"language 0419", "<Main language=\"0419\"/>", v12,
         [](const TTarvoDoc& D) { EXPECT_EQ(D.Language(), 0x419u); }},
        {"language 7F", "<Main language=\"7F\"/>", v12,
         [](const TTarvoDoc& D) { EXPECT_EQ(D.Language(), 127u); }},
        {"language not hex", "<Main language=\"04x9\"/>", v12,
         [](const TTarvoDoc& D) { EXPECT_EQ(D.Language(), 127u); }},
        {"language without Main unchanged", "<Popup/>", v12,
         [](const TTarvoDoc& D) { EXPECT_EQ(D.Language(), 5u); }},
        {"log by index and name", "<Main><Log fileFormat=\"1, csv\" filePeriod=\"2, month\"/></Main>", v12,
         [](const TTarvoDoc& D) {
             EXPECT_EQ(D.LogFileFormat(), 1);
             EXPECT_EQ(D.LogFilePeriod(), 2);
         }},
        {"log by name", "<Main><Log fileFormat=\"csv\" filePeriod=\"Week\"/></Main>", v12,
         [](const TTarvoDoc& D) {
             EXPECT_EQ(D.LogFileFormat(), 1);
             EXPECT_EQ(D.LogFilePeriod(), 1);
         }},
        {"korvel outputs",
         "<Reader><Korvel wiegand=\"1\"><LedR active=\"True\" initON=\"yes\" time=\"250\"/>"
         "<Exit><Power active=\"1\" initON=\"true\" time=\"70\"/></Exit></Korvel></Reader>",
         v12,
         [](const TTarvoDoc& D) {
             EXPECT_EQ(D.GetKorvelOutput(0).m_nKorvelOutputs, 0x2u);
             EXPECT_EQ(D.GetKorvelOutput(0).m_nKorvelInit, 0u); // "yes" is no Boolean
             EXPECT_EQ(D.GetKorvelOutput(0).m_aKorvelTimes[1], 250u);
             EXPECT_EQ(D.GetKorvelOutput(1).m_nKorvelOutputs, 0x8u);
             EXPECT_EQ(D.GetKorvelOutput(1).m_nKorvelInit, 0x8u);
             EXPECT_EQ(D.GetKorvelOutput(1).m_aKorvelTimes[3], 70u);
             EXPECT_TRUE(D.KorvelWiegand());
         }},
        {"korvel ignored in 1.1",
         "<Reader><Korvel wiegand=\"True\"><LedG active=\"True\"/></Korvel></Reader>", "1.1",
         [](const TTarvoDoc& D) {
             EXPECT_EQ(D.GetKorvelOutput(0), TKorvelOutputs{});
             EXPECT_FALSE(D.KorvelWiegand());
         }},
        {"VI attributes replace even when missing", "<Camera><VI server=\"s\"/></Camera>", v12,
         [](const TTarvoDoc& D) {
             EXPECT_EQ(D.VIServer(), QStringLiteral("s"));
             EXPECT_EQ(D.VILogin(), QString());
         }},
        {"VI kept without VI element", "<Camera source=\"1\"/>", v12,
         [](const TTarvoDoc& D) { EXPECT_EQ(D.VILogin(), QStringLiteral("old")); }},
        {"max level from cards",
         "<Cards><Item1 number=\"0A\" level=\"4\"/><Item2 number=\"0B\" level=\"7\"/></Cards>", v12,
         [](const TTarvoDoc& D) { EXPECT_EQ(D.MaxLevel(), 7); }},
        {"max level 0 for empty cards", "<Cards/>", v12,
         [](const TTarvoDoc& D) { EXPECT_EQ(D.MaxLevel(), 0); }},
        {"max level kept without cards", "<Main/>", v12,
         [](const TTarvoDoc& D) { EXPECT_EQ(D.MaxLevel(), 10); }},
        {"zones sorted by start",
         "<TimeZones><Item3 startTime=\"20:00\"/><Item1 startTime=\"08:00\"/><Item0 startTime=\"01:00\"/>"
         "<Itemx startTime=\"02:00\"/></TimeZones>",
         v12,
         [](const TTarvoDoc& D) {
             ASSERT_EQ(D.TZs().Count(), 2);
             EXPECT_EQ(D.TZs().GetZone(0)->m_nId, 1);
             EXPECT_EQ(D.TZs().GetZone(1)->m_nId, 3);
         }},
        {"booking times", "<Main><RecentBooking from=\"10:15:00\" to=\"25:00:00\" allDay=\"maybe\"/></Main>",
         v12,
         [](const TTarvoDoc& D) {
             TDateTime lFrom = 0, lTo = 0;
             bool lAllDay = true;
             D.GetRecentBooking(lFrom, lTo, lAllDay);
             EXPECT_EQ(lFrom, EncodeTime(10, 15, 0, 0));
             EXPECT_EQ(lTo, EncodeDate(2024, 3, 10)); // invalid: today 00:00 stays
             EXPECT_FALSE(lAllDay);
         }},
        {"partial rectangle", "<Receipt wndPos=\"[10,20]\"/>", v12,
         [](const TTarvoDoc& D) {
             EXPECT_EQ(D.RcptWinPos(), (TRect{10, 20, 0, 0}));
         }},
        {"numbers with junk keep their defaults",
         "<Camera source=\"2x\"><WebCam mode=\"\" numShots=\"1.5\"/></Camera><Popup fontSize=\"12 \"/>", v12,
         [](const TTarvoDoc& D) {
             EXPECT_EQ(D.CamSource(), 0);
             EXPECT_EQ(D.WebcamMode(), -1);
             EXPECT_EQ(D.WebcamNumShots(), 3);
             EXPECT_EQ(D.PopupFontSize(), 0);
         }},
        {"major version 2 reads nothing", "<Popup fontName=\"Arial\"/><Main language=\"0419\"/>", "2.0",
         [](const TTarvoDoc& D) {
             EXPECT_EQ(D.PopupFontName(), QString());
             EXPECT_EQ(D.Language(), 5u);
         }},
    };
    for (const TCase& lCase : cCases) {
        SCOPED_TRACE(lCase.m_sName);
        TTarvoDoc lDoc;
        lDoc.SetLanguage(5);
        lDoc.SetVILogin(QStringLiteral("old"));
        auto lXml = XmlOf(lCase.m_sBody, lCase.m_sVersion);
        lDoc.LoadFromXml(*lXml);
        EXPECT_FALSE(lDoc.LoadFailed());
        lCase.m_fnCheck(lDoc);
    }
}

// A bad value stops the reading at once: the error reaches the caller, what came before stays, the zones
// read so far are sorted.
TEST_F(TTarvoDocFileTest, ReadingStopsAtTheFirstBadValue) {
    struct TCase {
        const char* m_sName;
        QString m_sBody;
        std::function<void(const TTarvoDoc&)> m_fnCheck;
    };
    const TCase cCases[] = {
        {"start of day hour 24",
         "<Main language=\"0419\"><StartDayTime>24:00</StartDayTime><NDS>18</NDS></Main><Popup "
         "fontName=\"A\"/>",
         [](const TTarvoDoc& D) {
             EXPECT_EQ(D.Language(), 0x419u);
             EXPECT_EQ(D.NDS(), 0);
             EXPECT_EQ(D.PopupFontName(), QString());
         }},
        {"zone minute 60",
         "<TimeZones><Item1 startTime=\"10:00\"/><Item2 startTime=\"08:00\"/><Item3 startTime=\"09:60\"/>"
         "<Item4 startTime=\"07:00\"/></TimeZones><Cards><Item1 number=\"0A\"/></Cards>",
         [](const TTarvoDoc& D) {
             ASSERT_EQ(D.TZs().Count(), 2);
             EXPECT_EQ(D.TZs().GetZone(0)->m_nId, 2);
             EXPECT_EQ(D.TZs().GetZone(1)->m_nId, 1);
             EXPECT_EQ(D.Cards().Count(), 0);
         }},
        {"sign without digits in a rectangle", "<Popup fontName=\"Arial\"/><Receipt wndPos=\"[+,1,2,3]\"/>",
         [](const TTarvoDoc& D) { EXPECT_EQ(D.PopupFontName(), QStringLiteral("Arial")); }},
        {"sign without digits in a booking time",
         "<Main><NDS>18</NDS><RecentBooking from=\"-:00:00\"/><AutoPrintRep>True</AutoPrintRep></Main>",
         [](const TTarvoDoc& D) {
             EXPECT_EQ(D.NDS(), 18);
             EXPECT_FALSE(D.AutoPrintRep());
         }},
    };
    for (const TCase& lCase : cCases) {
        SCOPED_TRACE(lCase.m_sName);
        TTarvoDoc lDoc;
        auto lXml = XmlOf(lCase.m_sBody);
        EXPECT_THROW(lDoc.LoadFromXml(*lXml), EConvertError);
        EXPECT_TRUE(lDoc.LoadFailed());
        lCase.m_fnCheck(lDoc);
    }
}

// Version 1.1 kept the video server below the root and the webcam name on Camera. The save writes the
// current layout and leaves the old items where they were.
TEST_F(TTarvoDocFileTest, Version11IsReadAndSavedInTheCurrentLayout) {
    WriteDataFile(
        "\t<VI server=\"http://old:81\" login=\"ann\" passwmd5=\"ff\" camera=\"c7\" cameraTitle=\"Hall\" "
        "timeOffs=\"5\" stepViewing=\"200\" reqTimeOut=\"10\"/>\r\n"
        "\t<Camera webcam=\"Old cam\"/>\r\n",
        QStringLiteral("1.1"));
    auto lDoc = OpenDoc();
    EXPECT_EQ(lDoc->VIServer(), QStringLiteral("http://old:81"));
    EXPECT_EQ(lDoc->VILogin(), QStringLiteral("ann"));
    EXPECT_EQ(lDoc->VIPasswMd5(), QStringLiteral("ff"));
    EXPECT_EQ(lDoc->VICamera(), QStringLiteral("c7"));
    EXPECT_EQ(lDoc->VICameraTitle(), QStringLiteral("Hall"));
    EXPECT_EQ(lDoc->VITimeOffs(), 5);
    EXPECT_EQ(lDoc->VIStepViewing(), 200);
    EXPECT_EQ(lDoc->VIReqTimeOut(), 30000u); // version 1.1 had none
    EXPECT_EQ(lDoc->WebCamera(), QStringLiteral("Old cam"));
    lDoc->Save();

    TMemXml lXml(FilePath(), TXmlEncoding::Utf8);
    TMXNode* lRoot = lXml.RootNode().ChildNodes().GetNodeByName(QStringLiteral("Tarvo"));
    ASSERT_NE(lRoot, nullptr);
    EXPECT_EQ(lRoot->GetNodeAttr(QStringLiteral("version")), QStringLiteral("1.2"));
    TMXNode* lOldVI = lRoot->ChildNodes().GetNodeByName(QStringLiteral("VI"));
    ASSERT_NE(lOldVI, nullptr);
    EXPECT_EQ(lOldVI->GetNodeAttr(QStringLiteral("server")), QStringLiteral("http://old:81"));
    TMXNode* lCamera = lRoot->ChildNodes().GetNodeByName(QStringLiteral("Camera"));
    ASSERT_NE(lCamera, nullptr);
    EXPECT_EQ(lCamera->GetNodeAttr(QStringLiteral("webcam")), QStringLiteral("Old cam"));
    EXPECT_EQ(lCamera->ChildNodes()
                  .FindNode(QStringLiteral("WebCam"), false)
                  ->GetNodeAttr(QStringLiteral("camera")),
              QStringLiteral("Old cam"));

    auto lRead = OpenDoc(); // now read in the current layout
    EXPECT_EQ(lRead->VIServer(), QStringLiteral("http://old:81"));
    EXPECT_EQ(lRead->VICameraTitle(), QStringLiteral("Hall"));
    EXPECT_EQ(lRead->WebCamera(), QStringLiteral("Old cam"));
}

TEST_F(TTarvoDocFileTest, AnotherMajorVersionIsEmptiedOnSave) {
    WriteDataFile("\t<Popup fontName=\"Arial\"/>\r\n\t<TimeZones>\r\n\t\t<Item1 startTime=\"08:00\"/>\r\n"
                  "\t</TimeZones>\r\n\t<Future/>\r\n",
                  QStringLiteral("2.0"));
    auto lDoc = OpenDoc();
    EXPECT_EQ(lDoc->PopupFontName(), QStringLiteral("Calibri"));
    EXPECT_EQ(lDoc->TZs().Count(), 0);
    lDoc->Save();

    TMemXml lXml(FilePath(), TXmlEncoding::Utf8);
    TMXNode* lRoot = lXml.RootNode().ChildNodes().GetNodeByName(QStringLiteral("Tarvo"));
    ASSERT_NE(lRoot, nullptr);
    EXPECT_EQ(lRoot->GetNodeAttr(QStringLiteral("version")), QStringLiteral("1.2"));
    QStringList lNames;
    for (int i = 0; i < lRoot->ChildNodes().Count(); ++i)
        lNames << lRoot->ChildNodes().Get(i);
    EXPECT_EQ(lNames, (QStringList{"Main", "Reader", "Popup", "Receipt", "Camera"}));
}

// Locale floats carry the user's decimal separator; zone costs are written with a point and read under
// any locale.
TEST_F(TTarvoDocFileTest, LocaleFloatsDependOnTheSeparatorZoneCostsDoNot) {
    WriteDataFile("\t<TimeZones>\r\n\t\t<Item1 startTime=\"08:00\" baseCost=\"0.5\" minCost=\"0.25\"/>\r\n"
                  "\t</TimeZones>\r\n");
    SetDecimalSeparator(QLatin1Char(','));
    {
        auto lDoc = OpenDoc();
        EXPECT_EQ(lDoc->TZs().GetZone(0)->m_nBaseCost, 0.5L);
        lDoc->SetNDS(0.5);
        lDoc->SetEntrance(12.5);
        lDoc->Save();
    }
    const QByteArray lFile = ReadRaw();
    EXPECT_TRUE(lFile.contains("<NDS>0,5</NDS>"));
    EXPECT_TRUE(lFile.contains("<Entrance>12,5</Entrance>"));
    EXPECT_TRUE(lFile.contains("baseCost=\"0.5\""));
    EXPECT_EQ(OpenDoc()->NDS(), 0.5L);

    SetDecimalSeparator(QLatin1Char('.'));
    auto lDoc = OpenDoc();
    EXPECT_EQ(lDoc->NDS(), 0); // "0,5" does not convert: the absent value
    EXPECT_EQ(lDoc->Entrance(), 0);
    EXPECT_EQ(lDoc->TZs().GetZone(0)->m_nBaseCost, 0.5L);
    EXPECT_EQ(lDoc->TZs().GetZone(0)->m_nMinCost, 0.25L);
}

TEST_F(TTarvoDocFileTest, EmptyValuesRemoveTheirAttributes) {
    WriteDataFile("\t<Camera>\r\n\t\t<VI server=\"s\" login=\"bob\" camera=\"c\"/>\r\n\t</Camera>\r\n"
                  "\t<Reader port=\"COM1\"/>\r\n");
    auto lDoc = OpenDoc();
    lDoc->SetVILogin(QString());
    lDoc->SetReaderPort(QString());
    lDoc->Save();
    const QString lText = QString::fromUtf8(ReadRaw());
    EXPECT_TRUE(lText.contains(QStringLiteral("<VI server=\"s\" camera=\"c\" timeOffs=\"0\"")));
    EXPECT_FALSE(lText.contains(QStringLiteral("login=")));
    EXPECT_TRUE(lText.contains(QStringLiteral("<Reader sn=\"0\" cardRegInterval=\"0\">")));
}

// A damaged file may hold children inside an element the front desk writes as text: the save replaces
// them rather than failing.
TEST_F(TTarvoDocFileTest, TextElementWithChildrenIsRewritten) {
    auto lXml = XmlOf("<Main><NDS><x/></NDS></Main>");
    TTarvoDoc lDoc;
    lDoc.LoadFromXml(*lXml);
    lDoc.SetNDS(7);
    lDoc.SaveToXml(*lXml);
    EXPECT_TRUE(lXml->GetText().contains(QStringLiteral("\t\t<NDS>7</NDS>\r\n")));
}

TEST_F(TTarvoDocFileTest, LogFileTextForms) {
    struct TCase {
        const char* m_sText;
        bool m_fOk;
        std::int32_t m_nFormat; // 9: kept
        std::int32_t m_nPeriod;
    } const cCases[] = {
        {"1, csv", true, 1, 1}, {"csv", true, 1, 9},     {"CSV", true, 1, 9},     {"7, txt", true, 0, 0},
        {"xml", false, 9, 9},   {", csv", false, 9, 9},  {"x, csv", false, 9, 9}, {"2, month", true, 0, 2},
        {"Month", true, 9, 2},  {"-1, day", true, 0, 0}, {"", false, 9, 9},
    };
    for (const TCase& lCase : cCases) {
        SCOPED_TRACE(lCase.m_sText);
        std::int32_t lFormat = 9, lPeriod = 9;
        const bool lFormatOk = StrToLogFileFormat(QString::fromUtf8(lCase.m_sText), lFormat);
        const bool lPeriodOk = StrToLogFilePeriod(QString::fromUtf8(lCase.m_sText), lPeriod);
        EXPECT_EQ(lFormatOk, lFormat != 9);
        EXPECT_EQ(lPeriodOk, lPeriod != 9);
        EXPECT_EQ(lFormatOk || lPeriodOk, lCase.m_fOk);
        EXPECT_EQ(lFormat, lCase.m_nFormat);
        EXPECT_EQ(lPeriod, lCase.m_nPeriod);
    }
    EXPECT_EQ(LogFileFormatToStr(0), QStringLiteral("0, txt"));
    EXPECT_EQ(LogFileFormatToStr(1), QStringLiteral("1, csv"));
    EXPECT_EQ(LogFilePeriodToStr(0), QStringLiteral("0, day"));
    EXPECT_EQ(LogFilePeriodToStr(1), QStringLiteral("1, week"));
    EXPECT_EQ(LogFilePeriodToStr(2), QStringLiteral("2, month"));
    // An index a caller set outside the names is written without one and reads back as 0.
    std::int32_t lBack = 9;
    EXPECT_TRUE(StrToLogFileFormat(LogFileFormatToStr(5), lBack));
    EXPECT_EQ(lBack, 0);
}

TEST_F(TTarvoDocFileTest, BookingTimeTextForm) {
    struct TCase {
        const char* m_sText;
        bool m_fOk;
        TTime m_tTime;
    } const cCases[] = {
        {"14:30:00", true, EncodeTime(14, 30, 0, 0)},
        {"23:59:59", true, EncodeTime(23, 59, 59, 0)},
        {"0:0:7", true, EncodeTime(0, 0, 7, 0)},
        {"24:00:00", false, 0},
        {"12:60:00", false, 0},
        {"12:30", false, 0},
        {"", false, 0},
    };
    for (const TCase& lCase : cCases) {
        SCOPED_TRACE(lCase.m_sText);
        TTime lTime = -1;
        EXPECT_EQ(XmlStrToTime(QString::fromUtf8(lCase.m_sText), lTime), lCase.m_fOk);
        EXPECT_EQ(lTime, lCase.m_fOk ? lCase.m_tTime : -1);
    }
    EXPECT_EQ(TimeToXmlStr(EncodeTime(8, 5, 9, 0)), QStringLiteral("08:05:09"));
    EXPECT_EQ(TimeToXmlStr(EncodeTime(23, 59, 59, 0)), QStringLiteral("23:59:59"));
}

TEST_F(TTarvoDocFileTest, MaskBits) {
    std::uint32_t lMask = 0;
    SetMaskBit(lMask, 3, true);
    SetMaskBit(lMask, 31, true);
    EXPECT_EQ(lMask, 0x80000008u);
    SetMaskBit(lMask, 3, false);
    SetMaskBit(lMask, 4, false);
    EXPECT_EQ(lMask, 0x80000000u);
    EXPECT_THROW(SetMaskBit(lMask, 32, true), EAssertionFailed);
}
