// The reader session on the library's core: opening under the port lock, events on the GUI thread,
// failures, and the forwarding operations. The bus is changed in this process here; the session
// against orvsim in another process is tested in shared/test_process.cpp.

#include "orvreader/src/uOrvBus.h"
#include "reader/OrvRClasses.h"
#include "reader/uOrvMsgWindow.h"
#include "tests/orvreader/OrvFakeBackend.h"
#include "tests/reader/ReaderTestSupport.h"

#include <gtest/gtest.h>

#include <QThread>

using namespace OrvTest;

namespace {

Orv::TBusPort Port(const std::u16string& AName, std::uint32_t AModel, std::int32_t ASn) {
    Orv::TBusPort p;
    p.sName = AName;
    p.nPortType = Orv::IsComName(AName) ? ORVP_PORT_COM : ORVP_PORT_FT;
    p.nModel = AModel;
    p.nSn = ASn;
    p.nVersion = 0x0401;
    p.nPluggedMs = Orv::SteadyMs();
    return p;
}

Orv::TKey Key(const char* AHex) {
    Orv::TKey k{};
    EXPECT_TRUE(Orv::ParseKeyHex(AHex, k));
    return k;
}

// What the event handlers saw, in order.
struct TLog {
    std::vector<std::string> aEvents;
    void Add(const std::string& AText) { aEvents.push_back(AText); }
};

class OrvReaderTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { EnsureApp(); }
    void SetUp() override {
        ASSERT_EQ(m_oBus.Open(m_oEnv.Bus()), ORV_OK);
        SetMsgWindowExceptionHandler([this](std::exception_ptr e) {
            try {
                std::rethrow_exception(e);
            } catch (const std::exception& x) {
                m_aErrors.push_back(x.what());
            }
        });
    }
    void TearDown() override { SetMsgWindowExceptionHandler(nullptr); }

    std::string Runtime() const { return m_oEnv.Root() + "/run"; }

    TBusEnv m_oEnv;
    TFakeBackendInstall m_oFake; // before any session: the library starts with it
    Orv::TBus m_oBus;
    std::vector<std::string> m_aErrors;
};

} // namespace

TEST_F(OrvReaderTest, CardsArriveAsEventsOnTheGuiThread) {
    ASSERT_EQ(m_oBus.Plug(Port(u"COM3", ORVR_RD_KORVEL, 1234)), ORV_OK);
    TOrvReader lRd;
    EXPECT_EQ(lRd.StopBits(), 2);
    std::vector<TOrv_KEYNUM> lKeys;
    std::vector<TOrvR_CARD_TYPE> lTypes;
    bool lOffThread = false;
    lRd.SetOnCardInsert([&](TOrvReader* ASender, const TOrvR_CARD_INFO* AInfo) {
        lOffThread |= QThread::currentThread() != QCoreApplication::instance()->thread() || ASender != &lRd;
        lKeys.push_back(CardKeyNum(*AInfo));
        lTypes.push_back(AInfo->nType);
    });
    lRd.SetNotifications(true); // while closed: only the wish
    lRd.SetPortName(QStringLiteral("COM3"));
    lRd.SetPortType(ORVP_PORT_COM);
    lRd.SetActive(true);
    ASSERT_TRUE(lRd.Active());
    EXPECT_NE(lRd.Handle(), 0u);
    EXPECT_EQ(lRd.RdType(), ORVR_RD_KORVEL);
    EXPECT_EQ(lRd.Sn(), 1234);
    EXPECT_EQ(lRd.Version(), 0x0401u);
    EXPECT_FALSE(PortMutexHeld(Runtime()));

    ASSERT_EQ(m_oBus.Present(u"COM3", ORVR_CD_T57, Key("0000123456")), ORV_OK);
    ASSERT_EQ(m_oBus.Present(u"COM3", ORVR_CD_EM_MARINE, Key("0A")), ORV_OK);
    ASSERT_TRUE(WaitUntil([&] { return lKeys.size() >= 2; }));
    EXPECT_EQ(lKeys[0], MakeKeyNum({0x56, 0x34, 0x12, 0x00, 0x00}));
    EXPECT_EQ(lKeys[1], MakeKeyNum({0x0A}));
    EXPECT_EQ(lTypes[0], ORVR_CD_T57);
    EXPECT_FALSE(lOffThread);

    lRd.SetActive(false);
    EXPECT_EQ(lRd.Handle(), 0u);
    EXPECT_EQ(lRd.RdType(), ORVR_RD_UNDEF) << "a close forgets the reader type";
    EXPECT_EQ(m_oBus.Present(u"COM3", 1, Key("01")), Orv::ORV_E_NO_SESSION);
    lRd.SetActive(true); // notifications come back with the next open
    ASSERT_EQ(m_oBus.Present(u"COM3", 1, Key("0B")), ORV_OK);
    ASSERT_TRUE(WaitUntil([&] { return lKeys.size() >= 3; }));
    EXPECT_EQ(lKeys[2], MakeKeyNum({0x0B}));
}

