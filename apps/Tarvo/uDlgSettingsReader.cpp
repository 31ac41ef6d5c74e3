// The settings dialog's "Reader" page: the repeat filter and the base station's outputs for entry and
// exit, edited in seconds and kept in milliseconds.

#include "apps/Tarvo/uDlgSettings.h"

#include "gui/uSpinEditDouble.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QSpinBox>
#include <QTabBar>
#include <QVBoxLayout>

#include <climits>

namespace {

constexpr const char* OUTPUT_CAPTIONS[] = {"LED &G", "LED &R", "&BEEP", "&Power,+12V"};
// The four rows share their captions; each row's controls get letters of their own.
constexpr const char* DURATION_CAPTIONS[] = {
    "&Duration (sec):", "D&uration (sec):", "Dur&ation (sec):", "Dura&tion (sec):"};
constexpr const char* INIT_CAPTIONS[] = {"I&nitial state ON", "Initia&l state ON", "Initial &state ON",
                                         "Initial stat&e ON"};
constexpr std::uint32_t OUTPUT_BITS = 0xF; // the four outputs the page edits; other bits are kept
// The pulse an output starts with when it has none yet.
constexpr double DEFAULT_DURATION_SEC = 3.0;

void SetBit(std::uint32_t& VMask, int ABit, bool AValue) {
    if (AValue)
        VMask |= 1u << ABit;
    else
        VMask &= ~(1u << ABit);
}

} // namespace

QWidget* TfmSettingsDlg::CreateReaderPage() {
    auto* lPage = new QWidget;
    lPage->setObjectName(QStringLiteral("tsReader"));
    auto* lLayout = new QVBoxLayout(lPage);

    auto* lForm = new QFormLayout;
    edtCardRegMin = new QSpinBox(lPage);
    edtCardRegMin->setObjectName(QStringLiteral("edtCardRegMin"));
    edtCardRegMin->setRange(0, INT_MAX);
    auto* labCardRegMin = new QLabel(QStringLiteral("&Interval between registration (ms):"), lPage);
    labCardRegMin->setObjectName(QStringLiteral("labCardRegMin"));
    labCardRegMin->setBuddy(edtCardRegMin);
    lForm->addRow(labCardRegMin, edtCardRegMin);
    lLayout->addLayout(lForm);

    auto* grKorvel = new QGroupBox(QStringLiteral("Korvel"), lPage);
    grKorvel->setObjectName(QStringLiteral("grKorvel"));
    auto* lKorvel = new QVBoxLayout(grKorvel);
    chkKorvelWiegand = new QCheckBox(QStringLiteral("&Wiegand"), grKorvel);
    chkKorvelWiegand->setObjectName(QStringLiteral("chkKorvelWiegand"));
    lKorvel->addWidget(chkKorvelWiegand);
    tcKorvel = new QTabBar(grKorvel);
    tcKorvel->setObjectName(QStringLiteral("tcKorvel"));
    tcKorvel->addTab(QStringLiteral("Entry"));
    tcKorvel->addTab(QStringLiteral("Exit"));
    tcKorvel->setDrawBase(true);
    tcKorvel->setExpanding(false);
    lKorvel->addWidget(tcKorvel);

    auto* grOutputs = new QGroupBox(QStringLiteral("Control of outputs"), grKorvel);
    grOutputs->setObjectName(QStringLiteral("grOutputs"));
    auto* lGrid = new QGridLayout(grOutputs);
    for (int i = 0; i < Tarvo::KORVEL_OUTPUT_COUNT; ++i) {
        const QString lName = QString::fromLatin1(Tarvo::KORVEL_OUTPUT_NAMES[i]);
        chkOutputs[i] = new QCheckBox(QString::fromUtf8(OUTPUT_CAPTIONS[i]), grOutputs);
        chkOutputs[i]->setObjectName(QStringLiteral("chk") + lName);
        labDurations[i] = new QLabel(QString::fromUtf8(DURATION_CAPTIONS[i]), grOutputs);
        labDurations[i]->setObjectName(QStringLiteral("labDuration") + lName);
        edtDurations[i] = new TSpinEditDouble(grOutputs);
        edtDurations[i]->setObjectName(QStringLiteral("edtDuration") + lName);
        edtDurations[i]->SetMinValue(0.1);
        edtDurations[i]->SetMaxValue(30);
        edtDurations[i]->SetIncrement(0.1);
        edtDurations[i]->SetValue(DEFAULT_DURATION_SEC);
        edtDurations[i]->setMinimumWidth(80);
        labDurations[i]->setBuddy(edtDurations[i]);
        chkInitOn[i] = new QCheckBox(QString::fromUtf8(INIT_CAPTIONS[i]), grOutputs);
        chkInitOn[i]->setObjectName(QStringLiteral("chkInit") + lName);
        lGrid->addWidget(chkOutputs[i], i, 0);
        lGrid->addWidget(labDurations[i], i, 1);
        lGrid->addWidget(edtDurations[i], i, 2);
        lGrid->addWidget(chkInitOn[i], i, 3);
        Watch(edtDurations[i], &TSpinEditDouble::Changed);
        connect(chkOutputs[i], &QCheckBox::clicked, this, [this, i] { chkOutputClick(i); });
    }
    lGrid->setColumnStretch(4, 1);
    lKorvel->addWidget(grOutputs);
    lLayout->addWidget(grKorvel);
    lLayout->addStretch(1);

    Watch(edtCardRegMin, &QSpinBox::valueChanged);
    connect(tcKorvel, &QTabBar::currentChanged, this, &TfmSettingsDlg::tcKorvelChange);
    return lPage;
}

