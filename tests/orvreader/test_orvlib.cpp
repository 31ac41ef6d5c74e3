// The reader library's C API against the virtual bus, in one process: the bus is changed through its
// own code here; the tool and the session are run as separate processes in the other tests.

#include "orvreader/OrvReader.h"
#include "orvreader/src/uOrvBus.h"
#include "orvreader/src/uOrvMessages.h"
#include "tests/orvreader/OrvFakeBackend.h"
#include "tests/orvreader/OrvTestSupport.h"

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

using namespace Orv;
using namespace OrvTest;

namespace {

std::vector<TOrv_CHAR> W(const std::u16string& AText) {
    std::vector<TOrv_CHAR> v(AText.begin(), AText.end());
    v.push_back(0);
    return v;
}

std::u16string FromW(const TOrv_CHAR* AText) {
    std::u16string s;
    while (*AText)
        s += char16_t(*AText++);
    return s;
}

TBusPort Port(const std::u16string& AName, std::uint32_t AModel = ORVR_RD_DESK, std::int32_t ASn = 1000,
              const std::u16string& AFriendly = u"") {
    TBusPort p;
    p.sName = AName;
    p.sFriendly = AFriendly;
    p.nPortType = IsComName(AName) ? ORVP_PORT_COM : ORVP_PORT_FT;
    p.nModel = AModel;
    p.nSn = ASn;
    p.nVersion = 0x0401;
    p.nPluggedMs = SteadyMs();
    return p;
}

class OrvLib : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(m_oBus.Open(m_oEnv.Bus()), ORV_OK);
        ASSERT_EQ(OrvR_Initialize(ORV_INIT_GLOBAL | ORV_INIT_DETECTOR), ORV_OK);
    }
    void TearDown() override { EXPECT_EQ(OrvR_Finalyze(), ORV_OK); }

    int32_t Open(const std::u16string& AName, HORV& VHandle, TOrvR_RD_INFO* VInfo = nullptr,
                 std::uint32_t AType = ORVP_PORT_UNDEF, std::uint32_t AExpected = ORVR_RD_UNDEF) {
        std::vector<TOrv_CHAR> lName = W(AName);
        TOrvR_RD_OPEN_PARAMS p{};
        p.nPortType = AType != ORVP_PORT_UNDEF ? AType : IsComName(AName) ? ORVP_PORT_COM : ORVP_PORT_FT;
        p.pszPortName = lName.data();
        p.nRdType = AExpected;
        p.nStopBits = 2;
        return OrvR_Rd_Open(&VHandle, &p, VInfo);
    }

    void Notify(HORV AHandle, TCountingWindow& AWindow, std::uint32_t AMask) {
        TOrvR_NOTIFY_SETTINGS s{AMask, 0, AWindow.Target(), 1025, 0, 300};
        ASSERT_EQ(OrvR_Rd_SetNotification(AHandle, &s), ORV_OK);
    }

    struct TMsg {
        std::uint32_t nKind;
        intptr_t nParam;
    };
    // Every message waiting now.
    std::vector<TMsg> Drain(HORV AHandle, bool ADetector = false) {
        std::vector<TMsg> lAll;
        TMsg m{};
        while ((ADetector ? OrvP_DD_GetNextMessage(AHandle, &m.nKind, &m.nParam)
                          : OrvR_Rd_GetNextMessage(AHandle, &m.nKind, &m.nParam)) == ORV_OK)
            lAll.push_back(m);
        return lAll;
    }

    TBusEnv m_oEnv;
    TBus m_oBus;
};

} // namespace

TEST(OrvLibStart, VersionAndCountedInitialisation) {
    TBusEnv lEnv;
    const std::uint32_t v = OrvR_GetVersion();
    EXPECT_EQ(v & 0xFF, 3u);
    EXPECT_EQ((v >> 8) & 0xFF, 29u);

    HORV h = 0;
    TOrvP_DD_GLOBAL_SETTINGS g{};
    EXPECT_EQ(OrvP_DD_GetGlobalSettings(&g), ORV_E_NOT_INITIALIZED);
    EXPECT_EQ(OrvR_Finalyze(), ORV_E_NOT_INITIALIZED);
    ASSERT_EQ(OrvR_Initialize(0x102), ORV_OK);
    ASSERT_EQ(OrvR_Initialize(0), ORV_OK);
    EXPECT_EQ(OrvR_Finalyze(), ORV_OK);
    EXPECT_EQ(OrvP_DD_GetGlobalSettings(&g), ORV_OK) << "one Initialize is still open";
    // Settings written survive while the library runs.
    g.nComScanMask = g.nFtScanMask = 0xFFFFFFFFu;
    g.rWaitSettings.nReplyTimeout = 1500;
    ASSERT_EQ(OrvP_DD_SetGlobalSettings(&g), ORV_OK);
    TOrvP_DD_GLOBAL_SETTINGS g2{};
    ASSERT_EQ(OrvP_DD_GetGlobalSettings(&g2), ORV_OK);
    EXPECT_EQ(std::memcmp(&g, &g2, sizeof g), 0);
    EXPECT_EQ(OrvP_CloseHandle(12345), ORV_E_INVALID_HANDLE);
    EXPECT_EQ(OrvR_Finalyze(), ORV_OK);
    EXPECT_EQ(OrvR_Rd_SetIndicatorState(h, 1, 1, 1), ORV_E_NOT_INITIALIZED);
}

