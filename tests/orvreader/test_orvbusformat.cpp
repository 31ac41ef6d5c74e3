// Records, names and keys of the virtual bus as they lie in its folder.

#include "orvreader/OrvPort.h"
#include "orvreader/OrvReader.h"
#include "orvreader/src/uOrvBusFormat.h"

#include <gtest/gtest.h>

#include <set>

using namespace Orv;

namespace {

TBusPort SamplePort() {
    TBusPort p;
    p.sName = u"FT\u00C4rger-1";
    p.sFriendly = u"COM5";
    p.nPortType = ORVP_PORT_FT;
    p.nModel = ORVR_RD_KORVEL;
    p.nSn = -17;
    p.nVersion = 0x00010401;
    p.nPluggedMs = 123456789012ull;
    return p;
}

// A serial port written with its prefix in small letters: two folders could then hold one port.
std::string NonCanonical() {
    TBusPort p;
    p.sName = u"com5";
    p.nPortType = ORVP_PORT_COM;
    p.nModel = 1;
    return FormatPort(p);
}

} // namespace

TEST(OrvBusFormat, PortRecordRoundTripsAndRejectsDamage) {
    const TBusPort lPort = SamplePort();
    const std::string lText = FormatPort(lPort);
    TBusPort lRead;
    ASSERT_TRUE(ParsePort(lText, lRead));
    EXPECT_EQ(lRead, lPort);

    auto Replace = [&](const std::string& AFrom, const std::string& ATo) {
        std::string s = lText;
        s.replace(s.find(AFrom), AFrom.size(), ATo);
        return s;
    };
    const std::vector<std::pair<const char*, std::string>> lBad = {
        {"missing field", Replace("sn=-17\n", "")},
        {"field twice", lText + "model=1\n"},
        {"unknown field", lText + "colour=red\n"},
        {"model out of range", Replace("model=7", "model=10")},
        {"sn overflow", Replace("sn=-17", "sn=2147483648")},
        {"sn not a number", Replace("sn=-17", "sn=12a")},
        {"type contradicts name", Replace("ptype=2", "ptype=1")},
        {"name empty", Replace("name=FT\xC3\x84rger-1", "name=")},
        {"name too long", Replace("name=FT\xC3\x84rger-1", "name=" + std::string(32, 'A'))},
        {"name with blank", Replace("name=FT\xC3\x84rger-1", "name=FT 1")},
        {"name not canonical", NonCanonical()},
        {"bad UTF-8", Replace("name=FT\xC3\x84rger-1", "name=FT\xC3rger")},
        {"line without =", lText + "garbage\n"},
        {"over-long record", lText + "x=" + std::string(5000, 'y') + "\n"},
        {"empty", ""},
    };
    for (const auto& [what, text] : lBad) {
        TBusPort lOut = lPort;
        lOut.nSn = 99;
        EXPECT_FALSE(ParsePort(text, lOut)) << what;
        EXPECT_EQ(lOut.nSn, 99) << what << ": a rejected record must leave the output alone";
    }
}

TEST(OrvBusFormat, MessagesRoundTripAndRejectDamage) {
    TBusMessage lCard;
    lCard.nKind = TBusMsgKind::Card;
    lCard.nCardType = ORVR_CD_ULC;
    ASSERT_TRUE(ParseKeyHex("00ABCDEF01", lCard.aKey));
    TBusMessage lGone;
    lGone.nKind = TBusMsgKind::Gone;
    TBusMessage lArrival;
    lArrival.nKind = TBusMsgKind::Arrival;
    lArrival.rPort = SamplePort();
    TBusMessage lRemoval = lArrival;
    lRemoval.nKind = TBusMsgKind::Removal;
    for (const TBusMessage& m : {lCard, lGone, lArrival, lRemoval}) {
        TBusMessage lRead;
        ASSERT_TRUE(ParseMessage(FormatMessage(m), lRead)) << FormatMessage(m);
        EXPECT_EQ(lRead, m);
    }
    for (const char* bad :
         {"kind=card\ntype=1\n", "kind=card\ntype=22\nkey=01\n", "kind=card\ntype=1\nkey=\n",
          "kind=card\ntype=1\nkey=0G\n", "kind=gone\nextra=1\n", "kind=arrival\n", "kind=boom\n",
          "type=1\nkey=01\n", "kind=card\nkind=card\ntype=1\nkey=01\n"}) {
        TBusMessage lRead;
        EXPECT_FALSE(ParseMessage(bad, lRead)) << bad;
    }
}

