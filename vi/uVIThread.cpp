// The worker's loop and one kind's request; the HTTP exchange is in uViHttp.cpp.
#include "vi/uVIThread.h"

#include "base/uExceptions.h"
#include "vi/uVI.h"

#include <QBuffer>
#include <QImageReader>

#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

void PostVIMessage(QObject* AWindow); // uVI.cpp

TVIEvent::TVIEvent() : m_nFd(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    if (m_nFd < 0)
        throw Exception(
            QStringLiteral("%1 (error %2)").arg(QString::fromLocal8Bit(std::strerror(errno))).arg(errno));
}

TVIEvent::~TVIEvent() {
    if (m_nFd >= 0)
        ::close(m_nFd);
}

void TVIEvent::Set() {
    const std::uint64_t lOne = 1;
    // A full counter is still set; nothing to do on failure.
    [[maybe_unused]] const ssize_t n = ::write(m_nFd, &lOne, sizeof lOne);
}

void TVIEvent::Reset() {
    std::uint64_t lValue = 0;
    [[maybe_unused]] const ssize_t n = ::read(m_nFd, &lValue, sizeof lValue);
}

bool TVIEvent::IsSet() const {
    pollfd lFd{m_nFd, POLLIN, 0};
    return ::poll(&lFd, 1, 0) > 0 && (lFd.revents & POLLIN);
}

TVIThread::TVIThread(TVI* AOwner, QObject* AWindow, TVIConnSettings ASettings)
    : m_pOwner(AOwner), m_pWindow(AWindow), m_rSettings(std::move(ASettings)) {
    m_oThread = std::thread([this] { Execute(); });
}

TVIThread::~TVIThread() {
    m_fTerminated = true;
    m_hAbortEvent.Set();
    m_hUpdateEvent.Set();
    if (m_oThread.joinable())
        m_oThread.join();
    CloseSocket();
}

void TVIThread::Post() {
    PostVIMessage(m_pWindow);
}

void TVIThread::Execute() {
    static constexpr TVICmdKind cOrder[] = {viCameras, viLiveFoto, viArhFoto};
    while (!m_fTerminated) {
        bool lAnyRun = false;
        for (const TVICmdKind lKind : cOrder) {
            if (m_fTerminated)
                break;
            std::uint32_t lId = 0;
            {
                std::lock_guard<std::mutex> g(m_oCS);
                if (m_aCmds[lKind].m_nStatus != viPending)
                    continue;
                lId = m_aCmds[lKind].m_nId;
                m_nRunTimeout = m_nReqTimeout;
                // An abort set before this kind was (re)started was meant for an earlier request;
                // BreakAll sets it under this lock together with the cancelled status.
                m_hAbortEvent.Reset();
            }
            lAnyRun = true;
            try {
                RunKind(lKind, lId);
            } catch (const std::exception& E) {
                const Exception* lOwn = dynamic_cast<const Exception*>(&E);
                const QString lText = lOwn ? lOwn->Message() : QString::fromLocal8Bit(E.what());
                std::lock_guard<std::mutex> g(m_oCS);
                TVICmd& lCmd = m_aCmds[lKind];
                if (lCmd.m_nId == lId && lCmd.m_nStatus == viPending) {
                    lCmd.m_sErrText = lText;
                    lCmd.m_nStatus = viFail;
                    m_nWinSync.Include(lKind);
                }
            }
        }
        if (lAnyRun)
            Post();
        if (m_fTerminated)
            break;
        WaitIdle();
    }
}

void TVIThread::WaitIdle() {
    for (;;) {
        pollfd lFds[2] = {{m_hUpdateEvent.Fd(), POLLIN, 0}, {m_hSocket, POLLIN | POLLRDHUP, 0}};
        const int lCount = m_hSocket >= 0 ? 2 : 1;
        const int n = ::poll(lFds, lCount, -1);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (lFds[0].revents & POLLIN) {
            m_hUpdateEvent.Reset();
            m_hAbortEvent.Reset();
            return;
        }
        // The server closed its side (or sent what nobody asked for): this connection is done.
        if (lCount == 2 && lFds[1].revents)
            CloseSocket();
    }
}

namespace {

QString CameraArg(const QString& AId) {
    return Vi::DeviceArg(AId);
}

} // namespace

