#include "base/uKeyNum.h"

#include "base/uExceptions.h"

#include <algorithm>

namespace {

// A length byte above 15 never comes from a parse or a reader; comparisons read at most 15 bytes so a
// stray value cannot make them read past the number.
int SafeLength(const TOrv_KEYNUM& ANumber) {
    return std::min<int>(ANumber[0], 15);
}

} // namespace

int HexDigit(char16_t AChar) {
    if (AChar >= '0' && AChar <= '9')
        return AChar - '0';
    if (AChar >= 'A' && AChar <= 'F')
        return AChar - 'A' + 10;
    if (AChar >= 'a' && AChar <= 'f')
        return AChar - 'a' + 10;
    return -1;
}

bool SameKeyNum(const TOrv_KEYNUM& A, const TOrv_KEYNUM& B) {
    const int lLen = std::min(SafeLength(A), SafeLength(B));
    return std::equal(A.begin() + 1, A.begin() + 1 + lLen, B.begin() + 1);
}

int CompareKeyNums(const TOrv_KEYNUM& A, const TOrv_KEYNUM& B) {
    const int lLenA = SafeLength(A), lLenB = SafeLength(B);
    for (int i = std::min(lLenA, lLenB); i >= 1; --i)
        if (A[size_t(i)] != B[size_t(i)])
            return A[size_t(i)] < B[size_t(i)] ? -1 : 1;
    return lLenA < lLenB ? -1 : (lLenA > lLenB ? 1 : 0);
}

QString KeyNumToStr(const TOrv_KEYNUM& ANumber, int AKeyView) {
    const int lLen = ANumber[0];
    TARVO_ASSERT(lLen <= 15, "uTarvoDoc");
    if (AKeyView == KEYVIEW_WINPAK) {
        std::uint32_t lValue = 0;
        for (int i = std::min(lLen, 3); i >= 1; --i)
            lValue = (lValue << 8) | ANumber[size_t(i)];
        return QString::number(lValue);
    }
    static const char16_t cDigits[] = u"0123456789ABCDEF";
    QString lResult(qsizetype(lLen) * 2, Qt::Uninitialized);
    QChar* lOut = lResult.data();
    for (int i = lLen; i >= 1; --i) {
        *lOut++ = QChar(cDigits[ANumber[size_t(i)] >> 4]);
        *lOut++ = QChar(cDigits[ANumber[size_t(i)] & 0x0F]);
    }
    return lResult;
}

bool HexToKeyNum(const QString& AText, TOrv_KEYNUM& VNumber) {
    VNumber.fill(0);
    int lNibbles = 0;
    // From the last character: the first digit of each pair is the low nibble. Characters before the
    // fifteenth byte's pair are not looked at.
    for (qsizetype i = AText.size() - 1; i >= 0 && lNibbles < 30; --i, ++lNibbles) {
        const int lDigit = HexDigit(AText.at(i).unicode());
        if (lDigit < 0) {
            VNumber.fill(0);
            return false;
        }
        std::uint8_t& lByte = VNumber[size_t(lNibbles / 2 + 1)];
        lByte |= std::uint8_t(lNibbles % 2 == 0 ? lDigit : lDigit << 4);
    }
    VNumber[0] = std::uint8_t((lNibbles + 1) / 2);
    return true;
}

QString UserOrKeyText(const QString& AUserName, const TOrv_KEYNUM& ANumber, int AKeyView) {
    if (!AUserName.isEmpty())
        return AUserName;
    return QLatin1Char('{') + KeyNumToStr(ANumber, AKeyView) + QLatin1Char('}');
}

TOrv_KEYNUM MakeKeyNum(std::initializer_list<std::uint8_t> ABytesLowFirst) {
    TARVO_ASSERT(ABytesLowFirst.size() <= 15, "uKeyNum");
    TOrv_KEYNUM lNumber{};
    lNumber[0] = std::uint8_t(ABytesLowFirst.size());
    std::copy(ABytesLowFirst.begin(), ABytesLowFirst.end(), lNumber.begin() + 1);
    return lNumber;
}
