// The live photo dialog with the webcam or the video server as its source.

#include "apps/Tarvo/uVILiveFotoDlg.h"

#include "camera/uWebCam.h"
#include "gui/uErrorBox.h"
#include "gui/uLangForm.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

TfmVILiveFotoDlg::TfmVILiveFotoDlg(QWidget* AOwner)
    : QDialog(AOwner,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    setObjectName(QStringLiteral("TfmVILiveFotoDlg"));
    setWindowTitle(QStringLiteral("Live foto"));
    CreateControls();
    RegisterLangForm(this);
}

TfmVILiveFotoDlg::~TfmVILiveFotoDlg() {
    // Destroyed without closing: no handler that points at the dialog stays behind.
    ReturnLiveFotoDone();
}

void TfmVILiveFotoDlg::CreateControls() {
    auto* lLayout = new QVBoxLayout(this);
    lLayout->setContentsMargins(0, 0, 0, 8);
    lLayout->setSpacing(0);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 0); // marquee
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setFixedHeight(8);
    // The picture stays where it is whether the bar shows or not.
    QSizePolicy lBarPolicy = ProgressBar1->sizePolicy();
    lBarPolicy.setRetainSizeWhenHidden(true);
    ProgressBar1->setSizePolicy(lBarPolicy);
    ProgressBar1->hide();
    lLayout->addWidget(ProgressBar1);

    panImage = new QWidget(this);
    panImage->setObjectName(QStringLiteral("panImage"));
    panImage->setAttribute(Qt::WA_OpaquePaintEvent);
    panImage->setAutoFillBackground(true);
    auto* lImageLayout = new QVBoxLayout(panImage);
    lImageLayout->setContentsMargins(0, 0, 0, 0);
    Image1 = new QLabel(panImage);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    lImageLayout->addWidget(Image1);
    lLayout->addWidget(panImage, 1);

    auto* lRow = new QHBoxLayout;
    lRow->setContentsMargins(8, 6, 8, 0);
    btnRefresh = new QPushButton(QStringLiteral("Refresh"), this);
    btnRefresh->setObjectName(QStringLiteral("btnRefresh"));
    btnRefresh->setMinimumWidth(75);
    btnRefresh->setAutoDefault(false);
    chkAuto = new QCheckBox(QStringLiteral("Auto refresh"), this);
    chkAuto->setObjectName(QStringLiteral("chkAuto"));
    lRow->addWidget(btnRefresh);
    lRow->addWidget(chkAuto);
    lRow->addStretch(1);
    lLayout->addLayout(lRow);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(30);

    connect(btnRefresh, &QPushButton::clicked, this, &TfmVILiveFotoDlg::btnRefreshClick);
    connect(chkAuto, &QCheckBox::clicked, this, &TfmVILiveFotoDlg::chkAutoClick);
    connect(Timer1, &QTimer::timeout, this, &TfmVILiveFotoDlg::Timer1Timer);
    setFixedSize(DESIGN_WIDTH, DESIGN_HEIGHT);
}

bool TfmVILiveFotoDlg::FrameAvailable() const {
    // A camera lost while the dialog is open is inactive: it has no frame.
    return FWebCam && FWebCam->GetActive() && FWebCam->IsImageAvailable();
}

void TfmVILiveFotoDlg::StartLiveRequest() {
    if (FVI && FVI->Active())
        FVI->StartRefreshLiveFoto();
}

void TfmVILiveFotoDlg::ReturnLiveFotoDone() {
    if (!FVI || !m_fLFDBorrowed)
        return;
    FVI->SetOnLiveFotoDone(std::move(m_pOldLFD));
    m_pOldLFD = nullptr;
    m_fLFDBorrowed = false;
}

void TfmVILiveFotoDlg::ShowCurrentPicture() {
    const QImage* lPicture = nullptr;
    if (FVI) {
        lPicture = FVI->LiveFoto();
    } else if (FWebCam && FWebCam->GetActive()) {
        std::int32_t lCounter = m_nCounter;
        if (FWebCam->GetBitmap(m_oTempBmp, &lCounter)) {
            m_nCounter = lCounter;
            lPicture = &m_oTempBmp;
        }
    }
    if (!lPicture || lPicture->isNull())
        return;
    const QSize lDiff = lPicture->size() - Image1->size();
    if (!lDiff.isNull()) {
        // The window grows or shrinks by exactly the difference: the picture shows at its own size.
        setFixedSize(size() + lDiff);
        Image1->resize(lPicture->size());
    }
    Image1->setPixmap(QPixmap::fromImage(*lPicture));
}