void TVIThread::RunKind(TVICmdKind AKind, std::uint32_t AId) {
    QString lCamera;
    TDateTime lMoment = 0;
    std::int32_t lOffs = 0;
    {
        std::lock_guard<std::mutex> g(m_oCS);
        lCamera = m_sCurrentCamera;
        lMoment = m_dtNewAFDate;
        lOffs = m_nTimeOffs;
    }
    QString lPath;
    switch (AKind) {
    case viCameras:
        lPath = QStringLiteral("/api-json.dyn?cmd=getdevtree");
        break;
    case viLiveFoto:
        lPath = QStringLiteral("/live-video-frame.dyn?device={%1}").arg(CameraArg(lCamera));
        break;
    case viArhFoto: {
        const std::int64_t lMs = LocalToUtcMSecs(lMoment, lOffs);
        lPath = QStringLiteral("/archive-video-frame.dyn?device={%1}&ts=%2&time=%2&still=yes&res=Original")
                    .arg(CameraArg(lCamera))
                    .arg(lMs);
        break;
    }
    }

    TAnswer lAnswer;
    const bool lComplete = HttpGetLogin(lPath, lAnswer);

    // Decoding happens outside the lock: the GUI thread reads statuses meanwhile.
    TVICameraList lCameras;
    std::unique_ptr<QImage> lImage;
    QString lDecodeError;
    if (lComplete && lAnswer.m_nStatus == 200) {
        try {
            if (AKind == viCameras)
                Vi::ParseDeviceTree(lAnswer.m_aBody, lCameras);
            else
                lImage = DecodeVIImage(lAnswer.m_aBody, lAnswer.m_sContentType);
        } catch (const Exception& E) {
            lDecodeError = E.Message();
        }
    }

    std::lock_guard<std::mutex> g(m_oCS);
    TVICmd& lCmd = m_aCmds[AKind];
    if (lCmd.m_nId != AId || lCmd.m_nStatus != viPending)
        return;
    if (!lComplete)
        lCmd.m_nStatus = viCancelled;
    else if (lAnswer.m_nStatus == 200 && lDecodeError.isEmpty()) {
        if (AKind == viCameras)
            lCameras.MoveTo(m_oCameras);
        else if (AKind == viLiveFoto)
            m_oLiveFoto = std::move(lImage);
        else {
            m_oArchiveFoto = std::move(lImage);
            m_dtCurrAFDate = lMoment;
        }
        lCmd.m_nStatus = viSuccess;
    } else {
        lCmd.m_nStatus = viFail;
        if (lAnswer.m_nStatus == 200)
            lCmd.m_sErrText = lDecodeError;
        else if (lAnswer.m_nStatus == 401)
            lCmd.m_sErrText = QStringLiteral("Authorization Error (check username and password)");
        else
            lCmd.m_sErrText = QStringLiteral("Http error #%1.").arg(lAnswer.m_nStatus);
    }
    m_nWinSync.Include(AKind);
}

std::unique_ptr<QImage> DecodeVIImage(const QByteArray& ABody, const QByteArray& AContentType) {
    const QByteArray lType = AContentType.trimmed().toLower();
    // Parameters such as "; charset=..." do not change the type.
    const QByteArray lBare = lType.left(lType.indexOf(';') < 0 ? lType.size() : lType.indexOf(';')).trimmed();
    QByteArray lFormat;
    if (lBare == "image/jpeg" || lBare == "image/pjpeg")
        lFormat = "jpeg";
    else if (lBare == "image/png")
        lFormat = "png";
    else
        throw Exception(QStringLiteral("Unknown image type \"%1\".").arg(QString::fromLatin1(AContentType)));
    QBuffer lBuffer;
    lBuffer.setData(ABody);
    lBuffer.open(QIODevice::ReadOnly);
    QImageReader lReader(&lBuffer, lFormat);
    lReader.setDecideFormatFromContent(false);
    const QSize lSize = lReader.size();
    if (!lSize.isValid())
        throw Exception(
            QStringLiteral("The server's image could not be read: %1").arg(lReader.errorString()));
    if (static_cast<std::int64_t>(lSize.width()) * lSize.height() > Vi::MaxImagePixels)
        throw Exception(QStringLiteral("The server's image is too large (%1 x %2 pixels).")
                            .arg(lSize.width())
                            .arg(lSize.height()));
    auto lImage = std::make_unique<QImage>();
    if (!lReader.read(lImage.get()) || lImage->isNull())
        throw Exception(
            QStringLiteral("The server's image could not be read: %1").arg(lReader.errorString()));
    return lImage;
}
