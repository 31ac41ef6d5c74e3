// HexToKeyNum on any text, checked against what the text says, and the key order on pairs of numbers.

#include "base/uKeyNum.h"

#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

[[noreturn]] void Fail(const char* AWhat, const QString& AText) {
    std::fprintf(stderr, "fuzz_hexkeynum: %s for \"%s\"\n", AWhat, AText.toUtf8().constData());
    std::abort();
}

bool IsHex(QChar AChar) {
    const char16_t c = AChar.unicode();
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Parses AText and checks everything that must hold; returns whether it parsed.
bool CheckOne(const QString& AText, TOrv_KEYNUM& VNumber) {
    const qsizetype lUsed = AText.size() < 30 ? AText.size() : 30; // digits within the fifteen bytes
    const QString lTail = AText.right(lUsed);
    bool lAllHex = true;
    for (const QChar c : lTail)
        lAllHex = lAllHex && IsHex(c);

    const bool lOk = HexToKeyNum(AText, VNumber);
    if (lOk != lAllHex)
        Fail("success differs from the digits", AText);
    if (!lOk)
        return false;
    if (VNumber[0] != (lUsed + 1) / 2)
        Fail("length is not the number of bytes begun", AText);

    const QString lHex = KeyNumToStr(VNumber, 0);
    QString lExpected = lTail.toUpper();
    if (lExpected.size() % 2 != 0)
        lExpected.prepend(QLatin1Char('0'));
    if (lHex != lExpected)
        Fail("hex text is not the digits read", AText);

    TOrv_KEYNUM lBack{};
    if (!HexToKeyNum(lHex, lBack) || CompareKeyNums(lBack, VNumber) != 0 || !SameKeyNum(lBack, VNumber) ||
        std::memcmp(lBack.data(), VNumber.data(), lBack.size()) != 0)
        Fail("hex text does not read back to the same number", AText);

    const QString lDec = KeyNumToStr(VNumber, 1);
    bool lDecOk = false;
    const qulonglong lValue = lDec.toULongLong(&lDecOk);
    std::uint32_t lLow = 0;
    for (int i = VNumber[0] < 3 ? VNumber[0] : 3; i >= 1; --i)
        lLow = (lLow << 8) | VNumber[size_t(i)];
    if (!lDecOk || lValue != lLow || (lDec.size() > 1 && lDec.startsWith(QLatin1Char('0'))))
        Fail("decimal view is not the low three bytes", AText);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* AData, size_t ASize) {
    const char* lData = reinterpret_cast<const char*>(AData);
    // Two texts separated by a zero byte; Latin-1 reaches every byte value as a character.
    const void* lZero = std::memchr(lData, 0, ASize);
    const size_t lFirstLen = lZero ? size_t(static_cast<const char*>(lZero) - lData) : ASize;
    const QString lFirst = QString::fromLatin1(lData, qsizetype(lFirstLen));
    const QString lSecond =
        lZero ? QString::fromLatin1(lData + lFirstLen + 1, qsizetype(ASize - lFirstLen - 1)) : QString();

    TOrv_KEYNUM a{}, b{};
    CheckOne(QString::fromUtf8(lData, qsizetype(lFirstLen)), a);
    if (!CheckOne(lFirst, a) || !CheckOne(lSecond, b))
        return 0;

    const int lAB = CompareKeyNums(a, b), lBA = CompareKeyNums(b, a);
    if (lAB != -lBA || lAB < -1 || lAB > 1)
        Fail("order is not antisymmetric", lFirst);
    if (SameKeyNum(a, b) != SameKeyNum(b, a))
        Fail("equality is not symmetric", lFirst);
    if (lAB == 0 && !SameKeyNum(a, b))
        Fail("equal in order but not the same", lFirst);
    // The shorter number is the same as the longer one exactly when it is its low part.
    const int lShort = a[0] < b[0] ? a[0] : b[0];
    const bool lLowEqual = std::memcmp(a.data() + 1, b.data() + 1, size_t(lShort)) == 0;
    if (SameKeyNum(a, b) != lLowEqual)
        Fail("equality is not over the shorter length", lFirst);
    return 0;
}
