#include "base/uDebugLog.h"

#include "base/uAppendLine.h"
#include "base/uClock.h"
#include "base/uFileVersion.h"
#include "base/uLocale.h"
#include "base/uPaths.h"

#include <QRegularExpression>
#include <QSysInfo>

namespace {

// Major, minor and patch level of the running kernel ("6.1.0-18-amd64" gives 6, 1, 0).
void KernelVersion(int& VMajor, int& VMinor, int& VBuild) {
    VMajor = VMinor = VBuild = 0;
    static const QRegularExpression re(QStringLiteral("^(\\d+)(?:\\.(\\d+))?(?:\\.(\\d+))?"));
    const QRegularExpressionMatch m = re.match(QSysInfo::kernelVersion());
    if (!m.hasMatch())
        return;
    VMajor = m.captured(1).toInt();
    VMinor = m.captured(2).toInt();
    VBuild = m.captured(3).toInt();
}

QString ThreeParts(std::uint32_t APacked) {
    return QStringLiteral("%1.%2.%3").arg(APacked & 0xFF).arg(APacked >> 8 & 0xFF).arg(APacked >> 16 & 0xFF);
}

} // namespace

QString DebugLogPath() {
    return JoinPath(DataDir(), QStringLiteral("Tarvo.log"));
}

TLogWritten::TLogWritten(const QString& APath) : m_sFileName(APath) {}

void TLogWritten::SetReaderVersionFunc(std::function<std::uint32_t()> AFunc) {
    std::lock_guard<std::mutex> guard(m_CS);
    m_fnReaderVersion = std::move(AFunc);
}

bool TLogWritten::Write(QChar AMsgType, const QString& AMsgText, QString* VError) {
    std::lock_guard<std::mutex> guard(m_CS);
    if (!m_fInit)
        WriteHeader();
    int hour, min, sec, msec;
    DecodeTime(Now(), hour, min, sec, msec);
    const QString line = QString::asprintf("%02d:%02d:%02d.%03d [", hour, min, sec, msec) + AMsgType +
                         QStringLiteral("] ") + AMsgText;
    return AppendLineToFile(line, m_sFileName, VError);
}

void TLogWritten::WriteHeader() {
    const QDateTime now = ToQDateTime(Now());
    const QLocale locale = UserLocale();
    const QString stamp = locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
                          locale.toString(now.time(), QLocale::LongFormat);
    // /proc/self/exe still reads the running image when its file has been replaced meanwhile.
    const std::uint32_t own = GetFileVersionPacked(QStringLiteral("/proc/self/exe"));
    const std::uint32_t reader = m_fnReaderVersion ? m_fnReaderVersion() : 0;
    int osMajor, osMinor, osBuild;
    KernelVersion(osMajor, osMinor, osBuild);
    const QString header = QStringLiteral("Log ") + stamp + QStringLiteral(" (Tarvo v") + ThreeParts(own) +
                           QStringLiteral(", OrvReader v") + ThreeParts(reader) +
                           QString::asprintf(", OS v%d.%d.%d ", osMajor, osMinor, osBuild) +
                           QSysInfo::prettyProductName() + QLatin1Char(')');
    // Written once per log object even when the append fails; the lines themselves report failures.
    (void)AppendLineToFile(header, m_sFileName);
    m_fInit = true;
}