TEST_F(OrvReaderTest, FailedOpenLeavesTheSessionClosedAndTheLockFree) {
    ASSERT_EQ(m_oBus.Plug(Port(u"COM3", ORVR_RD_DESK, 1)), ORV_OK);
    ASSERT_EQ(m_oBus.Plug(Port(u"COM4", ORVR_RD_UNDEF, 2)), ORV_OK);
    auto lHolder = std::make_unique<TOrvReader>();
    lHolder->SetPortName(QStringLiteral("COM3"));
    lHolder->SetPortType(ORVP_PORT_COM);
    lHolder->SetActive(true);

    struct TCase {
        QString sPort;
        std::int32_t nCode;
    };
    const TCase lCases[] = {{QStringLiteral("COM9"), ORV_E_PORT_NOT_FOUND},
                            {QStringLiteral("COM3"), ORV_E_PORT_BUSY},
                            {QStringLiteral("COM4"), ORV_E_NO_READER}};
    for (const TCase& c : lCases) {
        TOrvReader lRd;
        lRd.SetPortName(c.sPort);
        lRd.SetPortType(ORVP_PORT_COM);
        lRd.SetOnCardInsert([](TOrvReader*, const TOrvR_CARD_INFO*) {});
        lRd.SetNotifications(true);
        try {
            lRd.SetActive(true);
            ADD_FAILURE() << c.sPort.toStdString() << " opened";
        } catch (const EOrvRError& e) {
            EXPECT_EQ(e.m_nErrCode, c.nCode) << c.sPort.toStdString();
            EXPECT_TRUE(e.Message().endsWith(QStringLiteral("\r\n")));
        }
        EXPECT_FALSE(lRd.Active());
        EXPECT_EQ(lRd.Handle(), 0u);
        EXPECT_FALSE(PortMutexHeld(Runtime())) << c.sPort.toStdString();
    }
    // Destroying an open session frees its port.
    lHolder.reset();
    TOrvReader lNext;
    lNext.SetPortName(QStringLiteral("COM3"));
    lNext.SetPortType(ORVP_PORT_COM);
    lNext.SetActive(true);
    EXPECT_TRUE(lNext.Active());
}