TEST(OrvLibStart, EveryFailureCodeHasAText) {
    // Every code the headers define, and those only the tool uses.
    std::ifstream lHeader(std::filesystem::path(TARVO_SOURCE_DIR) / "orvreader/OrvBase.h");
    ASSERT_TRUE(lHeader.good());
    std::stringstream lText;
    lText << lHeader.rdbuf();
    const std::string s = lText.str();
    std::regex lDefine(R"(#define (ORV_[ES]_\w+) \(\(int32_t\)(0x[0-9A-F]+)\))");
    int lFound = 0;
    for (auto it = std::sregex_iterator(s.begin(), s.end(), lDefine); it != std::sregex_iterator(); ++it) {
        ++lFound;
        const auto lCode = std::int32_t(std::stoul((*it)[2].str(), nullptr, 16));
        TOrv_CHAR lBuf[200];
        EXPECT_GT(OrvP_GetMessageText(lCode, lBuf, 200), 0u) << (*it)[1].str();
    }
    EXPECT_GE(lFound, 15);
    for (std::int32_t c : {ORV_E_PORT_EXISTS, ORV_E_NO_SESSION, ORV_E_NAME_IN_USE})
        EXPECT_NE(MessageText(c), nullptr);
    EXPECT_EQ(OrvP_GetMessageText(std::int32_t(0x80049999), nullptr, 0), 0u);
    // A short buffer gets a terminated prefix and the full length.
    TOrv_CHAR lShort[5];
    const std::uint32_t n = OrvP_GetMessageText(ORV_E_PORT_NOT_FOUND, lShort, 5);
    EXPECT_EQ(n, std::strlen(MessageText(ORV_E_PORT_NOT_FOUND)));
    EXPECT_EQ(FromW(lShort), u"The ");
}

TEST_F(OrvLib, OpenReportsTheReaderOrWhyNot) {
    ASSERT_EQ(m_oBus.Plug(Port(u"COM3", ORVR_RD_KORVEL, 1234)), ORV_OK);
    ASSERT_EQ(m_oBus.Plug(Port(u"FT1", ORVR_RD_DESK, 77, u"COM5")), ORV_OK);
    ASSERT_EQ(m_oBus.Plug(Port(u"COM4", ORVR_RD_UNDEF)), ORV_OK);

    HORV h = 0;
    TOrvR_RD_INFO lInfo{};
    ASSERT_EQ(Open(u"com3", h, &lInfo), ORV_OK) << "serial names in any letter case";
    EXPECT_NE(h, 0u);
    EXPECT_EQ(lInfo.nType, ORVR_RD_KORVEL);
    EXPECT_EQ(lInfo.rBase.nSn, 1234);
    EXPECT_EQ(lInfo.rBase.nVersion, 0x0401u);
    EXPECT_EQ(lInfo.rBase.cbSize, sizeof(TOrvR_RD_INFO));

    HORV h2 = 0;
    const std::int32_t lBusy = Open(u"COM3", h2);
    EXPECT_EQ(lBusy, ORV_E_PORT_BUSY);
    EXPECT_NE(lBusy, ORV_E_PORT_NOT_FOUND) << "a held port must be told apart from a missing one";
    EXPECT_EQ(h2, 0u);
    ASSERT_EQ(OrvP_CloseHandle(h), ORV_OK);
    EXPECT_EQ(OrvP_CloseHandle(h), ORV_E_INVALID_HANDLE);
    ASSERT_EQ(Open(u"COM3", h2), ORV_OK) << "closing frees the port";
    EXPECT_EQ(OrvP_CloseHandle(h2), ORV_OK);

    struct TCase {
        std::u16string sName;
        std::uint32_t nType, nExpected;
        std::int32_t nResult;
    };
    const TCase lCases[] = {
        {u"COM9", ORVP_PORT_COM, 0, ORV_E_PORT_NOT_FOUND},
        {u"", ORVP_PORT_FT, 0, ORV_E_PORT_NOT_FOUND},
        {u"COM3", ORVP_PORT_FT, 0, ORV_E_PORT_NOT_FOUND},
        {u"COM3", ORVP_PORT_IP, 0, ORV_E_PORT_NOT_FOUND},
        {u"COM4", ORVP_PORT_COM, 0, ORV_E_NO_READER},
        {u"COM3", ORVP_PORT_COM, ORVR_RD_DESK, ORV_E_WRONG_READER},
        {u"COM3", ORVP_PORT_COM, ORVR_RD_KORVEL, ORV_OK},
        {u"COM5", ORVP_PORT_COM, 0, ORV_OK}, // the USB reader answers to its serial-port name
        {u"FT1", ORVP_PORT_FT, 0, ORV_OK},
        {u"ft1", ORVP_PORT_FT, 0, ORV_E_PORT_NOT_FOUND},
    };
    for (const TCase& c : lCases) {
        HORV lHandle = 0;
        EXPECT_EQ(Open(c.sName, lHandle, nullptr, c.nType, c.nExpected), c.nResult) << Utf16ToUtf8(c.sName);
        EXPECT_EQ(lHandle != 0, c.nResult == ORV_OK);
        if (lHandle)
            OrvP_CloseHandle(lHandle);
    }
    // After a refused open the port is free again.
    ASSERT_EQ(Open(u"COM3", h, nullptr, ORVP_PORT_COM), ORV_OK);
    OrvP_CloseHandle(h);
}

