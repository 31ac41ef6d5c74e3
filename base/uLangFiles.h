#pragma once
// Language files "<Prefix>*.lng" in the "Languages" folder: listing and header info, value coding.

#include <QString>

#include <cstdint>
#include <vector>

struct TLangInfo {
    QString m_sTitle;
    QString m_sAuthor;
    std::uint32_t m_nLangId = 0;
    QString m_sFileName; // without folder
};
using TALangs = std::vector<TLangInfo>;

// Lists APrefix + "*.lng" in ALangDir (default: LanguagesDir()); files that fail to read are left out.
void FindLanguageFiles(const QString& APrefix, TALangs& VLangs, const QString& ALangDir = QString());
// "Title", "Author", "LangId" (hex without prefix; empty or not hex gives 0) of section "Global".
bool ReadLangInfo(const QString& AFileName, TLangInfo& VInfo);
int FindLangById(const TALangs& ALangs, std::uint32_t AId);
// "LangId": hexadecimal digits without prefix ("0419" and "419" give 1049); anything else, or more
// than 32 bits, gives 0.
std::uint32_t ParseLangId(const QString& AText);

// Single-line value coding of language files ("\n", "\\", "\"").
QString EncodeStr(const QString& AText);
QString DecodeStr(const QString& AText);

// The language to use in place of 127 ("none chosen"): the system's language id when a file with it
// exists among APrefix's files, otherwise 127.
std::uint32_t ResolveSystemLanguage(const QString& APrefix, const QString& ALangDir = QString());
