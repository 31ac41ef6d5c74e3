#include "base/uLocale.h"

#include "base/uExceptions.h"
#include "base/uMoney.h"

#include <atomic>
#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <locale.h>
#include <string>

namespace {

std::atomic<char16_t> g_nDecimalSep{0};  // 0: the locale's
std::atomic<std::uint32_t> g_nLangId{0}; // 0: the locale's

// Formatting and conversion in the "C" locale for this thread only: the application object sets the
// process locale from the environment, which would put a comma into printf's and strtold's numbers.
locale_t CLocale() {
    static const locale_t lLocale = newlocale(LC_ALL_MASK, "C", locale_t(0));
    return lLocale;
}

class TCLocaleScope {
public:
    TCLocaleScope() : m_hOld(uselocale(CLocale())) {}
    ~TCLocaleScope() { uselocale(m_hOld); }
    TCLocaleScope(const TCLocaleScope&) = delete;
    TCLocaleScope& operator=(const TCLocaleScope&) = delete;

private:
    locale_t m_hOld;
};

struct TLcidEntry {
    QLocale::Language m_nLanguage;
    QLocale::Territory m_nTerritory; // AnyTerritory: the language's default
    std::uint32_t m_nLcid;
};

// Windows language identifiers of the common locales. A territory-specific row wins over the row of the
// language's default.
const TLcidEntry cLcids[] = {
    {QLocale::English, QLocale::UnitedStates, 1033},
    {QLocale::English, QLocale::UnitedKingdom, 2057},
    {QLocale::English, QLocale::Australia, 3081},
    {QLocale::English, QLocale::Canada, 4105},
    {QLocale::English, QLocale::NewZealand, 5129},
    {QLocale::English, QLocale::Ireland, 6153},
    {QLocale::English, QLocale::SouthAfrica, 7177},
    {QLocale::English, QLocale::AnyTerritory, 1033},
    {QLocale::Russian, QLocale::AnyTerritory, 1049},
    {QLocale::Ukrainian, QLocale::AnyTerritory, 1058},
    {QLocale::Belarusian, QLocale::AnyTerritory, 1059},
    {QLocale::Polish, QLocale::AnyTerritory, 1045},
    {QLocale::German, QLocale::Switzerland, 2055},
    {QLocale::German, QLocale::Austria, 3079},
    {QLocale::German, QLocale::AnyTerritory, 1031},
    {QLocale::French, QLocale::Belgium, 2060},
    {QLocale::French, QLocale::Canada, 3084},
    {QLocale::French, QLocale::Switzerland, 4108},
    {QLocale::French, QLocale::AnyTerritory, 1036},
    {QLocale::Spanish, QLocale::Mexico, 2058},
    {QLocale::Spanish, QLocale::AnyTerritory, 3082},
    {QLocale::Italian, QLocale::Switzerland, 2064},
    {QLocale::Italian, QLocale::AnyTerritory, 1040},
    {QLocale::Czech, QLocale::AnyTerritory, 1029},
    {QLocale::Slovak, QLocale::AnyTerritory, 1051},
    {QLocale::Hungarian, QLocale::AnyTerritory, 1038},
    {QLocale::Romanian, QLocale::AnyTerritory, 1048},
    {QLocale::Bulgarian, QLocale::AnyTerritory, 1026},
    {QLocale::Croatian, QLocale::AnyTerritory, 1050},
    {QLocale::Slovenian, QLocale::AnyTerritory, 1060},
    {QLocale::Serbian, QLocale::AnyTerritory, 10266},
    {QLocale::Finnish, QLocale::AnyTerritory, 1035},
    {QLocale::Swedish, QLocale::Finland, 2077},
    {QLocale::Swedish, QLocale::AnyTerritory, 1053},
    {QLocale::Estonian, QLocale::AnyTerritory, 1061},
    {QLocale::Latvian, QLocale::AnyTerritory, 1062},
    {QLocale::Lithuanian, QLocale::AnyTerritory, 1063},
    {QLocale::Kazakh, QLocale::AnyTerritory, 1087},
    {QLocale::Kyrgyz, QLocale::AnyTerritory, 1088},
    {QLocale::Uzbek, QLocale::AnyTerritory, 1091},
    {QLocale::Armenian, QLocale::AnyTerritory, 1067},
    {QLocale::Georgian, QLocale::AnyTerritory, 1079},
    {QLocale::Azerbaijani, QLocale::AnyTerritory, 1068},
    {QLocale::Dutch, QLocale::Belgium, 2067},
    {QLocale::Dutch, QLocale::AnyTerritory, 1043},
    {QLocale::Danish, QLocale::AnyTerritory, 1030},
    {QLocale::NorwegianBokmal, QLocale::AnyTerritory, 1044},
    {QLocale::NorwegianNynorsk, QLocale::AnyTerritory, 2068},
    {QLocale::Greek, QLocale::AnyTerritory, 1032},
    {QLocale::Portuguese, QLocale::Portugal, 2070},
    {QLocale::Portuguese, QLocale::AnyTerritory, 1046},
    {QLocale::Turkish, QLocale::AnyTerritory, 1055},
    {QLocale::Hebrew, QLocale::AnyTerritory, 1037},
    {QLocale::Arabic, QLocale::AnyTerritory, 1025},
    {QLocale::Chinese, QLocale::Taiwan, 1028},
    {QLocale::Chinese, QLocale::HongKong, 3076},
    {QLocale::Chinese, QLocale::Singapore, 4100},
    {QLocale::Chinese, QLocale::AnyTerritory, 2052},
    {QLocale::Japanese, QLocale::AnyTerritory, 1041},
    {QLocale::Korean, QLocale::AnyTerritory, 1042},
    {QLocale::Vietnamese, QLocale::AnyTerritory, 1066},
    {QLocale::Thai, QLocale::AnyTerritory, 1054},
    {QLocale::Indonesian, QLocale::AnyTerritory, 1057},
};

} // namespace

