// The serial backend on pseudo-terminal pairs: cards from text frames, garbage billed as nothing,
// the port held exclusively, a device that vanishes mid-frame reported and taken again on return;
// and the backend behind the C API from readers.ini.

#include "orvreader/OrvReader.h"
#include "orvreader/src/serial/uOrvSerialBackend.h"
#include "orvreader/src/uOrvBus.h"
#include "orvreader/src/uOrvCardNumber.h"
#include "tests/orvreader/OrvPtySupport.h"
#include "tests/orvreader/OrvTestSupport.h"

#include <gtest/gtest.h>

#include <sys/file.h>

#include <fstream>

using namespace Orv;
using namespace OrvTest;

namespace {

constexpr std::chrono::milliseconds cQuiet{300}; // how long "no card came" is watched

TReaderConf Serial(const std::string& AAlias, const std::string& ADevice, TFraming AFraming,
                   TNumFormat AFormat) {
    TReaderConf c;
    c.sAlias = AAlias;
    c.nKind = TReaderKind::Serial;
    c.sDevice = ADevice;
    c.nFraming = AFraming;
    c.nFormat = AFormat;
    c.nSpeed = 9600;
    return c;
}

class SerialReader : public ::testing::Test {
protected:
    void SetUp() override {
        m_sLink = m_oEnv.Root() + "/usb-Reader_A1B2C3-if00-port0";
        m_pPty = std::make_unique<TPty>(m_sLink);
        ASSERT_TRUE(m_pPty->Valid());
    }
    void TearDown() override {
        m_pReader.reset();
        if (m_pBackend)
            m_pBackend->Stop();
    }

    void StartBackend(TFraming AFraming, TNumFormat AFormat) {
        TReadersConf c;
        c.aReaders.push_back(Serial("COM21", m_sLink, AFraming, AFormat));
        c.aReaders.push_back(Serial("COM22", m_oEnv.Root() + "/absent", TFraming::Lines, TNumFormat::Hex));
        m_pBackend = MakeSerialBackend(c);
        ASSERT_EQ(m_pBackend->Start(), ORV_OK);
    }

    std::int32_t Open(const std::u16string& AName = u"COM21", std::uint32_t APortType = ORVP_PORT_COM) {
        TOpenRequest r;
        r.nPortType = APortType;
        r.sPortName = AName;
        return m_pBackend->Open(r, m_oSink.Wake(), m_pReader);
    }

    // The next card, as its key in hex; "" when none comes.
    std::string NextCard(std::chrono::milliseconds APatience = Patience) {
        TReaderEvent e;
        if (!m_oSink.Next(*m_pReader, e, APatience))
            return "";
        EXPECT_EQ(e.nKind, ORVR_MK_CARD_INSERT);
        TKeyNum k;
        std::copy(std::begin(e.rCard.nNum), std::end(e.rCard.nNum), k.begin());
        TReaderEvent lRemove;
        EXPECT_TRUE(m_oSink.Next(*m_pReader, lRemove));
        EXPECT_EQ(lRemove.nKind, ORVR_MK_CARD_REMOVE);
        return KeyNumHex(k);
    }

