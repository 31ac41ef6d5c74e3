#include "base/uCodePage.h"
#include "base/uExceptions.h"
#include "base/uLocale.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <limits>

namespace {

TEST(Locale, FloatToStrGeneralFormat) {
    struct TCase {
        Extended value;
        const char* point;
        const char* comma;
    };
    const TCase cCases[] = {
        {18, "18", "18"},
        {0.5, "0.5", "0,5"},
        {-0.25, "-0.25", "-0,25"},
        {1E20, "1E20", "1E20"},
        {1.5E20L, "1.5E20", "1,5E20"},
        {1E-5, "1E-5", "1E-5"},
        {1.5E-7L, "1.5E-7", "1,5E-7"},
        {0.0001, "0.0001", "0,0001"},
        {123456789012345.0L, "123456789012345", "123456789012345"},
        {1E15, "1E15", "1E15"},
        {-1.25E100L, "-1.25E100", "-1,25E100"},
        {0.1 + 0.2, "0.3", "0,3"},
        {1.0L / 3, "0.333333333333333", "0,333333333333333"},
        {0, "0", "0"},
        {-0.0L, "0", "0"},
    };
    for (const TCase& c : cCases) {
        SCOPED_TRACE(c.point);
        {
            TLocaleOverride lLocale(QLatin1Char('.'));
            EXPECT_EQ(FloatToStr(c.value), QString::fromLatin1(c.point));
        }
        {
            TLocaleOverride lLocale(QLatin1Char(','));
            EXPECT_EQ(FloatToStr(c.value), QString::fromLatin1(c.comma));
            // What is written reads back to the same value at 15 digits.
            Extended lBack = 0;
            ASSERT_TRUE(TryStrToFloat(FloatToStr(c.value), lBack));
            EXPECT_EQ(FloatToStr(lBack), QString::fromLatin1(c.comma));
        }
    }
}

TEST(Locale, TryStrToFloatUsesTheLocaleSeparator) {
    struct TCase {
        const char* text;
        QChar sep;
        bool ok;
        Extended value;
    };
    const QChar P = QLatin1Char('.'), C = QLatin1Char(',');
    const TCase cCases[] = {
        {"18", P, true, 18},       {" 0.5 ", P, true, 0.5}, {"\t-1e-5", P, true, -1e-5L},
        {"+1E20", P, true, 1e20L}, {"1.", P, true, 1},      {".5", P, true, 0.5},
        {"0,5", C, true, 0.5},     {"1.5", C, false, 0},    {"1,5", P, false, 0},
        {"", P, false, 0},         {" ", P, false, 0},      {".", P, false, 0},
        {"-", P, false, 0},        {"1E", P, false, 0},     {"E5", P, false, 0},
        {"1 5", P, false, 0},      {"1.5x", P, false, 0},   {"0x10", P, false, 0},
        {"inf", P, false, 0},      {"nan", P, false, 0},    {"1E5000", P, false, 0},
        {"1,000.5", P, false, 0},  {"1E-5000", P, true, 0},
    };
    for (const TCase& c : cCases) {
        SCOPED_TRACE(testing::Message() << '"' << c.text << "\" separator " << char(c.sep.unicode()));
        TLocaleOverride lLocale(c.sep);
        Extended lValue = -99;
        ASSERT_EQ(TryStrToFloat(QString::fromLatin1(c.text), lValue), c.ok);
        if (c.ok)
            EXPECT_EQ(lValue, c.value);
        else
            EXPECT_EQ(lValue, -99) << "a failed conversion leaves the value alone";
    }
    TLocaleOverride lLocale;
    try {
        StrToFloat(QStringLiteral("1,5"));
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("'1,5' is not a valid floating point value"));
    }
}