std::uint32_t LangIdOfLocale(const QLocale& ALocale) {
    // The "C" locale of a bare environment speaks English.
    if (ALocale.language() == QLocale::C)
        return 1033;
    std::uint32_t lDefault = 0;
    for (const TLcidEntry& lEntry : cLcids) {
        if (lEntry.m_nLanguage != ALocale.language())
            continue;
        if (lEntry.m_nTerritory == ALocale.territory())
            return lEntry.m_nLcid;
        if (lEntry.m_nTerritory == QLocale::AnyTerritory)
            lDefault = lEntry.m_nLcid;
    }
    return lDefault;
}

namespace {

bool IsBlank(QChar AChar) {
    return AChar == QLatin1Char(' ') || AChar == QLatin1Char('\t');
}

QString ConvertErrorText(const QString& AText, const char* AKind) {
    return QStringLiteral("'%1' is not a valid %2 value").arg(AText, QLatin1String(AKind));
}

} // namespace

QLocale UserLocale() {
    return QLocale();
}

QChar DecimalSeparator() {
    const char16_t lSep = g_nDecimalSep.load();
    if (lSep != 0)
        return QChar(lSep);
    const QString lPoint = UserLocale().decimalPoint();
    return lPoint.size() == 1 ? lPoint.at(0) : QLatin1Char('.');
}

std::uint32_t SystemLangId() {
    const std::uint32_t lId = g_nLangId.load();
    return lId != 0 ? lId : LangIdOfLocale(QLocale::system());
}

void SetDecimalSeparator(QChar ASep) {
    g_nDecimalSep.store(ASep.unicode());
}

void SetSystemLangId(std::uint32_t AId) {
    g_nLangId.store(AId);
}

void ResetLocaleOverrides() {
    g_nDecimalSep.store(0);
    g_nLangId.store(0);
}

QString FloatToStr(Extended AValue) {
    if (std::isnan(AValue))
        return QStringLiteral("NAN");
    if (std::isinf(AValue))
        return AValue < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    if (AValue == 0)
        return QStringLiteral("0");
    // "%.15Lg" chooses between fixed and scientific exactly as the general format does (scientific below
    // 1E-4 and from 1E15 on) and drops trailing zeros; only the exponent's spelling differs.
    char lBuf[64];
    {
        TCLocaleScope lScope;
        std::snprintf(lBuf, sizeof lBuf, "%.15Lg", AValue);
    }
    QString lResult;
    const QChar lSep = DecimalSeparator();
    for (const char* p = lBuf; *p; ++p) {
        if (*p == '.') {
            lResult += lSep;
        } else if (*p == 'e') {
            lResult += QLatin1Char('E');
            ++p;
            if (*p == '-')
                lResult += QLatin1Char('-');
            ++p;
            while (*p == '0' && p[1] != '\0')
                ++p;
            lResult += QLatin1String(p);
            break;
        } else {
            lResult += QLatin1Char(*p);
        }
    }
    return lResult;
}

bool TryStrToFloat(const QString& AText, Extended& VValue) {
    const QChar lSep = DecimalSeparator();
    qsizetype i = 0;
    const qsizetype n = AText.size();
    while (i < n && IsBlank(AText.at(i)))
        ++i;
    std::string lNumber;
    if (i < n && (AText.at(i) == QLatin1Char('+') || AText.at(i) == QLatin1Char('-')))
        lNumber += char(AText.at(i++).unicode());
    int lDigits = 0;
    while (i < n && AText.at(i).unicode() >= '0' && AText.at(i).unicode() <= '9') {
        lNumber += char(AText.at(i++).unicode());
        ++lDigits;
    }
    if (i < n && AText.at(i) == lSep) {
        lNumber += '.';
        ++i;
        while (i < n && AText.at(i).unicode() >= '0' && AText.at(i).unicode() <= '9') {
            lNumber += char(AText.at(i++).unicode());
            ++lDigits;
        }
    }
    if (lDigits == 0)
        return false;
    if (i < n && (AText.at(i) == QLatin1Char('e') || AText.at(i) == QLatin1Char('E'))) {
        lNumber += 'e';
        ++i;
        if (i < n && (AText.at(i) == QLatin1Char('+') || AText.at(i) == QLatin1Char('-')))
            lNumber += char(AText.at(i++).unicode());
        int lExpDigits = 0;
        while (i < n && AText.at(i).unicode() >= '0' && AText.at(i).unicode() <= '9') {
            lNumber += char(AText.at(i++).unicode());
            ++lExpDigits;
        }
        if (lExpDigits == 0)
            return false;
    }
    while (i < n && IsBlank(AText.at(i)))
        ++i;
    if (i != n)
        return false;
    errno = 0;
    const Extended lValue = strtold_l(lNumber.c_str(), nullptr, CLocale());
    // Too large for the extended type; a value too small to represent becomes 0 or a denormal.
    if (std::isinf(lValue))
        return false;
    VValue = lValue;
    return true;
}

