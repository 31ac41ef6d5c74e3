// tarvoctl camera: the webcams as the front desk sees them, and one test photo, so that an
// installer can check a camera from a shell.

#include "apps/tarvoctl/uTarvoCtl.h"

#include "camera/uWebCam.h"

#include <QFileInfo>

namespace TarvoCtl {

namespace {

const char* const cCameraUsage =
    "Usage: tarvoctl camera list | camera shot NAME FILE.jpg [--mode N]\n"
    "list shows each video capture device by the name the front desk's settings use, then its modes\n"
    "as \"N - WIDTHxHEIGHTxBITS (FPS fps)\". shot opens camera NAME (in mode N, else its own format),\n"
    "waits for a frame and saves it as a JPEG of quality 90.\n";

// The waits for a first frame: a camera may need a moment to adjust after opening.
constexpr int cShotTimeoutMs = 5000;

QString ModeText(int AIdx, const TWebCamMode& AMode) {
    return QString::asprintf("%d - %dx%dx%d (%d fps)", AIdx, AMode.m_nWidth, AMode.m_nHeight,
                             AMode.m_nBitCount, AMode.m_nFps);
}

void ListCameras(TCtlIo AIo) {
    QStringList aNames;
    GetWebCamList(aNames);
    if (aNames.isEmpty()) {
        AIo.m_oErr << "tarvoctl: no camera found\n";
        return;
    }
    for (const QString& sName : aNames) {
        AIo.m_oOut << sName << "\n";
        TWebCamModeList oModes;
        GetWebCamModes(sName, oModes);
        for (int i = 0; i < oModes.Count(); ++i)
            AIo.m_oOut << "  " << ModeText(i, oModes.GetItem(i)) << "\n";
    }
}

void TakeShot(const QString& AName, const QString& AFile, int AMode, TCtlIo AIo) {
    TWebCamModeList oModes;
    if (!GetWebCamModes(AName, oModes))
        throw ECtlFailure(
            QStringLiteral("no camera named \"%1\" (tarvoctl camera list shows them)").arg(AName));
    if (AMode >= oModes.Count())
        throw ECtlFailure(QStringLiteral("camera \"%1\" has no mode %2 (its modes are 0 to %3)")
                              .arg(AName)
                              .arg(AMode)
                              .arg(oModes.Count() - 1));
    TWebCam oCam;
    oCam.SetCamera(AName);
    oCam.SetCurrentMode(AMode);
    try {
        oCam.SetActive(true);
    } catch (const EWebCamError& E) {
        throw ECtlFailure(QStringLiteral("camera \"%1\": %2").arg(AName, E.Message()));
    }
    if (!oCam.GetActive())
        throw ECtlFailure(QStringLiteral("camera \"%1\" could not be opened").arg(AName));
    QImage oImage;
    if (!oCam.GrabShot(oImage, cShotTimeoutMs))
        throw ECtlFailure(QStringLiteral("camera \"%1\" delivered no picture within %2 s")
                              .arg(AName)
                              .arg(cShotTimeoutMs / 1000));
    oCam.SetActive(false);
    QString sError;
    if (!SaveJpeg(oImage, AFile, &sError))
        throw ECtlFailure(sError);
    AIo.m_oErr << "tarvoctl: " << oImage.width() << 'x' << oImage.height() << " photo from " << AName
               << " written to " << AFile << "\n";
}

} // namespace

void CameraCommand(const QStringList& AArgs, TCtlIo AIo) {
    if (AsksForHelp(AArgs)) {
        AIo.m_oOut << cCameraUsage;
        return;
    }
    if (AArgs.isEmpty())
        throw ECtlUsage(QStringLiteral("camera needs list or shot"));
    const QString sSub = AArgs.front();
    if (sSub == QLatin1String("list")) {
        if (AArgs.size() != 1)
            throw ECtlUsage(QStringLiteral("camera list takes no arguments"));
        ListCameras(AIo);
        return;
    }
    if (sSub != QLatin1String("shot"))
        throw ECtlUsage(QStringLiteral("unknown camera command \"%1\"").arg(sSub));
    QStringList aRest = AArgs.mid(1);
    int nMode = -1;
    const qsizetype nModeAt = aRest.indexOf(QStringLiteral("--mode"));
    if (nModeAt >= 0) {
        bool fOk = false;
        nMode = nModeAt + 1 < aRest.size() ? aRest.at(nModeAt + 1).toInt(&fOk) : -1;
        if (!fOk || nMode < 0)
            throw ECtlUsage(QStringLiteral("--mode needs a mode number (0, 1, ...)"));
        aRest.remove(nModeAt, 2);
    }
    if (aRest.size() != 2 || aRest.at(0).isEmpty())
        throw ECtlUsage(QStringLiteral("camera shot needs NAME and FILE.jpg"));
    const QString sSuffix = QFileInfo(aRest.at(1)).suffix().toLower();
    if (sSuffix != QLatin1String("jpg") && sSuffix != QLatin1String("jpeg"))
        throw ECtlUsage(QStringLiteral("the photo is saved as .jpg, not \"%1\"").arg(aRest.at(1)));
    TakeShot(aRest.at(0), aRest.at(1), nMode, AIo);
}

} // namespace TarvoCtl
