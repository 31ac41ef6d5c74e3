// The reader ports of the configuration program: merging scans, display texts and order, matching
// detector messages, and what a presented card does in each reading mode.
#include "config/uRdPortList.h"

#include "base/uKeyNum.h"
#include "base/uMessages.h"
#include "config/uTarvoDoc.h"
#include "tests/common/TestSupport.h"

#include <gtest/gtest.h>

#include <vector>

using namespace ConfigTarvo;

namespace {

TOrvP_PORT_INFO Record(TOrvP_PORT_TYPE AType, const char* AName, const char* AFriendly = "") {
    TOrvP_PORT_INFO lRec{};
    lRec.nType = AType;
    for (int i = 0; AName[i]; ++i)
        lRec.szName[i] = TOrv_CHAR(AName[i]);
    for (int i = 0; AFriendly[i]; ++i)
        lRec.szFriendly[i] = TOrv_CHAR(AFriendly[i]);
    return lRec;
}

TOrvR_RD_INFO Reader(TOrvR_RD_TYPE AModel, std::int32_t ASn) {
    TOrvR_RD_INFO lInfo{};
    lInfo.rBase.cbSize = sizeof(TOrvR_RD_INFO);
    lInfo.nType = AModel;
    lInfo.rBase.nSn = ASn;
    return lInfo;
}

TOrv_KEYNUM Key(const char* AHex) {
    TOrv_KEYNUM lNumber{};
    EXPECT_TRUE(HexToKeyNum(QString::fromLatin1(AHex), lNumber)) << AHex;
    return lNumber;
}

// One scan of ARecords (with readers where given); returns what EndScan says.
struct TScanEntry {
    TOrvP_PORT_INFO m_rRecord;
    bool m_fReader = false;
    TOrvR_RD_INFO m_rReader{};
};
bool Scan(TRdPortList& AList, const std::vector<TScanEntry>& AEntries) {
    AList.BeginScan();
    bool lChanged = false;
    for (const TScanEntry& e : AEntries)
        AList.MergePort(e.m_rRecord, e.m_fReader ? &e.m_rReader : nullptr, lChanged);
    return AList.EndScan(lChanged);
}
TScanEntry Port(TOrvP_PORT_TYPE AType, const char* AName, const char* AFriendly = "") {
    return {Record(AType, AName, AFriendly)};
}
TScanEntry PortWithReader(TOrvP_PORT_TYPE AType, const char* AName, const char* AFriendly,
                          TOrvR_RD_TYPE AModel, std::int32_t ASn) {
    return {Record(AType, AName, AFriendly), true, Reader(AModel, ASn)};
}

QStringList Texts(const TRdPortList& AList) {
    QStringList lTexts;
    for (const TRdPort& p : AList.Ports())
        lTexts << p.DisplayText();
    return lTexts;
}

} // namespace

TEST(RdPort, DisplayTextShowsTheSerialNameOfAUsbReaderAndTheReaderFound) {
    struct TCase {
        TOrvP_PORT_TYPE m_nType;
        const char* m_sPort;
        const char* m_sFriendly;
        TOrvR_RD_TYPE m_nModel;
        std::int32_t m_nSn;
        const char* m_sText;
    } const cCases[] = {
        {ORVP_PORT_COM, "COM3", "", ORVR_RD_UNDEF, 0, "COM3"},
        {ORVP_PORT_COM, "COM3", "", ORVR_RD_KORVEL, 17, "COM3    Korvel s/n 17"},
        {ORVP_PORT_FT, "USB-A1", "COM5", ORVR_RD_UNDEF, 0, "COM5"},
        {ORVP_PORT_FT, "USB-A1", "", ORVR_RD_UNDEF, 0, "USB-A1"},
        {ORVP_PORT_FT, "USB-A1", "COM5", 0, 9, "COM5"},
        {ORVP_PORT_COM, "COM1", "COM9", ORVR_RD_UNDEF, 0, "COM1"}, // a serial port's second name is not shown
        {ORVP_PORT_COM, "COM1", "", 99, 4, "COM1    Unknown s/n 4"},
    };
    for (const TCase& c : cCases) {
        TRdPort lPort;
        lPort.m_nPortType = c.m_nType;
        lPort.m_sPort = QString::fromLatin1(c.m_sPort);
        lPort.m_sFriendly = QString::fromLatin1(c.m_sFriendly);
        lPort.m_nRdModel = c.m_nModel;
        lPort.m_nRdSn = c.m_nSn;
        EXPECT_EQ(lPort.DisplayText(), QString::fromLatin1(c.m_sText)) << c.m_sText;
    }
}

