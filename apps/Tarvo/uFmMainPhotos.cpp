// The main window's photos: the camera sources, the webcam series at each card event, the camera
// lost and back, the archive viewer of the camera icons, and the pruning of old photos.

#include "apps/Tarvo/uFmMainPhotos.h"

#include "apps/Tarvo/uFmMain.h"
#include "apps/Tarvo/uVIArchiveFotoDlg.h"
#include "base/uClock.h"
#include "base/uMessages.h"
#include "camera/uWebCam.h"
#include "frontdesk/uPhotoArchive.h"
#include "frontdesk/uTarvoDoc.h"
#include "gui/uPopupMsg.h"
#include "vi/uVI.h"

#include <QTimer>

#include <algorithm>
#include <any>

using namespace Tarvo;

TDeskPhotos::TDeskPhotos(QObject* AParent)
    : QObject(AParent), m_oWebCam(std::make_unique<TWebCam>()), m_oVI(std::make_unique<TVI>()) {
    setObjectName(QStringLiteral("DeskPhotos"));
}

TDeskPhotos::~TDeskPhotos() = default;

void TfmMain::CreatePhotos() {
    m_oPhotos = new TDeskPhotos(this);
    connect(timerShots, &QTimer::timeout, this, [this] { timerShotsTimer(); });
    m_oPhotos->m_oWebCam->FOnCameraLost = [this] { WebCamLost(); };
    m_oPhotos->m_oWebCam->FOnCameraBack = [this] { WebCamBack(); };
}

TWebCam* TfmMain::WebCam() const {
    return m_oPhotos ? m_oPhotos->m_oWebCam.get() : nullptr;
}

TVI* TfmMain::VI() const {
    return m_oPhotos ? m_oPhotos->m_oVI.get() : nullptr;
}

TfmVIArchiveFotoDlg* TfmMain::ArchFotoDlg() const {
    return m_oPhotos ? m_oPhotos->m_pArchFotoDlg.data() : nullptr;
}

int TfmMain::WebcamShotsLeft() const {
    return m_oPhotos ? m_oPhotos->m_nWebcamShots : 0;
}

int TfmMain::ShotFailures() const {
    return m_oPhotos ? m_oPhotos->m_nShotFailures : 0;
}

void TfmMain::ApplyCameraSources() {
    TWebCam& lCam = *m_oPhotos->m_oWebCam;
    const QString lName = m_oDoc->WebCamera();
    const bool lWanted = m_oDoc->CamSource() == 1 && !lName.isEmpty();
    try {
        if (lWanted && lCam.GetCamera() != lName) {
            lCam.SetActive(false);
            lCam.SetCamera(lName);
        }
        lCam.SetCurrentMode(m_oDoc->WebcamMode());
        lCam.SetActive(lWanted);
        if (lWanted && !lCam.GetActive())
            ShowPhotoPopup(FormatResString(MSG_CAMERA_NOT_FOUND, {lName}), true);
    } catch (const std::exception& e) {
        // Start-up and the settings go on without photos; the operator is told, the log keeps it.
        const QString lText =
            FormatResString(MSG_CAMERA_NOT_STARTED, {lName, QString::fromLocal8Bit(e.what())});
        m_oDoc->DoDebugMessage(lText);
        ShowPhotoPopup(lText, true);
    }
    ApplyVideoServer(*m_oPhotos->m_oVI, *m_oDoc);
    PrunePhotos();
}

namespace {

TVISetup DocVISetup(const TTarvoDoc& ADoc) {
    TVISetup lSetup;
    lSetup.m_fChosen = ADoc.CamSource() == 2;
    lSetup.m_sServer = ADoc.VIServer();
    lSetup.m_sLogin = ADoc.VILogin();
    lSetup.m_sPasswMd5 = ADoc.VIPasswMd5();
    lSetup.m_sCamera = ADoc.VICamera();
    lSetup.m_sCameraTitle = ADoc.VICameraTitle();
    lSetup.m_nTimeOffs = ADoc.VITimeOffs();
    lSetup.m_nReqTimeout = ADoc.VIReqTimeOut();
    return lSetup;
}

} // namespace

bool VideoServerWanted(const TTarvoDoc& ADoc) {
    return DocVISetup(ADoc).Wanted();
}

void ApplyVideoServer(TVI& AVI, const TTarvoDoc& ADoc) {
    ApplyVISetup(AVI, DocVISetup(ADoc));
}

void TfmMain::ShowPhotoPopup(const QString& AText, bool AStays) {
    if (!m_oPopups)
        return;
    TfmPopupMessageDlg* lPopup =
        m_oPopups->ShowPopupMessage(AText, std::any(), m_oDoc->PopupFontName(), m_oDoc->PopupFontSize(),
                                    AStays ? 0u : m_oDoc->PopupTimeOut() * 1000u);
    if (AStays) {
        if (m_oPhotos->m_pLostPopup)
            m_oPopups->ClosePopup(m_oPhotos->m_pLostPopup);
        m_oPhotos->m_pLostPopup = lPopup;
        lPopup->setObjectName(QStringLiteral("fmCameraLost"));
    }
}

