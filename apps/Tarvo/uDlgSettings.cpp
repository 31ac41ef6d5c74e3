#include "apps/Tarvo/uDlgSettings.h"
#include "base/uMessages.h"
#include "gui/uDialogButtons.h"

#include "base/uAutorun.h"
#include "base/uExceptions.h"
#include "frontdesk/uTarvoDoc.h"
#include "gui/uErrorBox.h"
#include "gui/uLangForm.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTabWidget>
#include <QVBoxLayout>

using Tarvo::TTarvoDoc;

namespace {

enum TPageIdx { IDX_MAIN = 0, IDX_INTERFACE, IDX_READER, IDX_CAMERA };

} // namespace

TfmSettingsDlg::TfmSettingsDlg(QWidget* AOwner, TTarvoDoc& ADoc) : QDialog(AOwner), FDoc(&ADoc) {
    setObjectName(QStringLiteral("TfmSettingsDlg"));
    setWindowTitle(QStringLiteral("Settings"));
    CreateControls();
    setFixedSize(642, 464);
    // Edit fields and the typed texts of the lists (font, size, printer) hold settings, not texts.
    RegisterLangForm(this,
                     {QStringLiteral("TfmSettingsDlg-edt*-*"), QStringLiteral("TfmSettingsDlg-cb*-Text"),
                      QStringLiteral("TfmSettingsDlg-cbFontSize-*")});
}

TfmSettingsDlg::~TfmSettingsDlg() {
    // A dialog destroyed without closing leaves no handler behind that points at it.
    ReturnCamerasDone();
}

QString TfmSettingsDlg::DefaultFontText() {
    return LoadResString(MSG_DEFAULT_FONT);
}

void TfmSettingsDlg::CreateControls() {
    ++m_nCtrlUpdate;
    auto* lLayout = new QVBoxLayout(this);
    pcSettings = new QTabWidget(this);
    pcSettings->setObjectName(QStringLiteral("pcSettings"));
    pcSettings->addTab(CreateMainPage(), QStringLiteral("Main"));
    pcSettings->addTab(CreateInterfacePage(), QStringLiteral("Interface"));
    pcSettings->addTab(CreateReaderPage(), QStringLiteral("Reader"));
    pcSettings->addTab(CreateCameraPage(), QStringLiteral("Camera"));
    lLayout->addWidget(pcSettings);

    lLayout->addLayout(MakeOkCancelRow(this, btnOk, btnCancel));

    connect(btnOk, &QPushButton::clicked, this, &TfmSettingsDlg::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject); // Esc rejects too
    connect(pcSettings, &QTabWidget::currentChanged, this, &TfmSettingsDlg::pcSettingsChange);
    pcSettings->setCurrentIndex(IDX_MAIN);
    --m_nCtrlUpdate;
}

void TfmSettingsDlg::showEvent(QShowEvent* AEvent) {
    QDialog::showEvent(AEvent);
    if (AEvent->spontaneous())
        return;
    m_oCopy.LoadFromDoc(*FDoc);
    m_fAutorunUnknown = false;
    try {
        m_oCopy.m_fAutorun = IsAutorun(QString::fromLatin1(AUTORUN_NAME));
    } catch (const std::exception& lError) {
        m_oCopy.m_fAutorun = false;
        m_fAutorunUnknown = true;
        ShowException(this, lError);
    }
    m_fAutorunShown = m_oCopy.m_fAutorun;
    m_aTouched.clear();
    // Shown again after closing: the VI page takes the client's cameras-done event back.
    if (m_nInitCamPages & CAMPAGE_VI)
        BorrowCamerasDone();
    LoadFilledPages();
    InitPage(pcSettings->currentIndex());
}

void TfmSettingsDlg::pcSettingsChange(int AIdx) {
    if (isVisible())
        InitPage(AIdx);
}

