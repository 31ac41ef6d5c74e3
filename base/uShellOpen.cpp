#include "base/uShellOpen.h"

#include "base/uExceptions.h"

#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <mutex>

namespace {

std::mutex g_oLock;
TShellOpenFunc g_oOpener;

[[noreturn]] void Fail(const QString& AFile, const QString& AReason) {
    throw EInOutError(QStringLiteral("Cannot open \"%1\". %2").arg(AFile, AReason));
}

void StartDetached(const QString& AFile, const QString& AProgram, const QStringList& AArgs) {
    QProcess process;
    process.setProgram(AProgram);
    process.setArguments(AArgs);
    if (!process.startDetached())
        Fail(AFile, process.errorString());
}

} // namespace

void SetShellOpenFunc(TShellOpenFunc AFunc) {
    std::lock_guard<std::mutex> guard(g_oLock);
    g_oOpener = std::move(AFunc);
}

void ShellOpen(QObject* AOwner, const QString& AFile, const QString& AParameters) {
    TShellOpenFunc opener;
    {
        std::lock_guard<std::mutex> guard(g_oLock);
        opener = g_oOpener;
    }
    if (opener) {
        opener(AOwner, AFile, AParameters);
        return;
    }
    if (AFile.isEmpty())
        Fail(AFile, QStringLiteral("No file or address given."));
    const QFileInfo info(AFile);
    if (!AParameters.isEmpty() && info.isFile() && info.isExecutable()) {
        StartDetached(AFile, info.absoluteFilePath(), QProcess::splitCommand(AParameters));
        return;
    }
    const QString xdgOpen = QStandardPaths::findExecutable(QStringLiteral("xdg-open"));
    if (!xdgOpen.isEmpty())
        return StartDetached(AFile, xdgOpen, {AFile});
    // GLib's opener reads the same default applications.
    const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    if (gio.isEmpty())
        Fail(AFile, QStringLiteral("The desktop's opener (xdg-open or gio) is not installed."));
    StartDetached(AFile, gio, {QStringLiteral("open"), AFile});
}
