// The settings dialog's "Camera" page: where the photos of the card events come from, the webcam
// with its video size and photo series, and how long the photo archive keeps its photos.

#include "apps/Tarvo/uDlgSettings.h"

#include "apps/Tarvo/uVILiveFotoDlg.h"
#include "camera/uWebCam.h"
#include "gui/uErrorBox.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <climits>

namespace {

constexpr const char* SOURCE_CAPTIONS[] = {"&None", "&Webcam", "&Video integration with Luxriot"};
constexpr const char* SOURCE_NAMES[] = {"rbCamNone", "rbCamWeb", "rbCamVI"};
enum TCamPageIdx { CAMPAGE_IDX_NONE = 0, CAMPAGE_IDX_WEB, CAMPAGE_IDX_VI };
constexpr int INTERVAL_MIN = 10;
constexpr int INTERVAL_MAX = 1000000;

// An editable list that fills itself when dropped down.
class TDropDownCombo : public QComboBox {
public:
    TDropDownCombo(QWidget* AParent, std::function<void()> AOnDropDown)
        : QComboBox(AParent), FOnDropDown(std::move(AOnDropDown)) {
        setEditable(true);
        setInsertPolicy(QComboBox::NoInsert);
    }
    void showPopup() override {
        if (FOnDropDown)
            FOnDropDown();
        QComboBox::showPopup();
    }

private:
    std::function<void()> FOnDropDown;
};

// The mode index at the start of a video-size text ("2 - 640x480x24 (30 fps)"); -1 without one.
std::int32_t ModeOfSizeText(const QString& AText) {
    const QString lText = AText.trimmed();
    int lEnd = 0;
    if (lEnd < lText.size() && (lText[lEnd] == QLatin1Char('-') || lText[lEnd] == QLatin1Char('+')))
        ++lEnd;
    while (lEnd < lText.size() && lText[lEnd].isDigit() && lText[lEnd].unicode() < 128)
        ++lEnd;
    bool lOk = false;
    const int lValue = lText.left(lEnd).toInt(&lOk);
    return lOk ? lValue : -1;
}

QString ModeText(int AIdx, const TWebCamMode& AMode) {
    return QString::asprintf("%d - %dx%dx%d (%d fps)", AIdx, AMode.m_nWidth, AMode.m_nHeight,
                             AMode.m_nBitCount, AMode.m_nFps);
}

} // namespace

