// The main window's conduct on a Linux desktop: one write-failure box at a time, closing to the tray
// (or asking to exit), the reader lost and back, and a second start bringing the window to the front.

#include "apps/Tarvo/uFmMain.h"

#include "base/uDebugLog.h"
#include "base/uMessages.h"
#include "frontdesk/uTarvoDoc.h"
#include "gui/uErrorBox.h"
#include "gui/uIcons.h"
#include "gui/uPopupMsg.h"
#include "gui/uStateIcons.h"
#include "reader/OrvRClasses.h"

#include <QApplication>
#include <QCloseEvent>
#include <QMessageBox>
#include <QSystemTrayIcon>
#include <QTimer>

using namespace Tarvo;

namespace {

// Failures listed in full in the box; further ones are counted into it.
constexpr int MaxListedWriteErrors = 5;
constexpr int TrayMessageMs = 10000;

} // namespace

// ---- write failures -------------------------------------------------------------------------------

QMessageBox* TfmMain::WriteErrorBox() const {
    return m_pWriteBox.data();
}

void TfmMain::QueueWriteError(const QString& AMessage) {
    // Every failure goes to the debug log in full; the box lists a few and counts the rest, so a desk
    // nobody attends keeps one box and flat memory however many events fail.
    LogWriteError(AMessage);
    if (m_pWriteBox) {
        ++m_nWriteMore;
        m_pWriteBox->setText(WriteErrorText());
        return;
    }
    if (m_aWriteErrors.size() < MaxListedWriteErrors)
        m_aWriteErrors.append(AMessage);
    else
        ++m_nWriteMore;
    // Told after the event has finished: a modal box inside the document's update would let the
    // next card run into the middle of this one.
    if (!m_fWriteErrorsQueued) {
        m_fWriteErrorsQueued = true;
        QTimer::singleShot(0, this, [this] { ShowWriteErrors(); });
    }
}

void TfmMain::LogWriteError(const QString& AMessage) {
    if (!m_oDebugLog)
        return;
    // One debug-log line per line of the message: a lost line stands on its own, ready to be put back.
    const QStringList lLines = AMessage.split(QLatin1Char('\n'));
    for (int i = 0; i < lLines.size(); ++i) {
        QString lError;
        const QString lText = i == 0 ? lLines[i] : QStringLiteral("  ") + lLines[i];
        if (!m_oDebugLog->Write(QLatin1Char('E'), lText, &lError) && m_sDebugLogError.isEmpty())
            m_sDebugLogError = lError;
    }
}

QString TfmMain::WriteErrorText() const {
    QString lText = m_aWriteErrors.join(QStringLiteral("\n\n"));
    if (m_nWriteMore > 0) {
        lText += QStringLiteral("\n\n");
        const bool lOne = m_nWriteMore == 1;
        lText += lOne ? LoadResString(MSG_WRITE_ONE_MORE)
                      : FormatResString(MSG_WRITE_MORE, {std::int64_t(m_nWriteMore)});
        if (m_sDebugLogError.isEmpty())
            lText += FormatResString(lOne ? MSG_WRITE_ONE_LISTED : MSG_WRITE_MORE_LISTED,
                                     {m_oDebugLog->FileName()});
        else
            lText += QLatin1Char('.');
    }
    if (!m_sDebugLogError.isEmpty())
        lText += QStringLiteral("\n\n") + FormatResString(MSG_WRITE_DEBUG_LOG_FAILED, {m_sDebugLogError});
    return lText;
}

void TfmMain::ShowWriteErrors() {
    m_fWriteErrorsQueued = false;
    if (m_aWriteErrors.isEmpty() || m_pWriteBox)
        return;
    ShowMainWnd(true);
    auto* lBox = new QMessageBox(QMessageBox::Critical, QApplication::applicationDisplayName(),
                                 WriteErrorText(), QMessageBox::Ok, this);
    lBox->setObjectName(QStringLiteral("boxWriteErrors"));
    m_pWriteBox = lBox;
    lBox->exec();
    delete m_pWriteBox.data();
    m_aWriteErrors.clear();
    m_nWriteMore = 0;
    m_sDebugLogError.clear();
}

// ---- tray messages and closing --------------------------------------------------------------------

void TfmMain::ShowTrayMessage(const QString& ATitle, const QString& AText, bool AWarning) {
    m_sLastTrayMessage = AText;
    if (!m_fHasTray || !trayIcon || !trayIcon->isVisible())
        return;
    // After the icon has just changed, the tray places it anew: the message points at its new place.
    QTimer::singleShot(0, trayIcon, [this, ATitle, AText, AWarning] {
        trayIcon->showMessage(
            ATitle, AText, AWarning ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information, TrayMessageMs);
    });
}

bool TfmMain::ConfirmExit() {
    QMessageBox lBox(QMessageBox::Question, windowTitle(), LoadResString(MSG_EXIT_QUESTION),
                     QMessageBox::Yes | QMessageBox::No, this);
    lBox.setObjectName(QStringLiteral("boxConfirmExit"));
    lBox.setInformativeText(LoadResString(MSG_EXIT_CONSEQUENCE));
    lBox.setDefaultButton(QMessageBox::No);
    return lBox.exec() == QMessageBox::Yes;
}

