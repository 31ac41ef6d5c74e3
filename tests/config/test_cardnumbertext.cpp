// The text of a key number in each reader number format.

#include "config/uCardNumberText.h"

#include <gtest/gtest.h>

TEST(CardNumberText, EveryFormatOfAKey) {
    struct TCase {
        TOrv_KEYNUM aKey;
        const char* aText[cCardFormatCount]; // em4100, 3+5, hex, hexrev, dec, decrev
    };
    const TCase lCases[] = {
        // An EM4100 card 0x1F00BC614E: its 10-digit number is the low 32 bits.
        {MakeKeyNum({0x4E, 0x61, 0xBC, 0x00, 0x1F}),
         {"0012345678", "188,24910", "1F00BC614E", "4E61BC001F", "133156331854", "336647159839"}},
        // A four-byte UID 04 A2 3B 7C (UID0 most significant).
        {MakeKeyNum({0x7C, 0x3B, 0xA2, 0x04}),
         {"0077740924", "162,15228", "04A23B7C", "7C3BA204", "77740924", "2084282884"}},
        // A Wiegand-26 number: no 10-digit form.
        {MakeKeyNum({0x2E, 0x16, 0x7B}), {"", "123,05678", "7B162E", "2E167B", "8066606", "3020411"}},
        // A ten-byte UID: its decimal takes more than 64 bits.
        {MakeKeyNum({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}),
         {"4294967295", "255,65535", "FFFFFFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFFFFFF",
          "1208925819614629174706175", "1208925819614629174706175"}},
        {MakeKeyNum({0x00, 0x00, 0x00, 0x00}), {"0000000000", "000,00000", "00000000", "00000000", "0", "0"}},
        {MakeKeyNum({}), {"", "", "", "", "", ""}},
    };
    for (const TCase& c : lCases)
        for (int f = 0; f < cCardFormatCount; ++f)
            EXPECT_EQ(KeyNumInFormat(c.aKey, f), QString::fromLatin1(c.aText[f]))
                << CardFormatName(f).toStdString() << " of " << c.aText[2];
    EXPECT_EQ(KeyNumInFormat(MakeKeyNum({1}), cCardFormatCount), QString());
}

TEST(CardNumberText, NamesAsInTheReaderConfiguration) {
    for (int f = 0; f < cCardFormatCount; ++f)
        EXPECT_EQ(CardFormatOfName(CardFormatName(f).toUpper()), f);
    EXPECT_EQ(CardFormatName(2), QStringLiteral("hex"));
    EXPECT_EQ(CardFormatName(1), QStringLiteral("3+5"));
    EXPECT_EQ(CardFormatOfName(QStringLiteral("hex ")), -1);
    EXPECT_EQ(CardFormatName(-1), QString());
}
