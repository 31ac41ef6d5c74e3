#include "apps/ConfigTarvo/uDlgCard.h"

#include "base/uExceptions.h"
#include "base/uLocale.h"
#include "base/uMessages.h"
#include "config/uTarvoDoc.h"
#include "gui/uErrorBox.h"
#include "gui/uLangForm.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <limits>

namespace {

void AddRow(QGridLayout* ALayout, int ARow, const char* AName, const QString& ACaption, QWidget* AControl) {
    auto* lLabel = new QLabel(ACaption);
    lLabel->setObjectName(QString::fromLatin1(AName));
    lLabel->setBuddy(AControl);
    ALayout->addWidget(lLabel, ARow, 0, Qt::AlignLeft | Qt::AlignTop);
    ALayout->addWidget(AControl, ARow, 1);
}

// Longest hexadecimal text of a key number: fifteen bytes.
constexpr qsizetype c_nMaxHexDigits = 30;

} // namespace

TfmCardDlg::TfmCardDlg(QWidget* AOwner) : QDialog(AOwner) {
    setObjectName(QStringLiteral("TfmCardDlg"));
    setWindowTitle(QStringLiteral("Card properties"));
    // Only a close box in the title bar.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    edtNumber = new QLineEdit;
    edtNumber->setObjectName(QStringLiteral("edtNumber"));
    cbKeEdit = new QComboBox;
    cbKeEdit->setObjectName(QStringLiteral("cbKeEdit"));
    cbKeEdit->addItems({QStringLiteral("Hexadecimal"), QStringLiteral("WIN-PAK PROXWAY ЭРА")});
    edtName = new QLineEdit;
    edtName->setObjectName(QStringLiteral("edtName"));
    edtLevel = new QSpinBox;
    edtLevel->setObjectName(QStringLiteral("edtLevel"));
    edtLevel->setRange(0, std::numeric_limits<std::int32_t>::max());
    edtComment = new QPlainTextEdit;
    edtComment->setObjectName(QStringLiteral("edtComment"));
    edtComment->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    edtComment->setTabChangesFocus(true);

    auto* lGrid = new QGridLayout;
    AddRow(lGrid, 0, "labNumber", QStringLiteral("&Number:"), edtNumber);
    AddRow(lGrid, 1, "labKeEdit", QStringLiteral("&Input format:"), cbKeEdit);
    AddRow(lGrid, 2, "labName", QStringLiteral("&User Name:"), edtName);
    AddRow(lGrid, 3, "labLevel", QStringLiteral("&Level of Service:"), edtLevel);
    AddRow(lGrid, 4, "labComment", QStringLiteral("Co&mment:"), edtComment);
    lGrid->setColumnStretch(1, 1);
    lGrid->setRowStretch(4, 1);

    btnOk = new QPushButton(QStringLiteral("&OK"));
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("&Cancel"));
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnOk, &QPushButton::clicked, this, &TfmCardDlg::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(cbKeEdit, &QComboBox::currentIndexChanged, this, &TfmCardDlg::cbKeEditChange);

    auto* lButtons = new QHBoxLayout;
    lButtons->addStretch(1);
    lButtons->addWidget(btnOk);
    lButtons->addWidget(btnCancel);
    auto* lMain = new QVBoxLayout(this);
    lMain->addLayout(lGrid, 1);
    lMain->addLayout(lButtons);
    resize(456, 222);
    RegisterLangForm(this, {QStringLiteral("TfmCardDlg-edt*-*")});
}

QString TfmCardDlg::NumberToText(const TOrv_KEYNUM& ANumber, int AFormat) {
    return KeyNumToStr(ANumber, AFormat == KEYVIEW_WINPAK ? KEYVIEW_WINPAK : KEYVIEW_HEX);
}

TOrv_KEYNUM TfmCardDlg::TextToNumber(const QString& AText, int AFormat) {
    TOrv_KEYNUM lNumber{};
    if (AFormat == KEYVIEW_WINPAK) {
        std::int32_t lValue = 0;
        if (TryStrToInt(AText, lValue)) {
            const auto lBits = std::uint32_t(lValue);
            lNumber[0] = 3;
            lNumber[1] = std::uint8_t(lBits);
            lNumber[2] = std::uint8_t(lBits >> 8);
            lNumber[3] = std::uint8_t(lBits >> 16);
        }
        return lNumber;
    }
    // Text longer than the longest key would lose its leading digits without a word: refuse it.
    if (AText.size() > c_nMaxHexDigits || !HexToKeyNum(AText, lNumber))
        lNumber.fill(0);
    return lNumber;
}