TEST_F(OrvReaderTest, OpenRunsUnderThePortLockWithTheSessionsParameters) {
    bool lHeldDuringOpen = false;
    m_oFake.pScript->fOnOpen = [&] { lHeldDuringOpen = PortMutexHeld(Runtime()); };
    TOrvReader lRd;
    const QString lLong = QStringLiteral("FAKE") + QString(40, QLatin1Char('x'));
    lRd.SetPortName(lLong);
    lRd.SetPortType(ORVP_PORT_FT);
    lRd.SetOpenFlags(ORVR_OF_KORVEL_WIEGAND);
    lRd.SetRdType(ORVR_RD_DESK);
    lRd.SetActive(true);
    EXPECT_TRUE(lHeldDuringOpen);
    EXPECT_FALSE(PortMutexHeld(Runtime()));
    const Orv::TOpenRequest& r = m_oFake.pScript->rLastOpen;
    EXPECT_EQ(r.sPortName, lLong.left(31).toStdU16String()) << "names are cut to 31 characters";
    EXPECT_EQ(r.nFlags, ORVR_OF_KORVEL_WIEGAND);
    EXPECT_EQ(r.nStopBits, 2);
    EXPECT_EQ(r.nRdType, ORVR_RD_DESK);
    lRd.SetActive(false);
    lRd.SetActive(true);
    EXPECT_EQ(m_oFake.pScript->rLastOpen.nRdType, ORVR_RD_UNDEF) << "after a close no type is expected";

    // The second constructor keeps stop bits at 0.
    TOrvReader lRd2(QStringLiteral("FAKE2"), ORVP_PORT_FT);
    EXPECT_EQ(lRd2.StopBits(), 0);
    EXPECT_EQ(lRd2.PortName(), QStringLiteral("FAKE2"));
}

TEST_F(OrvReaderTest, EveryKindReachesItsEventAndUnknownKindsAreSkipped) {
    TOrvReader lRd;
    TLog lLog;
    lRd.SetOnCardInsert(
        [&](TOrvReader*, const TOrvR_CARD_INFO* A) { lLog.Add("insert " + std::to_string(A->nNum[1])); });
    lRd.SetOnCardRemove(
        [&](TOrvReader*, const TOrvR_CARD_INFO* A) { lLog.Add("remove " + std::to_string(A->nNum[1])); });
    lRd.SetOnCardUnknown([&](TOrvReader*, const QString& A) { lLog.Add("unknown " + A.toStdString()); });
    lRd.SetOnInputsChange([&](TOrvReader*, std::uint32_t A) { lLog.Add("inputs " + std::to_string(A)); });
    lRd.SetOnIndFlashEnd([&](TOrvReader*) { lLog.Add("flash"); });
    lRd.SetOnError([&](TOrvReader*, std::int32_t A) { lLog.Add("error " + std::to_string(A)); });
    lRd.SetOnConnectionChange([&](TOrvReader*) { lLog.Add("connection"); });
    lRd.SetPortName(QStringLiteral("FAKE1"));
    lRd.SetPortType(ORVP_PORT_FT);
    lRd.SetActive(true);
    lRd.SetNotifications(true);

    Orv::TReaderEvent lCard, lUnknown, lText, lInputs, lFlash, lError, lConn, lRemove;
    lCard.nKind = ORVR_MK_CARD_INSERT;
    lCard.rCard.nNum[0] = 1;
    lCard.rCard.nNum[1] = 7;
    lUnknown.nKind = 150;
    lRemove = lCard;
    lRemove.nKind = ORVR_MK_CARD_REMOVE;
    lText.nKind = ORVR_MK_CARD_UNKNOWN;
    lText.sText = u"Mifare?";
    lInputs.nKind = ORVR_MK_INPUTS_CHANGE;
    lInputs.nValue = 5;
    lFlash.nKind = ORVR_MK_IND_FLASH_END;
    lError.nKind = ORVR_MK_ERROR;
    lError.nCode = -5;
    lConn.nKind = ORVR_MK_CONNECTION;
    m_oFake.pScript->Push({lCard, lUnknown, lRemove, lText, lInputs, lFlash, lError, lConn});
    ASSERT_TRUE(WaitUntil([&] { return lLog.aEvents.size() >= 7; }));
    EXPECT_EQ(lLog.aEvents, (std::vector<std::string>{"insert 7", "remove 7", "unknown Mifare?", "inputs 5",
                                                      "flash", "error -5", "connection"}));
}

