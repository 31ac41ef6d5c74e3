// Card numbers as real readers send them: each format read against known cards, malformed texts
// rejected, and the same card giving the same key whatever way a reader prints it.

#include "orvreader/src/uOrvCardNumber.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>

using namespace Orv;

namespace {

struct TCase {
    const char* pText;
    TNumFormat nFormat;
    const char* pKeyHex; // expected key, most significant byte first; nullptr = rejected
};

std::string FormatOf(const TCase& ACase) {
    return std::string(NumFormatName(ACase.nFormat)) + " \"" + ACase.pText + "\"";
}

// clang-format off
const TCase cCases[] = {
    // EM4100 in decimal: the low 32 bits.
    {"0012345678", TNumFormat::Em4100, "00BC614E"},
    {"4294967295", TNumFormat::Em4100, "FFFFFFFF"},
    {" 0001234567\t", TNumFormat::Em4100, "0012D687"},
    {"4294967296", TNumFormat::Em4100, nullptr},   // above 32 bits
    {"123456789", TNumFormat::Em4100, nullptr},    // nine digits
    {"00123456789", TNumFormat::Em4100, nullptr},  // eleven digits
    {"00123a5678", TNumFormat::Em4100, nullptr},
    {"+012345678", TNumFormat::Em4100, nullptr},
    {"0000000000", TNumFormat::Em4100, nullptr},   // a reader that read nothing
    {"", TNumFormat::Em4100, nullptr},
    // 3+5: facility << 16 | card.
    {"18824910", TNumFormat::Facility35, "BC614E"},
    {"188,24910", TNumFormat::Facility35, "BC614E"},
    {"188:24910", TNumFormat::Facility35, "BC614E"},
    {"255/65535", TNumFormat::Facility35, "FFFFFF"},
    {"256,00001", TNumFormat::Facility35, nullptr}, // facility above 255
    {"001,65536", TNumFormat::Facility35, nullptr}, // card above 65535
    {"188;45390", TNumFormat::Facility35, nullptr},
    {"18,845390", TNumFormat::Facility35, nullptr},
    {"1884539", TNumFormat::Facility35, nullptr},
    // Hexadecimal UIDs in card order, joined or separated.
    {"04A2B3C4", TNumFormat::Hex, "04A2B3C4"},
    {"04a2b3c4", TNumFormat::Hex, "04A2B3C4"},
    {"04:A2:B3:C4:D5:E6:F7", TNumFormat::Hex, "04A2B3C4D5E6F7"},
    {"04 A2 B3 C4", TNumFormat::Hex, "04A2B3C4"},
    {"0100BC614E", TNumFormat::Hex, "0100BC614E"},            // a whole EM4100 number
    {"8804A2B3", TNumFormat::Hex, "8804A2B3"},                // seven-byte quirk kept whole
    {"04A2B3C4D5E6F7A1B2C3", TNumFormat::Hex, "04A2B3C4D5E6F7A1B2C3"},
    {"04A2B3C4D5E6F7A1B2C3D4", TNumFormat::Hex, nullptr},     // eleven bytes
    {"04A2B3C", TNumFormat::Hex, nullptr},                    // odd digit count
    {"04A2", TNumFormat::Hex, nullptr},                       // two bytes: no card
    {"04:A2B3:C4", TNumFormat::Hex, nullptr},                 // separators mixed with pairs
    {"04:A2-B3:C4", TNumFormat::Hex, nullptr},
    {"04.A2.B3.C4", TNumFormat::Hex, nullptr},
    {"04A2B3C4:", TNumFormat::Hex, nullptr},
    {"0xA2B3C4", TNumFormat::Hex, nullptr},
    {"04A2G3C4", TNumFormat::Hex, nullptr},
    {"00000000", TNumFormat::Hex, nullptr},
    // Reversed hex: the last pair is UID0.
    {"C4B3A204", TNumFormat::HexReversed, "04A2B3C4"},
    {"B3A20488", TNumFormat::HexReversed, "8804A2B3"},
    {"F7:E6:D5:C4:B3:A2:04", TNumFormat::HexReversed, "04A2B3C4D5E6F7"},
    // Decimal UIDs: the smallest UID length that holds the value.
    {"77771716", TNumFormat::Dec, "04A2B3C4"},
    {"2282005171", TNumFormat::Dec, "8804A2B3"},
    {"1", TNumFormat::Dec, "00000001"},
    {"1304792892040951", TNumFormat::Dec, "04A2B3C4D5E6F7"},
    {"4294967296", TNumFormat::Dec, "00000100000000"},         // past 32 bits: seven bytes
    {"1208925819614629174706175", TNumFormat::Dec, "FFFFFFFFFFFFFFFFFFFF"}, // 2^80 - 1
    {"1208925819614629174706176", TNumFormat::Dec, nullptr},   // 2^80
    {"99999999999999999999999999", TNumFormat::Dec, nullptr},  // 26 digits
    {"12 34", TNumFormat::Dec, nullptr},
    {"-1", TNumFormat::Dec, nullptr},
    // Reversed decimal: UID0 is the least significant byte.
    {"3300106756", TNumFormat::DecReversed, "04A2B3C4"},
    {"3013739656", TNumFormat::DecReversed, "8804A2B3"},
};
// clang-format on

TEST(CardNumber, EveryFormatReadsItsCasesAndRejectsMalformedText) {
    for (const TCase& c : cCases) {
        TCardNumber lNumber;
        lNumber.aKey.fill(0xEE);
        bool lOk = TextToCardNumber(c.pText, c.nFormat, lNumber);
        if (c.pKeyHex == nullptr) {
            EXPECT_FALSE(lOk) << FormatOf(c) << " gave " << KeyNumHex(lNumber.aKey);
            EXPECT_EQ(lNumber.aKey, TKeyNum{}) << FormatOf(c) << ": a rejected text leaves no number";
            continue;
        }
        ASSERT_TRUE(lOk) << FormatOf(c);
        EXPECT_EQ(KeyNumHex(lNumber.aKey), c.pKeyHex) << FormatOf(c);
        // Bytes beyond the count stay zero, as the programs' comparisons expect.
        for (std::size_t i = std::size_t(lNumber.aKey[0]) + 1; i < lNumber.aKey.size(); ++i)
            EXPECT_EQ(lNumber.aKey[i], 0) << FormatOf(c) << " byte " << i;
    }
}

TEST(CardNumber, KeyIsLeastSignificantByteFirstWithItsCount) {
    TCardNumber n;
    ASSERT_TRUE(TextToCardNumber("0012345678", TNumFormat::Em4100, n));
    EXPECT_EQ(n.aKey, (TKeyNum{4, 0x4E, 0x61, 0xBC, 0x00}));
    EXPECT_EQ(n.nCardType, ORVR_CD_EM_MARINE);
    ASSERT_TRUE(TextToCardNumber("04A2B3C4", TNumFormat::Hex, n));
    EXPECT_EQ(n.aKey, (TKeyNum{4, 0xC4, 0xB3, 0xA2, 0x04}));
}

// The programs compare over the shorter length: the shorter forms of one card keep its low bytes.
bool SameOverShorter(const TKeyNum& A, const TKeyNum& B) {
    std::size_t n = std::min(A[0], B[0]);
    return std::equal(A.begin() + 1, A.begin() + 1 + long(n), B.begin() + 1);
}

TEST(CardNumber, OneCardGivesOneKeyFromEveryWayOfPrintingIt) {
    // An EM4100 card 01 00BC614E: in hex whole, its low 32 bits in decimal, its 3+5 form.
    TCardNumber lWhole, lDec, l35;
    ASSERT_TRUE(TextToCardNumber("0100BC614E", TNumFormat::Hex, lWhole));
    ASSERT_TRUE(TextToCardNumber("0012345678", TNumFormat::Em4100, lDec));
    ASSERT_TRUE(TextToCardNumber("188,24910", TNumFormat::Facility35, l35));
    EXPECT_TRUE(SameOverShorter(lWhole.aKey, lDec.aKey));
    EXPECT_TRUE(SameOverShorter(lWhole.aKey, l35.aKey));
    EXPECT_TRUE(SameOverShorter(lDec.aKey, l35.aKey));

    // A four-byte UID printed four ways, and as PC/SC answers it.
    const std::uint8_t lUid[4] = {0x04, 0xA2, 0xB3, 0xC4};
    TCardNumber lRaw;
    ASSERT_TRUE(UidToCardNumber(lUid, 4, lRaw));
    const std::pair<const char*, TNumFormat> lPrinted[] = {{"04A2B3C4", TNumFormat::Hex},
                                                           {"C4B3A204", TNumFormat::HexReversed},
                                                           {"77771716", TNumFormat::Dec},
                                                           {"3300106756", TNumFormat::DecReversed}};
    for (auto [text, format] : lPrinted) {
        TCardNumber n;
        ASSERT_TRUE(TextToCardNumber(text, format, n)) << text;
        EXPECT_EQ(n.aKey, lRaw.aKey) << text;
    }

    // The seven-byte quirk: "88 UID0 UID1 UID2" printed any way is one key, which the tag-stripped
    // three bytes match under the shorter comparison, and which no genuine four-byte UID can equal.
    TCardNumber lQuirkHex, lQuirkRev, lQuirkDec, lStripped;
    ASSERT_TRUE(TextToCardNumber("8804A2B3", TNumFormat::Hex, lQuirkHex));
    ASSERT_TRUE(TextToCardNumber("B3A20488", TNumFormat::HexReversed, lQuirkRev));
    ASSERT_TRUE(TextToCardNumber("2282005171", TNumFormat::Dec, lQuirkDec));
    ASSERT_TRUE(TextToCardNumber("04A2B3", TNumFormat::Hex, lStripped));
    EXPECT_EQ(lQuirkHex.aKey, lQuirkRev.aKey);
    EXPECT_EQ(lQuirkHex.aKey, lQuirkDec.aKey);
    EXPECT_EQ(lQuirkHex.aKey[0], 4);
    EXPECT_TRUE(SameOverShorter(lQuirkHex.aKey, lStripped.aKey));
    const std::uint8_t lOther[4] = {0x08, 0x04, 0xA2, 0xB3};
    TCardNumber lOtherCard;
    ASSERT_TRUE(UidToCardNumber(lOther, 4, lOtherCard));
    EXPECT_FALSE(SameOverShorter(lQuirkHex.aKey, lOtherCard.aKey));
}

TEST(CardNumber, RawUidsOfCardLengthsOnly) {
    const std::uint8_t lBytes[30] = {0x04, 0xA2, 0xB3, 0xC4, 0xD5, 0xE6, 0xF7, 0x11, 0x22, 0x33, 0x44};
    const std::uint8_t lZero[4] = {};
    struct {
        const std::uint8_t* pUid;
        std::size_t nCount;
        const char* pKeyHex;
    } const cUids[] = {
        {lBytes, 4, "04A2B3C4"}, {lBytes, 7, "04A2B3C4D5E6F7"}, {lBytes, 10, "04A2B3C4D5E6F7112233"},
        {lBytes, 0, nullptr},    {lBytes, 3, nullptr},          {lBytes, 5, nullptr},
        {lBytes, 11, nullptr},   {lBytes, 30, nullptr},         {nullptr, 4, nullptr},
        {lZero, 4, nullptr},
    };
    for (const auto& u : cUids) {
        TCardNumber n;
        bool lOk = UidToCardNumber(u.pUid, u.nCount, n);
        if (u.pKeyHex == nullptr) {
            EXPECT_FALSE(lOk) << u.nCount << " bytes";
            EXPECT_EQ(n.aKey, TKeyNum{});
        } else {
            ASSERT_TRUE(lOk) << u.nCount << " bytes";
            EXPECT_EQ(KeyNumHex(n.aKey), u.pKeyHex);
        }
    }
}

TEST(CardNumber, EveryFormatShownForOneText) {
    auto lAll = ReadInEveryFormat("0012345678");
    std::map<std::string, std::string> lShown;
    for (const TFormatReading& r : lAll)
        lShown[NumFormatName(r.nFormat)] = r.fOk ? KeyNumHex(r.rNumber.aKey) : "-";
    const std::map<std::string, std::string> lExpected = {
        {"em4100", "00BC614E"},   {"3+5", "-"},        {"hex", "0012345678"},
        {"hexrev", "7856341200"}, {"dec", "00BC614E"}, {"decrev", "4E61BC00"},
    };
    EXPECT_EQ(lShown, lExpected);

    for (const TFormatReading& r : ReadInEveryFormat("garbage\x01"))
        EXPECT_FALSE(r.fOk) << NumFormatName(r.nFormat);
    for (const TFormatReading& r : ReadInEveryFormat(std::string(200, '1')))
        EXPECT_FALSE(r.fOk) << NumFormatName(r.nFormat) << ": an endless number";
}

TEST(CardNumber, FormatNamesRoundTrip) {
    for (int i = 0; i < cNumFormatCount; ++i) {
        TNumFormat f = TNumFormat(i), g = TNumFormat::Hex;
        ASSERT_TRUE(ParseNumFormat(NumFormatName(f), g)) << i;
        EXPECT_EQ(g, f);
    }
    TNumFormat g = TNumFormat::Hex;
    EXPECT_TRUE(ParseNumFormat("EM4100", g));
    EXPECT_EQ(g, TNumFormat::Em4100);
    for (const char* lBad : {"", "hex ", "wiegand", "em41000", "he"})
        EXPECT_FALSE(ParseNumFormat(lBad, g)) << lBad;
}

} // namespace
