#include "base/uSingleInstance.h"

#include "base/uExceptions.h"
#include "base/uPaths.h"
#include "base/uVersionMark.h"

#include <QFile>
#include <QProcess>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <mutex>
#include <sys/file.h>
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
