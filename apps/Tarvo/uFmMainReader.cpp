// The main window's reader attachment: starting the reader library, connecting the reader by port or
// by serial number, following port arrival and removal, filtering repeated cards, and the timed
// outputs of the base station.

#include "apps/Tarvo/uFmMain.h"

#include "base/uClock.h"
#include "base/uMessages.h"
#include "base/uPortName.h"
#include "frontdesk/uTarvoDoc.h"
#include "gui/uErrorBox.h"
#include "reader/OrvRClasses.h"
#include "reader/uOrvMsgWindow.h"

#include <QMessageBox>
#include <QTimer>

using namespace Tarvo;

namespace {

constexpr std::int32_t ErrPortNotFound = static_cast<std::int32_t>(0x80040203u);
constexpr std::uint32_t OutputLedG = 0, OutputLedR = 1, OutputBeep = 2, OutputPower = 3;

TOrvP_PORT_TYPE PortTypeOf(const QString& AName) {
    return static_cast<TOrvP_PORT_TYPE>(PortTypeOfName(AName));
}

QString FromOrvText(const TOrv_CHAR* AText) {
    return QString::fromUtf16(reinterpret_cast<const char16_t*>(AText));
}

// A port record stands for the name AName of type AType: by its own name and type, or, for a USB
// reader, by the serial-port name it also answers to.
bool PortMatches(const TOrvP_PORT_INFO& APort, const QString& AName, TOrvP_PORT_TYPE AType) {
    if (APort.nType == AType && FromOrvText(APort.szName) == AName)
        return true;
    return APort.nType == ORVP_PORT_FT && AType == ORVP_PORT_COM && FromOrvText(APort.szFriendly) == AName;
}

} // namespace

// ---- start and end of the library ------------------------------------------------------------------

bool TfmMain::StartReaderLibrary() {
    if (!CheckOrvVersion()) {
        QMessageBox::critical(isVisible() ? this : nullptr, LoadResString(MSG_APP_TITLE),
                              LoadResString(MSG_WRONG_ORV_VERSION));
        EndProgram(1);
        return false;
    }
    CheckOrvResult(OrvR_Initialize(0x102));
    m_fOrvRInit = true;

    TOrvP_DD_GLOBAL_SETTINGS lGlobal{};
    if (OrvP_DD_GetGlobalSettings(&lGlobal) == 0) {
        lGlobal.nComScanMask = 0xFFFFFFFFu;
        lGlobal.nFtScanMask = 0xFFFFFFFFu;
        OrvP_DD_SetGlobalSettings(&lGlobal);
    }

    m_oDetectorWnd = std::make_unique<TOrvMsgWindow>([this](std::uint32_t AMsg) {
        if (AMsg == WM_DETECTOR)
            DetectorMessage();
    });
    m_hRdDetector = RegisterDetector(*m_oDetectorWnd, 0x3001, WM_DETECTOR, READER_DEVICE_MASK);

    m_oRd = std::make_unique<TOrvReader>();
    m_oRd->SetOnCardInsert([this](TOrvReader*, const TOrvR_CARD_INFO* AInfo) {
        if (AInfo)
            HandleCard(AInfo->nType, CardKeyNum(*AInfo));
    });
    m_oRd->SetOnError([this](TOrvReader*, std::int32_t) { ReaderError(); });
    m_oRd->SetNotifications(true);
    return true;
}

void TfmMain::FinishReaderLibrary() {
    if (!m_fOrvRInit)
        return;
    CloseDetector(m_hRdDetector, m_oDetectorWnd);
    OrvR_Finalyze();
    m_fOrvRInit = false;
}

// ---- connecting -----------------------------------------------------------------------------------

void TfmMain::OpenOnConfiguredPort() {
    const QString& lPort = m_oDoc->ReaderPort();
    m_oRd->SetPortName(lPort);
    m_oRd->SetPortType(PortTypeOf(lPort));
    m_oRd->SetOpenFlags(m_oDoc->KorvelWiegand() ? 2u : 0u);
    m_oRd->SetActive(true);
}

void TfmMain::AfterReaderOpened() {
    UpdateCaption();
    UpdateReaderState();
    if (IsKorvel()) {
        m_nKorvelState = 0; // nothing known of the outputs after an opening
        ApplyKorvelOutputs();
    }
}