TEST_F(OrvLib, CardsReachTheHolderOnceAndInOrder) {
    ASSERT_EQ(m_oBus.Plug(Port(u"COM3")), ORV_OK);
    TKey lKey{};
    ASSERT_TRUE(ParseKeyHex("0A0B0C", lKey));
    EXPECT_EQ(m_oBus.Present(u"COM3", 1, lKey), ORV_E_NO_SESSION);

    HORV h = 0;
    ASSERT_EQ(Open(u"COM3", h), ORV_OK);
    TCountingWindow lWindow;
    Notify(h, lWindow, ORVR_NF_CARDS);
    const int lBase = lWindow.Count(); // the library may post once when notifications start
    for (const char* k : {"01", "0202", "030303"}) {
        ASSERT_TRUE(ParseKeyHex(k, lKey));
        ASSERT_EQ(m_oBus.Present(u"COM3", ORVR_CD_MF_1K, lKey), ORV_OK);
    }
    ASSERT_TRUE(lWindow.WaitFor(lBase + 3));
    EXPECT_EQ(lWindow.LastMessage(), 1025u);
    std::vector<TMsg> lMsgs = Drain(h);
    ASSERT_EQ(lMsgs.size(), 6u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(lMsgs[2 * i].nKind, ORVR_MK_CARD_INSERT);
        EXPECT_EQ(lMsgs[2 * i + 1].nKind, ORVR_MK_CARD_REMOVE);
    }
    // The parameter points to the last card only until the next call: check the last one.
    auto* lCard = reinterpret_cast<const TOrvR_CARD_INFO*>(lMsgs[5].nParam);
    EXPECT_EQ(lCard->nType, ORVR_CD_MF_1K);
    EXPECT_EQ(lCard->nNum[0], 3);
    EXPECT_EQ(lCard->nNum[3], 3);
    EXPECT_TRUE(Drain(h).empty());

    // Cards left unfetched by a session are not delivered to the next one.
    ASSERT_EQ(m_oBus.Present(u"COM3", 1, lKey), ORV_OK);
    ASSERT_EQ(OrvP_CloseHandle(h), ORV_OK);
    ASSERT_EQ(Open(u"COM3", h), ORV_OK);
    EXPECT_TRUE(Drain(h).empty());
    // Capture holds messages back until released.
    ASSERT_EQ(m_oBus.Present(u"COM3", 1, lKey), ORV_OK);
    ASSERT_EQ(OrvR_Rd_SetCapture(h), ORV_OK);
    EXPECT_TRUE(Drain(h).empty());
    ASSERT_EQ(OrvR_Rd_ReleaseCapture(h), ORV_OK);
    EXPECT_EQ(Drain(h).size(), 2u);
    OrvP_CloseHandle(h);
}

TEST_F(OrvLib, UnplugWhileOpenReportsTheLossAndCleansUp) {
    ASSERT_EQ(m_oBus.Plug(Port(u"FT7", ORVR_RD_KORVEL)), ORV_OK);
    HORV h = 0;
    ASSERT_EQ(Open(u"FT7", h), ORV_OK);
    TCountingWindow lWindow;
    Notify(h, lWindow, ORVR_NF_CARDS | ORVR_NF_ERROR | ORVR_NF_CONNECTION);
    const int lBase = lWindow.Count();
    TKey lKey{};
    ASSERT_TRUE(ParseKeyHex("99", lKey));
    ASSERT_EQ(m_oBus.Present(u"FT7", 1, lKey), ORV_OK);
    ASSERT_EQ(m_oBus.Unplug(u"FT7"), ORV_OK);
    ASSERT_TRUE(lWindow.WaitFor(lBase + 2));

    TOrvP_CONNECTION_STATUS lStatus = 0;
    ASSERT_EQ(OrvR_Rd_GetConnectionStatus(h, &lStatus), ORV_OK);
    EXPECT_EQ(lStatus, ORVP_CS_DISCONNECTED);
    EXPECT_EQ(OrvR_Rd_SetIndicatorState(h, 1, 0, 0), ORV_E_DISCONNECTED);
    // The card presented before the unplug is not lost; then the loss is reported.
    std::vector<TMsg> lMsgs = Drain(h);
    ASSERT_EQ(lMsgs.size(), 4u);
    EXPECT_EQ(lMsgs[0].nKind, ORVR_MK_CARD_INSERT);
    EXPECT_EQ(lMsgs[2].nKind, ORVR_MK_ERROR);
    EXPECT_EQ(lMsgs[3].nKind, ORVR_MK_CONNECTION);
    // Notifications can still be renewed on the dead handle (the front desk does so on errors).
    Notify(h, lWindow, ORVR_NF_CARDS | ORVR_NF_ERROR);
    // A new reader on the same port is a new device: the old handle does not reach it.
    ASSERT_EQ(m_oBus.Plug(Port(u"FT7")), ORV_OK);
    EXPECT_EQ(OrvR_Rd_SetIndicatorState(h, 1, 0, 0), ORV_E_DISCONNECTED);
    HORV h2 = 0;
    ASSERT_EQ(Open(u"FT7", h2), ORV_OK);
    ASSERT_EQ(OrvP_CloseHandle(h), ORV_OK);
    ASSERT_EQ(OrvP_CloseHandle(h2), ORV_OK);
    EXPECT_TRUE(std::filesystem::is_empty(m_oEnv.Bus() + "/trash"));
}