QWidget* TfmSettingsDlg::CreateCameraPage() {
    auto* lPage = new QWidget;
    lPage->setObjectName(QStringLiteral("tsCamera"));
    auto* lLayout = new QVBoxLayout(lPage);

    rgCamSource = new QGroupBox(QStringLiteral("Source"), lPage);
    rgCamSource->setObjectName(QStringLiteral("rgCamSource"));
    auto* lSources = new QVBoxLayout(rgCamSource);
    m_oCamSourceGroup = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i) {
        auto* lButton = new QRadioButton(QString::fromUtf8(SOURCE_CAPTIONS[i]), rgCamSource);
        lButton->setObjectName(QLatin1String(SOURCE_NAMES[i]));
        m_oCamSourceGroup->addButton(lButton, i);
        lSources->addWidget(lButton);
    }
    lLayout->addWidget(rgCamSource);

    auto* lKeepForm = new QFormLayout;
    edtKeepPhotoDays = new QSpinBox(lPage);
    edtKeepPhotoDays->setObjectName(QStringLiteral("edtKeepPhotoDays"));
    edtKeepPhotoDays->setRange(0, 36500);
    auto* labKeepPhotoDays = new QLabel(QStringLiteral("&Keep photos (days):"), lPage);
    labKeepPhotoDays->setObjectName(QStringLiteral("labKeepPhotoDays"));
    labKeepPhotoDays->setBuddy(edtKeepPhotoDays);
    labKeepPhotoDays->setToolTip(QStringLiteral("If = 0, then all photos are kept"));
    lKeepForm->addRow(labKeepPhotoDays, edtKeepPhotoDays);
    lLayout->addLayout(lKeepForm);

    pcCamSources = new QStackedWidget(lPage);
    pcCamSources->setObjectName(QStringLiteral("pcCamSources"));
    auto* tsCamNone = new QWidget;
    tsCamNone->setObjectName(QStringLiteral("tsCamNone"));
    pcCamSources->addWidget(tsCamNone);

    // Webcam
    tsCamWeb = new QWidget;
    tsCamWeb->setObjectName(QStringLiteral("tsCamWeb"));
    auto* lWeb = new QVBoxLayout(tsCamWeb);
    lWeb->setContentsMargins(0, 0, 0, 0);
    auto* lWebForm = new QFormLayout;
    cbCamWeb = new TDropDownCombo(tsCamWeb, [this] {
        if (!m_fWebcamCameras)
            FillWebcamCameras();
    });
    cbCamWeb->setObjectName(QStringLiteral("cbCamWeb"));
    btnCamWebFoto = new QPushButton(QStringLiteral("&Foto..."), tsCamWeb);
    btnCamWebFoto->setObjectName(QStringLiteral("btnCamWebFoto"));
    btnCamWebRefresh = new QPushButton(QStringLiteral("&Refresh"), tsCamWeb);
    btnCamWebRefresh->setObjectName(QStringLiteral("btnCamWebRefresh"));
    auto* lCamRow = new QHBoxLayout;
    lCamRow->addWidget(cbCamWeb, 1);
    lCamRow->addWidget(btnCamWebFoto);
    lCamRow->addWidget(btnCamWebRefresh);
    auto* labCamWeb = new QLabel(QStringLiteral("C&amera:"), tsCamWeb);
    labCamWeb->setObjectName(QStringLiteral("labCamWeb"));
    labCamWeb->setBuddy(cbCamWeb);
    lWebForm->addRow(labCamWeb, lCamRow);
    cbCamWebSize = new TDropDownCombo(tsCamWeb, [this] {
        if (!m_fWebcamSizes)
            FillWebcamSizes();
    });
    cbCamWebSize->setObjectName(QStringLiteral("cbCamWebSize"));
    auto* labCamWebSize = new QLabel(QStringLiteral("Video si&ze:"), tsCamWeb);
    labCamWebSize->setObjectName(QStringLiteral("labCamWebSize"));
    labCamWebSize->setBuddy(cbCamWebSize);
    lWebForm->addRow(labCamWebSize, cbCamWebSize);
    lWeb->addLayout(lWebForm);

    auto* grCamWebSeries = new QGroupBox(QStringLiteral("Series of images"), tsCamWeb);
    grCamWebSeries->setObjectName(QStringLiteral("grCamWebSeries"));
    auto* lSeries = new QFormLayout(grCamWebSeries);
    edtCamWebNum = new QSpinBox(grCamWebSeries);
    edtCamWebNum->setObjectName(QStringLiteral("edtCamWebNum"));
    edtCamWebNum->setRange(0, INT_MAX);
    auto* labCamWebNum = new QLabel(QStringLiteral("Number of &Shots:"), grCamWebSeries);
    labCamWebNum->setObjectName(QStringLiteral("labCamWebNum"));
    labCamWebNum->setBuddy(edtCamWebNum);
    lSeries->addRow(labCamWebNum, edtCamWebNum);
    edtCamWebInterval = new QSpinBox(grCamWebSeries);
    edtCamWebInterval->setObjectName(QStringLiteral("edtCamWebInterval"));
    edtCamWebInterval->setRange(INTERVAL_MIN, INTERVAL_MAX);
    edtCamWebInterval->setSingleStep(100);
    auto* labCamWebInterval = new QLabel(QStringLiteral("&Interval between shots (ms):"), grCamWebSeries);
    labCamWebInterval->setObjectName(QStringLiteral("labCamWebInterval"));
    labCamWebInterval->setBuddy(edtCamWebInterval);
    lSeries->addRow(labCamWebInterval, edtCamWebInterval);
    lWeb->addWidget(grCamWebSeries);
    lWeb->addStretch(1);
    pcCamSources->addWidget(tsCamWeb);

    // Video server: not in this version.
    tsCamVI = new QWidget;
    tsCamVI->setObjectName(QStringLiteral("tsCamVI"));
    auto* lVI = new QVBoxLayout(tsCamVI);
    auto* labCamVILater =
        new QLabel(QStringLiteral("Photos from the Luxriot video server come with a later version "
                                  "of the front desk. Until then no photos are taken "
                                  "with this source."),
                   tsCamVI);
    labCamVILater->setObjectName(QStringLiteral("labCamVILater"));
    labCamVILater->setWordWrap(true);
    lVI->addWidget(labCamVILater);
    lVI->addStretch(1);
    pcCamSources->addWidget(tsCamVI);

    lLayout->addWidget(pcCamSources, 1);

    connect(m_oCamSourceGroup, &QButtonGroup::idClicked, this, &TfmSettingsDlg::rgCamSourceClick);
    connect(cbCamWeb, &QComboBox::currentTextChanged, this, &TfmSettingsDlg::cbCamWebChange);
    connect(cbCamWebSize, &QComboBox::currentTextChanged, this, [this] { UpdateIntervalMinimum(); });
    connect(btnCamWebFoto, &QPushButton::clicked, this, &TfmSettingsDlg::btnCamWebFotoClick);
    connect(btnCamWebRefresh, &QPushButton::clicked, this, [this] {
        ReadWebcamPage();
        FillWebcamCameras();
    });
    Watch(edtCamWebNum, &QSpinBox::valueChanged);
    Watch(edtCamWebInterval, &QSpinBox::valueChanged);
    Watch(edtKeepPhotoDays, &QSpinBox::valueChanged);
    FRunLiveFoto = [](QWidget* AOwner, TWebCam& AWebCam) { ExecLiveFotoDlg(AOwner, AWebCam); };
    return lPage;
}

