// The settings dialog's "Interface" page: language and pop-up messages.

#include "apps/Tarvo/uDlgSettings.h"

#include "base/uLangFiles.h"
#include "base/uMessages.h"
#include "frontdesk/uTarvoDoc.h"
#include "gui/uErrorBox.h"
#include "gui/uLangFlags.h"
#include "gui/uPopupMsg.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <climits>

namespace {

constexpr int FONT_SIZES[] = {8, 9, 10, 11, 12, 14, 16, 18, 20, 22, 24, 26, 28, 36, 48, 72};
// The font name stored for the list's default entry, in every language: the entry's shown text is
// translated, the data file must not depend on the language the settings were made in.
constexpr const char* STORED_DEFAULT_FONT = "<default>";

// The label's Alt letter moves the focus to its field.
QLabel* WithBuddy(QLabel* ALabel, QWidget* AField) {
    ALabel->setBuddy(AField);
    return ALabel;
}

QLabel* NewLabel(QWidget* AParent, const char* AName, const char* ACaption) {
    auto* lLabel = new QLabel(QString::fromUtf8(ACaption), AParent);
    lLabel->setObjectName(QLatin1String(AName));
    return lLabel;
}

QSpinBox* NewSpin(QWidget* AParent, const char* AName, int AMin, int AMax) {
    auto* lSpin = new QSpinBox(AParent);
    lSpin->setObjectName(QLatin1String(AName));
    lSpin->setRange(AMin, AMax);
    return lSpin;
}

// Shows AText in an editable list: its entry when there is one, the text alone otherwise.
void ShowListText(QComboBox* AList, const QString& AText) {
    AList->setCurrentIndex(AList->findText(AText));
    AList->setEditText(AText);
}

} // namespace

QWidget* TfmSettingsDlg::CreateInterfacePage() {
    auto* lPage = new QWidget;
    lPage->setObjectName(QStringLiteral("tsInterface"));
    auto* lLayout = new QVBoxLayout(lPage);

    auto* grLanguage = new QGroupBox(QStringLiteral("&Language"), lPage);
    grLanguage->setObjectName(QStringLiteral("grLanguage"));
    auto* lLangLayout = new QVBoxLayout(grLanguage);
    cbLanguage = new QComboBox(grLanguage);
    cbLanguage->setObjectName(QStringLiteral("cbLanguage"));
    lLangLayout->addWidget(cbLanguage);
    lLayout->addWidget(grLanguage);

    auto* grPopup = new QGroupBox(QStringLiteral("Pop-up messages"), lPage);
    grPopup->setObjectName(QStringLiteral("grPopup"));
    auto* lForm = new QFormLayout(grPopup);
    cbFontName = new QComboBox(grPopup);
    cbFontName->setObjectName(QStringLiteral("cbFontName"));
    cbFontName->setEditable(true);
    cbFontName->setInsertPolicy(QComboBox::NoInsert);
    cbFontName->setMaxVisibleItems(50);
    cbFontSize = new QComboBox(grPopup);
    cbFontSize->setObjectName(QStringLiteral("cbFontSize"));
    cbFontSize->setEditable(true);
    cbFontSize->setInsertPolicy(QComboBox::NoInsert);
    cbFontSize->setMaxVisibleItems(40);
    for (int lSize : FONT_SIZES)
        cbFontSize->addItem(QString::number(lSize));
    edtPopupMax = NewSpin(grPopup, "edtPopupMax", 1, 10000);
    edtPopupTimeOut = NewSpin(grPopup, "edtPopupTimeOut", 1, 10000);
    btnTest = new QPushButton(QStringLiteral("&Test"), grPopup);
    btnTest->setObjectName(QStringLiteral("btnTest"));
    lForm->addRow(WithBuddy(NewLabel(grPopup, "labFontName", "Font &name:"), cbFontName), cbFontName);
    lForm->addRow(WithBuddy(NewLabel(grPopup, "labFontSize", "Font si&ze:"), cbFontSize), cbFontSize);
    lForm->addRow(WithBuddy(NewLabel(grPopup, "labPopupMax", "Ma&ximum messages:"), edtPopupMax),
                  edtPopupMax);
    lForm->addRow(WithBuddy(NewLabel(grPopup, "labPopupTimeOut", "T&imeout show (sec):"), edtPopupTimeOut),
                  edtPopupTimeOut);
    lForm->addRow(QString(), btnTest);
    lLayout->addWidget(grPopup);
    lLayout->addStretch(1);

    Watch(cbLanguage, &QComboBox::currentIndexChanged);
    // Choosing the entry already shown is a choice too: a stored language without a listed entry
    // shows "English (internal)", and picking it must store English.
    Watch(cbLanguage, &QComboBox::activated);
    Watch(cbFontName, &QComboBox::currentTextChanged);
    Watch(cbFontSize, &QComboBox::currentTextChanged);
    Watch(edtPopupMax, &QSpinBox::valueChanged);
    Watch(edtPopupTimeOut, &QSpinBox::valueChanged);
    connect(btnTest, &QPushButton::clicked, this, &TfmSettingsDlg::btnTestClick);
    return lPage;
}

