// The settings dialog's "Camera" page: where the photos of the card events come from, the webcam
// with its video size and photo series, the video server with its login and camera, and how long the
// photo archive keeps its photos.

#include "apps/Tarvo/uDlgSettings.h"

#include "apps/Tarvo/uVILiveFotoDlg.h"
#include "camera/uWebCam.h"
#include "gui/uErrorBox.h"
#include "vi/uVI.h"

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
constexpr int STEP_VIEWING_MIN = 1;
constexpr int STEP_VIEWING_MAX = 60000;
constexpr int REQ_TIMEOUT_MAX = 1000000;
constexpr int REQ_TIMEOUT_NONE = -1; // shown for VI_NO_TIMEOUT
// Item data of the VI camera list.
constexpr int ROLE_LINK = Qt::UserRole;
constexpr int ROLE_TITLE = Qt::UserRole + 1;

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

// A typed camera text "link   // title": the link is the text before "//" without trailing blanks, the
// title the text after it without blanks around; without "//" all of it is the link.
void SplitCameraText(const QString& AText, QString& VLink, QString& VTitle) {
    const int lSep = AText.indexOf(QLatin1String("//"));
    if (lSep < 0) {
        VLink = AText;
        VTitle.clear();
    } else {
        VLink = AText.left(lSep);
        while (!VLink.isEmpty() && VLink.back().isSpace())
            VLink.chop(1);
        VTitle = AText.mid(lSep + 2).trimmed();
    }
}

int ReqTimeoutToSpin(std::uint32_t AValue) {
    if (AValue == VI_NO_TIMEOUT)
        return REQ_TIMEOUT_NONE;
    return static_cast<int>(std::min<std::uint32_t>(AValue, REQ_TIMEOUT_MAX));
}

std::uint32_t ReqTimeoutOfSpin(int AValue) {
    return AValue < 0 ? VI_NO_TIMEOUT : static_cast<std::uint32_t>(AValue);
}

QLabel* AddFormRow(QFormLayout* AForm, QWidget* AParent, const char* AName, const char* ACaption,
                   QWidget* AField, QLayout* ARow = nullptr) {
    auto* lLabel = new QLabel(QString::fromUtf8(ACaption), AParent);
    lLabel->setObjectName(QLatin1String(AName));
    lLabel->setBuddy(AField);
    if (ARow)
        AForm->addRow(lLabel, ARow);
    else
        AForm->addRow(lLabel, AField);
    return lLabel;
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

    // Video server
    tsCamVI = new QWidget;
    tsCamVI->setObjectName(QStringLiteral("tsCamVI"));
    auto* lVI = new QVBoxLayout(tsCamVI);
    lVI->setContentsMargins(0, 0, 0, 0);
    auto* lVIForm = new QFormLayout;
    edtServer = new QLineEdit(tsCamVI);
    edtServer->setObjectName(QStringLiteral("edtServer"));
    AddFormRow(lVIForm, tsCamVI, "labServer", "&Server:", edtServer);
    edtLogin = new QLineEdit(tsCamVI);
    edtLogin->setObjectName(QStringLiteral("edtLogin"));
    AddFormRow(lVIForm, tsCamVI, "labLogin", "&Login:", edtLogin);
    edtPassword = new QLineEdit(tsCamVI);
    edtPassword->setObjectName(QStringLiteral("edtPassword"));
    edtPassword->setEchoMode(QLineEdit::Password);
    edtPassword->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    AddFormRow(lVIForm, tsCamVI, "labPassword", "&Password:", edtPassword);
    cbCamera = new QComboBox(tsCamVI);
    cbCamera->setObjectName(QStringLiteral("cbCamera"));
    cbCamera->setEditable(true);
    cbCamera->setInsertPolicy(QComboBox::NoInsert);
    btnCamVIRefresh = new QPushButton(QStringLiteral("&Refresh"), tsCamVI);
    btnCamVIRefresh->setObjectName(QStringLiteral("btnCamVIRefresh"));
    btnCamVIFoto = new QPushButton(QStringLiteral("&Foto..."), tsCamVI);
    btnCamVIFoto->setObjectName(QStringLiteral("btnCamVIFoto"));
    auto* lVICamRow = new QHBoxLayout;
    lVICamRow->addWidget(cbCamera, 1);
    lVICamRow->addWidget(btnCamVIRefresh);
    lVICamRow->addWidget(btnCamVIFoto);
    AddFormRow(lVIForm, tsCamVI, "labCamera", "C&amera:", cbCamera, lVICamRow);
    edtTimeOffs = new QSpinBox(tsCamVI);
    edtTimeOffs->setObjectName(QStringLiteral("edtTimeOffs"));
    edtTimeOffs->setRange(INT_MIN, INT_MAX);
    AddFormRow(lVIForm, tsCamVI, "labTimeOffs", "&Time offset (sec):", edtTimeOffs);
    edtStepViewing = new QSpinBox(tsCamVI);
    edtStepViewing->setObjectName(QStringLiteral("edtStepViewing"));
    edtStepViewing->setRange(STEP_VIEWING_MIN, STEP_VIEWING_MAX);
    AddFormRow(lVIForm, tsCamVI, "labStepViewing", "Step view&ing (ms):", edtStepViewing);
    edtViReqTimeOut = new QSpinBox(tsCamVI);
    edtViReqTimeOut->setObjectName(QStringLiteral("edtViReqTimeOut"));
    edtViReqTimeOut->setRange(REQ_TIMEOUT_NONE, REQ_TIMEOUT_MAX);
    edtViReqTimeOut->setSingleStep(100);
    AddFormRow(lVIForm, tsCamVI, "labViReqTimeOut", "Request time&out (ms):", edtViReqTimeOut)
        ->setToolTip(QStringLiteral("If = -1, then the server is waited for without a limit"));
    lVI->addLayout(lVIForm);
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

    connect(cbCamera, &QComboBox::activated, this, &TfmSettingsDlg::cbCameraActivated);
    connect(btnCamVIRefresh, &QPushButton::clicked, this, &TfmSettingsDlg::btnCamVIRefreshClick);
    connect(btnCamVIFoto, &QPushButton::clicked, this, &TfmSettingsDlg::btnCamVIFotoClick);
    Watch(edtServer, &QLineEdit::textChanged);
    Watch(edtLogin, &QLineEdit::textChanged);
    Watch(edtPassword, &QLineEdit::textChanged);
    Watch(cbCamera, &QComboBox::currentTextChanged);
    Watch(edtTimeOffs, &QSpinBox::valueChanged);
    Watch(edtStepViewing, &QSpinBox::valueChanged);
    Watch(edtViReqTimeOut, &QSpinBox::valueChanged);
    FRunLiveFotoVI = [](QWidget* AOwner, TVI& AVI) { ExecLiveFotoDlg(AOwner, AVI); };
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
    if (m_nInitCamPages & CAMPAGE_VI)
        LoadVIPage();
    ShowCamSourcePage();
}