TEST_F(OrvLib, ErrorKindCarriesTheCode) {
    ASSERT_EQ(m_oBus.Plug(Port(u"COM8")), ORV_OK);
    HORV h = 0;
    ASSERT_EQ(Open(u"COM8", h), ORV_OK);
    TCountingWindow lWindow;
    Notify(h, lWindow, ORVR_NF_ERROR); // no cards wanted
    const int lBase = lWindow.Count();
    TKey lKey{};
    ASSERT_TRUE(ParseKeyHex("01", lKey));
    ASSERT_EQ(m_oBus.Present(u"COM8", 1, lKey), ORV_OK);
    ASSERT_EQ(m_oBus.Unplug(u"COM8"), ORV_OK);
    ASSERT_TRUE(lWindow.WaitFor(lBase + 2));
    std::vector<TMsg> lMsgs = Drain(h);
    ASSERT_EQ(lMsgs.size(), 1u) << "cards and connection changes are masked out";
    EXPECT_EQ(lMsgs[0].nKind, ORVR_MK_ERROR);
    EXPECT_EQ(*reinterpret_cast<const std::int32_t*>(lMsgs[0].nParam), ORV_E_DISCONNECTED);
    OrvP_CloseHandle(h);
}

TEST_F(OrvLib, BaseStationRecordsItsCommands) {
    ASSERT_EQ(m_oBus.Plug(Port(u"COM3", ORVR_RD_KORVEL)), ORV_OK);
    ASSERT_EQ(m_oBus.Plug(Port(u"COM4", ORVR_RD_DESK)), ORV_OK);
    HORV h = 0, hPlain = 0;
    ASSERT_EQ(Open(u"COM3", h), ORV_OK);
    ASSERT_EQ(Open(u"COM4", hPlain), ORV_OK);

    ASSERT_EQ(OrvR_Rd_SetIndicatorState(h, ORVR_IND_ON, ORVR_IND_UNCHANGED, ORVR_IND_OFF), ORV_OK);
    ASSERT_EQ(OrvR_Korvel_SetPowerState(h, 0xFFFFFFFFu), ORV_OK);
    std::vector<TOrv_CHAR> lFormat = W(u"b5 b4 b3 w12");
    ASSERT_EQ(OrvR_Korvel_SetFormat(h, 0, lFormat.data(), 0, 0), ORV_OK);
    ASSERT_EQ(OrvR_Rd_SetIndicatorState(h, ORVR_IND_UNCHANGED, ORVR_IND_ON, ORVR_IND_UNCHANGED), ORV_OK);
    EXPECT_EQ(OrvR_Rd_SetIndicatorState(h, 3, 0, 0), ORV_E_INVALID_ARG);

    TBusOutputs lOut = m_oBus.ReadOutputs("COM3");
    EXPECT_EQ(lOut.aOn, (std::array<std::uint8_t, 4>{1, 1, 0, 1}));
    EXPECT_EQ(lOut.sFormat, u"b5 b4 b3 w12");
    std::vector<std::string> lEvents = m_oBus.ReadEvents("COM3");
    ASSERT_EQ(lEvents.size(), 4u);
    const std::regex lLine(R"((\d+) (.*))");
    const char* lWant[] = {"indicator red=on green=- sound=off", "power on", "format \"b5 b4 b3 w12\"",
                           "indicator red=- green=on sound=-"};
    std::uint64_t lPrev = 0;
    for (int i = 0; i < 4; ++i) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(lEvents[i], m, lLine)) << lEvents[i];
        EXPECT_EQ(m[2].str(), lWant[i]);
        EXPECT_GE(std::stoull(m[1].str()), lPrev) << "times run forward";
        lPrev = std::stoull(m[1].str());
    }
    // The outputs stay as the reader was left, for the next session too.
    ASSERT_EQ(OrvP_CloseHandle(h), ORV_OK);
    ASSERT_EQ(Open(u"COM3", h), ORV_OK);
    ASSERT_EQ(OrvR_Korvel_SetPowerState(h, 0), ORV_OK);
    lOut = m_oBus.ReadOutputs("COM3");
    EXPECT_EQ(lOut.aOn, (std::array<std::uint8_t, 4>{1, 1, 0, 0}));

    // A plain reader has indicators but no power output or number format.
    EXPECT_EQ(OrvR_Rd_SetIndicatorState(hPlain, ORVR_IND_ON, ORVR_IND_ON, ORVR_IND_ON), ORV_OK);
    EXPECT_EQ(OrvR_Korvel_SetPowerState(hPlain, 0xFFFFFFFFu), ORV_E_NOT_KORVEL);
    EXPECT_EQ(OrvR_Korvel_SetFormat(hPlain, 0, lFormat.data(), 0, 0), ORV_E_NOT_KORVEL);
    EXPECT_EQ(m_oBus.ReadEvents("COM4").size(), 1u);
    OrvP_CloseHandle(h);
    OrvP_CloseHandle(hPlain);
}

