#pragma once
// Small flag images of the language lists, drawn here: English (1033), Russian (1049), Polish (1045),
// German (1031); any other language gets a neutral globe-like sign so every entry lines up.

#include <QIcon>

#include <cstdint>

QIcon LangFlagIcon(std::uint32_t ALangId);
