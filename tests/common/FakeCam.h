#pragma once
// Fake cameras for tests and demos, seen by the program through GStreamer's device monitor like
// real ones. TFakeCamEnv sets up the environment of this process (and so of the programs it
// starts); set it up before the first use of the camera layer, GStreamer reads it once.
//
//   GST_PLUGIN_PATH          <build>/fakecam: the test plugin libgsttarvofakecam.so (device provider
//                            "tarvofakecamprovider"); the system plugins stay available
//   GST_REGISTRY             <private folder>/registry.bin: a private plugin registry, so the user's
//                            cache is never touched and the test plugin never leaks into it
//   GST_PLUGIN_FEATURE_RANK  the real camera providers (v4l2, PipeWire, libcamera) ranked out
//   TARVO_FAKECAM_DIR        <private folder>/cams: one file <id>.cam per plugged camera; its first
//                            line is the camera's name; "pattern=<videotestsrc pattern>",
//                            "path=<device path>", "unplug=silent" and "busy" (every start fails)
//                            may follow; <id>.broken makes a running camera fail.
//                            Creating a file plugs a camera, deleting it unplugs it (polled every 50 ms);
//                            while <id>.paused exists the camera delivers no frames.
//
// A shell does the same (scripts/run-demo):
//   export GST_PLUGIN_PATH=$BUILD/fakecam GST_REGISTRY=$TMP/registry.bin
//   export GST_PLUGIN_FEATURE_RANK=v4l2deviceprovider:NONE,pipewiredeviceprovider:NONE,libcameraprovider:NONE
//   export TARVO_FAKECAM_DIR=$TMP/cams
//   mkdir -p $TMP/cams && echo "Tarvo Test Camera" > $TMP/cams/cam1.cam
//
// The plugin folder is $TARVO_FAKECAM_PLUGIN_DIR when set, else <TARVO_BIN_DIR>/../fakecam, else
// fakecam/ beside the folder of the running program (build/tests/ and build/bench/ both work).
//
// Each fake camera has these modes (index: format): 0: YUY2 640x480 30 fps, 1: MJPEG 640x480 30 fps,
// 2: I420 320x240 15 fps, 3: MJPEG 160x120 10 fps (5 fps offered too).

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdlib>

class TFakeCamEnv {
public:
    TFakeCamEnv() {
        const QString sPlugins = PluginDir();
        qputenv("GST_PLUGIN_PATH", QFile::encodeName(sPlugins));
        qputenv("GST_REGISTRY", QFile::encodeName(m_oDir.filePath(QStringLiteral("registry.bin"))));
        qputenv("GST_PLUGIN_FEATURE_RANK",
                "v4l2deviceprovider:NONE,pipewiredeviceprovider:NONE,libcameraprovider:NONE,"
                "decklinkdeviceprovider:NONE");
        QDir().mkpath(CamDir());
        qputenv("TARVO_FAKECAM_DIR", QFile::encodeName(CamDir()));
    }
    TFakeCamEnv(const TFakeCamEnv&) = delete;
    TFakeCamEnv& operator=(const TFakeCamEnv&) = delete;

    // The folder holding libgsttarvofakecam.so; empty when it cannot be told.
    static QString PluginDir() {
        const QByteArray aDir = qgetenv("TARVO_FAKECAM_PLUGIN_DIR");
        if (!aDir.isEmpty())
            return QFile::decodeName(aDir);
        const QByteArray aBin = qgetenv("TARVO_BIN_DIR");
        if (!aBin.isEmpty())
            return QDir::cleanPath(QFile::decodeName(aBin) + QStringLiteral("/../fakecam"));
        const QString sBeside = QDir::cleanPath(ExeDir() + QStringLiteral("/../fakecam"));
        if (QFile::exists(sBeside))
            return sBeside;
#ifdef TARVO_FAKECAM_PLUGIN_DIR
        return QStringLiteral(TARVO_FAKECAM_PLUGIN_DIR);
#else
        return sBeside;
#endif
    }
    // The folder of the running program (works before a QCoreApplication exists).
    static QString ExeDir() {
        return QFileInfo(QFile::symLinkTarget(QStringLiteral("/proc/self/exe"))).path();
    }
    // The folder of the programs (Tarvo, tarvoctl): $TARVO_BIN_DIR, else bin/ beside the program's folder.
    static QString BinDir() {
        const QByteArray aBin = qgetenv("TARVO_BIN_DIR");
        return aBin.isEmpty() ? QDir::cleanPath(ExeDir() + QStringLiteral("/../bin"))
                              : QFile::decodeName(aBin);
    }
    // True when the plugin file is there.
    static bool PluginBuilt() {
        return QFile::exists(PluginDir() + QStringLiteral("/libgsttarvofakecam.so"));
    }

    QString CamDir() const {
        return m_oDir.filePath(QStringLiteral("cams"));
    }

    // Plugs a camera AId named AName (atomically: the provider never reads half a file).
    // ASilentUnplug: at the unplug its frames just stop, without the read error a vanished USB camera
    // reports.
    bool Plug(const QString& AId, const QString& AName, const QString& APattern = QString(),
              bool ASilentUnplug = false) const {
        QByteArray aText = AName.toUtf8() + '\n';
        if (!APattern.isEmpty())
            aText += "pattern=" + APattern.toUtf8() + '\n';
        if (ASilentUnplug)
            aText += "unplug=silent\n";
        return PlugFile(AId, aText);
    }
    // Plugs a camera AId described by the file text AText (see the plugin: name, pattern=, path=,
    // unplug=silent, busy).
    bool PlugFile(const QString& AId, const QByteArray& AText) const {
        QSaveFile oFile(CamDir() + QLatin1Char('/') + AId + QStringLiteral(".cam"));
        if (!oFile.open(QIODevice::WriteOnly))
            return false;
        oFile.write(AText);
        return oFile.commit();
    }
    bool Unplug(const QString& AId) const {
        return QFile::remove(CamDir() + QLatin1Char('/') + AId + QStringLiteral(".cam"));
    }
    // While broken, a running camera AId posts a read error once and delivers nothing more, though it
    // stays plugged in.
    bool Break(const QString& AId, bool ABroken) const {
        const QString sFile = CamDir() + QLatin1Char('/') + AId + QStringLiteral(".broken");
        if (!ABroken)
            return QFile::remove(sFile);
        QFile oFile(sFile);
        return oFile.open(QIODevice::WriteOnly);
    }
    // While paused, camera AId delivers no frames; no frame passes its source after Pause returns.
    bool Pause(const QString& AId, bool APaused) const {
        const QString sFile = CamDir() + QLatin1Char('/') + AId + QStringLiteral(".paused");
        if (!APaused)
            return QFile::remove(sFile);
        QFile oFile(sFile);
        return oFile.open(QIODevice::WriteOnly);
    }

private:
    QTemporaryDir m_oDir;
};
