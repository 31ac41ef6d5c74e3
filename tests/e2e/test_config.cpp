// The configuration program started for real, offscreen, in a private world: one instance of either
// program at a time, and the switch /N that the hand-over between the two uses.

#include "E2eSupport.h"

#include "base/uSingleInstance.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace E2e;

namespace {

class ConfigProgram : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FileExists(BinPath("ConfigTarvo"))) << BinPath("ConfigTarvo");
        ASSERT_TRUE(FileExists(BinPath("Tarvo"))) << BinPath("Tarvo");
        // The test looks for the programs' windows in the world's runtime folder.
        const char* lOld = std::getenv("XDG_RUNTIME_DIR");
        m_sOldRuntime = lOld ? lOld : "";
        m_fHadRuntime = lOld != nullptr;
        setenv("XDG_RUNTIME_DIR", m_oWorld.RuntimeDir().c_str(), 1);
        WriteFile(
            m_oWorld.DataPath("Tarvo.xml"),
            "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n<Tarvo version=\"1.2\">\r\n"
            "<Reader sn=\"1001\" port=\"COM3\"/>\r\n"
            "<Cards>\r\n<Item1 number=\"0A0B0C\" name=\"Ann\" level=\"0\"/>\r\n</Cards>\r\n</Tarvo>\r\n");
    }
    void TearDown() override {
        if (m_fHadRuntime)
            setenv("XDG_RUNTIME_DIR", m_sOldRuntime.c_str(), 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
    }
    static bool WindowShown(const char* AClass) {
        return WaitUntil([AClass] { return MainWindowExists(QString::fromLatin1(AClass)); });
    }

    TWorld m_oWorld;
    std::string m_sOldRuntime;
    bool m_fHadRuntime = false;
};

TEST_F(ConfigProgram, OneInstanceOfEitherProgram) {
    TProgram lConfig(m_oWorld, "ConfigTarvo");
    ASSERT_TRUE(WindowShown(ConfigTarvoWindowClass)) << lConfig.Err();

    // A second configuration program and a front desk both end at once, quietly.
    for (const char* lProgram : {"ConfigTarvo", "Tarvo"}) {
        const TRunResult r = m_oWorld.Run({}, lProgram);
        EXPECT_EQ(r.nStatus, 0) << lProgram << ": " << r.sErr;
    }
    EXPECT_TRUE(lConfig.Running());
    // The file was only read.
    EXPECT_NE(ReadFile(m_oWorld.DataPath("Tarvo.xml")).find("<Reader sn=\"1001\" port=\"COM3\"/>"),
              std::string::npos);
    EXPECT_TRUE(lConfig.Terminate());
}

TEST_F(ConfigProgram, SwitchNStartsBesideTheFrontDesk) {
    TProgram lDesk(m_oWorld, "Tarvo");
    ASSERT_TRUE(WindowShown(TarvoWindowClass)) << lDesk.Err();

    // Without /N the configuration program gives way to the front desk ...
    const TRunResult r = m_oWorld.Run({}, "ConfigTarvo");
    EXPECT_EQ(r.nStatus, 0) << r.sErr;
    EXPECT_FALSE(MainWindowExists(QString::fromLatin1(ConfigTarvoWindowClass)));

    // ... with /N, as the front desk's hand-over starts it, it runs.
    TProgram lConfig(m_oWorld, "ConfigTarvo", {"/N"});
    EXPECT_TRUE(WindowShown(ConfigTarvoWindowClass)) << lConfig.Err();
    EXPECT_TRUE(lConfig.Running());
    EXPECT_TRUE(lConfig.Terminate());
    EXPECT_TRUE(lDesk.Terminate());
}

} // namespace
