// HTTP/1.1 over the worker's kept TCP connection: the session rules, up to three sends, the answer
// head and its body, all waits watching the abort event and the time limit.
#include "vi/uVIThread.h"

#include "base/uCodePage.h"
#include "base/uExceptions.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

[[noreturn]] void RaiseSystemError(int AError) {
    throw Exception(
        QStringLiteral("%1 (error %2)").arg(QString::fromLocal8Bit(std::strerror(AError))).arg(AError));
}

[[noreturn]] void RaiseNotResponding() {
    throw Exception(QStringLiteral("The server is not responding."));
}

// A login or digest put into the query: the characters that would end the field or the request line
// are escaped.
QString QueryField(const QString& AText) {
    QString lOut;
    for (const QChar c : AText) {
        if (c.unicode() <= 0x20 || c.unicode() == 0x7F || c == QLatin1Char('&') || c == QLatin1Char('#') ||
            c == QLatin1Char('%') || c == QLatin1Char('+') || c == QLatin1Char('='))
            lOut += QStringLiteral("%%1").arg(c.unicode(), 2, 16, QLatin1Char('0')).toUpper();
        else
            lOut += c;
    }
    return lOut;
}

// The path and query as sent: bytes that would break the request line are escaped.
QByteArray WirePath(const QString& APathQuery) {
    QByteArray lOut;
    for (const char c : ToAnsi(APathQuery)) {
        const unsigned char u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7F)
            lOut += QByteArray("%") + QByteArray::number(u, 16).rightJustified(2, '0').toUpper();
        else
            lOut += c;
    }
    return lOut;
}

} // namespace

std::optional<TVIThread::TClock::time_point> TVIThread::DeadlineFromNow() const {
    if (m_nRunTimeout == 0xFFFFFFFFu)
        return std::nullopt;
    return TClock::now() + std::chrono::milliseconds(m_nRunTimeout);
}

TVIThread::TWait TVIThread::WaitSocket(short AEvents, std::optional<TClock::time_point> ADeadline) {
    for (;;) {
        int lTimeout = -1;
        if (ADeadline) {
            const auto lLeft =
                std::chrono::duration_cast<std::chrono::milliseconds>(*ADeadline - TClock::now()).count();
            lTimeout = lLeft <= 0 ? 0 : static_cast<int>(std::min<long long>(lLeft + 1, 1 << 30));
        }
        pollfd lFds[2] = {{m_hAbortEvent.Fd(), POLLIN, 0}, {m_hSocket, AEvents, 0}};
        const int n = ::poll(lFds, 2, lTimeout);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            RaiseSystemError(errno);
        }
        if (lFds[0].revents & POLLIN)
            return TWait::Abort;
        if (lFds[1].revents)
            return TWait::Ready;
        if (ADeadline && TClock::now() >= *ADeadline)
            return TWait::TimedOut;
    }
}

void TVIThread::CloseSocket() {
    if (m_hSocket >= 0) {
        ::close(m_hSocket);
        m_hSocket = -1;
    }
}

bool TVIThread::Connect(const Vi::TServerAddress& AAddress, bool& VAborted) {
    VAborted = false;
    addrinfo lHints{};
    lHints.ai_family = AF_INET;
    lHints.ai_socktype = SOCK_STREAM;
    // A host that begins with a digit is a numeric address; any other is resolved by name.
    if (!AAddress.m_sHost.isEmpty() && AAddress.m_sHost.front().isDigit())
        lHints.ai_flags = AI_NUMERICHOST;
    addrinfo* lResult = nullptr;
    const QByteArray lHost = AAddress.m_sHost.toUtf8();
    const int lRc = ::getaddrinfo(lHost.constData(), nullptr, &lHints, &lResult);
    if (lRc != 0 || !lResult)
        throw Exception(QStringLiteral("The server \"%1\" could not be found: %2")
                            .arg(AAddress.m_sHost, QString::fromLocal8Bit(::gai_strerror(lRc))));
    sockaddr_in lAddr{};
    std::memcpy(&lAddr, lResult->ai_addr, sizeof lAddr);
    ::freeaddrinfo(lResult);
    lAddr.sin_port = htons(static_cast<std::uint16_t>(AAddress.m_nPort));

    m_hSocket = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (m_hSocket < 0)
        RaiseSystemError(errno);
    const int lOne = 1;
    ::setsockopt(m_hSocket, IPPROTO_TCP, TCP_NODELAY, &lOne, sizeof lOne);
    if (::connect(m_hSocket, reinterpret_cast<const sockaddr*>(&lAddr), sizeof lAddr) == 0)
        return true;
    if (errno != EINPROGRESS) {
        CloseSocket();
        return false;
    }
    switch (WaitSocket(POLLOUT, DeadlineFromNow())) {
    case TWait::Abort:
        CloseSocket();
        VAborted = true;
        return false;
    case TWait::TimedOut:
        CloseSocket();
        return false;
    case TWait::Ready:
        break;
    }
    int lError = 0;
    socklen_t lLen = sizeof lError;
    if (::getsockopt(m_hSocket, SOL_SOCKET, SO_ERROR, &lError, &lLen) != 0 || lError != 0) {
        CloseSocket();
        return false;
    }
    return true;
}

