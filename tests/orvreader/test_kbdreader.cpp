// Keyboard-style readers: recorded input-event streams through the decoder, through a reader's read
// loop on a pipe, and through the backend on a stand-in input folder; a virtual keyboard on
// /dev/uinput where the computer has one.

#include "orvreader/src/kbd/uOrvKbdBackend.h"
#include "orvreader/src/kbd/uOrvKeyDecoder.h"
#include "orvreader/src/uOrvCardNumber.h"
#include "tests/orvreader/OrvPtySupport.h"
#include "tests/orvreader/OrvTestSupport.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/uinput.h>
#include <sys/ioctl.h>
#include <sys/stat.h>

#include <cstring>
#include <fstream>

using namespace Orv;
using namespace OrvTest;

namespace {

// A recorded stream: key presses and releases as a reader sends them, 4 ms apart, with SYN reports.
class TStream {
public:
    TStream& Key(unsigned ACode, int AValue) {
        Add(EV_MSC, MSC_SCAN, int(ACode));
        Add(EV_KEY, ACode, AValue);
        Add(EV_SYN, SYN_REPORT, 0);
        m_nUs += 4000;
        return *this;
    }
    TStream& Tap(unsigned ACode) { return Key(ACode, 1).Key(ACode, 0); }
    TStream& Shifted(unsigned ACode) { return Key(KEY_LEFTSHIFT, 1).Tap(ACode).Key(KEY_LEFTSHIFT, 0); }
    TStream& Text(const std::string& ADigits) {
        for (char c : ADigits)
            Tap(c == '0' ? KEY_0 : KEY_1 + unsigned(c - '1'));
        return *this;
    }
    TStream& Enter() { return Tap(KEY_ENTER); }
    TStream& Pause(std::uint64_t AMs) {
        m_nUs += AMs * 1000;
        return *this;
    }
    const std::vector<input_event>& Events() const { return m_aEvents; }

private:
    void Add(unsigned AType, unsigned ACode, int AValue) {
        input_event e{};
        e.input_event_sec = time_t(m_nUs / 1000000);
        e.input_event_usec = suseconds_t(m_nUs % 1000000);
        e.type = std::uint16_t(AType);
        e.code = std::uint16_t(ACode);
        e.value = AValue;
        m_aEvents.push_back(e);
    }
    std::uint64_t m_nUs = 1700000000ull * 1000000;
    std::vector<input_event> m_aEvents;
};

std::vector<std::string> Decode(const TStream& AStream, std::uint64_t* VRejected = nullptr) {
    TKeyDecoder d(50);
    std::vector<std::string> lTexts;
    for (const input_event& e : AStream.Events()) {
        std::string t;
        if (d.Feed(e, t))
            lTexts.push_back(t);
    }
    if (VRejected)
        *VRejected = d.Rejected();
    return lTexts;
}

TEST(KeyDecoder, RecordedStreams) {
    struct TCase {
        const char* pName;
        TStream oStream;
        std::vector<std::string> aTexts;
        std::uint64_t nRejected;
    };
    TCase cCases[] = {
        {"digits and Enter", TStream().Text("0012345678").Enter(), {"0012345678"}, 0},
        {"keypad digits and keypad Enter",
         TStream().Tap(KEY_KP0).Tap(KEY_KP4).Tap(KEY_KP2).Tap(KEY_KP9).Tap(KEY_KPENTER),
         {"0429"},
         0},
        {"shifted digits of an AZERTY set-up",
         TStream().Shifted(KEY_1).Shifted(KEY_2).Shifted(KEY_0).Enter(),
         {"120"},
         0},
        {"hex letters, shifted or not",
         TStream().Tap(KEY_0).Tap(KEY_4).Shifted(KEY_A).Tap(KEY_B).Shifted(KEY_C).Tap(KEY_F).Enter(),
         {"04AbCf"},
         0},
        {"3+5 with a comma", TStream().Text("188").Tap(KEY_COMMA).Text("24910").Enter(), {"188,24910"}, 0},
        {"two numbers in a row", TStream().Text("1234").Enter().Text("5678").Enter(), {"1234", "5678"}, 0},
        {"Enter alone is nothing", TStream().Enter().Enter(), {}, 0},
        {"a pause longer than the gap drops the head",
         TStream().Text("00123").Pause(60).Text("45678").Enter(),
         {"45678"},
         1},
        {"a pause before Enter drops the number", TStream().Text("0012345678").Pause(500).Enter(), {}, 1},
        {"a pause within the gap is a reader's",
         TStream().Text("00123").Pause(40).Text("45678").Enter(),
         {"0012345678"},
         0},
        {"a key with no character drops the number",
         TStream().Text("12").Tap(KEY_F5).Text("34").Enter().Text("9").Enter(),
         {"9"},
         1},
        {"an endless number is dropped", TStream().Text(std::string(100, '7')).Enter(), {}, 1},
        {"auto-repeat is no key press",
         TStream().Key(KEY_5, 1).Key(KEY_5, 2).Key(KEY_5, 2).Key(KEY_5, 0).Enter(),
         {"5"},
         0},
    };
    for (const TCase& c : cCases) {
        std::uint64_t lRejected = 0;
        EXPECT_EQ(Decode(c.oStream, &lRejected), c.aTexts) << c.pName;
        EXPECT_EQ(lRejected, c.nRejected) << c.pName;
    }
}

TEST(KeyDecoder, LettersAReaderMustNotType) {
    // A reader set up wrongly types letters: the number is not one in any decimal format.
    std::vector<std::string> t = Decode(TStream().Tap(KEY_Q).Tap(KEY_W).Tap(KEY_Z).Text("1").Enter());
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0], "qwz1");
    for (TNumFormat f : {TNumFormat::Em4100, TNumFormat::Facility35, TNumFormat::Dec, TNumFormat::Hex}) {
        TCardNumber n;
        EXPECT_FALSE(TextToCardNumber(t[0], f, n)) << NumFormatName(f);
    }
}