bool TfmMain::IsKorvel() const {
    return m_oRd && m_oRd->Active() && m_oRd->RdType() == ORVR_RD_KORVEL;
}

bool TfmMain::SearchReaderPort(QString& VPortName) {
    TOrvP_WAIT_SETTINGS lWait{};
    lWait.nReplyTimeout = 1500;
    lWait.nMaxTries = 1;
    lWait.nCheckPeriod = 50;
    TOrvP_SEARCH_PARAMS lParams{};
    lParams.nDevMask = READER_DEVICE_MASK;
    lParams.nFlags = 9;
    lParams.pWaitSettings = &lWait;
    HORV hSearch = 0;
    CheckOrvResult(OrvP_SearchDevices(&hSearch, &lParams));
    struct TCloser {
        HORV h;
        ~TCloser() { OrvP_CloseHandle(h); }
    } lCloser{hSearch};
    for (;;) {
        TOrvR_RD_INFO lInfo{};
        lInfo.rBase.cbSize = sizeof(TOrvR_RD_INFO);
        TOrvP_PORT_INFO lPort{};
        std::uint32_t lCount = 0;
        const std::int32_t r = OrvP_FindNextDevice(hSearch, &lInfo, &lPort, 1, &lCount, -1);
        CheckOrvResult(r);
        if (r != 0)
            return false;
        if (lInfo.rBase.cbSize == sizeof(TOrvR_RD_INFO) && lInfo.rBase.nSn == m_oDoc->ReaderSn()) {
            const QString lFriendly = FromOrvText(lPort.szFriendly);
            VPortName =
                (lPort.nType == ORVP_PORT_FT && !lFriendly.isEmpty()) ? lFriendly : FromOrvText(lPort.szName);
            return true;
        }
    }
}

bool TfmMain::DoConnectReader(bool AReportError) {
    if (!m_oRd)
        return false;
    if (m_oRd->Active())
        return true;
    try {
        if (!m_oDoc->ReaderPort().isEmpty())
            OpenOnConfiguredPort();
        if (!m_oRd->Active() || m_oRd->Sn() != m_oDoc->ReaderSn()) {
            m_oRd->SetActive(false);
            QString lPort;
            if (SearchReaderPort(lPort)) {
                m_oDoc->SetReaderPort(lPort);
                OpenOnConfiguredPort();
            } else if (AReportError && (m_oDoc->ReaderSn() != 0 || !m_oDoc->ReaderPort().isEmpty())) {
                // The reader the settings name is nowhere: that is said, as a failed connection is.
                ReportReaderNotFound();
            }
        }
        AfterReaderOpened();
    } catch (const std::exception& e) {
        try {
            m_oRd->SetActive(false);
        } catch (...) {
        }
        UpdateCaption();
        UpdateReaderState();
        if (AReportError) {
            ShowMainWnd(true);
            ShowErrorBox(this, FormatResString(MSG_READER_CONNECT_FAILED, {m_oRd->PortName()}) +
                                   QStringLiteral("\n") + QString::fromUtf8(e.what()).trimmed());
        }
    }
    return m_oRd->Active();
}

bool TfmMain::TryOpenReader(bool& VRetry) {
    VRetry = false;
    if (!m_oRd)
        return false;
    if (m_oRd->Active())
        return true;
    if (!m_oDoc->ReaderPort().isEmpty()) {
        try {
            OpenOnConfiguredPort();
            AfterReaderOpened();
        } catch (const EOrvPError& e) {
            VRetry = e.m_nErrCode != ErrPortNotFound;
        }
    }
    return m_oRd->Active();
}

void TfmMain::timerOpenPortTimer() {
    try {
        bool lRetry = false;
        if (TryOpenReader(lRetry) || !lRetry)
            timerOpenPort->stop();
    } catch (...) {
        // Tried again at the next tick.
    }
}

// ---- ports coming and going ----------------------------------------------------------------------