void TfmSettingsDlg::InitPage(int AIdx) {
    switch (AIdx) {
    case IDX_MAIN:
        if (!(m_nInitPages & PAGE_MAIN)) {
            InitMainPage();
            m_nInitPages |= PAGE_MAIN;
            LoadMainPage();
        }
        break;
    case IDX_INTERFACE:
        if (!(m_nInitPages & PAGE_INTERFACE)) {
            InitInterfacePage();
            m_nInitPages |= PAGE_INTERFACE;
            LoadInterfacePage();
        }
        break;
    case IDX_READER:
        if (!(m_nInitPages & PAGE_READER)) {
            m_nInitPages |= PAGE_READER;
            LoadReaderPage();
        }
        break;
    case IDX_CAMERA:
        if (!(m_nInitPages & PAGE_CAMERA)) {
            m_nInitPages |= PAGE_CAMERA;
            LoadCameraPage();
        }
        break;
    default:
        break;
    }
}

void TfmSettingsDlg::LoadFilledPages() {
    if (m_nInitPages & PAGE_MAIN)
        LoadMainPage();
    if (m_nInitPages & PAGE_INTERFACE)
        LoadInterfacePage();
    if (m_nInitPages & PAGE_READER)
        LoadReaderPage();
    if (m_nInitPages & PAGE_CAMERA)
        LoadCameraPage();
}

void TfmSettingsDlg::ReadFilledPages() {
    if (m_nInitPages & PAGE_MAIN)
        ReadMainPage();
    if (m_nInitPages & PAGE_INTERFACE)
        ReadInterfacePage();
    if (m_nInitPages & PAGE_READER)
        ReadReaderPage();
    if (m_nInitPages & PAGE_CAMERA)
        ReadCameraPage();
}

bool TfmSettingsDlg::StoreSettings() {
    try {
        ReadFilledPages();
        m_oCopy.StoreToDoc(*FDoc);
        if (FDoc->Modifyed()) {
            try {
                FDoc->Save();
            } catch (const EDataFileIncomplete& lError) {
                // The file lost settings when it was read; replacing it needs the operator's word.
                const QString lQuestion = QString::fromUtf8(lError.what()) + QStringLiteral("\n\n") +
                                          LoadResString(MSG_SAVE_SETTINGS_ANYWAY);
                if (QMessageBox::question(this, QCoreApplication::applicationName(), lQuestion,
                                          QMessageBox::Yes | QMessageBox::No,
                                          QMessageBox::No) != QMessageBox::Yes)
                    return false;
                FDoc->Save(true);
            }
        }
        if (!m_fAutorunUnknown || m_oCopy.m_fAutorun != m_fAutorunShown || Touched(chkAutorun))
            SetAutorun(
                m_oCopy.m_fAutorun, QString::fromLatin1(AUTORUN_NAME),
                AutorunCommandLine(QCoreApplication::applicationFilePath(), QStringLiteral("-autorun")));
        return true;
    } catch (const std::exception& lError) {
        ShowException(this, lError);
        return false;
    }
}

void TfmSettingsDlg::done(int AResult) {
    if (FVI && FVI->Active())
        FVI->BreakAll();
    ReturnCamerasDone();
    QDialog::done(AResult);
}

void TfmSettingsDlg::btnOkClick() {
    if (StoreSettings())
        accept();
}

bool ExecSettingsDlg(QWidget* AOwner, TTarvoDoc& ADoc, bool ACentreOnScreen, TWebCam* AWebCam, TVI* AVI) {
    TfmSettingsDlg lDlg(AOwner, ADoc);
    lDlg.SetWebCam(AWebCam);
    lDlg.SetVI(AVI);
    if (ACentreOnScreen) {
        const QScreen* lScreen =
            AOwner && AOwner->screen() ? AOwner->screen() : QGuiApplication::primaryScreen();
        if (lScreen)
            lDlg.move(lScreen->availableGeometry().center() - lDlg.rect().center());
    }
    return lDlg.exec() == QDialog::Accepted;
}
