// The main window: form creation, deferred start-up, caption, visibility, closing and destruction.

#include "apps/Tarvo/uFmMain.h"

#include "apps/Tarvo/uFmMainPhotos.h"
#include "apps/Tarvo/uVIArchiveFotoDlg.h"
#include "base/uDebugLog.h"
#include "base/uFileVersion.h"
#include "base/uMessages.h"
#include "base/uPaths.h"
#include "base/uSingleInstance.h"
#include "frontdesk/uAppUtils.h"
#include "frontdesk/uTarvoDoc.h"
#include "frontdesk/uViewData.h"
#include "gui/uErrorBox.h"
#include "gui/uIcons.h"
#include "gui/uIniLanguage.h"
#include "gui/uLangForm.h"
#include "gui/uListView.h"
#include "gui/uPopupMsg.h"
#include "reader/OrvRClasses.h"
#include "reader/uOrvMsgWindow.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStyle>
#include <QSystemTrayIcon>
#include <QTabWidget>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWindowStateChangeEvent>

#include <algorithm>

using namespace Tarvo;

namespace {
constexpr int ClientWidth = 617;
constexpr int ClientHeight = 523;
constexpr double CompactLineHeight = 13.0;
} // namespace

double FontScale() {
    return std::max(1.0, QFontMetrics(QApplication::font()).height() / CompactLineHeight);
}

TfmMain::TfmMain(const QString& ADataFile, bool ADeferStartup) {
    setObjectName(QStringLiteral("TfmMain"));
    m_oLang = NewProgramTranslator();
    // The window class: a second program start finds this window while it exists.
    m_oPresence = std::make_unique<TMainWindowPresence>(QString::fromLatin1(TarvoWindowClass));
    setWindowIcon(TarvoIcons::ProgramIcon());

    CreateActions();
    CreateForm();
    CreateTray();

    m_oPopups = new TPopupMsgMngr(this);
    m_oPopups->SetOnShowReceipt(
        [this](TPopupMsgMngr&, TfmPopupMessageDlg& APopup) { PopupShowReceipt(APopup); });
    // The receipt record travels inside the popup and goes with it: nothing to release here.
    m_oPopups->SetOnClosePopup([](TPopupMsgMngr&, TfmPopupMessageDlg&) {});

    m_oDoc = std::make_unique<TTarvoDoc>();
    m_oDoc->SetOnChange([this](TDocUpdate&) { DocChange(); });
    m_oDoc->SetOnUserIn([this](TTarvoDoc&) { DocUserIn(); });
    m_oDoc->SetOnUserOut([this](TTarvoDoc&) { DocUserOut(); });
    m_oDoc->SetOnWriteError([this](const QString& AMessage) { QueueWriteError(AMessage); });
    m_oDoc->SetFileName(ADataFile.isEmpty() ? DataFilePath() : ADataFile);
    m_oDebugLog = std::make_unique<TLogWritten>(
        JoinPath(QFileInfo(m_oDoc->FileName()).absolutePath(), QStringLiteral("Tarvo.log")));
    // What the document put right by itself (report lines restored from the log) is kept on record.
    m_oDoc->SetOnDebugMessage([this](const QString& AMessage) {
        if (m_oDebugLog)
            (void)m_oDebugLog->Write(QLatin1Char('I'), AMessage);
    });

    CreateViews();
    CreatePhotos();
    pcMain->setCurrentWidget(tsLog);
    UpdateCaption();
    // A second start finds this window and asks for it here (before the start mutex is released).
    m_oListener = std::make_unique<TInstanceListener>(QString::fromLatin1(TarvoWindowClass),
                                                      [this] { ShowForSecondStart(); });
    // The caption is built from the product name and version; the total sum field shows a number.
    RegisterLangMainForm(this, {QStringLiteral("TfmMain-Caption"), QStringLiteral("TfmMain-edt*-*")});
    if (ADeferStartup)
        QTimer::singleShot(0, this, [this] { DeferredStartup(); });
}

