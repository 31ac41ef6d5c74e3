#include "apps/ConfigTarvo/uDlgReaderDevices.h"

#include "base/uMessages.h"
#include "config/uCardNumberText.h"
#include "gui/uErrorBox.h"
#include "gui/uLangForm.h"
#include "orvreader/OrvPort.h"
#include "reader/OrvPClasses.h"
#include "reader/OrvRClasses.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace ConfigTarvo;

namespace {

const char* const c_aSpeeds[] = {"2400", "4800", "9600", "19200", "38400", "57600", "115200"};

QString AliasText(const Orv::TReaderConf* AReader) {
    return AReader ? QString::fromStdString(AReader->sAlias) : QString();
}

QString KindText(TDeviceKind AKind) {
    switch (AKind) {
    case TDeviceKind::Pcsc:
        return LoadResString(MSG_DEV_PCSC);
    case TDeviceKind::Keyboard:
        return LoadResString(MSG_DEV_KEYBOARD);
    case TDeviceKind::Serial:
        return LoadResString(MSG_DEV_SERIAL);
    }
    return QString();
}

QLabel* NewLabel(const char* AName, const QString& ACaption, QWidget* ABuddy) {
    auto* l = new QLabel(ACaption);
    l->setObjectName(QString::fromLatin1(AName));
    l->setBuddy(ABuddy);
    return l;
}

} // namespace

TfmReaderDevicesDlg::TfmReaderDevicesDlg(QWidget* AOwner, const QString& AIniPath)
    : QDialog(AOwner),
      m_sIniPath(AIniPath.isEmpty() ? QString::fromStdString(Orv::ReadersIniPath()) : AIniPath) {
    setObjectName(QStringLiteral("TfmReaderDevicesDlg"));
    setWindowTitle(QStringLiteral("Reader devices"));

    lvDevices = new QTreeWidget;
    lvDevices->setObjectName(QStringLiteral("lvDevices"));
    lvDevices->setHeaderLabels({QStringLiteral("Device"), QStringLiteral("Kind"), QStringLiteral("Reader")});
    lvDevices->setRootIsDecorated(false);
    lvDevices->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    connect(lvDevices, &QTreeWidget::currentItemChanged, this, [this] { DeviceChanged(); });

    chkReader = new QCheckBox(QStringLiteral("&This device is a card reader"));
    chkReader->setObjectName(QStringLiteral("chkReader"));
    edtAlias = new QLineEdit;
    edtAlias->setObjectName(QStringLiteral("edtAlias"));
    edtAlias->setReadOnly(true);
    cbFormat = new QComboBox;
    cbFormat->setObjectName(QStringLiteral("cbFormat"));
    cbFormat->addItems({QStringLiteral("EM4100, 10 decimal digits"),
                        QStringLiteral("Facility and card, 3+5 digits"), QStringLiteral("Hexadecimal UID"),
                        QStringLiteral("Hexadecimal UID, bytes reversed"), QStringLiteral("Decimal UID"),
                        QStringLiteral("Decimal UID, bytes reversed")});
    cbSpeed = new QComboBox;
    cbSpeed->setObjectName(QStringLiteral("cbSpeed"));
    for (const char* s : c_aSpeeds)
        cbSpeed->addItem(QString::fromLatin1(s));
    cbFraming = new QComboBox;
    cbFraming->setObjectName(QStringLiteral("cbFraming"));
    cbFraming->addItems({QStringLiteral("Lines (CR or LF)"), QStringLiteral("STX ... ETX"),
                         QStringLiteral("STX ... ETX with XOR checksum")});
    for (QWidget* w : {static_cast<QWidget*>(chkReader), static_cast<QWidget*>(cbFormat),
                       static_cast<QWidget*>(cbSpeed), static_cast<QWidget*>(cbFraming)}) {
        if (auto* c = qobject_cast<QComboBox*>(w))
            connect(c, &QComboBox::currentIndexChanged, this, [this] { StoreSelected(); });
    }
    connect(chkReader, &QCheckBox::toggled, this, [this] { StoreSelected(); });

    btnTest = new QPushButton(QStringLiteral("&Present a card now"));
    btnTest->setObjectName(QStringLiteral("btnTest"));
    connect(btnTest, &QPushButton::clicked, this, &TfmReaderDevicesDlg::btnTestClick);
    labTest = new QLabel;
    labTest->setObjectName(QStringLiteral("labTest"));
    labTest->setWordWrap(true);
    lvNumbers = new QTreeWidget;
    lvNumbers->setObjectName(QStringLiteral("lvNumbers"));
    lvNumbers->setHeaderLabels({QStringLiteral("Format"), QStringLiteral("Number")});
    lvNumbers->setRootIsDecorated(false);
    lvNumbers->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);

    auto* lGrid = new QGridLayout;
    lGrid->addWidget(chkReader, 0, 0, 1, 2);
    lGrid->addWidget(NewLabel("labAlias", QStringLiteral("Port &name:"), edtAlias), 1, 0);
    lGrid->addWidget(edtAlias, 1, 1);
    lGrid->addWidget(NewLabel("labFormat", QStringLiteral("Number &format:"), cbFormat), 2, 0);
    lGrid->addWidget(cbFormat, 2, 1);
    lGrid->addWidget(NewLabel("labSpeed", QStringLiteral("&Speed:"), cbSpeed), 3, 0);
    lGrid->addWidget(cbSpeed, 3, 1);
    lGrid->addWidget(NewLabel("labFraming", QStringLiteral("F&raming:"), cbFraming), 4, 0);
    lGrid->addWidget(cbFraming, 4, 1);
    lGrid->addWidget(btnTest, 5, 0, 1, 2);
    lGrid->addWidget(labTest, 6, 0, 1, 2);
    lGrid->addWidget(lvNumbers, 7, 0, 1, 2);
    lGrid->setColumnStretch(1, 1);

    btnOk = new QPushButton(QStringLiteral("&OK"));
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("&Cancel"));
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnOk, &QPushButton::clicked, this, &TfmReaderDevicesDlg::btnOkClick);
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* lButtons = new QHBoxLayout;
    lButtons->addStretch(1);
    lButtons->addWidget(btnOk);
    lButtons->addWidget(btnCancel);

    auto* lTop = new QHBoxLayout;
    lTop->addWidget(lvDevices, 3);
    lTop->addLayout(lGrid, 2);
    auto* lMain = new QVBoxLayout(this);
    lMain->addLayout(lTop, 1);
    lMain->addLayout(lButtons);
    resize(860, 420);

    Orv::LoadReadersIni(m_sIniPath.toStdString(), m_oIni);
    Refill();
    RegisterLangForm(this, {QStringLiteral("TfmReaderDevicesDlg-edtAlias-*")});
}