    TBusEnv m_oEnv;
    std::string m_sLink;
    std::unique_ptr<TPty> m_pPty;
    std::unique_ptr<TBackend> m_pBackend;
    std::unique_ptr<TBackendReader> m_pReader;
    TEventSink m_oSink;
};

TEST_F(SerialReader, OnlyConfiguredPresentPortsAppearAsSerialPorts) {
    StartBackend(TFraming::Lines, TNumFormat::Em4100);
    std::vector<TPortDesc> lPorts;
    ASSERT_EQ(m_pBackend->EnumPorts(lPorts), ORV_OK);
    ASSERT_EQ(lPorts.size(), 1u) << "COM22's device is absent";
    EXPECT_EQ(lPorts[0].sName, u"COM21");
    EXPECT_EQ(lPorts[0].nPortType, ORVP_PORT_COM);
    EXPECT_EQ(lPorts[0].nRdType, ORVR_RD_SERIAL_TEXT);
    EXPECT_GT(lPorts[0].nSn, 0);
    EXPECT_FALSE(lPorts[0].fBusy);
    const std::string lTty = m_pPty->Slave().substr(5); // "pts/N"
    EXPECT_EQ(lPorts[0].sFriendly, std::u16string(lTty.begin(), lTty.end()));

    EXPECT_EQ(Open(u"COM22"), ORV_E_PORT_NOT_FOUND);
    EXPECT_EQ(Open(u"COM23"), ORV_E_PORT_NOT_FOUND);
    EXPECT_EQ(Open(u"COM21", ORVP_PORT_FT), ORV_E_PORT_NOT_FOUND);
    TOpenRequest lWrong;
    lWrong.nPortType = ORVP_PORT_COM;
    lWrong.sPortName = u"COM21";
    lWrong.nRdType = ORVR_RD_KORVEL;
    EXPECT_EQ(m_pBackend->Open(lWrong, m_oSink.Wake(), m_pReader), ORV_E_WRONG_READER);
    ASSERT_EQ(Open(u"com21", ORVP_PORT_UNDEF), ORV_OK);
    EXPECT_EQ(m_pReader->Describe().sName, u"COM21");
    lPorts.clear();
    m_pBackend->EnumPorts(lPorts);
    ASSERT_EQ(lPorts.size(), 1u);
    EXPECT_TRUE(lPorts[0].fBusy);

    // Without any serial reader configured nothing is listed or opened.
    auto lEmpty = MakeSerialBackend(TReadersConf{});
    ASSERT_EQ(lEmpty->Start(), ORV_OK);
    lPorts.clear();
    lEmpty->EnumPorts(lPorts);
    EXPECT_TRUE(lPorts.empty());
    std::unique_ptr<TBackendReader> lNone;
    TOpenRequest r;
    r.sPortName = u"COM21";
    EXPECT_EQ(lEmpty->Open(r, nullptr, lNone), ORV_E_PORT_NOT_FOUND);
    lEmpty->Stop();
}

TEST_F(SerialReader, CardsFromFramesOfEachFraming) {
    struct {
        TFraming nFraming;
        TNumFormat nFormat;
        std::string sBytes;
        const char* pKey;
    } const cCases[] = {
        {TFraming::Lines, TNumFormat::Em4100, "0012345678\r\n", "00BC614E"},
        {TFraming::Lines, TNumFormat::Hex, "04:A2:B3:C4\n", "04A2B3C4"},
        {TFraming::StxEtx, TNumFormat::Facility35,
         "\x02"
         "188,24910\x03",
         "BC614E"},
        {TFraming::StxEtxXor, TNumFormat::Hex,
         "\x02"
         "0100BC614E92\x03",
         "0100BC614E"},
    };
    for (const auto& c : cCases) {
        StartBackend(c.nFraming, c.nFormat);
        ASSERT_EQ(Open(), ORV_OK);
        ASSERT_TRUE(m_pPty->Send(c.sBytes));
        EXPECT_EQ(NextCard(), c.pKey) << FramingName(c.nFraming);
        m_pReader.reset();
        m_pBackend->Stop();
    }
    m_pBackend.reset();
}

TEST_F(SerialReader, GarbageBillsNothingAndTheNextGoodFrameStillCounts) {
    StartBackend(TFraming::StxEtxXor, TNumFormat::Hex);
    ASSERT_EQ(Open(), ORV_OK);
    std::string lGarbage = std::string("\x00\xFF\x80 binary \x01", 13);
    lGarbage += "\x02" + std::string(500, 'A') + "\x03"; // an endless frame
    lGarbage += "\x02"
                "0100BC614E93\x03"; // wrong checksum
    lGarbage += "\x02"
                "0100BC614Z92\x03"; // not hex
    lGarbage += "\x02"
                "00\x03";                                 // a sum without data
    lGarbage += "\x02" + std::string(20, '0') + "00\x03"; // a number of zeros
    lGarbage += "\x02"
                "0100BC"; // cut by the next frame
    ASSERT_TRUE(m_pPty->Send(lGarbage));
    // A good frame: the XOR of its bytes in two hex digits before ETX.
    std::uint8_t x = 0;
    for (std::uint8_t b : {0x04, 0xA2, 0xB3, 0xC4, 0xD5, 0xE6, 0xF7})
        x ^= b;
    char lSum[3];
    std::snprintf(lSum, sizeof lSum, "%02X", unsigned(x));
    ASSERT_TRUE(m_pPty->Send("\x02" + std::string("04A2B3C4D5E6F7") + lSum + "\x03"));
    // The first card to come is the good one: nothing of the garbage became a number.
    EXPECT_EQ(NextCard(), "04A2B3C4D5E6F7");
    EXPECT_EQ(NextCard(cQuiet), "");

    // Endless lines in line framing, letters where digits belong.
    m_pReader.reset();
    m_pBackend->Stop();
    StartBackend(TFraming::Lines, TNumFormat::Em4100);
    ASSERT_EQ(Open(), ORV_OK);
    ASSERT_TRUE(m_pPty->Send(std::string(100000, '1') + "\r\n" + "00123A5678\r\n" + "4294967296\r\n"));
    ASSERT_TRUE(m_pPty->Send("0000000042\r\n"));
    EXPECT_EQ(NextCard(), "0000002A");
    EXPECT_EQ(NextCard(cQuiet), "");
}

TEST_F(SerialReader, PortHeldExclusively) {
    StartBackend(TFraming::Lines, TNumFormat::Em4100);
    // Another program holding the device's lock.
    TFd lOther(open(m_pPty->Slave().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    ASSERT_TRUE(lOther.Valid());
    ASSERT_EQ(flock(lOther.Get(), LOCK_EX | LOCK_NB), 0);
    EXPECT_EQ(Open(), ORV_E_PORT_BUSY);
    lOther.Reset();
    ASSERT_EQ(Open(), ORV_OK);
    // A second open of this library, and another program's lock, are refused while it is held.
    std::unique_ptr<TBackendReader> lSecond;
    TOpenRequest r;
    r.nPortType = ORVP_PORT_COM;
    r.sPortName = u"COM21";
    EXPECT_EQ(m_pBackend->Open(r, nullptr, lSecond), ORV_E_PORT_BUSY);
    TFd lLater(open(m_pPty->Slave().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    ASSERT_TRUE(lLater.Valid());
    EXPECT_NE(flock(lLater.Get(), LOCK_EX | LOCK_NB), 0);
}

TEST_F(SerialReader, DeviceGoneMidFrameIsReportedAndTakenAgainOnReturn) {
    StartBackend(TFraming::Lines, TNumFormat::Em4100);
    std::unique_ptr<TBackendDetector> lDetector;
    TEventSink lDetSink;
    ASSERT_EQ(m_pBackend->Watch(lDetSink.Wake(), lDetector), ORV_OK);
    ASSERT_TRUE(lDetector);
    ASSERT_EQ(Open(), ORV_OK);
    EXPECT_EQ(m_pReader->ConnectionStatus(), ORVP_CS_CONNECTED);
    ASSERT_TRUE(m_pPty->Send("00123"));
    m_pPty->Unplug();

    TReaderEvent e;
    ASSERT_TRUE(m_oSink.Next(*m_pReader, e));
    EXPECT_EQ(e.nKind, ORVR_MK_ERROR) << "no card from the half frame";
    EXPECT_EQ(e.nCode, ORV_E_DISCONNECTED);
    ASSERT_TRUE(m_oSink.Next(*m_pReader, e));
    EXPECT_EQ(e.nKind, ORVR_MK_CONNECTION);
    EXPECT_EQ(m_pReader->ConnectionStatus(), ORVP_CS_DISCONNECTED);
    EXPECT_EQ(m_pReader->SetIndicator(0, 0, 0), ORV_E_DISCONNECTED);

    // The scan (udev's event on a real computer) tells the detectors.
    m_pBackend->Refresh();
    TPortEvent p;
    ASSERT_EQ(lDetector->NextEvent(p), ORV_OK);
    EXPECT_EQ(p.nKind, ORVP_DDK_PORT_REMOVED);
    EXPECT_EQ(p.rPort.sName, u"COM21");

    // Back: the port arrives, and it opens again while the dead session is still held.
    m_pPty.reset();
    m_pPty = std::make_unique<TPty>(m_sLink);
    ASSERT_TRUE(m_pPty->Valid());
    m_pBackend->Refresh();
    ASSERT_EQ(lDetector->NextEvent(p), ORV_OK);
    EXPECT_EQ(p.nKind, ORVP_DDK_PORT_ARRIVED);
    EXPECT_EQ(p.rPort.sName, u"COM21");
    EXPECT_EQ(p.rPort.nPortType, ORVP_PORT_COM);
    EXPECT_EQ(lDetector->NextEvent(p), ORV_S_NO_MORE);
    auto lDead = std::move(m_pReader);
    ASSERT_EQ(Open(), ORV_OK);
    ASSERT_TRUE(m_pPty->Send("0012345678\r\n"));
    EXPECT_EQ(NextCard(), "00BC614E");
}

TEST_F(SerialReader, DeviceWhoseLinkVanishesIsReportedByTheScan) {
    // A device whose node goes while the port stays readable (the by-id link removed by udev):
    // the scan alone tells the open reader.
    StartBackend(TFraming::Lines, TNumFormat::Em4100);
    ASSERT_EQ(Open(), ORV_OK);
    std::filesystem::remove(m_sLink);
    m_pBackend->Refresh();
    TReaderEvent e;
    ASSERT_TRUE(m_oSink.Next(*m_pReader, e));
    EXPECT_EQ(e.nKind, ORVR_MK_ERROR);
    EXPECT_EQ(m_pReader->ConnectionStatus(), ORVP_CS_DISCONNECTED);
}

// Through the C API: readers.ini in the configuration folder makes the port and its reader.
TEST_F(SerialReader, ConfiguredReaderSeenThroughTheLibrary) {
    const std::string lConfig = m_oEnv.Root() + "/config";
    std::filesystem::create_directories(lConfig + "/tarvo");
    std::ofstream(lConfig + "/tarvo/readers.ini")
        << "[COM21]\nkind=serial\ndevice=" << m_sLink << "\nformat=em4100\nspeed=9600\n";
    const char* lOld = std::getenv("XDG_CONFIG_HOME");
    std::string lSaved = lOld ? lOld : "";
    setenv("XDG_CONFIG_HOME", lConfig.c_str(), 1);
    ASSERT_EQ(OrvR_Initialize(ORV_INIT_GLOBAL), ORV_OK);
    lOld ? setenv("XDG_CONFIG_HOME", lSaved.c_str(), 1) : unsetenv("XDG_CONFIG_HOME");

    HORV hList = 0;
    std::uint32_t nCount = 0;
    ASSERT_EQ(OrvP_GetPortInfoList(&hList, &nCount, ORVP_DEVMASK_READERS, 0), ORV_OK);
    bool lFound = false;
    for (std::uint32_t i = 0; i < nCount; ++i) {
        TOrvP_PORT_INFO lInfo{};
        ASSERT_EQ(OrvP_GetPortInfo(hList, i, &lInfo), ORV_OK);
        if (lInfo.nType == ORVP_PORT_COM &&
            std::u16string(reinterpret_cast<char16_t*>(lInfo.szName)) == u"COM21") {
            lFound = true;
            ASSERT_EQ(lInfo.nDevCount, 1u);
            EXPECT_EQ(lInfo.aDevices[0].nModel, ORVR_RD_SERIAL_TEXT);
        }
    }
    EXPECT_TRUE(lFound);
    OrvP_CloseHandle(hList);

    const std::u16string lName = u"COM21";
    std::vector<TOrv_CHAR> lName16(lName.begin(), lName.end());
    lName16.push_back(0);
    TOrvR_RD_OPEN_PARAMS lParams{};
    lParams.nPortType = ORVP_PORT_COM;
    lParams.pszPortName = lName16.data();
    HORV hRd = 0;
    TOrvR_RD_INFO lInfo{};
    lInfo.rBase.cbSize = sizeof lInfo;
    ASSERT_EQ(OrvR_Rd_Open(&hRd, &lParams, &lInfo), ORV_OK);
    EXPECT_EQ(lInfo.nType, ORVR_RD_SERIAL_TEXT);
    TCountingWindow lWindow;
    TOrvR_NOTIFY_SETTINGS lNotify{};
    lNotify.nEventMask = ORVR_NF_CARDS | ORVR_NF_ERROR | ORVR_NF_CONNECTION;
    lNotify.pWindow = lWindow.Target();
    lNotify.nMessage = 0x8123;
    ASSERT_EQ(OrvR_Rd_SetNotification(hRd, &lNotify), ORV_OK);
    ASSERT_TRUE(m_pPty->Send("0012345678\r\n"));
    std::uint32_t nKind = 0;
    intptr_t nParam = 0;
    // Setting the target posted once already; the card posts again.
    for (int n = 1; OrvR_Rd_GetNextMessage(hRd, &nKind, &nParam) != ORV_OK; ++n)
        ASSERT_TRUE(lWindow.WaitFor(n + 1));
    ASSERT_EQ(nKind, ORVR_MK_CARD_INSERT);
    const auto* lCard = reinterpret_cast<const TOrvR_CARD_INFO*>(nParam);
    EXPECT_EQ(lCard->nNum[0], 4);
    EXPECT_EQ(lCard->nNum[1], 0x4E);
    EXPECT_EQ(lCard->nType, ORVR_CD_EM_MARINE);
    EXPECT_EQ(OrvP_CloseHandle(hRd), ORV_OK);
    EXPECT_EQ(OrvR_Finalyze(), ORV_OK);
}

} // namespace

namespace {

TEST_F(SerialReader, ReplugFasterThanTheScanIsStillSeenAsRemovalAndArrival) {
    StartBackend(TFraming::Lines, TNumFormat::Em4100);
    std::unique_ptr<TBackendDetector> lDetector;
    ASSERT_EQ(m_pBackend->Watch(nullptr, lDetector), ORV_OK);
    ASSERT_EQ(Open(), ORV_OK);
    // Out and back in before any scan ran: only the hang-up tells.
    m_pPty.reset();
    m_pPty = std::make_unique<TPty>(m_sLink);
    TReaderEvent e;
    ASSERT_TRUE(m_oSink.Next(*m_pReader, e));
    EXPECT_EQ(e.nKind, ORVR_MK_ERROR);
    m_pBackend->Refresh();
    TPortEvent p;
    ASSERT_EQ(lDetector->NextEvent(p), ORV_OK);
    EXPECT_EQ(p.nKind, ORVP_DDK_PORT_REMOVED);
    ASSERT_EQ(lDetector->NextEvent(p), ORV_OK);
    EXPECT_EQ(p.nKind, ORVP_DDK_PORT_ARRIVED) << "the front desk reopens on this";
    m_pReader.reset();
    ASSERT_EQ(Open(), ORV_OK);
    ASSERT_TRUE(m_pPty->Send("0012345678\r\n"));
    EXPECT_EQ(NextCard(), "00BC614E");
}

} // namespace