TfmMain::~TfmMain() {
    m_oListener.reset();
    // An open archive viewer gives the video client its handler back while both still exist.
    if (m_oPhotos)
        delete m_oPhotos->m_pArchFotoDlg.data();
    for (QTimer*& t : m_aKorvelTimers) {
        delete t;
        t = nullptr;
    }
    // Popups may still refer to the window's data; they go before the document.
    delete m_oPopups;
    m_oPopups = nullptr;
    m_oRepVD.reset();
    m_oInVD.reset();
    m_oLogVD.reset();
    m_oDoc.reset();
    m_oDebugLog.reset();
    m_oRd.reset();
    FinishReaderLibrary();
}

// ---- form ------------------------------------------------------------------------------------------

void TfmMain::CreateActions() {
    auto make = [this](const char* AName, const QString& ACaption, const QString& AHint = QString()) {
        auto* a = new QAction(ACaption, this);
        a->setObjectName(QString::fromLatin1(AName));
        if (!AHint.isEmpty()) {
            a->setToolTip(AHint);
            a->setStatusTip(AHint);
        }
        return a;
    };
    actShowMainWnd = make("actShowMainWnd", QStringLiteral("Show"));
    actSettings = make("actSettings", QStringLiteral("Settings..."), QStringLiteral("Show settings window"));
    actSettings->setIcon(TarvoIcons::SettingsIcon());
    actAbout = make("actAbout", QStringLiteral("About..."));
    actExit = make("actExit", QStringLiteral("E&xit Tarvo (Velmo)"));
    actExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    actExit->setShortcutContext(Qt::WindowShortcut);
    addAction(actExit); // Ctrl+Q works wherever the focus is in the window
    actRunTarvoConfig = make("actRunTarvoConfig", QStringLiteral("Run TarvoConfig"),
                             QStringLiteral("Run the program TarvoConfig"));
    actRunTarvoConfig->setIcon(TarvoIcons::RunConfigIcon());
    actRepExportCsv = make("actRepExportCsv", QStringLiteral("CSV..."));
    actRepExportExcel = make("actRepExportExcel", QStringLiteral("Microsoft Excel"));
    actRepExportOOCalc = make("actRepExportOOCalc", QStringLiteral("OpenOffice Calc"));
    // Their states and commands: CreateRepExport (uFmMainExport.cpp).

    connect(actShowMainWnd, &QAction::triggered, this, [this] { ShowMainWnd(true); });
    connect(actSettings, &QAction::triggered, this, [this] { DoSettingsDlg(); });
    connect(actAbout, &QAction::triggered, this, [this] { DoAboutDlg(); });
    connect(actExit, &QAction::triggered, this, [this] { DoExit(); });
    connect(actRunTarvoConfig, &QAction::triggered, this, [this] {
        try {
            DoRunTarvoConfig();
        } catch (const std::exception& e) {
            ShowException(this, e);
        }
    });
}