Extended StrToFloat(const QString& AText) {
    Extended lValue = 0;
    if (!TryStrToFloat(AText, lValue))
        throw EConvertError(ConvertErrorText(AText, "floating point"));
    return lValue;
}

bool TryStrToInt(const QString& AText, std::int32_t& VValue) {
    qsizetype i = 0;
    const qsizetype n = AText.size();
    while (i < n && IsBlank(AText.at(i)))
        ++i;
    bool lNegative = false;
    if (i < n && (AText.at(i) == QLatin1Char('+') || AText.at(i) == QLatin1Char('-')))
        lNegative = AText.at(i++) == QLatin1Char('-');
    int lBase = 10;
    if (i < n && AText.at(i) == QLatin1Char('$')) {
        lBase = 16;
        ++i;
    } else if (i + 1 < n && AText.at(i) == QLatin1Char('0') &&
               (AText.at(i + 1) == QLatin1Char('x') || AText.at(i + 1) == QLatin1Char('X'))) {
        lBase = 16;
        i += 2;
    }
    // Decimal texts must fit the signed range; hexadecimal ones are 32-bit patterns ($FFFFFFFF is -1).
    const std::uint64_t lLimit = lBase == 16 ? 0xFFFFFFFFull : (lNegative ? 0x80000000ull : 0x7FFFFFFFull);
    std::uint64_t lValue = 0;
    if (i == n)
        return false;
    for (; i < n; ++i) {
        const char16_t c = AText.at(i).unicode();
        int lDigit = -1;
        if (c >= '0' && c <= '9')
            lDigit = c - '0';
        else if (lBase == 16 && c >= 'a' && c <= 'f')
            lDigit = c - 'a' + 10;
        else if (lBase == 16 && c >= 'A' && c <= 'F')
            lDigit = c - 'A' + 10;
        if (lDigit < 0)
            return false;
        lValue = lValue * std::uint64_t(lBase) + std::uint64_t(lDigit);
        if (lValue > lLimit)
            return false;
    }
    const std::uint32_t lBits = static_cast<std::uint32_t>(lValue);
    VValue = static_cast<std::int32_t>(lNegative ? 0u - lBits : lBits);
    return true;
}

std::int32_t StrToInt(const QString& AText) {
    std::int32_t lValue = 0;
    if (!TryStrToInt(AText, lValue))
        throw EConvertError(ConvertErrorText(AText, "integer"));
    return lValue;
}

QString PriceToStr(Extended AValue, int AAcc) {
    if (std::isnan(AValue))
        return QStringLiteral("NAN");
    if (std::isinf(AValue))
        return AValue < 0 ? QStringLiteral("-INF") : QStringLiteral("INF");
    // The extended type holds no more than about 19 significant digits; like the platform's fixed
    // format, more than 18 decimals are not written (an absurd accuracy from a file must not ask for a
    // text of billions of zeros).
    const int lDecimals = AAcc >= 0 ? 0 : (AAcc < -18 ? 18 : -AAcc);
    // The C library rounds an exact half to even ("10" for 10.5); amounts follow the rule of billing.
    AValue = RoundHalfAwayFromZero(AValue, -lDecimals);
    char lBuf[128];
    int lLen = 0;
    {
        TCLocaleScope lScope;
        lLen = std::snprintf(lBuf, sizeof lBuf, "%.*Lf", lDecimals, AValue);
    }
    std::string lText;
    if (lLen < int(sizeof lBuf)) {
        lText = lBuf;
    } else {
        lText.resize(size_t(lLen) + 1);
        TCLocaleScope lScope;
        std::snprintf(lText.data(), lText.size(), "%.*Lf", lDecimals, AValue);
        lText.resize(size_t(lLen));
    }
    // A small negative amount that rounds to zero is shown as zero, not as "-0.00".
    if (!lText.empty() && lText[0] == '-' && lText.find_first_not_of("0.", 1) == std::string::npos)
        lText.erase(0, 1);
    QString lResult = QString::fromLatin1(lText.data(), qsizetype(lText.size()));
    lResult.replace(QLatin1Char('.'), DecimalSeparator());
    return lResult;
}
