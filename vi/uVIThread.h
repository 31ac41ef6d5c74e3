#pragma once
// The worker of TVI (see uVI.h). Only TVI uses this header.

#include "base/uDateTime.h"
#include "vi/uViParse.h"
#include "vi/uViTypes.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

class TVI;
class QObject;

// A manual-reset event on an eventfd, so that poll can watch it beside the socket.
class TVIEvent {
public:
    TVIEvent();
    ~TVIEvent();
    TVIEvent(const TVIEvent&) = delete;
    TVIEvent& operator=(const TVIEvent&) = delete;
    void Set();
    void Reset();
    bool IsSet() const;
    int Fd() const { return m_nFd; }

private:
    int m_nFd = -1;
};

// What the worker needs of the owner's settings, copied on the GUI thread.
struct TVIConnSettings {
    QString m_sServer;
    QString m_sLogin;
    QString m_sPasswMd5;
};

class TVIThread {
public:
    TVIThread(TVI* AOwner, QObject* AWindow, TVIConnSettings ASettings);
    // Stops the worker and closes the connection.
    ~TVIThread();
    TVIThread(const TVIThread&) = delete;
    TVIThread& operator=(const TVIThread&) = delete;

private:
    friend class TVI;

    using TClock = std::chrono::steady_clock;

    // One answer as HttpGet hands it over.
    struct TAnswer {
        int m_nStatus = 0;
        QByteArray m_aBody;
        QByteArray m_sContentType;
    };
    enum class TWait { Ready, Abort, TimedOut };

    void Execute();
    void RunKind(TVICmdKind AKind, std::uint32_t AId);
    void WaitIdle();
    bool HttpGetLogin(const QString& APathQuery, TAnswer& VAnswer);
    bool HttpGet(const QString& AUrl, bool AAllowRedirect, TAnswer& VAnswer);
    // Connects to the address; false for a failed or timed-out connect (socket closed). Abort: throws
    // nothing, sets VAborted.
    bool Connect(const Vi::TServerAddress& AAddress, bool& VAborted);
    // Waits for AEvents on the socket, the abort event or ADeadline (none: no limit).
    TWait WaitSocket(short AEvents, std::optional<TClock::time_point> ADeadline);
    std::optional<TClock::time_point> DeadlineFromNow() const;
    void CloseSocket();
    void Post();

    TVI* m_pOwner;
    QObject* m_pWindow;
    mutable std::mutex m_oCS;
    TVIEvent m_hUpdateEvent;
    std::array<TVICmd, VI_CMD_KIND_COUNT> m_aCmds;
    TVICmdKinds m_nWinSync;
    Vi::TCookieJar m_oCookie;
    TVIEvent m_hAbortEvent;
    int m_hSocket = -1;
    TVICameraList m_oCameras;
    QString m_sCurrentCamera;
    std::unique_ptr<QImage> m_oLiveFoto;
    std::unique_ptr<QImage> m_oArchiveFoto;
    TDateTime m_dtCurrAFDate = 0;
    TDateTime m_dtNewAFDate = 0;
    // Copied from the owner at each start, under the lock.
    std::uint32_t m_nReqTimeout = 0;
    std::int32_t m_nTimeOffs = 0;
    // Worker-only state.
    const TVIConnSettings m_rSettings;
    std::uint32_t m_nRunTimeout = 0; // m_nReqTimeout of the request being made
    std::atomic<bool> m_fTerminated{false};
    std::thread m_oThread;
};

// Decodes an answer body by its content type; raises Exception for an unknown type, an image beyond
// Vi::MaxImagePixels or one that does not decode.
std::unique_ptr<QImage> DecodeVIImage(const QByteArray& ABody, const QByteArray& AContentType);
