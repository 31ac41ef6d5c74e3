// tarvoctl vi against vmssim, both as their own processes: the desk's video-server settings from
// Tarvo.xml, the options that replace them, frames saved to files, failures as one line and exit 1.

#include "tests/e2e/E2eSupport.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QImage>
#include <QTimeZone>

#include <gtest/gtest.h>

using namespace E2e;

namespace {

std::string DataFile(int APort) {
    const std::string lMd5 =
        QCryptographicHash::hash("pw", QCryptographicHash::Md5).toHex().toUpper().toStdString();
    return "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Tarvo version=\"1.2\">\r\n"
           "<Camera source=\"1\"><VI server=\"http://127.0.0.1:" +
           std::to_string(APort) + "\" login=\"admin\" passwmd5=\"" + lMd5 +
           "\" camera=\"Cam 2 Id\" cameraTitle=\"Kassa\" timeOffs=\"5\" reqTimeOut=\"5000\"/></Camera>\r\n"
           "<TimeZones><Item1 name=\"All day\" startTime=\"00:00\" baseCost=\"2\" "
           "minCost=\"1\"/></TimeZones>\r\n"
           "</Tarvo>\r\n";
}

class TarvoCtlVi : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FileExists(BinPath("tarvoctl")));
        ASSERT_TRUE(FileExists(BinPath("vmssim")));
        m_oWorld.SetEnv("TARVO_CODEPAGE", "CP1252");
        m_oSim = std::make_unique<TProgram>(m_oWorld, "vmssim",
                                            std::vector<std::string>{"--cameras", "3", "--password", "pw"});
        ASSERT_TRUE(m_oSim->WaitForOutput("\n", true)) << m_oSim->Err();
        const std::string lFirst = m_oSim->Out().substr(0, m_oSim->Out().find('\n'));
        ASSERT_EQ(lFirst.rfind("port ", 0), 0u) << lFirst;
        m_nPort = std::stoi(lFirst.substr(5));
        WriteFile(m_oWorld.DataPath("Tarvo.xml"), DataFile(m_nPort));
    }
    // SIGTERM reaches the simulator through its `timeout` wrapper (a SIGKILL would stop the wrapper only).
    void TearDown() override {
        if (m_oSim)
            m_oSim->Terminate();
    }
    TRunResult Ctl(const std::vector<std::string>& AArgs,
                   const std::map<std::string, std::string>& AEnv = {}) {
        TProgram lCtl(m_oWorld, "tarvoctl", AArgs, AEnv);
        TRunResult lResult;
        if (lCtl.Wait())
            lResult.nStatus = lCtl.ExitStatus();
        lResult.sOut = lCtl.Out();
        lResult.sErr = lCtl.Err();
        return lResult;
    }
    std::string Out(const char* AName) const { return m_oWorld.Root() + "/" + AName; }

    TWorld m_oWorld;
    std::unique_ptr<TProgram> m_oSim;
    int m_nPort = 0;
};

} // namespace

TEST_F(TarvoCtlVi, CamerasLiveAndArchiveFromTheDeskSettings) {
    TRunResult r = Ctl({"vi", "cameras"});
    ASSERT_EQ(r.nStatus, 0) << r.sErr;
    EXPECT_EQ(r.sOut, "Cam 1 Id\tEntrance door 1\nCam 2 Id\tKassa Käyttö 2\nCam 3 Id\tTerrasse Süd 3\n");

    r = Ctl({"vi", "live", Out("live.jpg")});
    ASSERT_EQ(r.nStatus, 0) << r.sErr;
    EXPECT_EQ(QImage(QString::fromStdString(Out("live.jpg"))).size(), QSize(320, 240));
    EXPECT_NE(m_oSim->Out().find("GET /live-video-frame.dyn query=device={Cam+2+Id}"), std::string::npos);

    // At UTC+3 the local 12:00:00 plus the desk's 5 seconds of offset is 09:00:05 UTC.
    r = Ctl({"vi", "archive", "2026-12-10 12:00:00", Out("arch.png"), "--camera", "Cam 1 Id"},
            {{"TZ", "Etc/GMT-3"}});
    ASSERT_EQ(r.nStatus, 0) << r.sErr;
    EXPECT_FALSE(QImage(QString::fromStdString(Out("arch.png"))).isNull());
    const qint64 lMs = QDateTime(QDate(2026, 12, 10), QTime(9, 0, 5), QTimeZone::utc()).toMSecsSinceEpoch();
    EXPECT_NE(
        m_oSim->Out().find("GET /archive-video-frame.dyn query=device={Cam+1+Id}&ts=" + std::to_string(lMs) +
                           "&time=" + std::to_string(lMs) + "&still=yes&res=Original"),
        std::string::npos)
        << m_oSim->Out();
}

TEST_F(TarvoCtlVi, FailuresAndUsage) {
    TRunResult r = Ctl({"vi", "cameras", "--password", "wrong"});
    EXPECT_EQ(r.nStatus, 1);
    EXPECT_EQ(r.sErr, "tarvoctl: Authorization Error (check username and password)\n");

    r = Ctl({"vi", "live", Out("x.jpg"), "--camera", "No such"});
    EXPECT_EQ(r.nStatus, 1);
    EXPECT_EQ(r.sErr, "tarvoctl: Http error #404.\n");
    EXPECT_FALSE(FileExists(Out("x.jpg")));

    ASSERT_TRUE(m_oSim->Terminate()); // nobody listens any more
    r = Ctl({"vi", "live", Out("x.jpg")});
    EXPECT_EQ(r.nStatus, 1);
    EXPECT_EQ(r.sErr, "tarvoctl: The server is not responding.\n");

    for (const std::vector<std::string>& lArgs : {std::vector<std::string>{"vi"},
                                                  {"vi", "live"},
                                                  {"vi", "live", Out("x.gif")},
                                                  {"vi", "archive", "yesterday", Out("x.jpg")},
                                                  {"vi", "cameras", "--server"},
                                                  {"vi", "snap"}}) {
        r = Ctl(lArgs);
        EXPECT_EQ(r.nStatus, 2) << lArgs.back();
        EXPECT_EQ(r.sErr.rfind("tarvoctl: ", 0), 0u) << r.sErr;
    }
    r = Ctl({"vi", "--help"});
    EXPECT_EQ(r.nStatus, 0);
    EXPECT_NE(r.sOut.find("tarvoctl vi archive"), std::string::npos);
}