void TfmSettingsDlg::InitInterfacePage() {
    ++m_nCtrlUpdate;
    // The built-in English first, then every language file of the front desk as the file system lists
    // them; each entry carries its language id.
    cbLanguage->clear();
    cbLanguage->addItem(LangFlagIcon(1033), LoadResString(MSG_LANG_INTERNAL), QVariant(0u));
    TALangs lLangs;
    FindLanguageFiles(QStringLiteral("Tarvo-"), lLangs, FDoc->LangDir());
    for (const TLangInfo& lLang : lLangs) {
        const QString lTitle = lLang.m_sTitle.isEmpty() ? lLang.m_sFileName : lLang.m_sTitle;
        cbLanguage->addItem(LangFlagIcon(lLang.m_nLangId), lTitle, QVariant(lLang.m_nLangId));
    }

    QStringList lFamilies = QFontDatabase::families();
    lFamilies.sort(Qt::CaseInsensitive);
    cbFontName->clear();
    cbFontName->addItem(DefaultFontText());
    QString lPrevious;
    for (const QString& lFamily : lFamilies) {
        if (lFamily == lPrevious)
            continue;
        cbFontName->addItem(lFamily);
        lPrevious = lFamily;
    }
    // The popups belong to the main window's manager; without one there is nothing to test with.
    btnTest->setEnabled(TPopupMsgMngr::Instance() != nullptr);
    --m_nCtrlUpdate;
}

void TfmSettingsDlg::LoadInterfacePage() {
    ++m_nCtrlUpdate;
    const int lLang = cbLanguage->findData(QVariant(m_oCopy.m_nLanguage));
    cbLanguage->setCurrentIndex(lLang >= 0 ? lLang : 0);
    const bool lDefaultFont =
        m_oCopy.m_sFontName.isEmpty() || m_oCopy.m_sFontName == QLatin1String(STORED_DEFAULT_FONT);
    ShowListText(cbFontName, lDefaultFont ? DefaultFontText() : m_oCopy.m_sFontName);
    if (m_oCopy.m_nFontSize != 0) {
        ShowListText(cbFontSize, QString::number(m_oCopy.m_nFontSize));
    } else {
        const int lOwn = cbFontSize->findText(QString::number(font().pointSize()));
        cbFontSize->setCurrentIndex(lOwn >= 0 ? lOwn : 0);
    }
    edtPopupMax->setValue(m_oCopy.m_nPopupMax);
    edtPopupTimeOut->setValue(static_cast<int>(qMin<std::uint32_t>(m_oCopy.m_nPopupTimeOut, 10000)));
    --m_nCtrlUpdate;
}

void TfmSettingsDlg::ReadInterfacePage() {
    if (Touched(cbLanguage) && cbLanguage->currentIndex() >= 0)
        m_oCopy.m_nLanguage = cbLanguage->currentData().toUInt();
    if (Touched(cbFontName))
        m_oCopy.m_sFontName = cbFontName->currentText() == DefaultFontText()
                                  ? QString::fromLatin1(STORED_DEFAULT_FONT)
                                  : cbFontName->currentText();
    if (Touched(cbFontSize))
        m_oCopy.m_nFontSize = Tarvo::FontSizeOfText(cbFontSize->currentText());
    if (Touched(edtPopupMax))
        m_oCopy.m_nPopupMax = edtPopupMax->value();
    if (Touched(edtPopupTimeOut))
        m_oCopy.m_nPopupTimeOut = static_cast<std::uint32_t>(edtPopupTimeOut->value());
}

void TfmSettingsDlg::btnTestClick() {
    TPopupMsgMngr* lMngr = TPopupMsgMngr::Instance();
    if (!lMngr)
        return;
    const int lOldMax = lMngr->PmMax();
    try {
        ReadFilledPages();
        const QString lFont =
            m_oCopy.m_sFontName == QLatin1String(STORED_DEFAULT_FONT) ? QString() : m_oCopy.m_sFontName;
        lMngr->SetPmMax(m_oCopy.m_nPopupMax);
        const auto lTimeOutMs = qMin<quint64>(quint64(m_oCopy.m_nPopupTimeOut) * 1000u, UINT_MAX);
        lMngr->ShowPopupMessage(LoadResString(MSG_POPUP_TEST), {}, lFont, m_oCopy.m_nFontSize,
                                static_cast<unsigned>(lTimeOutMs));
        lMngr->SetPmMax(lOldMax);
    } catch (const std::exception& lError) {
        lMngr->SetPmMax(lOldMax);
        ShowException(this, lError);
    }
}