void TfmSettingsDlg::LoadCameraPage() {
    ++m_nCtrlUpdate;
    QAbstractButton* lButton = m_oCamSourceGroup->button(m_oCopy.m_nCamSource);
    if (lButton) {
        lButton->setChecked(true);
    } else if (QAbstractButton* lChecked = m_oCamSourceGroup->checkedButton()) {
        // A source this program does not know: no item is shown chosen.
        m_oCamSourceGroup->setExclusive(false);
        lChecked->setChecked(false);
        m_oCamSourceGroup->setExclusive(true);
    }
    edtKeepPhotoDays->setValue(m_oCopy.m_nKeepPhotoDays);
    Untouch(edtKeepPhotoDays);
    --m_nCtrlUpdate;
    if (m_nInitCamPages & CAMPAGE_WEB)
        LoadWebcamPage();
    ShowCamSourcePage();
}

void TfmSettingsDlg::ReadCameraPage() {
    if (Touched(edtKeepPhotoDays))
        m_oCopy.m_nKeepPhotoDays = edtKeepPhotoDays->value();
    if (m_nInitCamPages & CAMPAGE_WEB)
        ReadWebcamPage();
}

void TfmSettingsDlg::rgCamSourceClick(int AIdx) {
    if (m_nCtrlUpdate != 0)
        return;
    m_oCopy.m_nCamSource = AIdx;
    ShowCamSourcePage();
}

void TfmSettingsDlg::ShowCamSourcePage() {
    switch (m_oCopy.m_nCamSource) {
    case 1:
        pcCamSources->setCurrentIndex(CAMPAGE_IDX_WEB);
        if (!(m_nInitCamPages & CAMPAGE_WEB))
            InitWebcamPage();
        break;
    case 2:
        pcCamSources->setCurrentIndex(CAMPAGE_IDX_VI);
        m_nInitCamPages |= CAMPAGE_VI;
        break;
    default:
        pcCamSources->setCurrentIndex(CAMPAGE_IDX_NONE);
        break;
    }
}

void TfmSettingsDlg::InitWebcamPage() {
    m_nInitCamPages |= CAMPAGE_WEB;
    // A webcam already running another camera shows that camera's sizes until the list is dropped down.
    if (!m_fWebcamSizes && FWebCam && FWebCam->GetActive() && FWebCam->GetCamera() != m_oCopy.m_sWebCamera)
        FillWebcamSizes();
    ApplyWebcamSettings();
    LoadWebcamPage();
}

void TfmSettingsDlg::LoadWebcamPage() {
    ++m_nCtrlUpdate;
    cbCamWeb->setEditText(m_oCopy.m_sWebCamera);
    const int lMode = m_oCopy.m_nWebcamMode;
    if (lMode < 0)
        cbCamWebSize->setEditText(QString());
    else if (lMode < cbCamWebSize->count())
        cbCamWebSize->setCurrentIndex(lMode);
    else
        cbCamWebSize->setEditText(QString::number(lMode));
    edtCamWebNum->setValue(m_oCopy.m_nWebcamNumShots);
    UpdateIntervalMinimum();
    edtCamWebInterval->setValue(
        static_cast<int>(std::min<std::uint32_t>(m_oCopy.m_nWebcamInterval, INT_MAX)));
    Untouch(edtCamWebNum);
    Untouch(edtCamWebInterval);
    --m_nCtrlUpdate;
}

