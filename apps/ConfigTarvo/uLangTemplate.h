#pragma once
// The configuration program's template for translators: every window of the program is created once,
// unshown, and the translator writes what they show into a language file.

#include <QString>

#include <cstdint>

// Writes the template into AFile (its other sections stay). ALanguage (a language identifier, 0 for
// none) is loaded first, so the texts and messages already translated in it are written translated.
// Neither the data file nor the reader is opened. Errors are raised.
void WriteLanguageTemplate(const QString& AFile, std::uint32_t ALanguage);
