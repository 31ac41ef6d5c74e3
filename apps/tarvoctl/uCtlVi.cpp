// tarvoctl vi: the video server of the front desk's settings (or the one given) from a shell: its
// cameras, a live frame, the archived frame of a moment. Through the same client the desk uses.

#include "apps/tarvoctl/uTarvoCtl.h"

#include "base/uPaths.h"
#include "frontdesk/uTarvoDoc.h"
#include "vi/uVI.h"

#include <QDateTime>
#include <QEventLoop>
#include <QFileInfo>
#include <QImageWriter>

namespace TarvoCtl {

namespace {

const char* const cViUsage =
    "Usage: tarvoctl vi cameras [OPTIONS]\n"
    "       tarvoctl vi live FILE [--camera ID] [OPTIONS]\n"
    "       tarvoctl vi archive \"YYYY-MM-DD hh:mm:ss\" FILE [--camera ID] [OPTIONS]\n"
    "The front desk's video server: \"cameras\" lists its cameras (identifier, a tab, the title), \"live\"\n"
    "saves the live frame and \"archive\" the recorded frame of a local moment to FILE (.jpg or .png).\n"
    "The server, login, password digest, camera, time offset and time-out come from the desk's settings.\n"
    "Options:\n"
    "  --server URL       the server instead (http://host:port)\n"
    "  --login NAME       the login instead\n"
    "  --password TEXT    the password instead (only its digest is sent)\n"
    "  --camera ID        the camera's identifier instead\n"
    "  --timeout MS       the request time-out in milliseconds instead\n";

// The front desk's client settings; the command asks the server whatever the desk's camera source.
TVISetup DeskSettings() {
    TVISetup lSettings;
    Tarvo::TTarvoDoc lDoc;
    const QString lPath = DataFilePath();
    if (QFileInfo::exists(lPath))
        lDoc.LoadFromFile(lPath);
    lSettings.m_sServer =
        lDoc.VIServer().isEmpty() ? QString::fromLatin1(Tarvo::VI_DEFAULT_SERVER) : lDoc.VIServer();
    lSettings.m_sLogin = lDoc.VILogin();
    lSettings.m_sPasswMd5 = lDoc.VIPasswMd5();
    lSettings.m_sCamera = lDoc.VICamera();
    lSettings.m_sCameraTitle = lDoc.VICameraTitle();
    lSettings.m_nTimeOffs = lDoc.VITimeOffs();
    if (lDoc.VIReqTimeOut() != 0)
        lSettings.m_nReqTimeout = lDoc.VIReqTimeOut();
    return lSettings;
}

// Runs one request of AKind to its end on the event loop; raises ECtlFailure with the client's text.
void RunRequest(TVI& AVI, TVICmdKind AKind) {
    QEventLoop lLoop;
    auto lQuit = [&](TVI&) { lLoop.quit(); };
    AVI.SetOnCamerasDone(lQuit);
    AVI.SetOnLiveFotoDone(lQuit);
    AVI.SetOnArchiveFotoDone(lQuit);
    if (AKind == viCameras)
        AVI.StartRefreshCameras();
    else if (AKind == viLiveFoto)
        AVI.StartRefreshLiveFoto();
    else
        AVI.StartRefreshArhiveFoto();
    while (AVI.GetCmdStatus(AKind) == viPending)
        lLoop.exec();
    QString lErr;
    if (AVI.GetCmdStatus(AKind, &lErr) != viSuccess)
        throw ECtlFailure(lErr.isEmpty() ? QStringLiteral("the request was cancelled") : lErr);
}

void SaveImage(const QImage* AImage, const QString& AFile) {
    if (!AImage || AImage->isNull())
        throw ECtlFailure(QStringLiteral("the server sent no image"));
    QImageWriter lWriter(AFile);
    if (lWriter.format().toLower() == "jpeg" || lWriter.format().toLower() == "jpg")
        lWriter.setQuality(90);
    if (!lWriter.write(*AImage))
        throw ECtlFailure(QStringLiteral("cannot write \"%1\": %2").arg(AFile, lWriter.errorString()));
}

} // namespace

void ViCommand(const QStringList& AArgs, TCtlIo AIo) {
    if (AsksForHelp(AArgs)) {
        AIo.m_oOut << cViUsage;
        return;
    }
    QStringList lPositional;
    QString lServer, lLogin, lPassword, lCamera, lTimeout;
    bool lHasPassword = false;
    for (int i = 0; i < AArgs.size(); ++i) {
        const QString& lArg = AArgs.at(i);
        QString* lTarget = nullptr;
        if (lArg == QLatin1String("--server"))
            lTarget = &lServer;
        else if (lArg == QLatin1String("--login"))
            lTarget = &lLogin;
        else if (lArg == QLatin1String("--password")) {
            lTarget = &lPassword;
            lHasPassword = true;
        } else if (lArg == QLatin1String("--camera"))
            lTarget = &lCamera;
        else if (lArg == QLatin1String("--timeout"))
            lTarget = &lTimeout;
        else if (lArg.startsWith(QLatin1String("--")))
            throw ECtlUsage(QStringLiteral("unknown option \"%1\"").arg(lArg));
        else {
            lPositional << lArg;
            continue;
        }
        if (i + 1 >= AArgs.size())
            throw ECtlUsage(QStringLiteral("%1 needs a value").arg(lArg));
        *lTarget = AArgs.at(++i);
    }
    if (lPositional.isEmpty())
        throw ECtlUsage(QStringLiteral("vi needs cameras, live or archive"));
    const QString lWhat = lPositional.takeFirst();
    QDateTime lMoment;
    if (lWhat == QLatin1String("cameras")) {
        if (!lPositional.isEmpty())
            throw ECtlUsage(QStringLiteral("vi cameras takes no file"));
    } else if (lWhat == QLatin1String("live")) {
        if (lPositional.size() != 1)
            throw ECtlUsage(QStringLiteral("vi live needs one FILE"));
    } else if (lWhat == QLatin1String("archive")) {
        if (lPositional.size() != 2)
            throw ECtlUsage(QStringLiteral("vi archive needs a moment and one FILE"));
        lMoment = QDateTime::fromString(lPositional.takeFirst(), QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        if (!lMoment.isValid())
            throw ECtlUsage(QStringLiteral("the moment is written YYYY-MM-DD hh:mm:ss"));
    } else
        throw ECtlUsage(QStringLiteral("unknown vi command \"%1\"").arg(lWhat));
    const QString lFile = lPositional.value(0);
    if (!lFile.isEmpty()) {
        const QString lExt = QFileInfo(lFile).suffix().toLower();
        if (lExt != QLatin1String("jpg") && lExt != QLatin1String("jpeg") && lExt != QLatin1String("png"))
            throw ECtlUsage(QStringLiteral("frames are saved as .jpg or .png, not \"%1\"").arg(lFile));
    }

    TVISetup lSettings = DeskSettings();
    if (!lServer.isEmpty())
        lSettings.m_sServer = lServer;
    if (!lLogin.isEmpty())
        lSettings.m_sLogin = lLogin;
    if (lHasPassword)
        lSettings.m_sPasswMd5 = VIPasswordMd5(lPassword);
    if (!lCamera.isEmpty())
        lSettings.m_sCamera = lCamera;
    if (!lTimeout.isEmpty()) {
        bool lOk = false;
        lSettings.m_nReqTimeout = lTimeout.toUInt(&lOk);
        if (!lOk)
            throw ECtlUsage(QStringLiteral("--timeout needs milliseconds"));
    }
    if (lWhat != QLatin1String("cameras") && lSettings.m_sCamera.isEmpty())
        throw ECtlUsage(QStringLiteral("no camera chosen in the settings; give --camera ID"));

    TVI lVI;
    lVI.SetServer(lSettings.m_sServer);
    lVI.SetLogin(lSettings.m_sLogin);
    lVI.SetPasswMd5(lSettings.m_sPasswMd5);
    lVI.SetCurrentCamera(lSettings.m_sCamera);
    lVI.SetTimeOffs(lSettings.m_nTimeOffs);
    lVI.SetReqTimeout(lSettings.m_nReqTimeout);
    lVI.SetActive(true);
    if (lWhat == QLatin1String("cameras")) {
        RunRequest(lVI, viCameras);
        for (int i = 0; i < lVI.Cameras().Count(); ++i) {
            const TVICamera* lCam = lVI.Cameras().GetItem(i);
            AIo.m_oOut << lCam->m_nLink << '\t' << lCam->m_sTitle << "\n";
        }
        return;
    }
    if (lWhat == QLatin1String("live")) {
        RunRequest(lVI, viLiveFoto);
        SaveImage(lVI.LiveFoto(), lFile);
    } else {
        const QDate lDate = lMoment.date();
        const QTime lTime = lMoment.time();
        lVI.SetNewArhFotoDate(EncodeDate(lDate.year(), lDate.month(), lDate.day()) +
                              EncodeTime(lTime.hour(), lTime.minute(), lTime.second(), 0));
        RunRequest(lVI, viArhFoto);
        SaveImage(lVI.ArchiveFoto(), lFile);
    }
    AIo.m_oErr << "tarvoctl: frame of " << lSettings.m_sCamera << " written to " << lFile << "\n";
}

} // namespace TarvoCtl
