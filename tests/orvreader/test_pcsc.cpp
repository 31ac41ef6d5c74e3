// The PC/SC backend end to end through the library's C API: a private pcscd with the vpcd virtual
// reader, cards from orvvcard, readers plugged and pulled by changing pcscd's configuration, and pcscd
// killed and started again.

#include "orvreader/OrvReader.h"
#include "orvreader/src/uOrvBusFormat.h"
#include "tests/orvreader/OrvTestSupport.h"
#include "tests/orvreader/PcscHarness.h"

#include <PCSC/winscard.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <optional>

using namespace Orv;
using namespace OrvTest;
using namespace PcscTest;

namespace {

std::u16string FromW(const TOrv_CHAR* AText) {
    std::u16string s;
    while (*AText)
        s += char16_t(*AText++);
    return s;
}

std::vector<TOrv_CHAR> W(const std::u16string& AText) {
    std::vector<TOrv_CHAR> v(AText.begin(), AText.end());
    v.push_back(0);
    return v;
}

struct TPortSeen {
    std::u16string sName, sFriendly;
    std::uint32_t nType = 0, nFlags = 0;
    std::int32_t nSn = 0;
};

std::vector<TPortSeen> PortList() {
    std::vector<TPortSeen> lPorts;
    HORV hList = 0;
    std::uint32_t n = 0;
    if (OrvP_GetPortInfoList(&hList, &n, 0, 0) != ORV_OK)
        return lPorts;
    for (std::uint32_t i = 0; i < n; ++i) {
        TOrvP_PORT_INFO p{};
        if (OrvP_GetPortInfo(hList, i, &p) != ORV_OK)
            continue;
        lPorts.push_back(
            {FromW(p.szName), FromW(p.szFriendly), p.nType, p.nFlags, p.nDevCount ? p.aDevices[0].nSn : 0});
    }
    OrvP_CloseHandle(hList);
    return lPorts;
}

// The port of a vpcd slot ("Virtual PCD 00 00" is slot 0, its friendly text "Virtual PCD 00").
std::optional<TPortSeen> VirtualPort(int ASlot) {
    const std::u16string lName = ASlot == 0 ? u"Virtual PCD 00" : u"Virtual PCD 01";
    for (const TPortSeen& p : PortList())
        if (p.sFriendly == lName)
            return p;
    return std::nullopt;
}

// The port of a slot once the library lists it (a pcscd just started may still be adding its readers).
std::optional<TPortSeen> WaitVirtualPort(int ASlot) {
    const auto lEnd = std::chrono::steady_clock::now() + PcscTest::Patience;
    for (;;) {
        if (auto p = VirtualPort(ASlot))
            return p;
        if (std::chrono::steady_clock::now() > lEnd)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
}

struct TMsg {
    std::uint32_t nKind = 0;
    TOrvR_CARD_INFO rCard{};
    std::int32_t nCode = 0;
    std::u16string sPort;
};

// An open reader whose notifications are collected.
class TReaderWatch {
public:
    std::int32_t Open(const std::u16string& APort) {
        std::vector<TOrv_CHAR> lName = W(APort);
        TOrvR_RD_OPEN_PARAMS p{};
        p.nPortType = ORVP_PORT_FT;
        p.pszPortName = lName.data();
        p.nStopBits = 2;
        TOrvR_RD_INFO lInfo{};
        std::int32_t r = OrvR_Rd_Open(&m_h, &p, &lInfo);
        if (r != ORV_OK)
            return r;
        m_nType = lInfo.nType;
        TOrvR_NOTIFY_SETTINGS s{0xFFFFFFFFu, 0, m_oWindow.Target(), 1025, 0, 300};
        return OrvR_Rd_SetNotification(m_h, &s);
    }
    ~TReaderWatch() { Close(); }
    void Close() {
        if (m_h)
            OrvP_CloseHandle(m_h);
        m_h = 0;
    }
    HORV Handle() const { return m_h; }
    std::uint32_t Type() const { return m_nType; }

    // The messages of this reader so far.
    const std::vector<TMsg>& Messages() {
        Drain();
        return m_aAll;
    }
    // Waits until a message of AKind comes after the first AFrom messages; its index, or -1.
    int WaitFor(std::uint32_t AKind, std::size_t AFrom = 0) {
        for (;;) {
            const int lPosted = m_oWindow.Count();
            Drain();
            for (std::size_t i = AFrom; i < m_aAll.size(); ++i)
                if (m_aAll[i].nKind == AKind)
                    return int(i);
            if (!m_oWindow.WaitFor(lPosted + 1))
                return -1;
        }
    }

private:
    void Drain() {
        std::uint32_t lKind = 0;
        intptr_t lParam = 0;
        while (m_h && OrvR_Rd_GetNextMessage(m_h, &lKind, &lParam) == ORV_OK) {
            TMsg m;
            m.nKind = lKind;
            if (lKind == ORVR_MK_CARD_INSERT || lKind == ORVR_MK_CARD_REMOVE)
                m.rCard = *reinterpret_cast<const TOrvR_CARD_INFO*>(lParam);
            else if (lKind == ORVR_MK_ERROR)
                m.nCode = *reinterpret_cast<const std::int32_t*>(lParam);
            m_aAll.push_back(m);
        }
    }

    HORV m_h = 0;
    std::uint32_t m_nType = 0;
    TCountingWindow m_oWindow;
    std::vector<TMsg> m_aAll;
};

// A detector whose port changes are collected.
class TDetectorWatch {
public:
    TDetectorWatch() {
        TOrvP_DD_NOTIFY_SETTINGS s{
            ORVP_DDN_PORTS, 0, m_oWindow.Target(), 1026, ORVP_DEVMASK_READERS, 0, 0, 0};
        m_nResult = OrvP_DD_SetNotification(&m_h, &s);
    }
    ~TDetectorWatch() {
        if (m_h)
            OrvP_CloseHandle(m_h);
    }
    std::int32_t Result() const { return m_nResult; }

    // Waits until the port APort (any port: nullopt) has AKind among the changes after the first AFrom;
    // its index or -1.
    int WaitFor(std::uint32_t AKind, const std::optional<std::u16string>& APort, std::size_t AFrom = 0) {
        for (;;) {
            const int lPosted = m_oWindow.Count();
            Drain();
            for (std::size_t i = AFrom; i < m_aAll.size(); ++i)
                if (m_aAll[i].nKind == AKind && (!APort || m_aAll[i].sPort == *APort))
                    return int(i);
            if (!m_oWindow.WaitFor(lPosted + 1))
                return -1;
        }
    }
    std::size_t Count() {
        Drain();
        return m_aAll.size();
    }

private:
    void Drain() {
        std::uint32_t lKind = 0;
        intptr_t lParam = 0;
        while (m_h && OrvP_DD_GetNextMessage(m_h, &lKind, &lParam) == ORV_OK) {
            TMsg m;
            m.nKind = lKind;
            if (lKind == ORVP_DDK_PORT_ARRIVED || lKind == ORVP_DDK_PORT_REMOVED)
                m.sPort = FromW(reinterpret_cast<const TOrvP_PORT_INFO*>(lParam)->szName);
            m_aAll.push_back(m);
        }
    }

    HORV m_h = 0;
    std::int32_t m_nResult = 0;
    TCountingWindow m_oWindow;
    std::vector<TMsg> m_aAll;
};

std::vector<std::uint8_t> KeyBytes(const TOrvR_CARD_INFO& ACard) {
    return std::vector<std::uint8_t>(ACard.nNum, ACard.nNum + 16);
}

// The key number of a UID given in card order: the count, then UID0 as the most significant byte.
std::vector<std::uint8_t> ExpectedKey(const std::vector<std::uint8_t>& AUid) {
    std::vector<std::uint8_t> k(16, 0);
    k[0] = std::uint8_t(AUid.size());
    for (std::size_t i = 0; i < AUid.size(); ++i)
        k[1 + i] = AUid[AUid.size() - 1 - i];
    return k;
}

class PcscBackend : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string lMissing = MissingTools();
        if (!lMissing.empty())
            GTEST_SKIP() << lMissing;
        setenv("ORV_PCSC_VIRTUAL", "1", 1);
        ASSERT_GT(m_oPcscd.Port(), 0);
        ASSERT_TRUE(m_oPcscd.Start()) << "pcscd did not start; see " << m_oPcscd.Log();
        ASSERT_EQ(OrvR_Initialize(ORV_INIT_GLOBAL | ORV_INIT_DETECTOR), ORV_OK);
        m_fStarted = true;
    }
    void TearDown() override {
        if (m_fStarted) {
            EXPECT_EQ(OrvR_Finalyze(), ORV_OK);
        }
        unsetenv("ORV_PCSC_VIRTUAL");
    }