void TfmSettingsDlg::ReadCameraPage() {
    if (Touched(edtKeepPhotoDays))
        m_oCopy.m_nKeepPhotoDays = edtKeepPhotoDays->value();
    if (m_nInitCamPages & CAMPAGE_WEB)
        ReadWebcamPage();
    if (m_nInitCamPages & CAMPAGE_VI)
        ReadVIPage();
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
        if (!(m_nInitCamPages & CAMPAGE_VI))
            InitVIPage();
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

// ---- VI page ----

void TfmSettingsDlg::InitVIPage() {
    m_nInitCamPages |= CAMPAGE_VI;
    BorrowCamerasDone();
    FillVICameras();
    LoadVIPage();
}

void TfmSettingsDlg::BorrowCamerasDone() {
    if (!FVI || m_fCamerasDoneBorrowed)
        return;
    m_pOldCamerasDone = FVI->OnCamerasDone();
    FVI->SetOnCamerasDone([this](TVI& ASender) { VICamerasDone(ASender); });
    m_fCamerasDoneBorrowed = true;
}

void TfmSettingsDlg::ReturnCamerasDone() {
    if (!FVI || !m_fCamerasDoneBorrowed)
        return;
    FVI->SetOnCamerasDone(std::move(m_pOldCamerasDone));
    m_pOldCamerasDone = nullptr;
    m_fCamerasDoneBorrowed = false;
}

void TfmSettingsDlg::LoadVIPage() {
    ++m_nCtrlUpdate;
    edtServer->setText(m_oCopy.m_sVIServer);
    edtLogin->setText(m_oCopy.m_sVILogin);
    edtPassword->setText(m_oCopy.m_sVIPasswMd5); // the hash, masked
    ShowVICameraText();
    edtTimeOffs->setValue(m_oCopy.m_nVITimeOffs);
    edtStepViewing->setValue(m_oCopy.m_nVIStepViewing);
    edtViReqTimeOut->setValue(ReqTimeoutToSpin(m_oCopy.m_nVIReqTimeOut));
    for (const QObject* lControl : std::initializer_list<const QObject*>{
             edtServer, edtLogin, edtPassword, cbCamera, edtTimeOffs, edtStepViewing, edtViReqTimeOut})
        Untouch(lControl);
    --m_nCtrlUpdate;
}

void TfmSettingsDlg::ShowVICameraText() {
    ++m_nCtrlUpdate;
    int lIdx = -1;
    for (int i = 0; i < cbCamera->count() && lIdx < 0; ++i)
        if (cbCamera->itemData(i, ROLE_LINK).toString() == m_oCopy.m_sVICamera)
            lIdx = i;
    if (lIdx >= 0) {
        cbCamera->setCurrentIndex(lIdx);
        cbCamera->setEditText(cbCamera->itemText(lIdx));
        // The title as the server has it now.
        m_oCopy.m_sVICameraTitle = cbCamera->itemData(lIdx, ROLE_TITLE).toString();
    } else {
        cbCamera->setCurrentIndex(-1);
        cbCamera->setEditText(m_oCopy.m_sVICamera.isEmpty() && m_oCopy.m_sVICameraTitle.isEmpty()
                                  ? QString()
                                  : m_oCopy.m_sVICamera + CameraTitleSeparator() + m_oCopy.m_sVICameraTitle);
    }
    --m_nCtrlUpdate;
}

void TfmSettingsDlg::ReadVIPage() {
    if (Touched(edtServer))
        m_oCopy.m_sVIServer = edtServer->text().trimmed();
    if (Touched(edtLogin))
        m_oCopy.m_sVILogin = edtLogin->text();
    if (Touched(edtPassword)) {
        // Only the digest is kept: the edit shows it from now on, as when loaded.
        m_oCopy.m_sVIPasswMd5 = VIPasswordMd5(edtPassword->text());
        ++m_nCtrlUpdate;
        edtPassword->setText(m_oCopy.m_sVIPasswMd5);
        --m_nCtrlUpdate;
        Untouch(edtPassword);
    }
    ReadVICamera();
    if (Touched(edtTimeOffs))
        m_oCopy.m_nVITimeOffs = edtTimeOffs->value();
    if (Touched(edtStepViewing))
        m_oCopy.m_nVIStepViewing = edtStepViewing->value();
    if (Touched(edtViReqTimeOut))
        m_oCopy.m_nVIReqTimeOut = ReqTimeoutOfSpin(edtViReqTimeOut->value());
}

void TfmSettingsDlg::ReadVICamera() {
    if (!Touched(cbCamera))
        return;
    const QString lText = cbCamera->currentText();
    // An entry of the list gives its link and title as they are, even when they hold "//".
    const int lIdx = cbCamera->findText(lText);
    if (lIdx >= 0) {
        m_oCopy.m_sVICamera = cbCamera->itemData(lIdx, ROLE_LINK).toString();
        m_oCopy.m_sVICameraTitle = cbCamera->itemData(lIdx, ROLE_TITLE).toString();
    } else {
        SplitCameraText(lText, m_oCopy.m_sVICamera, m_oCopy.m_sVICameraTitle);
    }
}

void TfmSettingsDlg::cbCameraActivated(int AIdx) {
    if (m_nCtrlUpdate != 0 || AIdx < 0)
        return;
    m_oCopy.m_sVICamera = cbCamera->itemData(AIdx, ROLE_LINK).toString();
    m_oCopy.m_sVICameraTitle = cbCamera->itemData(AIdx, ROLE_TITLE).toString();
}

void TfmSettingsDlg::FillVICameras() {
    // What the operator typed meanwhile is kept in the copy, and shown again below.
    ReadVICamera();
    ++m_nCtrlUpdate;
    cbCamera->clear();
    if (FVI) {
        const TVICameraList& lCameras = FVI->Cameras();
        for (int i = 0; i < lCameras.Count(); ++i) {
            const TVICamera& lCamera = *lCameras.GetItem(i);
            cbCamera->addItem(lCamera.m_nLink + CameraTitleSeparator() + lCamera.m_sTitle);
            cbCamera->setItemData(i, lCamera.m_nLink, ROLE_LINK);
            cbCamera->setItemData(i, lCamera.m_sTitle, ROLE_TITLE);
        }
    }
    --m_nCtrlUpdate;
    ShowVICameraText();
}

void TfmSettingsDlg::VICamerasDone(TVI& ASender) {
    QString lError;
    const TVIStatus lStatus = ASender.GetCmdStatus(viCameras, &lError);
    FillVICameras();
    if (lStatus == viFail)
        ShowErrorBox(this, lError);
}

void TfmSettingsDlg::ApplyVISettings() {
    ReadVIPage();
    if (!FVI)
        return;
    TVISetup lSetup;
    lSetup.m_fChosen = m_oCopy.m_nCamSource == 2;
    lSetup.m_sServer = m_oCopy.m_sVIServer;
    lSetup.m_sLogin = m_oCopy.m_sVILogin;
    lSetup.m_sPasswMd5 = m_oCopy.m_sVIPasswMd5;
    lSetup.m_sCamera = m_oCopy.m_sVICamera;
    lSetup.m_sCameraTitle = m_oCopy.m_sVICameraTitle;
    lSetup.m_nTimeOffs = m_oCopy.m_nVITimeOffs;
    lSetup.m_nReqTimeout = m_oCopy.m_nVIReqTimeOut;
    try {
        ApplyVISetup(*FVI, lSetup);
    } catch (const std::exception& lError) {
        ShowException(this, lError);
    }
}

void TfmSettingsDlg::btnCamVIRefreshClick() {
    ApplyVISettings();
    if (FVI && FVI->Active())
        FVI->StartRefreshCameras();
}

void TfmSettingsDlg::btnCamVIFotoClick() {
    ApplyVISettings();
    if (FVI && FVI->Active() && FRunLiveFotoVI) {
        FVI->BreakAll();
        FRunLiveFotoVI(this, *FVI);
    }
}
