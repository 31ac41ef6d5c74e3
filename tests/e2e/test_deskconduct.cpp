// The real programs in a private world: a second start brings the running window to the front and
// ends at once, and a file-size limit makes a write fail (reported) instead of killing the desk.

#include "tests/e2e/E2eSupport.h"

#include "base/uSingleInstance.h"

#include <gtest/gtest.h>

#include <sys/resource.h>

using namespace E2e;

namespace {

std::string DataFile() {
    return DeskDataFile("<Reader sn=\"1001\" port=\"COM3\"/>",
                        "<Item1 number=\"0A0B0C\" name=\"Ann\" level=\"0\"/>\r\n",
                        "<Popup max=\"5\" timeOut=\"2\"/>\r\n");
}

const char* const cShownLine = "Main window shown for a second start";

class DeskConduct : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FileExists(BinPath("Tarvo"))) << BinPath("Tarvo");
        m_oWorld.SetFakeTime("2026-03-02 10:00:00");
        WriteFile(m_oWorld.DataPath("Tarvo.xml"), DataFile());
        ASSERT_EQ(m_oWorld.Orvsim({"plug", "COM3", "--sn", "1001"}).nStatus, 0);
    }
    bool WaitOpen() const {
        return WaitUntil([&] { return m_oWorld.Orvsim({"state", "COM3"}).sOut.rfind("open", 0) == 0; });
    }
    std::string DebugLog() const { return m_oWorld.DataPath("Tarvo.log"); }

    TWorld m_oWorld;
};

// Each second start asks the running program and ends at once with status 0, silently.
TEST_F(DeskConduct, SecondStartBringsTheRunningWindowToTheFront) {
    TProgram lFirst(m_oWorld, "Tarvo");
    ASSERT_TRUE(WaitOpen()) << lFirst.Err();
    EXPECT_EQ(ReadFile(DebugLog()).find(cShownLine), std::string::npos);

    for (int i = 1; i <= 2; ++i) {
        SCOPED_TRACE("second start " + std::to_string(i));
        TProgram lSecond(m_oWorld, "Tarvo");
        ASSERT_TRUE(lSecond.Wait(std::chrono::milliseconds(5000))) << "the second front desk kept running";
        EXPECT_EQ(lSecond.ExitStatus(), 0);
        EXPECT_EQ(lSecond.Err(), "");
        // The first one has shown its window, once per request.
        EXPECT_TRUE(WaitUntil([&] {
            const std::string lLog = ReadFile(DebugLog());
            size_t n = 0;
            for (size_t p = lLog.find(cShownLine); p != std::string::npos; p = lLog.find(cShownLine, p + 1))
                ++n;
            return n == size_t(i);
        })) << ReadFile(DebugLog());
    }
    EXPECT_TRUE(lFirst.Running());
    ASSERT_TRUE(lFirst.Terminate());
    EXPECT_EQ(lFirst.ExitStatus(), 0);
    // The running program's socket goes with it: a later start runs as the only one.
    EXPECT_FALSE(FileExists(m_oWorld.RuntimeDir() + "/tarvo/Tarvo.socket"));
}

// With the configuration program running, a front desk started meanwhile (and a second configuration
// program) ask it to raise its window and end at once; it goes on.
TEST_F(DeskConduct, StartsWhileTheConfigurationProgramRunsAskItAndEnd) {
    ASSERT_TRUE(FileExists(BinPath("ConfigTarvo")));
    TProgram lConfig(m_oWorld, "ConfigTarvo");
    ASSERT_TRUE(WaitForFile(m_oWorld.RuntimeDir() + "/tarvo/ConfigTarvo.socket")) << lConfig.Err();
    for (const char* lProgram : {"Tarvo", "ConfigTarvo"}) {
        SCOPED_TRACE(lProgram);
        TProgram lSecond(m_oWorld, lProgram);
        ASSERT_TRUE(lSecond.Wait(std::chrono::milliseconds(5000)));
        EXPECT_EQ(lSecond.ExitStatus(), 0);
        EXPECT_EQ(lSecond.Err(), "");
    }
    EXPECT_TRUE(lConfig.Running());
    // No front desk ran: it wrote no debug log.
    EXPECT_FALSE(FileExists(DebugLog()));
    // Asked as a second start asks, the configuration program answers that it took the request.
    const char* lOld = std::getenv("XDG_RUNTIME_DIR");
    const std::string lSaved = lOld ? lOld : "";
    setenv("XDG_RUNTIME_DIR", m_oWorld.RuntimeDir().c_str(), 1);
    EXPECT_TRUE(ActivateRunningInstance({QStringLiteral("Tarvo"), QStringLiteral("ConfigTarvo")}));
    if (lOld)
        setenv("XDG_RUNTIME_DIR", lSaved.c_str(), 1);
    else
        unsetenv("XDG_RUNTIME_DIR");
    ASSERT_TRUE(lConfig.Terminate());
}

// Under `ulimit -f` the day's log has reached the limit: the next line cannot be written. The desk
// reports it (the debug log names the failure and the lost line) and goes on running.
TEST_F(DeskConduct, FileSizeLimitFailsTheWriteInsteadOfKillingTheDesk) {
    constexpr rlim_t cLimit = 256 * 1024;
    // Lines before the business day's start: they count for the file's size, not for the day.
    std::string lEarly;
    while (lEarly.size() < cLimit)
        lEarly += "05:00:00 [in] Ann, 0\r\n";
    WriteFile(m_oWorld.DataPath("Logs/L02032026.log"), lEarly);

    rlimit lOld{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &lOld), 0);
    ASSERT_TRUE(lOld.rlim_max == RLIM_INFINITY || lOld.rlim_max >= cLimit);
    rlimit lLimited = lOld;
    lLimited.rlim_cur = cLimit;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &lLimited), 0);
    TProgram lDesk(m_oWorld, "Tarvo"); // inherits the limit
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &lOld), 0);
    ASSERT_TRUE(WaitOpen()) << lDesk.Err();

    ASSERT_EQ(m_oWorld.Orvsim({"present", "COM3", "0A0B0C"}).nStatus, 0);
    EXPECT_TRUE(WaitForText(DebugLog(), "File too large")) << ReadFile(DebugLog());
    EXPECT_TRUE(WaitForText(DebugLog(), "  10:00:00 [in] Ann, 0\r\n")) << ReadFile(DebugLog());
    EXPECT_TRUE(lDesk.Running()) << "the desk died under the file-size limit";
    EXPECT_EQ(ReadFile(m_oWorld.DataPath("Logs/L02032026.log")), lEarly);
    ASSERT_TRUE(lDesk.Terminate());
    EXPECT_EQ(lDesk.ExitStatus(), 0);
}

} // namespace