TEST(Locale, TryStrToInt) {
    struct TCase {
        const char* text;
        bool ok;
        std::int32_t value;
    };
    const TCase cCases[] = {
        {"12", true, 12},
        {"  -5", true, -5},
        {"+7", true, 7},
        {"007", true, 7},
        {"2147483647", true, INT32_MAX},
        {"-2147483648", true, INT32_MIN},
        {"$1F", true, 31},
        {"0x1f", true, 31},
        {"-$10", true, -16},
        {"$FFFFFFFF", true, -1},
        {"2147483648", false, 0},
        {"-2147483649", false, 0},
        {"99999999999999999999", false, 0},
        {"$100000000", false, 0},
        {"", false, 0},
        {"-", false, 0},
        {"$", false, 0},
        {"12 ", false, 0},
        {"1.0", false, 0},
        {"1e3", false, 0},
        {"ru", false, 0},
    };
    for (const TCase& c : cCases) {
        SCOPED_TRACE(c.text);
        std::int32_t lValue = -99;
        ASSERT_EQ(TryStrToInt(QString::fromLatin1(c.text), lValue), c.ok);
        EXPECT_EQ(lValue, c.ok ? c.value : -99);
    }
    // Digits of other scripts are not decimal digits here.
    std::int32_t lValue = 0;
    EXPECT_FALSE(TryStrToInt(QStringLiteral("\u0661\u0662"), lValue));
    try {
        StrToInt(QStringLiteral("abc"));
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("'abc' is not a valid integer value"));
    }
}

TEST(Locale, PriceToStr) {
    struct TCase {
        Extended value;
        int acc;
        const char* point;
        const char* comma;
    };
    const TCase cCases[] = {
        {12.5, -2, "12.50", "12,50"},
        {12.5, -1, "12.5", "12,5"},
        {12.4, 0, "12", "12"},
        {12.6, 2, "13", "13"},
        {1234567.891L, -2, "1234567.89", "1234567,89"},
        {-3.5, -1, "-3.5", "-3,5"},
        {-0.001L, -2, "0.00", "0,00"},
        {0, -3, "0.000", "0,000"},
        {7, INT_MAX, "7", "7"},
        {0.25, INT_MIN, "0.250000000000000000", "0,250000000000000000"},
        // Exact halves round away from zero, as billing rounds, never to the even neighbour.
        {10.5, 0, "11", "11"},
        {12.5, 0, "13", "13"},
        {2.5, 3, "3", "3"},
        {-2.5, 0, "-3", "-3"},
        {0.125, -2, "0.13", "0,13"},
        {-0.125, -2, "-0.13", "-0,13"},
        {0.0625, -3, "0.063", "0,063"},
        {-0.4, 0, "0", "0"},
    };
    for (const TCase& c : cCases) {
        SCOPED_TRACE(c.point);
        {
            TLocaleOverride lLocale(QLatin1Char('.'));
            EXPECT_EQ(PriceToStr(c.value, c.acc), QString::fromLatin1(c.point));
        }
        {
            TLocaleOverride lLocale(QLatin1Char(','));
            EXPECT_EQ(PriceToStr(c.value, c.acc), QString::fromLatin1(c.comma));
        }
    }
}

// Without overrides the separator, the language id and the code page follow the user's locale.
TEST(Locale, FallbacksFollowTheLocale) {
    ResetLocaleOverrides();
    SetCodePageOverride(QString());
    const QByteArray lSavedEnv = qgetenv("TARVO_CODEPAGE");
    qunsetenv("TARVO_CODEPAGE");
    const QLocale lSaved;
    struct TCase {
        QLocale::Language language;
        QLocale::Territory territory;
        QChar sep;
        const char* codePage;
        std::uint32_t langId;
    };
    const TCase cCases[] = {
        {QLocale::English, QLocale::UnitedStates, QLatin1Char('.'), "CP1252", 1033},
        {QLocale::English, QLocale::UnitedKingdom, QLatin1Char('.'), "CP1252", 2057},
        {QLocale::Russian, QLocale::Russia, QLatin1Char(','), "CP1251", 1049},
        {QLocale::Ukrainian, QLocale::Ukraine, QLatin1Char(','), "CP1251", 1058},
        {QLocale::Polish, QLocale::Poland, QLatin1Char(','), "CP1250", 1045},
        {QLocale::German, QLocale::Germany, QLatin1Char(','), "CP1252", 1031},
        {QLocale::German, QLocale::Austria, QLatin1Char(','), "CP1252", 3079},
        {QLocale::Portuguese, QLocale::Brazil, QLatin1Char(','), "CP1252", 1046},
        {QLocale::Portuguese, QLocale::Portugal, QLatin1Char(','), "CP1252", 2070},
        {QLocale::Spanish, QLocale::Spain, QLatin1Char(','), "CP1252", 3082},
        {QLocale::Chinese, QLocale::China, QLatin1Char('.'), "CP1252", 2052},
        {QLocale::Japanese, QLocale::Japan, QLatin1Char('.'), "CP1252", 1041},
        {QLocale::Kazakh, QLocale::Kazakhstan, QLatin1Char(','), "CP1252", 1087},
        {QLocale::Swahili, QLocale::Kenya, QLatin1Char('.'), "CP1252", 0},
    };
    for (const TCase& c : cCases) {
        const QLocale lLocale(c.language, c.territory);
        SCOPED_TRACE(lLocale.name().toStdString());
        QLocale::setDefault(lLocale);
        EXPECT_EQ(DecimalSeparator(), c.sep);
        EXPECT_EQ(SystemCodePageName(), QString::fromLatin1(c.codePage));
        EXPECT_EQ(LangIdOfLocale(lLocale), c.langId);
    }
    EXPECT_EQ(LangIdOfLocale(QLocale::c()), 1033u);
    qputenv("TARVO_CODEPAGE", "CP1250");
    EXPECT_EQ(SystemCodePageName(), QStringLiteral("CP1250"));
    EXPECT_EQ(ToAnsi(QStringLiteral("\u0142")), QByteArray("\xB3"));
    QLocale::setDefault(lSaved);
    if (lSavedEnv.isNull())
        qunsetenv("TARVO_CODEPAGE");
    else
        qputenv("TARVO_CODEPAGE", lSavedEnv);
}

