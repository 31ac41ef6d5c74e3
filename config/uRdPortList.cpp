#include "config/uRdPortList.h"

#include "base/uExceptions.h"
#include "base/uMessages.h"
#include "base/uPortName.h"

#include <algorithm>

namespace ConfigTarvo {

namespace {

// Display names of the reader types, indexed by TOrvR_RD_TYPE.
const char* const c_aModelNames[ORVR_RD_TYPE_COUNT] = {
    "Unknown", "Desk", "Desk MF", "Prox", "Prox MF", "Guard", "Guard MF", "Korvel", "Keyboard", "Serial text",
};

// A zero-terminated name field of a port record; a field without terminator ends at its size.
QString NameField(const TOrv_CHAR (&AField)[ORVP_PORT_NAME_MAX]) {
    int lLen = 0;
    while (lLen < ORVP_PORT_NAME_MAX && AField[lLen] != 0)
        ++lLen;
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(AField), lLen);
}

} // namespace

QString ReaderModelName(TOrvR_RD_TYPE AModel) {
    return QString::fromLatin1(AModel < ORVR_RD_TYPE_COUNT ? c_aModelNames[AModel] : c_aModelNames[0]);
}

QString TRdPort::BaseText() const {
    if (m_nPortType == ORVP_PORT_FT && !m_sFriendly.isEmpty())
        return m_sFriendly;
    return m_sPort;
}

QString TRdPort::DisplayText() const {
    QString lText = BaseText();
    if (m_nRdModel != ORVR_RD_UNDEF)
        lText += QStringLiteral("    ") +
                 FormatResString(MSG_READER_SN, {ReaderModelName(m_nRdModel), std::int64_t(m_nRdSn)});
    return lText;
}

TRdPort PortOfRecord(const TOrvP_PORT_INFO& ARecord) {
    TRdPort lPort;
    lPort.m_nPortType = ARecord.nType;
    lPort.m_sPort = NameField(ARecord.szName);
    lPort.m_sFriendly = NameField(ARecord.szFriendly);
    return lPort;
}

// ---- the list ---------------------------------------------------------------------------------------

const TRdPort& TRdPortList::GetPort(int AIdx) const {
    TARVO_ASSERT(AIdx >= 0 && AIdx < Count(), "uRdPortList");
    return m_aPorts[size_t(AIdx)];
}

