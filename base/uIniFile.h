#pragma once
// In-memory INI file: read whole, BOM-aware (UTF-8, UTF-16 LE/BE; otherwise the 8-bit code page).
// Files above IniMaxFileSize are refused (EInOutError) rather than read into memory.
// Lines trimmed; ";" comments; "[name]" sections; key = value with blanks around the first "=" removed.
// Section and key names are compared without letter case; a repeated key finds its first occurrence.

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>

#include <utility>
#include <vector>

inline constexpr qint64 IniMaxFileSize = 16 * 1024 * 1024;

class TMemIniFile {
public:
    TMemIniFile() = default;
    // A missing file gives an empty INI; an unreadable one raises EInOutError.
    explicit TMemIniFile(const QString& AFileName);
    void SetBytes(const QByteArray& ABytes);
    void SetText(const QString& AText);

    bool SectionExists(const QString& ASection) const;
    bool ValueExists(const QString& ASection, const QString& AKey) const;
    QString ReadString(const QString& ASection, const QString& AKey, const QString& ADefault) const;
    // Key/value lines of a section in file order.
    std::vector<std::pair<QString, QString>> ReadSectionValues(const QString& ASection) const;
    QStringList Sections() const;

private:
    struct TSection {
        QString m_sName;
        std::vector<std::pair<QString, QString>> m_aLines;
        QHash<QString, size_t> m_aFirstLine; // case-folded key -> its first line
    };
    const TSection* FindSection(const QString& AName) const;
    std::vector<TSection> m_aSections;
    QHash<QString, size_t> m_aSectionIndex; // case-folded name -> section (repeated headers merge)
};

// Text decoding of BOM-marked files: UTF-8, UTF-16 LE/BE, else the 8-bit code page.
QString DecodeTextBytes(const QByteArray& ABytes);
