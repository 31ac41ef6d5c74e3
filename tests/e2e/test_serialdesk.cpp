// The real front desk with a serial card reader: readers.ini names a pseudo-terminal that socat
// keeps (standing in for /dev/serial/by-id/...), the data file's reader port is the alias, and
// cards arrive as text lines on the other end of socat's pair.

#include "tests/e2e/E2eSupport.h"

#include "orvreader/OrvPort.h"

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdio>
#include <sstream>

using namespace E2e;

namespace {

std::string DataFile(std::int32_t ASn) {
    return DeskDataFile("<Reader sn=\"" + std::to_string(ASn) + "\" port=\"COM21\"/>",
                        "<Item1 number=\"00BC614E\" name=\"Ann\" level=\"0\"/>\r\n"
                        "<Item2 number=\"0000002A\" name=\"Bob\" level=\"0\"/>\r\n");
}

const std::string cDay = "02032026";

class SerialDesk : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(FileExists(BinPath("Tarvo"))) << BinPath("Tarvo");
        if (system("command -v socat >/dev/null 2>&1") != 0)
            GTEST_SKIP() << "socat is not installed";
        m_sDevice = m_oWorld.Root() + "/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0";
        m_sFeed = m_oWorld.Root() + "/feed";
        WriteFile(m_oWorld.Root() + "/config/tarvo/readers.ini",
                  "[COM21]\nkind=serial\ndevice=" + m_sDevice +
                      "\nformat=em4100\nspeed=9600\nframing=lines\n");
        m_oWorld.SetFakeTime("2026-03-02 10:00:00");
    }
    void TearDown() override { StopSocat(); }

    // The reader's "USB cable": a pty pair whose one end is the device, the other where we type.
    // socat ends when the last holder of a slave side closes it, so the test holds both sides open
    // while the cable is plugged.
    void StartSocat() {
        m_nSocat = TProgram::Spawn(
            {"socat", "pty,raw,echo=0,link=" + m_sDevice, "pty,raw,echo=0,link=" + m_sFeed},
            {{"PATH", "/usr/bin:/bin"}}, m_oWorld.Root() + "/socat.out", m_oWorld.Root() + "/socat.err");
        ASSERT_GT(m_nSocat, 0);
        ASSERT_TRUE(WaitUntil([&] { return FileExists(m_sDevice) && FileExists(m_sFeed); }));
        m_hDevice = open(m_sDevice.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        m_hFeed = open(m_sFeed.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(m_hDevice, 0);
        ASSERT_GE(m_hFeed, 0);
    }
    void StopSocat() {
        if (m_nSocat <= 0)
            return;
        kill(m_nSocat, SIGTERM);
        waitpid(m_nSocat, nullptr, 0);
        m_nSocat = -1;
        close(m_hDevice);
        close(m_hFeed);
        m_hDevice = m_hFeed = -1;
        WaitUntil([&] { return !FileExists(m_sDevice); });
    }
    // The reader's serial number as the library reports it on COM21, asked through the library the
    // programs load (as ConfigTarvo does when the owner picks the reader), with the world's folders.
    std::int32_t ReaderSn() {
        void* h = dlopen((BinDir() + "/../lib/libOrvReader.so.3").c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!h)
            return -1;
        auto lInit = reinterpret_cast<int32_t (*)(uint32_t)>(dlsym(h, "OrvR_Initialize"));
        auto lEnd = reinterpret_cast<int32_t (*)()>(dlsym(h, "OrvR_Finalyze"));
        auto lList = reinterpret_cast<int32_t (*)(HORV*, uint32_t*, uint32_t, uint32_t)>(
            dlsym(h, "OrvP_GetPortInfoList"));
        auto lInfo =
            reinterpret_cast<int32_t (*)(HORV, uint32_t, TOrvP_PORT_INFO*)>(dlsym(h, "OrvP_GetPortInfo"));
        auto lClose = reinterpret_cast<int32_t (*)(HORV)>(dlsym(h, "OrvP_CloseHandle"));
        std::map<std::string, std::pair<bool, std::string>> lSaved;
        for (const auto& [k, v] : m_oWorld.Env()) {
            const char* lOld = std::getenv(k.c_str());
            lSaved[k] = {lOld != nullptr, lOld ? lOld : ""};
            setenv(k.c_str(), v.c_str(), 1);
        }
        std::int32_t lSn = -1;
        if (lInit && lEnd && lList && lInfo && lClose && lInit(0) == 0) {
            HORV hList = 0;
            uint32_t n = 0;
            if (lList(&hList, &n, 1, 0) == 0) {
                for (uint32_t i = 0; i < n; ++i) {
                    TOrvP_PORT_INFO p{};
                    if (lInfo(hList, i, &p) == 0 && p.nType == ORVP_PORT_COM && p.nDevCount == 1 &&
                        std::u16string(reinterpret_cast<const char16_t*>(p.szName)) == u"COM21")
                        lSn = p.aDevices[0].nSn;
                }
                lClose(hList);
            }
            lEnd();
        }
        for (const auto& [k, v] : lSaved)
            v.first ? setenv(k.c_str(), v.second.c_str(), 1) : unsetenv(k.c_str());
        dlclose(h);
        return lSn;
    }
    // Another process holds the device's lock (/proc/locks names it by device and inode).
    bool Held() const {
        struct stat st {};
        if (m_hDevice < 0 || fstat(m_hDevice, &st) != 0)
            return false;
        char lId[64];
        std::snprintf(lId, sizeof lId, "%02x:%02x:%lu ", major(st.st_dev), minor(st.st_dev),
                      static_cast<unsigned long>(st.st_ino));
        std::istringstream lLocks(ReadFile("/proc/locks"));
        for (std::string lLine; std::getline(lLocks, lLine);)
            if (lLine.find("FLOCK") != std::string::npos && lLine.find(lId) != std::string::npos)
                return true;
        return false;
    }
    void Type(const std::string& ABytes) {
        ASSERT_EQ(write(m_hFeed, ABytes.data(), ABytes.size()), ssize_t(ABytes.size()));
    }
    std::string LogFile() const { return m_oWorld.DataPath("Logs/L" + cDay + ".log"); }
    std::string ReportFile() const { return m_oWorld.DataPath("Report/R" + cDay + ".log"); }

    TWorld m_oWorld;
    std::string m_sDevice, m_sFeed;
    pid_t m_nSocat = -1;
    int m_hDevice = -1, m_hFeed = -1;
};

} // namespace

