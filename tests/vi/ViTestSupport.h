#pragma once
// Helpers of the video-server client tests: one QCoreApplication, waiting on its event loop with a
// guard time, the vmssim simulator as a separate process, and a raw TCP server whose answers a test
// writes byte by byte.

#include "vi/uVI.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QProcess>
#include <QStringList>
#include <QTimer>

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <atomic>
#include <filesystem>
#include <functional>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace ViTest {

// Guards waits that only end early when something is broken.
inline constexpr int Patience = 20000;

inline void EnsureApp() {
    if (!QCoreApplication::instance()) {
        static int s_nArgc = 1;
        static char s_sName[] = "vi_tests";
        static char* s_aArgv[] = {s_sName, nullptr};
        new QCoreApplication(s_nArgc, s_aArgv);
    }
}

// Runs the event loop until APred holds; false when AGuardMs ran out first.
inline bool WaitUntil(const std::function<bool()>& APred, int AGuardMs = Patience) {
    QDeadlineTimer lGuard(AGuardMs);
    QTimer lTick; // wakes the loop now and then so the guard is looked at
    lTick.start(10);
    while (!APred()) {
        if (lGuard.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 50);
    }
    return true;
}

// Delivers what is already posted (a done message that should not be there shows up here).
inline void DrainEvents() {
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

inline QString Md5(const QByteArray& APassword) {
    return QString::fromLatin1(
        QCryptographicHash::hash(APassword, QCryptographicHash::Md5).toHex().toUpper());
}

// Folder of vmssim: $TARVO_BIN_DIR, else bin/ beside the test's own folder.
inline QString BinDir() {
    const QString lDir = qEnvironmentVariable("TARVO_BIN_DIR");
    if (!lDir.isEmpty())
        return lDir;
    return QString::fromStdString(
        (std::filesystem::read_symlink("/proc/self/exe").parent_path().parent_path() / "bin").string());
}

// vmssim started for the test's lifetime; its request lines are collected.
class TVmsSim {
public:
    explicit TVmsSim(QStringList AArgs) {
        m_oProcess.setProgram(BinDir() + QStringLiteral("/vmssim"));
        m_oProcess.setArguments(AArgs);
        m_oProcess.setProcessChannelMode(QProcess::SeparateChannels);
        m_oProcess.start();
        if (!m_oProcess.waitForStarted(Patience))
            return;
        QDeadlineTimer lGuard(Patience);
        while (m_nPort == 0 && !lGuard.hasExpired() && m_oProcess.state() == QProcess::Running) {
            if (!m_oProcess.canReadLine())
                m_oProcess.waitForReadyRead(100);
            while (m_oProcess.canReadLine()) {
                const QByteArray lLine = m_oProcess.readLine().trimmed();
                if (lLine.startsWith("port "))
                    m_nPort = lLine.mid(5).toInt();
            }
        }
    }
    ~TVmsSim() {
        m_oProcess.kill();
        m_oProcess.waitForFinished(Patience);
    }
    int Port() const { return m_nPort; }
    // What the simulator wrote on standard error (why it did not start).
    std::string Errors() { return m_oProcess.readAllStandardError().toStdString(); }
    QString Server() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_nPort); }
    // Request lines printed so far.
    const QStringList& Lines() {
        while (m_oProcess.canReadLine() || m_oProcess.waitForReadyRead(0))
            while (m_oProcess.canReadLine())
                m_aLines << QString::fromUtf8(m_oProcess.readLine().trimmed());
        return m_aLines;
    }
    // Lines of requests to APath (the simulator's own control requests are left out).
    QStringList Requests(const QString& APath = QString()) {
        QStringList lOut;
        for (const QString& lLine : Lines())
            if (lLine.startsWith(QLatin1String("GET ")) && !lLine.startsWith(QLatin1String("GET /sim/")) &&
                (APath.isEmpty() || lLine.startsWith(QStringLiteral("GET ") + APath + QLatin1Char(' '))))
                lOut << lLine;
        return lOut;
    }
    // Runs the event loop until ACount requests to APath have been printed.
    bool WaitForRequests(const QString& APath, int ACount) {
        return WaitUntil([&] { return Requests(APath).size() >= ACount; });
    }
    // A control request (/sim/fault?name=..., /sim/forget) made with a plain blocking socket.
    bool Control(const std::string& ATarget);

