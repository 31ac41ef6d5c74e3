#include "base/uAppendLine.h"

#include "base/uCodePage.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool Fail(const QString& AFileName, const QString& AReason, int AErrno, QString* VError) {
    if (VError != nullptr)
        *VError = QStringLiteral("Cannot write to file \"%1\". %2").arg(AFileName, AReason);
    errno = AErrno;
    return false;
}

bool Fail(const QString& AFileName, int AErrno, QString* VError) {
    return Fail(AFileName, QString::fromLocal8Bit(std::strerror(AErrno)), AErrno, VError);
}

// Open-file-description locks belong to the open file, not the process: two threads or two
// processes appending at once exclude each other, and the lock is gone when the descriptor closes.
int SetLock(int AFile, short AType) {
    struct flock lock {};
    lock.l_type = AType;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 0; // the whole file, however far it grows
    int rc;
    do
        rc = ::fcntl(AFile, AType == F_UNLCK ? F_OFD_SETLK : F_OFD_SETLKW, &lock);
    while (rc < 0 && errno == EINTR);
    return rc;
}

int OpenFile(const QByteArray& APath, int AFlags) {
    int fd;
    do
        fd = ::open(APath.constData(), AFlags | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    return fd;
}

// True while AFile is still the file the path names (not replaced by a rename, not removed).
bool StillAtPath(int AFile, const QByteArray& APath) {
    struct stat open {
    }, named{};
    if (::fstat(AFile, &open) != 0 || ::stat(APath.constData(), &named) != 0)
        return false;
    return open.st_dev == named.st_dev && open.st_ino == named.st_ino;
}

// What must go before a line appended at the end of the file: nothing when the file is empty or its
// last line is ended, else the missing line end.
QByteArray MissingLineEnd(int AFile, off_t ASize) {
    if (ASize <= 0)
        return QByteArray();
    char last = '\n';
    if (::pread(AFile, &last, 1, ASize - 1) != 1)
        return QByteArray();
    if (last == '\n')
        return QByteArray();
    return last == '\r' ? QByteArray("\n") : QByteArray("\r\n");
}

} // namespace

TLockedLineFile::TLockedLineFile(const QString& AFileName, int AFlags) {
    const QByteArray path = QFile::encodeName(AFileName);
    if (path.isEmpty()) {
        m_nError = ENOENT;
        return;
    }
    // Each round means a rewrite replaced the file while this writer waited; a bound keeps a file
    // replaced without end from holding the writer forever.
    for (int round = 0; round < 1000; ++round) {
        m_hFile = OpenFile(path, AFlags);
        if (m_hFile < 0) {
            m_nError = errno;
            return;
        }
        m_fLocked = SetLock(m_hFile, F_WRLCK) == 0;
        if (!m_fLocked || StillAtPath(m_hFile, path))
            return;
        Close();
    }
    m_nError = EAGAIN;
}

TLockedLineFile::~TLockedLineFile() {
    Close();
}

int TLockedLineFile::Close() {
    if (m_hFile < 0)
        return 0;
    if (m_fLocked)
        SetLock(m_hFile, F_UNLCK);
    m_fLocked = false;
    const int rc = ::close(m_hFile);
    m_hFile = -1;
    return rc != 0 && errno != EINTR ? errno : 0;
}

bool AppendLineToFile(const QString& AText, const QString& AFileName, QString* VError) {
    QByteArray line = ToAnsi(AText);
    line += "\r\n";
    if (AFileName.isEmpty())
        return Fail(AFileName, ENOENT, VError);

    // Read access lets the last byte be checked; a file the user may only write still gets its line.
    std::optional<TLockedLineFile> file;
    file.emplace(AFileName, O_RDWR | O_APPEND | O_CREAT);
    if (file->Handle() < 0 && file->Error() == EACCES)
        file.emplace(AFileName, O_WRONLY | O_APPEND | O_CREAT);
    const int fd = file->Handle();
    if (fd < 0)
        return Fail(AFileName, file->Error(), VError);

    // Without locking support the single O_APPEND write still keeps the line whole on the file; only
    // the mending of an unended last line and the cut-off of a short write then have to be skipped.
    struct stat before {};
    const bool sized = file->Locked() && ::fstat(fd, &before) == 0;
    if (sized)
        line.prepend(MissingLineEnd(fd, before.st_size));

    ssize_t written;
    do
        written = ::write(fd, line.constData(), size_t(line.size()));
    while (written < 0 && errno == EINTR);

    int err = 0;
    QString shortReason;
    if (written < 0) {
        err = errno;
    } else if (written != line.size()) {
        err = EIO;
        shortReason = QStringLiteral("Only %1 of %2 bytes could be written.").arg(written).arg(line.size());
        if (sized && ::ftruncate(fd, before.st_size) == 0)
            shortReason += QStringLiteral(" The partial line was removed again.");
    } else if (::fdatasync(fd) != 0) {
        err = errno;
    }
    const int closeErr = file->Close();
    if (err == 0)
        err = closeErr;

    if (err != 0)
        return shortReason.isEmpty() ? Fail(AFileName, err, VError)
                                     : Fail(AFileName, shortReason, err, VError);
    return true;
}