void TfmMain::DetectorMessage() {
    if (m_oDetectorWnd)
        m_oDetectorWnd->RemovePendingMessage(WM_DETECTOR);
    try {
        std::uint32_t lKind = 0;
        intptr_t lParam = 0;
        while (m_hRdDetector != 0 && OrvP_DD_GetNextMessage(m_hRdDetector, &lKind, &lParam) == 0) {
            const auto* lPort = reinterpret_cast<const TOrvP_PORT_INFO*>(lParam);
            if (!lPort || !m_oRd)
                continue;
            if (lKind == ORVP_DDK_PORT_ARRIVED) {
                const QString& lName = m_oDoc->ReaderPort();
                if (!lName.isEmpty() && PortMatches(*lPort, lName, PortTypeOf(lName))) {
                    m_oRd->SetActive(false);
                    bool lRetry = false;
                    if (!TryOpenReader(lRetry)) {
                        timerOpenPort->start();
                        UpdateCaption();
                    }
                }
            } else if (lKind == ORVP_DDK_PORT_REMOVED) {
                if (m_oRd->Active() && PortMatches(*lPort, m_oRd->PortName(), m_oRd->PortType())) {
                    m_oRd->SetActive(false);
                    timerOpenPort->stop();
                    UpdateCaption();
                    UpdateReaderState(LoadResString(MSG_READER_PORT_GONE));
                }
            }
        }
    } catch (...) {
        // Messages left behind wait for the next detector message.
    }
}

void TfmMain::ReaderError() {
    // Renews the registration. A reader whose port has just vanished cannot take it; the detector's
    // removal message closes the session then, so the failure needs no error box.
    try {
        m_oRd->SetNotifications(false);
        m_oRd->SetNotifications(true);
    } catch (const EOrvPError& e) {
        // A session that cannot be renewed reads no cards although it looks open: it is closed and
        // reopened by the retry timer, and the operator is told that cards are not read meanwhile.
        if (m_oRd->Active()) {
            try {
                m_oRd->SetActive(false);
            } catch (...) {
            }
            timerOpenPort->start();
            UpdateCaption();
            UpdateReaderState(
                FormatResString(MSG_READER_READ_ERROR, {QString::fromUtf8(e.what()).trimmed()}));
        }
    }
}

// ---- cards ----------------------------------------------------------------------------------------

void TfmMain::HandleCard(std::uint32_t ACardType, const TOrv_KEYNUM& ANumber) {
    TOrv_KEYNUM lNum = ANumber;
    // A base station in Wiegand mode reports 3-byte keys padded to five bytes.
    if (m_oRd && m_oRd->Active() && m_oRd->RdType() == ORVR_RD_KORVEL && m_oDoc->KorvelWiegand() &&
        lNum[0] > 3 && lNum[4] == 0 && lNum[5] == 0)
        lNum[0] = 3;
    const std::uint32_t lNow = GetTickCount();
    const std::uint32_t lRegMin = m_oDoc->CardRegMin();
    if (lRegMin != 0 && m_LastNum[0] > 0 && ACardType == m_nLastCard &&
        CompareKeyNums(lNum, m_LastNum) == 0 && static_cast<std::uint32_t>(lNow - m_nLastCardTick) < lRegMin)
        return; // a repeat: the remembered time is not renewed
    m_oDoc->FireCard(lNum);
    m_nLastCard = ACardType;
    m_LastNum = lNum;
    m_nLastCardTick = lNow;
}

// ---- base-station outputs ------------------------------------------------------------------------

