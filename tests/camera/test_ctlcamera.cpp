// tarvoctl camera, run as its own process against the fake cameras.

#include "tests/common/FakeCam.h"
#include "tests/common/TestSupport.h"

#include <QImageReader>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

struct TRun {
    int m_nExit = -1;
    QString m_sOut;
    QString m_sErr;
};

TRun RunCtl(const QStringList& AArgs) {
    TRun oRun;
    QProcess oProc;
    oProc.start(TFakeCamEnv::BinDir() + QStringLiteral("/tarvoctl"), AArgs);
    if (!oProc.waitForFinished(30000)) {
        oProc.kill();
        oProc.waitForFinished();
        return oRun;
    }
    oRun.m_nExit = oProc.exitStatus() == QProcess::NormalExit ? oProc.exitCode() : -2;
    oRun.m_sOut = QString::fromUtf8(oProc.readAllStandardOutput());
    oRun.m_sErr = QString::fromUtf8(oProc.readAllStandardError());
    return oRun;
}

class CtlCameraTest : public testing::Test {
protected:
    // One environment for all: each new private registry costs a scan of every plugin.
    static void SetUpTestSuite() { s_pCams = new TFakeCamEnv; }
    static void TearDownTestSuite() {
        delete s_pCams;
        s_pCams = nullptr;
    }
    void SetUp() override {
        ASSERT_TRUE(QFile::exists(TFakeCamEnv::BinDir() + QStringLiteral("/tarvoctl")))
            << TFakeCamEnv::BinDir().toStdString();
        ASSERT_TRUE(TFakeCamEnv::PluginBuilt()) << TFakeCamEnv::PluginDir().toStdString();
    }
    void TearDown() override {
        QDir oDir(m_oCams.CamDir());
        for (const QString& sFile : oDir.entryList(QDir::Files))
            oDir.remove(sFile);
    }
    static inline TFakeCamEnv* s_pCams = nullptr;
    TFakeCamEnv& m_oCams = *s_pCams;
    TTempDir m_oDir;
};

} // namespace

TEST_F(CtlCameraTest, ListShowsEachCameraWithItsModes) {
    ASSERT_TRUE(m_oCams.Plug(QStringLiteral("2"), QStringLiteral("Door Camera")));
    ASSERT_TRUE(m_oCams.Plug(QStringLiteral("1"), QStringLiteral("Counter Camera")));
    const TRun oRun = RunCtl({QStringLiteral("camera"), QStringLiteral("list")});
    ASSERT_EQ(oRun.m_nExit, 0) << oRun.m_sErr.toStdString();
    const QString sModes = QStringLiteral("  0 - 640x480x16 (30 fps)\n"
                                          "  1 - 640x480x24 (30 fps)\n"
                                          "  2 - 320x240x12 (15 fps)\n"
                                          "  3 - 160x120x24 (10 fps)\n");
    EXPECT_EQ(oRun.m_sOut,
              QStringLiteral("Counter Camera\n") + sModes + QStringLiteral("Door Camera\n") + sModes);
}

TEST_F(CtlCameraTest, ListWithoutCamerasSaysSo) {
    const TRun oRun = RunCtl({QStringLiteral("camera"), QStringLiteral("list")});
    EXPECT_EQ(oRun.m_nExit, 0);
    EXPECT_TRUE(oRun.m_sOut.isEmpty());
    EXPECT_TRUE(oRun.m_sErr.contains(QStringLiteral("no camera"))) << oRun.m_sErr.toStdString();
}

TEST_F(CtlCameraTest, ShotSavesAJpegOfTheModesSize) {
    ASSERT_TRUE(m_oCams.Plug(QStringLiteral("s"), QStringLiteral("Shot Camera")));
    struct TCase {
        QStringList m_aMode;
        QSize m_oSize;
    };
    const TCase aCases[] = {{{}, QSize(640, 480)},
                            {{QStringLiteral("--mode"), QStringLiteral("2")}, QSize(320, 240)},
                            {{QStringLiteral("--mode"), QStringLiteral("3")}, QSize(160, 120)}};
    int nShot = 0;
    for (const auto& c : aCases) {
        const QString sFile = m_oDir.FilePath(QStringLiteral("shot%1.jpg").arg(++nShot));
        const TRun oRun = RunCtl(QStringList{QStringLiteral("camera"), QStringLiteral("shot"),
                                             QStringLiteral("Shot Camera"), sFile} +
                                 c.m_aMode);
        ASSERT_EQ(oRun.m_nExit, 0) << oRun.m_sErr.toStdString();
        QImageReader oReader(sFile);
        EXPECT_EQ(oReader.format(), QByteArray("jpeg"));
        EXPECT_EQ(oReader.size(), c.m_oSize) << nShot;
        EXPECT_FALSE(oReader.read().isNull());
    }
}