    // The alias of vpcd's slot 0 once the library lists it.
    std::u16string Slot0() {
        auto p = WaitVirtualPort(0);
        return p ? p->sName : u"";
    }

    TBusEnv m_oEnv; // a private bus and runtime folder (the ports' locks)
    TPrivatePcscd m_oPcscd;
    bool m_fStarted = false;
};

} // namespace

TEST_F(PcscBackend, EveryReaderIsAUsbPortNamedByItsAlias) {
    auto p0 = WaitVirtualPort(0), p1 = WaitVirtualPort(1);
    ASSERT_TRUE(p0 && p1) << "both vpcd slots are readers";
    for (const TPortSeen& p : {*p0, *p1}) {
        EXPECT_EQ(p.nType, ORVP_PORT_FT);
        EXPECT_EQ(p.sName.rfind(u"NFC", 0), 0u) << Utf16ToUtf8(p.sName);
        EXPECT_LE(p.sName.size(), 31u);
        EXPECT_GT(p.nSn, 0);
        EXPECT_EQ(p.nFlags & ORVP_PF_BUSY, 0u);
    }
    EXPECT_NE(p0->sName, p1->sName);
    EXPECT_NE(p0->nSn, p1->nSn);

    TReaderWatch r;
    ASSERT_EQ(r.Open(p0->sName), ORV_OK);
    EXPECT_EQ(r.Type(), ORVR_RD_DESK_MF);
    EXPECT_TRUE(VirtualPort(0)->nFlags & ORVP_PF_BUSY) << "an open reader's port is busy";
    TReaderWatch r2;
    EXPECT_EQ(r2.Open(p0->sName), ORV_E_PORT_BUSY);
    EXPECT_EQ(r2.Open(u"NFC99"), ORV_E_PORT_NOT_FOUND);
    EXPECT_EQ(r2.Open(u"Virtual PCD 00"), ORV_E_PORT_BUSY) << "the friendly text names the same port";
    EXPECT_EQ(r2.Open(u"Virtual PCD 00 00"), ORV_E_PORT_NOT_FOUND) << "pcsc-lite's numbering is no name";
    TOrvP_CONNECTION_STATUS s = 0;
    ASSERT_EQ(OrvR_Rd_GetConnectionStatus(r.Handle(), &s), ORV_OK);
    EXPECT_EQ(s, ORVP_CS_CONNECTED);
    r.Close();
    EXPECT_FALSE(VirtualPort(0)->nFlags & ORVP_PF_BUSY) << "closing frees the port";
    ASSERT_EQ(r2.Open(u"Virtual PCD 01"), ORV_OK) << "the programs open a USB port by its second name";
    EXPECT_EQ(r2.Type(), ORVR_RD_DESK_MF);
}