int TRdPortList::FindPortIndex(TOrvP_PORT_TYPE AType, const QString& AName) const {
    for (int i = 0; i < Count(); ++i) {
        const TRdPort& lPort = m_aPorts[size_t(i)];
        if (lPort.m_nPortType == AType && lPort.m_sPort == AName)
            return i;
        // A USB port without a second name must not pass for an empty serial-port name.
        if (AType == ORVP_PORT_COM && lPort.m_nPortType == ORVP_PORT_FT && !lPort.m_sFriendly.isEmpty() &&
            lPort.m_sFriendly.compare(AName, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int TRdPortList::FindPortBySn(std::int32_t ASn) const {
    for (int i = 0; i < Count(); ++i) {
        const TRdPort& lPort = m_aPorts[size_t(i)];
        if (lPort.m_nRdModel != ORVR_RD_UNDEF && lPort.m_nRdSn == ASn)
            return i;
    }
    return -1;
}

void TRdPortList::BeginScan() {
    m_aSeen.assign(m_aPorts.size(), false);
}

void TRdPortList::MergePort(const TRdPort& ARecord, const TOrvR_RD_INFO* AReader, bool& VChanged) {
    int i = FindPortIndex(ARecord.m_nPortType, ARecord.m_sPort);
    // A USB reader also reachable as a serial port may have been stored under that serial name.
    if (i < 0 && ARecord.m_nPortType == ORVP_PORT_FT && !ARecord.m_sFriendly.isEmpty())
        i = FindPortIndex(ORVP_PORT_COM, ARecord.m_sFriendly);
    if (i < 0) {
        TRdPort lPort = ARecord;
        lPort.m_nRdModel = AReader ? AReader->nType : ORVR_RD_UNDEF;
        lPort.m_nRdSn = AReader ? AReader->rBase.nSn : 0;
        m_aPorts.push_back(lPort);
        VChanged = true;
        return;
    }
    if (size_t(i) < m_aSeen.size())
        m_aSeen[size_t(i)] = true;
    TRdPort& lPort = m_aPorts[size_t(i)];
    if (lPort.m_nPortType != ARecord.m_nPortType || lPort.m_sPort != ARecord.m_sPort ||
        lPort.m_sFriendly != ARecord.m_sFriendly) {
        lPort.m_nPortType = ARecord.m_nPortType;
        lPort.m_sPort = ARecord.m_sPort;
        lPort.m_sFriendly = ARecord.m_sFriendly;
        VChanged = true;
    }
    if (AReader && (lPort.m_nRdModel != AReader->nType || lPort.m_nRdSn != AReader->rBase.nSn)) {
        lPort.m_nRdModel = AReader->nType;
        lPort.m_nRdSn = AReader->rBase.nSn;
        VChanged = true;
    }
}

void TRdPortList::MarkSessionPort(TOrvP_PORT_TYPE AType, const QString& AName, TOrvR_RD_TYPE AModel,
                                  std::int32_t ASn) {
    const int i = FindPortIndex(AType, AName);
    if (i < 0)
        return;
    if (size_t(i) < m_aSeen.size())
        m_aSeen[size_t(i)] = true;
    m_aPorts[size_t(i)].m_nRdModel = AModel;
    m_aPorts[size_t(i)].m_nRdSn = ASn;
}

bool TRdPortList::EndScan(bool AMergeChanged) {
    bool lChanged = AMergeChanged;
    for (int i = int(m_aSeen.size()) - 1; i >= 0; --i) {
        if (!m_aSeen[size_t(i)]) {
            m_aPorts.erase(m_aPorts.begin() + i);
            lChanged = true;
        }
    }
    m_aSeen.clear();
    if (AMergeChanged)
        SortByBaseText();
    return lChanged;
}

void TRdPortList::SortByBaseText() {
    std::stable_sort(m_aPorts.begin(), m_aPorts.end(),
                     [](const TRdPort& A, const TRdPort& B) { return A.BaseText() < B.BaseText(); });
}

bool TRdPortList::PortArrived(const TOrvP_PORT_INFO& ARecord) {
    // Between scans nothing is unseen: a merge here never deletes.
    m_aSeen.clear();
    TOrvR_RD_INFO lReader{};
    const bool lHasReader = ARecord.nDevCount >= 1 && ARecord.nDevCount <= ORVP_PORT_MAX_DEVICES &&
                            ARecord.aDevices[0].nTypeId == ORVP_DEVTYPE_READER;
    if (lHasReader) {
        lReader.rBase = ARecord.aDevices[0];
        lReader.nType =
            ARecord.aDevices[0].nModel < ORVR_RD_TYPE_COUNT ? ARecord.aDevices[0].nModel : ORVR_RD_UNDEF;
    }
    bool lChanged = false;
    MergePort(ARecord, lHasReader ? &lReader : nullptr, lChanged);
    if (lChanged)
        SortByBaseText();
    return lChanged;
}

bool TRdPortList::PortRemoved(const TOrvP_PORT_INFO& ARecord) {
    const TRdPort lGone = PortOfRecord(ARecord);
    // Exactly the port that went: a USB reader answering to a serial name is not that serial port.
    const auto lIt = std::find_if(m_aPorts.begin(), m_aPorts.end(), [&lGone](const TRdPort& APort) {
        return APort.m_nPortType == lGone.m_nPortType && APort.m_sPort == lGone.m_sPort;
    });
    if (lIt == m_aPorts.end())
        return false;
    m_aPorts.erase(lIt);
    return true;
}

// ---- combo and detector -----------------------------------------------------------------------------

QString PortNameOfComboText(const QString& AText) {
    const qsizetype lBlank = AText.indexOf(QLatin1Char(' '));
    return lBlank < 0 ? AText : AText.left(lBlank);
}

QString CanonicalPortText(const QString& AName) {
    if (PortTypeOfName(AName) != TPortKind::Com)
        return AName;
    bool lOk = false;
    const qint64 lNumber = QStringView(AName).mid(3).toLongLong(&lOk);
    return lOk ? QStringLiteral("COM%1").arg(lNumber) : AName;
}

bool ArrivedPortHasReaderSn(const TOrvP_PORT_INFO& ARecord, std::int32_t ASn) {
    return ARecord.nDevCount >= 1 && ARecord.aDevices[0].nSn == ASn;
}

bool IsConfiguredPort(const TOrvP_PORT_INFO& ARecord, const QString& AReaderPort) {
    if (AReaderPort.isEmpty())
        return false;
    const TOrvP_PORT_TYPE lType = TOrvP_PORT_TYPE(PortTypeOfName(AReaderPort));
    if (ARecord.nType == lType && NameField(ARecord.szName) == AReaderPort)
        return true;
    return ARecord.nType == ORVP_PORT_FT && lType == ORVP_PORT_COM &&
           NameField(ARecord.szFriendly) == AReaderPort;
}

bool IsSessionPort(const TOrvP_PORT_INFO& ARecord, TOrvP_PORT_TYPE ASessionType,
                   const QString& ASessionPort) {
    if (ARecord.nType == ASessionType && NameField(ARecord.szName) == ASessionPort)
        return true;
    return ARecord.nType == ORVP_PORT_FT && ASessionType == ORVP_PORT_COM &&
           NameField(ARecord.szFriendly) == ASessionPort;
}

// ---- presented cards --------------------------------------------------------------------------------

TOrv_KEYNUM KeyForSearch(const TOrv_KEYNUM& ANumber, bool AKorvelReader, bool AKorvelWiegand) {
    TOrv_KEYNUM lKey = ANumber;
    if (AKorvelReader && AKorvelWiegand && lKey[0] > 3 && lKey[4] == 0 && lKey[5] == 0) {
        lKey[0] = 3;
        std::fill(lKey.begin() + 4, lKey.end(), std::uint8_t(0));
    }
    return lKey;
}

TCardReadResult ApplyPresentedCard(TTarvoDoc& ADoc, const TOrv_KEYNUM& ANumber, bool AKorvelReader) {
    TCardReadResult lResult;
    const TOrv_KEYNUM lKey = KeyForSearch(ANumber, AKorvelReader, ADoc.KorvelWiegand());
    const int i = ADoc.FindCardByNumber(lKey);
    const QString lKeyText = KeyNumToStr(lKey, ADoc.KeyView());
    switch (ADoc.CardRdMode()) {
    case crm_Add:
        if (i < 0) {
            lResult.m_nSelectIdx = ADoc.AddCard(ANumber, QString(), QString(), 0);
            break;
        }
        {
            // A reader that reports more bytes of a known card upgrades the stored number; a shorter
            // report never cuts the stored one down.
            const TCard lCard = *ADoc.Cards().GetCard(i);
            if (lKey[0] > 3 && lKey[0] > lCard.m_Number[0] && CompareKeyNums(lKey, lCard.m_Number) != 0)
                ADoc.SetCard(i, lKey, lCard.m_sUserName, lCard.m_sComment, lCard.m_nLevel);
        }
        lResult.m_nSelectIdx = i;
        lResult.m_sMessage = FormatResString(MSG_KEY_EXISTS, {lKeyText});
        break;
    case crm_Find:
        if (i < 0)
            lResult.m_sMessage = FormatResString(MSG_KEY_NOT_FOUND, {lKeyText});
        else
            lResult.m_nSelectIdx = i;
        break;
    case crm_Delete:
        if (i < 0)
            lResult.m_sMessage = FormatResString(MSG_KEY_NOT_FOUND, {lKeyText});
        else
            ADoc.DeleteCard(i);
        break;
    case crm_Inactive:
        break;
    }
    return lResult;
}

} // namespace ConfigTarvo