TEST(RdPort, RecordNamesEndAtTheTerminatorOrTheFieldEnd) {
    TOrvP_PORT_INFO lRec = Record(ORVP_PORT_FT, "USB", "COM7");
    lRec.szName[3] = 0;
    lRec.szName[4] = u'X'; // after the terminator: ignored
    EXPECT_EQ(PortOfRecord(lRec).m_sPort, QStringLiteral("USB"));
    EXPECT_EQ(PortOfRecord(lRec).m_sFriendly, QStringLiteral("COM7"));
    for (auto& c : lRec.szName)
        c = u'Ж';
    EXPECT_EQ(PortOfRecord(lRec).m_sPort, QString(ORVP_PORT_NAME_MAX, QChar(u'Ж')));
}

TEST(RdPortList, ScanAddsSortsOrdinallyAndDropsPortsThatVanished) {
    TRdPortList lList;
    EXPECT_TRUE(Scan(lList, {Port(ORVP_PORT_COM, "COM2"), Port(ORVP_PORT_COM, "COM10"),
                             Port(ORVP_PORT_FT, "ft-b", "COM4"), Port(ORVP_PORT_FT, "FT-A")}));
    EXPECT_EQ(Texts(lList), (QStringList{"COM10", "COM2", "COM4", "FT-A"}));

    // The same ports again: nothing changes.
    EXPECT_FALSE(Scan(lList, {Port(ORVP_PORT_FT, "FT-A"), Port(ORVP_PORT_COM, "COM10"),
                              Port(ORVP_PORT_COM, "COM2"), Port(ORVP_PORT_FT, "ft-b", "COM4")}));

    // COM2 vanished: a deletion is a change, the order of the rest stays.
    EXPECT_TRUE(Scan(lList, {Port(ORVP_PORT_FT, "FT-A"), Port(ORVP_PORT_COM, "COM10"),
                             Port(ORVP_PORT_FT, "ft-b", "COM4")}));
    EXPECT_EQ(Texts(lList), (QStringList{"COM10", "COM4", "FT-A"}));

    EXPECT_TRUE(Scan(lList, {}));
    EXPECT_EQ(lList.Count(), 0);
}

TEST(RdPortList, FullScanStoresReadersAndQuickScanKeepsThem) {
    TRdPortList lList;
    Scan(lList, {PortWithReader(ORVP_PORT_COM, "COM3", "", ORVR_RD_KORVEL, 501),
                 PortWithReader(ORVP_PORT_FT, "USB1", "COM5", ORVR_RD_DESK, 502)});
    EXPECT_EQ(Texts(lList), (QStringList{"COM3    Korvel s/n 501", "COM5    Desk s/n 502"}));
    EXPECT_EQ(lList.FindPortBySn(502), 1);
    EXPECT_EQ(lList.FindPortBySn(7), -1);

    // A quick scan reports no readers: the ones known stay.
    EXPECT_FALSE(Scan(lList, {Port(ORVP_PORT_COM, "COM3"), Port(ORVP_PORT_FT, "USB1", "COM5")}));
    EXPECT_EQ(lList.FindPortBySn(501), 0);

    // Another reader on COM3.
    EXPECT_TRUE(Scan(lList, {PortWithReader(ORVP_PORT_COM, "COM3", "", ORVR_RD_DESK, 777),
                             Port(ORVP_PORT_FT, "USB1", "COM5")}));
    EXPECT_EQ(lList.GetPort(0).DisplayText(), QStringLiteral("COM3    Desk s/n 777"));
    EXPECT_EQ(lList.FindPortBySn(501), -1);
}

TEST(RdPortList, AUsbPortReplacesTheSerialPortOfItsSecondName) {
    TRdPortList lList;
    Scan(lList, {Port(ORVP_PORT_COM, "COM5"), Port(ORVP_PORT_COM, "COM6")});
    EXPECT_TRUE(Scan(lList, {Port(ORVP_PORT_FT, "USB-77", "COM5"), Port(ORVP_PORT_COM, "COM6")}));
    ASSERT_EQ(lList.Count(), 2);
    const TRdPort& lPort = lList.GetPort(0);
    EXPECT_EQ(lPort.m_nPortType, ORVP_PORT_FT);
    EXPECT_EQ(lPort.m_sPort, QStringLiteral("USB-77"));
    EXPECT_EQ(lPort.StoredName(), QStringLiteral("COM5"));
}

