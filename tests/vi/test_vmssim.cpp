// The client against the vmssim simulator: the session, the endpoints, superseding, BreakAll and the
// simulator's fault switches.
#include "tests/common/TestSupport.h"
#include "tests/vi/ViTestSupport.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QTimeZone>

#include <ctime>

using namespace ViTest;

namespace {

const QByteArray cPassword = "se cret";

class TVmsSimTest : public ::testing::Test {
protected:
    void SetUp() override { EnsureApp(); }

    // Starts a simulator and a client on it with the right password (or AWrongPassword).
    void Start(const QStringList& AExtraArgs = {}, bool AWrongPassword = false) {
        m_oSim = std::make_unique<TVmsSim>(
            QStringList{"--cameras", "3", "--user", "admin", "--password", QString::fromLatin1(cPassword)} +
            AExtraArgs);
        ASSERT_GT(m_oSim->Port(), 0) << "vmssim did not start: " << m_oSim->Errors();
        m_oVI.SetServer(m_oSim->Server());
        m_oVI.SetLogin(QStringLiteral("admin"));
        m_oVI.SetPasswMd5(Md5(AWrongPassword ? QByteArray("wrong") : cPassword));
        m_oDone.Attach(m_oVI);
        m_oVI.SetActive(true);
    }

    // Runs one request of AKind to its end; returns its status and error text.
    TVIStatus Run(TVICmdKind AKind, QString* VErr = nullptr) { return m_oDone.Run(m_oVI, AKind, VErr); }

    TLocaleOverride m_oLocale; // code page CP1252 for the client and the simulator it starts
    std::unique_ptr<TVmsSim> m_oSim;
    TVI m_oVI;
    TDoneCounter m_oDone;
};

} // namespace

// A session from its first request on: login suffix, 302 with WSID, the repeated request with the
// cookie, then requests without suffix; the device tree, a camera id with blanks, the archive moment.
TEST_F(TVmsSimTest, SessionCamerasLiveAndArchive) {
    TEnvOverride lTz("TZ", "Etc/GMT-3"); // UTC+3, no daylight saving
    tzset();
    ASSERT_NO_FATAL_FAILURE(Start());
    const QString lDigest = Md5(cPassword);
    ASSERT_EQ(lDigest.size(), 32);

    ASSERT_EQ(Run(viCameras), viSuccess);
    QStringList lTree = m_oSim->Requests(QStringLiteral("/api-json.dyn"));
    ASSERT_EQ(lTree.size(), 2);
    EXPECT_EQ(lTree[0],
              QStringLiteral("GET /api-json.dyn query=cmd=getdevtree&u=admin&p=%1 cookie=\"\"").arg(lDigest));
    const QRegularExpression lWithCookie(
        QStringLiteral("^GET /api-json.dyn query=cmd=getdevtree&u=admin&p=%1 cookie=\"WSID=[0-9a-f]+;\\s*\"$")
            .arg(lDigest));
    EXPECT_TRUE(lWithCookie.match(lTree[1]).hasMatch()) << lTree[1].toStdString();
    const QString lCookie = lTree[1].section(QLatin1String("cookie=\""), 1).chopped(1).trimmed();

    ASSERT_EQ(m_oVI.Cameras().Count(), 3);
    EXPECT_EQ(m_oVI.Cameras().GetItem(0)->m_sTitle, QStringLiteral("Entrance door 1"));
    EXPECT_EQ(m_oVI.Cameras().GetItem(1)->m_sTitle, QStringLiteral("Kassa Käyttö 2"));
    EXPECT_EQ(m_oVI.Cameras().GetItem(1)->m_nLink, QStringLiteral("Cam 2 Id"));

    m_oVI.SetCurrentCamera(m_oVI.Cameras().GetItem(1)->m_nLink);
    ASSERT_EQ(Run(viLiveFoto), viSuccess);
    const QStringList lLive = m_oSim->Requests(QStringLiteral("/live-video-frame.dyn"));
    ASSERT_EQ(lLive.size(), 1);
    EXPECT_EQ(lLive[0],
              QStringLiteral("GET /live-video-frame.dyn query=device={Cam+2+Id} cookie=\"%1\"").arg(lCookie));
    ASSERT_NE(m_oVI.LiveFoto(), nullptr);
    EXPECT_EQ(m_oVI.LiveFoto()->size(), QSize(320, 240));

    m_oVI.SetTimeOffs(5);
    const TDateTime lMoment = MakeDateTime(2026, 12, 10, 12, 0, 0);
    m_oVI.SetNewArhFotoDate(lMoment);
    ASSERT_EQ(Run(viArhFoto), viSuccess);
    const qint64 lMs = QDateTime(QDate(2026, 12, 10), QTime(9, 0, 5), QTimeZone::utc()).toMSecsSinceEpoch();
    const QStringList lArh = m_oSim->Requests(QStringLiteral("/archive-video-frame.dyn"));
    ASSERT_EQ(lArh.size(), 1);
    EXPECT_EQ(lArh[0],
              QStringLiteral("GET /archive-video-frame.dyn query=device={Cam+2+Id}&ts=%1&time=%1&still=yes&"
                             "res=Original cookie=\"%2\"")
                  .arg(lMs)
                  .arg(lCookie));
    ASSERT_NE(m_oVI.ArchiveFoto(), nullptr);
    EXPECT_TRUE(SameDateTimeMs(m_oVI.CurrArhFotoDate(), lMoment));
    tzset();
}

