// TWebCam against the fake cameras of the test plugin: the device list, modes, frames, mode changes,
// and a camera that is unplugged while open and plugged in again.

#include "camera/uWebCam.h"
#include "tests/common/FakeCam.h"
#include "tests/common/TestSupport.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

// GStreamer reads its environment once per process: set it up before any test runs.
TFakeCamEnv& FakeCams() {
    static TFakeCamEnv* p = new TFakeCamEnv;
    return *p;
}
const bool s_fEnvReady = (FakeCams(), true);

// Runs the event loop (and so the GLib watches of the device monitor) until ACond holds or
// AMs milliseconds have passed.
bool PumpUntil(const std::function<bool()>& ACond, int AMs = 10000) {
    QDeadlineTimer oDeadline(AMs);
    while (!ACond()) {
        if (oDeadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

QStringList CameraList() {
    QStringList aList;
    GetWebCamList(aList);
    return aList;
}

class WebCamTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(s_fEnvReady);
        if (!QCoreApplication::instance()) {
            static int nArgc = 1;
            static char sName[] = "camera_test_webcam";
            static char* aArgv[] = {sName, nullptr};
            new QCoreApplication(nArgc, aArgv);
        }
    }
    void SetUp() override {
        ASSERT_TRUE(TFakeCamEnv::PluginBuilt()) << TFakeCamEnv::PluginDir().toStdString();
    }
    void TearDown() override {
        for (const QString& sId : m_aPlugged) {
            FakeCams().Pause(sId, false);
            FakeCams().Break(sId, false);
            FakeCams().Unplug(sId);
        }
        PumpUntil([] { return CameraList().isEmpty(); }, 5000);
    }

    // Plugs a camera and waits until the device monitor lists it.
    void Plug(const QString& AId, const QString& AName, bool APaused = false, bool ASilentUnplug = false) {
        if (APaused)
            FakeCams().Pause(AId, true);
        ASSERT_TRUE(FakeCams().Plug(AId, AName, QString(), ASilentUnplug));
        m_aPlugged << AId;
        ASSERT_TRUE(PumpUntil([&] {
            const QStringList a = CameraList();
            return a.contains(AName) || a.filter(AName + QStringLiteral(" (")).size() > 0;
        })) << AName.toStdString();
    }

    // Opens ACam and waits for its first frame.
    static void WaitForImage(TWebCam& ACam) {
        ASSERT_TRUE(ACam.GetActive());
        ASSERT_TRUE(PumpUntil([&] { return ACam.GetActive() && ACam.IsImageAvailable(); }));
    }

    QStringList m_aPlugged;
};

} // namespace

TEST_F(WebCamTest, ListIsSortedAndTellsTwinsApartByTheirPath) {
    Plug(QStringLiteral("b"), QStringLiteral("Cam B"));
    Plug(QStringLiteral("a"), QStringLiteral("Cam A"));
    Plug(QStringLiteral("t2"), QStringLiteral("Twin"));
    Plug(QStringLiteral("t1"), QStringLiteral("Twin"));
    ASSERT_TRUE(PumpUntil([] { return CameraList().size() == 4; }));
    EXPECT_EQ(CameraList(),
              (QStringList{QStringLiteral("Cam A"), QStringLiteral("Cam B"),
                           QStringLiteral("Twin (fakecam:t1)"), QStringLiteral("Twin (fakecam:t2)")}));

    // Each twin opens by its own name; the bare name opens the first.
    struct TCase {
        QString m_sName;
        QString m_sPausedId; // paused so that its frames never come
        bool m_fFrames;
    };
    const TCase aCases[] = {{QStringLiteral("Twin (fakecam:t2)"), QStringLiteral("t1"), true},
                            {QStringLiteral("Twin (fakecam:t1)"), QStringLiteral("t1"), false},
                            {QStringLiteral("Twin"), QStringLiteral("t2"), true}};
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.m_sName.toStdString());
        FakeCams().Pause(c.m_sPausedId, true);
        TWebCam oCam;
        oCam.SetCamera(c.m_sName);
        oCam.SetActive(true);
        ASSERT_TRUE(oCam.GetActive());
        QImage oImage;
        EXPECT_EQ(oCam.GrabShot(oImage, c.m_fFrames ? 5000 : 300), c.m_fFrames);
        FakeCams().Pause(c.m_sPausedId, false);
    }

    // One camera seen by two providers (same name, same device path) is listed once.
    for (const QString& sId : {QStringLiteral("d1"), QStringLiteral("d2")}) {
        ASSERT_TRUE(FakeCams().PlugFile(sId, "Double\npath=/dev/video7\n"));
        m_aPlugged << sId;
    }
    ASSERT_TRUE(PumpUntil([] { return CameraList().contains(QStringLiteral("Double")); }));
    EXPECT_EQ(CameraList().filter(QStringLiteral("Double")), QStringList{QStringLiteral("Double")});

    // A name of no device leaves the camera inactive, quietly.
    TWebCam oNone;
    oNone.SetCamera(QStringLiteral("Twin (fakecam:t3)"));
    EXPECT_NO_THROW(oNone.SetActive(true));
    EXPECT_FALSE(oNone.GetActive());
}

