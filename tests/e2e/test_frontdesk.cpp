// The real front desk, started offscreen in a private world: cards presented with orvsim, the reader
// unplugged and plugged back, the base station's outputs, the files of the day, the data file after
// SIGTERM, and the single-instance rule.

#include "tests/e2e/E2eSupport.h"

#include <gtest/gtest.h>

#include <regex>

using namespace E2e;

namespace {

// One zone all day at 2 per minute (1 at level 10), whole amounts, the business day from 06:00.
// AReader is the Reader element's attributes and content.
std::string DataFile(const std::string& AReader) {
    return DeskDataFile("<Reader " + AReader,
                        "<Item1 number=\"0A0B0C\" name=\"Ann\" level=\"0\"/>\r\n"
                        "<Item2 number=\"0D\" name=\"Bob\" level=\"10\"/>\r\n"
                        "<Item3 number=\"123456\" name=\"Wiegand\" level=\"0\"/>\r\n",
                        "<Popup max=\"5\" timeOut=\"2\"/>\r\n");
}

const std::string cDay = "02032026"; // Monday 2 March 2026

class FrontDesk : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FileExists(BinPath("Tarvo"))) << BinPath("Tarvo");
        m_oWorld.SetFakeTime("2026-03-02 10:00:00");
    }

    void WriteData(const std::string& AReader) {
        WriteFile(m_oWorld.DataPath("Tarvo.xml"), DataFile(AReader));
    }
    std::string State(const std::string& APort) const { return m_oWorld.Orvsim({"state", APort}).sOut; }
    bool WaitOpen(const std::string& APort) const {
        return WaitUntil([&] { return State(APort).rfind("open", 0) == 0; });
    }
    void Present(const std::string& APort, const std::string& AKey) const {
        TRunResult r = m_oWorld.Orvsim({"present", APort, AKey});
        ASSERT_EQ(r.nStatus, 0) << r.sErr;
    }
    std::string LogFile() const { return m_oWorld.DataPath("Logs/L" + cDay + ".log"); }
    std::string ReportFile() const { return m_oWorld.DataPath("Report/R" + cDay + ".log"); }

    TWorld m_oWorld;
};

} // namespace

TEST_F(FrontDesk, CardsCheckGuestsInAndOutWithRepeatsAndStrangersIgnored) {
    WriteData("sn=\"1001\" port=\"COM3\" cardRegInterval=\"60000\"/>");
    ASSERT_EQ(m_oWorld.Orvsim({"plug", "COM3", "--sn", "1001"}).nStatus, 0);
    TProgram lDesk(m_oWorld, "Tarvo");
    ASSERT_TRUE(WaitOpen("COM3")) << lDesk.Err();

    Present("COM3", "0A0B0C"); // Ann in
    ASSERT_TRUE(WaitForText(LogFile(), "10:00:00 [in] Ann, 0")) << lDesk.Err();
    Present("COM3", "0A0B0C"); // the same card at once: a repeat within the interval
    Present("COM3", "7766");   // not registered: nothing at all
    m_oWorld.SetFakeTime("2026-03-02 10:05:00");
    Present("COM3", "0D"); // Bob in: another card counts at once
    ASSERT_TRUE(WaitForText(LogFile(), "10:05:00 [in] Bob, 10"));
    m_oWorld.SetFakeTime("2026-03-02 10:30:00");
    Present("COM3", "0A0B0C"); // Ann again, but Bob came between: out, 30 minutes at 2
    ASSERT_TRUE(WaitForText(ReportFile(), "   0 Ann 10:00:00-10:30:00 60"));

    EXPECT_EQ(ReadLines(LogFile()), (std::vector<std::string>{"10:00:00 [in] Ann, 0", "10:05:00 [in] Bob, 10",
                                                              "10:30:00 [out] Ann, 60"}));
    EXPECT_EQ(ReadLines(ReportFile()), (std::vector<std::string>{"   0 Ann 10:00:00-10:30:00 60"}));

    ASSERT_TRUE(lDesk.Terminate());
    EXPECT_EQ(lDesk.ExitStatus(), 0) << lDesk.Err();
    // Nothing of the front desk's settings changed: the data file stays as it was written.
    EXPECT_EQ(ReadFile(m_oWorld.DataPath("Tarvo.xml")),
              DataFile("sn=\"1001\" port=\"COM3\" cardRegInterval=\"60000\"/>"));
    // The port is free again for the next program.
    EXPECT_EQ(State("COM3").rfind("closed", 0), 0u);
}

