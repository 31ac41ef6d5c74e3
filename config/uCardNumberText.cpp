#include "config/uCardNumberText.h"

#include <algorithm>
#include <vector>

namespace {

// The decimal text of a number given most significant byte first.
QString Decimal(std::vector<std::uint8_t> ABytes) {
    QString lDigits;
    for (;;) {
        bool lZero = true;
        unsigned lRest = 0;
        for (std::uint8_t& b : ABytes) {
            const unsigned v = lRest * 256 + b;
            b = std::uint8_t(v / 10);
            lRest = v % 10;
            lZero = lZero && b == 0;
        }
        lDigits.prepend(QChar(u'0' + char16_t(lRest)));
        if (lZero)
            return lDigits;
    }
}

QString Hex(const std::vector<std::uint8_t>& ABytes) {
    QString s;
    for (std::uint8_t b : ABytes)
        s += QStringLiteral("%1").arg(b, 2, 16, QLatin1Char('0')).toUpper();
    return s;
}

} // namespace

QString CardFormatName(int AFormat) {
    return AFormat >= 0 && AFormat < cCardFormatCount
               ? QString::fromLatin1(Orv::NumFormatName(Orv::TNumFormat(AFormat)))
               : QString();
}

int CardFormatOfName(const QString& AName) {
    Orv::TNumFormat lFormat{};
    return Orv::ParseNumFormat(AName.toStdString(), lFormat) ? int(lFormat) : -1;
}

QString KeyNumInFormat(const TOrv_KEYNUM& AKey, int AFormat) {
    const int n = std::min<int>(AKey[0], 15);
    if (n == 0)
        return QString();
    std::vector<std::uint8_t> lHigh; // most significant byte first
    for (int i = n; i >= 1; --i)
        lHigh.push_back(AKey[std::size_t(i)]);
    std::vector<std::uint8_t> lLow(lHigh.rbegin(), lHigh.rend());
    switch (AFormat) {
    case 0: {
        if (n < 4)
            return QString();
        const std::uint32_t v = std::uint32_t(AKey[4]) << 24 | std::uint32_t(AKey[3]) << 16 |
                                std::uint32_t(AKey[2]) << 8 | AKey[1];
        return QStringLiteral("%1").arg(v, 10, 10, QLatin1Char('0'));
    }
    case 1:
        if (n < 3)
            return QString();
        return QStringLiteral("%1,%2")
            .arg(AKey[3], 3, 10, QLatin1Char('0'))
            .arg(unsigned(AKey[2]) << 8 | AKey[1], 5, 10, QLatin1Char('0'));
    case 2:
        return Hex(lHigh);
    case 3:
        return Hex(lLow);
    case 4:
        return Decimal(lHigh);
    case 5:
        return Decimal(lLow);
    default:
        return QString();
    }
}
