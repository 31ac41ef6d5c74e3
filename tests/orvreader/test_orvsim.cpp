// orvsim as a separate process: its commands, its answers and its refusals.

#include "tests/orvreader/OrvTestSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

using namespace OrvTest;

namespace {

// Every path under the bus with the content of its files.
std::map<std::string, std::string> Snapshot(const std::string& ABus) {
    std::map<std::string, std::string> lFiles;
    for (auto& e : std::filesystem::recursive_directory_iterator(ABus)) {
        std::string lContent;
        if (e.is_regular_file()) {
            std::ifstream f(e.path());
            std::stringstream s;
            s << f.rdbuf();
            lContent = s.str();
        }
        lFiles[e.path().string()] = lContent;
    }
    return lFiles;
}

} // namespace

TEST(Orvsim, BadInputIsRefusedWithOneLineAndStatusTwo) {
    TBusEnv lEnv;
    ASSERT_EQ(Orvsim({"plug", "COM3", "--model", "7"}).nStatus, 0);
    const auto lBefore = Snapshot(lEnv.Bus());
    const std::vector<std::vector<std::string>> lCases = {
        {},
        {"frobnicate"},
        {"plug"},
        {"plug", ""},
        {"plug", std::string(32, 'A')},
        {"plug", "a b"},
        {"plug", "COM4", "--bad"},
        {"plug", "COM4", "--sn"},
        {"plug", "COM4", "--sn", "12x"},
        {"plug", "COM4", "--sn=-5"},
        {"plug", "COM4", "--model", "10"},
        {"plug", "COM4", "--friendly", "COM5"},
        {"plug", "FT2", "--friendly", "USB1"},
        {"plug", "COM4", "COM5"},
        {"present", "COM3", "XYZ"},
        {"present", "COM3", "0x12"},
        {"present", "COM3", std::string(31, '1')},
        {"present", "COM3", ""},
        {"present", "COM3", "01", "--card-type", "22"},
        {"present", "", "01"},
        {"unplug", "COM3", "extra"},
        {"state"},
        {"events", std::string(40, 'x')},
        {"list", "--all"},
    };
    for (const auto& c : lCases) {
        std::string lCmd;
        for (const auto& a : c)
            lCmd += "[" + a + "]";
        TRunResult r = Orvsim(c);
        EXPECT_EQ(r.nStatus, 2) << lCmd;
        EXPECT_TRUE(r.sOut.empty()) << lCmd;
        EXPECT_EQ(r.sErr.rfind("orvsim: ", 0), 0u) << lCmd << ": " << r.sErr;
        EXPECT_EQ(std::count(r.sErr.begin(), r.sErr.end(), '\n'), 1) << lCmd << ": " << r.sErr;
    }
    EXPECT_EQ(Snapshot(lEnv.Bus()), lBefore) << "refused commands leave the bus as it was";
}

TEST(Orvsim, ARepeatedOptionIsAUsageError) {
    TBusEnv lEnv;
    ASSERT_EQ(Orvsim({"plug", "COM3"}).nStatus, 0);
    const auto lBefore = Snapshot(lEnv.Bus());
    const std::vector<std::vector<std::string>> lCases = {
        {"plug", "COM4", "--sn", "1", "--sn", "2"},
        {"plug", "COM4", "--sn=1", "--sn", "1"},
        {"plug", "COM4", "--model", "7", "--sn", "5", "--model=1"},
        {"plug", "FT4", "--friendly", "COM8", "--friendly", "COM9"},
        {"present", "COM3", "0A0B", "--card-type", "1", "--card-type=2"},
    };
    for (const auto& c : lCases) {
        std::string lCmd;
        for (const auto& a : c)
            lCmd += "[" + a + "]";
        TRunResult r = Orvsim(c);
        EXPECT_EQ(r.nStatus, 2) << lCmd;
        EXPECT_NE(r.sErr.find("given more than once"), std::string::npos) << lCmd << ": " << r.sErr;
        EXPECT_EQ(std::count(r.sErr.begin(), r.sErr.end(), '\n'), 1) << lCmd << ": " << r.sErr;
    }
    EXPECT_EQ(Snapshot(lEnv.Bus()), lBefore) << "refused commands leave the bus as it was";
}

TEST(Orvsim, PlugCreatesTheBusFolderAsTheProgramsDo) {
    TBusEnv lEnv;
    const std::string lBus = lEnv.Root() + "/not/yet/bus";
    setenv("ORV_SIM_BUS", lBus.c_str(), 1);
    TRunResult r = Orvsim({"plug", "COM4", "--sn", "44"});
    EXPECT_EQ(r.nStatus, 0) << r.sErr;
    EXPECT_TRUE(std::filesystem::is_directory(lBus));
    r = Orvsim({"list"});
    EXPECT_EQ(r.sOut, "COM4 serial model=1 sn=44 version=1.4.0 closed\n") << r.sErr;
    // The folder named is a file: that is no bus.
    const std::string lFile = lEnv.Root() + "/plain-file";
    std::ofstream(lFile) << "x";
    setenv("ORV_SIM_BUS", lFile.c_str(), 1);
    r = Orvsim({"plug", "COM4"});
    EXPECT_EQ(r.nStatus, 1);
    EXPECT_EQ(r.sErr.rfind("orvsim: ", 0), 0u) << r.sErr;
}