TEST(PcscVirtualReaders, IgnoredUnlessAllowed) {
    if (!MissingTools().empty())
        GTEST_SKIP() << MissingTools();
    TBusEnv lEnv;
    TPrivatePcscd lPcscd;
    ASSERT_TRUE(lPcscd.Start());
    // Allowed, the readers are seen; so the next start of the library finds pcscd with its readers.
    setenv("ORV_PCSC_VIRTUAL", "1", 1);
    ASSERT_EQ(OrvR_Initialize(ORV_INIT_GLOBAL), ORV_OK);
    EXPECT_TRUE(WaitVirtualPort(0));
    EXPECT_TRUE(VirtualPort(1));
    EXPECT_EQ(OrvR_Finalyze(), ORV_OK);
    unsetenv("ORV_PCSC_VIRTUAL");
    ASSERT_EQ(OrvR_Initialize(ORV_INIT_GLOBAL), ORV_OK);
    EXPECT_FALSE(VirtualPort(0)) << "a virtual reader would let anyone on the network present a card";
    EXPECT_FALSE(VirtualPort(1));
    EXPECT_EQ(OrvR_Finalyze(), ORV_OK);
}

TEST_F(PcscBackend, CardInAndOutReachTheSessionWithItsKeyNumber) {
    const std::u16string lPort = Slot0();
    ASSERT_FALSE(lPort.empty());
    TReaderWatch r;
    ASSERT_EQ(r.Open(lPort), ORV_OK);
    struct TCase {
        const char* sUid;
        std::vector<std::uint8_t> aUid;
    };
    const TCase lCases[] = {
        {"04A23B7C", {0x04, 0xA2, 0x3B, 0x7C}},
        {"04112233445566", {0x04, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66}},
        {"88010203", {0x88, 0x01, 0x02, 0x03}},
    };
    std::size_t lFrom = 0;
    for (const TCase& c : lCases) {
        SCOPED_TRACE(c.sUid);
        TVirtualCard lCard(m_oPcscd.Port(), c.sUid);
        int i = r.WaitFor(ORVR_MK_CARD_INSERT, lFrom);
        ASSERT_GE(i, 0) << "the card never reached the session";
        TOrvR_CARD_INFO lIn = r.Messages()[std::size_t(i)].rCard;
        EXPECT_EQ(KeyBytes(lIn), ExpectedKey(c.aUid));
        EXPECT_EQ(lIn.nType, ORVR_CD_MF_1K) << "the type named by the card's ATR";
        std::vector<TOrvR_CARD_INFO> lField(4);
        std::uint32_t n = 0;
        // The card in the field is the one reported.
        ASSERT_EQ(OrvR_Rd_SearchCards(r.Handle(), 4, 0), ORV_OK);
        TOrvR_CARD_INFO lFound{};
        while (OrvR_Rd_FindNextCard(r.Handle(), &lFound) == ORV_OK && n < 4)
            lField[n++] = lFound;
        ASSERT_EQ(n, 1u);
        EXPECT_EQ(KeyBytes(lField[0]), ExpectedKey(c.aUid));

        lCard.Remove();
        int j = r.WaitFor(ORVR_MK_CARD_REMOVE, std::size_t(i));
        ASSERT_GT(j, i) << "the card's removal never reached the session";
        EXPECT_EQ(KeyBytes(r.Messages()[std::size_t(j)].rCard), ExpectedKey(c.aUid));
        lFrom = std::size_t(j) + 1;
    }
    for (const TMsg& m : r.Messages())
        EXPECT_TRUE(m.nKind == ORVR_MK_CARD_INSERT || m.nKind == ORVR_MK_CARD_REMOVE) << m.nKind;
}

