// The main window's dialogs and the hand-over to the configuration program.

#include "apps/Tarvo/uFmMain.h"

#include "apps/Tarvo/uDlgBooking.h"
#include "apps/Tarvo/uDlgReceipt.h"
#include "apps/Tarvo/uDlgSettings.h"
#include "base/uDocUpdate.h"
#include "frontdesk/uAppUtils.h"
#include "frontdesk/uTarvoDoc.h"
#include "frontdesk/uViewData.h"
#include "gui/uAboutBox.h"
#include "gui/uListView.h"
#include "reader/OrvRClasses.h"
#include "vi/uVI.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

using namespace Tarvo;

void TfmMain::DoAboutDlg() {
    ShowMainWnd(true);
    ::DoAboutDlg(this);
}

void TfmMain::DoSettingsDlg() {
    // Opened from the tray the window was hidden, and wherever it was left is not where the operator
    // looks: the dialog comes up in the middle of the screen.
    const bool lWasHidden = !isVisible() || isMinimized();
    // The dialog uses the client itself (camera list, live frame): whatever the viewer asked for ends.
    if (VI() && VI()->Active())
        VI()->BreakAll();
    ShowMainWnd(true);
    ExecSettingsDlg(this, *m_oDoc, lWasHidden, WebCam(), VI());
    ApplyCameraSources();
    if (IsKorvel())
        ApplyKorvelOutputs();
}

void TfmMain::ShowReceipt(const TReceiptData& AData, bool AAutoPrint) {
    ExecReceiptDlg(isVisible() ? this : nullptr, *m_oDoc, AData, AAutoPrint);
}

void TfmMain::DoReceiptDlg() {
    const int lRow = lvReport->FirstSelectedRow();
    if (lRow < 0 || lRow >= m_oRepVD->GetCount())
        return;
    const int lIdx = m_oRepVD->GetItemDocIndex(lRow);
    ShowReceipt(MakeReceiptData(lIdx, *m_oDoc->Report().Get(lIdx)), false);
}

void TfmMain::DoBookingDlg() {
    const int lRow = lvIn->FirstSelectedRow();
    if (lRow < 0 || lRow >= m_oInVD->GetCount())
        return;
    TInUser& lUser = *m_oDoc->InUsers().Get(m_oInVD->GetItemDocIndex(lRow));
    if (ExecBookingDlg(this, *m_oDoc, lUser))
        m_oInVD->Update();
}

bool TfmMain::DoLogItemDlg(int AIdx) {
    const int lIdx = m_oLogVD->GetItemDocIndex(AIdx);
    if (lIdx < 0 || lIdx >= m_oDoc->LogList().Count())
        return false;
    const TLogItem& lItem = *m_oDoc->LogList().Get(lIdx);
    if (!lItem.m_fIn)
        return false;
    return ExecLogItemDlg(this, *m_oDoc, lItem.m_dtTime);
}

void TfmMain::DoRunTarvoConfig() {
    const bool lWasActive = m_oRd && m_oRd->Active();
    try {
        // The configuration program needs the port.
        if (m_oRd)
            m_oRd->SetActive(false);
        // What the front desk changed (a reader port found by its serial number, the recent booking)
        // goes to the data file first: the configuration program reads it at its start.
        if (m_oDoc->Modifyed()) {
            try {
                QDir().mkpath(QFileInfo(m_oDoc->FileName()).absolutePath());
                m_oDoc->Save();
            } catch (...) {
            }
        }
        StartConfigTarvo();
    } catch (...) {
        if (lWasActive)
            DoConnectReader(false);
        throw;
    }
    // Ends at once, without the close-time work: the document was saved above.
    m_fExitDone = true;
    EndProgram(0);
}