TEST_F(FrontDesk, UnpluggedReaderIsReopenedWhenItComesBack) {
    WriteData("sn=\"1001\" port=\"COM3\"/>");
    ASSERT_EQ(m_oWorld.Orvsim({"plug", "COM3", "--sn", "1001"}).nStatus, 0);
    TProgram lDesk(m_oWorld, "Tarvo");
    ASSERT_TRUE(WaitOpen("COM3"));

    ASSERT_EQ(m_oWorld.Orvsim({"unplug", "COM3"}).nStatus, 0);
    ASSERT_EQ(m_oWorld.Orvsim({"plug", "COM3", "--sn", "1001"}).nStatus, 0);
    ASSERT_TRUE(WaitOpen("COM3")) << "the front desk did not reopen the reader\n" << lDesk.Err();
    Present("COM3", "0D");
    EXPECT_TRUE(WaitForText(LogFile(), "10:00:00 [in] Bob, 10"));
    ASSERT_TRUE(lDesk.Terminate());
    EXPECT_EQ(lDesk.ExitStatus(), 0);
}

// The reader with the configured serial number is looked for when the configured port holds another
// reader (or none is configured); the port found is kept in the data file when SIGTERM or SIGINT ends
// the program as Exit does.
TEST_F(FrontDesk, ReaderFoundBySerialNumberMovesThePortSetting) {
    struct TCase {
        const char* sConfigured;
        int nSignal;
    };
    for (const TCase& c : {TCase{"COM3", SIGTERM}, TCase{"", SIGINT}}) {
        SCOPED_TRACE(std::string("configured port \"") + c.sConfigured + "\", signal " +
                     std::to_string(c.nSignal));
        TWorld lWorld;
        lWorld.SetFakeTime("2026-03-02 10:00:00");
        WriteFile(lWorld.DataPath("Tarvo.xml"),
                  DataFile(std::string("sn=\"1001\" port=\"") + c.sConfigured + "\"/>"));
        ASSERT_EQ(lWorld.Orvsim({"plug", "COM3", "--sn", "5"}).nStatus, 0);
        ASSERT_EQ(lWorld.Orvsim({"plug", "COM4", "--sn", "1001"}).nStatus, 0);
        TProgram lDesk(lWorld, "Tarvo", {"-autorun"});
        ASSERT_TRUE(WaitUntil([&] {
            return lWorld.Orvsim({"state", "COM4"}).sOut.rfind("open", 0) == 0;
        })) << lDesk.Err();
        EXPECT_EQ(lWorld.Orvsim({"state", "COM3"}).sOut.rfind("closed", 0), 0u);
        ASSERT_TRUE(lDesk.Signal(c.nSignal));
        EXPECT_EQ(lDesk.ExitStatus(), 0);
        const std::string lXml = ReadFile(lWorld.DataPath("Tarvo.xml"));
        EXPECT_NE(lXml.find("port=\"COM4\""), std::string::npos) << lXml;
        // The configuration program's items survive the front desk's save.
        EXPECT_NE(lXml.find("<Item3 number=\"123456\" name=\"Wiegand\" level=\"0\""), std::string::npos)
            << lXml;
    }
}