void TfmSettingsDlg::LoadReaderPage() {
    ++m_nCtrlUpdate;
    edtCardRegMin->setValue(static_cast<int>(qMin<std::uint32_t>(m_oCopy.m_nCardRegMin, INT_MAX)));
    chkKorvelWiegand->setChecked(m_oCopy.m_fKorvelWiegand);
    tcKorvel->setCurrentIndex(m_nKorvelDirectIdx);
    --m_nCtrlUpdate;
    LoadKorvelOutputs();
}

void TfmSettingsDlg::ReadReaderPage() {
    if (Touched(edtCardRegMin))
        m_oCopy.m_nCardRegMin = static_cast<std::uint32_t>(edtCardRegMin->value());
    m_oCopy.m_fKorvelWiegand = chkKorvelWiegand->isChecked();
    ReadKorvelOutputs();
}

void TfmSettingsDlg::LoadKorvelOutputs() {
    ++m_nCtrlUpdate;
    const Tarvo::TKorvelOutputs& lOutputs = m_oCopy.m_aKorvelOutputs[m_nKorvelDirectIdx];
    for (int i = 0; i < Tarvo::KORVEL_OUTPUT_COUNT; ++i) {
        chkOutputs[i]->setChecked(Tarvo::KorvelOutputBit(lOutputs.m_nKorvelOutputs, i));
        chkInitOn[i]->setChecked(Tarvo::KorvelOutputBit(lOutputs.m_nKorvelInit, i));
        // An output without a pulse yet offers the default one (disabled until the output is ticked).
        const std::uint32_t lMs = lOutputs.m_aKorvelTimes[i];
        const bool lUsed = Tarvo::KorvelOutputBit(lOutputs.m_nKorvelOutputs, i);
        edtDurations[i]->SetValue(lMs == 0 && !lUsed ? DEFAULT_DURATION_SEC : Tarvo::DurationMsToSec(lMs));
        // The spins share both sides: what the operator typed for one side is not the other's.
        Untouch(edtDurations[i]);
    }
    UpdateKorvelEnabled();
    --m_nCtrlUpdate;
}

void TfmSettingsDlg::ReadKorvelOutputs() {
    Tarvo::TKorvelOutputs& lOutputs = m_oCopy.m_aKorvelOutputs[m_nKorvelDirectIdx];
    std::uint32_t lUsed = lOutputs.m_nKorvelOutputs & ~OUTPUT_BITS;
    std::uint32_t lInit = lOutputs.m_nKorvelInit & ~OUTPUT_BITS;
    for (int i = 0; i < Tarvo::KORVEL_OUTPUT_COUNT; ++i) {
        SetBit(lUsed, i, chkOutputs[i]->isChecked());
        SetBit(lInit, i, chkInitOn[i]->isChecked());
        // An untouched spin keeps the stored time: a stored 0 would otherwise come back as the spin's
        // minimum of 0.1 s. A typed value is held to the range even when OK came by Enter, without
        // the field being left.
        const TSpinEditDouble* lSpin = edtDurations[i];
        if (Touched(lSpin))
            lOutputs.m_aKorvelTimes[i] = Tarvo::DurationSecToMs(lSpin->CheckValue(lSpin->Value()));
    }
    lOutputs.m_nKorvelOutputs = lUsed;
    lOutputs.m_nKorvelInit = lInit;
}

void TfmSettingsDlg::UpdateKorvelEnabled() {
    for (int i = 0; i < Tarvo::KORVEL_OUTPUT_COUNT; ++i) {
        const bool lUsed = chkOutputs[i]->isChecked();
        labDurations[i]->setEnabled(lUsed);
        edtDurations[i]->setEnabled(lUsed);
        chkInitOn[i]->setEnabled(lUsed);
    }
}

void TfmSettingsDlg::tcKorvelChange(int AIdx) {
    if (m_nCtrlUpdate != 0 || AIdx < 0 || AIdx > 1 || AIdx == m_nKorvelDirectIdx)
        return;
    if (!(m_nInitPages & PAGE_READER)) {
        m_nKorvelDirectIdx = AIdx; // the page loads this side when it is first shown
        return;
    }
    ReadKorvelOutputs();
    m_nKorvelDirectIdx = AIdx;
    LoadKorvelOutputs();
}

void TfmSettingsDlg::chkOutputClick(int AOutput) {
    if (m_nCtrlUpdate != 0 || !(m_nInitPages & PAGE_READER))
        return;
    SetBit(m_oCopy.m_aKorvelOutputs[m_nKorvelDirectIdx].m_nKorvelOutputs, AOutput,
           chkOutputs[AOutput]->isChecked());
    // Ticking an output puts the duration it shows into effect: what the operator sees when ticking is
    // what the pulse lasts (a stored 0 would pulse for no time at all, a time beyond the spin's range
    // would not be the one shown).
    if (chkOutputs[AOutput]->isChecked())
        m_aTouched.insert(edtDurations[AOutput]);
    UpdateKorvelEnabled();
}