TEST_F(SerialDesk, VisitBilledFromTextLinesAndTheReaderBackAfterAnUnplug) {
    StartSocat();
    const std::int32_t lSn = ReaderSn();
    ASSERT_GT(lSn, 0) << "COM21 is not seen by the library";
    WriteFile(m_oWorld.DataPath("Tarvo.xml"), DataFile(lSn));
    TProgram lDesk(m_oWorld, "Tarvo");
    // The first start may take a while (the media framework scans its plug-ins in a new world).
    ASSERT_TRUE(WaitUntil([&] { return Held(); }, std::chrono::seconds(60))) << lDesk.Err();

    // Garbage first: a binary burst, a cut line, letters; then Ann's card in EM4100 decimal.
    Type(std::string("\x00\xFF\x13 noise\r\n00123A5678\r\n", 23));
    Type("0012345678\r\n");
    ASSERT_TRUE(WaitForText(LogFile(), "10:00:00 [in] Ann, 0")) << lDesk.Err();

    // The reader is unplugged (socat ends, its link goes) and plugged back: the desk opens it again.
    StopSocat();
    ASSERT_TRUE(WaitUntil([&] { return lDesk.Err().find("COM21: the device is gone") != std::string::npos; }))
        << lDesk.Err();
    StartSocat();
    ASSERT_TRUE(WaitUntil([&] { return Held(); })) << lDesk.Err();

    m_oWorld.SetFakeTime("2026-03-02 10:30:00");
    Type("0012345678\r\n"); // Ann out: 30 minutes at 2
    ASSERT_TRUE(WaitForText(ReportFile(), "   0 Ann 10:00:00-10:30:00 60")) << lDesk.Err();
    EXPECT_EQ(ReadLines(LogFile()),
              (std::vector<std::string>{"10:00:00 [in] Ann, 0", "10:30:00 [out] Ann, 60"}))
        << "nothing of the garbage was billed";

    ASSERT_TRUE(lDesk.Terminate());
    EXPECT_EQ(lDesk.ExitStatus(), 0) << lDesk.Err();
    EXPECT_FALSE(Held()) << "the port is free again";
}
