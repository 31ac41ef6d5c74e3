// ScanFormat on any text and pattern: only EConvertError may come out, no target beyond the count is
// touched, and the count never exceeds the targets given.

#include "base/uExceptions.h"
#include "base/uLocale.h"
#include "base/uScanFormat.h"

#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

constexpr int cMaxTargets = 6;
constexpr std::int32_t cIntMark = 0x5A5A5A5A;
constexpr Extended cFloatMark = -12345.0L;
const QString cStrMark = QStringLiteral("\x01untouched");

[[noreturn]] void Fail(const char* AWhat) {
    std::fprintf(stderr, "fuzz_scanformat: %s\n", AWhat);
    std::abort();
}

// The directives in the order the scanner meets them: the pattern is walked the same way whatever the
// text holds (blanks skipped, "%" and its letter as one step, any other character as one step).
std::vector<char16_t> DirectivesOf(const QString& APattern) {
    std::vector<char16_t> lResult;
    qsizetype i = 0;
    while (true) {
        while (i < APattern.size() && APattern.at(i) == QLatin1Char(' '))
            ++i;
        if (i >= APattern.size() - 1)
            break;
        if (APattern.at(i) == QLatin1Char('%')) {
            const char16_t c = APattern.at(i + 1).toLower().unicode();
            if (c != 'd' && c != 'x' && c != 'f' && c != 's')
                break;
            lResult.push_back(c);
            i += 2;
        } else {
            ++i;
        }
    }
    return lResult;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, size_t ASize) {
    if (ASize < 1)
        return 0;
    // Byte 0: separator and target count; then text, a zero byte, the pattern.
    const std::uint8_t lControl = AData[0];
    SetDecimalSeparator((lControl & 0x80) ? QLatin1Char(',') : QLatin1Char('.'));
    const int lTargetCount = lControl % (cMaxTargets + 1);
    const char* lBegin = reinterpret_cast<const char*>(AData + 1);
    const size_t lRest = ASize - 1;
    const void* lZero = std::memchr(lBegin, 0, lRest);
    const size_t lTextLen = lZero ? size_t(static_cast<const char*>(lZero) - lBegin) : lRest;
    const QString lText = QString::fromUtf8(lBegin, qsizetype(lTextLen));
    const QString lPattern = lZero ? QString::fromUtf8(lBegin + lTextLen + 1, qsizetype(lRest - lTextLen - 1))
                                   : QStringLiteral("%d.%d");

    const std::vector<char16_t> lDirectives = DirectivesOf(lPattern);
    std::int32_t lInts[cMaxTargets];
    Extended lFloats[cMaxTargets];
    QString lStrings[cMaxTargets];
    std::vector<TScanTarget> lTargets;
    for (int i = 0; i < lTargetCount; ++i) {
        lInts[i] = cIntMark;
        lFloats[i] = cFloatMark;
        lStrings[i] = cStrMark;
        const char16_t d = size_t(i) < lDirectives.size() ? lDirectives[size_t(i)] : 'd';
        if (d == 'f')
            lTargets.emplace_back(&lFloats[i]);
        else if (d == 's')
            lTargets.emplace_back(&lStrings[i]);
        else
            lTargets.emplace_back(&lInts[i]);
    }

    int lCount = -1;
    try {
        // The scanner takes an initializer list; build one of the right length.
        switch (lTargetCount) {
        case 0:
            lCount = ScanFormat(lText, lPattern, {});
            break;
        case 1:
            lCount = ScanFormat(lText, lPattern, {lTargets[0]});
            break;
        case 2:
            lCount = ScanFormat(lText, lPattern, {lTargets[0], lTargets[1]});
            break;
        case 3:
            lCount = ScanFormat(lText, lPattern, {lTargets[0], lTargets[1], lTargets[2]});
            break;
        case 4:
            lCount = ScanFormat(lText, lPattern, {lTargets[0], lTargets[1], lTargets[2], lTargets[3]});
            break;
        case 5:
            lCount = ScanFormat(lText, lPattern,
                                {lTargets[0], lTargets[1], lTargets[2], lTargets[3], lTargets[4]});
            break;
        default:
            lCount =
                ScanFormat(lText, lPattern,
                           {lTargets[0], lTargets[1], lTargets[2], lTargets[3], lTargets[4], lTargets[5]});
            break;
        }
    } catch (const EConvertError&) {
        ResetLocaleOverrides();
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "unexpected exception: %s\n", e.what());
        Fail("an error other than EConvertError");
    }
    ResetLocaleOverrides();

    if (lCount < 0 || lCount > lTargetCount || size_t(lCount) > lDirectives.size())
        Fail("count out of range");
    for (int i = lCount; i < lTargetCount; ++i)
        if (lInts[i] != cIntMark || lFloats[i] != cFloatMark || lStrings[i] != cStrMark)
            Fail("a target beyond the count was written");
    for (int i = 0; i < lCount; ++i) {
        const char16_t d = lDirectives[size_t(i)];
        // A converted string is a piece of the text.
        if (d == 's' && !lText.contains(lStrings[i]))
            Fail("a string that is not part of the text");
    }
    return 0;
}
