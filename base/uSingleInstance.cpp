#include "base/uSingleInstance.h"

#include "base/uExceptions.h"
#include "base/uPaths.h"
#include "base/uVersionMark.h"

#include <QFile>
#include <QProcess>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <mutex>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {

std::mutex g_oLock; // guards g_hMutexFile
int g_hMutexFile = -1;

// Empty when the runtime folder cannot be made (then no lock file opens and the callers say so).
QByteArray LockPath(const QString& AName) {
    try {
        return QFile::encodeName(JoinPath(RuntimeDir(), AName));
    } catch (const Exception&) {
        return QByteArray();
    }
}

QByteArray WindowLockPath(const QString& AClass) {
    return LockPath(AClass + QStringLiteral(".window"));
}

int OpenLockFile(const QByteArray& APath) {
    if (APath.isEmpty())
        return -1;
    int fd;
    do
        fd = ::open(APath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    while (fd < 0 && errno == EINTR);
    return fd;
}

// The socket address of a class's listener; false when the path does not fit an address.
bool SocketAddress(const QString& AClass, sockaddr_un& VAddress, QByteArray* VPath = nullptr) {
    const QByteArray path = LockPath(AClass + QStringLiteral(".socket"));
    if (path.isEmpty() || size_t(path.size()) >= sizeof(VAddress.sun_path))
        return false;
    std::memset(&VAddress, 0, sizeof(VAddress));
    VAddress.sun_family = AF_UNIX;
    std::memcpy(VAddress.sun_path, path.constData(), size_t(path.size()));
    if (VPath)
        *VPath = path;
    return true;
}

constexpr char ShowRequest[] = "show\n";
constexpr char ShowAnswer[] = "shown\n";
// A request is one short line; anything longer is not one of ours.
constexpr int MaxRequest = 64;
// Clients served at a time, so that a flood of connections cannot use up the program's descriptors.
constexpr size_t MaxClients = 8;

int Flock(int AFile, int AOperation) {
    int rc;
    do
        rc = ::flock(AFile, AOperation);
    while (rc < 0 && errno == EINTR);
    return rc;
}

} // namespace

bool CheckSingleInstance(bool ASkip, const QStringList& AWindowClasses) {
    // Every program that checks carries the compiled-in version that GetFileVersionPacked reads.
    TouchVersionMark();
    if (ASkip)
        return true;
    {
        std::lock_guard<std::mutex> guard(g_oLock);
        if (g_hMutexFile < 0) {
            const int fd = OpenLockFile(LockPath(QStringLiteral("Tarvo")));
            if (fd < 0)
                return false;
            Flock(fd, LOCK_EX); // waits without limit; like the wait on a mutex, the result is not examined
            g_hMutexFile = fd;
        }
    }
    for (const QString& cls : AWindowClasses) {
        if (MainWindowExists(cls)) {
            ReleaseInstanceMutex();
            return false;
        }
    }
    return true;
}

void ReleaseInstanceMutex() {
    std::lock_guard<std::mutex> guard(g_oLock);
    if (g_hMutexFile < 0)
        return;
    Flock(g_hMutexFile, LOCK_UN);
    ::close(g_hMutexFile);
    g_hMutexFile = -1;
}

bool InstanceMutexHeld() {
    std::lock_guard<std::mutex> guard(g_oLock);
    return g_hMutexFile >= 0;
}

bool InstanceMutexBusy() {
    const int fd = OpenLockFile(LockPath(QStringLiteral("Tarvo")));
    if (fd < 0)
        return false;
    const bool busy = Flock(fd, LOCK_EX | LOCK_NB) < 0 && errno == EWOULDBLOCK;
    ::close(fd); // closing drops the probe's own lock
    return busy;
}