TReaderConf Keyboard(const std::string& AAlias, const std::string& ADevice, TNumFormat AFormat) {
    TReaderConf c;
    c.sAlias = AAlias;
    c.nKind = TReaderKind::Keyboard;
    c.sDevice = ADevice;
    c.nFormat = AFormat;
    c.nGapMs = 50;
    return c;
}

std::string CardKey(const TReaderEvent& AEvent) {
    TKeyNum k;
    std::copy(std::begin(AEvent.rCard.nNum), std::end(AEvent.rCard.nNum), k.begin());
    return KeyNumHex(k);
}

bool WriteStream(int AFd, const TStream& AStream) {
    const auto& e = AStream.Events();
    const std::size_t lBytes = e.size() * sizeof(input_event);
    const auto* p = reinterpret_cast<const char*>(e.data());
    // Written in uneven pieces: a record cut between two reads is still read whole.
    for (std::size_t lDone = 0; lDone < lBytes;) {
        std::size_t n = std::min<std::size_t>(37, lBytes - lDone);
        if (write(AFd, p + lDone, n) != ssize_t(n))
            return false;
        lDone += n;
    }
    return true;
}

TEST(KbdReader, ReadLoopOnAPipeReportsCardsAndTheEndOfTheDevice) {
    int lPipe[2];
    ASSERT_EQ(pipe2(lPipe, O_CLOEXEC), 0);
    TFd lWrite(lPipe[1]);
    TEventSink lSink;
    TPortDesc lPort;
    lPort.nPortType = ORVP_PORT_FT;
    lPort.sName = u"KBD1";
    auto lReader = MakeKeyboardReader(TFd(lPipe[0]), Keyboard("KBD1", "ffff:0035", TNumFormat::Em4100), lPort,
                                      lSink.Wake());
    ASSERT_TRUE(lReader);
    ASSERT_TRUE(WriteStream(lWrite.Get(), TStream().Text("00123").Pause(200).Text("0012345678").Enter()));
    ASSERT_TRUE(WriteStream(lWrite.Get(), TStream().Text("12x45").Enter().Text("0000000042").Enter()));
    TReaderEvent e;
    ASSERT_TRUE(lSink.Next(*lReader, e));
    EXPECT_EQ(e.nKind, ORVR_MK_CARD_INSERT);
    EXPECT_EQ(CardKey(e), "00BC614E");
    EXPECT_EQ(e.rCard.nType, ORVR_CD_EM_MARINE);
    ASSERT_TRUE(lSink.Next(*lReader, e));
    EXPECT_EQ(e.nKind, ORVR_MK_CARD_REMOVE);
    ASSERT_TRUE(lSink.Next(*lReader, e));
    EXPECT_EQ(CardKey(e), "0000002A") << "the malformed number between gave nothing";
    ASSERT_TRUE(lSink.Next(*lReader, e));
    EXPECT_EQ(lReader->ConnectionStatus(), ORVP_CS_CONNECTED);

    lWrite.Reset(); // the device goes
    ASSERT_TRUE(lSink.Next(*lReader, e));
    EXPECT_EQ(e.nKind, ORVR_MK_ERROR);
    EXPECT_EQ(e.nCode, ORV_E_DISCONNECTED);
    ASSERT_TRUE(lSink.Next(*lReader, e));
    EXPECT_EQ(e.nKind, ORVR_MK_CONNECTION);
    EXPECT_EQ(lReader->ConnectionStatus(), ORVP_CS_DISCONNECTED);
}

