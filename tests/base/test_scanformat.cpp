#include "base/uExceptions.h"
#include "base/uScanFormat.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <array>

namespace {

constexpr std::int32_t cUntouched = -777;

class ScanFormatTest : public testing::Test {
protected:
    TLocaleOverride m_oLocale{QLatin1Char('.')};
};

TEST_F(ScanFormatTest, IntegerPatterns) {
    struct TCase {
        const char* text;
        const char* pattern;
        int count;
        std::array<std::int32_t, 4> values;
    };
    const int U = cUntouched;
    const TCase cCases[] = {
        {"1.2", "%d.%d", 2, {1, 2, U, U}},
        {"1", "%d.%d", 1, {1, U, U, U}},
        {"12:05", "%d:%d", 2, {12, 5, U, U}},
        {"[10,20,-5,40]", "[%d,%d,%d,%d]", 4, {10, 20, -5, 40}},
        {"[10,20]", "[%d,%d,%d,%d]", 2, {10, 20, U, U}},
        {"  +7 :  -8", "%d:%d", 2, {7, -8, U, U}},
        {"08:05:09", "%D:%d:%d", 3, {8, 5, 9, U}},
        {"1F:ff:FFFFFFFF", "%x:%X:%x", 3, {31, 255, -1, U}},
        {"-2147483648 2147483647 0000000000000000012", "%d %d %d", 3, {INT32_MIN, INT32_MAX, 12, U}},
        {"x5", "%d", 0, {U, U, U, U}},
        {"", "%d", 0, {U, U, U, U}},
        {"12-05", "%d:%d", 1, {12, U, U, U}},             // the literal is not there
        {"5", "%d%", 1, {5, U, U, U}},                    // a lone "%" at the end is never used
        {"5 6", "%d%%d", 1, {5, U, U, U}},                // a doubled percent stops the scan
        {"5 6", "%d%q%d", 1, {5, U, U, U}},               // so does an unknown directive
        {"5:6", "%d:", 1, {5, U, U, U}},                  // the pattern's last character is not a literal
        {"a", "x%d", 0, {U, U, U, U}},                    // the text's last character is taken as the literal
        {"1.2.3.4.5", "%d.%d.%d.%d.%d", 4, {1, 2, 3, 4}}, // no more values than targets
    };
    for (const TCase& c : cCases) {
        SCOPED_TRACE(testing::Message() << '"' << c.text << "\" with \"" << c.pattern << '"');
        std::array<std::int32_t, 4> v{U, U, U, U};
        EXPECT_EQ(ScanFormat(QString::fromLatin1(c.text), QString::fromLatin1(c.pattern),
                             {&v[0], &v[1], &v[2], &v[3]}),
                  c.count);
        EXPECT_EQ(v, c.values);
    }
}

TEST_F(ScanFormatTest, StringsAndFloats) {
    QString s1 = QStringLiteral("old"), s2 = QStringLiteral("old");
    std::int32_t n = cUntouched;
    Extended f1 = -1, f2 = -1;

    EXPECT_EQ(ScanFormat(QStringLiteral("1, csv"), QStringLiteral("%d, %s"), {&n, &s1}), 2);
    EXPECT_EQ(n, 1);
    EXPECT_EQ(s1, QStringLiteral("csv"));

    // "%s" runs to the pattern's next character, or to the end when there is none or it is absent.
    EXPECT_EQ(ScanFormat(QStringLiteral("John Smith-12"), QStringLiteral("%s-%d"), {&s1, &n}), 2);
    EXPECT_EQ(s1, QStringLiteral("John Smith"));
    EXPECT_EQ(n, 12);
    EXPECT_EQ(ScanFormat(QStringLiteral("John Smith"), QStringLiteral("%s-%s"), {&s1, &s2}), 1);
    EXPECT_EQ(s1, QStringLiteral("John Smith"));
    EXPECT_EQ(s2, QStringLiteral("old"));

    // A literal found only because the text ended there is followed by an empty string; the text's last
    // character is never skipped as a blank.
    EXPECT_EQ(ScanFormat(QStringLiteral("5"), QStringLiteral("x%s"), {&s1}), 1);
    EXPECT_EQ(s1, QString());
    EXPECT_EQ(ScanFormat(QStringLiteral("1: "), QStringLiteral("%d:%s"), {&n, &s1}), 2);
    EXPECT_EQ(s1, QStringLiteral(" "));
    EXPECT_EQ(ScanFormat(QStringLiteral("1:  x"), QStringLiteral("%d:%s"), {&n, &s1}), 2);
    EXPECT_EQ(s1, QStringLiteral("x"));

    EXPECT_EQ(ScanFormat(QStringLiteral("1.5;2E3"), QStringLiteral("%f;%f"), {&f1, &f2}), 2);
    EXPECT_EQ(f1, 1.5L);
    EXPECT_EQ(f2, 2000.0L);
    {
        TLocaleOverride lComma(QLatin1Char(','));
        EXPECT_EQ(ScanFormat(QStringLiteral("-0,25;1.5"), QStringLiteral("%f;%f"), {&f1, &f2}), 2);
        EXPECT_EQ(f1, -0.25L);
        EXPECT_EQ(f2, 1.0L); // "." is no separator here: the number ends before it
    }
}

TEST_F(ScanFormatTest, ConversionErrorsKeepEarlierValues) {
    struct TCase {
        const char* text;
        const char* pattern;
    };
    const TCase cCases[] = {
        {"5:+", "%d:%d"},
        {"5:-", "%d:%d"},
        {"5:2147483648", "%d:%d"},
        {"5:-2147483649", "%d:%d"},
        {"5:99999999999999999999", "%d:%d"},
        {"5:100000000", "%d:%x"},
        {"5:1E", "%d:%f"},
        {"5:1.2.3", "%d:%f"},
        {"5:+", "%d:%f"},
        {"5:E5", "%d:%f"},
    };
    for (const TCase& c : cCases) {
        SCOPED_TRACE(testing::Message() << '"' << c.text << "\" with \"" << c.pattern << '"');
        std::int32_t n = cUntouched, m = cUntouched;
        Extended f = -1;
        const bool lFloat = QByteArray(c.pattern).endsWith("%f");
        if (lFloat)
            EXPECT_THROW(ScanFormat(QString::fromLatin1(c.text), QString::fromLatin1(c.pattern), {&n, &f}),
                         EConvertError);
        else
            EXPECT_THROW(ScanFormat(QString::fromLatin1(c.text), QString::fromLatin1(c.pattern), {&n, &m}),
                         EConvertError);
        EXPECT_EQ(n, 5);
        EXPECT_EQ(m, cUntouched);
    }
}

TEST_F(ScanFormatTest, ATargetOfTheWrongKindIsAProgrammingError) {
    QString s;
    EXPECT_THROW(ScanFormat(QStringLiteral("5"), QStringLiteral("%d"), {&s}), EAssertionFailed);
    std::int32_t* lNull = nullptr;
    EXPECT_THROW(ScanFormat(QStringLiteral("5"), QStringLiteral("%d"), {lNull}), EAssertionFailed);
}

} // namespace