TEST_F(WebCamTest, ModesComeFromTheDeviceCaps) {
    Plug(QStringLiteral("m"), QStringLiteral("Modes"));
    TWebCam oCam;
    EXPECT_EQ(oCam.GetModeList().Count(), 0);
    oCam.SetCamera(QStringLiteral("Modes"));
    oCam.SetActive(true);
    ASSERT_TRUE(oCam.GetActive());
    struct TExpected {
        int m_nWidth, m_nHeight, m_nBits, m_nFps;
    };
    // YUY2 16 bits, MJPEG decoded to 24, I420 12; of the rates offered the highest.
    const TExpected aModes[] = {
        {640, 480, 16, 30}, {640, 480, 24, 30}, {320, 240, 12, 15}, {160, 120, 24, 10}};
    ASSERT_EQ(oCam.GetModeList().Count(), 4);
    for (int i = 0; i < 4; ++i) {
        const TWebCamMode& m = oCam.GetModeList().GetItem(i);
        EXPECT_EQ(m.m_nWidth, aModes[i].m_nWidth) << i;
        EXPECT_EQ(m.m_nHeight, aModes[i].m_nHeight) << i;
        EXPECT_EQ(m.m_nBitCount, aModes[i].m_nBits) << i;
        EXPECT_EQ(m.m_nFps, aModes[i].m_nFps) << i;
    }
    // -1 keeps the device's preferred format, its first.
    EXPECT_EQ(oCam.GetCurrentMode(), -1);
    EXPECT_EQ(oCam.GetWidth(), 640);
    EXPECT_EQ(oCam.GetHeight(), 480);
}

TEST_F(WebCamTest, FramesArriveInTheSizeOfEachMode) {
    Plug(QStringLiteral("f"), QStringLiteral("Frames"));
    TWebCam oCam;
    oCam.SetCamera(QStringLiteral("Frames"));
    oCam.SetActive(true);
    ASSERT_TRUE(oCam.GetActive());
    for (int nMode : {3, 2, 1, 0}) {
        SCOPED_TRACE(nMode);
        oCam.SetCurrentMode(nMode);
        ASSERT_TRUE(oCam.GetActive());
        const TWebCamMode& m = oCam.GetModeList().GetItem(nMode);
        EXPECT_EQ(oCam.GetWidth(), m.m_nWidth);
        EXPECT_EQ(oCam.GetHeight(), m.m_nHeight);
        WaitForImage(oCam);
        QImage oImage;
        std::int32_t nCounter = 0;
        ASSERT_TRUE(oCam.GetBitmap(oImage, &nCounter));
        EXPECT_GE(nCounter, 1);
        EXPECT_EQ(oImage.size(), QSize(m.m_nWidth, m.m_nHeight));
        EXPECT_EQ(oImage.format(), QImage::Format_RGB32);
        // videotestsrc's SMPTE bars: white-grey at the top left, the 100% white box of the bottom strip
        // in its second sixth: the image is the right way up.
        const QRgb cTop = oImage.pixel(2, 2);
        const QRgb cBottom = oImage.pixel(m.m_nWidth * 2 / 7, m.m_nHeight - 3);
        EXPECT_GT(qRed(cTop), 150);
        EXPECT_NEAR(qRed(cTop), qBlue(cTop), 24);
        EXPECT_GT(qGray(cBottom), 230);
    }
}

TEST_F(WebCamTest, ModeSetWhileInactiveIsUsedAtTheNextOpen) {
    Plug(QStringLiteral("i"), QStringLiteral("Inactive"));
    TWebCam oCam;
    oCam.SetCamera(QStringLiteral("Inactive"));
    oCam.SetCurrentMode(2);
    EXPECT_FALSE(oCam.GetActive());
    EXPECT_EQ(oCam.GetCurrentMode(), 2);
    oCam.SetActive(true);
    EXPECT_EQ(oCam.GetWidth(), 320);
    EXPECT_EQ(oCam.GetHeight(), 240);
    WaitForImage(oCam);
    QImage oImage;
    ASSERT_TRUE(oCam.GetBitmap(oImage));
    EXPECT_EQ(oImage.size(), QSize(320, 240));
}

