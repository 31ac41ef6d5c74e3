// What the PC/SC backend makes of answers, ATRs and reader names, and how its readers get their
// aliases and number formats from readers.ini, without pcscd.

#include "orvreader/src/pcsc/uOrvPcscCard.h"
#include "orvreader/src/pcsc/uOrvPcscSetup.h"
#include "orvreader/src/uOrvBusFormat.h"

#include <gtest/gtest.h>

using namespace Orv;

namespace {

std::vector<std::uint8_t> Bytes(std::initializer_list<int> AList) {
    std::vector<std::uint8_t> v;
    for (int b : AList)
        v.push_back(std::uint8_t(b));
    return v;
}

} // namespace

TEST(PcscCard, UidFromAnswer) {
    struct TCase {
        std::vector<std::uint8_t> aAnswer;
        bool fOk;
        std::vector<std::uint8_t> aUid;
    };
    const TCase lCases[] = {
        {Bytes({0x04, 0xA2, 0x3B, 0x7C, 0x90, 0x00}), true, Bytes({0x04, 0xA2, 0x3B, 0x7C})},
        {Bytes({0x01, 0x90, 0x00}), true, Bytes({0x01})}, // the length is the number module's business
        {Bytes({0x90, 0x00}), false, {}},                 // a status and no UID
        {Bytes({0x90}), false, {}},                       // fewer than two bytes
        {{}, false, {}},
        {Bytes({0x04, 0xA2, 0x3B, 0x7C, 0x6A, 0x81}), false, {}}, // function not supported
        {Bytes({0x04, 0xA2, 0x3B, 0x7C, 0x63, 0x00}), false, {}}, // the reader's failure
        {Bytes({0x04, 0xA2, 0x3B, 0x7C, 0x91, 0x00}), false, {}},
        {Bytes({0x04, 0xA2, 0x3B, 0x7C, 0x90, 0x01}), false, {}},
    };
    for (const TCase& c : lCases) {
        std::vector<std::uint8_t> lUid = {0xEE};
        EXPECT_EQ(PcscUidFromAnswer(c.aAnswer.data(), c.aAnswer.size(), lUid), c.fOk) << c.aAnswer.size();
        EXPECT_EQ(lUid, c.aUid) << "a rejected answer leaves no UID behind";
    }
    std::vector<std::uint8_t> lUid;
    EXPECT_FALSE(PcscUidFromAnswer(nullptr, 4, lUid));
}

TEST(PcscCard, CardTypeFromAtr) {
    auto Atr = [](int AName) {
        return Bytes({0x3B, 0x8F, 0x80, 0x01,       0x80,         0x4F, 0x0C, 0xA0, 0x00, 0x00,
                      0x03, 0x06, 0x03, AName >> 8, AName & 0xFF, 0x00, 0x00, 0x00, 0x00, 0x6A});
    };
    struct TCase {
        std::vector<std::uint8_t> aAtr;
        std::uint32_t nType;
    };
    const TCase lCases[] = {
        {Atr(0x0001), ORVR_CD_MF_1K},
        {Atr(0x0002), ORVR_CD_MF_4K},
        {Atr(0x0003), ORVR_CD_UL},
        {Atr(0x0026), ORVR_CD_MF_MINI},
        {Atr(0x003A), ORVR_CD_ULC},
        {Atr(0x0037), ORVR_CD_MF_PLUS_4K},
        {Atr(0x1234), ORVR_CD_UNDEF},
        {Bytes({0x3B, 0x81, 0x80, 0x01, 0x80, 0x80}), ORVR_CD_UNDEF}, // ISO 14443-4 card (DESFire)
        {Bytes({0x3B, 0x8F, 0x80, 0x01, 0x80, 0x4F, 0x0C, 0xA0, 0x00, 0x00, 0x03, 0x06, 0x03}),
         ORVR_CD_UNDEF},
        {{}, ORVR_CD_UNDEF},
    };
    for (const TCase& c : lCases)
        EXPECT_EQ(PcscCardTypeFromAtr(c.aAtr.data(), c.aAtr.size()), c.nType) << c.aAtr.size();
    // The registered provider must match: another provider's byte at the name's place is no MIFARE.
    std::vector<std::uint8_t> lOther = Atr(0x0001);
    lOther[10] = 0x04;
    EXPECT_EQ(PcscCardTypeFromAtr(lOther.data(), lOther.size()), ORVR_CD_UNDEF);
}

TEST(PcscCard, VirtualReadersIgnoredUnlessAllowed) {
    EXPECT_TRUE(PcscIgnoredReader("Virtual PCD 00 00", false));
    EXPECT_FALSE(PcscIgnoredReader("Virtual PCD 00 00", true));
    EXPECT_FALSE(PcscIgnoredReader("ACS ACR122U PICC Interface 00 00", false));
    EXPECT_FALSE(PcscIgnoredReader("My Virtual PCD 00 00", false));
}

TEST(PcscCard, IdentitiesSurviveRenumbering) {
    // The same two readers plugged in the other order: pcsc-lite numbers them differently.
    const std::vector<std::string> lFirst = {"ACS ACR122U PICC Interface 00 00",
                                             "Gemalto PC Twin (1234) 01 00"};
    const std::vector<std::string> lLater = {"Gemalto PC Twin (1234) 00 00",
                                             "ACS ACR122U PICC Interface 01 00"};
    const std::vector<std::string> a = PcscIdentities(lFirst), b = PcscIdentities(lLater);
    EXPECT_EQ(a[0], "ACS ACR122U PICC Interface 00");
    EXPECT_EQ(a[0], b[1]);
    EXPECT_EQ(a[1], b[0]);
    // Two equal readers are told apart by their order; slots of one reader by the slot.
    const auto lTwins =
        PcscIdentities({"ACS ACR122U 00 00", "ACS ACR122U 01 00", "Dual 02 00", "Dual 02 01"});
    EXPECT_EQ(lTwins,
              (std::vector<std::string>{"ACS ACR122U 00", "ACS ACR122U 00 #2", "Dual 00", "Dual 01"}));
    // A name without pcsc-lite's numbering stays as it is.
    EXPECT_EQ(PcscIdentities({"Reader"}), std::vector<std::string>{"Reader"});
}