// A stand-in for /dev/input and /sys/class/input: event nodes are FIFOs the test writes records to.
class KbdBackend : public ::testing::Test {
protected:
    void SetUp() override {
        m_sDev = m_oEnv.Root() + "/dev";
        m_sSys = m_oEnv.Root() + "/sys";
        std::filesystem::create_directories(m_sDev + "/by-id");
    }
    void TearDown() override {
        m_pReader.reset();
        if (m_pBackend)
            m_pBackend->Stop();
    }
    void AddDevice(int ANumber, const std::string& AIds, const std::string& AName, bool ATypesDigits = true) {
        const std::string e = "event" + std::to_string(ANumber);
        const std::string d = m_sSys + "/" + e + "/device";
        std::filesystem::create_directories(d + "/id");
        std::filesystem::create_directories(d + "/capabilities");
        std::ofstream(d + "/id/vendor") << AIds.substr(0, 4) << "\n";
        std::ofstream(d + "/id/product") << AIds.substr(5) << "\n";
        std::ofstream(d + "/name") << AName << "\n";
        std::ofstream(d + "/uniq") << "08FF20140315\n";
        // KEY_1 (bit 2) and KEY_ENTER (bit 28) in the low word, as a keyboard interface has them.
        std::ofstream(d + "/capabilities/key") << (ATypesDigits ? "1000000 0 10000004\n" : "0\n");
        ASSERT_EQ(mkfifo((m_sDev + "/" + e).c_str(), 0600), 0);
    }
    void RemoveDevice(int ANumber) {
        const std::string e = "event" + std::to_string(ANumber);
        std::filesystem::remove_all(m_sSys + "/" + e);
        std::filesystem::remove(m_sDev + "/" + e);
    }
    void Start(const std::vector<TReaderConf>& AReaders) {
        TReadersConf c;
        c.aReaders = AReaders;
        m_pBackend = MakeKbdBackend(c, m_sDev, m_sSys);
        ASSERT_EQ(m_pBackend->Start(), ORV_OK);
    }
    std::int32_t Open(const std::u16string& AName) {
        TOpenRequest r;
        r.nPortType = ORVP_PORT_FT;
        r.sPortName = AName;
        return m_pBackend->Open(r, m_oSink.Wake(), m_pReader);
    }