TEST_F(OrvLib, CardOperationsOfTheVirtualReader) {
    ASSERT_EQ(m_oBus.Plug(Port(u"COM3")), ORV_OK);
    HORV h = 0;
    ASSERT_EQ(Open(u"COM3", h), ORV_OK);
    // Presentations are momentary: nothing is in the field between them.
    ASSERT_EQ(OrvR_Rd_SearchCards(h, 10, 0), ORV_OK);
    TOrvR_CARD_INFO lCard{};
    EXPECT_EQ(OrvR_Rd_FindNextCard(h, &lCard), ORV_S_NO_MORE);
    EXPECT_EQ(OrvR_Rd_FindNextCard(h, nullptr), ORV_OK);
    EXPECT_EQ(OrvR_Rd_FindNextCard(h, &lCard), ORV_E_INVALID_ARG) << "no search under way";
    TOrv_KEYNUM_C lNum{};
    std::uint32_t lPar = 0;
    EXPECT_EQ(OrvR_Rd_FindT57(h, lNum, &lPar, 0, 0), ORV_E_NO_CARD);
    std::uint8_t lPage[16];
    EXPECT_EQ(OrvR_Rd_ReadULCard4Page(h, 4, lPage), ORV_E_NO_CARD);

    // Firmware goes in blocks with progress; the callback can stop it.
    std::vector<std::uint8_t> lImage(1000, 0x5A);
    struct TProgress {
        int nCalls = 0;
        int nStopAt = -1;
    } lProgress;
    auto lCallback = [](std::uint32_t, std::uint32_t, void* AUser) -> int {
        auto* p = static_cast<TProgress*>(AUser);
        return p->nCalls++ != p->nStopAt;
    };
    EXPECT_EQ(OrvR_Rd_UpdateFirmware(h, lImage.data(), std::uint32_t(lImage.size()), lCallback, &lProgress),
              ORV_OK);
    EXPECT_EQ(lProgress.nCalls, 5) << "four blocks of 256 bytes and the end";
    lProgress = {0, 2};
    EXPECT_EQ(OrvR_Rd_UpdateFirmware(h, lImage.data(), std::uint32_t(lImage.size()), lCallback, &lProgress),
              ORV_S_CANCELLED);

    TOrvP_WAIT_SETTINGS lWs{1500, 1, 0, 0, 50, 0, 0}, lWs2{};
    ASSERT_EQ(OrvR_Rd_SetWaitSettings(h, &lWs), ORV_OK);
    ASSERT_EQ(OrvR_Rd_GetWaitSettings(h, &lWs2), ORV_OK);
    EXPECT_EQ(lWs2.nReplyTimeout, 1500u);
    TOrv_CHAR lLines[200];
    TOrvR_RD_INFO lInfo{};
    lInfo.pszLinesBuf = lLines;
    lInfo.nLinesBufMax = 200;
    ASSERT_EQ(OrvR_Rd_GetInformation(h, &lInfo), ORV_OK);
    EXPECT_EQ(FromW(lLines).rfind(u"Port: COM3\n", 0), 0u);
    EXPECT_EQ(lInfo.rBase.nSn, 1000);
    OrvP_CloseHandle(h);
}

TEST_F(OrvLib, DetectorReportsEachPortChangeOnce) {
    TCountingWindow lAll, lCom;
    HORV hAll = 0, hCom = 0;
    TOrvP_DD_NOTIFY_SETTINGS s{0x3053, 0, lAll.Target(), 1027, 473, 0, 0, 0};
    ASSERT_EQ(OrvP_DD_SetNotification(&hAll, &s), ORV_OK);
    TOrvP_DD_NOTIFY_SETTINGS s2{ORVP_DDN_PORTS | ORVP_DDN_COM, 0, lCom.Target(), 1026, 473, 0, 0, 0};
    ASSERT_EQ(OrvP_DD_SetNotification(&hCom, &s2), ORV_OK);
    const int lBase = lAll.Count();

    ASSERT_EQ(m_oBus.Plug(Port(u"COM3", ORVR_RD_KORVEL, 55)), ORV_OK);
    ASSERT_EQ(m_oBus.Plug(Port(u"FT1", ORVR_RD_DESK, 66, u"COM5")), ORV_OK);
    ASSERT_EQ(m_oBus.Unplug(u"COM3"), ORV_OK);
    ASSERT_TRUE(lAll.WaitFor(lBase + 3));

    std::vector<std::pair<std::uint32_t, TOrvP_PORT_INFO>> lGot;
    std::uint32_t k = 0;
    intptr_t p = 0;
    while (OrvP_DD_GetNextMessage(hAll, &k, &p) == ORV_OK)
        lGot.emplace_back(k, *reinterpret_cast<const TOrvP_PORT_INFO*>(p));
    ASSERT_EQ(lGot.size(), 3u);
    EXPECT_EQ(lGot[0].first, ORVP_DDK_PORT_ARRIVED);
    EXPECT_EQ(FromW(lGot[0].second.szName), u"COM3");
    EXPECT_EQ(lGot[0].second.nType, ORVP_PORT_COM);
    ASSERT_EQ(lGot[0].second.nDevCount, 1u);
    EXPECT_EQ(lGot[0].second.aDevices[0].nSn, 55);
    EXPECT_EQ(lGot[0].second.aDevices[0].nModel, ORVR_RD_KORVEL);
    EXPECT_EQ(lGot[1].first, ORVP_DDK_PORT_ARRIVED);
    EXPECT_EQ(FromW(lGot[1].second.szName), u"FT1");
    EXPECT_EQ(FromW(lGot[1].second.szFriendly), u"COM5");
    EXPECT_EQ(lGot[1].second.nType, ORVP_PORT_FT);
    EXPECT_EQ(lGot[2].first, ORVP_DDK_PORT_REMOVED);
    EXPECT_EQ(FromW(lGot[2].second.szName), u"COM3");

    ASSERT_TRUE(lCom.WaitFor(2));
    std::vector<TMsg> lComMsgs = Drain(hCom, true);
    ASSERT_EQ(lComMsgs.size(), 2u) << "the serial-only detector skips the USB port";

    // A refresh ends with kind 5 for the detectors that asked for it.
    ASSERT_EQ(OrvP_DD_Refresh(0), ORV_OK);
    std::vector<TMsg> lAfter = Drain(hAll, true);
    ASSERT_EQ(lAfter.size(), 1u);
    EXPECT_EQ(lAfter[0].nKind, ORVP_DDK_REFRESH_DONE);
    EXPECT_TRUE(Drain(hCom, true).empty());
    OrvP_CloseHandle(hAll);
    OrvP_CloseHandle(hCom);
    EXPECT_TRUE(std::filesystem::is_empty(m_oEnv.Bus() + "/detectors")) << "closing removes the registration";
}