void TfmMain::CreateForm() {
    // The title bar's system menu of other desktops: offered here as the window's own menu, so the
    // program can be ended (and the about box reached) where no tray icon exists.
    menuProgram = menuBar()->addMenu(QStringLiteral("&Program"));
    menuProgram->setObjectName(QStringLiteral("menuProgram"));
    menuProgram->addAction(actRunTarvoConfig);
    menuProgram->addAction(actSettings);
    menuProgram->addAction(actAbout);
    menuProgram->addSeparator();
    menuProgram->addAction(actExit);

    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 4);
    pcMain = new QTabWidget(central);
    pcMain->setObjectName(QStringLiteral("pcMain"));
    pcMain->setDocumentMode(false);
    layout->addWidget(pcMain);
    setCentralWidget(central);

    tsLog = new QWidget;
    tsLog->setObjectName(QStringLiteral("tsLog"));
    tsIn = new QWidget;
    tsIn->setObjectName(QStringLiteral("tsIn"));
    tsReport = new QWidget;
    tsReport->setObjectName(QStringLiteral("tsReport"));
    pcMain->addTab(tsLog, QStringLiteral("Log"));
    pcMain->addTab(tsIn, QStringLiteral("In"));
    pcMain->addTab(tsReport, QStringLiteral("Report"));

    // The small toolbar at the top right, beside the tabs.
    tbMain = new QToolBar(pcMain);
    tbMain->setObjectName(QStringLiteral("tbMain"));
    tbMain->setIconSize(QSize(16, 16));
    tbMain->setToolButtonStyle(Qt::ToolButtonIconOnly);
    tbMain->addAction(actRunTarvoConfig);
    tbMain->addSeparator();
    tbMain->addAction(actSettings);
    pcMain->setCornerWidget(tbMain, Qt::TopRightCorner);

    timerOpenPort = new QTimer(this);
    timerOpenPort->setObjectName(QStringLiteral("timerOpenPort"));
    timerOpenPort->setInterval(1000);
    connect(timerOpenPort, &QTimer::timeout, this, [this] { timerOpenPortTimer(); });
    timerShots = new QTimer(this);
    timerShots->setObjectName(QStringLiteral("timerShots"));

    menuReport = new QMenu(this);
    menuReport->setObjectName(QStringLiteral("menuReport"));
    QMenu* export_ = menuReport->addMenu(QStringLiteral("Export"));
    export_->setObjectName(QStringLiteral("miExport"));
    export_->addAction(actRepExportCsv);
    export_->addAction(actRepExportExcel);
    export_->addAction(actRepExportOOCalc);

    QSize lSize(static_cast<int>(ClientWidth * FontScale()), static_cast<int>(ClientHeight * FontScale()));
    if (QScreen* s = QGuiApplication::primaryScreen()) {
        lSize = lSize.boundedTo(s->availableGeometry().size() * 0.9);
        resize(lSize.width(), lSize.height() + menuBar()->sizeHint().height());
        move(s->availableGeometry().center() - rect().center());
    } else {
        resize(lSize.width(), lSize.height() + menuBar()->sizeHint().height());
    }
}

void TfmMain::CreateTray() {
    m_fHasTray = QSystemTrayIcon::isSystemTrayAvailable();
    menuTray = new QMenu(this);
    menuTray->setObjectName(QStringLiteral("menuTray"));
    menuTray->addAction(actShowMainWnd);
    menuTray->addAction(actSettings);
    menuTray->addAction(actAbout);
    menuTray->addSeparator();
    menuTray->addAction(actExit);
    menuTray->setDefaultAction(actShowMainWnd);
    trayIcon = new QSystemTrayIcon(TarvoIcons::ProgramIcon(), this);
    trayIcon->setObjectName(QStringLiteral("trayIcon"));
    trayIcon->setContextMenu(menuTray);
    trayIcon->setToolTip(LoadResString(MSG_APP_TITLE));
    connect(trayIcon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason AReason) {
        if (AReason == QSystemTrayIcon::Trigger || AReason == QSystemTrayIcon::DoubleClick)
            ShowMainWnd(true);
    });
    if (m_fHasTray)
        trayIcon->show();
}

// ---- start-up -------------------------------------------------------------------------------------

bool TfmMain::DeferredStartup() {
    // Our window is findable now: a second start may go on with its check and end itself.
    ReleaseInstanceMutex();
    const bool lAutorun = g_oAppCmdLine && g_oAppCmdLine->m_fAutorun;
    const bool lShow = g_oAppCmdLine && g_oAppCmdLine->m_fShow;
    try {
        if (!StartReaderLibrary())
            return false;
        m_oDoc->Open();
        m_oPopups->SetPmMax(m_oDoc->PopupMax());
        InitPage(pcMain->currentIndex());
        DoConnectReader(!lAutorun);
        ApplyCameraSources();
        UpdateCaption();
        if (lShow || !m_fHasTray)
            ShowMainWnd(true);
        ShowLoadProblems();
    } catch (const std::exception& e) {
        // The start-up ends at this step; the program goes on (in the tray, or shown without one).
        if (!m_fHasTray)
            ShowMainWnd(true);
        ShowException(this, e);
    }
    g_oAppCmdLine.reset();
    return true;
}