TEST(RdPortList, FindPortIndexMatchesExactNamesAndUsbSerialNamesIgnoringCase) {
    TRdPortList lList;
    Scan(lList,
         {Port(ORVP_PORT_COM, "COM1"), Port(ORVP_PORT_FT, "Usb-X", "COM5"), Port(ORVP_PORT_FT, "USB-Y")});
    struct TCase {
        TOrvP_PORT_TYPE m_nType;
        const char* m_sName;
        int m_nIdx;
    } const cCases[] = {
        {ORVP_PORT_COM, "COM1", 0}, {ORVP_PORT_COM, "com1", -1}, {ORVP_PORT_FT, "COM1", -1},
        {ORVP_PORT_COM, "COM5", 1}, {ORVP_PORT_COM, "com5", 1},  {ORVP_PORT_FT, "COM5", -1},
        {ORVP_PORT_FT, "Usb-X", 1}, {ORVP_PORT_FT, "USB-X", -1}, {ORVP_PORT_FT, "USB-Y", 2},
        {ORVP_PORT_COM, "", -1}, // USB-Y has no second name: no match for an empty name
    };
    for (const TCase& c : cCases)
        EXPECT_EQ(lList.FindPortIndex(c.m_nType, QString::fromLatin1(c.m_sName)), c.m_nIdx)
            << c.m_nType << " " << c.m_sName;
}

TEST(RdPortList, TheSessionPortStaysWithItsReaderWithoutCountingAsAChange) {
    TRdPortList lList;
    Scan(lList, {Port(ORVP_PORT_COM, "COM3"), Port(ORVP_PORT_COM, "COM4")});
    // An open session's port does not answer the search.
    lList.BeginScan();
    bool lChanged = false;
    lList.MergePort(Record(ORVP_PORT_COM, "COM4"), nullptr, lChanged);
    lList.MarkSessionPort(ORVP_PORT_COM, QStringLiteral("COM3"), ORVR_RD_KORVEL, 88);
    EXPECT_FALSE(lChanged);
    EXPECT_FALSE(lList.EndScan(lChanged));
    EXPECT_EQ(Texts(lList), (QStringList{"COM3    Korvel s/n 88", "COM4"}));
}

// A detector record of an arrived port, listing the reader found on it (model 0: none listed).
TOrvP_PORT_INFO Arrived(TOrvP_PORT_TYPE AType, const char* AName, const char* AFriendly, std::uint32_t AModel,
                        std::int32_t ASn) {
    TOrvP_PORT_INFO lRec = Record(AType, AName, AFriendly);
    if (AModel != ORVR_RD_UNDEF) {
        lRec.nDevCount = 1;
        lRec.aDevices[0].cbSize = sizeof(TOrvP_DEVICE_INFO);
        lRec.aDevices[0].nTypeId = ORVP_DEVTYPE_READER;
        lRec.aDevices[0].nModel = AModel;
        lRec.aDevices[0].nSn = ASn;
    }
    return lRec;
}