bool MainWindowExists(const QString& AClass) {
    const QByteArray path = WindowLockPath(AClass);
    if (path.isEmpty())
        return false;
    int fd;
    do
        fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return false; // no window of this class has ever been created since the runtime folder began
    // Ask whether a write lock over the file would conflict, without taking one: probes never disturb
    // each other or a window taking its lock.
    struct flock probe {};
    probe.l_type = F_WRLCK;
    probe.l_whence = SEEK_SET;
    probe.l_start = 0;
    probe.l_len = 0;
    const bool exists = ::fcntl(fd, F_OFD_GETLK, &probe) == 0 && probe.l_type != F_UNLCK;
    ::close(fd);
    return exists;
}

TMainWindowPresence::TMainWindowPresence(const QString& AClass) {
    const int fd = OpenLockFile(WindowLockPath(AClass));
    if (fd < 0)
        return;
    struct flock lock {};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0;
    int rc;
    do
        rc = ::fcntl(fd, F_OFD_SETLKW, &lock);
    while (rc < 0 && errno == EINTR);
    if (rc < 0) {
        ::close(fd);
        return;
    }
    m_hFile = fd;
}

TMainWindowPresence::~TMainWindowPresence() {
    if (m_hFile >= 0)
        ::close(m_hFile); // the lock goes with the last descriptor of its open file description
}

void StartNewInstance(const QString& AProgramPath) {
    const QByteArray path = QFile::encodeName(AProgramPath);
    if (::access(path.constData(), X_OK) != 0) {
        const int err = errno;
        throw EInOutError(QStringLiteral("Cannot start \"%1\". %2")
                              .arg(AProgramPath, QString::fromLocal8Bit(std::strerror(err))));
    }
    QProcess process;
    process.setProgram(AProgramPath);
    process.setArguments({QStringLiteral("/N")});
    if (!process.startDetached())
        throw EInOutError(QStringLiteral("Cannot start \"%1\". %2").arg(AProgramPath, process.errorString()));
}

// ---- the second start's request -------------------------------------------------------------------

namespace {

// Sends ShowRequest to AClass's listener and waits for its answer until ADeadline.
bool SendShowRequest(const QString& AClass, std::chrono::steady_clock::time_point ADeadline) {
    sockaddr_un address;
    if (!SocketAddress(AClass, address))
        return false;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    struct TCloser {
        int h;
        ~TCloser() { ::close(h); }
    } closer{fd};
    auto wait = [&](short AEvents) {
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                ADeadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return false;
            pollfd p{fd, AEvents, 0};
            const int rc = ::poll(&p, 1, int(left.count()));
            if (rc > 0)
                return true;
            if (rc < 0 && errno != EINTR)
                return false;
        }
    };
    // A full backlog makes a non-blocking connect give EAGAIN: try again until the deadline.
    for (;;) {
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) == 0)
            break;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN)
            return false; // no listener: a stale socket file or none at all
        if (std::chrono::steady_clock::now() >= ADeadline)
            return false;
        ::poll(nullptr, 0, 10);
    }
    size_t sent = 0;
    const size_t total = sizeof(ShowRequest) - 1;
    while (sent < total) {
        const ssize_t n = ::send(fd, ShowRequest + sent, total - sent, MSG_NOSIGNAL);
        if (n > 0)
            sent += size_t(n);
        else if (n < 0 && errno != EINTR && (errno != EAGAIN || !wait(POLLOUT)))
            return false;
    }
    QByteArray answer;
    while (answer.size() < MaxRequest && !answer.endsWith('\n')) {
        char buf[MaxRequest];
        const ssize_t n = ::recv(fd, buf, sizeof(buf), 0);
        if (n > 0)
            answer.append(buf, n);
        else if (n == 0 || (errno != EINTR && (errno != EAGAIN || !wait(POLLIN))))
            return false;
    }
    return answer == ShowAnswer;
}

} // namespace

bool ActivateRunningInstance(const QStringList& AWindowClasses, int ATimeoutMs) {
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(std::max(0, ATimeoutMs));
    for (const QString& cls : AWindowClasses)
        if (MainWindowExists(cls))
            return SendShowRequest(cls, deadline);
    return false;
}

