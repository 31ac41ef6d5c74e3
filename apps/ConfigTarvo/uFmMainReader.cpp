// The main window's reader side: the reader library and its device detector, the port list and the
// port combo, "Find", opening the reader while tab "Cards" is shown (with the retry timer), and cards
// presented in the reading modes.

#include "apps/ConfigTarvo/uFmMain.h"

#include "apps/ConfigTarvo/uAutoMessageDlg.h"
#include "apps/ConfigTarvo/uDlgProcessing.h"
#include "base/uMessages.h"
#include "base/uPortName.h"
#include "config/uRdPortList.h"
#include "gui/uErrorBox.h"
#include "gui/uListView.h"
#include "reader/OrvRClasses.h"
#include "reader/uOrvMsgWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QMessageBox>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimer>

namespace ConfigTarvo {

namespace {

constexpr std::int32_t ErrPortNotFound = static_cast<std::int32_t>(0x80040203u);

TOrvP_PORT_TYPE PortTypeOf(const QString& AName) {
    return static_cast<TOrvP_PORT_TYPE>(PortTypeOfName(AName));
}

std::vector<TOrv_CHAR> ToOrvText(const QString& AText) {
    std::vector<TOrv_CHAR> lText(AText.utf16(), AText.utf16() + AText.size());
    lText.push_back(0);
    return lText;
}

TOrvP_WAIT_SETTINGS SearchWaitSettings() {
    TOrvP_WAIT_SETTINGS lWait{};
    lWait.nReplyTimeout = 1500;
    lWait.nMaxTries = 1;
    lWait.nCheckPeriod = 50;
    return lWait;
}

// Closes a library handle when leaving the scope.
struct THandleCloser {
    HORV m_h = 0;
    ~THandleCloser() {
        if (m_h != 0)
            OrvP_CloseHandle(m_h);
    }
};

} // namespace

// ---- the library and its detector ------------------------------------------------------------------

void TfmMain::StartDetector() {
    CheckOrvResult(OrvR_Initialize(0x102));
    m_fOrvRInit = true;

    TOrvP_DD_GLOBAL_SETTINGS lGlobal{};
    if (OrvP_DD_GetGlobalSettings(&lGlobal) == 0) {
        lGlobal.nComScanMask = 0xFFFFFFFFu;
        lGlobal.nFtScanMask = 0xFFFFFFFFu;
        lGlobal.rWaitSettings.nReplyTimeout = 1500;
        lGlobal.rWaitSettings.nMaxTries = 1;
        lGlobal.rWaitSettings.nCheckPeriod = 50;
        OrvP_DD_SetGlobalSettings(&lGlobal);
    }

    m_oDetectorWnd = std::make_unique<TOrvMsgWindow>([this](std::uint32_t AMsg) {
        if (AMsg == WM_DETECTOR)
            DetectorMessage();
        else if (AMsg == WM_RESCAN)
            RescanRequest();
    });
    m_hRdDetector = RegisterDetector(*m_oDetectorWnd, 0x3053, WM_DETECTOR, READER_DEVICE_MASK);

    OrvP_DD_Refresh(0);
    RescanPorts(true);
}

void TfmMain::FinishReaderLibrary() {
    if (!m_fOrvRInit)
        return;
    CloseDetector(m_hRdDetector, m_oDetectorWnd);
    OrvR_Finalyze();
    m_fOrvRInit = false;
}

// ---- ports -------------------------------------------------------------------------------------------

void TfmMain::RescanPorts(bool AQuick) {
    if (!m_oPorts)
        m_oPorts = std::make_unique<TRdPortList>();
    m_oPorts->BeginScan();
    bool lChanged = false;
    if (AQuick) {
        THandleCloser lList;
        std::uint32_t lCount = 0;
        CheckOrvResult(OrvP_GetPortInfoList(&lList.m_h, &lCount, READER_DEVICE_MASK, 0));
        for (std::uint32_t i = 0; i < lCount; ++i) {
            TOrvP_PORT_INFO lPort{};
            CheckOrvResult(OrvP_GetPortInfo(lList.m_h, i, &lPort));
            m_oPorts->MergePort(lPort, nullptr, lChanged);
        }
    } else {
        const TOrvP_WAIT_SETTINGS lWait = SearchWaitSettings();
        TOrvP_SEARCH_PARAMS lParams{};
        lParams.nDevMask = READER_DEVICE_MASK;
        lParams.nFlags = 11;
        lParams.pWaitSettings = &lWait;
        THandleCloser lSearch;
        CheckOrvResult(OrvP_SearchDevices(&lSearch.m_h, &lParams));
        for (;;) {
            TOrvR_RD_INFO lInfo{};
            lInfo.rBase.cbSize = sizeof(TOrvR_RD_INFO);
            TOrvP_PORT_INFO lPort{};
            std::uint32_t lCount = 0;
            const std::int32_t lResult = OrvP_FindNextDevice(lSearch.m_h, &lInfo, &lPort, 1, &lCount, -1);
            CheckOrvResult(lResult);
            if (lResult != 0)
                break;
            if (lCount == 0)
                continue;
            if (lInfo.rBase.cbSize == 0) { // a port without a reader
                lInfo.nType = ORVR_RD_UNDEF;
                lInfo.rBase.nSn = 0;
            }
            m_oPorts->MergePort(lPort, &lInfo, lChanged);
        }
    }
    if (m_oRd && m_oRd->Active())
        m_oPorts->MarkSessionPort(m_oRd->PortType(), m_oRd->PortName(), m_oRd->RdType(), m_oRd->Sn());
    if (m_oPorts->EndScan(lChanged)) {
        FillPortCombo();
        bool lRetry = false;
        OpenCardReader(false, lRetry);
    }
}

void TfmMain::FillPortCombo() {
    if (!m_oPorts)
        return;
    ++m_nCtrlUpdate;
    const QString lText = cbRdPort->currentText();
    cbRdPort->clear();
    for (int i = 0; i < m_oPorts->Count(); ++i)
        cbRdPort->addItem(m_oPorts->GetPort(i).DisplayText(), i);
    cbRdPort->setCurrentIndex(-1);
    cbRdPort->setEditText(lText);
    const QString lName = PortNameOfComboText(lText);
    if (!lName.isEmpty()) {
        const int i = m_oPorts->FindPortIndex(PortTypeOf(lName), lName);
        // A port that is gone keeps its name in the field, not the reader it no longer has.
        if (i < 0 && lText != lName)
            cbRdPort->setEditText(lName);
        if (i >= 0) {
            cbRdPort->setCurrentIndex(i);
            const TRdPort& lPort = m_oPorts->GetPort(i);
            // The reader found on the configured port gives the serial number, except while "Find"
            // looks for the number the operator gave: it must report on that one.
            if (!m_pFindDlg && edtRdSn->value() == m_oDoc->ReaderSn() && lPort.m_nRdSn != 0 &&
                lPort.m_nRdSn != m_oDoc->ReaderSn())
                m_oDoc->SetReaderSn(lPort.m_nRdSn);
        }
    }
    --m_nCtrlUpdate;
}

void TfmMain::cbRdPortChange(int AIndex) {
    if (m_nCtrlUpdate > 0 || AIndex < 0 || !m_oPorts || AIndex >= m_oPorts->Count())
        return;
    const TRdPort& lPort = m_oPorts->GetPort(AIndex);
    if (lPort.m_nRdModel == ORVR_RD_UNDEF || lPort.m_nRdSn == 0)
        return;
    ++m_nCtrlUpdate;
    try {
        m_oDoc->SetReaderSn(lPort.m_nRdSn);
        edtRdSn->setValue(lPort.m_nRdSn);
    } catch (const std::exception& e) {
        ShowException(this, e);
    }
    --m_nCtrlUpdate;
}

// ---- "Find" -------------------------------------------------------------------------------------------

void TfmMain::DoFindReader() {
    try {
        CommitMainControls();
        const std::int32_t lSn = m_oDoc->ReaderSn();
        TfmProcessingDlg lDlg(this);
        CheckOrvResult(OrvP_DD_Refresh(0));
        m_fRdSearchMode = true;
        m_pFindDlg = &lDlg;
        bool lOk = false;
        try {
            lOk = lDlg.ExecuteProcessing(
                FormatResString(MSG_READER_SEARCH, {std::int64_t(lSn)}), nullptr, true, 0,
                [this](TfmProcessingDlg& ADlg) {
                    if (!m_fRdSearchMode)
                        ADlg.Finish();
                },
                nullptr);
        } catch (...) {
            m_pFindDlg = nullptr;
            throw;
        }
        m_pFindDlg = nullptr;
        if (!lOk)
            return;
        const int i = m_oPorts ? m_oPorts->FindPortBySn(lSn) : -1;
        if (i < 0) {
            QMessageBox::information(this, LoadResString(MSG_APP_TITLE),
                                     FormatResString(MSG_READER_NOT_FOUND, {std::int64_t(lSn)}));
            return;
        }
        m_oDoc->BeginUpdate();
        m_oDoc->SetReaderSn(lSn);
        m_oDoc->SetReaderPort(m_oPorts->GetPort(i).StoredName());
        m_oDoc->EndUpdate();
        QMessageBox::information(
            this, LoadResString(MSG_APP_TITLE),
            FormatResString(MSG_READER_FOUND, {std::int64_t(lSn), m_oDoc->ReaderPort()}));
    } catch (const std::exception& e) {
        ShowException(this, e);
    }
}

void TfmMain::RescanRequest() {
    if (m_oDetectorWnd)
        m_oDetectorWnd->RemovePendingMessage(WM_RESCAN);
    m_fRdSearchMode = false;
    RescanPorts(false);
}

// ---- the detector -------------------------------------------------------------------------------------

void TfmMain::DetectorMessage() {
    try {
        std::uint32_t lKind = 0;
        intptr_t lParam = 0;
        while (m_hRdDetector != 0 && OrvP_DD_GetNextMessage(m_hRdDetector, &lKind, &lParam) == 0) {
            const auto* lPort = reinterpret_cast<const TOrvP_PORT_INFO*>(lParam);
            if (lKind == ORVP_DDK_PORT_ARRIVED && lPort) {
                if (ArrivedPortHasReaderSn(*lPort, m_oDoc->ReaderSn()))
                    m_oDetectorWnd->PostMessage(WM_RESCAN);
                if (m_oRd && IsConfiguredPort(*lPort, m_oDoc->ReaderPort())) {
                    m_oRd->SetActive(false);
                    bool lRetry = false;
                    if (!OpenCardReader(false, lRetry)) {
                        timerOpenPort->start();
                        UpdateCaption();
                    }
                }
            } else if (lKind == ORVP_DDK_PORT_REMOVED && lPort) {
                if (m_oRd && m_oRd->Active() && IsSessionPort(*lPort, m_oRd->PortType(), m_oRd->PortName())) {
                    m_sLostPort = m_oRd->PortName();
                    m_oRd->SetActive(false);
                    timerOpenPort->stop();
                    UpdateCaption();
                }
            } else if (lKind == ORVP_DDK_REFRESH_DONE) {
                m_oDetectorWnd->PostMessage(WM_RESCAN);
            }
            // The port list follows every arrival and removal at once, with the reader the record
            // names; a full search is left to "Find" and the refresh. The session has been dealt with
            // first, so the combo's refill finds it as it now is.
            if ((lKind == ORVP_DDK_PORT_ARRIVED || lKind == ORVP_DDK_PORT_REMOVED) && lPort && m_oPorts &&
                (lKind == ORVP_DDK_PORT_ARRIVED ? m_oPorts->PortArrived(*lPort)
                                                : m_oPorts->PortRemoved(*lPort)))
                FillPortCombo();
        }
    } catch (...) {
        // The messages left wait for the next notification.
    }
    UpdateActions();
}

// ---- the session -----------------------------------------------------------------------------------------

void TfmMain::OpenSessionOnConfiguredPort() {
    const QString& lPort = m_oDoc->ReaderPort();
    m_oRd->SetActive(false);
    m_oRd->SetPortName(lPort);
    m_oRd->SetPortType(PortTypeOf(lPort));
    m_oRd->SetOpenFlags(m_oDoc->KorvelWiegand() ? 2u : 0u);
    try {
        m_oRd->SetActive(true);
    } catch (...) {
        UpdateCaption();
        throw;
    }
    UpdateCaption();
}

bool TfmMain::OpenCardReader(bool AReport, bool& VRetryUseful) {
    VRetryUseful = false;
    if (!m_oRd || pcMain->currentWidget() != tsCards || m_oDoc->CardRdMode() == crm_Inactive ||
        m_oDoc->ReaderPort().isEmpty() || (m_oRd->Active() && m_oRd->PortName() == m_oDoc->ReaderPort()))
        return true;
    try {
        OpenSessionOnConfiguredPort();
    } catch (const EOrvPError& e) {
        VRetryUseful = e.m_nErrCode != ErrPortNotFound;
        if (AReport)
            ShowErrorBox(this, FormatResString(MSG_READER_CONNECT_FAILED, {m_oRd->PortName()}) +
                                   QStringLiteral("\r\n") + QString::fromUtf8(e.what()));
        UpdateActions();
        return false;
    }
    UpdateActions();
    return true;
}

void TfmMain::SetKorvelFormat() {
    if (!m_oRd || !m_oRd->Active() || m_oRd->RdType() != ORVR_RD_KORVEL)
        return;
    const auto lFormat =
        ToOrvText(m_oDoc->KorvelWiegand() ? QStringLiteral("b4 b3 b2 w01") : QStringLiteral("b5 b4 b3 w12"));
    CheckOrvResult(OrvR_Korvel_SetFormat(m_oRd->Handle(), 0, lFormat.data(), 0, 0));
}

void TfmMain::timerOpenPortTimer() {
    try {
        bool lRetry = false;
        if (OpenCardReader(false, lRetry) || !lRetry)
            timerOpenPort->stop();
    } catch (...) {
        // Tried again at the next tick.
    }
}

void TfmMain::DoReleasePort() {
    m_sLostPort.clear();
    try {
        if (m_oRd)
            m_oRd->SetActive(false);
    } catch (const std::exception& e) {
        ShowException(this, e);
    }
    UpdateCaption();
    UpdateActions();
}

// ---- cards presented -----------------------------------------------------------------------------------

void TfmMain::OnCardPresented(const TOrvR_CARD_INFO* AInfo) {
    // Ignored while a modal dialog or message box is open, or when the operator is not looking.
    if (!AInfo || pcMain->currentWidget() != tsCards || !isEnabled() || isMinimized() ||
        QApplication::activeModalWidget() != nullptr)
        return;
    if (AutoMessageDlg() && AutoMessageDlg()->isVisible())
        AutoMessageDlg()->hide();
    const bool lKorvel = m_oRd && m_oRd->Active() && m_oRd->RdType() == ORVR_RD_KORVEL;
    const TCardReadResult lResult = ApplyPresentedCard(*m_oDoc, CardKeyNum(*AInfo), lKorvel);
    if (lResult.m_nSelectIdx >= 0)
        SelectCard(lResult.m_nSelectIdx, true);
    if (!lResult.m_sMessage.isEmpty() && AutoMessageDlg())
        AutoMessageDlg()->ShowAutoMessage(lResult.m_sMessage);
}

} // namespace ConfigTarvo
