// Language and INI files from any bytes: reading never fails, every line read is found again by its
// section and key, and the value coding of language files round-trips.

#include "base/uCodePage.h"
#include "base/uIniFile.h"
#include "base/uLangFiles.h"
#include "base/uLocale.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void Fail(const char* AWhat) {
    std::fprintf(stderr, "fuzz_inifile: %s\n", AWhat);
    std::abort();
}

// Letter case swapped for ASCII letters, which every notion of "without case" agrees on.
QString SwapAsciiCase(QString AText) {
    for (QChar& c : AText) {
        if (c.unicode() >= 'a' && c.unicode() <= 'z')
            c = QChar(c.unicode() - 32);
        else if (c.unicode() >= 'A' && c.unicode() <= 'Z')
            c = QChar(c.unicode() + 32);
    }
    return AText;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, size_t ASize) {
    const QByteArray lBytes = QByteArray::fromRawData(reinterpret_cast<const char*>(AData), qsizetype(ASize));
    SetCodePageOverride(QStringLiteral("CP1251"));

    TMemIniFile lIni;
    lIni.SetBytes(lBytes);
    for (const QString& lSection : lIni.Sections()) {
        if (!lIni.SectionExists(lSection))
            Fail("a listed section is not found");
        for (const auto& [lKey, lValue] : lIni.ReadSectionValues(lSection)) {
            if (!lIni.ValueExists(SwapAsciiCase(lSection), SwapAsciiCase(lKey)))
                Fail("a key read is not found");
            // Several lines may share a key; the lookup answers with one of them.
            lIni.ReadString(lSection, lKey, QString());
            const QString lDecoded = DecodeStr(lValue);
            if (DecodeStr(EncodeStr(lDecoded)) != lDecoded)
                Fail("decoding an encoded value changes it");
        }
    }
    // Any text through the code page and back stays within the characters the code page has.
    const QString lText = QString::fromUtf8(lBytes);
    const QByteArray lAnsi = ToAnsi(lText);
    if (ToAnsi(FromAnsi(lAnsi)) != lAnsi)
        Fail("the code page does not round-trip its own bytes");
    Extended lFloat = 0;
    std::int32_t lInt = 0;
    TryStrToFloat(lText, lFloat);
    TryStrToInt(lText, lInt);
    return 0;
}