    TBusEnv m_oEnv;
    std::string m_sDev, m_sSys;
    std::unique_ptr<TBackend> m_pBackend;
    std::unique_ptr<TBackendReader> m_pReader;
    TEventSink m_oSink;
};

TEST_F(KbdBackend, MarkedDevicesOnlyAsUsbPortsWithTheirProductName) {
    AddDevice(3, "046d:c31c", "Logitech USB Keyboard");
    AddDevice(7, "ffff:0035", "Sycreader USB Reader", false); // its consumer-keys interface
    AddDevice(12, "ffff:0035", "Sycreader USB Reader");
    Start(
        {Keyboard("KBD1", "ffff:0035", TNumFormat::Em4100), Keyboard("KBD2", "1234:5678", TNumFormat::Hex)});
    std::vector<TPortDesc> lPorts;
    ASSERT_EQ(m_pBackend->EnumPorts(lPorts), ORV_OK);
    ASSERT_EQ(lPorts.size(), 1u) << "the desk's own keyboard and an absent reader are not ports";
    EXPECT_EQ(lPorts[0].sName, u"KBD1");
    EXPECT_EQ(lPorts[0].nPortType, ORVP_PORT_FT);
    EXPECT_EQ(lPorts[0].sFriendly, u"Sycreader USB Reader");
    EXPECT_EQ(lPorts[0].nRdType, ORVR_RD_KEYBOARD);
    EXPECT_GT(lPorts[0].nSn, 0);
    EXPECT_EQ(Open(u"KBD2"), ORV_E_PORT_NOT_FOUND);
    EXPECT_EQ(Open(u"event3"), ORV_E_PORT_NOT_FOUND);

    ASSERT_EQ(Open(u"KBD1"), ORV_OK);
    // The reader reads the node that types digits (event12), not the other interface.
    TFd lWrite(open((m_sDev + "/event12").c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    ASSERT_TRUE(lWrite.Valid()) << std::strerror(errno);
    ASSERT_TRUE(WriteStream(lWrite.Get(), TStream().Text("0012345678").Enter()));
    TReaderEvent e;
    ASSERT_TRUE(m_oSink.Next(*m_pReader, e));
    EXPECT_EQ(CardKey(e), "00BC614E");
    std::unique_ptr<TBackendReader> lSecond;
    TOpenRequest r;
    r.sPortName = u"KBD1";
    EXPECT_EQ(m_pBackend->Open(r, nullptr, lSecond), ORV_E_PORT_BUSY);
}

TEST_F(KbdBackend, UnplugReportsTheLossAndTheDetectorsSeeItGoAndReturn) {
    AddDevice(4, "ffff:0035", "Sycreader USB Reader");
    const std::string lById = m_sDev + "/by-id/usb-Sycreader_RFID_08FF20140315-event-kbd";
    std::filesystem::create_symlink(m_sDev + "/event4", lById);
    Start({Keyboard("KBD1", lById, TNumFormat::Em4100)});
    std::unique_ptr<TBackendDetector> lDetector;
    ASSERT_EQ(m_pBackend->Watch(nullptr, lDetector), ORV_OK);
    ASSERT_EQ(Open(u"KBD1"), ORV_OK);
    TFd lWrite(open((m_sDev + "/event4").c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    ASSERT_TRUE(lWrite.Valid());
    ASSERT_TRUE(WriteStream(lWrite.Get(), TStream().Text("00123")));
    lWrite.Reset();
    std::filesystem::remove(lById);
    RemoveDevice(4);
    TReaderEvent e;
    ASSERT_TRUE(m_oSink.Next(*m_pReader, e));
    EXPECT_EQ(e.nKind, ORVR_MK_ERROR) << "no card from half a number";
    m_pBackend->Refresh();
    TPortEvent p;
    ASSERT_EQ(lDetector->NextEvent(p), ORV_OK);
    EXPECT_EQ(p.nKind, ORVP_DDK_PORT_REMOVED);
    EXPECT_EQ(p.rPort.sName, u"KBD1");

    AddDevice(5, "ffff:0035", "Sycreader USB Reader");
    std::filesystem::create_symlink(m_sDev + "/event5", lById);
    m_pBackend->Refresh();
    ASSERT_EQ(lDetector->NextEvent(p), ORV_OK);
    EXPECT_EQ(p.nKind, ORVP_DDK_PORT_ARRIVED);
    EXPECT_EQ(p.rPort.sFriendly, u"Sycreader USB Reader");
    m_pReader.reset();
    ASSERT_EQ(Open(u"KBD1"), ORV_OK);
    lWrite.Reset(open((m_sDev + "/event5").c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    ASSERT_TRUE(WriteStream(lWrite.Get(), TStream().Text("0000000042").Enter()));
    ASSERT_TRUE(m_oSink.Next(*m_pReader, e));
    EXPECT_EQ(CardKey(e), "0000002A");
}

// A virtual keyboard made through uinput, found by its USB ids, grabbed and read like a reader.
TEST(KbdUinput, VirtualReaderIsGrabbedAndRead) {
    TFd lUinput(open("/dev/uinput", O_WRONLY | O_NONBLOCK | O_CLOEXEC));
    if (!lUinput.Valid())
        GTEST_SKIP() << "no usable /dev/uinput here: " << std::strerror(errno);
    ioctl(lUinput.Get(), UI_SET_EVBIT, EV_KEY);
    for (unsigned k = KEY_ESC; k <= KEY_KPDOT; ++k)
        ioctl(lUinput.Get(), UI_SET_KEYBIT, k);
    uinput_setup lSetup{};
    lSetup.id.bustype = BUS_USB;
    lSetup.id.vendor = 0xfeed;
    lSetup.id.product = 0x0417;
    std::strcpy(lSetup.name, "Tarvo Test Card Reader");
    ASSERT_EQ(ioctl(lUinput.Get(), UI_DEV_SETUP, &lSetup), 0);
    ASSERT_EQ(ioctl(lUinput.Get(), UI_DEV_CREATE), 0);
    TReadersConf c;
    c.aReaders.push_back(Keyboard("KBD9", "feed:0417", TNumFormat::Em4100));
    auto lBackend = MakeKbdBackend(c);
    ASSERT_EQ(lBackend->Start(), ORV_OK);
    // The node appears when udev (or devtmpfs) made it: waited for with a deadline.
    std::unique_ptr<TBackendReader> lReader;
    TEventSink lSink;
    TOpenRequest r;
    r.sPortName = u"KBD9";
    auto lDeadline = std::chrono::steady_clock::now() + Patience;
    std::int32_t lOpen = ORV_E_PORT_NOT_FOUND;
    while ((lOpen = lBackend->Open(r, lSink.Wake(), lReader)) == ORV_E_PORT_NOT_FOUND &&
           std::chrono::steady_clock::now() < lDeadline) {
        pollfd lNone{-1, 0, 0};
        poll(&lNone, 0, 20); // waiting for the kernel, not for time to pass
    }
    ASSERT_EQ(lOpen, ORV_OK);
    for (const input_event& e : TStream().Text("0012345678").Enter().Events()) {
        input_event x = e;
        x.input_event_sec = 0;
        x.input_event_usec = 0;
        ASSERT_EQ(write(lUinput.Get(), &x, sizeof x), ssize_t(sizeof x));
    }
    TReaderEvent e;
    ASSERT_TRUE(lSink.Next(*lReader, e));
    EXPECT_EQ(CardKey(e), "00BC614E");
    lReader.reset();
    lBackend->Stop();
    ioctl(lUinput.Get(), UI_DEV_DESTROY);
}

} // namespace