TEST_F(WebCamTest, NoBitmapBeforeTheFirstFrameAndAModeChangeWaitsForANewOne) {
    Plug(QStringLiteral("p"), QStringLiteral("Paused"), true);
    TWebCam oCam;
    oCam.SetCamera(QStringLiteral("Paused"));
    oCam.SetActive(true);
    ASSERT_TRUE(oCam.GetActive());
    QImage oImage(4, 4, QImage::Format_RGB32);
    oImage.fill(Qt::green);
    std::int32_t nCounter = -1;
    EXPECT_FALSE(oCam.IsImageAvailable());
    EXPECT_FALSE(oCam.GetBitmap(oImage, &nCounter));
    EXPECT_EQ(nCounter, 0);
    EXPECT_EQ(oImage.size(), QSize(4, 4));
    EXPECT_EQ(oImage.pixel(0, 0), QColor(Qt::green).rgb());

    FakeCams().Pause(QStringLiteral("p"), false);
    WaitForImage(oCam);
    const std::int32_t nBefore = oCam.GetImageCounter();
    EXPECT_GE(nBefore, 1);

    // The mode changes while no frame can come: the old frame is gone, the count stays.
    FakeCams().Pause(QStringLiteral("p"), true);
    oCam.SetCurrentMode(3);
    ASSERT_TRUE(oCam.GetActive());
    EXPECT_FALSE(oCam.IsImageAvailable());
    EXPECT_FALSE(oCam.GetBitmap(oImage, &nCounter));
    EXPECT_GE(nCounter, nBefore);
    FakeCams().Pause(QStringLiteral("p"), false);
    WaitForImage(oCam);
    ASSERT_TRUE(oCam.GetBitmap(oImage));
    EXPECT_EQ(oImage.size(), QSize(160, 120));

    // Back to -1 while active keeps the format last set; so does an index the camera does not have
    // (a mode stored for another camera), without closing it.
    for (const std::int32_t nMode : {-1, 7, -1, -3}) {
        SCOPED_TRACE(nMode);
        oCam.SetCurrentMode(nMode);
        ASSERT_TRUE(oCam.GetActive());
        EXPECT_EQ(oCam.GetCurrentMode(), nMode);
        WaitForImage(oCam);
        EXPECT_EQ(oCam.GetWidth(), 160);
        ASSERT_TRUE(oCam.GetBitmap(oImage));
        EXPECT_EQ(oImage.size(), QSize(160, 120));
    }
    // At the next open an index the camera does not have gives its first format.
    oCam.SetActive(false);
    oCam.SetCurrentMode(7);
    oCam.SetActive(true);
    EXPECT_EQ(oCam.GetWidth(), 640);
    EXPECT_EQ(oCam.GetHeight(), 480);
}

TEST_F(WebCamTest, ClosingDiscardsTheCounter) {
    Plug(QStringLiteral("c"), QStringLiteral("Counter"));
    TWebCam oCam;
    oCam.SetCamera(QStringLiteral("Counter"));
    oCam.SetActive(true);
    WaitForImage(oCam);
    oCam.SetActive(false);
    EXPECT_FALSE(oCam.GetActive());
    EXPECT_THROW(oCam.IsImageAvailable(), EAssertionFailed);
    FakeCams().Pause(QStringLiteral("c"), true);
    oCam.SetActive(true);
    EXPECT_EQ(oCam.GetImageCounter(), 0);
}

TEST_F(WebCamTest, NeverOpenedIsAProgrammingError) {
    TWebCam oCam;
    QImage oImage;
    EXPECT_THROW(oCam.IsImageAvailable(), EAssertionFailed);
    EXPECT_THROW(oCam.GetImageCounter(), EAssertionFailed);
    EXPECT_THROW(oCam.GetBitmap(oImage), EAssertionFailed);
    EXPECT_THROW(oCam.GrabShot(oImage, 0), EAssertionFailed);
}

