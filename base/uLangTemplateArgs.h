#pragma once
// The translators' command line of both programs: "--write-language-template FILE" (or "=FILE")
// writes the language template and ends; "--language ID" (or "=ID") loads language ID first. ID is a
// language identifier as the data file stores it: decimal (1049), or hexadecimal with "0x" or "$".

#include <QString>
#include <QStringList>

#include <cstdint>

struct TLangTemplateArgs {
    bool m_fWrite = false; // --write-language-template was given
    QString m_sFile;       // the template file
    std::uint32_t m_nLanguage = 0;
    QString m_sError; // a usage error: empty when the arguments are fine
};

// AArgs as the program received them (AArgs[0] the program itself). Other arguments are left alone;
// without --write-language-template the result says m_fWrite false and nothing else applies.
TLangTemplateArgs ParseLangTemplateArgs(const QStringList& AArgs);
