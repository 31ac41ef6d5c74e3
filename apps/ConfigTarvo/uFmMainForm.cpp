// Building the main window: actions, the three tabs, the tool bar, the list menus and the list views.

#include "apps/ConfigTarvo/uDlgReaderDevices.h"
#include "apps/ConfigTarvo/uFmMain.h"

#include "base/uMessages.h"
#include "config/uCardFilter.h"
#include "config/uViewData.h"
#include "gui/uIcons.h"
#include "gui/uListView.h"
#include "gui/uListViewModel.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimeEdit>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <climits>

namespace ConfigTarvo {

namespace {

QAction* NewAction(QObject* AOwner, const char* AName, const QString& ACaption) {
    auto* lAction = new QAction(ACaption, AOwner);
    lAction->setObjectName(QString::fromLatin1(AName));
    return lAction;
}

QPushButton* NewButton(QWidget* AOwner, const char* AName, QAction* AAction) {
    auto* lButton = new QPushButton(AAction->text(), AOwner);
    lButton->setObjectName(QString::fromLatin1(AName));
    // A focused button takes Enter itself, as in a dialog; elsewhere Enter is OK.
    lButton->setAutoDefault(true);
    QObject::connect(lButton, &QPushButton::clicked, AAction, &QAction::trigger);
    QObject::connect(AAction, &QAction::changed, lButton, [lButton, AAction] {
        lButton->setEnabled(AAction->isEnabled());
        lButton->setText(AAction->text());
    });
    return lButton;
}

QLabel* NewLabel(QWidget* AOwner, const char* AName, const QString& ACaption, QWidget* ABuddy) {
    auto* lLabel = new QLabel(ACaption, AOwner);
    lLabel->setObjectName(QString::fromLatin1(AName));
    lLabel->setBuddy(ABuddy);
    return lLabel;
}

// Tool-bar images: a small drawing each, so they need no bitmap resource.
QIcon ToolIcon(int AIndex) {
    if (AIndex == 0)
        return TarvoIcons::ProgramIcon();
    QPixmap lPix(16, 16);
    lPix.fill(Qt::transparent);
    QPainter lPaint(&lPix);
    lPaint.setRenderHint(QPainter::Antialiasing);
    lPaint.setPen(QPen(QColor(40, 90, 160), 1.6));
    lPaint.drawRect(QRectF(2.5, 1.5, 9, 12));
    lPaint.setPen(QPen(QColor(20, 130, 40), 2));
    if (AIndex == 1) { // import: arrow into the sheet
        lPaint.drawLine(QPointF(15, 8), QPointF(7, 8));
        lPaint.drawLine(QPointF(7, 8), QPointF(10, 5));
        lPaint.drawLine(QPointF(7, 8), QPointF(10, 11));
    } else { // export: arrow out of the sheet
        lPaint.drawLine(QPointF(6, 8), QPointF(15, 8));
        lPaint.drawLine(QPointF(15, 8), QPointF(12, 5));
        lPaint.drawLine(QPointF(15, 8), QPointF(12, 11));
    }
    return QIcon(lPix);
}

} // namespace

void TfmMain::CreateActions() {
    actRdFind = NewAction(this, "actRdFind", QStringLiteral("&Find"));
    actReleasePort = NewAction(this, "actReleasePort", QStringLiteral("&Release port"));
    actTzAdd = NewAction(this, "actTzAdd", QStringLiteral("&Add..."));
    actTzChange = NewAction(this, "actTzChange", QStringLiteral("C&hange..."));
    actTzDelete = NewAction(this, "actTzDelete", QStringLiteral("&Delete"));
    actTzClear = NewAction(this, "actTzClear", QStringLiteral("Clear"));
    actCardAdd = NewAction(this, "actCardAdd", QStringLiteral("&Add..."));
    actCardChange = NewAction(this, "actCardChange", QStringLiteral("C&hange..."));
    actCardDelete = NewAction(this, "actCardDelete", QStringLiteral("&Delete"));
    actCardClear = NewAction(this, "actCardClear", QStringLiteral("Clear"));
    actTzExportExcel = NewAction(this, "actTzExportExcel", QStringLiteral("Microsoft Excel"));
    actTzImportExcel = NewAction(this, "actTzImportExcel", QStringLiteral("Microsoft Excel..."));
    actTzExportCsv = NewAction(this, "actTzExportCsv", QStringLiteral("CSV..."));
    actTzImportCsv = NewAction(this, "actTzImportCsv", QStringLiteral("CSV..."));
    actCardExportExcel = NewAction(this, "actCardExportExcel", QStringLiteral("Microsoft Excel"));
    actCardImportExcel = NewAction(this, "actCardImportExcel", QStringLiteral("Microsoft Excel..."));
    actCardExportCsv = NewAction(this, "actCardExportCsv", QStringLiteral("CSV..."));
    actCardImportCsv = NewAction(this, "actCardImportCsv", QStringLiteral("CSV..."));
    actExportExcel = NewAction(this, "actExportExcel", QStringLiteral("Microsoft Excel"));
    actImportExcel = NewAction(this, "actImportExcel", QStringLiteral("Microsoft Excel..."));
    actExportCsv = NewAction(this, "actExportCsv", QStringLiteral("CSV..."));
    actImportCsv = NewAction(this, "actImportCsv", QStringLiteral("CSV..."));
    actImport = NewAction(this, "actImport", QStringLiteral("Import"));
    actImport->setToolTip(QStringLiteral("Import data"));
    actImport->setIcon(ToolIcon(1));
    actExport = NewAction(this, "actExport", QStringLiteral("Export"));
    actExport->setToolTip(QStringLiteral("Export data"));
    actExport->setIcon(ToolIcon(2));
    actRunTarvo = NewAction(this, "actRunTarvo", QStringLiteral("Start Tarvo"));
    actRunTarvo->setToolTip(QStringLiteral("Save the settings and start the Tarvo"));
    actRunTarvo->setIcon(ToolIcon(0));
    // The title bar offers no menu of the program's own here: "About..." sits on the tool bar.
    actAbout = NewAction(this, "actAbout", QStringLiteral("About..."));
    actAbout->setToolTip(QStringLiteral("About the program"));
    // Ctrl+F finds a card from anywhere in the window; Ctrl+Q ends as the title-bar close does.
    actCardFilter = NewAction(this, "actCardFilter", QStringLiteral("Find a card"));
    actCardFilter->setShortcut(QKeySequence::Find);
    actCardFilter->setShortcutContext(Qt::WindowShortcut);
    addAction(actCardFilter);
    actExit = NewAction(this, "actExit", QStringLiteral("Exit"));
    actExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    actExit->setShortcutContext(Qt::WindowShortcut);
    addAction(actExit);

    connect(actRdFind, &QAction::triggered, this, [this] { DoFindReader(); });
    connect(actReleasePort, &QAction::triggered, this, [this] { DoReleasePort(); });
    connect(actTzAdd, &QAction::triggered, this, [this] { DoTzAdd(); });
    connect(actTzChange, &QAction::triggered, this, [this] { DoTzChange(); });
    connect(actTzDelete, &QAction::triggered, this, [this] { DoTzDelete(); });
    connect(actTzClear, &QAction::triggered, this, [this] { DoTzClear(); });
    connect(actCardAdd, &QAction::triggered, this, [this] { DoCardAdd(); });
    connect(actCardChange, &QAction::triggered, this, [this] { DoCardChange(); });
    connect(actCardDelete, &QAction::triggered, this, [this] { DoCardDelete(); });
    connect(actCardClear, &QAction::triggered, this, [this] { DoCardClear(); });
    connect(actRunTarvo, &QAction::triggered, this, [this] { DoRunTarvo(); });
    connect(actAbout, &QAction::triggered, this, [this] { DoAboutDlg(); });
    connect(actCardFilter, &QAction::triggered, this, [this] {
        pcMain->setCurrentWidget(tsCards);
        edtCardFilter->setFocus(Qt::ShortcutFocusReason);
        edtCardFilter->selectAll();
    });
    connect(actExit, &QAction::triggered, this, [this] { close(); });
    CreateTableExport();
}

void TfmMain::DoReaderDevices() {
    TfmReaderDevicesDlg lDlg(this);
    if (lDlg.exec() == QDialog::Accepted)
        RescanPorts(true); // the library looked at readers.ini again: its ports now
}

QWidget* TfmMain::CreateMainPage() {
    auto* lPage = new QWidget;
    lPage->setObjectName(QStringLiteral("tsMain"));

    grReader = new QGroupBox(QStringLiteral("Reader"), lPage);
    grReader->setObjectName(QStringLiteral("grReader"));
    edtRdSn = new QSpinBox(grReader);
    edtRdSn->setObjectName(QStringLiteral("edtRdSn"));
    edtRdSn->setRange(INT_MIN, INT_MAX);
    edtRdSn->setMinimumWidth(110);
    cbRdPort = new QComboBox(grReader);
    cbRdPort->setObjectName(QStringLiteral("cbRdPort"));
    cbRdPort->setEditable(true);
    cbRdPort->setInsertPolicy(QComboBox::NoInsert);
    cbRdPort->setMinimumWidth(260);
    btnRdFind = NewButton(grReader, "btnRdFind", actRdFind);
    btnReleasePort = NewButton(grReader, "btnReleasePort", actReleasePort);
    chkWiegand = new QCheckBox(QStringLiteral("&Wiegand (for Korvel)"), grReader);
    chkWiegand->setObjectName(QStringLiteral("chkWiegand"));
    btnRdDevices = new QPushButton(QStringLiteral("Reader dev&ices..."), grReader);
    btnRdDevices->setObjectName(QStringLiteral("btnRdDevices"));
    connect(btnRdDevices, &QPushButton::clicked, this, [this] { DoReaderDevices(); });

    auto* lReader = new QGridLayout(grReader);
    lReader->addWidget(NewLabel(grReader, "labRdSn", QStringLiteral("&S/n:"), edtRdSn), 0, 0);
    lReader->addWidget(edtRdSn, 0, 1);
    lReader->addWidget(btnRdFind, 0, 2);
    lReader->addWidget(NewLabel(grReader, "labRdPort", QStringLiteral("&Port:"), cbRdPort), 1, 0);
    lReader->addWidget(cbRdPort, 1, 1);
    lReader->addWidget(btnReleasePort, 1, 2);
    lReader->addWidget(chkWiegand, 2, 1);
    lReader->addWidget(btnRdDevices, 2, 2);
    lReader->setColumnStretch(1, 1);

    grLanguage = new QGroupBox(QStringLiteral("&Language"), lPage);
    grLanguage->setObjectName(QStringLiteral("grLanguage"));
    cbLanguage = new QComboBox(grLanguage);
    cbLanguage->setObjectName(QStringLiteral("cbLanguage"));
    auto* lLang = new QHBoxLayout(grLanguage);
    lLang->addWidget(cbLanguage, 1);

    dtpStartDay = new QTimeEdit(lPage);
    dtpStartDay->setObjectName(QStringLiteral("dtpStartDay"));
    dtpStartDay->setDisplayFormat(QStringLiteral("HH:mm"));
    cbKeyView = new QComboBox(lPage);
    cbKeyView->setObjectName(QStringLiteral("cbKeyView"));
    cbKeyView->addItems({QStringLiteral("Hexadecimal"), QStringLiteral("WIN-PAK PROXWAY ЭРА")});

    auto* lOther = new QGridLayout;
    lOther->addWidget(NewLabel(lPage, "labStartDay", QStringLiteral("Start/end of the &day:"), dtpStartDay),
                      0, 0);
    lOther->addWidget(dtpStartDay, 0, 1);
    lOther->addWidget(NewLabel(lPage, "labKeyView", QStringLiteral("&View of key:"), cbKeyView), 1, 0);
    lOther->addWidget(cbKeyView, 1, 1);
    lOther->setColumnStretch(2, 1);

    auto* lLayout = new QVBoxLayout(lPage);
    lLayout->addWidget(grReader);
    lLayout->addWidget(grLanguage);
    lLayout->addLayout(lOther);
    lLayout->addStretch();

    connect(cbRdPort, qOverload<int>(&QComboBox::activated), this,
            [this](int AIndex) { cbRdPortChange(AIndex); });
    connect(chkWiegand, &QCheckBox::toggled, this, [this](bool AOn) {
        if (m_nCtrlUpdate == 0)
            m_oDoc->SetKorvelWiegand(AOn);
    });
    connect(cbKeyView, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int AIndex) {
        if (m_nCtrlUpdate == 0 && AIndex >= 0)
            m_oDoc->SetKeyView(AIndex);
    });
    connect(cbLanguage, qOverload<int>(&QComboBox::currentIndexChanged), this, [this](int AIndex) {
        if (m_nCtrlUpdate != 0 || AIndex < 0)
            return;
        // Item data: the position in the language files + 1; none for "English (internal)".
        const int lFile = cbLanguage->itemData(AIndex).toInt() - 1;
        m_oDoc->SetLanguage(lFile >= 0 && lFile < static_cast<int>(m_aLangs.size())
                                ? m_aLangs[static_cast<std::size_t>(lFile)].m_nLangId
                                : 0u);
    });
    return lPage;
}

