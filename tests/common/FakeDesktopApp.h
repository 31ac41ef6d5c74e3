#pragma once
// A recording fake application registered as the desktop's default for a file type, in a private
// XDG_DATA_HOME ("<dir>/data") and XDG_CONFIG_HOME ("<dir>/config") that the test points at: what
// it is asked to open it writes into a FIFO the test reads, so nothing sleeps.

#include "tests/common/TestSupport.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace FakeDesktopApp {

// A folder for XDG_DATA_DIRS under ADir that holds the system's MIME database but none of its
// applications, so a spreadsheet application installed on the test machine does not count.
inline QByteArray SystemDataWithoutApplications(const TTempDir& ADir) {
    const QString lDir = ADir.FilePath(QStringLiteral("system-data"));
    ::mkdir(QFile::encodeName(lDir).constData(), 0700);
    QFile::link(QStringLiteral("/usr/share/mime"), lDir + QStringLiteral("/mime"));
    return QFile::encodeName(lDir);
}

// Registers "Fake Sheet" for AMimeType under ADir; returns the FIFO it writes into (empty on failure).
inline QString Register(const TTempDir& ADir, const QString& AMimeType) {
    const QString lFifo = ADir.FilePath(QStringLiteral("opened.fifo"));
    if (::mkfifo(QFile::encodeName(lFifo).constData(), 0600) != 0)
        return QString();
    const QString lApp =
        ADir.WriteFile(QStringLiteral("fake-sheet"),
                       QStringLiteral("#!/bin/sh\nprintf '%s' \"$1\" > '%1'\n").arg(lFifo).toUtf8());
    QFile::setPermissions(lApp, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    ADir.WriteFile(
        QStringLiteral("data/applications/fake-sheet.desktop"),
        QStringLiteral("[Desktop Entry]\nType=Application\nName=Fake Sheet\nExec=%1 %f\nMimeType=%2;\n")
            .arg(lApp, AMimeType)
            .toUtf8());
    ADir.WriteFile(QStringLiteral("config/mimeapps.list"),
                   QStringLiteral("[Default Applications]\n%1=fake-sheet.desktop\n").arg(AMimeType).toUtf8());
    return lFifo;
}

// What the fake application was asked to open; empty when it was not started within 30 seconds.
inline QString ReadOpened(const QString& AFifo) {
    const int lFd = ::open(QFile::encodeName(AFifo).constData(), O_RDONLY | O_NONBLOCK);
    if (lFd < 0)
        return QString();
    QByteArray lText;
    pollfd lPoll{lFd, POLLIN, 0};
    while (::poll(&lPoll, 1, 30000) > 0) {
        char lBuf[512];
        const ssize_t n = ::read(lFd, lBuf, sizeof lBuf);
        if (n <= 0)
            break; // the writer closed
        lText.append(lBuf, n);
    }
    ::close(lFd);
    return QFile::decodeName(lText);
}

} // namespace FakeDesktopApp
