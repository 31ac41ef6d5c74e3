// readers.ini: the readers it names, what it refuses, and its atomic writer.

#include "orvreader/OrvBase.h"
#include "orvreader/src/uOrvReadersIni.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

using namespace Orv;
namespace fs = std::filesystem;

namespace {

class TTempDir {
public:
    TTempDir() {
        std::string t = (fs::temp_directory_path() / "rdini-XXXXXX").string();
        m_sPath = mkdtemp(t.data());
    }
    ~TTempDir() {
        std::error_code e;
        fs::remove_all(m_sPath, e);
    }
    const std::string& Path() const { return m_sPath; }

private:
    std::string m_sPath;
};

std::string ReadAll(const std::string& APath) {
    std::ifstream f(APath, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

const char* const cSample = "\xEF\xBB\xBF; readers of the front desk\n"
                            "[COM21]\r\n"
                            "kind = serial\r\n"
                            "device=/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0\r\n"
                            "format=em4100\n"
                            "speed=19200\n"
                            "framing=stx-etx-xor\n"
                            "gap=250\n"
                            "colour=blue\n"
                            "\n"
                            "[KBD1]\n"
                            "kind=keyboard\n"
                            "device=ffff:0035\n"
                            "format=decrev\n"
                            "[NFC1]\n"
                            "KIND=PCSC\n"
                            "device=ACS ACR122U PICC Interface 00 00\n";

TEST(ReadersIni, ReadsEveryReaderWithItsSettingsAndDefaults) {
    TReadersConf c = ParseReadersIni(cSample);
    EXPECT_TRUE(c.aProblems.empty()) << c.aProblems.front();
    ASSERT_EQ(c.aReaders.size(), 3u);
    const TReaderConf& s = c.aReaders[0];
    EXPECT_EQ(s.sAlias, "COM21");
    EXPECT_EQ(s.nKind, TReaderKind::Serial);
    EXPECT_EQ(s.sDevice, "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0");
    EXPECT_EQ(s.nFormat, TNumFormat::Em4100);
    EXPECT_EQ(s.nSpeed, 19200u);
    EXPECT_EQ(s.nFraming, TFraming::StxEtxXor);
    EXPECT_EQ(s.nGapMs, 250u);
    ASSERT_EQ(s.aExtra.size(), 1u);
    EXPECT_EQ(s.aExtra[0], std::make_pair(std::string("colour"), std::string("blue")));
    const TReaderConf& k = c.aReaders[1];
    EXPECT_EQ(k.nKind, TReaderKind::Keyboard);
    EXPECT_EQ(k.sDevice, "ffff:0035");
    EXPECT_EQ(k.nFormat, TNumFormat::DecReversed);
    EXPECT_EQ(k.nGapMs, cDefaultKeyGapMs);
    const TReaderConf& n = c.aReaders[2];
    EXPECT_EQ(n.nKind, TReaderKind::Pcsc);
    EXPECT_EQ(n.nFormat, TNumFormat::Hex);
    EXPECT_EQ(c.Find("kbd1"), &c.aReaders[1]);
    EXPECT_EQ(c.Find("KBD2"), nullptr);
}

TEST(ReadersIni, ReaderWithAWrongSettingIsLeftOutWholeAndNamed) {
    struct {
        const char* pSection;
        const char* pProblem; // part of the problem's text
    } const cBad[] = {
        {"[COM22]\nkind=serial\ndevice=/dev/ttyS1\nspeed=9601\n", "bad speed"},
        {"[COM22]\nkind=serial\ndevice=/dev/ttyS1\nspeed=1200\n", "bad speed"},
        {"[COM22]\nkind=serial\ndevice=/dev/ttyS1\nspeed=99999999999\n", "bad speed"},
        {"[COM22]\nkind=serial\ndevice=/dev/ttyS1\nframing=stx\n", "bad framing"},
        {"[COM22]\nkind=serial\ndevice=/dev/ttyS1\nformat=wiegand\n", "bad format"},
        {"[COM22]\nkind=serial\ndevice=/dev/ttyS1\ngap=0\n", "bad gap"},
        {"[COM22]\nkind=serial\ndevice=/dev/ttyS1\ngap=10001\n", "bad gap"},
        {"[COM22]\nkind=modem\ndevice=/dev/ttyS1\n", "unknown kind"},
        {"[COM22]\ndevice=/dev/ttyS1\n", "no kind"},
        {"[COM22]\nkind=serial\n", "no device"},
        {"[KBD2]\nkind=serial\ndevice=/dev/ttyS1\n", "does not suit"},
        {"[COM5]\nkind=keyboard\ndevice=1234:5678\n", "does not suit"},
        {"[COM0]\nkind=serial\ndevice=/dev/ttyS1\n", "does not suit"},
        {"[NFC 1]\nkind=pcsc\ndevice=x\n", "does not suit"},
        {"[ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789]\nkind=pcsc\ndevice=x\n", "bad section name"},
        {"[KBD1]\nkind=keyboard\ndevice=1234:5678\n", "given twice"},
        {"[KBD9]\nkind=keyboard\ndevice=ffff:0035\n", "already KBD1's"},
        {"[]\nkind=pcsc\ndevice=x\n", "bad section name"},
        {"[NFC4\nkind=pcsc\ndevice=x\n", "bad section name"},
        {"[NFC4]\nkind=pcsc\ndevice=a\x01z\n", "unreadable setting"},
    };
    const std::string lGood = "[KBD1]\nkind=keyboard\ndevice=ffff:0035\n";
    for (const auto& b : cBad) {
        TReadersConf c = ParseReadersIni(lGood + b.pSection + "[NFC3]\nkind=pcsc\ndevice=R\n");
        ASSERT_EQ(c.aReaders.size(), 2u) << b.pSection;
        EXPECT_EQ(c.aReaders[0].sAlias, "KBD1");
        EXPECT_EQ(c.aReaders[1].sAlias, "NFC3") << "the reader after a bad one is read: " << b.pSection;
        ASSERT_FALSE(c.aProblems.empty()) << b.pSection;
        EXPECT_NE(c.aProblems[0].find(b.pProblem), std::string::npos) << c.aProblems[0];
    }
}

TEST(ReadersIni, UnknownKeysKeptUpToACap) {
    std::string lText = "[NFC1]\nkind=pcsc\ndevice=R\n";
    for (int i = 0; i < 60; ++i)
        lText += "k" + std::to_string(i) + "=v\n";
    TReadersConf c = ParseReadersIni(lText);
    ASSERT_EQ(c.aReaders.size(), 1u);
    EXPECT_EQ(c.aReaders[0].aExtra.size(), cMaxExtraKeys);
    EXPECT_EQ(c.aProblems.size(), 60 - cMaxExtraKeys);
    // What was kept writes back and reads again without a problem.
    TReadersConf lAgain = ParseReadersIni(FormatReadersIni(c));
    EXPECT_TRUE(lAgain.aProblems.empty());
    EXPECT_EQ(lAgain.aReaders[0].aExtra, c.aReaders[0].aExtra);
    c.aReaders[0].aExtra.emplace_back("one", "more");
    TTempDir d;
    EXPECT_EQ(SaveReadersIni(d.Path() + "/readers.ini", c), ORV_E_INVALID_ARG);
}

TEST(ReadersIni, AliasesSuitTheirKind) {
    struct {
        const char* pAlias;
        TReaderKind nKind;
        bool fValid;
    } const cAliases[] = {
        {"COM21", TReaderKind::Serial, true},
        {"com3", TReaderKind::Serial, true},
        {"COM", TReaderKind::Serial, false},
        {"COM00", TReaderKind::Serial, false},
        {"COM1234567890", TReaderKind::Serial, false},
        {"SER1", TReaderKind::Serial, false},
        {"KBD1", TReaderKind::Keyboard, true},
        {"COM1", TReaderKind::Keyboard, false},
        {"COMPORT", TReaderKind::Keyboard, true},
        {"Front_Desk-2", TReaderKind::Pcsc, true},
        {"", TReaderKind::Pcsc, false},
        {"NFC/1", TReaderKind::Pcsc, false},
        {"N\xC3\xA4", TReaderKind::Pcsc, false},
        {"A234567890123456789012345678901", TReaderKind::Pcsc, true},
        {"A2345678901234567890123456789012", TReaderKind::Pcsc, false},
    };
    for (const auto& a : cAliases)
        EXPECT_EQ(ValidAlias(a.pAlias, a.nKind), a.fValid) << a.pAlias;
}

TEST(ReadersIni, AnyBytesNeverCrashAndAnOversizedFileGivesNothing) {
    std::mt19937 lRandom(17);
    static const char cPool[] = "[]=\n\r;#abcCOM1kind=serialdevice=/x\xFF\x00 ";
    for (int i = 0; i < 2000; ++i) {
        std::string lText(lRandom() % 300, '\0');
        for (char& ch : lText)
            ch = cPool[lRandom() % (sizeof cPool - 1)];
        TReadersConf c = ParseReadersIni(lText);
        for (const TReaderConf& r : c.aReaders) {
            EXPECT_TRUE(ValidAlias(r.sAlias, r.nKind)) << r.sAlias;
            EXPECT_FALSE(r.sDevice.empty());
        }
    }
    std::string lBig = std::string(cSample) + std::string(cMaxReadersIni, '\n');
    TReadersConf c = ParseReadersIni(lBig);
    EXPECT_TRUE(c.aReaders.empty());
    ASSERT_EQ(c.aProblems.size(), 1u);
}

TEST(ReadersIni, WrittenAtomicallyAndReadBackTheSame) {
    TTempDir d;
    const std::string lPath = d.Path() + "/cfg/tarvo/readers.ini";
    TReadersConf c = ParseReadersIni(cSample);
    ASSERT_EQ(SaveReadersIni(lPath, c), ORV_OK);
    TReadersConf lBack;
    bool lExists = false;
    ASSERT_EQ(LoadReadersIni(lPath, lBack, &lExists), ORV_OK);
    EXPECT_TRUE(lExists);
    EXPECT_TRUE(lBack.aProblems.empty());
    ASSERT_EQ(lBack.aReaders.size(), c.aReaders.size());
    for (std::size_t i = 0; i < c.aReaders.size(); ++i) {
        const TReaderConf &a = c.aReaders[i], &b = lBack.aReaders[i];
        EXPECT_EQ(a.sAlias, b.sAlias);
        EXPECT_EQ(a.nKind, b.nKind);
        EXPECT_EQ(a.sDevice, b.sDevice);
        EXPECT_EQ(a.nFormat, b.nFormat);
        EXPECT_EQ(a.nSpeed, b.nSpeed);
        EXPECT_EQ(a.nFraming, b.nFraming);
        EXPECT_EQ(a.nGapMs, b.nGapMs);
        EXPECT_EQ(a.aExtra, b.aExtra);
    }
    struct stat st {};
    ASSERT_EQ(stat(lPath.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    // A refused configuration leaves the file as it was and no temporary file behind.
    const std::string lBefore = ReadAll(lPath);
    std::vector<TReadersConf> lRefused(6, c);
    lRefused[0].aReaders[1].sAlias = "COM9";                // keyboard reader with a COM name
    lRefused[1].aReaders[2].sAlias = "com21";               // repeated alias
    lRefused[2].aReaders[0].sDevice = "/dev/ttyS0\n[KBD7]"; // a value that would add a section
    lRefused[3].aReaders[0].aExtra.emplace_back("x]", "1"); // a key that cannot be read back
    lRefused[4].aReaders[0].nSpeed = 1234;
    lRefused[5].aReaders[2].sDevice.clear();
    for (const TReadersConf& r : lRefused)
        EXPECT_EQ(SaveReadersIni(lPath, r), ORV_E_INVALID_ARG);
    EXPECT_EQ(ReadAll(lPath), lBefore);
    int lFiles = 0;
    for ([[maybe_unused]] auto& e : fs::directory_iterator(d.Path() + "/cfg/tarvo"))
        ++lFiles;
    EXPECT_EQ(lFiles, 1);

    // A replacement is whole: the new text, still one file.
    c.aReaders.pop_back();
    ASSERT_EQ(SaveReadersIni(lPath, c), ORV_OK);
    EXPECT_EQ(ReadAll(lPath), FormatReadersIni(c));
}

TEST(ReadersIni, MissingUnreadableOrOversizedFiles) {
    TTempDir d;
    TReadersConf c;
    bool lExists = true;
    EXPECT_EQ(LoadReadersIni(d.Path() + "/none.ini", c, &lExists), ORV_OK);
    EXPECT_FALSE(lExists);
    EXPECT_TRUE(c.aReaders.empty());

    // A pipe under the name is refused at once, not waited on.
    const std::string lFifo = d.Path() + "/fifo.ini";
    ASSERT_EQ(mkfifo(lFifo.c_str(), 0600), 0);
    EXPECT_LT(LoadReadersIni(lFifo, c, &lExists), 0);
    EXPECT_TRUE(lExists);
    EXPECT_TRUE(c.aReaders.empty());

    const std::string lBig = d.Path() + "/big.ini";
    std::ofstream(lBig) << cSample << std::string(cMaxReadersIni, ';');
    EXPECT_LT(LoadReadersIni(lBig, c), 0);
    EXPECT_TRUE(c.aReaders.empty());

    // A link to the file is followed.
    const std::string lReal = d.Path() + "/real.ini", lLink = d.Path() + "/link.ini";
    std::ofstream(lReal) << cSample;
    fs::create_symlink(lReal, lLink);
    EXPECT_EQ(LoadReadersIni(lLink, c), ORV_OK);
    EXPECT_EQ(c.aReaders.size(), 3u);
}

TEST(ReadersIni, PathFromTheConfigFolder) {
    const char* lOldConfig = std::getenv("XDG_CONFIG_HOME");
    const char* lOldHome = std::getenv("HOME");
    std::string lSavedConfig = lOldConfig ? lOldConfig : "", lSavedHome = lOldHome ? lOldHome : "";
    setenv("XDG_CONFIG_HOME", "/x/cfg", 1);
    setenv("HOME", "/home/u", 1);
    EXPECT_EQ(ReadersIniPath(), "/x/cfg/tarvo/readers.ini");
    setenv("XDG_CONFIG_HOME", "relative", 1); // not absolute: ignored as the XDG rules say
    EXPECT_EQ(ReadersIniPath(), "/home/u/.config/tarvo/readers.ini");
    unsetenv("XDG_CONFIG_HOME");
    unsetenv("HOME");
    EXPECT_EQ(ReadersIniPath(), "");
    lOldConfig ? setenv("XDG_CONFIG_HOME", lSavedConfig.c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
    lOldHome ? setenv("HOME", lSavedHome.c_str(), 1) : unsetenv("HOME");
}

TEST(ReadersIni, FreeAliasesAndSerialNumbers) {
    TReadersConf c = ParseReadersIni(cSample);
    EXPECT_EQ(c.FreeAlias(TReaderKind::Serial), "COM22");
    EXPECT_EQ(c.FreeAlias(TReaderKind::Keyboard), "KBD2");
    EXPECT_EQ(c.FreeAlias(TReaderKind::Pcsc), "NFC2");
    EXPECT_EQ(TReadersConf{}.FreeAlias(TReaderKind::Serial), "COM21");

    EXPECT_EQ(StableSerial("12345", "x"), 12345);
    EXPECT_EQ(StableSerial(" 2147483647 ", "x"), 2147483647);
    EXPECT_EQ(StableSerial("2147483648", "x"), StableSerial("", "x")); // does not fit
    EXPECT_EQ(StableSerial("000820140315", "x"), 820140315);           // last nine digits of a long one
    // No numeric serial: a positive number from the identity, the same each time and differing
    // between devices.
    const std::int32_t a = StableSerial("A1B2C3", "usb-FTDI_A1B2C3"), b = StableSerial("", "usb-FTDI_A1B2C4");
    EXPECT_GT(a, 0);
    EXPECT_GT(b, 0);
    EXPECT_NE(a, b);
    EXPECT_EQ(a, StableSerial("A1B2C3", "usb-FTDI_A1B2C3"));
    EXPECT_GT(StableSerial("0", ""), 0);
}

} // namespace