QWidget* TfmMain::CreateZonesPage() {
    auto* lPage = new QWidget;
    lPage->setObjectName(QStringLiteral("tsZones"));
    lvZones = new TListView(lPage);
    lvZones->setObjectName(QStringLiteral("lvZones"));
    auto* lButtons = new QHBoxLayout;
    lButtons->addWidget(NewButton(lPage, "btnTzAdd", actTzAdd));
    lButtons->addWidget(NewButton(lPage, "btnTzChange", actTzChange));
    lButtons->addWidget(NewButton(lPage, "btnTzDelete", actTzDelete));
    lButtons->addStretch();
    auto* lLayout = new QVBoxLayout(lPage);
    lLayout->addWidget(lvZones, 1);
    lLayout->addLayout(lButtons);
    return lPage;
}

QWidget* TfmMain::CreateCardsPage() {
    auto* lPage = new QWidget;
    lPage->setObjectName(QStringLiteral("tsCards"));
    lvCards = new TListView(lPage);
    lvCards->setObjectName(QStringLiteral("lvCards"));
    // Narrows the rows shown; the cards and their order stay as they are.
    edtCardFilter = new QLineEdit(lPage);
    edtCardFilter->setObjectName(QStringLiteral("edtCardFilter"));
    edtCardFilter->setPlaceholderText(LoadResString(MSG_CARD_FILTER_HINT));
    edtCardFilter->setClearButtonEnabled(true);
    auto* lFilter = new QHBoxLayout;
    lFilter->addWidget(NewLabel(lPage, "labCardFilter", QStringLiteral("&Filter:"), edtCardFilter));
    lFilter->addWidget(edtCardFilter, 1);
    cbCardRdMode = new QComboBox(lPage);
    cbCardRdMode->setObjectName(QStringLiteral("cbCardRdMode"));
    cbCardRdMode->addItems({QStringLiteral("Inactive"), QStringLiteral("Add"), QStringLiteral("Find"),
                            QStringLiteral("Delete")});
    auto* lButtons = new QHBoxLayout;
    lButtons->addWidget(NewButton(lPage, "btnCardAdd", actCardAdd));
    lButtons->addWidget(NewButton(lPage, "btnCardChange", actCardChange));
    lButtons->addWidget(NewButton(lPage, "btnCardDelete", actCardDelete));
    lButtons->addStretch();
    lButtons->addWidget(NewLabel(lPage, "labCardRdMode", QStringLiteral("Mod&e:"), cbCardRdMode));
    lButtons->addWidget(cbCardRdMode);
    auto* lLayout = new QVBoxLayout(lPage);
    lLayout->addLayout(lFilter);
    lLayout->addWidget(lvCards, 1);
    lLayout->addLayout(lButtons);
    connect(edtCardFilter, &QLineEdit::textChanged, this,
            [this](const QString& AText) { m_oCardFilter->SetFilterText(AText); });
    // Enter, Escape and the down arrow in the field belong to it, not to OK and Cancel.
    edtCardFilter->installEventFilter(this);
    connect(cbCardRdMode, qOverload<int>(&QComboBox::currentIndexChanged), this,
            [this](int AIndex) { cbCardRdModeChange(AIndex); });
    return lPage;
}

