#include "base/uAutorun.h"

#include "base/uExceptions.h"
#include "base/uPaths.h"
#include "base/uSafeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

namespace {

QString SystemReason(int AErrno) {
    return QString::fromLocal8Bit(std::strerror(AErrno));
}

// A value name becomes a file name: it must stay inside the autostart folder.
bool IsValidName(const QString& AValueName) {
    return !AValueName.isEmpty() && !AValueName.contains(QLatin1Char('/')) &&
           AValueName != QLatin1String(".") && AValueName != QLatin1String("..") &&
           !AValueName.contains(QChar(0));
}

QString EntryPath(const QString& AValueName) {
    return JoinPath(AutostartDir(), AValueName + QStringLiteral(".desktop"));
}

// The escapes of a string value of a desktop entry.
QString EscapeValue(const QString& AValue) {
    QString out;
    for (QChar c : AValue) {
        switch (c.unicode()) {
        case '\\':
            out += QStringLiteral("\\\\");
            break;
        case '\n':
            out += QStringLiteral("\\n");
            break;
        case '\r':
            out += QStringLiteral("\\r");
            break;
        case '\t':
            out += QStringLiteral("\\t");
            break;
        default:
            out += c;
        }
    }
    if (out.startsWith(QLatin1Char(' ')))
        out.replace(0, 1, QStringLiteral("\\s"));
    return out;
}

} // namespace

QString AutostartDir() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty() || !QDir::isAbsolutePath(config))
        config = JoinPath(QDir::homePath(), QStringLiteral(".config"));
    return JoinPath(config, QStringLiteral("autostart"));
}

QString AutorunCommandLine(const QString& AExePath, const QString& ASwitch) {
    QString quoted;
    for (QChar c : AExePath) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            quoted += QLatin1Char('\\');
        quoted += c;
        if (c == QLatin1Char('%'))
            quoted += QLatin1Char('%'); // "%%" is a literal percent sign, not a field code
    }
    QString line = QLatin1Char('"') + quoted + QLatin1Char('"');
    if (!ASwitch.isEmpty())
        line += QLatin1Char(' ') + ASwitch;
    return line;
}

void SetAutorun(bool AEnable, const QString& AValueName, const QString& AData) {
    const QString dir = AutostartDir();
    if (!AEnable) {
        if (IsValidName(AValueName))
            QFile::remove(EntryPath(AValueName));
        return;
    }
    if (!QDir().mkpath(dir) || !QFileInfo(dir).isDir())
        throw Exception(QStringLiteral("Failed to create key %1: %2").arg(dir, SystemReason(errno)));
    if (!IsValidName(AValueName))
        throw Exception(
            QStringLiteral("Failed to set data for '%1': %2").arg(AValueName, SystemReason(EINVAL)));
    const QString text = QStringLiteral("[Desktop Entry]\n"
                                        "Type=Application\n"
                                        "Name=%1\n"
                                        "Exec=%2\n"
                                        "X-GNOME-Autostart-enabled=true\n")
                             .arg(EscapeValue(AValueName), EscapeValue(AData));
    try {
        WriteFileAtomically(EntryPath(AValueName), text.toUtf8());
    } catch (const Exception& e) {
        throw Exception(QStringLiteral("Failed to set data for '%1': %2").arg(AValueName, e.Message()));
    }
}

bool IsAutorun(const QString& AValueName) {
    if (!IsValidName(AValueName))
        return false;
    QFile file(EntryPath(AValueName));
    if (!file.exists())
        return false;
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(
            QStringLiteral("Failed to get data for '%1': %2").arg(AValueName, file.errorString()));
    const QByteArray bytes = file.read(64 * 1024); // an entry is a few lines; cap what a strange file costs
    if (file.error() != QFileDevice::NoError)
        throw Exception(
            QStringLiteral("Failed to get data for '%1': %2").arg(AValueName, file.errorString()));

    bool inEntry = false, hasExec = false, isApp = false, enabled = true;
    for (const QByteArray& raw : bytes.split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inEntry = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (!inEntry || eq <= 0 || line.startsWith(QLatin1Char('#')))
            continue;
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        if (key == QLatin1String("Exec"))
            hasExec = !value.isEmpty();
        else if (key == QLatin1String("Type"))
            isApp = value == QLatin1String("Application");
        else if (key == QLatin1String("Hidden") && value == QLatin1String("true"))
            enabled = false;
        else if (key == QLatin1String("X-GNOME-Autostart-enabled") && value == QLatin1String("false"))
            enabled = false;
    }
    return hasExec && isApp && enabled;
}
