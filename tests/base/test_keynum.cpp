#include "base/uExceptions.h"
#include "base/uKeyNum.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<int> BytesOf(const TOrv_KEYNUM& ANumber) {
    return std::vector<int>(ANumber.begin() + 1, ANumber.begin() + 1 + ANumber[0]);
}

TEST(KeyNum, HexParsing) {
    struct TCase {
        const char* text;
        bool ok;
        std::vector<int> bytesLowFirst;
        const char* backAsHex;
    };
    const TCase cCases[] = {
        {"123456", true, {0x56, 0x34, 0x12}, "123456"},
        {"00123456", true, {0x56, 0x34, 0x12, 0x00}, "00123456"},
        {"ABC", true, {0xBC, 0x0A}, "0ABC"},
        {"abc", true, {0xBC, 0x0A}, "0ABC"},
        {"", true, {}, ""},
        {"0", true, {0x00}, "00"},
        {"12G4", false, {}, nullptr},
        {"12 4", false, {}, nullptr},
        {"-1", false, {}, nullptr},
        // 32 digits: the two leading characters lie beyond the fifteenth byte and are not looked at.
        {"zz0102030405060708090A0B0C0D0E0F",
         true,
         {0x0F, 0x0E, 0x0D, 0x0C, 0x0B, 0x0A, 0x09, 0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01},
         "0102030405060708090A0B0C0D0E0F"},
        {"FF0102030405060708090A0B0C0D0E0F",
         true,
         {0x0F, 0x0E, 0x0D, 0x0C, 0x0B, 0x0A, 0x09, 0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01},
         "0102030405060708090A0B0C0D0E0F"},
        // 31 digits: the fifteenth byte is complete before the odd digit is reached.
        {"10102030405060708090A0B0C0D0E0F",
         true,
         {0x0F, 0x0E, 0x0D, 0x0C, 0x0B, 0x0A, 0x09, 0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01},
         "0102030405060708090A0B0C0D0E0F"},
        // A bad character within the first fifteen bytes still fails.
        {"0102030405060708090A0B0C0D0E0G", false, {}, nullptr},
    };
    for (const TCase& c : cCases) {
        SCOPED_TRACE(c.text);
        TOrv_KEYNUM lNumber;
        lNumber.fill(0xEE);
        ASSERT_EQ(HexToKeyNum(QString::fromLatin1(c.text), lNumber), c.ok);
        if (!c.ok)
            continue;
        EXPECT_EQ(BytesOf(lNumber), c.bytesLowFirst);
        EXPECT_EQ(KeyNumToStr(lNumber, KEYVIEW_HEX), QString::fromLatin1(c.backAsHex));
        // Bytes after the length carry no meaning, but a parse leaves no stale ones behind.
        for (size_t i = size_t(lNumber[0]) + 1; i < lNumber.size(); ++i)
            EXPECT_EQ(lNumber[i], 0) << i;
    }
}

TEST(KeyNum, EqualityOverTheShorterLengthAndOrder) {
    const auto Parse = [](const char* AText) {
        TOrv_KEYNUM lNumber{};
        EXPECT_TRUE(HexToKeyNum(QString::fromLatin1(AText), lNumber)) << AText;
        return lNumber;
    };
    struct TCase {
        const char* a;
        const char* b;
        bool same;
        int order; // CompareKeyNums(a, b)
    };
    const TCase cCases[] = {
        {"0A0B0C", "FF0A0B0C", true, -1},
        {"0A0B0C", "", true, 1},
        {"FF0A0B0C", "", true, 1},
        {"", "", true, 0},
        {"00123456", "123456", true, 1},
        {"123456", "123456", true, 0},
        {"123456", "123457", false, -1},
        {"FF123456", "00123457", false, 1}, // the most significant common byte decides first
        {"02FF", "0300", false, -1},
        {"0A0B0C", "0A0B0D", false, -1},
    };
    for (const TCase& c : cCases) {
        SCOPED_TRACE(testing::Message() << c.a << " vs " << c.b);
        const TOrv_KEYNUM a = Parse(c.a), b = Parse(c.b);
        EXPECT_EQ(SameKeyNum(a, b), c.same);
        EXPECT_EQ(SameKeyNum(b, a), c.same);
        EXPECT_EQ(CompareKeyNums(a, b), c.order);
        EXPECT_EQ(CompareKeyNums(b, a), -c.order);
    }
}

TEST(KeyNum, TextViewsAndDisplay) {
    struct TCase {
        TOrv_KEYNUM number;
        const char* hex;
        const char* winpak;
    };
    const TCase cCases[] = {
        {MakeKeyNum({0x56, 0x34, 0x12}), "123456", "1193046"},
        {MakeKeyNum({0x56, 0x34, 0x12, 0xAB, 0xCD}), "CDAB123456", "1193046"}, // low three bytes only
        {MakeKeyNum({0x34, 0x12}), "1234", "4660"},
        {MakeKeyNum({0x00, 0x00, 0x00, 0x01}), "01000000", "0"},
        {MakeKeyNum({0xFF, 0xFF, 0xFF}), "FFFFFF", "16777215"},
        {MakeKeyNum({}), "", "0"},
    };
    for (const TCase& c : cCases) {
        SCOPED_TRACE(c.hex);
        EXPECT_EQ(KeyNumToStr(c.number, KEYVIEW_HEX), QString::fromLatin1(c.hex));
        EXPECT_EQ(KeyNumToStr(c.number, KEYVIEW_WINPAK), QString::fromLatin1(c.winpak));
    }
    const TOrv_KEYNUM lKey = MakeKeyNum({0x12, 0xAB, 0x00});
    EXPECT_EQ(UserOrKeyText(QString(), lKey, KEYVIEW_HEX), QStringLiteral("{00AB12}"));
    EXPECT_EQ(UserOrKeyText(QString(), lKey, KEYVIEW_WINPAK), QStringLiteral("{43794}"));
    EXPECT_EQ(UserOrKeyText(QStringLiteral("Anna"), lKey, KEYVIEW_HEX), QStringLiteral("Anna"));
    EXPECT_EQ(UserOrKeyText(QStringLiteral(" "), lKey, KEYVIEW_HEX), QStringLiteral(" "));
}

TEST(KeyNum, ALengthAbove15IsAProgrammingError) {
    TOrv_KEYNUM lBad{};
    lBad.fill(0x11);
    lBad[0] = 16;
    try {
        KeyNumToStr(lBad, KEYVIEW_HEX);
        FAIL() << "no assertion";
    } catch (const EAssertionFailed& e) {
        EXPECT_TRUE(e.Message().contains(QStringLiteral("uTarvoDoc"))) << e.Message().toStdString();
    }
    // Comparisons stay within the number even for such a value.
    lBad[0] = 0xFF;
    const TOrv_KEYNUM lFull = MakeKeyNum(
        {0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11});
    EXPECT_TRUE(SameKeyNum(lBad, lFull));
    EXPECT_EQ(CompareKeyNums(lBad, lFull), 0);
}

} // namespace
