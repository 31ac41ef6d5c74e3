#include "base/uDesktopApps.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QStringList>

namespace {

// gio's answer in the C locale, or empty.
QString AskGio(const QStringList& AArgs) {
    const QString lGio = QStandardPaths::findExecutable(QStringLiteral("gio"));
    if (lGio.isEmpty())
        return QString();
    QProcess lProcess;
    QProcessEnvironment lEnv = QProcessEnvironment::systemEnvironment();
    lEnv.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    lProcess.setProcessEnvironment(lEnv);
    lProcess.start(lGio, AArgs, QIODevice::ReadOnly);
    if (!lProcess.waitForFinished(5000)) {
        lProcess.kill();
        lProcess.waitForFinished(1000);
        return QString();
    }
    return QString::fromLocal8Bit(lProcess.readAllStandardOutput());
}

} // namespace

QString DefaultApplicationFor(const QString& AMimeType) {
    // "Default application for 'type': foo.desktop" (the quotes vary), or "No default applications ...".
    for (const QString& lLine : AskGio({QStringLiteral("mime"), AMimeType}).split(QLatin1Char('\n'))) {
        if (!lLine.startsWith(QLatin1String("Default application for")))
            continue;
        const qsizetype lColon = lLine.lastIndexOf(QLatin1String(": "));
        const QString lId = lColon < 0 ? QString() : lLine.mid(lColon + 2).trimmed();
        return lId.endsWith(QLatin1String(".desktop")) ? lId : QString();
    }
    return QString();
}

QString ApplicationName(const QString& ADesktopId) {
    const QString lPath =
        QStandardPaths::locate(QStandardPaths::ApplicationsLocation, ADesktopId, QStandardPaths::LocateFile);
    QFile lFile(lPath);
    if (lPath.isEmpty() || !lFile.open(QIODevice::ReadOnly))
        return ADesktopId;
    bool lInEntry = false;
    while (!lFile.atEnd()) {
        const QString lLine = QString::fromUtf8(lFile.readLine(4096)).trimmed();
        if (lLine.startsWith(QLatin1Char('[')))
            lInEntry = lLine == QLatin1String("[Desktop Entry]");
        else if (lInEntry && lLine.startsWith(QLatin1String("Name=")))
            return lLine.mid(5);
    }
    return ADesktopId;
}