TEST(Orvsim, ASerialPortNumberIsOnePortHoweverItIsWritten) {
    TBusEnv lEnv;
    ASSERT_EQ(Orvsim({"plug", "COM3", "--sn", "1"}).nStatus, 0);
    struct TCase {
        std::vector<std::string> aArgs;
        int nStatus;
        std::string sOut;
    };
    const TCase lCases[] = {
        {{"plug", "COM03"}, 1, ""}, // COM3 is plugged
        {{"plug", "com+3"}, 1, ""},
        {{"plug", "FT1", "--friendly", "COM003"}, 1, ""},
        {{"state", "COM03"}, 0, "closed green=off red=off beep=off power=off format=\"\"\n"},
        {{"plug", "COM007", "--sn", "7"}, 0, ""},
        {{"plug", "FT2", "--friendly", "com012", "--sn", "12"}, 0, ""},
        {{"list"},
         0,
         "COM3 serial model=1 sn=1 version=1.4.0 closed\nCOM7 serial model=1 sn=7 version=1.4.0 closed\n"
         "FT2 usb friendly=COM12 model=1 sn=12 version=1.4.0 closed\n"},
        {{"unplug", "COM07"}, 0, ""},
        {{"unplug", "COM12"}, 0, ""},
        {{"unplug", "COM0003"}, 0, ""},
        {{"list"}, 0, ""},
    };
    for (const TCase& c : lCases) {
        TRunResult r = Orvsim(c.aArgs);
        EXPECT_EQ(r.nStatus, c.nStatus) << c.aArgs[0] << " " << c.aArgs[1 % c.aArgs.size()] << ": " << r.sErr;
        EXPECT_EQ(r.sOut, c.sOut) << c.aArgs[0] << " " << c.aArgs[1 % c.aArgs.size()];
    }
}

TEST(Orvsim, PlugListStateUnplug) {
    TBusEnv lEnv;
    EXPECT_EQ(Orvsim({"plug", "COM3", "--model", "7", "--sn", "1234"}).nStatus, 0);
    EXPECT_EQ(Orvsim({"plug", "FT1", "--friendly=com5", "--sn", "77"}).nStatus, 0);
    EXPECT_EQ(Orvsim({"plug", "com10", "--model", "0", "--sn", "5"}).nStatus, 0);
    TRunResult lList = Orvsim({"list"});
    EXPECT_EQ(lList.nStatus, 0);
    EXPECT_EQ(lList.sOut, "COM10 serial model=0 sn=5 version=0.0.0 closed\n"
                          "COM3 serial model=7 sn=1234 version=1.4.0 closed\n"
                          "FT1 usb friendly=COM5 model=1 sn=77 version=1.4.0 closed\n");

    struct TCase {
        std::vector<std::string> aArgs;
        int nStatus;
        std::string sOut;
    };
    const TCase lCases[] = {
        {{"plug", "COM3"}, 1, ""}, // already plugged
        {{"plug", "COM5"}, 1, ""}, // the USB reader answers to COM5
        {{"plug", "FT9", "--friendly", "COM3"}, 1, ""},
        {{"state", "COM3"}, 0, "closed green=off red=off beep=off power=off format=\"\"\n"},
        {{"state", "com5"}, 0, "closed green=off red=off beep=off power=off format=\"\"\n"},
        {{"events", "COM3"}, 0, ""},
        {{"present", "COM3", "0A0B"}, 1, ""}, // nobody holds the port
        {{"present", "COM9", "0A0B"}, 1, ""},
        {{"state", "COM9"}, 1, ""},
        {{"unplug", "COM5"}, 0, ""}, // by its serial-port name
        {{"unplug", "FT1"}, 1, ""},
        {{"list"},
         0,
         "COM10 serial model=0 sn=5 version=0.0.0 closed\nCOM3 serial model=7 sn=1234 version=1.4.0 "
         "closed\n"},
    };
    for (const TCase& c : lCases) {
        TRunResult r = Orvsim(c.aArgs);
        EXPECT_EQ(r.nStatus, c.nStatus)
            << c.aArgs[0] << " " << (c.aArgs.size() > 1 ? c.aArgs[1] : "") << r.sErr;
        EXPECT_EQ(r.sOut, c.sOut) << c.aArgs[0];
        if (c.nStatus != 0) {
            EXPECT_EQ(r.sErr.rfind("orvsim: ", 0), 0u);
            EXPECT_EQ(std::count(r.sErr.begin(), r.sErr.end(), '\n'), 1) << r.sErr;
        }
    }
    EXPECT_NE(Orvsim({"present", "COM3", "01"}).sErr.find("no session holds port COM3"), std::string::npos);
    EXPECT_EQ(Orvsim({"--help"}).nStatus, 0);
}
