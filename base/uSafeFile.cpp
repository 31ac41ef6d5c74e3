#include "base/uSafeFile.h"

#include "base/uExceptions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <cstring>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

// Temporary files are named ".<name>.<pid>.<6 letters or digits>.tmp" beside the target. A process
// killed while saving leaves its temporary file behind; the next successful save of the same target
// removes those whose process no longer exists. A file of a running process is never touched.

namespace {

[[noreturn]] void Fail(const QString& AFileName, int AErr) {
    throw EInOutError(
        QStringLiteral("Cannot write file \"%1\": %2")
            .arg(QDir::toNativeSeparators(AFileName), QString::fromLocal8Bit(std::strerror(AErr))));
}

QByteArray TempPrefix(const QByteArray& ABaseName) {
    return '.' + ABaseName + '.';
}

QByteArray RandomSuffix() {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    QByteArray aSuffix(6, 'a');
    for (char& c : aSuffix)
        c = kChars[QRandomGenerator::global()->bounded(36)];
    return aSuffix;
}

// Parses "<pid>.<6 chars>.tmp", the part of a temporary name after the prefix; 0 when it is none.
pid_t TempOwner(const char* ARest) {
    pid_t nPid = 0;
    const char* p = ARest;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (nPid > 100000000)
            return 0;
        nPid = nPid * 10 + (*p - '0');
    }
    if (p == ARest || *p != '.')
        return 0;
    ++p;
    for (int i = 0; i < 6; ++i, ++p) {
        if (!((*p >= 'a' && *p <= 'z') || (*p >= '0' && *p <= '9')))
            return 0;
    }
    return std::strcmp(p, ".tmp") == 0 ? nPid : 0;
}

void RemoveStaleTempFiles(const QByteArray& AFolder, const QByteArray& ABaseName) {
    DIR* pDir = opendir(AFolder.constData());
    if (!pDir)
        return;
    const QByteArray aPrefix = TempPrefix(ABaseName);
    const pid_t nSelf = getpid();
    while (const dirent* pEntry = readdir(pDir)) {
        if (std::strncmp(pEntry->d_name, aPrefix.constData(), aPrefix.size()) != 0)
            continue;
        const pid_t nPid = TempOwner(pEntry->d_name + aPrefix.size());
        if (nPid <= 0 || nPid == nSelf)
            continue;
        if (kill(nPid, 0) == -1 && errno == ESRCH)
            unlinkat(dirfd(pDir), pEntry->d_name, 0);
    }
    closedir(pDir);
}

bool WriteAll(int AFd, const char* AData, qsizetype ASize) {
    while (ASize > 0) {
        const ssize_t nWritten = write(AFd, AData, static_cast<size_t>(ASize));
        if (nWritten < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        AData += nWritten;
        ASize -= nWritten;
    }
    return true;
}

} // namespace

void WriteFileAtomically(const QString& AFileName, const QByteArray& ABytes) {
    if (AFileName.isEmpty())
        Fail(AFileName, ENOENT);
    // A link is followed so that the file it points to gets the new content and the link stays.
    const QFileInfo oInfo(AFileName);
    const QString sCanonical = oInfo.canonicalFilePath();
    const QFileInfo oTarget(sCanonical.isEmpty() ? oInfo.absoluteFilePath() : sCanonical);
    const QByteArray aTarget = QFile::encodeName(oTarget.absoluteFilePath());
    const QByteArray aFolder = QFile::encodeName(oTarget.absolutePath());
    const QByteArray aBaseName = QFile::encodeName(oTarget.fileName());

    struct stat oOld;
    const bool fExisted = stat(aTarget.constData(), &oOld) == 0;

    // Created with 0666 so that the umask applies as for any new file; an old file's mode is kept below.
    const QByteArray aTempStart = aFolder + '/' + TempPrefix(aBaseName) + QByteArray::number(getpid()) + '.';
    QByteArray aTemp;
    int nFd = -1;
    for (int nTry = 0; nTry < 100 && nFd < 0; ++nTry) {
        aTemp = aTempStart + RandomSuffix() + ".tmp";
        nFd = open(aTemp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (nFd < 0 && errno != EEXIST)
            break;
    }
    if (nFd < 0)
        Fail(AFileName, errno);

    const auto abandon = [&](int AErr) {
        if (nFd >= 0)
            close(nFd);
        unlink(aTemp.constData());
        Fail(AFileName, AErr);
    };
    if (fExisted) {
        if (fchmod(nFd, oOld.st_mode & 07777) != 0)
            abandon(errno);
        if (oOld.st_uid != geteuid() || oOld.st_gid != getegid()) {
            // Only possible for a privileged user or within the user's groups; the mode is what matters.
            [[maybe_unused]] const int nIgnored = fchown(nFd, oOld.st_uid, oOld.st_gid);
        }
    }
    if (!WriteAll(nFd, ABytes.constData(), ABytes.size()))
        abandon(errno);
    // The data must be on disk before the rename makes it the file, or a power cut could leave it empty.
    if (fsync(nFd) != 0)
        abandon(errno);
    const int nFdClosed = nFd;
    nFd = -1;
    if (close(nFdClosed) != 0)
        abandon(errno);
    if (rename(aTemp.constData(), aTarget.constData()) != 0)
        abandon(errno);

    // The rename itself is durable only once the folder is flushed.
    const int nDirFd = open(aFolder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (nDirFd >= 0) {
        const int nRc = fsync(nDirFd);
        const int nErr = errno;
        close(nDirFd);
        if (nRc != 0 && nErr != EINVAL && nErr != ENOTSUP)
            Fail(AFileName, nErr);
    }
    RemoveStaleTempFiles(aFolder, aBaseName);
}
