#include "base/uPaths.h"

#include "base/uExceptions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString EnvPath(const char* AName) {
    return qEnvironmentVariable(AName).trimmed();
}

QString ExecutableDir() {
    char lBuf[PATH_MAX + 1];
    const ssize_t lLen = readlink("/proc/self/exe", lBuf, PATH_MAX);
    if (lLen <= 0)
        return QDir::currentPath();
    return QFileInfo(QString::fromLocal8Bit(lBuf, lLen)).absolutePath();
}

// Locks in the runtime folder keep other programs of the user out; another user must not be able to
// hold them or to swap the folder, so it has to be our own, private, real folder.
void EnsurePrivateDir(const QString& APath) {
    const QByteArray lPath = QFile::encodeName(APath);
    if (mkdir(lPath.constData(), 0700) != 0 && errno != EEXIST)
        throw EInOutError(QStringLiteral("Cannot create folder \"%1\". %2")
                              .arg(APath, QString::fromLocal8Bit(std::strerror(errno))));
    struct stat lStat {};
    if (lstat(lPath.constData(), &lStat) != 0)
        throw EInOutError(QStringLiteral("Cannot use folder \"%1\". %2")
                              .arg(APath, QString::fromLocal8Bit(std::strerror(errno))));
    if (!S_ISDIR(lStat.st_mode) || lStat.st_uid != geteuid())
        throw EInOutError(
            QStringLiteral("Cannot use folder \"%1\". It is not a folder of this user.").arg(APath));
    if ((lStat.st_mode & 0077) != 0 && chmod(lPath.constData(), 0700) != 0)
        throw EInOutError(QStringLiteral("Cannot make folder \"%1\" private. %2")
                              .arg(APath, QString::fromLocal8Bit(std::strerror(errno))));
}

// An installed program (<prefix>/bin beside <prefix>/share/tarvo) keeps no data in its folder even
// when it may write there (as root): that is a system folder, owned by the package manager.
bool IsInstalledProgramDir(const QString& AProgramDir) {
    return QFileInfo(AProgramDir + QStringLiteral("/../share/tarvo")).isDir();
}

} // namespace

QString ProgramDir() {
    if (QCoreApplication::instance() != nullptr)
        return QCoreApplication::applicationDirPath();
    return ExecutableDir();
}

QString DataDir() {
    QString lDir = EnvPath("TARVO_DATA_DIR");
    if (lDir.isEmpty()) {
        const QString lProgramDir = ProgramDir();
        if (access(QFile::encodeName(lProgramDir).constData(), W_OK) == 0 &&
            !IsInstalledProgramDir(lProgramDir))
            return QDir::cleanPath(lProgramDir);
        QString lDataHome = EnvPath("XDG_DATA_HOME");
        if (lDataHome.isEmpty() || QDir::isRelativePath(lDataHome))
            lDataHome = QDir::homePath() + QStringLiteral("/.local/share");
        lDir = JoinPath(lDataHome, QStringLiteral("Tarvo"));
    }
    lDir = QDir::cleanPath(QDir(lDir).absolutePath());
    // Created on demand, so that the first save finds its folder; a failure shows there with its reason.
    QDir().mkpath(lDir);
    return lDir;
}

QString LanguagesDir() {
    const QString lProgramDir = ProgramDir();
    const QString lBeside = JoinPath(lProgramDir, QStringLiteral("Languages"));
    if (QFileInfo(lBeside).isDir())
        return lBeside;
    // Installed layout: <prefix>/bin/Tarvo and <prefix>/share/tarvo/Languages; the prefix the program
    // was found in first (a copied tree keeps its own files), then the one it was built for.
    const QString lShared = QDir::cleanPath(lProgramDir + QStringLiteral("/../share/tarvo/Languages"));
    if (QFileInfo(lShared).isDir())
        return lShared;
#ifdef TARVO_INSTALL_PREFIX
    const QString lInstalled =
        QDir::cleanPath(QStringLiteral(TARVO_INSTALL_PREFIX) + QStringLiteral("/share/tarvo/Languages"));
    if (QFileInfo(lInstalled).isDir())
        return lInstalled;
#endif
    return lBeside;
}

QString RuntimeDir() {
    const QString lXdg = EnvPath("XDG_RUNTIME_DIR");
    QString lDir;
    if (!lXdg.isEmpty() && QDir::isAbsolutePath(lXdg) && QFileInfo(lXdg).isDir())
        lDir = JoinPath(lXdg, QStringLiteral("tarvo"));
    else
        lDir = QStringLiteral("/tmp/tarvo-%1").arg(geteuid());
    EnsurePrivateDir(lDir);
    return lDir;
}

QString DataFilePath() {
    return JoinPath(DataDir(), QStringLiteral("Tarvo.xml"));
}

QString JoinPath(const QString& AFolder, const QString& AName) {
    if (AFolder.isEmpty())
        return AName;
    if (AFolder.endsWith(QLatin1Char('/')))
        return AFolder + AName;
    return AFolder + QLatin1Char('/') + AName;
}
