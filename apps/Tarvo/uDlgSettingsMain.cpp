// The settings dialog's "Main" page: files, prices, receipts, autorun.

#include "apps/Tarvo/uDlgSettings.h"

#include "base/uMessages.h"
#include "gui/uSpinEditDouble.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPrinterInfo>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {

TSpinEditDouble* NewDecimalSpin(QWidget* AParent, const char* AName, double AIncrement) {
    auto* lSpin = new TSpinEditDouble(AParent);
    lSpin->setObjectName(QLatin1String(AName));
    lSpin->SetIncrement(AIncrement);
    return lSpin;
}

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

QComboBox* NewList(QWidget* AParent, const char* AName, std::initializer_list<const char*> AItems) {
    auto* lList = new QComboBox(AParent);
    lList->setObjectName(QLatin1String(AName));
    for (const char* lItem : AItems)
        lList->addItem(QString::fromUtf8(lItem));
    return lList;
}

// Selects AIdx when it is an entry of AList, else nothing.
void SelectIndex(QComboBox* AList, int AIdx) {
    AList->setCurrentIndex(AIdx >= 0 && AIdx < AList->count() ? AIdx : -1);
}

} // namespace

QWidget* TfmSettingsDlg::CreateMainPage() {
    auto* lPage = new QWidget;
    lPage->setObjectName(QStringLiteral("tsMain"));
    auto* lLayout = new QVBoxLayout(lPage);

    chkAutorun = new QCheckBox(QStringLiteral("&Autorun with OS"), lPage);
    chkAutorun->setObjectName(QStringLiteral("chkAutorun"));
    lLayout->addWidget(chkAutorun);

    auto* grLogReport = new QGroupBox(QStringLiteral("Log, Report"), lPage);
    grLogReport->setObjectName(QStringLiteral("grLogReport"));
    auto* lFiles = new QFormLayout(grLogReport);
    cbLogFileFormat = NewList(grLogReport, "cbLogFileFormat", {"TXT", "CSV"});
    cbLogFilePeriod = NewList(grLogReport, "cbLogFilePeriod", {"Day", "Week", "Month"});
    lFiles->addRow(WithBuddy(NewLabel(grLogReport, "labLogFileFormat", "File &format:"), cbLogFileFormat),
                   cbLogFileFormat);
    lFiles->addRow(
        WithBuddy(NewLabel(grLogReport, "labLogFilePeriod", "Period for fi&les:"), cbLogFilePeriod),
        cbLogFilePeriod);
    lLayout->addWidget(grLogReport);

    auto* lForm = new QFormLayout;
    edtVAT = NewDecimalSpin(lPage, "edtVAT", 1);
    cbTariffication = NewList(lPage, "cbTariffication", {"Per second", "Per minute", "Hourly"});
    edtEntrance = NewDecimalSpin(lPage, "edtEntrance", 1);
    edtMinAmount = NewDecimalSpin(lPage, "edtMinAmount", 1);
    edtAccPrice = new QSpinBox(lPage);
    edtAccPrice->setObjectName(QStringLiteral("edtAccPrice"));
    edtAccPrice->setRange(-37, 37);
    edtAccPrice->setToolTip(LoadResString(MSG_HINT_ACC_PRICE));
    edtOverdue = NewDecimalSpin(lPage, "edtOverdue", 1);
    edtDayPrice = NewDecimalSpin(lPage, "edtDayPrice", 1);
    edtDayPrice->setToolTip(LoadResString(MSG_HINT_DAY_PRICE));
    lForm->addRow(WithBuddy(NewLabel(lPage, "labVAT", "&VAT (%):"), edtVAT), edtVAT);
    lForm->addRow(WithBuddy(NewLabel(lPage, "labTariffication", "&Tariffication:"), cbTariffication),
                  cbTariffication);
    lForm->addRow(WithBuddy(NewLabel(lPage, "labEntrance", "&Entrance fee:"), edtEntrance), edtEntrance);
    lForm->addRow(WithBuddy(NewLabel(lPage, "labMinAmount", "&Minimum amount:"), edtMinAmount), edtMinAmount);
    lForm->addRow(WithBuddy(NewLabel(lPage, "labAccPrice", "Acc&uracy of prices:"), edtAccPrice),
                  edtAccPrice);
    lForm->addRow(WithBuddy(NewLabel(lPage, "labOverdue", "Over&due Cost:"), edtOverdue), edtOverdue);
    lForm->addRow(WithBuddy(NewLabel(lPage, "labDayPrice", "Price of the w&hole day:"), edtDayPrice),
                  edtDayPrice);
    lLayout->addLayout(lForm);

    chkAutoPrintRep = new QCheckBox(QStringLiteral("Auto &print report when exit key"), lPage);
    chkAutoPrintRep->setObjectName(QStringLiteral("chkAutoPrintRep"));
    lLayout->addWidget(chkAutoPrintRep);
    auto* lPrinter = new QFormLayout;
    cbPrinter = new QComboBox(lPage);
    cbPrinter->setObjectName(QStringLiteral("cbPrinter"));
    cbPrinter->setEditable(true);
    cbPrinter->setInsertPolicy(QComboBox::NoInsert);
    lPrinter->addRow(WithBuddy(NewLabel(lPage, "labPrinter", "P&rinter:"), cbPrinter), cbPrinter);
    lLayout->addLayout(lPrinter);
    lLayout->addStretch(1);

    Watch(chkAutorun, &QCheckBox::toggled);
    Watch(cbLogFileFormat, &QComboBox::currentIndexChanged);
    Watch(cbLogFilePeriod, &QComboBox::currentIndexChanged);
    Watch(cbTariffication, &QComboBox::currentIndexChanged);
    for (TSpinEditDouble* lSpin : {edtVAT, edtEntrance, edtMinAmount, edtOverdue, edtDayPrice})
        Watch(lSpin, &TSpinEditDouble::Changed);
    Watch(edtAccPrice, &QSpinBox::valueChanged);
    Watch(chkAutoPrintRep, &QCheckBox::toggled);
    Watch(cbPrinter, &QComboBox::currentTextChanged);
    return lPage;
}