TEST_F(OrvReaderTest, TheEventMaskIsFixedWhenNotificationsStart) {
    TOrvReader lRd;
    TLog lLog;
    lRd.SetOnCardInsert([&](TOrvReader*, const TOrvR_CARD_INFO*) { lLog.Add("insert"); });
    lRd.SetPortName(QStringLiteral("FAKE1"));
    lRd.SetActive(true);
    lRd.SetNotifications(true);
    // Assigned after the install: the library was not asked for input changes.
    lRd.SetOnInputsChange([&](TOrvReader*, std::uint32_t) { lLog.Add("inputs"); });
    Orv::TReaderEvent lInputs, lCard;
    lInputs.nKind = ORVR_MK_INPUTS_CHANGE;
    lCard.nKind = ORVR_MK_CARD_INSERT;
    m_oFake.pScript->Push({lInputs, lCard});
    ASSERT_TRUE(WaitUntil([&] { return !lLog.aEvents.empty(); }));
    EXPECT_EQ(lLog.aEvents, std::vector<std::string>{"insert"});
    // Switching notifications off and on again takes the new handler in.
    lRd.SetNotifications(false);
    lRd.SetNotifications(true);
    m_oFake.pScript->Push({lInputs});
    ASSERT_TRUE(WaitUntil([&] { return lLog.aEvents.size() >= 2; }));
    EXPECT_EQ(lLog.aEvents.back(), "inputs");
}

TEST_F(OrvReaderTest, AFailingHandlerEndsTheDrainAndTheRestComesNextTime) {
    TOrvReader lRd;
    TLog lLog;
    lRd.SetOnCardInsert([&](TOrvReader*, const TOrvR_CARD_INFO* A) {
        lLog.Add("insert " + std::to_string(A->nNum[1]));
        if (A->nNum[1] == 1)
            throw EConvertError(QStringLiteral("handler failed"));
    });
    lRd.SetPortName(QStringLiteral("FAKE1"));
    lRd.SetActive(true);
    lRd.SetNotifications(true);
    Orv::TReaderEvent a, b;
    a.nKind = b.nKind = ORVR_MK_CARD_INSERT;
    a.rCard.nNum[1] = 1;
    b.rCard.nNum[1] = 2;
    m_oFake.pScript->Push({a, b});
    ASSERT_TRUE(WaitUntil([&] { return lLog.aEvents.size() >= 2; }));
    EXPECT_EQ(lLog.aEvents, (std::vector<std::string>{"insert 1", "insert 2"}));
    EXPECT_EQ(m_aErrors, std::vector<std::string>{"handler failed"}) << "the error box got it";
}

TEST_F(OrvReaderTest, AHandlerMayCloseTheSession) {
    ASSERT_EQ(m_oBus.Plug(Port(u"COM3", ORVR_RD_DESK, 1)), ORV_OK);
    auto lRd = std::make_unique<TOrvReader>();
    int lCards = 0;
    lRd->SetOnCardInsert([&](TOrvReader* ASender, const TOrvR_CARD_INFO*) {
        ++lCards;
        ASender->SetActive(false);
    });
    lRd->SetPortName(QStringLiteral("COM3"));
    lRd->SetActive(true);
    lRd->SetNotifications(true);
    ASSERT_EQ(m_oBus.Present(u"COM3", 1, Key("01")), ORV_OK);
    ASSERT_EQ(m_oBus.Present(u"COM3", 1, Key("02")), ORV_OK);
    ASSERT_TRUE(WaitUntil([&] { return !lRd->Active(); }));
    lRd.reset();
    // Whatever was posted for the closed session finds nobody, and does no harm.
    QCoreApplication::processEvents();
    EXPECT_EQ(lCards, 1);
}