TfmReaderDevicesDlg::~TfmReaderDevicesDlg() {
    StopTest();
}

void TfmReaderDevicesDlg::Refill() {
    m_fLoading = true;
    m_aDevices = FindReaderDevices();
    lvDevices->clear();
    for (const TReaderDevice& d : m_aDevices) {
        const Orv::TReaderConf* s = FindDeviceReader(m_oIni, d.nKind, d.sDevice);
        auto* lItem = new QTreeWidgetItem({d.sDevice, KindText(d.nKind), AliasText(s)});
        lvDevices->addTopLevelItem(lItem);
    }
    m_fLoading = false;
    if (!m_aDevices.empty())
        lvDevices->setCurrentItem(lvDevices->topLevelItem(0));
    DeviceChanged();
}

int TfmReaderDevicesDlg::Selected() const {
    const int i = lvDevices->indexOfTopLevelItem(lvDevices->currentItem());
    return i >= 0 && i < int(m_aDevices.size()) ? i : -1;
}

void TfmReaderDevicesDlg::DeviceChanged() {
    if (m_fLoading)
        return;
    const int i = Selected();
    m_fLoading = true;
    const TReaderDevice* d = i >= 0 ? &m_aDevices[std::size_t(i)] : nullptr;
    const Orv::TReaderConf* s = d ? FindDeviceReader(m_oIni, d->nKind, d->sDevice) : nullptr;
    chkReader->setEnabled(d != nullptr);
    chkReader->setChecked(s != nullptr);
    edtAlias->setText(AliasText(s));
    // A UID is shown in hexadecimal unless the owner picks otherwise; a 125 kHz number in EM4100.
    cbFormat->setCurrentIndex(s ? int(s->nFormat) : d && d->nKind == TDeviceKind::Pcsc ? 2 : 0);
    const int lSpeed = s ? cbSpeed->findText(QString::number(s->nSpeed)) : -1;
    cbSpeed->setCurrentIndex(lSpeed >= 0 ? lSpeed : 2);
    cbFraming->setCurrentIndex(s ? int(s->nFraming) : 0);
    const bool lSerial = d && d->nKind == TDeviceKind::Serial;
    cbSpeed->setEnabled(lSerial);
    cbFraming->setEnabled(lSerial);
    cbFormat->setEnabled(s != nullptr);
    btnTest->setEnabled(s != nullptr);
    m_fLoading = false;
}

