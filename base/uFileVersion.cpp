#include "base/uFileVersion.h"

#include <QFile>
#include <QFileInfo>

namespace {

// Built at run time, so that the reader's own code holds no copy of the mark for a scan to find.
QByteArray MarkPrefix() {
    return QByteArray("TarvoFile") + QByteArray("Version:");
}

// Reads "a.b.c.d" followed by a zero byte at AAt of ABytes, each part 0..65535 (the width of the
// version words of the original resource). False when malformed or cut off.
bool ParseMarkVersion(const QByteArray& ABytes, qsizetype AAt, std::uint32_t& VPacked) {
    unsigned parts[4] = {0, 0, 0, 0};
    qsizetype i = AAt;
    for (int p = 0; p < 4; ++p) {
        int digits = 0;
        while (i < ABytes.size() && ABytes[i] >= '0' && ABytes[i] <= '9') {
            parts[p] = parts[p] * 10 + unsigned(ABytes[i] - '0');
            if (++digits > 5 || parts[p] > 0xFFFF)
                return false;
            ++i;
        }
        if (digits == 0 || i >= ABytes.size())
            return false;
        const char expected = p < 3 ? '.' : '\0';
        if (ABytes[i] != expected)
            return false;
        ++i;
    }
    VPacked = PackVersion(parts[0], parts[1], parts[2], parts[3]);
    return true;
}

} // namespace

std::uint32_t PackVersion(unsigned AMajor, unsigned AMinor, unsigned ARelease, unsigned ABuild) {
    return (AMajor & 0xFF) | (AMinor & 0xFF) << 8 | (ARelease & 0xFF) << 16 | (ABuild & 0xFF) << 24;
}

QString VersionText(std::uint32_t APacked) {
    return QStringLiteral("%1.%2.%3.%4")
        .arg(APacked & 0xFF)
        .arg(APacked >> 8 & 0xFF)
        .arg(APacked >> 16 & 0xFF)
        .arg(APacked >> 24 & 0xFF);
}

std::uint32_t GetFileVersionPacked(const QString& AFileName) {
    QFile file(AFileName);
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray prefix = MarkPrefix();
    const qsizetype longestMark = prefix.size() + 4 * 6; // prefix, four parts of five digits, separators
    const qint64 chunkSize = 1 << 20;
    QByteArray window;                      // the unscanned tail of the previous chunk, then the next chunk
    const qint64 maxScan = qint64(1) << 30; // no executable of ours comes near; ends a scan of a device
    bool atEnd = false;
    for (qint64 scanned = 0; !atEnd && scanned < maxScan; scanned += chunkSize) {
        const QByteArray chunk = file.read(chunkSize);
        atEnd = chunk.size() < chunkSize;
        window += chunk;
        qsizetype from = 0;
        for (;;) {
            const qsizetype at = window.indexOf(prefix, from);
            if (at < 0)
                break;
            // A mark cut off by the chunk's end is read again with the next chunk.
            if (!atEnd && window.size() - at < longestMark)
                break;
            std::uint32_t packed = 0;
            if (ParseMarkVersion(window, at + prefix.size(), packed))
                return packed;
            from = at + 1;
        }
        const qsizetype keep = qMin<qsizetype>(window.size(), longestMark);
        window = window.right(keep);
    }
    return 0;
}

QString RunningExecutablePath() {
    return QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
}