TEST_F(PcscBackend, AnAnswerThatIsNoUidGivesNoCard) {
    const std::u16string lPort = Slot0();
    ASSERT_FALSE(lPort.empty());
    TReaderWatch r;
    ASSERT_EQ(r.Open(lPort), ORV_OK);
    const std::vector<std::string> lCards[] = {
        {"--answer", "9000"},           // no UID bytes
        {"--answer", "90"},             // shorter than a status
        {"--answer", "04A23B7C6A81"},   // another status
        {"--answer", "04A23B7C9100"},   // status 91 00
        {"--answer", "04A23B7C0A9000"}, // five bytes: no card has that UID
        {"--answer", "000102030405060708090A0B0C0D0E0F101112131415161718191A1B1C1D9000"}, // thirty
        {"--vanish"}, // pulled away while it is read
    };
    for (const std::vector<std::string>& c : lCards) {
        SCOPED_TRACE(c.back());
        TVirtualCard lBad(m_oPcscd.Port(), "", c);
        ASSERT_TRUE(lBad.WaitUidReads()) << "the backend never asked the card";
        lBad.Remove();
        ASSERT_TRUE(WaitCardState("Virtual PCD 00 00", false));
        // The worker handles one reader change after the other, so a good card after the bad one is
        // the first card the session hears of.
        TVirtualCard lGood(m_oPcscd.Port(), "04A23B7C");
        const std::size_t lFrom = r.Messages().size();
        int i = r.WaitFor(ORVR_MK_CARD_INSERT, lFrom);
        ASSERT_GE(i, 0);
        EXPECT_EQ(std::size_t(i), lFrom) << "a message came before the good card";
        EXPECT_EQ(KeyBytes(r.Messages()[std::size_t(i)].rCard), ExpectedKey({0x04, 0xA2, 0x3B, 0x7C}));
        lGood.Remove();
        ASSERT_GT(r.WaitFor(ORVR_MK_CARD_REMOVE, std::size_t(i)), i);
    }
    TOrvP_CONNECTION_STATUS s = 0;
    ASSERT_EQ(OrvR_Rd_GetConnectionStatus(r.Handle(), &s), ORV_OK);
    EXPECT_EQ(s, ORVP_CS_CONNECTED);
}