// ---- caption and language -------------------------------------------------------------------------

QString TfmMain::BuildCaption() const {
    QString lCaption = QStringLiteral("%1 v%2").arg(
        LoadResString(MSG_APP_TITLE), VersionText(GetFileVersionPacked(RunningExecutablePath())));
    if (m_oRd && m_oRd->Active())
        lCaption += QStringLiteral(" (%1)").arg(m_oRd->PortName());
    return lCaption;
}

void TfmMain::UpdateCaption() {
    setWindowTitle(BuildCaption());
    if (trayIcon)
        trayIcon->setToolTip(m_fReaderLost
                                 ? windowTitle() + QLatin1Char('\n') + LoadResString(MSG_TRAY_READER_LOST)
                                 : windowTitle());
}

void TfmMain::ApplyLanguage() {
    ++m_nCtrlUpdate;
    try {
        SelectLanguage(*m_oLang, QStringLiteral("Tarvo-"), m_oDoc->Language(), m_oDoc->LangDir());
    } catch (const std::exception& e) {
        ShowException(this, e);
    }
    // Texts the window builds from messages follow the language too.
    actAbout->setText(LoadResString(MSG_ABOUT));
    for (QTreeView* lList :
         {static_cast<QTreeView*>(lvLog), static_cast<QTreeView*>(lvIn), static_cast<QTreeView*>(lvReport)})
        FitColumnsToCaptions(lList);
    UpdateCaption();
    --m_nCtrlUpdate;
}

// ---- visibility -----------------------------------------------------------------------------------

void TfmMain::ShowMainWnd(bool AShow) {
    if (!AShow) {
        // Without a tray the window is the only way back to the program: it stays.
        if (m_fHasTray)
            hide();
        return;
    }
    if (isMinimized())
        setWindowState(windowState() & ~Qt::WindowMinimized);
    show();
    raise();
    activateWindow();
}

void TfmMain::changeEvent(QEvent* AEvent) {
    QMainWindow::changeEvent(AEvent);
    if (AEvent->type() == QEvent::WindowStateChange && isMinimized() && m_fHasTray)
        QTimer::singleShot(0, this, [this] {
            if (isMinimized()) {
                setWindowState(windowState() & ~Qt::WindowMinimized);
                ShowMainWnd(false);
            }
        });
}

// ---- closing (the title-bar close: uFmMainDesk.cpp) ---------------------------------------------

void TfmMain::CloseDocument() {
    try {
        if (m_oDoc->Modifyed()) {
            const QString lDir = QFileInfo(m_oDoc->FileName()).absolutePath();
            if (!QDir().mkpath(lDir))
                throw EInOutError(FormatResString(MSG_CANNOT_MAKE_FOLDER, {lDir}));
            m_oDoc->Save();
        }
    } catch (...) {
        // A failure on close is not shown: the program ends anyway, and a damaged file stays as it is.
    }
    try {
        m_oDoc->Close();
    } catch (...) {
    }
}

void TfmMain::DoExit() {
    if (m_fExitDone)
        return;
    m_fExitDone = true;
    CloseDocument();
    EndProgram(0);
}

void TfmMain::EndProgram(int AExitCode) {
    m_fExitDone = true;
    m_fClosing = true;
    timerOpenPort->stop();
    if (trayIcon)
        trayIcon->hide();
    close();
    QCoreApplication::exit(AExitCode);
}
