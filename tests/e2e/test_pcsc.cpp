// The real front desk and tarvoctl on a PC/SC reader: a private pcscd with the vpcd virtual reader and
// our virtual card (tests/orvreader/PcscHarness.h). A guest is checked in and out by card, and
// `tarvoctl readers` lists the reader and watches its cards.

#include "tests/e2e/E2eSupport.h"
#include "tests/orvreader/PcscHarness.h"

#include <gtest/gtest.h>

#include <sstream>

using namespace E2e;

namespace {

const std::string cDay = "02032026"; // Monday 2 March 2026

// One zone all day at 2 per minute; Ann's card is the four-byte UID 04 A2 3B 7C.
std::string DataFile(const std::string& AReader) {
    return DeskDataFile("<Reader " + AReader, "<Item1 number=\"04A23B7C\" name=\"Ann\" level=\"0\"/>\r\n",
                        "<Popup max=\"5\" timeOut=\"2\"/>\r\n");
}

struct TPortLine {
    std::string sName, sType, sSecond, sModel, sSn, sState;
};

std::vector<TPortLine> ParsePorts(const std::string& AOut) {
    std::vector<TPortLine> lPorts;
    std::istringstream lIn(AOut);
    std::string lLine;
    while (std::getline(lIn, lLine)) {
        std::vector<std::string> f;
        std::istringstream lFields(lLine);
        std::string s;
        while (std::getline(lFields, s, '\t'))
            f.push_back(s);
        if (f.size() == 6)
            lPorts.push_back({f[0], f[1], f[2], f[3], f[4], f[5]});
    }
    return lPorts;
}

class PcscEndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string lMissing = PcscTest::MissingTools();
        if (!lMissing.empty())
            GTEST_SKIP() << lMissing;
        ASSERT_TRUE(FileExists(BinPath("Tarvo")));
        ASSERT_TRUE(FileExists(BinPath("orvvcard")));
        m_oWorld.SetEnv("PCSCLITE_CSOCK_NAME", PcscTest::PcscSocketPath());
        m_oWorld.SetEnv("ORV_PCSC_VIRTUAL", "1");
        ASSERT_TRUE(m_oPcscd.Start()) << m_oPcscd.Log();
    }

    std::vector<TPortLine> Readers() const {
        TRunResult r = m_oWorld.Run({"readers"}, "tarvoctl");
        EXPECT_EQ(r.nStatus, 0) << r.sErr;
        return ParsePorts(r.sOut);
    }
    // The line of vpcd's first slot, whose second name is "Virtual PCD 00".
    // (a pcscd just started may still be adding its readers: looked for until the patience ends).
    TPortLine Slot0() const {
        TPortLine lFound;
        WaitUntil([&] {
            for (const TPortLine& p : Readers())
                if (p.sSecond == "Virtual PCD 00")
                    lFound = p;
            return !lFound.sName.empty();
        });
        return lFound;
    }

    TWorld m_oWorld;
    PcscTest::TPrivatePcscd m_oPcscd;
};

} // namespace

TEST_F(PcscEndToEnd, TarvoctlListsTheReaderAndWatchesItsCards) {
    const TPortLine p = Slot0();
    ASSERT_FALSE(p.sName.empty()) << "tarvoctl readers does not list the virtual reader";
    EXPECT_EQ(p.sName.rfind("NFC", 0), 0u) << p.sName;
    EXPECT_EQ(p.sType, "usb");
    EXPECT_EQ(p.sModel, "Desk MF");
    EXPECT_GT(std::stoll(p.sSn), 0);
    EXPECT_EQ(p.sState, "free");
    EXPECT_EQ(Slot0().sSn, p.sSn) << "the serial number is the same on every start";

    TProgram lWatch(m_oWorld, "tarvoctl", {"readers", "watch"});
    ASSERT_TRUE(lWatch.WaitForOutput("watching " + p.sName)) << lWatch.Err();
    EXPECT_EQ(Slot0().sState, "busy") << "a watched reader is held";
    {
        PcscTest::TVirtualCard lCard(m_oPcscd.Port(), "04A23B7C");
        ASSERT_TRUE(lWatch.WaitForOutput(" " + p.sName +
                                             " em4100=0077740924 3+5=162,15228 hex=04A23B7C "
                                             "hexrev=7C3BA204 dec=77740924 decrev=2084282884",
                                         true))
            << lWatch.Out() << lWatch.Err();
    }
    ASSERT_TRUE(lWatch.Terminate()) << "watch must end at SIGTERM";
    EXPECT_EQ(lWatch.ExitStatus(), 0) << lWatch.Err();
    EXPECT_EQ(Slot0().sState, "free");

    TRunResult r = m_oWorld.Run({"readers", "sideways"}, "tarvoctl");
    EXPECT_EQ(r.nStatus, 2);
}

TEST_F(PcscEndToEnd, TheFrontDeskChecksAGuestInAndOutByCard) {
    const TPortLine p = Slot0();
    ASSERT_FALSE(p.sName.empty());
    m_oWorld.SetFakeTime("2026-03-02 10:00:00");
    // The programs store a USB reader by its second name.
    WriteFile(m_oWorld.DataPath("Tarvo.xml"), DataFile("sn=\"" + p.sSn + "\" port=\"Virtual PCD 00\"/>"));
    TProgram lDesk(m_oWorld, "Tarvo");
    ASSERT_TRUE(WaitUntil([&] { return Slot0().sState == "busy"; }))
        << "the front desk did not open the reader\n"
        << lDesk.Err();
    const std::string lLog = m_oWorld.DataPath("Logs/L" + cDay + ".log");
    const std::string lReport = m_oWorld.DataPath("Report/R" + cDay + ".log");
    {
        PcscTest::TVirtualCard lCard(m_oPcscd.Port(), "04A23B7C");
        ASSERT_TRUE(WaitForText(lLog, "10:00:00 [in] Ann, 0")) << lDesk.Err();
    }
    // pcscd must see the reader empty, or the next card is the same presentation to it.
    ASSERT_TRUE(PcscTest::WaitCardState("Virtual PCD 00 00", false));
    m_oWorld.SetFakeTime("2026-03-02 10:30:00");
    {
        PcscTest::TVirtualCard lCard(m_oPcscd.Port(), "04A23B7C");
        ASSERT_TRUE(WaitForText(lReport, "   0 Ann 10:00:00-10:30:00 60")) << lDesk.Err();
    }
    EXPECT_EQ(ReadLines(lLog), (std::vector<std::string>{"10:00:00 [in] Ann, 0", "10:30:00 [out] Ann, 60"}));
    ASSERT_TRUE(lDesk.Terminate());
    EXPECT_EQ(lDesk.ExitStatus(), 0) << lDesk.Err();
}
