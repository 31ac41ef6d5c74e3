#include "vi/uVI.h"

#include "base/uCodePage.h"
#include "base/uExceptions.h"
#include "vi/uVIThread.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QEvent>
#include <QObject>
#include <QTimeZone>
#include <QtDebug>

namespace {

const QEvent::Type VIMsgEventType = QEvent::Type(QEvent::registerEventType());

} // namespace

// The hidden window of the GUI thread that receives the worker's messages.
class TVIMsgWindow : public QObject {
public:
    explicit TVIMsgWindow(TVI* AOwner) : m_pOwner(AOwner) {}

protected:
    bool event(QEvent* AEvent) override {
        if (AEvent->type() != VIMsgEventType)
            return QObject::event(AEvent);
        m_pOwner->WndProc(VI_MSG_DONE);
        return true;
    }

private:
    TVI* m_pOwner;
};

// Posted by the worker; carries VI_MSG_DONE.
void PostVIMessage(QObject* AWindow) {
    QCoreApplication::postEvent(AWindow, new QEvent(VIMsgEventType));
}

TVI::TVI() : m_sServer(QStringLiteral("http://127.0.0.1:80")) {}

TVI::~TVI() {
    SetActive(false);
}

void TVI::SetActive(bool AValue) {
    if (AValue == Active())
        return;
    if (AValue) {
        m_hWin = std::make_unique<TVIMsgWindow>(this);
        m_oTr = std::make_unique<TVIThread>(this, m_hWin.get(),
                                            TVIConnSettings{m_sServer, m_sLogin, m_sPasswMd5});
    } else {
        m_oTr.reset();
        // Messages still queued for the window go with it.
        m_hWin.reset();
    }
}

void TVI::Start(TVICmdKind AKind) {
    TARVO_ASSERT(Active(), "uVI");
    {
        std::lock_guard<std::mutex> g(m_oTr->m_oCS);
        TVICmd& lCmd = m_oTr->m_aCmds[AKind];
        lCmd.m_nStatus = viPending;
        ++lCmd.m_nId;
        if (AKind != viCameras)
            m_oTr->m_sCurrentCamera = m_sCurrentCamera;
        if (AKind == viArhFoto)
            m_oTr->m_dtNewAFDate = m_dtNewAFDate;
        m_oTr->m_nReqTimeout = m_nReqTimeout;
        m_oTr->m_nTimeOffs = m_nTimeOffs;
    }
    m_oTr->m_hUpdateEvent.Set();
}

void TVI::StartRefreshCameras() {
    Start(viCameras);
}

void TVI::StartRefreshLiveFoto() {
    Start(viLiveFoto);
}

void TVI::StartRefreshArhiveFoto() {
    Start(viArhFoto);
}

TVIStatus TVI::GetCmdStatus(TVICmdKind ACmd, QString* VErrText) const {
    // A window may still ask after the client was deactivated (its settings changed meanwhile).
    if (!Active()) {
        if (VErrText)
            VErrText->clear();
        return viCancelled;
    }
    std::lock_guard<std::mutex> g(m_oTr->m_oCS);
    if (VErrText)
        *VErrText = m_oTr->m_aCmds[ACmd].m_sErrText;
    return m_oTr->m_aCmds[ACmd].m_nStatus;
}

void TVI::BreakAll() {
    if (!Active())
        return;
    // Status and abort event under one lock: the worker clears the event when it takes up a pending
    // kind, and that must never swallow an abort meant for that kind.
    std::lock_guard<std::mutex> g(m_oTr->m_oCS);
    for (TVICmd& lCmd : m_oTr->m_aCmds)
        lCmd.m_nStatus = viCancelled;
    m_oTr->m_hAbortEvent.Set();
}