// Wrong password: 401, the authorization text; nothing of the session is kept, so the next request
// logs in again. A session the server forgets ends the same way, and the request after logs in anew.
TEST_F(TVmsSimTest, WrongPasswordAndForgottenSession) {
    ASSERT_NO_FATAL_FAILURE(Start({}, true));
    QString lErr;
    EXPECT_EQ(Run(viCameras, &lErr), viFail);
    EXPECT_EQ(lErr, QStringLiteral("Authorization Error (check username and password)"));
    EXPECT_EQ(m_oVI.Cameras().Count(), 0);
    EXPECT_EQ(Run(viCameras), viFail);
    const QStringList lTries = m_oSim->Requests(QStringLiteral("/api-json.dyn"));
    ASSERT_EQ(lTries.size(), 2);
    for (const QString& lLine : lTries)
        EXPECT_TRUE(lLine.contains(QLatin1String("&u=admin&p=")) &&
                    lLine.endsWith(QLatin1String("cookie=\"\"")))
            << lLine.toStdString();

    m_oVI.SetActive(false);
    m_oVI.SetPasswMd5(Md5(cPassword));
    m_oVI.SetActive(true);
    ASSERT_EQ(Run(viCameras), viSuccess);
    ASSERT_TRUE(m_oSim->Control("/sim/forget"));
    EXPECT_EQ(Run(viCameras, &lErr), viFail);
    EXPECT_EQ(lErr, QStringLiteral("Authorization Error (check username and password)"));
    ASSERT_EQ(Run(viCameras), viSuccess);
    const QStringList lAll = m_oSim->Requests(QStringLiteral("/api-json.dyn"));
    // 2 refused above; login + repeat; the forgotten cookie alone; login + repeat again.
    ASSERT_EQ(lAll.size(), 7);
    EXPECT_FALSE(lAll[4].contains(QLatin1String("&u="))) << lAll[4].toStdString();
    EXPECT_TRUE(lAll[5].contains(QLatin1String("&u=admin&p="))) << lAll[5].toStdString();
    EXPECT_TRUE(lAll[5].endsWith(QLatin1String("cookie=\"\""))) << lAll[5].toStdString();
}

// Starting the live frame again while the first is on its way: only the second outcome is published.
TEST_F(TVmsSimTest, SecondLiveStartSupersedesTheFirst) {
    ASSERT_NO_FATAL_FAILURE(Start({"--fault", "slow", "--delay-ms", "300"}));
    ASSERT_EQ(Run(viCameras), viSuccess);
    m_oVI.SetCurrentCamera(QStringLiteral("Cam 1 Id"));
    m_oVI.StartRefreshLiveFoto();
    ASSERT_TRUE(m_oSim->WaitForRequests(QStringLiteral("/live-video-frame.dyn"), 1));
    m_oVI.SetCurrentCamera(QStringLiteral("Cam 2 Id"));
    m_oVI.StartRefreshLiveFoto();
    ASSERT_TRUE(WaitUntil([&] { return m_oDone.m_nLive > 0; }));
    DrainEvents();
    EXPECT_EQ(m_oDone.m_nLive, 1);
    EXPECT_EQ(m_oVI.GetCmdStatus(viLiveFoto), viSuccess);
    const QStringList lLive = m_oSim->Requests(QStringLiteral("/live-video-frame.dyn"));
    ASSERT_EQ(lLive.size(), 2);
    EXPECT_TRUE(lLive[1].contains(QLatin1String("device={Cam+2+Id}")));
    // Camera 2's frames are PNG on its own colour: the pixel is exact.
    ASSERT_NE(m_oVI.LiveFoto(), nullptr);
    EXPECT_EQ(m_oVI.LiveFoto()->pixel(310, 230), QColor::fromHsv(67, 120, 200).rgb());
}