TEST(RdPortList, DetectorArrivalsAndRemovalsKeepTheListCurrent) {
    struct TStep {
        bool m_fArrived;
        TOrvP_PORT_INFO m_rRecord;
        bool m_fChanged;
        QStringList m_aTexts;
    };
    const TStep cSteps[] = {
        {true, Arrived(ORVP_PORT_COM, "COM3", "", ORVR_RD_DESK, 1001), true, {"COM3    Desk s/n 1001"}},
        // Sorted among the others, ordinal: COM10 before COM3.
        {true,
         Arrived(ORVP_PORT_COM, "COM10", "", ORVR_RD_KORVEL, 2002),
         true,
         {"COM10    Korvel s/n 2002", "COM3    Desk s/n 1001"}},
        // The same arrival again changes nothing; one without a reader keeps the reader known.
        {true,
         Arrived(ORVP_PORT_COM, "COM10", "", ORVR_RD_KORVEL, 2002),
         false,
         {"COM10    Korvel s/n 2002", "COM3    Desk s/n 1001"}},
        {true,
         Arrived(ORVP_PORT_COM, "COM3", "", ORVR_RD_UNDEF, 0),
         false,
         {"COM10    Korvel s/n 2002", "COM3    Desk s/n 1001"}},
        {true,
         Arrived(ORVP_PORT_FT, "usb-1", "COM5", ORVR_RD_DESK, 77),
         true,
         {"COM10    Korvel s/n 2002", "COM3    Desk s/n 1001", "COM5    Desk s/n 77"}},
        // A removal names the port by its own type and name.
        {false,
         Record(ORVP_PORT_COM, "COM5"),
         false,
         {"COM10    Korvel s/n 2002", "COM3    Desk s/n 1001", "COM5    Desk s/n 77"}},
        {false,
         Record(ORVP_PORT_FT, "usb-1", "COM5"),
         true,
         {"COM10    Korvel s/n 2002", "COM3    Desk s/n 1001"}},
        {false, Record(ORVP_PORT_COM, "COM10"), true, {"COM3    Desk s/n 1001"}},
        {false, Record(ORVP_PORT_COM, "COM10"), false, {"COM3    Desk s/n 1001"}},
        {false, Record(ORVP_PORT_COM, "COM3"), true, {}},
    };
    TRdPortList lList;
    int lStep = 0;
    for (const TStep& c : cSteps) {
        const bool lChanged = c.m_fArrived ? lList.PortArrived(c.m_rRecord) : lList.PortRemoved(c.m_rRecord);
        EXPECT_EQ(lChanged, c.m_fChanged) << "step " << lStep;
        EXPECT_EQ(Texts(lList), c.m_aTexts) << "step " << lStep;
        ++lStep;
    }
}

TEST(RdPortList, AnArrivalBetweenScansIsNotLostByTheNextScan) {
    TRdPortList lList;
    Scan(lList, {Port(ORVP_PORT_COM, "COM3")});
    EXPECT_TRUE(lList.PortArrived(Arrived(ORVP_PORT_COM, "COM4", "", ORVR_RD_DESK, 4)));
    // A scan that reports both keeps both, with the reader the arrival named.
    EXPECT_FALSE(Scan(lList, {Port(ORVP_PORT_COM, "COM3"), Port(ORVP_PORT_COM, "COM4")}));
    EXPECT_EQ(Texts(lList), (QStringList{"COM3", "COM4    Desk s/n 4"}));
}

TEST(RdPortList, BadIndexIsAnAssertion) {
    TRdPortList lList;
    EXPECT_THROW(lList.GetPort(0), EAssertionFailed);
    Scan(lList, {Port(ORVP_PORT_COM, "COM1")});
    EXPECT_THROW(lList.GetPort(-1), EAssertionFailed);
    EXPECT_THROW(lList.GetPort(1), EAssertionFailed);
}

TEST(RdPortCombo, SerialPortNamesTakeTheLibrarysForm) {
    const std::pair<const char*, const char*> cCases[] = {
        {"COM3", "COM3"},
        {"com3", "COM3"},
        {"COM03", "COM3"},
        {"Com+12", "COM12"},
        {"COM-05", "COM-5"},
        {"COM", "COM"},
        {"COM3a", "COM3a"},
        {"usb-03", "usb-03"},
        {"", ""},
        {"COM2147483648", "COM2147483648"},
    };
    for (const auto& [lName, lWant] : cCases)
        EXPECT_EQ(CanonicalPortText(QString::fromLatin1(lName)), QString::fromLatin1(lWant)) << lName;
}

TEST(RdPortCombo, PortNameIsTheTextBeforeTheFirstBlank) {
    EXPECT_EQ(PortNameOfComboText(QStringLiteral("COM3    Korvel s/n 5")), QStringLiteral("COM3"));
    EXPECT_EQ(PortNameOfComboText(QStringLiteral("COM3")), QStringLiteral("COM3"));
    EXPECT_EQ(PortNameOfComboText(QStringLiteral(" COM3")), QString());
    EXPECT_EQ(PortNameOfComboText(QString()), QString());
}