void TfmReaderDevicesDlg::StoreSelected() {
    if (m_fLoading)
        return;
    const int i = Selected();
    if (i < 0)
        return;
    const TReaderDevice& d = m_aDevices[std::size_t(i)];
    Orv::TReaderConf* s = FindDeviceReader(m_oIni, d.nKind, d.sDevice);
    if (!chkReader->isChecked()) {
        if (s)
            RemoveReader(m_oIni, s->sAlias);
        s = nullptr;
    } else {
        if (!s)
            s = &AddDeviceReader(m_oIni, d);
        s->nFormat = Orv::TNumFormat(cbFormat->currentIndex());
        if (d.nKind == TDeviceKind::Serial) {
            s->nSpeed = cbSpeed->currentText().toUInt();
            s->nFraming = Orv::TFraming(cbFraming->currentIndex());
        }
    }
    lvDevices->currentItem()->setText(2, AliasText(s));
    DeviceChanged();
}

bool TfmReaderDevicesDlg::SaveFile() {
    const std::int32_t r = Orv::SaveReadersIni(m_sIniPath.toStdString(), m_oIni);
    if (r == ORV_OK)
        return true;
    ShowErrorBox(this, FormatResString(MSG_DEV_NOT_SAVED, {m_sIniPath, GetOrvErrorText(r)}));
    return false;
}

void TfmReaderDevicesDlg::btnTestClick() {
    const int i = Selected();
    const Orv::TReaderConf* s = i >= 0 ? FindDeviceReader(m_oIni, m_aDevices[std::size_t(i)].nKind,
                                                          m_aDevices[std::size_t(i)].sDevice)
                                       : nullptr;
    if (!s || !SaveFile())
        return;
    const QString lAlias = AliasText(s);
    StopTest();
    lvNumbers->clear();
    // The library looks at its configuration again, then the reader opens under its alias.
    OrvP_DD_Refresh(0);
    const bool lSerial = m_aDevices[std::size_t(i)].nKind == TDeviceKind::Serial;
    m_pTest = std::make_unique<TOrvReader>(lAlias, lSerial ? ORVP_PORT_COM : ORVP_PORT_FT);
    m_pTest->SetOnCardInsert([this](TOrvReader*, const TOrvR_CARD_INFO* AInfo) {
        if (AInfo)
            CardInserted(*AInfo);
    });
    try {
        m_pTest->SetNotifications(true);
        m_pTest->SetActive(true);
        labTest->setText(FormatResString(MSG_DEV_PRESENT_CARD, {lAlias}));
    } catch (const std::exception& E) {
        m_pTest.reset();
        labTest->setText(
            FormatResString(MSG_DEV_CANNOT_OPEN, {lAlias, QString::fromUtf8(E.what()).trimmed()}));
    }
}

void TfmReaderDevicesDlg::CardInserted(const TOrvR_CARD_INFO& ACard) {
    TOrv_KEYNUM lKey;
    std::copy(ACard.nNum, ACard.nNum + 16, lKey.begin());
    lvNumbers->clear();
    for (int f = 0; f < cCardFormatCount; ++f) {
        const QString lText = KeyNumInFormat(lKey, f);
        lvNumbers->addTopLevelItem(
            new QTreeWidgetItem({cbFormat->itemText(f), lText.isEmpty() ? QStringLiteral("-") : lText}));
    }
    labTest->setText(FormatResString(MSG_DEV_CARD_READ, {KeyNumInFormat(lKey, 2)}));
}

void TfmReaderDevicesDlg::StopTest() {
    if (!m_pTest)
        return;
    try {
        m_pTest->SetActive(false);
    } catch (...) {
    }
    m_pTest.reset();
}

void TfmReaderDevicesDlg::btnOkClick() {
    StopTest();
    if (!SaveFile())
        return;
    OrvP_DD_Refresh(0);
    accept();
}