TEST_F(OrvLib, PlugCyclesLeakNothingAndLoseNothing) {
    TCountingWindow lWindow;
    HORV hDet = 0;
    TOrvP_DD_NOTIFY_SETTINGS s{0x3001, 0, lWindow.Target(), 1026, 473, 0, 0, 0};
    ASSERT_EQ(OrvP_DD_SetNotification(&hDet, &s), ORV_OK);
    // One cycle first, so that lazily made things exist before counting.
    ASSERT_EQ(m_oBus.Plug(Port(u"COM3")), ORV_OK);
    ASSERT_EQ(m_oBus.Unplug(u"COM3"), ORV_OK);
    ASSERT_EQ(Drain(hDet, true).size(), 2u);
    const int lFds = OpenFdCount();
    const int lCycles = 500;
    int lArrivals = 0, lRemovals = 0;
    for (int i = 0; i < lCycles; ++i) {
        ASSERT_EQ(m_oBus.Plug(Port(u"COM3", ORVR_RD_DESK, i)), ORV_OK);
        ASSERT_EQ(m_oBus.Unplug(u"COM3"), ORV_OK);
        if (i % 100 == 99)
            for (const TMsg& m : Drain(hDet, true))
                (m.nKind == ORVP_DDK_PORT_ARRIVED ? lArrivals : lRemovals)++;
    }
    for (const TMsg& m : Drain(hDet, true))
        (m.nKind == ORVP_DDK_PORT_ARRIVED ? lArrivals : lRemovals)++;
    EXPECT_EQ(lArrivals, lCycles);
    EXPECT_EQ(lRemovals, lCycles);
    EXPECT_EQ(OpenFdCount(), lFds);
    EXPECT_TRUE(std::filesystem::is_empty(m_oEnv.Bus() + "/ports"));
    EXPECT_TRUE(std::filesystem::is_empty(m_oEnv.Bus() + "/trash"));
    OrvP_CloseHandle(hDet);
}

TEST_F(OrvLib, SearchesAndPortLists) {
    ASSERT_EQ(m_oBus.Plug(Port(u"COM3", ORVR_RD_KORVEL, 11)), ORV_OK);
    ASSERT_EQ(m_oBus.Plug(Port(u"FT1", ORVR_RD_DESK, 22, u"COM5")), ORV_OK);
    ASSERT_EQ(m_oBus.Plug(Port(u"COM4", ORVR_RD_UNDEF)), ORV_OK);
    HORV hHeld = 0;
    ASSERT_EQ(Open(u"COM3", hHeld), ORV_OK);

    auto Search = [&](std::uint32_t AFlags) {
        std::vector<std::pair<std::u16string, TOrvR_RD_INFO>> lFound;
        TOrvP_WAIT_SETTINGS lWs{1500, 1, 0, 0, 50, 0, 0};
        TOrvP_SEARCH_PARAMS sp{473, 0, 0, 0, AFlags, &lWs, 0, 0};
        HORV hs = 0;
        EXPECT_EQ(OrvP_SearchDevices(&hs, &sp), ORV_OK);
        for (;;) {
            TOrvR_RD_INFO lInfo{};
            lInfo.rBase.cbSize = sizeof lInfo;
            TOrvP_PORT_INFO lPort{};
            std::uint32_t n = 0;
            std::int32_t r = OrvP_FindNextDevice(hs, &lInfo, &lPort, 1, &n, -1);
            if (r != ORV_OK) {
                EXPECT_EQ(r, ORV_S_NO_MORE);
                break;
            }
            EXPECT_EQ(n, 1u);
            lFound.emplace_back(FromW(lPort.szName), lInfo);
        }
        EXPECT_EQ(OrvP_CloseHandle(hs), ORV_OK);
        return lFound;
    };
    auto lFront = Search(9); // as the front desk searches
    ASSERT_EQ(lFront.size(), 2u);
    EXPECT_EQ(lFront[0].first, u"COM3");
    EXPECT_EQ(lFront[0].second.rBase.nSn, 11);
    EXPECT_EQ(lFront[0].second.rBase.cbSize, sizeof(TOrvR_RD_INFO));
    EXPECT_EQ(lFront[1].first, u"FT1");
    EXPECT_EQ(lFront[1].second.nType, ORVR_RD_DESK);
    auto lConfig = Search(11); // as the configuration program searches
    ASSERT_EQ(lConfig.size(), 3u);
    EXPECT_EQ(lConfig[1].first, u"COM4");
    EXPECT_EQ(lConfig[1].second.rBase.cbSize, 0u) << "a port without a reader";
    EXPECT_EQ(Search(ORVP_SF_READERS).size(), 1u) << "busy ports only when asked";

    HORV hList = 0;
    std::uint32_t lCount = 0;
    ASSERT_EQ(OrvP_GetPortInfoList(&hList, &lCount, 473, 0), ORV_OK);
    ASSERT_EQ(lCount, 3u);
    TOrvP_PORT_INFO lInfo{};
    ASSERT_EQ(OrvP_GetPortInfo(hList, 2, &lInfo), ORV_OK);
    EXPECT_EQ(FromW(lInfo.szName), u"FT1");
    EXPECT_EQ(FromW(lInfo.szFriendly), u"COM5");
    EXPECT_EQ(OrvP_GetPortInfo(hList, 3, &lInfo), ORV_E_INVALID_ARG);
    EXPECT_EQ(OrvR_Rd_SetIndicatorState(hList, 1, 1, 1), ORV_E_WRONG_HANDLE_KIND);
    EXPECT_EQ(OrvP_CloseHandle(hList), ORV_OK);
    OrvP_CloseHandle(hHeld);
}