// ---- the running program's listener ---------------------------------------------------------------

struct TInstanceListener::TClient {
    int hSocket = -1;
    QByteArray sRequest;
    QSocketNotifier* pNotifier = nullptr; // a child of the listener
};

TInstanceListener::TInstanceListener(const QString& AClass, std::function<void()> AOnShow, QObject* AParent)
    : QObject(AParent), FOnShow(std::move(AOnShow)) {
    sockaddr_un address;
    if (!SocketAddress(AClass, address, &m_sPath))
        return;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return;
    // The name is taken over: what is left there belongs to a program that has ended, or to an older
    // window of this class (started with /N) whose requests now come here.
    ::unlink(m_sPath.constData());
    struct stat st {};
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address)) != 0 ||
        ::listen(fd, 8) != 0 || ::stat(m_sPath.constData(), &st) != 0) {
        ::close(fd);
        return;
    }
    m_hSocket = fd;
    m_nDev = st.st_dev;
    m_nIno = st.st_ino;
    auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] { AcceptClients(); });
}

TInstanceListener::~TInstanceListener() {
    while (!m_aClients.empty())
        DropClient(m_aClients.back()->hSocket);
    if (m_hSocket < 0)
        return;
    // Only our own name goes: a newer listener of the class may have taken it over meanwhile.
    struct stat st {};
    if (::stat(m_sPath.constData(), &st) == 0 && st.st_dev == m_nDev && st.st_ino == m_nIno)
        ::unlink(m_sPath.constData());
    ::close(m_hSocket);
}

void TInstanceListener::AcceptClients() {
    for (;;) {
        const int fd = ::accept4(m_hSocket, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) {
            if (errno == EINTR)
                continue;
            return; // EAGAIN: none waiting; other errors: the next notification tries again
        }
        // A client that connects and never sends must not keep out the next second start: the
        // oldest one goes.
        if (m_aClients.size() >= MaxClients)
            DropClient(m_aClients.front()->hSocket);
        auto* client = new TClient;
        client->hSocket = fd;
        client->pNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connect(client->pNotifier, &QSocketNotifier::activated, this, [this, fd] { ReadClient(fd); });
        m_aClients.push_back(client);
    }
}

void TInstanceListener::ReadClient(int AClient) {
    auto it = std::find_if(m_aClients.begin(), m_aClients.end(),
                           [AClient](const TClient* c) { return c->hSocket == AClient; });
    if (it == m_aClients.end())
        return;
    TClient& client = **it;
    char buf[MaxRequest];
    ssize_t n;
    do
        n = ::recv(AClient, buf, sizeof(buf), 0);
    while (n < 0 && errno == EINTR);
    if (n < 0 && errno == EAGAIN)
        return;
    if (n <= 0) {
        DropClient(AClient);
        return;
    }
    client.sRequest.append(buf, n);
    if (!client.sRequest.contains('\n')) {
        if (client.sRequest.size() >= MaxRequest)
            DropClient(AClient);
        return;
    }
    const bool show = client.sRequest == ShowRequest;
    // The answer goes once the request is taken, so the second start need not wait for the window;
    // the client is dropped before the handler runs, which may open a nested event loop.
    if (show)
        (void)::send(AClient, ShowAnswer, sizeof(ShowAnswer) - 1, MSG_NOSIGNAL | MSG_DONTWAIT);
    DropClient(AClient);
    if (show && FOnShow)
        FOnShow();
}

void TInstanceListener::DropClient(int AClient) {
    auto it = std::find_if(m_aClients.begin(), m_aClients.end(),
                           [AClient](const TClient* c) { return c->hSocket == AClient; });
    if (it == m_aClients.end())
        return;
    TClient* client = *it;
    m_aClients.erase(it);
    // Dropped from inside its own notification: the notifier goes later, when that has returned.
    client->pNotifier->setEnabled(false);
    client->pNotifier->deleteLater();
    ::close(client->hSocket);
    delete client;
}