void TfmMain::CreateForm() {
    auto* lCentral = new QWidget(this);
    lCentral->setObjectName(QStringLiteral("pnlClient"));
    setCentralWidget(lCentral);

    pcMain = new QTabWidget(lCentral);
    pcMain->setObjectName(QStringLiteral("pcMain"));
    tsMain = CreateMainPage();
    tsZones = CreateZonesPage();
    tsCards = CreateCardsPage();
    pcMain->addTab(tsMain, QStringLiteral("&Main"));
    pcMain->addTab(tsZones, QStringLiteral("&Time Zones"));
    pcMain->addTab(tsCards, QStringLiteral("&Cards"));

    // The tool bar sits at the top right, beside the tabs.
    tbMain = new QToolBar(lCentral);
    tbMain->setObjectName(QStringLiteral("tbMain"));
    tbMain->setIconSize(QSize(16, 16));
    tbMain->setToolButtonStyle(Qt::ToolButtonIconOnly);
    tbMain->addAction(actRunTarvo);
    btnStartTarvo = qobject_cast<QToolButton*>(tbMain->widgetForAction(actRunTarvo));
    if (btnStartTarvo)
        btnStartTarvo->setObjectName(QStringLiteral("btnStartTarvo"));
    tbMain->addSeparator();
    tbMain->addAction(actImport);
    btnImport = qobject_cast<QToolButton*>(tbMain->widgetForAction(actImport));
    tbMain->addAction(actExport);
    btnExport = qobject_cast<QToolButton*>(tbMain->widgetForAction(actExport));
    if (btnImport)
        btnImport->setObjectName(QStringLiteral("btnImport"));
    if (btnExport)
        btnExport->setObjectName(QStringLiteral("btnExport"));
    tbMain->addSeparator();
    tbMain->addAction(actAbout);
    pcMain->setCornerWidget(tbMain, Qt::TopRightCorner);

    btnOk = new QPushButton(QStringLiteral("&OK"), lCentral);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnOk->setAutoDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Ca&ncel"), lCentral);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnOk, &QPushButton::clicked, this, [this] { btnOkClick(); });
    btnCancel->setAutoDefault(true);
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });

    auto* lButtons = new QHBoxLayout;
    lButtons->addStretch();
    lButtons->addWidget(btnOk);
    lButtons->addWidget(btnCancel);
    auto* lLayout = new QVBoxLayout(lCentral);
    lLayout->addWidget(pcMain, 1);
    lLayout->addLayout(lButtons);

    labReaderState = new QLabel(this);
    labReaderState->setObjectName(QStringLiteral("labReaderState"));
    statusBar()->setObjectName(QStringLiteral("sbMain"));
    statusBar()->addWidget(labReaderState, 1);

    timerOpenPort = new QTimer(this);
    timerOpenPort->setObjectName(QStringLiteral("timerOpenPort"));
    timerOpenPort->setInterval(1000);
    connect(timerOpenPort, &QTimer::timeout, this, [this] { timerOpenPortTimer(); });
}