// BreakAll during a slow answer: cancelled at once, and the worker takes the next request without
// waiting for the slow one.
TEST_F(TVmsSimTest, BreakAllDuringSlowAnswer) {
    ASSERT_NO_FATAL_FAILURE(Start({"--fault", "slow", "--delay-ms", "15000"}));
    m_oVI.StartRefreshCameras();
    ASSERT_TRUE(m_oSim->WaitForRequests(QStringLiteral("/api-json.dyn"), 1));
    m_oVI.BreakAll();
    EXPECT_EQ(m_oVI.GetCmdStatus(viCameras), viCancelled);
    EXPECT_EQ(m_oVI.GetCmdStatus(viLiveFoto), viCancelled);
    ASSERT_TRUE(m_oSim->Control("/sim/fault?name=none"));
    QElapsedTimer lTimer;
    lTimer.start();
    EXPECT_EQ(Run(viCameras), viSuccess);
    EXPECT_LT(lTimer.elapsed(), 10000);
    EXPECT_EQ(m_oVI.Cameras().Count(), 3);
}

// Each fault switch ends in the status and text the desk shows, well within the time limit where
// the answer is complete.
TEST_F(TVmsSimTest, FaultSwitches) {
    struct TCase {
        const char* m_pFault;
        TVICmdKind m_nKind;
        const char* m_pCamera;
        TVIStatus m_nStatus;
        const char* m_pText; // start of the error text
        int m_nTimeout;
    };
    const TCase cCases[] = {
        {"404", viLiveFoto, "Cam 1 Id", viFail, "Http error #404.", 30000},
        {"500", viCameras, "", viFail, "Http error #500.", 30000},
        {"longhead", viLiveFoto, "Cam 1 Id", viSuccess, "", 30000},
        {"longhead", viCameras, "", viSuccess, "", 30000},
        {"uppertype", viLiveFoto, "Cam 1 Id", viSuccess, "", 30000},
        {"uppertype", viLiveFoto, "Cam 2 Id", viSuccess, "", 30000},
        {"wrongtype", viLiveFoto, "Cam 1 Id", viFail, "Unknown image type \"image/gif\".", 30000},
        {"garbage", viLiveFoto, "Cam 1 Id", viFail, "The server's image could not be read", 30000},
        {"garbage", viCameras, "", viFail, "The device tree of the server could not be read", 30000},
        {"nolength", viLiveFoto, "Cam 1 Id", viFail, "The server is not responding.", 700},
        {"slow", viCameras, "", viFail, "The server is not responding.", 700},
        {"keepalive", viLiveFoto, "No such camera", viFail, "Http error #404.", 30000},
    };
    ASSERT_NO_FATAL_FAILURE(Start({"--delay-ms", "5000"}));
    ASSERT_EQ(Run(viCameras), viSuccess); // the session is held from here on
    for (const TCase& c : cCases) {
        SCOPED_TRACE(std::string(c.m_pFault) + " " + c.m_pCamera);
        ASSERT_TRUE(m_oSim->Control(std::string("/sim/fault?name=") + c.m_pFault));
        m_oVI.SetReqTimeout(static_cast<std::uint32_t>(c.m_nTimeout));
        m_oVI.SetCurrentCamera(QString::fromLatin1(c.m_pCamera));
        QElapsedTimer lTimer;
        lTimer.start();
        QString lErr;
        EXPECT_EQ(Run(c.m_nKind, &lErr), c.m_nStatus);
        if (c.m_nStatus != viSuccess) {
            EXPECT_TRUE(lErr.startsWith(QString::fromUtf8(c.m_pText))) << lErr.toStdString();
        }
        EXPECT_LT(lTimer.elapsed(), c.m_nTimeout == 700 ? 4000 : 5000);
        if (c.m_nStatus == viSuccess && c.m_nKind == viLiveFoto) {
            EXPECT_NE(m_oVI.LiveFoto(), nullptr);
        }
    }
}

// Nobody listens: "not responding" at once, and the other kinds keep their own state.
TEST_F(TVmsSimTest, RefusedConnection) {
    ASSERT_NO_FATAL_FAILURE(Start({"--fault", "refused"}));
    QString lErr;
    QElapsedTimer lTimer;
    lTimer.start();
    EXPECT_EQ(Run(viCameras, &lErr), viFail);
    EXPECT_EQ(lErr, QStringLiteral("The server is not responding."));
    EXPECT_LT(lTimer.elapsed(), 5000);
    QString lLiveErr;
    EXPECT_EQ(m_oVI.GetCmdStatus(viLiveFoto, &lLiveErr), viSuccess);
    EXPECT_TRUE(lLiveErr.isEmpty());
}