TEST(RdDetector, ArrivalsAndRemovalsMatchTheConfiguredAndTheSessionPort) {
    struct TCase {
        TOrvP_PORT_INFO m_rRec;
        const char* m_sPort; // configured port, also the session's port
        TOrvP_PORT_TYPE m_nSessionType;
        bool m_fConfigured;
        bool m_fSession;
    } const cCases[] = {
        {Record(ORVP_PORT_COM, "COM3"), "COM3", ORVP_PORT_COM, true, true},
        {Record(ORVP_PORT_COM, "COM3"), "com3", ORVP_PORT_COM, false, false},
        {Record(ORVP_PORT_COM, "COM3"), "COM4", ORVP_PORT_COM, false, false},
        {Record(ORVP_PORT_FT, "USB1", "COM5"), "COM5", ORVP_PORT_COM, true, true},
        {Record(ORVP_PORT_FT, "USB1", "com5"), "COM5", ORVP_PORT_COM, false, false},
        {Record(ORVP_PORT_FT, "USB1", "COM5"), "USB1", ORVP_PORT_FT, true, true},
        {Record(ORVP_PORT_FT, "USB1"), "USB1", ORVP_PORT_COM, true, false},
        {Record(ORVP_PORT_COM, "COM5", "COM5"), "USB1", ORVP_PORT_FT, false, false},
        {Record(ORVP_PORT_FT, "USB1"), "", ORVP_PORT_FT, false, false},
    };
    for (const TCase& c : cCases) {
        const QString lPort = QString::fromLatin1(c.m_sPort);
        EXPECT_EQ(IsConfiguredPort(c.m_rRec, lPort), c.m_fConfigured) << c.m_sPort;
        EXPECT_EQ(IsSessionPort(c.m_rRec, c.m_nSessionType, lPort), c.m_fSession) << c.m_sPort;
    }
}

TEST(RdDetector, ArrivedReaderIsRecognisedByTheFirstDevicesSerialNumber) {
    TOrvP_PORT_INFO lRec = Record(ORVP_PORT_COM, "COM3");
    EXPECT_FALSE(ArrivedPortHasReaderSn(lRec, 0)); // no device at all
    lRec.nDevCount = 2;
    lRec.aDevices[0].nSn = 12;
    lRec.aDevices[1].nSn = 34;
    EXPECT_TRUE(ArrivedPortHasReaderSn(lRec, 12));
    EXPECT_FALSE(ArrivedPortHasReaderSn(lRec, 34));
}

TEST(RdCard, WiegandBaseStationNumbersAreSearchedByTheirLowBytes) {
    struct TCase {
        const char* m_sKey;
        bool m_fKorvel;
        bool m_fWiegand;
        const char* m_sSearch;
    } const cCases[] = {
        {"0000123456", true, true, "123456"},      {"0000123456", true, false, "0000123456"},
        {"0000123456", false, true, "0000123456"}, {"0100123456", true, true, "0100123456"},
        {"00123456", true, true, "123456"}, // four bytes: the missing fifth counts as 0
        {"000123", true, true, "000123"},          {"123456", true, true, "123456"},
    };
    for (const TCase& c : cCases) {
        const TOrv_KEYNUM lKey = KeyForSearch(Key(c.m_sKey), c.m_fKorvel, c.m_fWiegand);
        EXPECT_EQ(KeyNumToStr(lKey, 0), QString::fromLatin1(c.m_sSearch)) << c.m_sKey;
    }
}

class RdCardModes : public ::testing::Test {
protected:
    RdCardModes() {
        m_oDoc.AddCard(Key("AB12"), QStringLiteral("Ann"), QStringLiteral("c1"), 2);
        m_oDoc.AddCard(Key("123456"), QStringLiteral("Bob"), QString(), 0);
        m_oDoc.AddCard(Key("0C0D0E0F10"), QStringLiteral("Cy"), QString(), 1);
    }
    QStringList Numbers() const {
        QStringList lList;
        for (int i = 0; i < m_oDoc.Cards().Count(); ++i)
            lList << KeyNumToStr(m_oDoc.Cards().GetCard(i)->m_Number, 0);
        return lList;
    }
    TLocaleOverride m_oLocale;
    TTarvoDoc m_oDoc;
};

TEST_F(RdCardModes, AddAppendsNewCardsAndSelectsKnownOnesWithAMessage) {
    m_oDoc.SetCardRdMode(crm_Add);
    TCardReadResult lRes = ApplyPresentedCard(m_oDoc, Key("77"), false);
    EXPECT_EQ(lRes.m_nSelectIdx, 3);
    EXPECT_TRUE(lRes.m_sMessage.isEmpty());
    const TCard* lNew = m_oDoc.Cards().GetCard(3);
    EXPECT_TRUE(lNew->m_sUserName.isEmpty() && lNew->m_sComment.isEmpty() && lNew->m_nLevel == 0);

    // Known over the shorter length: AB12 is found by 00AB12, nothing added, the list shows it.
    lRes = ApplyPresentedCard(m_oDoc, Key("00AB12"), false);
    EXPECT_EQ(lRes.m_nSelectIdx, 0);
    EXPECT_EQ(lRes.m_sMessage, QStringLiteral("Key \"00AB12\" already exists."));
    EXPECT_EQ(Numbers(), (QStringList{"AB12", "123456", "0C0D0E0F10", "77"}));

    // In the decimal key view the message shows the decimal text.
    m_oDoc.SetKeyView(KEYVIEW_WINPAK);
    lRes = ApplyPresentedCard(m_oDoc, Key("123456"), false);
    EXPECT_EQ(lRes.m_sMessage, QStringLiteral("Key \"1193046\" already exists."));
}

