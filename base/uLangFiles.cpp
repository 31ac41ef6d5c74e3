#include "base/uLangFiles.h"

#include "base/uIniFile.h"
#include "base/uLocale.h"
#include "base/uPaths.h"

#include <QDir>
#include <QFileInfo>

std::uint32_t ParseLangId(const QString& AText) {
    if (AText.isEmpty())
        return 0;
    std::uint64_t lValue = 0;
    for (const QChar lChar : AText) {
        const char16_t c = lChar.unicode();
        int lDigit = -1;
        if (c >= '0' && c <= '9')
            lDigit = c - '0';
        else if (c >= 'A' && c <= 'F')
            lDigit = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            lDigit = c - 'a' + 10;
        if (lDigit < 0)
            return 0;
        lValue = (lValue << 4) | std::uint64_t(lDigit);
        if (lValue > 0xFFFFFFFFull)
            return 0;
    }
    return static_cast<std::uint32_t>(lValue);
}

void FindLanguageFiles(const QString& APrefix, TALangs& VLangs, const QString& ALangDir) {
    VLangs.clear();
    const QDir lDir(ALangDir.isEmpty() ? LanguagesDir() : ALangDir);
    // Names are matched without letter case, as on the desktop the files come from.
    const QFileInfoList lFiles =
        lDir.entryInfoList(QStringList{APrefix + QStringLiteral("*.lng")}, QDir::Files, QDir::Unsorted);
    for (const QFileInfo& lFile : lFiles) {
        TLangInfo lInfo;
        if (ReadLangInfo(lFile.filePath(), lInfo))
            VLangs.push_back(lInfo);
    }
}

bool ReadLangInfo(const QString& AFileName, TLangInfo& VInfo) {
    const QFileInfo lFileInfo(AFileName);
    if (!lFileInfo.isFile())
        return false;
    try {
        const TMemIniFile lIni(AFileName);
        VInfo.m_sTitle = lIni.ReadString(QStringLiteral("Global"), QStringLiteral("Title"), QString());
        VInfo.m_sAuthor = lIni.ReadString(QStringLiteral("Global"), QStringLiteral("Author"), QString());
        VInfo.m_nLangId =
            ParseLangId(lIni.ReadString(QStringLiteral("Global"), QStringLiteral("LangId"), QString()));
        VInfo.m_sFileName = lFileInfo.fileName();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

int FindLangById(const TALangs& ALangs, std::uint32_t AId) {
    for (size_t i = 0; i < ALangs.size(); ++i)
        if (ALangs[i].m_nLangId == AId)
            return static_cast<int>(i);
    return -1;
}

QString EncodeStr(const QString& AText) {
    QString lResult;
    lResult.reserve(AText.size() + 8);
    for (qsizetype i = 0; i < AText.size(); ++i) {
        const QChar c = AText.at(i);
        if (c == QLatin1Char('\r')) {
            lResult += QLatin1String("\\n");
            if (i + 1 < AText.size() && AText.at(i + 1) == QLatin1Char('\n'))
                ++i;
        } else if (c == QLatin1Char('\n')) {
            // A bare line feed would split the value over two lines of the file.
            lResult += QLatin1String("\\n");
        } else if (c == QLatin1Char('\\')) {
            lResult += QLatin1String("\\\\");
        } else {
            lResult += c;
        }
    }
    // A value enclosed in double quotes would lose them to INI readers that strip quotes; a single quote
    // character is no such enclosure.
    if (lResult.size() >= 2 && lResult.front() == QLatin1Char('"') && lResult.back() == QLatin1Char('"'))
        lResult = QLatin1String("\\\"") + lResult.mid(1, lResult.size() - 2) + QLatin1String("\\\"");
    return lResult;
}

QString DecodeStr(const QString& AText) {
    QString lResult;
    lResult.reserve(AText.size());
    for (qsizetype i = 0; i < AText.size(); ++i) {
        const QChar c = AText.at(i);
        if (c != QLatin1Char('\\')) {
            lResult += c;
            continue;
        }
        if (++i >= AText.size())
            break; // a backslash at the very end is dropped
        const QChar lNext = AText.at(i);
        if (lNext == QLatin1Char('n'))
            lResult += QLatin1String("\r\n");
        else if (lNext == QLatin1Char('\\') || lNext == QLatin1Char('"'))
            lResult += lNext;
        // any other escaped character is dropped together with its backslash
    }
    return lResult;
}

std::uint32_t ResolveSystemLanguage(const QString& APrefix, const QString& ALangDir) {
    const std::uint32_t lId = SystemLangId();
    // 0 (built-in English, or no known identifier) and 127 never name a file to load.
    if (lId == 0 || lId == 127)
        return 127;
    TALangs lLangs;
    FindLanguageFiles(APrefix, lLangs, ALangDir);
    return FindLangById(lLangs, lId) >= 0 ? lId : 127;
}