void TfmMain::closeEvent(QCloseEvent* AEvent) {
    if (m_fClosing) {
        AEvent->accept();
        return;
    }
    AEvent->ignore();
    if (m_fHasTray) {
        // With a tray the title-bar close only hides the window, as minimising does: the desk keeps
        // reading cards. The first time it says so, where the operator will look for it.
        ShowMainWnd(false);
        if (!m_fCloseTold) {
            m_fCloseTold = true;
            ShowTrayMessage(LoadResString(MSG_APP_TITLE), LoadResString(MSG_TRAY_STILL_RUNNING), false);
        }
        return;
    }
    // Without a tray the window is the program: closing it is Exit, after a question.
    if (ConfirmExit())
        DoExit();
    if (m_fClosing)
        AEvent->accept();
}

// ---- second start ---------------------------------------------------------------------------------

void TfmMain::ShowForSecondStart() {
    ShowMainWnd(true);
    if (m_oDebugLog)
        (void)m_oDebugLog->Write(QLatin1Char('I'), QStringLiteral("Main window shown for a second start"));
}

// ---- reader lost and back -------------------------------------------------------------------------

QString TfmMain::ReaderPlace() const {
    if (m_oRd && !m_oRd->PortName().isEmpty())
        return m_oRd->PortName();
    if (!m_oDoc->ReaderPort().isEmpty())
        return m_oDoc->ReaderPort();
    return FormatResString(MSG_READER_SN_PLACE, {std::int64_t(m_oDoc->ReaderSn())});
}

void TfmMain::UpdateReaderState(const QString& AReason) {
    if (!m_oRd || m_fExitDone)
        return;
    const bool lActive = m_oRd->Active();
    const bool lConfigured = !m_oDoc->ReaderPort().isEmpty() || m_oDoc->ReaderSn() != 0;
    const bool lLost = !lActive && lConfigured;
    if (lLost != m_fReaderLost) {
        m_fReaderLost = lLost;
        trayIcon->setIcon(lLost ? TarvoIcons::ReaderLostIcon() : TarvoIcons::ProgramIcon());
        UpdateCaption();
    }
    const QString lTitle = LoadResString(MSG_APP_TITLE);
    const int lTimeOut = static_cast<int>(m_oDoc->PopupTimeOut() * 1000);
    if (lLost && m_fReaderWasOpen && !m_fLostShown) {
        // Said at once in a popup that stays until the reader is back, and in the tray: nobody must
        // work a busy evening without noticing that cards are not read.
        m_fLostShown = true;
        m_sLostPort = ReaderPlace();
        QString lText = FormatResString(MSG_READER_LOST, {m_sLostPort});
        if (!AReason.isEmpty())
            lText += QStringLiteral(" (%1)").arg(AReason);
        lText += QLatin1Char('.');
        m_pLostPopup = m_oPopups->ShowPopupMessage(lText, std::any(), m_oDoc->PopupFontName(),
                                                   m_oDoc->PopupFontSize(), 0);
        m_pLostPopup->setObjectName(QStringLiteral("fmReaderLost"));
        ShowTrayMessage(lTitle, lText, true);
    } else if (lActive && m_fLostShown) {
        m_fLostShown = false;
        if (m_pLostPopup)
            m_oPopups->ClosePopup(m_pLostPopup);
        const QString lText = FormatResString(MSG_READER_BACK, {ReaderPlace()});
        m_oPopups
            ->ShowPopupMessage(lText, std::any(), m_oDoc->PopupFontName(), m_oDoc->PopupFontSize(),
                               static_cast<unsigned>(lTimeOut))
            ->setObjectName(QStringLiteral("fmReaderBack"));
        ShowTrayMessage(lTitle, lText, false);
    }
    if (lActive)
        m_fReaderWasOpen = true;
}

void TfmMain::ReportReaderNotFound() {
    ShowMainWnd(true);
    const std::int64_t lSn = m_oDoc->ReaderSn();
    const QString lText = m_oDoc->ReaderPort().isEmpty()
                              ? FormatResString(MSG_READER_SN_NOT_FOUND, {lSn})
                              : FormatResString(MSG_READER_SN_NOT_ON_PORT, {lSn, m_oDoc->ReaderPort()});
    ShowErrorBox(this, lText);
}

// ---- start-up ------------------------------------------------------------------------------------

void TfmMain::ShowLoadProblems() {
    // A desk that cannot bill or recognise cards says so once, at start, whoever started it: after the
    // reader is connected, so that cards are read while the box waits for the operator.
    const QStringList lProblems = m_oDoc->LoadProblems();
    if (lProblems.isEmpty())
        return;
    ShowMainWnd(true);
    ShowErrorBox(this, FormatResString(MSG_LOAD_PROBLEMS, {lProblems.join(QStringLiteral("\n"))}));
}