TEST_F(OrvReaderTest, WaitSettingsWhileClosedApplyAtTheNextOpen) {
    TOrvReader lRd;
    TOrvP_WAIT_SETTINGS lWs{1500, 1, 0, 0, 50, 0, 0};
    lRd.SetWaitSettings(lWs);
    EXPECT_EQ(lRd.WaitSettings().nReplyTimeout, 1500u);
    lRd.SetPortName(QStringLiteral("FAKE1"));
    lRd.SetActive(true);
    TOrvP_WAIT_SETTINGS lGot{};
    lRd.GetWaitSettings(lGot);
    EXPECT_EQ(lGot.nReplyTimeout, 1500u);
    EXPECT_EQ(lGot.nCheckPeriod, 50u);
    lWs.nMaxTries = 3;
    lRd.SetWaitSettings(lWs);
    lRd.GetWaitSettings(lGot);
    EXPECT_EQ(lGot.nMaxTries, 3u);
}

TEST_F(OrvReaderTest, ForwardingOperations) {
    TOrvReader lRd;
    TOrvR_CARD_TYPE lType = 0;
    TOrv_KEYNUM lNum{};
    EXPECT_THROW(lRd.FindCard(lType, lNum), EAssertionFailed) << "closed sessions are a contract violation";

    // The fake reader has three cards in its field and a T5557 card.
    lRd.SetPortName(QStringLiteral("FAKE1"));
    lRd.SetActive(true);
    ASSERT_TRUE(lRd.FindCard(lType, lNum));
    EXPECT_EQ(lType, ORVR_CD_MF_1K);
    EXPECT_EQ(lNum, MakeKeyNum({1}));
    std::vector<TOrvR_CARD_INFO> lCards;
    lRd.EnumCards(lCards, 2);
    EXPECT_EQ(lCards.size(), 2u);
    int lSeen = 0;
    lRd.EnumCards([&](const TOrvR_CARD_INFO&, void* AUser) { return ++*static_cast<int*>(AUser) < 2; },
                  &lSeen);
    EXPECT_EQ(lSeen, 2) << "the callback stops the enumeration";
    lSeen = 0;
    lRd.EnumCards([&](const TOrvR_CARD_INFO&, void* AUser) { return ++*static_cast<int*>(AUser) > 0; },
                  &lSeen);
    EXPECT_EQ(lSeen, 3);
    std::uint32_t lPar = 0;
    ASSERT_TRUE(lRd.FindT57(lNum, lPar, 0, 0));
    EXPECT_EQ(lNum, MakeKeyNum({0x34, 0x12}));
    EXPECT_EQ(lPar, 7u);
    EXPECT_EQ(lRd.GetConnectionStatus(), ORVP_CS_CONNECTED);
    lRd.SetActive(false);

    // The virtual bus reader: nothing in its field between presentations.
    ASSERT_EQ(m_oBus.Plug(Port(u"COM3", ORVR_RD_DESK, 1)), ORV_OK);
    lRd.SetPortName(QStringLiteral("COM3"));
    lRd.SetActive(true);
    EXPECT_FALSE(lRd.FindCard(lType, lNum));
    lRd.EnumCards(lCards, 10);
    EXPECT_TRUE(lCards.empty());
    EXPECT_FALSE(lRd.FindT57(lNum, lPar, 0, 0)) << "no card: false, nothing raised";
    std::uint8_t lPage[16];
    try {
        lRd.ReadULCard4Page(4, lPage);
        ADD_FAILURE() << "read without a card";
    } catch (const EOrvRError& e) {
        EXPECT_EQ(e.m_nErrCode, ORV_E_NO_CARD);
    }
    std::vector<std::uint8_t> lImage(600, 1);
    EXPECT_FALSE(lRd.UpdateFirmware(
        lImage.data(), 600, [](std::uint32_t, std::uint32_t, void*) { return 0; }, nullptr));
    EXPECT_TRUE(lRd.UpdateFirmware(
        lImage.data(), 600, [](std::uint32_t, std::uint32_t, void*) { return 1; }, nullptr));
    TOrvR_RD_INFO lInfo{};
    lRd.GetInformation(lInfo);
    EXPECT_EQ(lInfo.rBase.nSn, 1);
    lRd.SetCapture();
    lRd.ReleaseCapture();
}