TEST(OrvBusFormat, OutputsRoundTrip) {
    TBusOutputs lOut;
    lOut.aOn = {1, 0, 1, 1};
    lOut.sFormat = u"b5 b4 b3 w12";
    TBusOutputs lRead;
    ASSERT_TRUE(ParseOutputs(FormatOutputs(lOut), lRead));
    EXPECT_EQ(lRead, lOut);
    EXPECT_FALSE(ParseOutputs("green=2\nred=0\nbeep=0\npower=0\nformat=\n", lRead));
    // A control character would not write back the same (a CR before the line break is tolerated).
    EXPECT_FALSE(ParseOutputs("green=0\nred=0\nbeep=0\npower=0\nformat=a\r\rb\n", lRead));
    EXPECT_TRUE(ParseOutputs("green=0\r\nred=0\r\nbeep=0\r\npower=0\r\nformat=a b\r\n", lRead));
    EXPECT_EQ(lRead.sFormat, u"a b");
}

TEST(OrvBusFormat, KeyHexKeepsLeadingZerosAsBytes) {
    struct TCase {
        const char* sText;
        std::vector<std::uint8_t> aBytes; // count first, then low byte first
    };
    const TCase lCases[] = {
        {"0A0B0C", {3, 0x0C, 0x0B, 0x0A}},
        {"abc", {2, 0xBC, 0x0A}},
        {"0000123456", {5, 0x56, 0x34, 0x12, 0x00, 0x00}},
        {"7", {1, 0x07}},
        {"0123456789ABCDEF0123456789ABCD",
         {15, 0xCD, 0xAB, 0x89, 0x67, 0x45, 0x23, 0x01, 0xEF, 0xCD, 0xAB, 0x89, 0x67, 0x45, 0x23, 0x01}},
    };
    for (const TCase& c : lCases) {
        TKey lKey{};
        ASSERT_TRUE(ParseKeyHex(c.sText, lKey)) << c.sText;
        TKey lWant{};
        std::copy(c.aBytes.begin(), c.aBytes.end(), lWant.begin());
        EXPECT_EQ(lKey, lWant) << c.sText;
        TKey lAgain{};
        ASSERT_TRUE(ParseKeyHex(KeyToHex(lKey), lAgain));
        EXPECT_EQ(lAgain, lKey) << c.sText;
    }
    for (const char* bad : {"", "0x12", "12 34", "12G4", "-1", "0123456789ABCDEF0123456789ABCDE"}) {
        TKey lKey{};
        EXPECT_FALSE(ParseKeyHex(bad, lKey)) << bad;
    }
}

TEST(OrvBusFormat, PortNames) {
    struct TCase {
        std::u16string sName;
        bool fCom;
    };
    const TCase lTypes[] = {{u"COM7", true},          {u"com12", true},          {u"COM", false},
                            {u"COM7a", false},        {u"COM+5", true},          {u"COM-1", true},
                            {u"COM2147483647", true}, {u"COM2147483648", false}, {u"USB Reader", false}};
    for (const TCase& c : lTypes)
        EXPECT_EQ(IsComName(c.sName), c.fCom) << Utf16ToUtf8(c.sName);
    EXPECT_EQ(CanonicalPortName(u"com12"), u"COM12");
    EXPECT_EQ(CanonicalPortName(u"comfort"), u"comfort");

    EXPECT_EQ(CheckPortName(u""), TNameCheck::Empty);
    EXPECT_EQ(CheckPortName(std::u16string(31, u'A')), TNameCheck::Ok);
    EXPECT_EQ(CheckPortName(std::u16string(32, u'A')), TNameCheck::TooLong);
    EXPECT_EQ(CheckPortName(u"a b"), TNameCheck::BadChar);
    EXPECT_EQ(CheckPortName(u"a\tb"), TNameCheck::BadChar);
    EXPECT_EQ(CheckPortName(u"a\u3000b"), TNameCheck::BadChar);

    // Folder names: distinct names never share a folder, and none is special to the file system.
    std::set<std::string> lFolders;
    const std::u16string lNames[] = {u"a.b", u"a%002Eb", u"..", u".",         u"a/b",
                                     u"a%b", u"A",       u"a",  u"\U0001F600"};
    for (const std::u16string& n : lNames) {
        std::string f = PortFolderName(n);
        EXPECT_TRUE(lFolders.insert(f).second) << f;
        EXPECT_EQ(f.find('/'), std::string::npos);
        EXPECT_NE(f[0], '.');
        EXPECT_LE(PortFolderName(std::u16string(31, u'\u00FF')).size(), 255u);
    }
}

TEST(OrvBusFormat, Utf8DecoderRejectsInvalidSequences) {
    std::u16string lOut;
    EXPECT_TRUE(Utf8ToUtf16("\xF0\x9F\x98\x80", lOut));
    EXPECT_EQ(lOut, u"\U0001F600");
    EXPECT_EQ(Utf16ToUtf8(lOut), "\xF0\x9F\x98\x80");
    for (const char* bad :
         {"\xC0\x80", "\xE0\x80\x80", "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xE2\x82", "\x80"})
        EXPECT_FALSE(Utf8ToUtf16(bad, lOut)) << bad;
    EXPECT_FALSE(Utf8ToUtf16(std::string_view("a\0b", 3), lOut));
}