void TfmMain::ApplyKorvelOutputs() {
    if (!IsKorvel())
        return;
    const TKorvelOutputs& s = m_oDoc->GetKorvelOutput(m_fExit ? 1 : 0);
    std::array<std::uint32_t, 4> c{};
    bool lAny = false;
    for (std::uint32_t i = 0; i < 4; ++i) {
        if (!(s.m_nKorvelOutputs & (1u << i)))
            continue;
        const bool lRunning = m_aKorvelTimers[i] && m_aKorvelTimers[i]->isActive();
        const bool lWanted = ((s.m_nKorvelInit >> i) & 1u) != (lRunning ? 1u : 0u);
        const bool lKnown = m_nKorvelState & (1u << (8 + i));
        const bool lOn = m_nKorvelState & (1u << i);
        if (!lKnown || lOn != lWanted) {
            c[i] = lWanted ? 1u : 2u;
            lAny = true;
        }
    }
    if (!lAny)
        return;
    if (c[OutputLedG] || c[OutputLedR] || c[OutputBeep])
        CheckOrvResult(
            OrvR_Rd_SetIndicatorState(m_oRd->Handle(), c[OutputLedR], c[OutputLedG], c[OutputBeep]));
    if (c[OutputPower])
        CheckOrvResult(OrvR_Korvel_SetPowerState(m_oRd->Handle(), c[OutputPower] == 1 ? 0xFFFFFFFFu : 0u));
    for (std::uint32_t i = 0; i < 4; ++i) {
        if (!c[i])
            continue;
        m_nKorvelState |= 1u << (8 + i);
        if (c[i] == 1)
            m_nKorvelState |= 1u << i;
        else
            m_nKorvelState &= ~(1u << i);
    }
}

void TfmMain::StartKorvelPulse() {
    if (!IsKorvel())
        return;
    const TKorvelOutputs& s = m_oDoc->GetKorvelOutput(m_fExit ? 1 : 0);
    for (int i = 0; i < 4; ++i) {
        if (s.m_nKorvelOutputs & (1u << i)) {
            if (!m_aKorvelTimers[i]) {
                m_aKorvelTimers[i] = new QTimer(this);
                m_aKorvelTimers[i]->setSingleShot(true);
                // A coarse timer may end a pulse up to 5 % early; the outputs drive a door or a beeper.
                m_aKorvelTimers[i]->setTimerType(Qt::PreciseTimer);
                m_aKorvelTimers[i]->setProperty("tag", i);
                connect(m_aKorvelTimers[i], &QTimer::timeout, this, [this, i] { KorvelTimerTick(i); });
            }
            m_aKorvelTimers[i]->stop();
            m_aKorvelTimers[i]->setInterval(
                static_cast<int>(std::min<std::uint32_t>(s.m_aKorvelTimes[i], 0x7FFFFFFF)));
            m_aKorvelTimers[i]->start();
            ApplyKorvelOutputs();
            m_aKorvelPulseIdle[i] = (s.m_nKorvelInit >> i) & 1u;
        } else if (m_aKorvelTimers[i] && m_aKorvelTimers[i]->isActive()) {
            // The previous event's pulse is cut short. Its output goes back to the idle state it had
            // there: the current settings do not drive it, and a beeper must never be left sounding.
            m_aKorvelTimers[i]->stop();
            DriveKorvelOutput(i, m_aKorvelPulseIdle[i]);
        }
    }
}

void TfmMain::DriveKorvelOutput(int AOutput, bool AOn) {
    const std::uint32_t c = AOn ? 1u : 2u;
    if (AOutput == static_cast<int>(OutputPower))
        CheckOrvResult(OrvR_Korvel_SetPowerState(m_oRd->Handle(), AOn ? 0xFFFFFFFFu : 0u));
    else
        CheckOrvResult(OrvR_Rd_SetIndicatorState(m_oRd->Handle(),
                                                 AOutput == static_cast<int>(OutputLedR) ? c : 0u,
                                                 AOutput == static_cast<int>(OutputLedG) ? c : 0u,
                                                 AOutput == static_cast<int>(OutputBeep) ? c : 0u));
    m_nKorvelState |= 1u << (8 + AOutput);
    if (AOn)
        m_nKorvelState |= 1u << AOutput;
    else
        m_nKorvelState &= ~(1u << AOutput);
}

void TfmMain::KorvelTimerTick(int AOutput) {
    try {
        m_aKorvelTimers[AOutput]->stop();
        if (IsKorvel())
            ApplyKorvelOutputs();
    } catch (...) {
    }
}

void TfmMain::SetKorvelFormat() {
    if (!IsKorvel())
        return;
    const QString lFormat =
        m_oDoc->KorvelWiegand() ? QStringLiteral("b4 b3 b2 w01") : QStringLiteral("b5 b4 b3 w12");
    CheckOrvResult(
        OrvR_Korvel_SetFormat(m_oRd->Handle(), 0, reinterpret_cast<const TOrv_CHAR*>(lFormat.utf16()), 0, 0));
}