TEST_F(RdCardModes, AddStoresALongerNumberOfAKnownCardButNeverAShorterOne) {
    m_oDoc.SetCardRdMode(crm_Add);
    ApplyPresentedCard(m_oDoc, Key("FF00123456"), false);
    EXPECT_EQ(Numbers().at(1), QStringLiteral("FF00123456"));
    const TCard* lCard = m_oDoc.Cards().GetCard(1);
    EXPECT_EQ(lCard->m_sUserName, QStringLiteral("Bob")); // the rest of the card stays

    // A 4-byte report of the 5-byte card keeps the 5 bytes.
    ApplyPresentedCard(m_oDoc, Key("0E0F10"), false);
    ApplyPresentedCard(m_oDoc, Key("0D0E0F10"), false);
    EXPECT_EQ(Numbers().at(2), QStringLiteral("0C0D0E0F10"));
    // Three bytes are never stored over a longer number.
    EXPECT_EQ(Numbers().size(), 3);
}

TEST_F(RdCardModes, FindDeleteAndInactive) {
    struct TCase {
        TCardRdMode m_nMode;
        const char* m_sKey;
        int m_nSelect;
        const char* m_sMessage;
        QStringList m_aNumbers;
    } const cCases[] = {
        {crm_Find, "0C0D0E0F10", 2, "", {"AB12", "123456", "0C0D0E0F10"}},
        {crm_Find, "99", -1, "Key \"99\" not found.", {"AB12", "123456", "0C0D0E0F10"}},
        {crm_Delete, "99", -1, "Key \"99\" not found.", {"AB12", "123456", "0C0D0E0F10"}},
        {crm_Delete, "00AB12", -1, "", {"123456", "0C0D0E0F10"}},
        {crm_Inactive, "AB12", -1, "", {"123456", "0C0D0E0F10"}},
        {crm_Inactive, "99", -1, "", {"123456", "0C0D0E0F10"}},
    };
    for (const TCase& c : cCases) {
        m_oDoc.SetCardRdMode(c.m_nMode);
        const TCardReadResult lRes = ApplyPresentedCard(m_oDoc, Key(c.m_sKey), false);
        EXPECT_EQ(lRes.m_nSelectIdx, c.m_nSelect) << c.m_nMode << " " << c.m_sKey;
        EXPECT_EQ(lRes.m_sMessage, QString::fromUtf8(c.m_sMessage)) << c.m_nMode << " " << c.m_sKey;
        EXPECT_EQ(Numbers(), c.m_aNumbers) << c.m_nMode << " " << c.m_sKey;
    }
}

TEST_F(RdCardModes, WiegandBaseStationFindsTheThreeByteCard) {
    m_oDoc.SetKorvelWiegand(true);
    m_oDoc.SetCardRdMode(crm_Add);
    // 0000123456 from a base station: Bob's 123456, no upgrade to five bytes, no new card.
    TCardReadResult lRes = ApplyPresentedCard(m_oDoc, Key("0000123456"), true);
    EXPECT_EQ(lRes.m_nSelectIdx, 1);
    EXPECT_EQ(lRes.m_sMessage, QStringLiteral("Key \"123456\" already exists."));
    EXPECT_EQ(Numbers(), (QStringList{"AB12", "123456", "0C0D0E0F10"}));

    // From another reader type the same bytes are a longer number of Bob's card.
    ApplyPresentedCard(m_oDoc, Key("0000123456"), false);
    EXPECT_EQ(Numbers().at(1), QStringLiteral("0000123456"));

    m_oDoc.SetCardRdMode(crm_Delete);
    ApplyPresentedCard(m_oDoc, Key("0000AB12"), true); // searched as 00AB12: Ann's AB12
    EXPECT_EQ(Numbers(), (QStringList{"0000123456", "0C0D0E0F10"}));
}