void TVI::Notify(const TNotifyEvent& AEvent) {
    if (!AEvent)
        return;
    // A handler may replace itself (a window that closes while its error box is up puts back the
    // handler it borrowed): the call runs on a copy, so the running one is never destroyed under it.
    const TNotifyEvent lEvent = AEvent;
    try {
        lEvent(*this);
    } catch (const std::exception& E) {
        qWarning("Video server event handler failed: %s", E.what());
    }
}

void TVI::WndProc(std::uint32_t AMsg) {
    if (AMsg != VI_MSG_DONE || !m_oTr)
        return;
    TVICmdKinds lSync;
    try {
        std::lock_guard<std::mutex> g(m_oTr->m_oCS);
        lSync = m_oTr->m_nWinSync;
        m_oTr->m_nWinSync = TVICmdKinds();
        if (lSync.Contains(viCameras))
            m_oTr->m_oCameras.MoveTo(m_oCameras);
        if (lSync.Contains(viLiveFoto) && m_oTr->m_oLiveFoto)
            m_oLiveFoto = std::move(m_oTr->m_oLiveFoto);
        if (lSync.Contains(viArhFoto)) {
            if (m_oTr->m_oArchiveFoto)
                m_oArchiveFoto = std::move(m_oTr->m_oArchiveFoto);
            m_dtCurrAFDate = m_oTr->m_dtCurrAFDate;
        }
    } catch (const std::exception& E) {
        qWarning("Taking over the video server's results failed: %s", E.what());
    }
    // A handler may deactivate the client; each event checks that it still runs.
    if (lSync.Contains(viCameras))
        Notify(FOnCamerasDone);
    if (lSync.Contains(viLiveFoto) && m_oTr)
        Notify(FOnLiveFotoDone);
    if (lSync.Contains(viArhFoto) && m_oTr)
        Notify(FOnArhFotoDone);
}

namespace {

QDateTime LocalToUtcDateTime(TDateTime ALocal) {
    const QTimeZone lZone = QTimeZone::systemTimeZone();
    if (!lZone.isValid())
        throw Exception(QStringLiteral("Error converting to UTC Time. Time zone could not be determined."));
    const QDateTime lNaive = ToQDateTime(ALocal);
    return QDateTime(lNaive.date(), lNaive.time(), lZone).toUTC();
}

} // namespace

TDateTime LocalToUtc(TDateTime ALocal) {
    const QDateTime lUtc = LocalToUtcDateTime(ALocal);
    const QTime lTime = lUtc.time();
    return EncodeDate(lUtc.date().year(), lUtc.date().month(), lUtc.date().day()) +
           EncodeTime(lTime.hour(), lTime.minute(), lTime.second(), lTime.msec());
}

std::int64_t LocalToUtcMSecs(TDateTime ALocal, std::int32_t AOffsSecs) {
    return LocalToUtcDateTime(ALocal).toMSecsSinceEpoch() + static_cast<std::int64_t>(AOffsSecs) * 1000;
}

QString VIPasswordMd5(const QString& APassword) {
    return QString::fromLatin1(
        QCryptographicHash::hash(ToAnsi(APassword), QCryptographicHash::Md5).toHex().toUpper());
}

void ApplyVISetup(TVI& AVI, const TVISetup& ASetup) {
    const bool lWanted = ASetup.Wanted();
    if (lWanted && (AVI.Server() != ASetup.m_sServer || AVI.Login() != ASetup.m_sLogin ||
                    AVI.PasswMd5() != ASetup.m_sPasswMd5)) {
        AVI.SetActive(false);
        AVI.SetServer(ASetup.m_sServer);
        AVI.SetLogin(ASetup.m_sLogin);
        AVI.SetPasswMd5(ASetup.m_sPasswMd5);
    }
    AVI.SetCurrentCamera(ASetup.m_sCamera);
    AVI.SetCurrCamTitle(ASetup.m_sCameraTitle);
    AVI.SetTimeOffs(ASetup.m_nTimeOffs);
    AVI.SetReqTimeout(ASetup.m_nReqTimeout);
    AVI.SetActive(lWanted);
}
