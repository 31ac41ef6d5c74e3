#include "base/uScanFormat.h"

#include "base/uExceptions.h"
#include "base/uLocale.h"

namespace {

bool IsDigit(QChar AChar) {
    return AChar.unicode() >= '0' && AChar.unicode() <= '9';
}

bool IsHexDigit(QChar AChar) {
    const char16_t c = AChar.unicode();
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

bool IsSign(QChar AChar) {
    return AChar == QLatin1Char('+') || AChar == QLatin1Char('-');
}

[[noreturn]] void RaiseNotInteger(const QString& AText) {
    throw EConvertError(QStringLiteral("'%1' is not a valid integer value").arg(AText));
}

// Sign and decimal digits, exactly as taken from the text; a value outside 32 bits is an error rather
// than a silently wrapped number.
std::int32_t ConvertDecimal(const QString& AText) {
    qsizetype i = 0;
    bool lNegative = false;
    if (i < AText.size() && IsSign(AText.at(i)))
        lNegative = AText.at(i++) == QLatin1Char('-');
    if (i == AText.size())
        RaiseNotInteger(AText);
    const std::int64_t lLimit = lNegative ? 2147483648LL : 2147483647LL;
    std::int64_t lValue = 0;
    for (; i < AText.size(); ++i) {
        lValue = lValue * 10 + (AText.at(i).unicode() - '0');
        if (lValue > lLimit)
            RaiseNotInteger(AText);
    }
    return static_cast<std::int32_t>(lNegative ? -lValue : lValue);
}

// Hexadecimal digits into a 32-bit pattern (FFFFFFFF is -1); more than 32 bits is an error.
std::int32_t ConvertHex(const QString& AText) {
    std::uint64_t lValue = 0;
    for (const QChar lChar : AText) {
        const char16_t c = lChar.unicode();
        const int lDigit = c <= '9' ? c - '0' : (c <= 'F' ? c - 'A' + 10 : c - 'a' + 10);
        lValue = (lValue << 4) | std::uint64_t(lDigit);
        if (lValue > 0xFFFFFFFFull)
            RaiseNotInteger(QLatin1Char('$') + AText);
    }
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(lValue));
}

template <class T> T* TargetOf(const TScanTarget& ATarget) {
    T* const* lPtr = std::get_if<T*>(&ATarget);
    // The directive and the target's type are written side by side by the caller.
    TARVO_ASSERT(lPtr != nullptr && *lPtr != nullptr, "uScanFormat");
    return *lPtr;
}

} // namespace

int ScanFormat(const QString& AText, const QString& APattern, std::initializer_list<TScanTarget> ATargets) {
    const qsizetype lTextLen = AText.size();
    const qsizetype lPatLen = APattern.size();
    const QChar lBlank = QLatin1Char(' ');
    qsizetype iT = 0, iP = 0;
    int lCount = 0;
    const TScanTarget* lTarget = ATargets.begin();

    while (lTarget != ATargets.end()) {
        while (iP < lPatLen && APattern.at(iP) == lBlank)
            ++iP;
        // The pattern's last character is never used on its own.
        if (iP >= lPatLen - 1)
            break;

        if (APattern.at(iP) != QLatin1Char('%')) {
            const QChar lLiteral = APattern.at(iP);
            // The text's last character is not compared: reaching it counts as finding the literal.
            while (iT < lTextLen - 1 && AText.at(iT) != lLiteral)
                ++iT;
            if (iT >= lTextLen)
                break;
            ++iT;
            ++iP;
            continue;
        }

        const char16_t lDirective = APattern.at(iP + 1).toLower().unicode();
        iP += 2;
        if (lDirective != 'd' && lDirective != 'x' && lDirective != 'f' && lDirective != 's')
            break;

        while (iT < lTextLen - 1 && AText.at(iT) == lBlank)
            ++iT;
        const qsizetype lStart = iT;
        switch (lDirective) {
        case 'd': {
            std::int32_t* lDest = TargetOf<std::int32_t>(*lTarget);
            if (iT < lTextLen && IsSign(AText.at(iT)))
                ++iT;
            while (iT < lTextLen && IsDigit(AText.at(iT)))
                ++iT;
            if (iT == lStart)
                return lCount;
            *lDest = ConvertDecimal(AText.mid(lStart, iT - lStart));
            break;
        }
        case 'x': {
            std::int32_t* lDest = TargetOf<std::int32_t>(*lTarget);
            while (iT < lTextLen && IsHexDigit(AText.at(iT)))
                ++iT;
            if (iT == lStart)
                return lCount;
            *lDest = ConvertHex(AText.mid(lStart, iT - lStart));
            break;
        }
        case 'f': {
            Extended* lDest = TargetOf<Extended>(*lTarget);
            const QChar lSep = DecimalSeparator();
            if (iT < lTextLen && IsSign(AText.at(iT)))
                ++iT;
            while (iT < lTextLen && (IsDigit(AText.at(iT)) || AText.at(iT) == QLatin1Char('E') ||
                                     AText.at(iT) == QLatin1Char('e') || AText.at(iT) == lSep))
                ++iT;
            if (iT == lStart)
                return lCount;
            *lDest = StrToFloat(AText.mid(lStart, iT - lStart));
            break;
        }
        default: { // 's'
            QString* lDest = TargetOf<QString>(*lTarget);
            if (iP < lPatLen) {
                const qsizetype lEnd = AText.indexOf(APattern.at(iP), iT);
                iT = lEnd < 0 ? lTextLen : lEnd;
            } else {
                iT = lTextLen;
            }
            *lDest = AText.mid(lStart, iT - lStart);
            break;
        }
        }
        ++lCount;
        ++lTarget;
    }
    return lCount;
}
