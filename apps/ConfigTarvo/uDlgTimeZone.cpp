#include "apps/ConfigTarvo/uDlgTimeZone.h"

#include "base/uExceptions.h"
#include "base/uMessages.h"
#include "config/uTarvoDoc.h"
#include "gui/uErrorBox.h"
#include "gui/uSpinEditDouble.h"
#include "gui/uLangForm.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimeEdit>
#include <QVBoxLayout>

namespace {

QLabel* AddLabel(QGridLayout* ALayout, int ARow, const char* AName, const QString& ACaption,
                 QWidget* ABuddy) {
    auto* lLabel = new QLabel(ACaption);
    lLabel->setObjectName(QString::fromLatin1(AName));
    lLabel->setBuddy(ABuddy);
    ALayout->addWidget(lLabel, ARow, 0);
    ALayout->addWidget(ABuddy, ARow, 1);
    return lLabel;
}

TSpinEditDouble* NewCostEdit(const char* AName) {
    auto* lEdit = new TSpinEditDouble;
    lEdit->setObjectName(QString::fromLatin1(AName));
    lEdit->SetIncrement(1.0); // no limits: MinValue equals MaxValue
    return lEdit;
}

} // namespace

TfmTimeZoneDlg::TfmTimeZoneDlg(QWidget* AOwner) : QDialog(AOwner) {
    setObjectName(QStringLiteral("TfmTimeZoneDlg"));
    setWindowTitle(QStringLiteral("Time Zone properties"));

    edtName = new QLineEdit;
    edtName->setObjectName(QStringLiteral("edtName"));
    dtpTimeStart = new QTimeEdit;
    dtpTimeStart->setObjectName(QStringLiteral("dtpTimeStart"));
    dtpTimeStart->setDisplayFormat(QStringLiteral("HH:mm"));
    edtBaseCost = NewCostEdit("edtBaseCost");
    edtMinCost = NewCostEdit("edtMinCost");

    auto* lGrid = new QGridLayout;
    AddLabel(lGrid, 0, "labName", QStringLiteral("&Name:"), edtName);
    AddLabel(lGrid, 1, "labTimeStart", QStringLiteral("&Start Time:"), dtpTimeStart);
    AddLabel(lGrid, 2, "labBaseCost", QStringLiteral("&Base Cost:"), edtBaseCost);
    AddLabel(lGrid, 3, "labMinCost", QStringLiteral("M&inimum Cost:"), edtMinCost);
    lGrid->setColumnStretch(1, 1);

    btnOk = new QPushButton(QStringLiteral("&OK"));
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("&Cancel"));
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnOk, &QPushButton::clicked, this, &TfmTimeZoneDlg::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* lButtons = new QHBoxLayout;
    lButtons->addStretch(1);
    lButtons->addWidget(btnOk);
    lButtons->addWidget(btnCancel);
    auto* lMain = new QVBoxLayout(this);
    lMain->addLayout(lGrid);
    lMain->addStretch(1);
    lMain->addLayout(lButtons);
    resize(414, 179);
    RegisterLangForm(this, {QStringLiteral("TfmTimeZoneDlg-edt*-*")});
}

int TfmTimeZoneDlg::exec() {
    TARVO_ASSERT(m_pDoc != nullptr, "DlgTimeZone");
    LoadFromDoc();
    return QDialog::exec();
}

void TfmTimeZoneDlg::LoadFromDoc() {
    if (m_nTzIdx < 0) {
        m_sName.clear();
        m_tStartTime = 0;
        m_nBaseCost = 0;
        m_nMinCost = 0;
    } else {
        const TTarvoTimeZone* lZone = m_pDoc->TZs().GetZone(m_nTzIdx);
        m_sName = lZone->m_sName;
        m_tStartTime = lZone->m_tStartTime;
        m_nBaseCost = lZone->m_nBaseCost;
        m_nMinCost = lZone->m_nMinCost;
    }
    int lHour = 0, lMin = 0, lSec = 0, lMSec = 0;
    DecodeTime(m_tStartTime, lHour, lMin, lSec, lMSec);
    edtName->setText(m_sName);
    dtpTimeStart->setTime(QTime(lHour, lMin));
    edtBaseCost->SetValue(m_nBaseCost);
    edtMinCost->SetValue(m_nMinCost);
    edtName->setFocus();
}

void TfmTimeZoneDlg::btnOkClick() {
    m_sName = edtName->text().trimmed();
    const QTime lTime = dtpTimeStart->time();
    m_tStartTime = EncodeTime(lTime.hour(), lTime.minute(), 0, 0);
    m_nBaseCost = edtBaseCost->Value();
    m_nMinCost = edtMinCost->Value();

    QString lError;
    if (m_sName.isEmpty()) {
        lError = LoadResString(MSG_VALUE_EMPTY);
    } else if (const int i = m_pDoc->FindTimeZoneByName(m_sName); i >= 0 && i != m_nTzIdx) {
        lError = FormatResString(MSG_TZ_ALREADY_ADDED, {m_sName});
    } else if (const int j = m_pDoc->FindTimeZoneByTime(m_tStartTime); j >= 0 && j != m_nTzIdx) {
        lError = FormatResString(MSG_TZ_TIME_ALREADY_ADDED,
                                 {std::int64_t(lTime.hour()), std::int64_t(lTime.minute())});
    }
    if (!lError.isEmpty()) {
        // Every refusal puts the operator back on the name, a duplicate start time included.
        ShowErrorBox(this, lError);
        edtName->setFocus();
        return;
    }
    try {
        if (m_nTzIdx < 0)
            m_nTzIdx = m_pDoc->AddTimeZone(m_sName, m_tStartTime, m_nBaseCost, m_nMinCost);
        else
            m_pDoc->SetTimeZone(m_nTzIdx, m_sName, m_tStartTime, m_nBaseCost, m_nMinCost);
    } catch (const std::exception& e) {
        ShowException(this, e);
        return;
    }
    accept();
}

bool DoTimeZoneDlg(QWidget* AOwner, ConfigTarvo::TTarvoDoc& ADoc, int AIdx, int* VIdx) {
    TfmTimeZoneDlg lDlg(AOwner);
    lDlg.m_pDoc = &ADoc;
    lDlg.m_nTzIdx = AIdx;
    const bool lOk = lDlg.exec() == QDialog::Accepted;
    if (lOk && VIdx)
        *VIdx = lDlg.m_nTzIdx;
    return lOk;
}
