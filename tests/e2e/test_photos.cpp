// The real front desk with a fake webcam: cards presented with orvsim are photographed, each photo
// a JPEG of the camera mode's size in the owner-only archive folder, named for its event's moment.

#include "tests/common/FakeCam.h"
#include "tests/e2e/E2eSupport.h"

#include <QImage>
#include <QImageReader>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace E2e;

namespace {

const char* const cCamName = "Tarvo Test Camera";

// One zone all day, the reader on COM3, the webcam in mode 2 (320 x 240) with one shot per event.
std::string DataFile() {
    return "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
           "<Tarvo version=\"1.2\">\r\n"
           "<Main>\r\n<StartDayTime>06:00</StartDayTime>\r\n<Tariffication>2</Tariffication>\r\n</Main>\r\n"
           "<Reader sn=\"1001\" port=\"COM3\" cardRegInterval=\"0\"/>\r\n"
           "<TimeZones><Item1 name=\"All day\" startTime=\"00:00\" baseCost=\"2\" "
           "minCost=\"1\"/></TimeZones>\r\n"
           "<Cards>\r\n<Item1 number=\"0A0B0C\" name=\"Ann\" level=\"0\"/>\r\n"
           "<Item2 number=\"0D\" name=\"Bob\" level=\"10\"/>\r\n</Cards>\r\n"
           "<Popup max=\"5\" timeOut=\"2\"/>\r\n"
           "<Camera source=\"1\"><WebCam camera=\"" +
           std::string(cCamName) +
           "\" mode=\"2\" numShots=\"1\"/></Camera>\r\n"
           "</Tarvo>\r\n";
}

} // namespace

TEST(Photos, CardEventsArePhotographedUnderTheirMoments) {
    if (!TFakeCamEnv::PluginBuilt())
        GTEST_SKIP() << "the fake camera plugin is not built";
    ASSERT_TRUE(FileExists(BinPath("Tarvo"))) << BinPath("Tarvo");
    TFakeCamEnv lCams; // the environment of the programs started below
    ASSERT_TRUE(lCams.Plug(QStringLiteral("cam1"), QLatin1String(cCamName)));
    TWorld lWorld;
    lWorld.SetFakeTime("2026-03-02 10:00:00");
    WriteFile(lWorld.DataPath("Tarvo.xml"), DataFile());
    ASSERT_EQ(lWorld.Orvsim({"plug", "COM3", "--sn", "1001"}).nStatus, 0);

    TProgram lDesk(lWorld, "Tarvo");
    ASSERT_TRUE(WaitUntil([&] {
        return lWorld.Orvsim({"state", "COM3"}).sOut.rfind("open", 0) == 0;
    })) << lDesk.Err();
    const std::string lLog = lWorld.DataPath("Logs/L02032026.log");
    const std::string lPhoto = lWorld.DataPath("Photo/");
    // The camera is opened right after the reader; its first frames follow within a moment. A
    // warm-up event (Bob in and out at once) is photographed once they have come.
    ASSERT_TRUE(WaitUntil(
        [&] {
            std::filesystem::remove(lPhoto + "02032026-095900.0.jpg");
            lWorld.SetFakeTime("2026-03-02 09:59:00");
            lWorld.Orvsim({"present", "COM3", "0D"});
            return WaitForFile(lPhoto + "02032026-095900.0.jpg", std::chrono::milliseconds(500));
        },
        std::chrono::milliseconds(20000)))
        << lDesk.Err();

    struct TEvent {
        const char* m_sTime;
        const char* m_sKey;
        const char* m_sFile;
        const char* m_sLine;
    } const cEvents[] = {
        {"2026-03-02 10:00:00", "0A0B0C", "02032026-100000.0.jpg", "10:00:00 [in] Ann"},
        {"2026-03-02 10:05:00", "0D", "02032026-100500.0.jpg", "10:05:00 ["},
        {"2026-03-02 10:30:00", "0A0B0C", "02032026-103000.0.jpg", "10:30:00 [out] Ann"},
    };
    for (const TEvent& lEvent : cEvents) {
        lWorld.SetFakeTime(lEvent.m_sTime);
        TRunResult r = lWorld.Orvsim({"present", "COM3", lEvent.m_sKey});
        ASSERT_EQ(r.nStatus, 0) << r.sErr;
        ASSERT_TRUE(WaitForText(lLog, lEvent.m_sLine)) << lEvent.m_sLine << "\n" << lDesk.Err();
        // Saved whole or not at all: once the name is there, the file is complete.
        ASSERT_TRUE(WaitForFile(lPhoto + lEvent.m_sFile)) << lEvent.m_sFile << "\n" << lDesk.Err();
        QImageReader lReader(QString::fromStdString(lPhoto + lEvent.m_sFile), "jpeg");
        const QImage lImage = lReader.read();
        ASSERT_FALSE(lImage.isNull()) << lEvent.m_sFile << ": " << lReader.errorString().toStdString();
        EXPECT_EQ(lImage.width(), 320) << lEvent.m_sFile;
        EXPECT_EQ(lImage.height(), 240) << lEvent.m_sFile;
    }
    struct stat lStat {};
    ASSERT_EQ(::stat(lPhoto.c_str(), &lStat), 0);
    EXPECT_EQ(lStat.st_mode & 0777, 0700u);
    EXPECT_TRUE(lDesk.Terminate()) << lDesk.Err();
}