TEST_F(OrvLib, GarbageInTheBusFolderIsSkipped) {
    namespace fs = std::filesystem;
    const std::string b = m_oEnv.Bus();
    auto Write = [](const std::string& APath, const std::string& AText) { std::ofstream(APath) << AText; };
    fs::create_directories(b + "/ports/COM9"); // no info
    fs::create_directories(b + "/ports/COM8");
    Write(b + "/ports/COM8/info", std::string("\x00\xFF name=COM8\n", 12)); // garbage info
    fs::create_directories(b + "/ports/COM7/info");                         // info is a folder
    fs::create_directories(b + "/ports/COM6");
    mkfifo((b + "/ports/COM6/info").c_str(), 0600); // info is a pipe: must not block
    fs::create_directories(b + "/ports/COM2");
    Write(b + "/ports/COM2/info", FormatPort(Port(u"COM1"))); // record of another folder
    Write(b + "/ports/stray", "x");
    fs::create_directory_symlink("/etc", b + "/ports/LINK");
    fs::create_directories(b + "/ports/.new/inbox");     // a crashed plug
    fs::create_directories(b + "/detectors/dead/inbox"); // a crashed detector
    Write(b + "/detectors/dead/lock", "");
    Write(b + "/detectors/junk", "x");
    Write(b + "/trash/old", "x");

    HORV h = 0;
    TCountingWindow lDetWindow;
    HORV hDet = 0;
    TOrvP_DD_NOTIFY_SETTINGS s{0x3001, 0, lDetWindow.Target(), 1026, 473, 0, 0, 0};
    ASSERT_EQ(OrvP_DD_SetNotification(&hDet, &s), ORV_OK);
    HORV hList = 0;
    std::uint32_t lCount = 99;
    ASSERT_EQ(OrvP_GetPortInfoList(&hList, &lCount, 473, 0), ORV_OK);
    EXPECT_EQ(lCount, 0u);
    OrvP_CloseHandle(hList);
    EXPECT_EQ(Open(u"COM9", h), ORV_E_PORT_NOT_FOUND);
    EXPECT_EQ(Open(u"COM6", h), ORV_E_PORT_NOT_FOUND);
    EXPECT_EQ(Open(u"COM1", h), ORV_E_PORT_NOT_FOUND);

    // Plugging over a garbage folder works, and clears what crashed processes left.
    ASSERT_EQ(m_oBus.Plug(Port(u"COM9")), ORV_OK);
    EXPECT_FALSE(fs::exists(b + "/detectors/dead"));
    EXPECT_FALSE(fs::exists(b + "/trash/old"));
    EXPECT_TRUE(fs::exists(b + "/detectors/junk")) << "what is not ours is left alone";
    ASSERT_EQ(Open(u"COM9", h), ORV_OK);

    // Garbage messages in an inbox are dropped; the good ones around them arrive.
    TCountingWindow lWindow;
    Notify(h, lWindow, ORVR_NF_CARDS);
    fs::path lInbox = b + "/ports/COM9/inbox";
    Write((lInbox / "00000000000000000001").string(), "kind=card\ntype=1\nkey=ZZ\n");
    Write((lInbox / "00000000000000000002").string(), std::string(10000, 'x'));
    fs::create_directory(lInbox / "00000000000000000003");
    Write((lInbox / "not-a-message").string(), "kind=card\ntype=1\nkey=01\n");
    TKey lKey{};
    ASSERT_TRUE(ParseKeyHex("77", lKey));
    ASSERT_EQ(m_oBus.Present(u"COM9", 1, lKey), ORV_OK);
    ASSERT_TRUE(lWindow.WaitFor(1));
    std::vector<TMsg> lMsgs = Drain(h);
    ASSERT_EQ(lMsgs.size(), 2u);
    EXPECT_EQ(reinterpret_cast<const TOrvR_CARD_INFO*>(lMsgs[0].nParam)->nNum[1], 0x77);
    OrvP_CloseHandle(h);
    std::vector<TMsg> lDet = Drain(hDet, true);
    ASSERT_EQ(lDet.size(), 1u);
    OrvP_CloseHandle(hDet);
}

