// The reader session and a detector of the shared library, driven by orvsim running as a separate
// process, as the programs meet the tool.

#include "reader/OrvRClasses.h"
#include "reader/uOrvMsgWindow.h"
#include "tests/reader/ReaderTestSupport.h"

#include <gtest/gtest.h>

#include <regex>

using namespace OrvTest;

namespace {

class OrvProcess : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureApp(); }
    TBusEnv m_oEnv;
};

QString FromW(const TOrv_CHAR* AText) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(AText));
}

} // namespace

TEST_F(OrvProcess, CardsFromOrvsimReachTheSessionHoldingThePort) {
    ASSERT_EQ(Orvsim({"plug", "COM3", "--model", "7", "--sn", "4321"}).nStatus, 0);
    TOrvReader lRd;
    std::vector<TOrv_KEYNUM> lKeys;
    std::vector<std::int32_t> lErrors;
    lRd.SetOnCardInsert([&](TOrvReader*, const TOrvR_CARD_INFO* A) { lKeys.push_back(CardKeyNum(*A)); });
    lRd.SetOnError([&](TOrvReader*, std::int32_t ACode) { lErrors.push_back(ACode); });
    lRd.SetNotifications(true);
    lRd.SetPortName(QStringLiteral("com3"));
    lRd.SetPortType(ORVP_PORT_COM);
    lRd.SetActive(true);
    ASSERT_EQ(lRd.Sn(), 4321);
    ASSERT_EQ(lRd.RdType(), ORVR_RD_KORVEL);
    EXPECT_EQ(Orvsim({"state", "COM3"}).sOut, "open green=off red=off beep=off power=off format=\"\"\n");

    // A second session, as another program would, finds the port taken: worth a retry.
    TOrvReader lOther;
    lOther.SetPortName(QStringLiteral("COM3"));
    lOther.SetPortType(ORVP_PORT_COM);
    try {
        lOther.SetActive(true);
        ADD_FAILURE() << "two sessions on one port";
    } catch (const EOrvRError& e) {
        EXPECT_LT(e.m_nErrCode, 0);
        EXPECT_NE(e.m_nErrCode, std::int32_t(0x80040203));
    }

    ASSERT_EQ(Orvsim({"present", "COM3", "0000123456", "--card-type", "11"}).nStatus, 0);
    ASSERT_EQ(Orvsim({"present", "COM3", "BEEF"}).nStatus, 0);
    ASSERT_TRUE(WaitUntil([&] { return lKeys.size() >= 2; }));
    EXPECT_EQ(lKeys[0], MakeKeyNum({0x56, 0x34, 0x12, 0x00, 0x00}));
    EXPECT_EQ(lKeys[1], MakeKeyNum({0xEF, 0xBE}));

    // The base station's outputs and number format, as the front desk drives them.
    ASSERT_EQ(OrvR_Rd_SetIndicatorState(lRd.Handle(), ORVR_IND_OFF, ORVR_IND_ON, ORVR_IND_UNCHANGED), ORV_OK);
    ASSERT_EQ(OrvR_Korvel_SetPowerState(lRd.Handle(), 0xFFFFFFFFu), ORV_OK);
    const TOrv_CHAR lFormat[] = {'b', '4', ' ', 'b', '3', ' ', 'b', '2', ' ', 'w', '0', '1', 0};
    ASSERT_EQ(OrvR_Korvel_SetFormat(lRd.Handle(), 0, lFormat, 0, 0), ORV_OK);
    EXPECT_EQ(Orvsim({"state", "COM3"}).sOut,
              "open green=on red=off beep=off power=on format=\"b4 b3 b2 w01\"\n");
    TRunResult lEvents = Orvsim({"events", "COM3"});
    EXPECT_TRUE(std::regex_match(lEvents.sOut, std::regex(R"(\d+ indicator red=off green=on sound=-\n)"
                                                          R"(\d+ power on\n)"
                                                          R"(\d+ format "b4 b3 b2 w01"\n)")))
        << lEvents.sOut;

    // Unplugged under the session: the session hears of it, the tool finds nobody to present to.
    ASSERT_EQ(Orvsim({"unplug", "COM3"}).nStatus, 0);
    ASSERT_TRUE(WaitUntil([&] { return !lErrors.empty(); }));
    EXPECT_EQ(lErrors[0], ORV_E_DISCONNECTED);
    EXPECT_EQ(Orvsim({"present", "COM3", "01"}).nStatus, 1);
    lRd.SetActive(false);
}

TEST_F(OrvProcess, ADetectorSeesEveryPlugOfTheTool) {
    ASSERT_EQ(OrvR_Initialize(0x102), ORV_OK);
    std::vector<std::pair<std::uint32_t, QString>> lSeen;
    HORV hDet = 0;
    int lRounds = 0;
    TOrvMsgWindow lWindow([&](std::uint32_t AMsg) {
        ASSERT_EQ(AMsg, 1026u);
        ++lRounds;
        std::uint32_t k = 0;
        intptr_t p = 0;
        while (OrvP_DD_GetNextMessage(hDet, &k, &p) == ORV_OK) {
            auto* lPort = reinterpret_cast<const TOrvP_PORT_INFO*>(p);
            QString lText = FromW(lPort->szName);
            if (lPort->nDevCount > 0)
                lText += QStringLiteral(" sn=%1").arg(lPort->aDevices[0].nSn);
            lSeen.emplace_back(k, lText);
        }
    });
    TOrvP_DD_NOTIFY_SETTINGS s{0x3001, 0, lWindow.Target(), 1026, 473, 0, 0, 0};
    ASSERT_EQ(OrvP_DD_SetNotification(&hDet, &s), ORV_OK);

    ASSERT_EQ(Orvsim({"plug", "COM3", "--sn", "7"}).nStatus, 0);
    ASSERT_EQ(Orvsim({"plug", "USB-A", "--friendly", "COM5", "--sn", "8"}).nStatus, 0);
    ASSERT_EQ(Orvsim({"unplug", "COM3"}).nStatus, 0);
    ASSERT_TRUE(WaitUntil([&] { return lSeen.size() >= 3; }));
    QCoreApplication::processEvents(); // anything further would show up now
    const std::vector<std::pair<std::uint32_t, QString>> lWant = {
        {ORVP_DDK_PORT_ARRIVED, QStringLiteral("COM3 sn=7")},
        {ORVP_DDK_PORT_ARRIVED, QStringLiteral("USB-A sn=8")},
        {ORVP_DDK_PORT_REMOVED, QStringLiteral("COM3 sn=7")}};
    EXPECT_EQ(lSeen, lWant);

    // A burst handled in few passes: one waiting message of the number can be dropped.
    const int lBefore = lRounds;
    lWindow.PostMessage(1026);
    lWindow.PostMessage(1026);
    EXPECT_TRUE(lWindow.RemovePendingMessage(1026));
    ASSERT_TRUE(WaitUntil([&] { return lRounds > lBefore; }));
    QCoreApplication::processEvents();
    EXPECT_EQ(lRounds, lBefore + 1);
    EXPECT_FALSE(lWindow.RemovePendingMessage(1026));

    EXPECT_EQ(OrvP_CloseHandle(hDet), ORV_OK);
    EXPECT_EQ(OrvR_Finalyze(), ORV_OK);
}