TEST_F(PcscBackend, ACardHeldExclusivelyIsReadWhenReleased) {
    auto p0 = WaitVirtualPort(0), p1 = WaitVirtualPort(1);
    ASSERT_TRUE(p0 && p1);
    TVirtualCard lCard(m_oPcscd.Port(), "04A23B7C");
    // Another program takes the card for itself before the session opens.
    SCARDCONTEXT hCtx = 0;
    ASSERT_EQ(SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &hCtx), SCARD_S_SUCCESS);
    ASSERT_TRUE(WaitCardState("Virtual PCD 00 00", true));
    SCARDHANDLE hCard = 0;
    DWORD lProto = 0;
    ASSERT_EQ(SCardConnect(hCtx, "Virtual PCD 00 00", SCARD_SHARE_EXCLUSIVE,
                           SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &hCard, &lProto),
              SCARD_S_SUCCESS);

    TReaderWatch r;
    ASSERT_EQ(r.Open(p0->sName), ORV_OK);
    // A card on the second reader: the worker reads the readers in their order, so once this one is
    // read it has tried the held card on the first.
    TReaderWatch r1;
    ASSERT_EQ(r1.Open(p1->sName), ORV_OK);
    TVirtualCard lOther(m_oPcscd.Port() + 1, "04010203");
    ASSERT_GE(r1.WaitFor(ORVR_MK_CARD_INSERT), 0);
    EXPECT_EQ(lCard.UidReads(), 0) << "a card another program holds cannot be read";
    EXPECT_TRUE(r.Messages().empty());

    ASSERT_EQ(SCardDisconnect(hCard, SCARD_LEAVE_CARD), SCARD_S_SUCCESS);
    int i = r.WaitFor(ORVR_MK_CARD_INSERT);
    ASSERT_GE(i, 0) << "the card lying on the reader is read once the other program lets go";
    EXPECT_EQ(KeyBytes(r.Messages()[std::size_t(i)].rCard), ExpectedKey({0x04, 0xA2, 0x3B, 0x7C}));
    SCardReleaseContext(hCtx);
}

TEST_F(PcscBackend, PcscdKilledAndStartedAgain) {
    const std::u16string lPort = Slot0();
    ASSERT_FALSE(lPort.empty());
    TDetectorWatch d;
    ASSERT_EQ(d.Result(), ORV_OK);
    TReaderWatch r;
    ASSERT_EQ(r.Open(lPort), ORV_OK);
    TVirtualCard lCard(m_oPcscd.Port(), "04A23B7C");
    ASSERT_GE(r.WaitFor(ORVR_MK_CARD_INSERT), 0);

    m_oPcscd.Stop(SIGKILL);
    int e = r.WaitFor(ORVR_MK_ERROR);
    ASSERT_GE(e, 0) << "the loss never reached the session";
    EXPECT_EQ(r.Messages()[std::size_t(e)].nCode, ORV_E_DISCONNECTED);
    ASSERT_GE(d.WaitFor(ORVP_DDK_PORT_REMOVED, lPort), 0);
    EXPECT_FALSE(VirtualPort(0));

    const std::size_t lFrom = d.Count();
    ASSERT_TRUE(m_oPcscd.Start());
    ASSERT_GE(d.WaitFor(ORVP_DDK_PORT_ARRIVED, lPort, lFrom), 0) << "the backend never found pcscd again";
    r.Close();
    // The card still lies on the reader: a session opened now hears of it at once.
    TReaderWatch r2;
    ASSERT_EQ(r2.Open(lPort), ORV_OK);
    int i = r2.WaitFor(ORVR_MK_CARD_INSERT);
    ASSERT_GE(i, 0);
    EXPECT_EQ(KeyBytes(r2.Messages()[std::size_t(i)].rCard), ExpectedKey({0x04, 0xA2, 0x3B, 0x7C}));
}

TEST(PcscNoDaemon, TheLibraryStartsWithoutPcscdAndFindsItLater) {
    if (!MissingTools().empty())
        GTEST_SKIP() << MissingTools();
    TBusEnv lEnv;
    setenv("ORV_PCSC_VIRTUAL", "1", 1);
    TPrivatePcscd lPcscd; // not started yet: nothing listens on the socket
    ASSERT_EQ(OrvR_Initialize(ORV_INIT_GLOBAL | ORV_INIT_DETECTOR), ORV_OK);
    EXPECT_FALSE(VirtualPort(0));
    {
        TDetectorWatch d;
        ASSERT_EQ(d.Result(), ORV_OK);
        ASSERT_TRUE(lPcscd.Start());
        // The readers turn up through the detector once the backend's next look finds pcscd.
        ASSERT_GE(d.WaitFor(ORVP_DDK_PORT_ARRIVED, std::nullopt), 0) << "pcscd was never found";
        EXPECT_TRUE(VirtualPort(0));
    }
    EXPECT_EQ(OrvR_Finalyze(), ORV_OK);
    unsetenv("ORV_PCSC_VIRTUAL");
}