// Base station in Wiegand mode: five-byte keys with zero high bytes are three-byte keys. The entry pulse
// turns LED G and the beeper on; a check-out at once cuts it short, putting both back to idle, and its
// own pulse turns LED R (on when idle) off for its time.
TEST_F(FrontDesk, BaseStationInWiegandModePulsesItsOutputs) {
    WriteData("sn=\"2002\" port=\"COM5\" cardRegInterval=\"0\">"
              "<Korvel wiegand=\"True\">"
              "<LedG active=\"True\" initON=\"False\" time=\"30000\"/>"
              "<Beep active=\"True\" initON=\"False\" time=\"20000\"/>"
              "<Exit><LedR active=\"True\" initON=\"True\" time=\"400\"/></Exit>"
              "</Korvel></Reader>");
    ASSERT_EQ(m_oWorld.Orvsim({"plug", "COM5", "--sn", "2002", "--model", "7"}).nStatus, 0);
    TProgram lDesk(m_oWorld, "Tarvo");
    ASSERT_TRUE(WaitOpen("COM5")) << lDesk.Err();

    Present("COM5", "0000123456"); // in
    ASSERT_TRUE(WaitForText(LogFile(), "10:00:00 [in] Wiegand, 0")) << lDesk.Err();
    m_oWorld.SetFakeTime("2026-03-02 10:10:00");
    Present("COM5", "0000123456"); // out at once: no repeat interval
    ASSERT_TRUE(WaitForText(ReportFile(), "   0 Wiegand 10:00:00-10:10:00 20"));

    // Opening puts the entry outputs into their idle states; then the two events.
    const std::vector<std::string> lWant = {
        "indicator red=- green=off sound=off", // opened
        "indicator red=- green=on sound=-",    // check-in
        "indicator red=- green=- sound=on",
        "indicator red=- green=off sound=-", // check-out: the entry pulse ends at once
        "indicator red=off green=- sound=-",   "indicator red=- green=- sound=off",
        "indicator red=on green=- sound=-"}; // the exit pulse's end
    std::vector<std::pair<long, std::string>> lEvents;
    ASSERT_TRUE(WaitUntil([&] {
        lEvents.clear();
        std::istringstream lIn(m_oWorld.Orvsim({"events", "COM5"}).sOut);
        std::string lLine;
        std::smatch m;
        while (std::getline(lIn, lLine))
            if (std::regex_match(lLine, m, std::regex(R"((\d+) (.*))")))
                lEvents.emplace_back(std::stol(m[1]), m[2]);
        return lEvents.size() >= lWant.size();
    })) << m_oWorld.Orvsim({"events", "COM5"}).sOut;
    std::vector<std::string> lTexts;
    for (const auto& e : lEvents)
        lTexts.push_back(e.second);
    ASSERT_EQ(lTexts, lWant);
    // LED R stayed off for its pulse time (a timer only ends later, never earlier).
    EXPECT_GE(lEvents[6].first - lEvents[4].first, 390);
    EXPECT_EQ(State("COM5").rfind("open green=off red=on beep=off", 0), 0u) << State("COM5");

    ASSERT_TRUE(lDesk.Terminate());
    EXPECT_EQ(lDesk.ExitStatus(), 0);
}

TEST_F(FrontDesk, SecondInstanceEndsAtOnceWhileSwitchNRunsRegardless) {
    WriteData("sn=\"1001\" port=\"COM3\"/>");
    ASSERT_EQ(m_oWorld.Orvsim({"plug", "COM3", "--sn", "1001"}).nStatus, 0);
    TProgram lFirst(m_oWorld, "Tarvo");
    ASSERT_TRUE(WaitOpen("COM3"));

    TProgram lSecond(m_oWorld, "Tarvo", {"-show"});
    ASSERT_TRUE(lSecond.Wait()) << "the second front desk kept running";
    EXPECT_EQ(lSecond.ExitStatus(), 0);
    EXPECT_EQ(lSecond.Err(), "");

    // With /N a front desk starts regardless: with a data folder and a reader bus of its own, it opens
    // its reader while the first one goes on.
    const std::map<std::string, std::string> lOwn = {{"TARVO_DATA_DIR", m_oWorld.Root() + "/data-n"},
                                                     {"ORV_SIM_BUS", m_oWorld.Root() + "/bus-n"}};
    std::filesystem::create_directories(lOwn.at("ORV_SIM_BUS"));
    WriteFile(lOwn.at("TARVO_DATA_DIR") + "/Tarvo.xml", DataFile("sn=\"1001\" port=\"COM3\"/>"));
    ASSERT_EQ(m_oWorld.Run({"plug", "COM3", "--sn", "1001"}, "orvsim", lOwn).nStatus, 0);
    TProgram lThird(m_oWorld, "Tarvo", {"/N"}, lOwn);
    EXPECT_TRUE(WaitUntil([&] {
        return m_oWorld.Run({"state", "COM3"}, "orvsim", lOwn).sOut.rfind("open", 0) == 0;
    })) << lThird.Err();
    ASSERT_TRUE(lThird.Terminate());
    EXPECT_EQ(lThird.ExitStatus(), 0);

    // The first one still works.
    Present("COM3", "0D");
    EXPECT_TRUE(WaitForText(LogFile(), "[in] Bob, 10"));
    ASSERT_TRUE(lFirst.Terminate());
    EXPECT_EQ(lFirst.ExitStatus(), 0);
}
