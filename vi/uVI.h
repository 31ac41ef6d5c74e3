#pragma once
// The video-server client. TVI lives on the GUI thread; its worker TVIThread speaks HTTP/1.1 to the
// server over one kept connection, keeps the session cookie, decodes the device tree and the frames,
// and posts a message to a hidden object of the GUI thread, where TVI takes the results over and calls
// the done events.

#include "base/uDateTime.h"
#include "vi/uViTypes.h"

#include <QImage>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>

class TVIThread;
class TVIMsgWindow;

// The message the worker posts when it has finished requests.
inline constexpr std::uint32_t VI_MSG_DONE = 1025;
// ReqTimeout without a limit.
inline constexpr std::uint32_t VI_NO_TIMEOUT = 4294967295u;
inline constexpr std::uint32_t VI_DEFAULT_TIMEOUT = 30000;

class TVI {
public:
    using TNotifyEvent = std::function<void(TVI& ASender)>;

    TVI();
    ~TVI();
    TVI(const TVI&) = delete;
    TVI& operator=(const TVI&) = delete;

    // A window that borrows an event for its lifetime reads the handler first and puts it back after.
    const TNotifyEvent& OnCamerasDone() const { return FOnCamerasDone; }
    void SetOnCamerasDone(TNotifyEvent AEvent) { FOnCamerasDone = std::move(AEvent); }
    const TNotifyEvent& OnLiveFotoDone() const { return FOnLiveFotoDone; }
    void SetOnLiveFotoDone(TNotifyEvent AEvent) { FOnLiveFotoDone = std::move(AEvent); }
    const TNotifyEvent& OnArchiveFotoDone() const { return FOnArhFotoDone; }
    void SetOnArchiveFotoDone(TNotifyEvent AEvent) { FOnArhFotoDone = std::move(AEvent); }

    // Scheme, host and port, without a trailing path. Server, login and digest are taken by the worker
    // when it starts: change them while inactive (or deactivate and reactivate).
    const QString& Server() const { return m_sServer; }
    void SetServer(const QString& AValue) { m_sServer = AValue; }
    const QString& Login() const { return m_sLogin; }
    void SetLogin(const QString& AValue) { m_sLogin = AValue; }
    // MD5 of the password as 32 upper-case hexadecimal digits.
    const QString& PasswMd5() const { return m_sPasswMd5; }
    void SetPasswMd5(const QString& AValue) { m_sPasswMd5 = AValue; }

    const TVICameraList& Cameras() const { return m_oCameras; }
    const QString& CurrentCamera() const { return m_sCurrentCamera; }
    void SetCurrentCamera(const QString& AValue) { m_sCurrentCamera = AValue; }
    const QString& CurrCamTitle() const { return m_sCurrCamTitle; }
    void SetCurrCamTitle(const QString& AValue) { m_sCurrCamTitle = AValue; }
    // Seconds added to the requested moment of an archived frame.
    std::int32_t TimeOffs() const { return m_nTimeOffs; }
    void SetTimeOffs(std::int32_t AValue) { m_nTimeOffs = AValue; }

    // The last images received; null before the first. A failed request leaves the previous one.
    const QImage* LiveFoto() const { return m_oLiveFoto.get(); }
    const QImage* ArchiveFoto() const { return m_oArchiveFoto.get(); }
    TDateTime CurrArhFotoDate() const { return m_dtCurrAFDate; }
    TDateTime NewArhFotoDate() const { return m_dtNewAFDate; }
    void SetNewArhFotoDate(TDateTime AValue) { m_dtNewAFDate = AValue; }

    // Milliseconds; VI_NO_TIMEOUT waits without limit.
    std::uint32_t ReqTimeout() const { return m_nReqTimeout; }
    void SetReqTimeout(std::uint32_t AValue) { m_nReqTimeout = AValue; }

    bool Active() const { return m_oTr != nullptr; }
    // true starts the worker (a new session); false stops it and drops results not taken over.
    void SetActive(bool AValue);

    // Each requires Active; a kind already pending is superseded (its outcome dropped).
    void StartRefreshCameras();
    void StartRefreshLiveFoto();
    void StartRefreshArhiveFoto();
    // The kind's status and, with VErrText, its last error text. Inactive: viCancelled, no text.
    TVIStatus GetCmdStatus(TVICmdKind ACmd, QString* VErrText = nullptr) const;
    // Cancels every kind at once and ends the request in progress at its next wait (inactive: nothing).
    void BreakAll();

private:
    friend class TVIMsgWindow;
    void Start(TVICmdKind AKind);
    void WndProc(std::uint32_t AMsg);
    void Notify(const TNotifyEvent& AEvent);

    TNotifyEvent FOnCamerasDone;
    TNotifyEvent FOnLiveFotoDone;
    TNotifyEvent FOnArhFotoDone;
    QString m_sServer;
    QString m_sLogin;
    QString m_sPasswMd5;
    TVICameraList m_oCameras;
    QString m_sCurrentCamera;
    QString m_sCurrCamTitle;
    std::int32_t m_nTimeOffs = 0;
    std::unique_ptr<QImage> m_oLiveFoto;
    std::unique_ptr<QImage> m_oArchiveFoto;
    TDateTime m_dtCurrAFDate = 0;
    TDateTime m_dtNewAFDate = 0;
    std::unique_ptr<TVIThread> m_oTr;
    std::unique_ptr<TVIMsgWindow> m_hWin;
    std::uint32_t m_nReqTimeout = VI_DEFAULT_TIMEOUT;
};

// What a client is set up from. It is wanted when the video server is the chosen camera source and
// server, login and digest are all given.
struct TVISetup {
    bool m_fChosen = false;
    QString m_sServer;
    QString m_sLogin;
    QString m_sPasswMd5;
    QString m_sCamera;
    QString m_sCameraTitle;
    std::int32_t m_nTimeOffs = 0;
    std::uint32_t m_nReqTimeout = VI_DEFAULT_TIMEOUT;
    bool Wanted() const {
        return m_fChosen && !m_sServer.isEmpty() && !m_sLogin.isEmpty() && !m_sPasswMd5.isEmpty();
    }
};
// Sets AVI up: when wanted, a server, login or digest other than the client's deactivates it first (the
// worker takes them when it starts) and the client takes all three; then it takes the camera, its
// title, the time offset and the request time-out, and is active exactly when wanted.
void ApplyVISetup(TVI& AVI, const TVISetup& ASetup);

// Local moment to UTC by the system's time-zone rules. Raises Exception "Error converting to UTC Time.
// Time zone could not be determined." when the rules cannot be had.
TDateTime LocalToUtc(TDateTime ALocal);
// The UTC milliseconds since 1970-01-01 of a local moment plus AOffsSecs seconds.
std::int64_t LocalToUtcMSecs(TDateTime ALocal, std::int32_t AOffsSecs);
// The password's digest as the server checks it and PasswMd5 holds it: MD5 of its bytes in the system's
// 8-bit code page, 32 upper-case hexadecimal digits.
QString VIPasswordMd5(const QString& APassword);