TEST_F(WebCamTest, UnpluggedWhileOpenIsInactiveAndReopensInTheSameModeWhenBack) {
    // A camera that reports a read error as it vanishes, and one whose frames just stop: the device
    // monitor's removal alone must be enough.
    for (const bool fSilent : {false, true}) {
        SCOPED_TRACE(fSilent ? "silent" : "read error");
        const QString sId = fSilent ? QStringLiteral("us") : QStringLiteral("ue");
        const QString sName = fSilent ? QStringLiteral("Silent") : QStringLiteral("Unplugged");
        Plug(sId, sName, false, fSilent);
        TWebCam oCam;
        int nLost = 0, nBack = 0;
        oCam.FOnCameraLost = [&] {
            ++nLost;
            EXPECT_FALSE(oCam.GetActive());
        };
        oCam.FOnCameraBack = [&] { ++nBack; };
        oCam.SetCamera(sName);
        oCam.SetCurrentMode(1);
        oCam.SetActive(true);
        WaitForImage(oCam);

        ASSERT_TRUE(FakeCams().Unplug(sId));
        ASSERT_TRUE(PumpUntil([&] { return !oCam.GetActive(); }));
        // The read error and the removal both arrive; the owner hears of it once.
        PumpUntil([&] { return !CameraList().contains(sName); });
        QCoreApplication::processEvents();
        EXPECT_EQ(nLost, 1);
        EXPECT_TRUE(oCam.IsWaitingForCamera());
        EXPECT_EQ(oCam.GetCurrentMode(), 1);

        // Another camera arriving is not ours.
        Plug(sId + QStringLiteral("x"), sName + QStringLiteral(" Else"));
        QCoreApplication::processEvents();
        EXPECT_FALSE(oCam.GetActive());

        ASSERT_TRUE(FakeCams().Plug(sId, sName, QString(), fSilent));
        ASSERT_TRUE(PumpUntil([&] { return oCam.GetActive(); }));
        EXPECT_EQ(nBack, 1);
        EXPECT_FALSE(oCam.IsWaitingForCamera());
        EXPECT_EQ(oCam.GetCurrentMode(), 1);
        WaitForImage(oCam);
        QImage oImage;
        ASSERT_TRUE(oCam.GetBitmap(oImage));
        EXPECT_EQ(oImage.size(), QSize(640, 480));

        // Closed by its owner after a loss, it stays closed when the camera returns.
        ASSERT_TRUE(FakeCams().Unplug(sId));
        ASSERT_TRUE(PumpUntil([&] { return !oCam.GetActive(); }));
        EXPECT_EQ(nLost, 2);
        oCam.SetActive(false);
        Plug(sId, sName, false, fSilent);
        QCoreApplication::processEvents();
        EXPECT_FALSE(oCam.GetActive());
        EXPECT_EQ(nBack, 1);
    }
}

TEST_F(WebCamTest, AStartFailureIsRaisedAfterEverythingIsReleased) {
    ASSERT_TRUE(FakeCams().PlugFile(QStringLiteral("busy"), "Busy Camera\nbusy\n"));
    m_aPlugged << QStringLiteral("busy");
    ASSERT_TRUE(PumpUntil([] { return CameraList().contains(QStringLiteral("Busy Camera")); }));
    TWebCam oCam;
    oCam.SetCamera(QStringLiteral("Busy Camera"));
    oCam.SetCurrentMode(1);
    for (int nTry = 0; nTry < 2; ++nTry) {
        try {
            oCam.SetActive(true);
            ADD_FAILURE() << "no error";
        } catch (const EWebCamError& E) {
            EXPECT_TRUE(E.Message().contains(QStringLiteral("busy"))) << E.Message().toStdString();
        }
        EXPECT_FALSE(oCam.GetActive());
        EXPECT_FALSE(oCam.IsWaitingForCamera());
        EXPECT_THROW(oCam.IsImageAvailable(), EAssertionFailed);
        EXPECT_EQ(oCam.GetCurrentMode(), 1);
    }
}

TEST_F(WebCamTest, ACameraFailingWhileOpenIsInactiveUntilItComesBack) {
    Plug(QStringLiteral("br"), QStringLiteral("Broken"));
    TWebCam oCam;
    int nLost = 0, nBack = 0;
    oCam.FOnCameraLost = [&] { ++nLost; };
    oCam.FOnCameraBack = [&] { ++nBack; };
    oCam.SetCamera(QStringLiteral("Broken"));
    oCam.SetCurrentMode(2);
    oCam.SetActive(true);
    WaitForImage(oCam);

    ASSERT_TRUE(FakeCams().Break(QStringLiteral("br"), true));
    ASSERT_TRUE(PumpUntil([&] { return !oCam.GetActive(); }));
    EXPECT_EQ(nLost, 1);
    EXPECT_TRUE(oCam.IsWaitingForCamera());
    EXPECT_TRUE(CameraList().contains(QStringLiteral("Broken")));

    // Plugged in again (as an operator does with a camera that hangs): reopened in mode 2.
    FakeCams().Break(QStringLiteral("br"), false);
    ASSERT_TRUE(FakeCams().Unplug(QStringLiteral("br")));
    ASSERT_TRUE(PumpUntil([] { return !CameraList().contains(QStringLiteral("Broken")); }));
    EXPECT_FALSE(oCam.GetActive());
    ASSERT_TRUE(FakeCams().Plug(QStringLiteral("br"), QStringLiteral("Broken")));
    ASSERT_TRUE(PumpUntil([&] { return oCam.GetActive(); }));
    EXPECT_EQ(nBack, 1);
    EXPECT_EQ(nLost, 1);
    WaitForImage(oCam);
    QImage oImage;
    ASSERT_TRUE(oCam.GetBitmap(oImage));
    EXPECT_EQ(oImage.size(), QSize(320, 240));
}