TEST(CodePage, ConversionBothWays) {
    struct TCase {
        const char* codePage;
        QString text;
        QByteArray bytes;
        QString back; // what the bytes read back as
    };
    const TCase cCases[] = {
        {"CP1251", QStringLiteral("Привет, €!"), QByteArray("\xCF\xF0\xE8\xE2\xE5\xF2, \x88!"),
         QStringLiteral("Привет, €!")},
        {"CP1252", QStringLiteral("café €5"),
         QByteArray("caf\xE9 \x80"
                    "5"),
         QStringLiteral("café €5")},
        // Characters the code page lacks become "?", one per character (a surrogate pair is one).
        {"CP1252", QStringLiteral("a日本b\U0001F600c"), QByteArray("a??b?c"), QStringLiteral("a??b?c")},
        {"CP1251", QStringLiteral("é"), QByteArray("?"), QStringLiteral("?")},
        {"CP1252", QString(), QByteArray(), QString()},
    };
    for (const TCase& c : cCases) {
        SCOPED_TRACE(c.text.toStdString());
        TLocaleOverride lLocale(QLatin1Char('.'), 1033, QString::fromLatin1(c.codePage));
        EXPECT_EQ(ToAnsi(c.text), c.bytes);
        EXPECT_EQ(FromAnsi(c.bytes), c.back);
    }
}

TEST(CodePage, BadInputNeverStopsTheConversion) {
    {
        // Bytes with no character in the code page read as "?".
        TLocaleOverride lLocale(QLatin1Char('.'), 1033, QStringLiteral("CP1252"));
        EXPECT_EQ(FromAnsi(QByteArray("a\x81"
                                      "b\x8D")),
                  QStringLiteral("a?b?"));
        // A lone surrogate in the text is not a character either.
        QString lBroken = QStringLiteral("x");
        lBroken += QChar(0xD800);
        lBroken += QLatin1Char('y');
        EXPECT_EQ(ToAnsi(lBroken), QByteArray("x?y"));
    }
    {
        // A multi-byte code page: invalid and truncated sequences.
        TLocaleOverride lLocale(QLatin1Char('.'), 1033, QStringLiteral("UTF-8"));
        EXPECT_EQ(FromAnsi(QByteArray("a\xFF"
                                      "b\xE2\x82")),
                  QStringLiteral("a?b?"));
    }
    {
        // An unknown code page name falls back to the locale's code page instead of losing the text.
        TLocaleOverride lLocale(QLatin1Char('.'), 1033, QStringLiteral("NO-SUCH-CODEPAGE"));
        const QLocale lSaved;
        QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
        EXPECT_EQ(ToAnsi(QStringLiteral("Да")), QByteArray("\xC4\xE0"));
        EXPECT_EQ(FromAnsi(QByteArray("\xC4\xE0")), QStringLiteral("Да"));
        QLocale::setDefault(lSaved);
    }
}

} // namespace