void TfmSettingsDlg::InitMainPage() {
    ++m_nCtrlUpdate;
    cbPrinter->clear();
    cbPrinter->addItems(QPrinterInfo::availablePrinterNames());
    --m_nCtrlUpdate;
}

void TfmSettingsDlg::LoadMainPage() {
    ++m_nCtrlUpdate;
    chkAutorun->setChecked(m_oCopy.m_fAutorun);
    SelectIndex(cbLogFileFormat, m_oCopy.m_nLogFileFormat);
    SelectIndex(cbLogFilePeriod, m_oCopy.m_nLogFilePeriod);
    edtVAT->SetValue(m_oCopy.m_dNDS);
    SelectIndex(cbTariffication, m_oCopy.m_nTU);
    edtEntrance->SetValue(m_oCopy.m_nEntrance);
    edtMinAmount->SetValue(m_oCopy.m_nMinAmount);
    edtAccPrice->setValue(m_oCopy.m_nAccPrice);
    edtOverdue->SetValue(m_oCopy.m_nOverdueCost);
    edtDayPrice->SetValue(m_oCopy.m_nDayCost);
    chkAutoPrintRep->setChecked(m_oCopy.m_fAutoPrintRep);
    cbPrinter->setCurrentIndex(cbPrinter->findText(m_oCopy.m_sPrinter));
    cbPrinter->setEditText(m_oCopy.m_sPrinter);
    --m_nCtrlUpdate;
}

void TfmSettingsDlg::ReadMainPage() {
    if (Touched(chkAutorun))
        m_oCopy.m_fAutorun = chkAutorun->isChecked();
    if (Touched(cbLogFileFormat) && cbLogFileFormat->currentIndex() >= 0)
        m_oCopy.m_nLogFileFormat = cbLogFileFormat->currentIndex();
    if (Touched(cbLogFilePeriod) && cbLogFilePeriod->currentIndex() >= 0)
        m_oCopy.m_nLogFilePeriod = cbLogFilePeriod->currentIndex();
    if (Touched(edtVAT))
        m_oCopy.m_dNDS = edtVAT->Value();
    const int lTU = cbTariffication->currentIndex();
    if (Touched(cbTariffication) && lTU >= Tarvo::TARIF_SECOND && lTU <= Tarvo::TARIF_HOUR)
        m_oCopy.m_nTU = static_cast<Tarvo::TTariffication>(lTU);
    if (Touched(edtEntrance))
        m_oCopy.m_nEntrance = edtEntrance->Value();
    if (Touched(edtMinAmount))
        m_oCopy.m_nMinAmount = edtMinAmount->Value();
    if (Touched(edtAccPrice))
        m_oCopy.m_nAccPrice = edtAccPrice->value();
    if (Touched(edtOverdue))
        m_oCopy.m_nOverdueCost = edtOverdue->Value();
    if (Touched(edtDayPrice))
        m_oCopy.m_nDayCost = edtDayPrice->Value();
    if (Touched(chkAutoPrintRep))
        m_oCopy.m_fAutoPrintRep = chkAutoPrintRep->isChecked();
    if (Touched(cbPrinter))
        m_oCopy.m_sPrinter = cbPrinter->currentText();
}