TEST(PcscCard, SerialFromTheNameElseStable) {
    EXPECT_EQ(PcscSerial("Gemalto PC Twin Reader (12345678) 00"), 12345678);
    EXPECT_EQ(PcscSerial("HID OMNIKEY [Reader] (9) 00"), 9);
    const std::int32_t s = PcscSerial("ACS ACR122U PICC Interface 00");
    EXPECT_GT(s, 0);
    EXPECT_EQ(s, PcscSerial("ACS ACR122U PICC Interface 00")) << "the same on every start";
    EXPECT_NE(s, PcscSerial("ACS ACR122U PICC Interface 00 #2"));
    for (const char* n : {"X (0) 00", "X (99999999999) 00", "X (12a4) 00", "X () 00", ""})
        EXPECT_GT(PcscSerial(n), 0) << n;
}

TEST(PcscCard, UidToKeyNumberInTheReadersFormat) {
    const std::vector<std::uint8_t> lUid = Bytes({0x04, 0xA2, 0x3B, 0x7C});
    struct TCase {
        TNumFormat nFormat;
        std::vector<std::uint8_t> aKey; // count, then least significant first
    };
    const TCase lCases[] = {
        {TNumFormat::Hex, Bytes({4, 0x7C, 0x3B, 0xA2, 0x04})},
        {TNumFormat::Dec, Bytes({4, 0x7C, 0x3B, 0xA2, 0x04})},
        {TNumFormat::Em4100, Bytes({4, 0x7C, 0x3B, 0xA2, 0x04})},
        {TNumFormat::HexReversed, Bytes({4, 0x04, 0xA2, 0x3B, 0x7C})},
        {TNumFormat::DecReversed, Bytes({4, 0x04, 0xA2, 0x3B, 0x7C})},
    };
    for (const TCase& c : lCases) {
        TCardNumber n;
        ASSERT_TRUE(PcscUidToCardNumber(lUid, c.nFormat, n)) << NumFormatName(c.nFormat);
        EXPECT_EQ(std::vector<std::uint8_t>(n.aKey.begin(), n.aKey.begin() + 5), c.aKey)
            << NumFormatName(c.nFormat);
    }
    TCardNumber n;
    EXPECT_FALSE(PcscUidToCardNumber(std::vector<std::uint8_t>(30, 0x11), TNumFormat::Hex, n));
    EXPECT_FALSE(PcscUidToCardNumber({}, TNumFormat::Hex, n));
}

TEST(PcscSetup, AliasesFromTheFileElseKeptPerProcess) {
    TReadersConf lConf =
        ParseReadersIni("[NFC2]\nkind=pcsc\ndevice=ACS ACR122U PICC Interface 00\nformat=hexrev\n"
                        "[NFC7]\nkind=pcsc\ndevice=Gemalto PC Twin 01 00\n"
                        "[COM21]\nkind=serial\ndevice=/dev/ttyUSB0\n");
    ASSERT_EQ(lConf.aReaders.size(), 3u) << (lConf.aProblems.empty() ? "" : lConf.aProblems[0]);
    std::vector<std::pair<std::string, std::string>> lKept;
    const std::vector<TPcscReaderName> lReaders = {
        {"Other Reader 00 00", "Other Reader 00"},
        {"ACS ACR122U PICC Interface 01 00", "ACS ACR122U PICC Interface 00"}, // by identity
        {"Gemalto PC Twin 01 00", "Gemalto PC Twin 00"},                       // by full name
        {"Third 02 00", "Third 00"},
    };
    std::vector<TPcscSetup> s = PcscSetups(lConf, lReaders, lKept);
    ASSERT_EQ(s.size(), 4u);
    EXPECT_EQ(s[1].sAlias, u"NFC2");
    EXPECT_EQ(s[1].nFormat, TNumFormat::HexReversed);
    EXPECT_EQ(s[2].sAlias, u"NFC7");
    EXPECT_EQ(s[2].nFormat, TNumFormat::Hex);
    EXPECT_EQ(s[0].sAlias, u"NFC1") << "the first alias the file leaves free";
    EXPECT_EQ(s[0].nFormat, TNumFormat::Hex);
    EXPECT_EQ(s[3].sAlias, u"NFC3");

    // Plugged out and back in another order, the unnamed readers keep their aliases.
    std::vector<TPcscSetup> t = PcscSetups(lConf, {lReaders[3], lReaders[0]}, lKept);
    EXPECT_EQ(t[0].sAlias, u"NFC3");
    EXPECT_EQ(t[1].sAlias, u"NFC1");
    // A kept alias the file now gives to another reader goes to that reader.
    TReadersConf lNew = ParseReadersIni("[NFC1]\nkind=pcsc\ndevice=Third 00\n");
    std::vector<TPcscSetup> u = PcscSetups(lNew, {lReaders[0], lReaders[3]}, lKept);
    EXPECT_EQ(u[1].sAlias, u"NFC1");
    EXPECT_FALSE(u[0].sAlias.empty());
    EXPECT_NE(u[0].sAlias, u"NFC1");
    EXPECT_NE(u[0].sAlias, u"NFC3") << "NFC3 is kept for the reader that had it";
}