TEST_F(CtlCameraTest, FailuresAndUsageErrorsHaveTheirExitStatus) {
    ASSERT_TRUE(m_oCams.Plug(QStringLiteral("e"), QStringLiteral("Error Camera")));
    const QString sFile = m_oDir.FilePath(QStringLiteral("e.jpg"));
    const QString sNotDir = m_oDir.WriteFile(QStringLiteral("plain"), "x");
    m_oCams.Pause(QStringLiteral("e2"), true);
    ASSERT_TRUE(m_oCams.Plug(QStringLiteral("e2"), QStringLiteral("Frozen Camera")));
    struct TCase {
        QStringList m_aArgs;
        int m_nExit;
        QString m_sErr;
    };
    const QString sCam = QStringLiteral("camera");
    const QString sShot = QStringLiteral("shot");
    const TCase aCases[] = {
        {{sCam, sShot, QStringLiteral("No Such Camera"), sFile},
         1,
         QStringLiteral("no camera named \"No Such Camera\"")},
        {{sCam, sShot, QStringLiteral("Error Camera"), sFile, QStringLiteral("--mode"), QStringLiteral("4")},
         1,
         QStringLiteral("has no mode 4")},
        {{sCam, sShot, QStringLiteral("Error Camera"), sNotDir + QStringLiteral("/x.jpg")},
         1,
         QStringLiteral("Cannot save the photo")},
        {{sCam, sShot, QStringLiteral("Frozen Camera"), sFile}, 1, QStringLiteral("delivered no picture")},
        {{sCam}, 2, QStringLiteral("camera needs list or shot")},
        {{sCam, QStringLiteral("snap")}, 2, QStringLiteral("unknown camera command")},
        {{sCam, QStringLiteral("list"), QStringLiteral("extra")}, 2, QStringLiteral("takes no arguments")},
        {{sCam, sShot, QStringLiteral("Error Camera")}, 2, QStringLiteral("needs NAME and FILE.jpg")},
        {{sCam, sShot, QStringLiteral("Error Camera"), m_oDir.FilePath(QStringLiteral("e.png"))},
         2,
         QStringLiteral("saved as .jpg")},
        {{sCam, sShot, QStringLiteral("Error Camera"), sFile, QStringLiteral("--mode")},
         2,
         QStringLiteral("--mode needs")},
        {{sCam, sShot, QStringLiteral("Error Camera"), sFile, QStringLiteral("--mode"), QStringLiteral("-1")},
         2,
         QStringLiteral("--mode needs")},
    };
    for (const auto& c : aCases) {
        SCOPED_TRACE(c.m_aArgs.join(QLatin1Char(' ')).toStdString());
        const TRun oRun = RunCtl(c.m_aArgs);
        EXPECT_EQ(oRun.m_nExit, c.m_nExit);
        EXPECT_TRUE(oRun.m_sErr.startsWith(QStringLiteral("tarvoctl: ") + c.m_sErr) ||
                    oRun.m_sErr.contains(c.m_sErr))
            << oRun.m_sErr.toStdString();
        if (c.m_nExit == 1) {
            EXPECT_EQ(oRun.m_sErr.count(QLatin1Char('\n')), 1) << "one line";
        }
        EXPECT_FALSE(QFile::exists(sFile));
    }
    const TRun oHelp = RunCtl({sCam, QStringLiteral("--help")});
    EXPECT_EQ(oHelp.m_nExit, 0);
    EXPECT_TRUE(oHelp.m_sOut.startsWith(QStringLiteral("Usage: tarvoctl camera")));
}