void TfmMain::CreateMenus() {
    pmExport = new QMenu(this);
    pmExport->setObjectName(QStringLiteral("pmExport"));
    pmExport->addAction(actExportExcel);
    pmExport->addAction(actExportCsv);
    pmImport = new QMenu(this);
    pmImport->setObjectName(QStringLiteral("pmImport"));
    pmImport->addAction(actImportExcel);
    pmImport->addAction(actImportCsv);
    // Dropped down below the tool button, at its left edge.
    auto lDropDown = [this](QMenu* AMenu, QToolButton* AButton) {
        if (AButton)
            AMenu->popup(AButton->mapToGlobal(QPoint(0, AButton->height())));
    };
    connect(actImport, &QAction::triggered, this, [this, lDropDown] { lDropDown(pmImport, btnImport); });
    connect(actExport, &QAction::triggered, this, [this, lDropDown] { lDropDown(pmExport, btnExport); });

    pmZones = new QMenu(this);
    pmZones->setObjectName(QStringLiteral("pmZones"));
    pmZones->addActions({actTzAdd, actTzChange, actTzDelete, actTzClear});
    pmZones->addSeparator();
    QMenu* lTzExport = pmZones->addMenu(QStringLiteral("Export"));
    lTzExport->setObjectName(QStringLiteral("miTzExport"));
    lTzExport->addActions({actTzExportExcel, actTzExportCsv});
    QMenu* lTzImport = pmZones->addMenu(QStringLiteral("Import"));
    lTzImport->setObjectName(QStringLiteral("miTzImport"));
    lTzImport->addActions({actTzImportExcel, actTzImportCsv});

    pmCards = new QMenu(this);
    pmCards->setObjectName(QStringLiteral("pmCards"));
    pmCards->addActions({actCardAdd, actCardChange, actCardDelete, actCardClear});
    pmCards->addSeparator();
    QMenu* lKeyView = pmCards->addMenu(QStringLiteral("View of key"));
    lKeyView->setObjectName(QStringLiteral("miKeyView"));
    auto* lGroup = new QActionGroup(lKeyView);
    miKeyViewHex = lKeyView->addAction(QStringLiteral("Hexadecimal"));
    miKeyViewHex->setObjectName(QStringLiteral("miKeyViewHex"));
    miKeyViewWinPak = lKeyView->addAction(QStringLiteral("WIN-PAK PROXWAY ЭРА"));
    miKeyViewWinPak->setObjectName(QStringLiteral("miKeyViewWinPak"));
    for (QAction* lItem : {miKeyViewHex, miKeyViewWinPak}) {
        lItem->setCheckable(true);
        lGroup->addAction(lItem);
    }
    connect(miKeyViewHex, &QAction::triggered, this, [this] { m_oDoc->SetKeyView(0); });
    connect(miKeyViewWinPak, &QAction::triggered, this, [this] { m_oDoc->SetKeyView(1); });
    connect(pmCards, &QMenu::aboutToShow, this, [this] {
        miKeyViewHex->setChecked(m_oDoc->KeyView() == 0);
        miKeyViewWinPak->setChecked(m_oDoc->KeyView() == 1);
    });
    pmCards->addSeparator();
    QMenu* lCardExport = pmCards->addMenu(QStringLiteral("Export"));
    lCardExport->setObjectName(QStringLiteral("miCardExport"));
    lCardExport->addActions({actCardExportExcel, actCardExportCsv});
    QMenu* lCardImport = pmCards->addMenu(QStringLiteral("Import"));
    lCardImport->setObjectName(QStringLiteral("miCardImport"));
    lCardImport->addActions({actCardImportExcel, actCardImportCsv});
}