bool TVIThread::HttpGetLogin(const QString& APathQuery, TAnswer& VAnswer) {
    QString lUrl = m_rSettings.m_sServer + APathQuery;
    if (!m_oCookie.HasCookie(QStringLiteral("WSID")))
        lUrl += QStringLiteral("&u=%1&p=%2")
                    .arg(QueryField(m_rSettings.m_sLogin), QueryField(m_rSettings.m_sPasswMd5));
    const bool lResult = HttpGet(lUrl, true, VAnswer);
    if (lResult && VAnswer.m_nStatus == 401)
        m_oCookie.Clear();
    return lResult;
}

bool TVIThread::HttpGet(const QString& AUrl, bool AAllowRedirect, TAnswer& VAnswer) {
    VAnswer = TAnswer();
    Vi::TServerAddress lAddress;
    if (!Vi::SplitServerAddress(AUrl, lAddress))
        throw Exception(QStringLiteral("The video server address \"%1\" is not valid.").arg(AUrl));
    bool lRedirect = AAllowRedirect;
    bool lKeptEarlier = false; // an earlier answer of this request left the connection open

    for (int lAttempt = 0; lAttempt < 3; ++lAttempt) {
        // 1. The connection.
        const bool lReused = m_hSocket >= 0;
        if (!lReused) {
            bool lAborted = false;
            if (!Connect(lAddress, lAborted)) {
                if (lAborted)
                    return false;
                break;
            }
        }

        // 2. The request, sent completely.
        QString lText =
            QStringLiteral("GET %1 HTTP/1.1\r\n"
                           "User-Agent: Mozilla/5.001 (windows; U; NT4.0; en-US; rv:1.0) Gecko/25250101\r\n"
                           "Host: %2:%3\r\n"
                           "Connection: Keep-Alive\r\n")
                .arg(QString::fromLatin1(WirePath(lAddress.m_sPathQuery)), lAddress.m_sHost)
                .arg(lAddress.m_nPort);
        const QString lCookies = m_oCookie.HeaderFor(lAddress.m_sPathQuery);
        if (!lCookies.isEmpty())
            lText += QStringLiteral("Cookie: %1\r\n").arg(lCookies);
        lText += QStringLiteral("\r\n");
        const QByteArray lRequest = ToAnsi(lText);

        bool lClosed = false;
        qsizetype lSent = 0;
        const auto lSendDeadline = DeadlineFromNow();
        while (lSent < lRequest.size() && !lClosed) {
            const ssize_t n = ::send(m_hSocket, lRequest.constData() + lSent,
                                     static_cast<size_t>(lRequest.size() - lSent), MSG_NOSIGNAL);
            if (n > 0) {
                lSent += n;
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
                if (errno == EPIPE || errno == ECONNRESET) {
                    lClosed = true;
                    break;
                }
                const int lError = errno;
                CloseSocket();
                RaiseSystemError(lError);
            }
            switch (WaitSocket(POLLOUT, lSendDeadline)) {
            case TWait::Abort:
                CloseSocket();
                return false;
            case TWait::TimedOut:
                lClosed = true;
                break;
            case TWait::Ready:
                break;
            }
        }
        if (lClosed) {
            CloseSocket();
            if (lReused || lKeptEarlier)
                continue;
            break;
        }

        // 3. The answer.
        QByteArray lHeadBytes;
        bool lHeadDone = false;
        Vi::TAnswerHead lHead;
        std::int64_t lBodyGot = 0;
        std::int64_t lIgnored = 0; // bytes after a head without a usable length
        bool lComplete = false;
        bool lAnyByte = false;
        bool lTimedOut = false;
        VAnswer.m_aBody.clear();
        const auto lReadDeadline = DeadlineFromNow();
        char lBlock[1024];
        while (!lComplete && m_hSocket >= 0) {
            const bool lPastLimit = lReadDeadline && TClock::now() >= *lReadDeadline;
            const TWait lWait = WaitSocket(POLLIN | POLLRDHUP, lPastLimit ? TClock::now() : lReadDeadline);
            if (lWait == TWait::Abort) {
                CloseSocket();
                return false;
            }
            if (lWait == TWait::TimedOut) {
                lTimedOut = true;
                CloseSocket();
                break;
            }
            const ssize_t n = ::recv(m_hSocket, lBlock, sizeof lBlock, 0);
            if (n == 0) {
                CloseSocket();
                break;
            }
            if (n < 0) {
                if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR) {
                    if (lPastLimit) {
                        lTimedOut = true;
                        CloseSocket();
                    }
                    continue;
                }
                if (errno == ECONNRESET || errno == EPIPE) {
                    CloseSocket();
                    break;
                }
                const int lError = errno;
                CloseSocket();
                RaiseSystemError(lError);
            }
            lAnyByte = true;
            QByteArray lBodyPart;
            if (!lHeadDone) {
                const qsizetype lOld = lHeadBytes.size();
                lHeadBytes.append(lBlock, n);
                // The empty line may straddle two blocks.
                const qsizetype lEnd = lHeadBytes.indexOf("\r\n\r\n", std::max<qsizetype>(0, lOld - 3));
                if (lEnd < 0) {
                    if (lHeadBytes.size() > Vi::MaxHeadBytes) {
                        CloseSocket();
                        throw Exception(QStringLiteral("The server's answer head is longer than %1 KiB.")
                                            .arg(Vi::MaxHeadBytes / 1024));
                    }
                    continue;
                }
                if (lEnd > Vi::MaxHeadBytes) {
                    CloseSocket();
                    throw Exception(QStringLiteral("The server's answer head is longer than %1 KiB.")
                                        .arg(Vi::MaxHeadBytes / 1024));
                }
                lBodyPart = lHeadBytes.mid(lEnd + 4);
                lHead = Vi::ParseAnswerHead(lHeadBytes.left(lEnd));
                lHeadDone = true;
                if (lHead.m_fHasSetCookie)
                    m_oCookie.Apply(lHead.m_sSetCookie, lAddress.m_sPathQuery);
                if (lHead.m_nContentLength > Vi::MaxBodyBytes) {
                    CloseSocket();
                    throw Exception(
                        QStringLiteral("The server's answer is too large (%1 bytes announced, at most "
                                       "%2 accepted).")
                            .arg(lHead.m_nContentLength)
                            .arg(Vi::MaxBodyBytes));
                }
                if (lHead.m_nStatus == 200 && lHead.m_nContentLength > 0)
                    VAnswer.m_aBody.reserve(static_cast<qsizetype>(lHead.m_nContentLength));
                if (lHead.m_fHasContentLength && lHead.m_nContentLength == 0)
                    lComplete = true;
            } else
                lBodyPart = QByteArray(lBlock, n);

            if (lHead.m_nContentLength > 0) {
                const std::int64_t lTake =
                    std::min<std::int64_t>(lBodyPart.size(), lHead.m_nContentLength - lBodyGot);
                if (lHead.m_nStatus == 200)
                    VAnswer.m_aBody.append(lBodyPart.constData(), static_cast<qsizetype>(lTake));
                lBodyGot += lTake;
                if (lBodyGot >= lHead.m_nContentLength)
                    lComplete = true;
            } else if (!lComplete) {
                // Without a length the answer only ends with the connection; what comes meanwhile is
                // not kept, and not without bound either.
                lIgnored += lBodyPart.size();
                if (lIgnored > Vi::MaxBodyBytes) {
                    CloseSocket();
                    RaiseNotResponding();
                }
            }
        }

        if (!lComplete) {
            // 5. Closed or timed out before the answer was complete.
            CloseSocket();
            if (!lTimedOut && (lKeptEarlier || (lReused && !lAnyByte)))
                continue;
            break;
        }

        // 4. A complete answer.
        VAnswer.m_sContentType = lHead.m_sContentType;
        if (lHead.m_nStatus == 200) {
            VAnswer.m_nStatus = 200;
            return true;
        }
        VAnswer.m_aBody.clear();
        if (lHead.m_sConnection != "Keep-Alive")
            CloseSocket();
        if (lHead.m_nStatus == 302 && lRedirect) {
            if (lHead.m_sLocation.contains("notauthorized")) {
                VAnswer.m_nStatus = 401;
                return true;
            }
            lRedirect = false;
            lKeptEarlier = m_hSocket >= 0;
            continue;
        }
        VAnswer.m_nStatus = lHead.m_nStatus;
        return true;
    }
    CloseSocket();
    RaiseNotResponding();
}
