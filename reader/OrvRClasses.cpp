#include "reader/OrvRClasses.h"

#include "base/uPaths.h"
#include "reader/uOrvMsgWindow.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>

namespace {

const char* const UnitName = "OrvRClasses";
constexpr std::uint32_t NotifyCheckPeriod = 300;

// The named mutex "OrvPortMutex": an flock on <runtime>/OrvPortMutex, shared by every process of the
// user, released with its holder's end in any case. Without a file there is no lock, as a mutex that
// cannot be created is not waited for.
class TPortMutex {
public:
    TPortMutex() {
        const QByteArray lPath = JoinPath(RuntimeDir(), QStringLiteral("OrvPortMutex")).toLocal8Bit();
        m_hFile = open(lPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (m_hFile < 0)
            return;
        while (flock(m_hFile, LOCK_EX) != 0)
            if (errno != EINTR) {
                Release();
                return;
            }
    }
    ~TPortMutex() { Release(); }
    TPortMutex(const TPortMutex&) = delete;
    TPortMutex& operator=(const TPortMutex&) = delete;
    void Release() {
        if (m_hFile >= 0)
            close(m_hFile); // also ends the lock
        m_hFile = -1;
    }

private:
    int m_hFile = -1;
};

// Ends a card search on every path.
class TCardSearch {
public:
    explicit TCardSearch(HORV AHandle) : m_hRd(AHandle) {}
    ~TCardSearch() { OrvR_Rd_FindNextCard(m_hRd, nullptr); }
    TCardSearch(const TCardSearch&) = delete;
    TCardSearch& operator=(const TCardSearch&) = delete;

private:
    HORV m_hRd;
};

} // namespace

TOrvReader::TOrvReader() {
    CheckOrvResult(OrvR_Initialize(0));
    FStopBits = 2;
}

TOrvReader::TOrvReader(const QString& APortName, TOrvP_PORT_TYPE APortType)
    : FPortName(APortName), FPortType(APortType) {
    CheckOrvResult(OrvR_Initialize(0));
}

TOrvReader::~TOrvReader() {
    if (m_hRd != 0)
        OrvP_CloseHandle(m_hRd);
    m_hRd = 0;
    OrvR_Finalyze();
    DestroyWindow();
}

void TOrvReader::SetActive(bool AValue) {
    if (AValue == Active())
        return;
    if (AValue)
        Open();
    else
        Close();
}

void TOrvReader::Open() {
    TARVO_ASSERT(!Active(), UnitName);
    try {
        TPortMutex lMutex;
        TOrv_CHAR lName[ORVP_PORT_NAME_MAX] = {};
        const qsizetype lLen = std::min<qsizetype>(FPortName.size(), ORVP_PORT_NAME_MAX - 1);
        for (qsizetype i = 0; i < lLen; ++i)
            lName[i] = FPortName.at(i).unicode();
        TOrvR_RD_OPEN_PARAMS lParams{};
        lParams.nPortType = FPortType;
        lParams.pszPortName = lName;
        lParams.nReserved = 0;
        lParams.nRdType = m_nRdType;
        lParams.pWaitSettings = &m_rWS;
        lParams.nStopBits = FStopBits;
        lParams.nFlags = FOpenFlags;
        TOrvR_RD_INFO lInfo{};
        HORV lHandle = 0;
        const std::int32_t r = OrvR_Rd_Open(&lHandle, &lParams, &lInfo);
        m_hRd = r >= 0 ? lHandle : 0;
        lMutex.Release();
        CheckOrvResult(r);
        m_nRdType = lInfo.nType;
        m_nSn = lInfo.rBase.nSn;
        m_nVersion = lInfo.rBase.nVersion;
        if (FNotifications)
            InstallNotifications();
    } catch (...) {
        Close();
        throw;
    }
}

void TOrvReader::Close() {
    if (m_hRd != 0)
        OrvP_CloseHandle(m_hRd);
    m_hRd = 0;
    m_nRdType = ORVR_RD_UNDEF;
    DestroyWindow();
}

void TOrvReader::SetNotifications(bool AValue) {
    if (AValue == FNotifications)
        return;
    if (Active()) {
        if (AValue)
            InstallNotifications();
        else
            RemoveNotifications();
    }
    FNotifications = AValue;
}

void TOrvReader::InstallNotifications() {
    TARVO_ASSERT(Active(), UnitName);
    if (!m_hWindow)
        m_hWindow = new TOrvMsgWindow([this](std::uint32_t AMsg) { WndProc(AMsg); });
    TOrvR_NOTIFY_SETTINGS lSettings{};
    lSettings.nEventMask = ORVR_NF_CARDS;
    if (FOnInputsChange)
        lSettings.nEventMask |= ORVR_NF_INPUTS;
    if (FOnIndFlashEnd)
        lSettings.nEventMask |= ORVR_NF_IND_FLASH;
    if (FOnError)
        lSettings.nEventMask |= ORVR_NF_ERROR;
    if (FOnConnectChange)
        lSettings.nEventMask |= ORVR_NF_CONNECTION;
    lSettings.nReserved1 = 0;
    lSettings.pWindow = m_hWindow->Target();
    lSettings.nMessage = WM_ORVR_NOTIFY;
    lSettings.nReserved2 = 0;
    lSettings.nCheckPeriod = NotifyCheckPeriod;
    CheckOrvResult(OrvR_Rd_SetNotification(m_hRd, &lSettings));
}

void TOrvReader::RemoveNotifications() {
    CheckOrvResult(OrvR_Rd_SetNotification(m_hRd, nullptr));
    DestroyWindow();
}

void TOrvReader::DestroyWindow() {
    if (!m_hWindow)
        return;
    m_hWindow->Detach();
    // A handler may close the session from inside the window's own procedure.
    if (m_hWindow->InWndProc())
        m_hWindow->deleteLater();
    else
        delete m_hWindow;
    m_hWindow = nullptr;
}

void TOrvReader::WndProc(std::uint32_t AMsg) {
    if (AMsg == WM_ORVR_NOTIFY)
        DrainMessages();
}

void TOrvReader::DrainMessages() {
    std::uint32_t lKind = 0;
    intptr_t lParam = 0;
    // A handler may close the session; the next round then stops.
    while (m_hRd != 0 && OrvR_Rd_GetNextMessage(m_hRd, &lKind, &lParam) == ORV_OK) {
        switch (lKind) {
        case ORVR_MK_CARD_INSERT:
            if (FOnCardInsert)
                FOnCardInsert(this, reinterpret_cast<const TOrvR_CARD_INFO*>(lParam));
            break;
        case ORVR_MK_CARD_REMOVE:
            if (FOnCardRemove)
                FOnCardRemove(this, reinterpret_cast<const TOrvR_CARD_INFO*>(lParam));
            break;
        case ORVR_MK_CARD_UNKNOWN:
            if (FOnCardUnknown)
                FOnCardUnknown(this, lParam ? QString::fromUtf16(reinterpret_cast<const char16_t*>(lParam))
                                            : QString());
            break;
        case ORVR_MK_INPUTS_CHANGE:
            if (FOnInputsChange)
                FOnInputsChange(this, std::uint32_t(lParam));
            break;
        case ORVR_MK_IND_FLASH_END:
            if (FOnIndFlashEnd)
                FOnIndFlashEnd(this);
            break;
        case ORVR_MK_ERROR:
            if (FOnError && lParam)
                FOnError(this, *reinterpret_cast<const std::int32_t*>(lParam));
            break;
        case ORVR_MK_CONNECTION:
            if (FOnConnectChange)
                FOnConnectChange(this);
            break;
        default:
            break; // kinds of newer libraries
        }
    }
}

void TOrvReader::RequireActive() const {
    TARVO_ASSERT(Active(), UnitName);
}

TOrvP_CONNECTION_STATUS TOrvReader::GetConnectionStatus() {
    RequireActive();
    TOrvP_CONNECTION_STATUS lStatus = ORVP_CS_UNDEF;
    CheckOrvResult(OrvR_Rd_GetConnectionStatus(m_hRd, &lStatus));
    return lStatus;
}

void TOrvReader::SetWaitSettings(const TOrvP_WAIT_SETTINGS& ASetting) {
    m_rWS = ASetting;
    if (Active())
        CheckOrvResult(OrvR_Rd_SetWaitSettings(m_hRd, &ASetting));
}

void TOrvReader::GetWaitSettings(TOrvP_WAIT_SETTINGS& VSetting) {
    RequireActive();
    CheckOrvResult(OrvR_Rd_GetWaitSettings(m_hRd, &VSetting));
}

void TOrvReader::SetCapture() {
    RequireActive();
    CheckOrvResult(OrvR_Rd_SetCapture(m_hRd));
}

void TOrvReader::ReleaseCapture() {
    RequireActive();
    CheckOrvResult(OrvR_Rd_ReleaseCapture(m_hRd));
}

void TOrvReader::GetInformation(TOrvR_RD_INFO& VInfo) {
    RequireActive();
    CheckOrvResult(OrvR_Rd_GetInformation(m_hRd, &VInfo));
}

bool TOrvReader::FindCard(TOrvR_CARD_TYPE& VType, TOrv_KEYNUM& VNum) {
    RequireActive();
    CheckOrvResult(OrvR_Rd_SearchCards(m_hRd, 1, 0));
    std::int32_t r;
    {
        TCardSearch lSearch(m_hRd);
        TOrvR_CARD_INFO lInfo{};
        r = OrvR_Rd_FindNextCard(m_hRd, &lInfo);
        if (r == ORV_OK) {
            VType = lInfo.nType;
            VNum = CardKeyNum(lInfo);
        }
    }
    CheckOrvResult(r);
    return r == ORV_OK;
}

void TOrvReader::EnumCards(std::vector<TOrvR_CARD_INFO>& VArr, std::uint32_t AMax) {
    RequireActive();
    VArr.clear();
    CheckOrvResult(OrvR_Rd_SearchCards(m_hRd, AMax, 0));
    TCardSearch lSearch(m_hRd);
    std::int32_t r;
    TOrvR_CARD_INFO lInfo{};
    while ((r = OrvR_Rd_FindNextCard(m_hRd, &lInfo)) == ORV_OK)
        VArr.push_back(lInfo);
    CheckOrvResult(r);
}

void TOrvReader::EnumCards(const TOrvREnumCardsProc& AEnumProc, void* AUserData) {
    RequireActive();
    // No limit: the callback decides when to stop.
    CheckOrvResult(OrvR_Rd_SearchCards(m_hRd, 0xFFFFFFFFu, 0));
    TCardSearch lSearch(m_hRd);
    for (;;) {
        TOrvR_CARD_INFO lInfo{};
        std::int32_t r = OrvR_Rd_FindNextCard(m_hRd, &lInfo);
        CheckOrvResult(r);
        if (r != ORV_OK || !AEnumProc(lInfo, AUserData))
            break;
    }
}

void TOrvReader::ReadULCard4Page(std::uint32_t APageN, std::uint8_t* VBuf16) {
    RequireActive();
    CheckOrvResult(OrvR_Rd_ReadULCard4Page(m_hRd, APageN, VBuf16));
}

void TOrvReader::WriteULCardPage(std::uint32_t APageN, const std::uint8_t* AData4) {
    RequireActive();
    CheckOrvResult(OrvR_Rd_WriteULCardPage(m_hRd, APageN, AData4));
}

bool TOrvReader::UpdateFirmware(const std::uint8_t* AData, std::uint32_t ACount,
                                TOrvR_PROGRESS_CALLBACK ACallback, void* AUserData) {
    RequireActive();
    const std::int32_t r = OrvR_Rd_UpdateFirmware(m_hRd, AData, ACount, ACallback, AUserData);
    CheckOrvResult(r);
    return r != ORV_S_CANCELLED;
}

bool TOrvReader::FindT57(TOrv_KEYNUM& VNum, std::uint32_t& VPar, std::uint32_t APsw, std::uint32_t AFlags) {
    RequireActive();
    TOrv_KEYNUM_C lNum = {};
    const std::int32_t r = OrvR_Rd_FindT57(m_hRd, lNum, &VPar, APsw, AFlags);
    if (r == ORV_E_NO_CARD)
        return false;
    CheckOrvResult(r);
    std::copy(std::begin(lNum), std::end(lNum), VNum.begin());
    return true;
}

void TOrvReader::ReadT57Block(std::uint32_t ABlockN, std::uint8_t* VBuf4, std::uint32_t APar,
                              std::uint32_t APsw, std::uint32_t AFlags) {
    RequireActive();
    CheckOrvResult(OrvR_Rd_ReadT57Block(m_hRd, ABlockN, VBuf4, APar, APsw, AFlags));
}

void TOrvReader::WriteT57Block(std::uint32_t ABlockN, const std::uint8_t* ABuf4, std::uint32_t APar,
                               std::uint32_t APsw, std::uint32_t AFlags) {
    RequireActive();
    CheckOrvResult(OrvR_Rd_WriteT57Block(m_hRd, ABlockN, ABuf4, APar, APsw, AFlags));
}

void TOrvReader::ResetT57() {
    RequireActive();
    CheckOrvResult(OrvR_Rd_ResetT57(m_hRd));
}