void TfmMain::CreateViews() {
    m_oTzVD = std::make_unique<TTimeZonesViewData>(*m_oDoc);
    m_oCardVD = std::make_unique<TCardsViewData>(*m_oDoc);
    m_oCardFilter = std::make_unique<TCardFilterViewData>(*m_oDoc, *m_oCardVD);
    const auto lRight = Qt::AlignRight | Qt::AlignVCenter;
    m_pTzModel =
        new TListViewModel(*m_oTzVD,
                           {{QStringLiteral("#"), 50, lRight, false},
                            {QStringLiteral("Zone Name"), 0, Qt::AlignLeft | Qt::AlignVCenter, true},
                            {QStringLiteral("Start time"), 75, Qt::AlignLeft | Qt::AlignVCenter, false},
                            {QStringLiteral("Base cost per minute"), 115, lRight, false},
                            {QStringLiteral("Minimum cost per minute"), 130, lRight, false}},
                           this);
    m_pCardModel =
        new TListViewModel(*m_oCardFilter,
                           {{QStringLiteral("#"), 50, lRight, false},
                            {QStringLiteral("Key"), 100, Qt::AlignLeft | Qt::AlignVCenter, false},
                            {QStringLiteral("User name"), 100, Qt::AlignLeft | Qt::AlignVCenter, false},
                            {QStringLiteral("Level of service"), 90, lRight, false},
                            {QStringLiteral("Comment"), 0, Qt::AlignLeft | Qt::AlignVCenter, true}},
                           this);
    lvZones->SetListModel(m_pTzModel);
    lvCards->SetListModel(m_pCardModel);
    // The fixed widths suit the small form font; a larger desktop font still shows whole captions.
    for (TListView* lList : {lvZones, lvCards}) {
        const auto& lColumns = lList->ListModel()->Columns();
        for (int i = 0; i < int(lColumns.size()); ++i) {
            const int lNeeded = lList->header()->fontMetrics().horizontalAdvance(lColumns[i].m_sCaption) + 16;
            if (!lColumns[i].m_fFill && lList->header()->sectionSize(i) < lNeeded)
                lList->header()->resizeSection(i, lNeeded);
        }
    }
    m_oTzVD->SetOnUpdateAllView([this](TVirtualListViewData&) { m_pTzModel->UpdateAll(); });
    m_oCardFilter->SetOnUpdateAllView([this](TVirtualListViewData&) { m_pCardModel->UpdateAll(); });

    connect(lvZones, &TListView::rowDoubleClicked, this, [this](int) { DoTzChange(); });
    connect(lvCards, &TListView::rowDoubleClicked, this, [this](int) { DoCardChange(); });
    // Enter on a row does what a double-click does.
    connect(lvZones, &TListView::enterPressed, this, [this] { DoTzChange(); });
    connect(lvCards, &TListView::enterPressed, this, [this] { DoCardChange(); });
    connect(lvZones, &TListView::contextMenuRequested, this,
            [this](const QPoint& APos) { ShowListMenu(lvZones, pmZones, APos); });
    connect(lvCards, &TListView::contextMenuRequested, this,
            [this](const QPoint& APos) { ShowListMenu(lvCards, pmCards, APos); });
    // Delete and Ctrl+A reach the window through the lists' key events.
    lvZones->installEventFilter(this);
    lvCards->installEventFilter(this);
}

} // namespace ConfigTarvo