void TfmSettingsDlg::ReadWebcamPage() {
    m_oCopy.m_sWebCamera = cbCamWeb->currentText();
    m_oCopy.m_nWebcamMode = ModeOfSizeText(cbCamWebSize->currentText());
    if (Touched(edtCamWebNum))
        m_oCopy.m_nWebcamNumShots = edtCamWebNum->value();
    if (Touched(edtCamWebInterval))
        m_oCopy.m_nWebcamInterval = static_cast<std::uint32_t>(edtCamWebInterval->value());
}

void TfmSettingsDlg::ApplyWebcamSettings() {
    if (!FWebCam)
        return;
    const bool lWanted = m_oCopy.m_nCamSource == 1 && !m_oCopy.m_sWebCamera.isEmpty();
    try {
        if (lWanted && FWebCam->GetCamera() != m_oCopy.m_sWebCamera) {
            FWebCam->SetActive(false);
            FWebCam->SetCamera(m_oCopy.m_sWebCamera);
        }
        FWebCam->SetCurrentMode(m_oCopy.m_nWebcamMode);
        FWebCam->SetActive(lWanted);
    } catch (const std::exception& lError) {
        ShowException(this, lError);
    }
}

void TfmSettingsDlg::FillWebcamCameras() {
    QStringList lNames;
    GetWebCamList(lNames);
    ++m_nCtrlUpdate;
    const QString lText = cbCamWeb->currentText();
    cbCamWeb->clear();
    cbCamWeb->addItems(lNames);
    cbCamWeb->setEditText(lText); // the typed text stays
    --m_nCtrlUpdate;
    m_fWebcamCameras = true;
}

void TfmSettingsDlg::FillWebcamSizes() {
    ReadWebcamPage();
    ApplyWebcamSettings();
    ++m_nCtrlUpdate;
    const QString lText = cbCamWebSize->currentText();
    cbCamWebSize->clear();
    if (FWebCam && FWebCam->GetActive()) {
        const TWebCamModeList& lModes = FWebCam->GetModeList();
        for (int i = 0; i < lModes.Count(); ++i)
            cbCamWebSize->addItem(ModeText(i, lModes.GetItem(i)));
        m_fWebcamSizes = true;
    }
    if (m_oCopy.m_nWebcamMode >= 0 && m_oCopy.m_nWebcamMode < cbCamWebSize->count())
        cbCamWebSize->setCurrentIndex(m_oCopy.m_nWebcamMode);
    else
        cbCamWebSize->setEditText(lText);
    --m_nCtrlUpdate;
    UpdateIntervalMinimum();
}

void TfmSettingsDlg::cbCamWebChange(const QString& AText) {
    if (m_nCtrlUpdate != 0 || AText == m_oCopy.m_sWebCamera)
        return;
    // Another camera has other sizes.
    m_oCopy.m_sWebCamera = AText;
    ++m_nCtrlUpdate;
    cbCamWebSize->clear();
    cbCamWebSize->setEditText(QString());
    --m_nCtrlUpdate;
    m_fWebcamSizes = false;
    UpdateIntervalMinimum();
}

void TfmSettingsDlg::UpdateIntervalMinimum() {
    int lMin = INTERVAL_MIN;
    const int lMode = ModeOfSizeText(cbCamWebSize->currentText());
    if (FWebCam && FWebCam->GetActive() && lMode >= 0 && lMode < FWebCam->GetModeList().Count()) {
        const int lFps = FWebCam->GetModeList().GetItem(lMode).m_nFps;
        // No shot can come faster than the camera delivers frames.
        if (lFps > 0 && 1000 / lFps > 9)
            lMin = 1000 / lFps;
    }
    const bool lWasTouched = Touched(edtCamWebInterval);
    ++m_nCtrlUpdate;
    edtCamWebInterval->setMinimum(lMin);
    --m_nCtrlUpdate;
    if (!lWasTouched)
        Untouch(edtCamWebInterval);
}

void TfmSettingsDlg::btnCamWebFotoClick() {
    ReadWebcamPage();
    ApplyWebcamSettings();
    if (FWebCam && FWebCam->GetActive() && FRunLiveFoto)
        FRunLiveFoto(this, *FWebCam);
}
