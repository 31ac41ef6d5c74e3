#pragma once
// The reader session: one card reader opened through the reader library. It opens and closes the
// reader's port under the cross-process lock "OrvPortMutex", turns the library's queued notifications
// into events on the GUI thread, and turns every failed library call into an EOrvRError.

#include "reader/OrvPClasses.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

class TOrvMsgWindow;
class TOrvReader;

// Message number of the session's notifications (WM_USER + 1).
inline constexpr std::uint32_t WM_ORVR_NOTIFY = 1025;

using TOrvRCardEvent = std::function<void(TOrvReader* ASender, const TOrvR_CARD_INFO* AInfo)>;
using TOrvRCardUnknownEvent = std::function<void(TOrvReader* ASender, const QString& AText)>;
using TOrvRInputsChangeEvent = std::function<void(TOrvReader* ASender, std::uint32_t ANewState)>;
using TOrvRNotifyEvent = std::function<void(TOrvReader* ASender)>;
using TOrvPErrorEvent = std::function<void(TOrvReader* ASender, std::int32_t AErrCode)>;
// Callback of EnumCards: false stops the enumeration.
using TOrvREnumCardsProc = std::function<bool(const TOrvR_CARD_INFO& AInfo, void* AUserData)>;

class TOrvReader {
public:
    // Initialises the library (a counted pair with the destructor); stop bits 2.
    TOrvReader();
    // Sets name and type; stop bits stay 0.
    TOrvReader(const QString& APortName, TOrvP_PORT_TYPE APortType);
    ~TOrvReader();
    TOrvReader(const TOrvReader&) = delete;
    TOrvReader& operator=(const TOrvReader&) = delete;

    bool Active() const { return m_hRd != 0; }
    // Opens (true) or closes (false); the current value does nothing. A failed open leaves the
    // session closed and raises.
    void SetActive(bool AValue);
    HORV Handle() const { return m_hRd; }

    bool Notifications() const { return FNotifications; }
    // Installs or removes the notifications while open; while closed only records the wish. The event
    // mask is fixed at install time: assign the handlers first.
    void SetNotifications(bool AValue);

    const TOrvRCardEvent& OnCardInsert() const { return FOnCardInsert; }
    void SetOnCardInsert(TOrvRCardEvent A) { FOnCardInsert = std::move(A); }
    const TOrvRCardEvent& OnCardRemove() const { return FOnCardRemove; }
    void SetOnCardRemove(TOrvRCardEvent A) { FOnCardRemove = std::move(A); }
    const TOrvRCardUnknownEvent& OnCardUnknown() const { return FOnCardUnknown; }
    void SetOnCardUnknown(TOrvRCardUnknownEvent A) { FOnCardUnknown = std::move(A); }
    const TOrvRInputsChangeEvent& OnInputsChange() const { return FOnInputsChange; }
    void SetOnInputsChange(TOrvRInputsChangeEvent A) { FOnInputsChange = std::move(A); }
    const TOrvRNotifyEvent& OnIndFlashEnd() const { return FOnIndFlashEnd; }
    void SetOnIndFlashEnd(TOrvRNotifyEvent A) { FOnIndFlashEnd = std::move(A); }
    const TOrvPErrorEvent& OnError() const { return FOnError; }
    void SetOnError(TOrvPErrorEvent A) { FOnError = std::move(A); }
    const TOrvRNotifyEvent& OnConnectionChange() const { return FOnConnectChange; }
    void SetOnConnectionChange(TOrvRNotifyEvent A) { FOnConnectChange = std::move(A); }

    const QString& PortName() const { return FPortName; }
    void SetPortName(const QString& AValue) { FPortName = AValue; }
    TOrvP_PORT_TYPE PortType() const { return FPortType; }
    void SetPortType(TOrvP_PORT_TYPE AValue) { FPortType = AValue; }
    std::uint8_t StopBits() const { return FStopBits; }
    void SetStopBits(std::uint8_t AValue) { FStopBits = AValue; }
    std::uint32_t OpenFlags() const { return FOpenFlags; }
    void SetOpenFlags(std::uint32_t AValue) { FOpenFlags = AValue; }
    const TOrvP_WAIT_SETTINGS& WaitSettings() const { return m_rWS; }
    // The library's settings of the open reader too when open; always those of the next open.
    void SetWaitSettings(const TOrvP_WAIT_SETTINGS& ASetting);
    // Type of the open reader; while closed, the type expected at the next open (undefined: any).
    TOrvR_RD_TYPE RdType() const { return m_nRdType; }
    void SetRdType(TOrvR_RD_TYPE AValue) { m_nRdType = AValue; }
    std::int32_t Sn() const { return m_nSn; }
    std::uint32_t Version() const { return m_nVersion; }

    // Forwarding operations; each requires an open session.
    TOrvP_CONNECTION_STATUS GetConnectionStatus();
    void GetWaitSettings(TOrvP_WAIT_SETTINGS& VSetting);
    void SetCapture();
    void ReleaseCapture();
    void GetInformation(TOrvR_RD_INFO& VInfo);
    // The first card in the field; false when there is none.
    bool FindCard(TOrvR_CARD_TYPE& VType, TOrv_KEYNUM& VNum);
    void EnumCards(std::vector<TOrvR_CARD_INFO>& VArr, std::uint32_t AMax);
    void EnumCards(const TOrvREnumCardsProc& AEnumProc, void* AUserData);
    void ReadULCard4Page(std::uint32_t APageN, std::uint8_t* VBuf16);
    void WriteULCardPage(std::uint32_t APageN, const std::uint8_t* AData4);
    // False when the callback stopped the update.
    bool UpdateFirmware(const std::uint8_t* AData, std::uint32_t ACount, TOrvR_PROGRESS_CALLBACK ACallback,
                        void* AUserData);
    // False, without raising, when no T5557 card is in the field.
    bool FindT57(TOrv_KEYNUM& VNum, std::uint32_t& VPar, std::uint32_t APsw, std::uint32_t AFlags);
    void ReadT57Block(std::uint32_t ABlockN, std::uint8_t* VBuf4, std::uint32_t APar, std::uint32_t APsw,
                      std::uint32_t AFlags);
    void WriteT57Block(std::uint32_t ABlockN, const std::uint8_t* ABuf4, std::uint32_t APar,
                       std::uint32_t APsw, std::uint32_t AFlags);
    void ResetT57();

private:
    void Open();
    void Close();
    void InstallNotifications();
    void RemoveNotifications();
    void DestroyWindow();
    void WndProc(std::uint32_t AMsg);
    void DrainMessages();
    void RequireActive() const;

    QString FPortName;
    TOrvP_PORT_TYPE FPortType = ORVP_PORT_UNDEF;
    std::uint8_t FStopBits = 0;
    std::uint32_t FOpenFlags = 0;
    bool FNotifications = false;
    TOrvRCardEvent FOnCardInsert, FOnCardRemove;
    TOrvRCardUnknownEvent FOnCardUnknown;
    TOrvRInputsChangeEvent FOnInputsChange;
    TOrvRNotifyEvent FOnIndFlashEnd;
    TOrvPErrorEvent FOnError;
    TOrvRNotifyEvent FOnConnectChange;
    HORV m_hRd = 0;
    TOrvMsgWindow* m_hWindow = nullptr;
    TOrvR_RD_TYPE m_nRdType = ORVR_RD_UNDEF;
    std::int32_t m_nSn = 0;
    std::uint32_t m_nVersion = 0;
    TOrvP_WAIT_SETTINGS m_rWS{};
};