int TfmCardDlg::exec() {
    TARVO_ASSERT(m_pDoc != nullptr, "DlgCard");
    LoadFromDoc();
    return QDialog::exec();
}

void TfmCardDlg::LoadFromDoc() {
    if (m_nCardIdx < 0) {
        m_Number.fill(0);
        m_sName.clear();
        m_nLevel = 0;
        m_sComment.clear();
    } else {
        const TCard* lCard = m_pDoc->Cards().GetCard(m_nCardIdx);
        m_Number = lCard->m_Number;
        m_sName = lCard->m_sUserName;
        m_nLevel = lCard->m_nLevel;
        m_sComment = lCard->m_sComment;
    }
    ++m_nCtrlUpdate;
    m_nShownFormat = m_pDoc->KeyEditFormat() == KEYVIEW_WINPAK ? KEYVIEW_WINPAK : KEYVIEW_HEX;
    cbKeEdit->setCurrentIndex(m_nShownFormat);
    edtName->setText(m_sName);
    edtLevel->setValue(m_nLevel);
    edtComment->setPlainText(m_sComment);
    edtNumber->setText(NumberToText(m_Number, m_nShownFormat));
    --m_nCtrlUpdate;
    // A card presented at the reader arrives with its number: the name is what is left to type.
    if (m_Number[0] != 0 && m_sName.isEmpty())
        edtName->setFocus();
    else
        edtNumber->setFocus();
}

void TfmCardDlg::cbKeEditChange(int AIndex) {
    if (m_nCtrlUpdate > 0 || AIndex < 0)
        return;
    const TOrv_KEYNUM lNumber = TextToNumber(edtNumber->text(), m_nShownFormat);
    m_pDoc->SetKeyEditFormat(AIndex);
    m_nShownFormat = AIndex;
    edtNumber->setText(NumberToText(lNumber, m_nShownFormat));
}

void TfmCardDlg::btnOkClick() {
    m_sName = edtName->text().trimmed();
    m_nLevel = edtLevel->value();
    m_sComment = edtComment->toPlainText();
    m_Number = TextToNumber(edtNumber->text(), m_nShownFormat);

    QWidget* lFocus = nullptr;
    QString lError;
    if (m_Number[0] == 0) {
        lError = LoadResString(MSG_VALUE_NOT_HEX);
        lFocus = edtNumber;
    } else if (const int i = m_pDoc->FindCardByNumber(m_Number); i >= 0 && i != m_nCardIdx) {
        lError = FormatResString(MSG_KEY_ALREADY_ADDED, {KeyNumToStr(m_Number, m_pDoc->KeyView())});
        lFocus = edtNumber;
    } else if (!m_sName.isEmpty()) {
        if (const int j = m_pDoc->FindCardByUserName(m_sName); j >= 0 && j != m_nCardIdx) {
            lError = FormatResString(MSG_CLIENT_ALREADY_ADDED, {m_sName});
            lFocus = edtName;
        }
    }
    if (!lError.isEmpty()) {
        ShowErrorBox(this, lError);
        lFocus->setFocus();
        return;
    }
    try {
        if (m_nCardIdx < 0)
            m_nCardIdx = m_pDoc->AddCard(m_Number, m_sName, m_sComment, m_nLevel);
        else
            m_pDoc->SetCard(m_nCardIdx, m_Number, m_sName, m_sComment, m_nLevel);
    } catch (const std::exception& e) {
        ShowException(this, e);
        return;
    }
    accept();
}

bool DoCardDlg(QWidget* AOwner, ConfigTarvo::TTarvoDoc& ADoc, int AIdx, int* VIdx) {
    TfmCardDlg lDlg(AOwner);
    lDlg.m_pDoc = &ADoc;
    lDlg.m_nCardIdx = AIdx;
    const bool lOk = lDlg.exec() == QDialog::Accepted;
    if (lOk && VIdx)
        *VIdx = lDlg.m_nCardIdx;
    return lOk;
}