private:
    QProcess m_oProcess;
    int m_nPort = 0;
    QStringList m_aLines;
};

// One blocking GET on loopback; the answer's bytes until the server closes or ~1 s of silence.
inline std::string PlainGet(int APort, const std::string& ATarget) {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in lAddr{};
    lAddr.sin_family = AF_INET;
    lAddr.sin_port = htons(static_cast<std::uint16_t>(APort));
    lAddr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    std::string lAnswer;
    if (::connect(s, reinterpret_cast<sockaddr*>(&lAddr), sizeof lAddr) == 0) {
        const std::string lRequest =
            "GET " + ATarget + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n\r\n";
        if (::send(s, lRequest.data(), lRequest.size(), MSG_NOSIGNAL) ==
            static_cast<ssize_t>(lRequest.size())) {
            char lBuf[4096];
            pollfd lFd{s, POLLIN, 0};
            while (::poll(&lFd, 1, Patience) > 0) {
                const ssize_t n = ::recv(s, lBuf, sizeof lBuf, 0);
                if (n <= 0)
                    break;
                lAnswer.append(lBuf, static_cast<size_t>(n));
            }
        }
    }
    ::close(s);
    return lAnswer;
}

inline bool TVmsSim::Control(const std::string& ATarget) {
    return PlainGet(m_nPort, ATarget).rfind("HTTP/1.1 200", 0) == 0;
}

// A TCP server on loopback that serves one connection at a time: for each request head received it
// calls the test's reply function with the request's number (from 0) and the socket. The reply
// returns whether the connection stays open for another request.
class TRawServer {
public:
    using TReply = std::function<bool(int AIndex, int AFd)>;

    explicit TRawServer(TReply AReply) : m_fReply(std::move(AReply)) {
        m_nListen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int lOne = 1;
        ::setsockopt(m_nListen, SOL_SOCKET, SO_REUSEADDR, &lOne, sizeof lOne);
        sockaddr_in lAddr{};
        lAddr.sin_family = AF_INET;
        lAddr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t lLen = sizeof lAddr;
        ::bind(m_nListen, reinterpret_cast<sockaddr*>(&lAddr), lLen);
        ::listen(m_nListen, 8);
        ::getsockname(m_nListen, reinterpret_cast<sockaddr*>(&lAddr), &lLen);
        m_nPort = ntohs(lAddr.sin_port);
        if (::pipe(m_aStop) != 0)
            m_aStop[0] = m_aStop[1] = -1;
        m_oThread = std::thread([this] { Serve(); });
    }
    ~TRawServer() {
        [[maybe_unused]] const ssize_t n = ::write(m_aStop[1], "x", 1);
        m_oThread.join();
        ::close(m_nListen);
        ::close(m_aStop[0]);
        ::close(m_aStop[1]);
    }
    QString Server() const { return QStringLiteral("http://127.0.0.1:%1").arg(m_nPort); }
    std::vector<std::string> Requests() {
        std::lock_guard<std::mutex> g(m_oLock);
        return m_aRequests;
    }
    int Connections() const { return m_nConnections; }
    // Whether the client closed the connection the server was answering (or waiting on).
    bool ClientClosed() const { return m_fClientClosed; }