void TfmVILiveFotoDlg::UpdateBusyBar() {
    if (FVI)
        ProgressBar1->setVisible(FVI->GetCmdStatus(viLiveFoto) == viPending);
    else
        ProgressBar1->setVisible(!FrameAvailable());
}

void TfmVILiveFotoDlg::showEvent(QShowEvent* AEvent) {
    QDialog::showEvent(AEvent);
    if (AEvent->spontaneous())
        return;
    ++m_nCtrlUpdate;
    if (FVI) {
        if (!m_fLFDBorrowed) {
            m_pOldLFD = FVI->OnLiveFotoDone();
            FVI->SetOnLiveFotoDone([this](TVI& ASender) { LiveFotoDone(ASender); });
            m_fLFDBorrowed = true;
        }
        StartLiveRequest();
        if (!FVI->CurrCamTitle().isEmpty())
            setWindowTitle(FVI->CurrCamTitle());
        else if (!FVI->CurrentCamera().isEmpty())
            setWindowTitle(QLatin1Char('{') + FVI->CurrentCamera() + QLatin1Char('}'));
    } else if (FWebCam && !FWebCam->GetCamera().isEmpty()) {
        setWindowTitle(FWebCam->GetCamera());
    }
    chkAuto->setChecked(m_fAutoRefresh);
    UpdateBusyBar();
    if (FWebCam) {
        if (m_fAutoRefresh || !FrameAvailable())
            Timer1->start();
        ShowCurrentPicture();
    }
    --m_nCtrlUpdate;
}

void TfmVILiveFotoDlg::LiveFotoDone(TVI& ASender) {
    ShowCurrentPicture();
    QString lError;
    const TVIStatus lStatus = ASender.GetCmdStatus(viLiveFoto, &lError);
    UpdateBusyBar();
    if (lStatus == viFail) {
        // Auto refresh ends before the box opens, so no request follows while the box is up.
        SetAutoRefresh(false);
        ShowErrorBox(this, lError);
    } else if (lStatus == viSuccess && m_fAutoRefresh) {
        // The next frame is asked for only when this one is in: one request in flight.
        StartLiveRequest();
        UpdateBusyBar();
    }
}

void TfmVILiveFotoDlg::Timer1Timer() {
    if (!FWebCam)
        return;
    if (ProgressBar1->isVisible() && FrameAvailable()) {
        UpdateBusyBar();
        if (!m_fAutoRefresh)
            Timer1->stop();
    }
    if (FWebCam->GetActive() && FWebCam->GetImageCounter() != m_nCounter)
        ShowCurrentPicture();
}

void TfmVILiveFotoDlg::btnRefreshClick() {
    if (FVI) {
        FVI->BreakAll();
        StartLiveRequest();
    } else {
        ShowCurrentPicture();
    }
    UpdateBusyBar();
}

void TfmVILiveFotoDlg::chkAutoClick() {
    if (m_nCtrlUpdate == 0)
        SetAutoRefresh(chkAuto->isChecked());
}

void TfmVILiveFotoDlg::SetAutoRefresh(bool AValue) {
    if (AValue == m_fAutoRefresh)
        return;
    ++m_nCtrlUpdate;
    m_fAutoRefresh = AValue;
    // Before showing there is nothing to start: showing asks for the first frame.
    if (FVI && AValue && isVisible() && FVI->GetCmdStatus(viLiveFoto) != viPending)
        StartLiveRequest();
    if (FWebCam && AValue)
        Timer1->start();
    else
        Timer1->stop();
    chkAuto->setChecked(AValue);
    if (AValue)
        UpdateBusyBar();
    --m_nCtrlUpdate;
}

void TfmVILiveFotoDlg::done(int AResult) {
    Timer1->stop();
    if (FVI) {
        FVI->BreakAll();
        ReturnLiveFotoDone();
    }
    QDialog::done(AResult);
}

namespace {
void RunCentred(TfmVILiveFotoDlg& ADlg, QWidget* AOwner) {
    if (AOwner)
        ADlg.move(AOwner->geometry().center() - ADlg.rect().center());
    ADlg.exec();
}
} // namespace

void ExecLiveFotoDlg(QWidget* AOwner, TWebCam& AWebCam) {
    TfmVILiveFotoDlg lDlg(AOwner);
    lDlg.SetWebCam(&AWebCam);
    RunCentred(lDlg, AOwner);
}

void ExecLiveFotoDlg(QWidget* AOwner, TVI& AVI) {
    TfmVILiveFotoDlg lDlg(AOwner);
    lDlg.SetVI(&AVI);
    RunCentred(lDlg, AOwner);
}