void TfmMain::WebCamLost() {
    timerShots->stop();
    m_oPhotos->m_nWebcamShots = 0;
    if (m_oPhotos->m_fCameraLostShown)
        return;
    m_oPhotos->m_fCameraLostShown = true;
    const QString lText = FormatResString(MSG_CAMERA_LOST, {m_oPhotos->m_oWebCam->GetCamera()});
    m_oDoc->DoDebugMessage(lText);
    ShowPhotoPopup(lText, true);
}

void TfmMain::WebCamBack() {
    if (!m_oPhotos->m_fCameraLostShown)
        return;
    m_oPhotos->m_fCameraLostShown = false;
    if (m_oPhotos->m_pLostPopup)
        m_oPopups->ClosePopup(m_oPhotos->m_pLostPopup);
    const QString lText = FormatResString(MSG_CAMERA_BACK, {m_oPhotos->m_oWebCam->GetCamera()});
    m_oDoc->DoDebugMessage(lText);
    ShowPhotoPopup(lText, false);
}

void TfmMain::StartWebcamSeries(TDateTime ATime) {
    PrunePhotos();
    TWebCam& lCam = *m_oPhotos->m_oWebCam;
    if (m_oDoc->WebcamNumShots() <= 0 || !lCam.GetActive())
        return;
    // A series started while another runs replaces it.
    timerShots->stop();
    TakeWebcamShot(ATime);
    m_oPhotos->m_nWebcamShots = m_oDoc->WebcamNumShots() - 1;
    if (m_oPhotos->m_nWebcamShots > 0) {
        timerShots->setInterval(
            static_cast<int>(std::clamp<std::uint32_t>(m_oDoc->WebcamInterval(), 10u, 1000000u)));
        timerShots->start();
    }
}

void TfmMain::timerShotsTimer() {
    --m_oPhotos->m_nWebcamShots;
    if (m_oPhotos->m_nWebcamShots <= 0)
        timerShots->stop();
    if (m_oPhotos->m_oWebCam->GetActive())
        TakeWebcamShot(Now());
}

bool TfmMain::TakeWebcamShot(TDateTime ATime) {
    TWebCam& lCam = *m_oPhotos->m_oWebCam;
    if (!lCam.GetActive())
        return false;
    QString lError;
    QString lPath;
    QImage lImage;
    if (!lCam.GetBitmap(lImage)) {
        lError = QStringLiteral("the camera has delivered no picture yet");
    } else {
        try {
            lPath = m_oDoc->GetArchFotoPath(ATime, true);
            if (!SaveJpeg(lImage, lPath, &lError) && lError.isEmpty())
                lError = QStringLiteral("the file could not be written");
        } catch (const std::exception& e) {
            lError = QString::fromLocal8Bit(e.what());
        }
    }
    if (lError.isEmpty()) {
        ++m_oPhotos->m_nShotsSaved;
        return true;
    }
    // A shot that fails is skipped: the card event stays done, the next shot is tried as planned.
    ++m_oPhotos->m_nShotFailures;
    m_oPhotos->m_sLastShotError = lError;
    m_oDoc->DoDebugMessage(QStringLiteral("Photo of %1 skipped (%2 skipped since the start): %3")
                               .arg(ArchFotoTimeText(ATime))
                               .arg(m_oPhotos->m_nShotFailures)
                               .arg(lError));
    return false;
}

void TfmMain::PrunePhotos() {
    const std::int32_t lDays = m_oDoc->KeepPhotoDays();
    const TDate lDay = m_oDoc->ReportDate();
    if (lDays <= 0 || (m_oPhotos->m_dtPrunedDay == lDay && m_oPhotos->m_nPrunedDays == lDays))
        return;
    m_oPhotos->m_dtPrunedDay = lDay;
    m_oPhotos->m_nPrunedDays = lDays;
    const TArchPruneResult lResult = PruneArchFotos(m_oDoc->GetArchFotoDir(false), lDays, Now());
    if (lResult.m_nDeleted > 0 || lResult.m_nFailed > 0)
        m_oDoc->DoDebugMessage(
            QStringLiteral("Photos older than %1 days deleted: %2 (%3 could not be deleted)")
                .arg(lDays)
                .arg(lResult.m_nDeleted)
                .arg(lResult.m_nFailed));
}

void TfmMain::ShowCameraArchFoto(TDateTime ATimeIn, TDateTime ATimeOut, int ATimeIdx) {
    if (!isVisible())
        ShowMainWnd(true);
    if (!m_oPhotos->m_pArchFotoDlg) {
        TVI* lVI = m_oPhotos->m_oVI->Active() ? m_oPhotos->m_oVI.get() : nullptr;
        auto* lDlg = new TfmVIArchiveFotoDlg(this, *m_oDoc, lVI);
        lDlg->SetFreeOnClose(true);
        m_oPhotos->m_pArchFotoDlg = lDlg;
    }
    TfmVIArchiveFotoDlg* lDlg = m_oPhotos->m_pArchFotoDlg;
    lDlg->SetParameters(ATimeIn, ATimeOut, ATimeIdx, m_oDoc->VIStepViewing());
    lDlg->show();
    lDlg->raise();
    lDlg->activateWindow();
}