    // Writes all of AText; false when the client has gone.
    static bool Send(int AFd, const std::string& AText) {
        size_t lSent = 0;
        while (lSent < AText.size()) {
            const ssize_t n = ::send(AFd, AText.data() + lSent, AText.size() - lSent, MSG_NOSIGNAL);
            if (n <= 0)
                return false;
            lSent += static_cast<size_t>(n);
        }
        return true;
    }
    // Waits (watching the stop pipe) until the client closes AFd; false when the server is stopped.
    bool WaitForClientClose(int AFd) {
        char lBuf[256];
        for (;;) {
            pollfd lFds[2] = {{AFd, POLLIN, 0}, {m_aStop[0], POLLIN, 0}};
            if (::poll(lFds, 2, -1) < 0 || (lFds[1].revents & POLLIN))
                return false;
            if (::recv(AFd, lBuf, sizeof lBuf, 0) <= 0) {
                m_fClientClosed = true;
                return true;
            }
        }
    }

private:
    void Serve() {
        for (;;) {
            pollfd lFds[2] = {{m_nListen, POLLIN, 0}, {m_aStop[0], POLLIN, 0}};
            if (::poll(lFds, 2, -1) < 0 || (lFds[1].revents & POLLIN))
                return;
            const int lFd = ::accept4(m_nListen, nullptr, nullptr, SOCK_CLOEXEC);
            if (lFd < 0)
                continue;
            ++m_nConnections;
            std::string lPending;
            bool lOpen = true;
            while (lOpen) {
                size_t lEnd = lPending.find("\r\n\r\n");
                while (lEnd == std::string::npos) {
                    pollfd lC[2] = {{lFd, POLLIN, 0}, {m_aStop[0], POLLIN, 0}};
                    if (::poll(lC, 2, -1) < 0 || (lC[1].revents & POLLIN)) {
                        ::close(lFd);
                        return;
                    }
                    char lBuf[4096];
                    const ssize_t n = ::recv(lFd, lBuf, sizeof lBuf, 0);
                    if (n <= 0)
                        break;
                    lPending.append(lBuf, static_cast<size_t>(n));
                    lEnd = lPending.find("\r\n\r\n");
                }
                if (lEnd == std::string::npos)
                    break;
                int lIndex = 0;
                {
                    std::lock_guard<std::mutex> g(m_oLock);
                    m_aRequests.push_back(lPending.substr(0, lEnd + 4));
                    lIndex = static_cast<int>(m_aRequests.size()) - 1;
                }
                lPending.erase(0, lEnd + 4);
                lOpen = m_fReply(lIndex, lFd);
            }
            ::close(lFd);
        }
    }

    TReply m_fReply;
    int m_nListen = -1;
    int m_nPort = 0;
    int m_aStop[2] = {-1, -1};
    std::thread m_oThread;
    std::mutex m_oLock;
    std::vector<std::string> m_aRequests;
    std::atomic<int> m_nConnections{0};
    std::atomic<bool> m_fClientClosed{false};
};

// Counts the done events of a client and records their statuses.
struct TDoneCounter {
    int m_nCameras = 0;
    int m_nLive = 0;
    int m_nArchive = 0;
    void Attach(TVI& AVI) {
        AVI.SetOnCamerasDone([this](TVI&) { ++m_nCameras; });
        AVI.SetOnLiveFotoDone([this](TVI&) { ++m_nLive; });
        AVI.SetOnArchiveFotoDone([this](TVI&) { ++m_nArchive; });
    }
    // Starts one request of AKind on AVI and runs the event loop to its done event; its status and
    // error text.
    TVIStatus Run(TVI& AVI, TVICmdKind AKind, QString* VErr = nullptr) {
        int* lCounter = AKind == viCameras ? &m_nCameras : AKind == viLiveFoto ? &m_nLive : &m_nArchive;
        const int lBefore = *lCounter;
        if (AKind == viCameras)
            AVI.StartRefreshCameras();
        else if (AKind == viLiveFoto)
            AVI.StartRefreshLiveFoto();
        else
            AVI.StartRefreshArhiveFoto();
        EXPECT_TRUE(WaitUntil([&] { return *lCounter > lBefore; })) << "no done event";
        return AVI.GetCmdStatus(AKind, VErr);
    }
};

} // namespace ViTest