TEST(OrvLibCrash, ACrashedHolderOrDetectorWedgesNothing) {
    TBusEnv lEnv;
    TBus lBus;
    ASSERT_EQ(lBus.Open(lEnv.Bus()), ORV_OK);
    ASSERT_EQ(lBus.Plug(Port(u"COM3")), ORV_OK);
    int lPipe[2];
    ASSERT_EQ(pipe(lPipe), 0);
    // The child starts its own library (this process has no library thread yet) and is killed while
    // it holds the port and a detector.
    pid_t lChild = fork();
    if (lChild == 0) {
        close(lPipe[0]);
        HORV h = 0, hDet = 0;
        TOrvP_DD_NOTIFY_SETTINGS s{0x3001, 0, nullptr, 0, 473, 0, 0, 0};
        std::vector<TOrv_CHAR> lName = W(u"COM3");
        TOrvR_RD_OPEN_PARAMS p{ORVP_PORT_COM, lName.data(), 0, 0, nullptr, 2, 0};
        char ok = OrvR_Initialize(0) == ORV_OK && OrvR_Rd_Open(&h, &p, nullptr) == ORV_OK &&
                          OrvP_DD_SetNotification(&hDet, &s) == ORV_OK
                      ? 'y'
                      : 'n';
        if (write(lPipe[1], &ok, 1) != 1)
            _exit(3);
        pause();
        _exit(0);
    }
    close(lPipe[1]);
    char lOk = 0;
    ASSERT_EQ(read(lPipe[0], &lOk, 1), 1);
    close(lPipe[0]);
    ASSERT_EQ(lOk, 'y');
    ASSERT_EQ(OrvR_Initialize(0), ORV_OK);
    HORV h = 0;
    std::vector<TOrv_CHAR> lName = W(u"COM3");
    TOrvR_RD_OPEN_PARAMS p{ORVP_PORT_COM, lName.data(), 0, 0, nullptr, 2, 0};
    EXPECT_EQ(OrvR_Rd_Open(&h, &p, nullptr), ORV_E_PORT_BUSY);
    kill(lChild, SIGKILL);
    waitpid(lChild, nullptr, 0);
    EXPECT_EQ(OrvR_Rd_Open(&h, &p, nullptr), ORV_OK) << "the port is free once its holder is gone";
    OrvP_CloseHandle(h);
    ASSERT_EQ(lBus.Unplug(u"COM3"), ORV_OK);
    EXPECT_TRUE(std::filesystem::is_empty(lEnv.Bus() + "/detectors")) << "the dead detector was removed";
    EXPECT_EQ(OrvR_Finalyze(), ORV_OK);
}

TEST(OrvLibBackends, AddedBackendsServeTheirPortsAndUnknownKindsPass) {
    TBusEnv lEnv;
    TFakeBackendInstall lFake;
    ASSERT_EQ(OrvR_Initialize(0), ORV_OK);
    HORV h = 0;
    std::vector<TOrv_CHAR> lName = W(u"FAKE1");
    TOrvR_RD_OPEN_PARAMS p{ORVP_PORT_FT, lName.data(), 0, 0, nullptr, 2, 0};
    ASSERT_EQ(OrvR_Rd_Open(&h, &p, nullptr), ORV_OK) << "the bus does not know it; the next backend does";
    TCountingWindow lWindow;
    TOrvR_NOTIFY_SETTINGS s{ORVR_NF_CARDS | ORVR_NF_INPUTS, 0, lWindow.Target(), 1025, 0, 300};
    ASSERT_EQ(OrvR_Rd_SetNotification(h, &s), ORV_OK);
    TReaderEvent e1, e2, e3, e4;
    e1.nKind = ORVR_MK_IND_FLASH_END; // masked out
    e2.nKind = 150;                   // a kind this library does not know: passed on
    e2.nValue = 9;
    e3.nKind = ORVR_MK_INPUTS_CHANGE;
    e3.nValue = 5;
    e4.nKind = ORVR_MK_CARD_UNKNOWN;
    e4.sText = u"Unknown card";
    lFake.pScript->Push({e1, e2, e3, e4});
    ASSERT_TRUE(lWindow.WaitFor(4));
    std::uint32_t k = 0;
    intptr_t v = 0;
    ASSERT_EQ(OrvR_Rd_GetNextMessage(h, &k, &v), ORV_OK);
    EXPECT_EQ(k, 150u);
    EXPECT_EQ(v, 9);
    ASSERT_EQ(OrvR_Rd_GetNextMessage(h, &k, &v), ORV_OK);
    EXPECT_EQ(k, ORVR_MK_INPUTS_CHANGE);
    EXPECT_EQ(v, 5);
    ASSERT_EQ(OrvR_Rd_GetNextMessage(h, &k, &v), ORV_OK);
    EXPECT_EQ(k, ORVR_MK_CARD_UNKNOWN);
    EXPECT_EQ(FromW(reinterpret_cast<const TOrv_CHAR*>(v)), u"Unknown card");
    EXPECT_EQ(OrvR_Rd_GetNextMessage(h, &k, &v), ORV_S_NO_MORE);
    // Handles still open end with the library.
    EXPECT_EQ(OrvR_Finalyze(), ORV_OK);
    EXPECT_EQ(lFake.pScript->fWake, nullptr);
}
