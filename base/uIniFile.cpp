#include "base/uIniFile.h"

#include "base/uCodePage.h"
#include "base/uExceptions.h"

#include <QFile>
#include <QFileInfo>
#include <QStringView>

namespace {

// Blanks and control characters at both ends, as the INI readers of the platform trim.
QStringView TrimBlanks(QStringView AText) {
    qsizetype lBegin = 0, lEnd = AText.size();
    while (lBegin < lEnd && AText.at(lBegin).unicode() <= ' ')
        ++lBegin;
    while (lEnd > lBegin && AText.at(lEnd - 1).unicode() <= ' ')
        --lEnd;
    return AText.mid(lBegin, lEnd - lBegin);
}

QString FoldCase(const QString& AName) {
    return AName.toCaseFolded();
}

[[noreturn]] void RaiseFileError(const QString& AFileName, const QString& AReason) {
    throw EInOutError(QStringLiteral("Cannot read file \"%1\". %2").arg(AFileName, AReason));
}

} // namespace

QString DecodeTextBytes(const QByteArray& ABytes) {
    const auto lByte = [&](qsizetype i) { return static_cast<unsigned char>(ABytes.at(i)); };
    if (ABytes.size() >= 3 && lByte(0) == 0xEF && lByte(1) == 0xBB && lByte(2) == 0xBF)
        return QString::fromUtf8(ABytes.constData() + 3, ABytes.size() - 3);
    if (ABytes.size() >= 2 &&
        ((lByte(0) == 0xFF && lByte(1) == 0xFE) || (lByte(0) == 0xFE && lByte(1) == 0xFF))) {
        const bool lLittle = lByte(0) == 0xFF;
        // An odd last byte cannot form a character and is dropped.
        const qsizetype lUnits = (ABytes.size() - 2) / 2;
        QString lText(lUnits, Qt::Uninitialized);
        for (qsizetype i = 0; i < lUnits; ++i) {
            const unsigned lLo = lByte(2 + 2 * i + (lLittle ? 0 : 1));
            const unsigned lHi = lByte(2 + 2 * i + (lLittle ? 1 : 0));
            lText[i] = QChar(char16_t((lHi << 8) | lLo));
        }
        return lText;
    }
    return FromAnsi(ABytes);
}

TMemIniFile::TMemIniFile(const QString& AFileName) {
    const QFileInfo lInfo(AFileName);
    if (!lInfo.exists())
        return;
    if (lInfo.isDir())
        RaiseFileError(AFileName, QStringLiteral("It is a folder."));
    if (lInfo.size() > IniMaxFileSize)
        RaiseFileError(AFileName, QStringLiteral("The file is larger than %1 bytes.").arg(IniMaxFileSize));
    QFile lFile(AFileName);
    if (!lFile.open(QIODevice::ReadOnly))
        RaiseFileError(AFileName, lFile.errorString());
    // The size check above does not hold for devices and pipes, whose size reads as 0.
    QByteArray lBytes;
    char lBuf[65536];
    while (true) {
        const qint64 lRead = lFile.read(lBuf, sizeof lBuf);
        if (lRead < 0)
            RaiseFileError(AFileName, lFile.errorString());
        if (lRead == 0)
            break;
        if (lBytes.size() + lRead > IniMaxFileSize)
            RaiseFileError(AFileName,
                           QStringLiteral("The file is larger than %1 bytes.").arg(IniMaxFileSize));
        lBytes.append(lBuf, qsizetype(lRead));
    }
    SetBytes(lBytes);
}

void TMemIniFile::SetBytes(const QByteArray& ABytes) {
    SetText(DecodeTextBytes(ABytes));
}

void TMemIniFile::SetText(const QString& AText) {
    m_aSections.clear();
    m_aSectionIndex.clear();
    TSection* lSection = nullptr;
    const QStringView lAll(AText);
    qsizetype lPos = 0;
    while (lPos < lAll.size()) {
        qsizetype lEnd = lPos;
        while (lEnd < lAll.size() && lAll.at(lEnd) != QLatin1Char('\n') && lAll.at(lEnd) != QLatin1Char('\r'))
            ++lEnd;
        const QStringView lLine = TrimBlanks(lAll.mid(lPos, lEnd - lPos));
        // CR LF, lone CR and lone LF all end a line.
        lPos = lEnd + 1;
        if (lEnd + 1 < lAll.size() && lAll.at(lEnd) == QLatin1Char('\r') &&
            lAll.at(lEnd + 1) == QLatin1Char('\n'))
            ++lPos;

        if (lLine.isEmpty() || lLine.front() == QLatin1Char(';'))
            continue;
        if (lLine.size() >= 2 && lLine.front() == QLatin1Char('[') && lLine.back() == QLatin1Char(']')) {
            const QString lName = TrimBlanks(lLine.mid(1, lLine.size() - 2)).toString();
            const QString lKey = FoldCase(lName);
            const auto lFound = m_aSectionIndex.constFind(lKey);
            if (lFound != m_aSectionIndex.constEnd()) {
                lSection = &m_aSections[*lFound];
            } else {
                m_aSectionIndex.insert(lKey, m_aSections.size());
                m_aSections.push_back(TSection{lName, {}, {}});
                lSection = &m_aSections.back();
            }
            continue;
        }
        const qsizetype lEq = lLine.indexOf(QLatin1Char('='));
        if (lSection == nullptr || lEq < 0)
            continue;
        const QString lKey = TrimBlanks(lLine.left(lEq)).toString();
        const QString lValue = TrimBlanks(lLine.mid(lEq + 1)).toString();
        const QString lFolded = FoldCase(lKey);
        if (!lSection->m_aFirstLine.contains(lFolded))
            lSection->m_aFirstLine.insert(lFolded, lSection->m_aLines.size());
        lSection->m_aLines.emplace_back(lKey, lValue);
    }
}

const TMemIniFile::TSection* TMemIniFile::FindSection(const QString& AName) const {
    const auto lFound = m_aSectionIndex.constFind(FoldCase(AName));
    return lFound == m_aSectionIndex.constEnd() ? nullptr : &m_aSections[*lFound];
}

bool TMemIniFile::SectionExists(const QString& ASection) const {
    return FindSection(ASection) != nullptr;
}

bool TMemIniFile::ValueExists(const QString& ASection, const QString& AKey) const {
    const TSection* lSection = FindSection(ASection);
    return lSection != nullptr && lSection->m_aFirstLine.contains(FoldCase(AKey));
}

QString TMemIniFile::ReadString(const QString& ASection, const QString& AKey, const QString& ADefault) const {
    const TSection* lSection = FindSection(ASection);
    if (lSection == nullptr)
        return ADefault;
    const auto lFound = lSection->m_aFirstLine.constFind(FoldCase(AKey));
    return lFound == lSection->m_aFirstLine.constEnd() ? ADefault : lSection->m_aLines[*lFound].second;
}

std::vector<std::pair<QString, QString>> TMemIniFile::ReadSectionValues(const QString& ASection) const {
    const TSection* lSection = FindSection(ASection);
    return lSection == nullptr ? std::vector<std::pair<QString, QString>>() : lSection->m_aLines;
}

QStringList TMemIniFile::Sections() const {
    QStringList lNames;
    for (const TSection& lSection : m_aSections)
        lNames << lSection.m_sName;
    return lNames;
}
