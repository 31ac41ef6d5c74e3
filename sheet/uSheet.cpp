#include "sheet/uSheet.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>

TSheetKind SheetKindOf(const QString& AFileName) {
    const QString lExt = QFileInfo(AFileName).suffix().toLower();
    if (lExt == QLatin1String("xlsx"))
        return TSheetKind::Xlsx;
    if (lExt == QLatin1String("ods"))
        return TSheetKind::Ods;
    if (lExt == QLatin1String("xls"))
        return TSheetKind::Xls;
    return TSheetKind::None;
}

void WriteSheetFile(const QString& AFileName, const TSheetRows& ARows, const QString& ASheetName) {
    switch (SheetKindOf(AFileName)) {
    case TSheetKind::Xlsx:
        return WriteXlsx(AFileName, ARows, ASheetName);
    case TSheetKind::Ods:
        return WriteOds(AFileName, ARows, ASheetName);
    default:
        throw ESheetError(QStringLiteral("Cannot write \"%1\": only .xlsx and .ods workbooks are written.")
                              .arg(QDir::toNativeSeparators(AFileName)));
    }
}

TSheetRows ReadSheetFile(const QString& AFileName) {
    switch (SheetKindOf(AFileName)) {
    case TSheetKind::Xlsx:
        return ReadXlsx(AFileName);
    case TSheetKind::Ods:
        return ReadOds(AFileName);
    case TSheetKind::Xls:
        return ReadXls(AFileName);
    default:
        throw ESheetError(QStringLiteral("Cannot read \"%1\": not a .xlsx, .ods or .xls workbook.")
                              .arg(QDir::toNativeSeparators(AFileName)));
    }
}

namespace {

// East Asian wide and full-width characters take two columns of a fixed-width grid.
bool IsWide(char32_t AChar) {
    return (AChar >= 0x1100 && AChar <= 0x115F) || (AChar >= 0x2E80 && AChar <= 0xA4CF) ||
           (AChar >= 0xAC00 && AChar <= 0xD7A3) || (AChar >= 0xF900 && AChar <= 0xFAFF) ||
           (AChar >= 0xFE30 && AChar <= 0xFE4F) || (AChar >= 0xFF00 && AChar <= 0xFF60) ||
           (AChar >= 0xFFE0 && AChar <= 0xFFE6) || (AChar >= 0x1F300 && AChar <= 0x1F64F) ||
           (AChar >= 0x20000 && AChar <= 0x3FFFD);
}

int TextColumns(const QString& AText) {
    int lLongest = 0, lLine = 0;
    for (const char32_t c : AText.toUcs4()) {
        if (c == U'\n' || c == U'\r') {
            lLongest = std::max(lLongest, lLine);
            lLine = 0;
            continue;
        }
        lLine += IsWide(c) ? 2 : 1;
    }
    return std::max(lLongest, lLine);
}

} // namespace

double SheetColumnWidth(const TSheetRows& ARows, int AColumn) {
    int lWidest = 0;
    for (const QStringList& lRow : ARows)
        if (AColumn < lRow.size())
            lWidest = std::max(lWidest, TextColumns(lRow.at(AColumn)));
    return std::clamp(lWidest + 2.0, 4.0, 100.0);
}

QString NewExportPath(const QString& ABaseName, const QString& AExt) {
    QString lCache = QString::fromLocal8Bit(qgetenv("XDG_CACHE_HOME"));
    if (lCache.isEmpty() || !QDir::isAbsolutePath(lCache))
        lCache = QDir::homePath() + QStringLiteral("/.cache");
    const QString lDir = lCache + QStringLiteral("/tarvo/exports");
    if (!QDir().mkpath(lDir))
        throw ESheetError(QStringLiteral("Cannot create the folder \"%1\" for the export.")
                              .arg(QDir::toNativeSeparators(lDir)));
    // A name a file system takes: no folder separators or control characters from the data.
    QString lBase = ABaseName;
    for (QChar& c : lBase)
        if (c == QLatin1Char('/') || c.unicode() < 0x20)
            c = QLatin1Char('_');
    for (int lNumber = 1;; ++lNumber) {
        const QString lName = lNumber == 1 ? QStringLiteral("%1.%2").arg(lBase, AExt)
                                           : QStringLiteral("%1 (%2).%3").arg(lBase).arg(lNumber).arg(AExt);
        const QString lPath = lDir + QLatin1Char('/') + lName;
        // Created at once, so that a second export at the same moment takes the next name.
        QFile lFile(lPath);
        if (lFile.open(QIODevice::WriteOnly | QIODevice::NewOnly))
            return lPath;
        if (lFile.exists() && lNumber < 100000)
            continue;
        throw ESheetError(QStringLiteral("Cannot create the export file \"%1\": %2")
                              .arg(QDir::toNativeSeparators(lPath), lFile.errorString()));
    }
}
