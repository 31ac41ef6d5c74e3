// The main window's life: creation, deferred start-up, the document's change notification, the tabs
// and their Main controls, and closing, saving and the hand-over to the front desk.

#include "apps/ConfigTarvo/uFmMain.h"

#include "apps/ConfigTarvo/uAutoMessageDlg.h"
#include "apps/ConfigTarvo/uDlgCard.h"
#include "apps/ConfigTarvo/uDlgTimeZone.h"
#include "base/uExceptions.h"
#include "base/uMessages.h"
#include "base/uPaths.h"
#include "base/uSingleInstance.h"
#include "config/uAppUtils.h"
#include "config/uCardFilter.h"
#include "config/uRdPortList.h"
#include "config/uViewData.h"
#include "gui/uAboutBox.h"
#include "gui/uErrorBox.h"
#include "gui/uIcons.h"
#include "gui/uIniLanguage.h"
#include "gui/uLangFlags.h"
#include "gui/uLangForm.h"
#include "gui/uListView.h"
#include "gui/uListViewModel.h"
#include "reader/OrvRClasses.h"
#include "reader/uOrvMsgWindow.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QScreen>
#include <QSpinBox>
#include <QTabWidget>
#include <QTimeEdit>
#include <QTimer>

namespace ConfigTarvo {

namespace {
constexpr int ClientWidth = 577;
constexpr int ClientHeight = 601;

QTime ToQTime(TTime ATime) {
    int h = 0, m = 0, s = 0, ms = 0;
    DecodeTime(ATime, h, m, s, ms);
    return QTime(h, m, s, ms);
}
TTime FromQTime(const QTime& ATime) {
    return EncodeTime(ATime.hour(), ATime.minute(), 0, 0);
}
} // namespace

TfmMain::TfmMain(const QString& ADataFile, bool ADeferStartup) {
    setObjectName(QStringLiteral("TfmMain"));
    m_oLang = NewProgramTranslator();
    // The window class: another start of either program finds this window while it exists.
    m_oPresence = std::make_unique<TMainWindowPresence>(QString::fromLatin1(ConfigTarvoWindowClass));
    setWindowIcon(TarvoIcons::ProgramIcon());
    setFont(QFont(QStringLiteral("Tahoma"), 8));

    CreateActions();
    CreateForm();
    CreateMenus();

    m_oDoc = std::make_unique<TTarvoDoc>();
    m_oDoc->SetOnChange([this](TDocUpdate& ADoc) { DocChange(ADoc.ChangeMask()); });
    m_oDoc->SetFileName(ADataFile.isEmpty() ? DataFilePath() : ADataFile);
    CreateViews();

    pcMain->setCurrentWidget(tsMain);
    m_nShownTab = pcMain->currentIndex();
    connect(pcMain, &QTabWidget::currentChanged, this, [this](int AIndex) { pcMainChange(AIndex); });
    InitMainPage();

    resize(ClientWidth, ClientHeight);
    if (QScreen* lScreen = QGuiApplication::primaryScreen())
        move(lScreen->availableGeometry().center() - QPoint(ClientWidth / 2, ClientHeight / 2));

    // Enable rules are evaluated whenever the program is idle enough; the timer keeps them current.
    auto* lIdle = new QTimer(this);
    lIdle->setObjectName(QStringLiteral("timerActions"));
    lIdle->setInterval(200);
    connect(lIdle, &QTimer::timeout, this, [this] { UpdateActions(); });
    lIdle->start();

    // The language list and the typed port are the program's own; edit fields hold data.
    RegisterLangMainForm(this,
                         {QStringLiteral("TfmMain-grLanguage-*"), QStringLiteral("TfmMain-cbLanguage-*"),
                          QStringLiteral("*-edt*-*"), QStringLiteral("TfmMain-cbRdPort-Text"),
                          QStringLiteral("TfmMain-cbRdPort-Items*")});
    UpdateCaption();
    UpdateActions();
    if (ADeferStartup)
        QMetaObject::invokeMethod(
            this,
            [this] {
                try {
                    if (!DeferredStartup())
                        return;
                } catch (const std::exception& e) {
                    ShowException(this, e);
                }
            },
            Qt::QueuedConnection);
}

TfmMain::~TfmMain() {
    timerOpenPort->stop();
    if (lvZones)
        lvZones->SetListModel(nullptr);
    if (lvCards)
        lvCards->SetListModel(nullptr);
    m_oCardFilter.reset();
    m_oCardVD.reset();
    m_oTzVD.reset();
    m_oDoc->SetOnChange(nullptr);
    if (m_oRd) {
        try {
            m_oRd->SetActive(false);
        } catch (...) {
        }
    }
    m_oRd.reset();
    m_oPorts.reset();
    FinishReaderLibrary();
}

bool TfmMain::DeferredStartup() {
    if (m_fStarted)
        return true;
    m_fStarted = true;
    ReleaseInstanceMutex();
    if (!CheckOrvVersion()) {
        ShowErrorBox(this, LoadResString(MSG_WRONG_ORV_VERSION));
        EndProgram(1);
        return false;
    }
    StartDetector();

    m_oRd = std::make_unique<TOrvReader>();
    m_oRd->SetOnCardInsert([this](TOrvReader*, const TOrvR_CARD_INFO* AInfo) { OnCardPresented(AInfo); });
    m_oRd->SetOnError([this](TOrvReader*, std::int32_t) {
        // Renews the registration; a reader whose port vanished cannot take it and the detector's
        // removal closes the session, so a failure needs no box.
        try {
            m_oRd->SetNotifications(false);
            m_oRd->SetNotifications(true);
        } catch (const EOrvPError&) {
        }
    });
    m_oRd->SetNotifications(true);

    try {
        m_oDoc->Open();
    } catch (const std::exception& e) {
        // What was read stays shown; saving over the damaged file needs the operator's word (Save).
        m_oDoc->AddChange(DCH_READER | DCH_TZS | DCH_CARDS | DCH_CARDRDMODE | DCH_LANGUAGE, false);
        DocChange(DCH_READER | DCH_TZS | DCH_CARDS | DCH_CARDRDMODE | DCH_LANGUAGE);
        ShowException(this, e);
    }
    g_oAppCmdLine.reset();
    return true;
}

// ---- the document's change notification ----------------------------------------------------------

void TfmMain::DocChange(std::uint32_t AMask) {
    if (AMask & DCH_LANGUAGE)
        ApplyLanguage();
    if (AMask & DCH_READER)
        FillMainControls();
    if (AMask & DCH_KEYVIEW) {
        ++m_nCtrlUpdate;
        cbKeyView->setCurrentIndex(m_oDoc->KeyView() == 1 ? 1 : 0);
        --m_nCtrlUpdate;
    }
    if (AMask & (DCH_TZS | DCH_TZ))
        m_oTzVD->Update();
    if (AMask & (DCH_CARDS | DCH_CARD | DCH_KEYVIEW))
        m_oCardFilter->Update();
    if (AMask & DCH_CARDRDMODE) {
        ++m_nCtrlUpdate;
        cbCardRdMode->setCurrentIndex(m_oDoc->CardRdMode());
        --m_nCtrlUpdate;
    }
    if (AMask & (DCH_READER | DCH_CARDRDMODE)) {
        bool lRetry = false;
        OpenCardReader(true, lRetry);
    }
    if (AMask & DCH_KORVEL_WIEGAND)
        SetKorvelFormat();
    UpdateActions();
}

void TfmMain::ApplyLanguage() {
    ++m_nCtrlUpdate;
    try {
        SelectLanguage(*m_oLang, QStringLiteral("ConfigTarvo-"), m_oDoc->Language(), m_oDoc->LangDir());
    } catch (const std::exception& e) {
        ShowException(this, e);
    }
    if (m_nInitPages & PAGE_MAIN)
        FillLanguageCombo();
    FitColumnsToCaptions(lvZones);
    FitColumnsToCaptions(lvCards);
    actAbout->setText(LoadResString(MSG_ABOUT));
    edtCardFilter->setPlaceholderText(LoadResString(MSG_CARD_FILTER_HINT));
    --m_nCtrlUpdate;
    UpdateCaption(); // and the reader's state below the tabs
}

void TfmMain::FillLanguageCombo() {
    ++m_nCtrlUpdate;
    cbLanguage->clear();
    cbLanguage->addItem(LangFlagIcon(1033), LoadResString(MSG_LANG_INTERNAL));
    FindLanguageFiles(QStringLiteral("ConfigTarvo-"), m_aLangs, m_oDoc->LangDir());
    int lCurrent = 0;
    for (std::size_t i = 0; i < m_aLangs.size(); ++i) {
        const TLangInfo& lLang = m_aLangs[i];
        cbLanguage->addItem(LangFlagIcon(lLang.m_nLangId),
                            lLang.m_sTitle.isEmpty() ? lLang.m_sFileName : lLang.m_sTitle,
                            QVariant(static_cast<int>(i) + 1));
        if (lCurrent == 0 && lLang.m_nLangId == m_oDoc->Language())
            lCurrent = static_cast<int>(i) + 1;
    }
    // A language without its file (127 among them) shows as the internal English.
    cbLanguage->setCurrentIndex(lCurrent);
    --m_nCtrlUpdate;
}

// ---- tabs ------------------------------------------------------------------------------------------

void TfmMain::InitMainPage() {
    if (m_nInitPages & PAGE_MAIN)
        return;
    m_nInitPages |= PAGE_MAIN;
    FillPortCombo();
    FillLanguageCombo();
}

void TfmMain::pcMainChange(int AIndex) {
    const int lLeft = m_nShownTab;
    m_nShownTab = AIndex;
    try {
        if (lLeft == pcMain->indexOf(tsMain)) {
            CommitMainControls();
            // A session held on a port that is no longer the configured one is let go.
            if (m_oRd && m_oRd->Active() && m_oRd->PortName() != m_oDoc->ReaderPort()) {
                m_oRd->SetActive(false);
                m_sLostPort.clear();
                UpdateCaption();
            }
        }
        if (pcMain->widget(AIndex) == tsMain) {
            InitMainPage();
        } else if (pcMain->widget(AIndex) == tsCards) {
            if (!(m_nInitPages & PAGE_CARDS)) {
                m_nInitPages |= PAGE_CARDS;
                ++m_nCtrlUpdate;
                cbCardRdMode->setCurrentIndex(m_oDoc->CardRdMode());
                --m_nCtrlUpdate;
            }
            CommitMainControls();
            bool lRetry = false;
            OpenCardReader(true, lRetry);
        }
    } catch (const std::exception& e) {
        ShowException(this, e);
    }
    UpdateActions();
}

// ---- Main controls ---------------------------------------------------------------------------------

void TfmMain::CommitMainControls() {
    m_oDoc->BeginUpdate();
    try {
        m_oDoc->SetReaderSn(edtRdSn->value());
        // COM03 and com3 name the port the library calls COM3: stored so, it matches the port list
        // and the detector's messages.
        m_oDoc->SetReaderPort(CanonicalPortText(PortNameOfComboText(cbRdPort->currentText())));
        m_oDoc->SetStartDay(FromQTime(dtpStartDay->time()));
    } catch (...) {
        m_oDoc->EndUpdate();
        throw;
    }
    m_oDoc->EndUpdate();
    NoteMainControlsShown();
}

void TfmMain::FillMainControls() {
    ++m_nCtrlUpdate;
    // The serial number, the port and the start of the day reach the document only by a commit. A
    // control follows the document when the document's value has moved from the one the control last
    // agreed with; otherwise what the operator chose or typed stays (choosing a port sets only the
    // serial number, the Wiegand switch none of the three).
    if (!m_fMainFilled || m_oDoc->ReaderSn() != m_nShownSn)
        edtRdSn->setValue(m_oDoc->ReaderSn());
    // The chosen item stays when it already stands for the configured port.
    if ((!m_fMainFilled || m_oDoc->ReaderPort() != m_sShownPort) &&
        PortNameOfComboText(cbRdPort->currentText()) != m_oDoc->ReaderPort())
        cbRdPort->setEditText(m_oDoc->ReaderPort());
    chkWiegand->setChecked(m_oDoc->KorvelWiegand());
    if (!m_fMainFilled || m_oDoc->StartDay() != m_tShownStartDay)
        dtpStartDay->setTime(ToQTime(m_oDoc->StartDay()));
    cbKeyView->setCurrentIndex(m_oDoc->KeyView() == 1 ? 1 : 0);
    NoteMainControlsShown();
    --m_nCtrlUpdate;
}

void TfmMain::NoteMainControlsShown() {
    m_fMainFilled = true;
    m_nShownSn = m_oDoc->ReaderSn();
    m_sShownPort = m_oDoc->ReaderPort();
    m_tShownStartDay = m_oDoc->StartDay();
}

void TfmMain::cbCardRdModeChange(int AIndex) {
    if (m_nCtrlUpdate > 0 || AIndex < crm_Inactive || AIndex > crm_Delete)
        return;
    try {
        m_oDoc->SetCardRdMode(static_cast<TCardRdMode>(AIndex));
    } catch (const std::exception& e) {
        ShowException(this, e);
    }
}

void TfmMain::UpdateCaption() {
    QString lCaption = LoadResString(MSG_APP_TITLE);
    if (m_oRd && m_oRd->Active())
        lCaption += QStringLiteral(" (%1)").arg(m_oRd->PortName());
    setWindowTitle(lCaption);
    UpdateReaderState();
}

void TfmMain::UpdateReaderState() {
    // The caption follows every opening and closing of the session, and so does this line.
    const bool lOpen = m_oRd && m_oRd->Active();
    if (lOpen)
        m_sLostPort.clear();
    if (lOpen)
        labReaderState->setText(FormatResString(MSG_READER_OPEN_ON, {m_oRd->PortName()}));
    else if (!m_sLostPort.isEmpty())
        labReaderState->setText(FormatResString(MSG_READER_LOST, {m_sLostPort}));
    else
        labReaderState->setText(LoadResString(MSG_NO_READER_OPEN));
}

void TfmMain::UpdateActions() {
    actReleasePort->setEnabled(m_oRd && m_oRd->Active());
    actTzChange->setEnabled(lvZones->currentIndex().isValid());
    actTzDelete->setEnabled(lvZones->FirstSelectedRow() >= 0);
    actCardChange->setEnabled(lvCards->currentIndex().isValid());
    actCardDelete->setEnabled(lvCards->FirstSelectedRow() >= 0);
    actCardClear->setEnabled(m_oDoc->Cards().Count() > 0);
    UpdateTableActions();
}

// ---- lists ------------------------------------------------------------------------------------------

void TfmMain::SelectListItem(TListView* AList, int AIdx, bool ACentre) {
    AList->clearSelection();
    AList->setCurrentIndex(QModelIndex());
    if (AIdx < 0 || !AList->model() || AIdx >= AList->model()->rowCount())
        return;
    const QModelIndex lIndex = AList->model()->index(AIdx, 0);
    AList->selectionModel()->setCurrentIndex(lIndex,
                                             QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    AList->scrollTo(lIndex, ACentre ? QAbstractItemView::PositionAtCenter : QAbstractItemView::EnsureVisible);
}

void TfmMain::SelectCard(int ADocIdx, bool ACentre) {
    int lRow = m_oCardFilter->FindDocIndex(ADocIdx);
    if (lRow < 0 && ADocIdx >= 0 && m_oCardFilter->IsFiltered()) {
        edtCardFilter->clear();
        lRow = m_oCardFilter->FindDocIndex(ADocIdx);
    }
    SelectListItem(lvCards, lRow, ACentre);
}

std::vector<int> TfmMain::SelectedCardIndexes() const {
    std::vector<int> lIdxs;
    for (int lRow : lvCards->SelectedRows())
        if (lRow < m_oCardFilter->GetCount())
            lIdxs.push_back(m_oCardFilter->GetItemDocIndex(lRow));
    return lIdxs;
}

int TfmMain::CurrentCardIndex() const {
    const QModelIndex lCurrent = lvCards->currentIndex();
    if (!lCurrent.isValid() || lCurrent.row() >= m_oCardFilter->GetCount())
        return -1;
    return m_oCardFilter->GetItemDocIndex(lCurrent.row());
}

void TfmMain::ShowListMenu(TListView* AList, QMenu* AMenu, const QPoint& AGlobalPos) {
    Q_UNUSED(AList);
    UpdateActions();
    AMenu->popup(AGlobalPos);
}

bool TfmMain::eventFilter(QObject* AObject, QEvent* AEvent) {
    if (AObject == edtCardFilter && AEvent->type() == QEvent::KeyPress) {
        auto* lKey = static_cast<QKeyEvent*>(AEvent);
        const Qt::KeyboardModifiers lHeld = lKey->modifiers() & ~Qt::KeypadModifier;
        const bool lEnter = lKey->key() == Qt::Key_Return || lKey->key() == Qt::Key_Enter;
        if ((lEnter || lKey->key() == Qt::Key_Down) && lHeld == Qt::NoModifier) {
            // On to the rows found, the first one current when none is.
            lvCards->setFocus(Qt::OtherFocusReason);
            if (!lvCards->currentIndex().isValid() && m_oCardFilter->GetCount() > 0)
                SelectListItem(lvCards, 0, false);
            return true;
        }
        if (lKey->key() == Qt::Key_Escape && lHeld == Qt::NoModifier && !edtCardFilter->text().isEmpty()) {
            edtCardFilter->clear();
            return true;
        }
    }
    if ((AObject == lvZones || AObject == lvCards) && AEvent->type() == QEvent::KeyPress) {
        auto* lKey = static_cast<QKeyEvent*>(AEvent);
        const Qt::KeyboardModifiers lHeld = lKey->modifiers() & ~Qt::KeypadModifier;
        if (lKey->key() == Qt::Key_Delete && lHeld == Qt::NoModifier) {
            if (AObject == lvZones)
                DoTzDelete();
            else
                DoCardDelete();
            return true;
        }
        if (lKey->key() == Qt::Key_A && lHeld == Qt::ControlModifier) {
            static_cast<TListView*>(AObject)->selectAll();
            UpdateActions();
            return true;
        }
    }
    return QMainWindow::eventFilter(AObject, AEvent);
}

// ---- add, change, delete, clear ---------------------------------------------------------------------

namespace {
template <class TDo> void Guarded(QWidget* AOwner, TDo ADo) {
    try {
        ADo();
    } catch (const std::exception& e) {
        ShowException(AOwner, e);
    }
}

bool AskReally(QWidget* AOwner) {
    return QMessageBox::question(AOwner, LoadResString(MSG_APP_TITLE), LoadResString(MSG_REALLY),
                                 QMessageBox::Ok | QMessageBox::Cancel,
                                 QMessageBox::Cancel) == QMessageBox::Ok;
}

// The zones are shown in document order, row for row.
std::vector<int> SelectedZoneIndexes(TListView* AList) {
    std::vector<int> lIdxs;
    for (int lRow : AList->SelectedRows())
        lIdxs.push_back(lRow);
    return lIdxs;
}
} // namespace

void TfmMain::DoTzAdd() {
    Guarded(this, [this] {
        int lIdx = -1;
        if (DoTimeZoneDlg(this, *m_oDoc, -1, &lIdx)) {
            SelectListItem(lvZones, lIdx, true);
            lvZones->setFocus();
        }
    });
}

void TfmMain::DoTzChange() {
    const QModelIndex lCurrent = lvZones->currentIndex();
    if (!lCurrent.isValid())
        return;
    Guarded(this, [this, lCurrent] { DoTimeZoneDlg(this, *m_oDoc, lCurrent.row()); });
}

void TfmMain::DoTzDelete() {
    const std::vector<int> lIdxs = SelectedZoneIndexes(lvZones);
    if (lIdxs.empty() || !AskReally(this))
        return;
    Guarded(this, [this, &lIdxs] { m_oDoc->DeleteTZs(lIdxs); });
}

void TfmMain::DoTzClear() {
    if (!AskReally(this))
        return;
    Guarded(this, [this] { m_oDoc->ClearTZs(); });
}

void TfmMain::DoCardAdd() {
    Guarded(this, [this] {
        int lIdx = -1;
        if (DoCardDlg(this, *m_oDoc, -1, &lIdx)) {
            SelectCard(lIdx, true);
            lvCards->setFocus();
        }
    });
}

void TfmMain::DoCardChange() {
    const int lIdx = CurrentCardIndex();
    if (lIdx < 0)
        return;
    Guarded(this, [this, lIdx] { DoCardDlg(this, *m_oDoc, lIdx); });
}

void TfmMain::DoCardDelete() {
    const std::vector<int> lIdxs = SelectedCardIndexes();
    if (lIdxs.empty() || !AskReally(this))
        return;
    Guarded(this, [this, &lIdxs] { m_oDoc->DeleteCards(lIdxs); });
}

void TfmMain::DoCardClear() {
    if (m_oDoc->Cards().Count() == 0 || !AskReally(this))
        return;
    Guarded(this, [this] { m_oDoc->ClearCards(); });
}

void TfmMain::DoAboutDlg() {
    if (m_fAboutShown)
        return;
    m_fAboutShown = true;
    ::DoAboutDlg(this);
    m_fAboutShown = false;
}

// ---- saving and closing -----------------------------------------------------------------------------

bool TfmMain::SaveDocument(bool ACommit) {
    try {
        if (ACommit)
            CommitMainControls();
        if (!m_oDoc->Modifyed())
            return true;
        const QString lDir = QFileInfo(m_oDoc->FileName()).absolutePath();
        if (!QDir().mkpath(lDir))
            throw EInOutError(FormatResString(MSG_CANNOT_MAKE_FOLDER, {lDir}));
        try {
            m_oDoc->Save();
        } catch (const EDataFileIncomplete& lError) {
            // The file was not read completely: replacing it would lose what was never loaded.
            const QString lQuestion =
                QString::fromUtf8(lError.what()) + QStringLiteral("\n\n") + LoadResString(MSG_SAVE_ANYWAY);
            if (QMessageBox::question(this, LoadResString(MSG_APP_TITLE), lQuestion,
                                      QMessageBox::Yes | QMessageBox::No,
                                      QMessageBox::No) != QMessageBox::Yes)
                return false;
            m_oDoc->Save(true);
        }
        return true;
    } catch (const std::exception& e) {
        ShowException(this, e);
        return false;
    }
}

bool TfmMain::Save() {
    return SaveDocument(true);
}

void TfmMain::btnOkClick() {
    if (Save())
        EndProgram(0);
}

void TfmMain::btnCancelClick() {
    EndProgram(0);
}

void TfmMain::closeEvent(QCloseEvent* AEvent) {
    if (m_fClosing) {
        AEvent->accept();
        return;
    }
    if (m_oDoc->Modifyed()) {
        const auto lAnswer =
            QMessageBox::question(this, LoadResString(MSG_APP_TITLE), LoadResString(MSG_SAVE_CHANGES),
                                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes);
        // Yes saves the document as it stands: edits still in the Main controls are not taken.
        if (lAnswer == QMessageBox::Cancel || (lAnswer == QMessageBox::Yes && !SaveDocument(false))) {
            AEvent->ignore();
            return;
        }
    }
    AEvent->accept();
    EndProgram(0);
}

void TfmMain::keyPressEvent(QKeyEvent* AEvent) {
    // Keys no control took: Enter is OK and Escape is Cancel, as in a dialog.
    const Qt::KeyboardModifiers lHeld = AEvent->modifiers() & ~Qt::KeypadModifier;
    if (lHeld == Qt::NoModifier) {
        if (AEvent->key() == Qt::Key_Return || AEvent->key() == Qt::Key_Enter) {
            AEvent->accept();
            btnOkClick();
            return;
        }
        if (AEvent->key() == Qt::Key_Escape) {
            AEvent->accept();
            btnCancelClick();
            return;
        }
    }
    QMainWindow::keyPressEvent(AEvent);
}

void TfmMain::EndProgram(int AExitCode) {
    m_fClosing = true;
    timerOpenPort->stop();
    if (AutoMessageDlg())
        AutoMessageDlg()->hide();
    close();
    Q_EMIT endRequested(AExitCode);
}

void TfmMain::DoRunTarvo() {
    if (!Save())
        return;
    try {
        if (m_oRd)
            m_oRd->SetActive(false);
        m_sLostPort.clear();
        UpdateCaption();
        StartTarvo();
    } catch (const std::exception& e) {
        ShowException(this, e);
        return;
    }
    // Our window class goes before the front desk looks for it.
    m_oPresence.reset();
    EndProgram(0);
}

} // namespace ConfigTarvo
