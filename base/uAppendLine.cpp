#include "base/uAppendLine.h"

#include "base/uCodePage.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
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

} // namespace

bool AppendLineToFile(const QString& AText, const QString& AFileName, QString* VError) {
    QByteArray line = ToAnsi(AText);
    line += "\r\n";
    if (AFileName.isEmpty())
        return Fail(AFileName, ENOENT, VError);

    const QByteArray path = QFile::encodeName(AFileName);
    int fd;
    do
        fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return Fail(AFileName, errno, VError);

    // Without locking support (some network file systems) the single O_APPEND write still keeps the
    // line whole on the file; only the cut-off of a short write then has to be skipped.
    const bool locked = SetLock(fd, F_WRLCK) == 0;
    struct stat before {};
    const bool sized = locked && ::fstat(fd, &before) == 0;

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
    if (locked)
        SetLock(fd, F_UNLCK);
    if (::close(fd) != 0 && err == 0 && errno != EINTR)
        err = errno;

    if (err != 0)
        return shortReason.isEmpty() ? Fail(AFileName, err, VError)
                                     : Fail(AFileName, shortReason, err, VError);
    return true;
}
