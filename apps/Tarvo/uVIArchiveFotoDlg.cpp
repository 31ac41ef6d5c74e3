// The archive photo viewer: photos of the archive folder chosen by moment (file mode), or the video
// server's recorded frames around the visit's moments (server mode).

#include "apps/Tarvo/uVIArchiveFotoDlg.h"

#include "frontdesk/uPhotoArchive.h"
#include "frontdesk/uTarvoDoc.h"
#include "gui/uLangForm.h"

#include <QApplication>

#include <QAction>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollBar>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

using namespace Tarvo;

// ---- the picture -----------------------------------------------------------------------------------

TArchFotoImage::TArchFotoImage(QWidget* AParent) : QWidget(AParent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TArchFotoImage::SetPicture(const QImage& AImage) {
    m_oImage = AImage;
    setVisible(!m_oImage.isNull());
    update();
}

void TArchFotoImage::SetStretch(bool AStretch) {
    m_fStretch = AStretch;
    update();
}

void TArchFotoImage::paintEvent(QPaintEvent*) {
    QPainter lPainter(this);
    lPainter.fillRect(rect(), palette().window());
    if (m_oImage.isNull())
        return;
    QSize lSize = m_oImage.size();
    if (m_fStretch)
        lSize.scale(size(), Qt::KeepAspectRatio);
    const QRect lTarget(QPoint((width() - lSize.width()) / 2, (height() - lSize.height()) / 2), lSize);
    lPainter.setRenderHint(QPainter::SmoothPixmapTransform, m_fStretch);
    lPainter.drawImage(lTarget, m_oImage);
}

// ---- the viewer ------------------------------------------------------------------------------------

TfmVIArchiveFotoDlg::TfmVIArchiveFotoDlg(QWidget* AOwner, TTarvoDoc& ADoc, TVI* AVI)
    : QDialog(AOwner,
              Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint),
      FDoc(&ADoc), FVI(AVI) {
    setObjectName(QStringLiteral("TfmVIArchiveFotoDlg"));
    setWindowTitle(QStringLiteral("Archive photo"));
    setModal(false);
    CreateControls();
    RegisterLangForm(this);
}

TfmVIArchiveFotoDlg::~TfmVIArchiveFotoDlg() {
    // Freed without being closed (with its owner): the client must not call into a viewer that is gone.
    GiveBackArchiveFotoDone();
}

void TfmVIArchiveFotoDlg::CreateControls() {
    auto* lLayout = new QVBoxLayout(this);
    lLayout->setContentsMargins(4, 4, 4, 4);
    lLayout->setSpacing(2);

    panImage = new QLabel(QStringLiteral("No photo"), this);
    panImage->setObjectName(QStringLiteral("panImage"));
    panImage->setAlignment(Qt::AlignCenter);
    panImage->setFrameShape(QFrame::StyledPanel);
    panImage->setMinimumSize(64, 48);
    panImage->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    auto* lImageLayout = new QGridLayout(panImage);
    lImageLayout->setContentsMargins(1, 1, 1, 1);
    Image1 = new TArchFotoImage(panImage);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    Image1->hide();
    lImageLayout->addWidget(Image1, 0, 0);
    lLayout->addWidget(panImage, 1);

    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 0); // marquee
    ProgressBar1->setMaximumHeight(8);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->hide();
    lLayout->addWidget(ProgressBar1);

    auto* lRow = new QHBoxLayout;
    btnIn = new QRadioButton(QStringLiteral("In"), this);
    btnIn->setObjectName(QStringLiteral("btnIn"));
    btnOut = new QRadioButton(QStringLiteral("Out"), this);
    btnOut->setObjectName(QStringLiteral("btnOut"));
    // The buttons show which moment is on screen; a photo between the two checks neither.
    btnIn->setAutoExclusive(false);
    btnOut->setAutoExclusive(false);
    labTime = new QLabel(this);
    labTime->setObjectName(QStringLiteral("labTime"));
    lRow->addWidget(btnIn);
    lRow->addWidget(btnOut);
    lRow->addStretch(1);
    lRow->addWidget(labTime);
    lLayout->addLayout(lRow);

    ScrollBar1 = new QScrollBar(Qt::Horizontal, this);
    ScrollBar1->setObjectName(QStringLiteral("ScrollBar1"));
    ScrollBar1->setRange(0, 0);
    lLayout->addWidget(ScrollBar1);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(500);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    miScale = PopupMenu1->addMenu(QStringLiteral("Scale"));
    miScale->setObjectName(QStringLiteral("miScale"));
    miOriginalSize = miScale->addAction(QStringLiteral("Original size"));
    miOriginalSize->setObjectName(QStringLiteral("miOriginalSize"));
    miOriginalSize->setCheckable(true);
    miFitInWindow = miScale->addAction(QStringLiteral("Fit in window"));
    miFitInWindow->setObjectName(QStringLiteral("miFitInWindow"));
    miFitInWindow->setCheckable(true);

    for (QWidget* lTarget : {static_cast<QWidget*>(panImage), static_cast<QWidget*>(Image1)}) {
        lTarget->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(lTarget, &QWidget::customContextMenuRequested, this, [this, lTarget](const QPoint& APos) {
            PopupMenu1Popup();
            PopupMenu1->popup(lTarget->mapToGlobal(APos));
        });
    }
    connect(btnIn, &QRadioButton::clicked, this, &TfmVIArchiveFotoDlg::btnInClick);
    connect(btnOut, &QRadioButton::clicked, this, &TfmVIArchiveFotoDlg::btnOutClick);
    connect(ScrollBar1, &QScrollBar::valueChanged, this, &TfmVIArchiveFotoDlg::ScrollBar1Scroll);
    connect(Timer1, &QTimer::timeout, this, &TfmVIArchiveFotoDlg::Timer1Timer);
    connect(miOriginalSize, &QAction::triggered, this, &TfmVIArchiveFotoDlg::miOriginalSizeClick);
    connect(miFitInWindow, &QAction::triggered, this, &TfmVIArchiveFotoDlg::miFitInWindowClick);

    resize(DESIGN_WIDTH, DESIGN_HEIGHT);
    if (const QScreen* lScreen = QGuiApplication::primaryScreen())
        move(lScreen->availableGeometry().topLeft());
    Image1->SetStretch(!OriginalSize());
}

void TfmVIArchiveFotoDlg::SetFreeOnClose(bool AValue) {
    m_fFreeOnClose = AValue;
    setAttribute(Qt::WA_DeleteOnClose, AValue);
}

bool TfmVIArchiveFotoDlg::OriginalSize() const {
    return FDoc->ArchScale() == SCALE_ORIGINAL;
}

void TfmVIArchiveFotoDlg::SetParameters(TDateTime ATimeIn, TDateTime ATimeOut, int ATimeIdx,
                                        int AStepViewing) {
    ++m_nCtrlUpdate;
    const auto lDone = qScopeGuard([this] { --m_nCtrlUpdate; });
    m_aTimes = {ATimeIn, ATimeOut};
    m_nTimeIdx = ATimeIdx;
    FStepViewing = AStepViewing;
    // A viewer used again shows the new visit afresh, even when its first moment is the one on screen:
    // the archive may have gained photos since.
    m_fFotoSet = false;
    // A drag begun on the previous visit does not move the new one.
    Timer1->stop();

    QString lFirst;
    TArchScrollRange lRange;
    if (FVI) {
        lFirst = FVI->CurrCamTitle().isEmpty() ? QStringLiteral("{%1}").arg(FVI->CurrentCamera())
                                               : FVI->CurrCamTitle();
        TakeOverArchiveFotoDone();
        FStepViewing = ArchServerStep(AStepViewing);
        lRange = ArchServerScrollRange(FStepViewing);
        m_nOldScrollPos = 0;
    } else {
        lFirst = windowTitle();
        const int lBracket = lFirst.indexOf(QStringLiteral(" ["));
        if (lBracket >= 0)
            lFirst.truncate(lBracket);
        UpdateFileFotos();
        lRange = ArchFileScrollRange(m_aFileFotos.size());
    }
    ScrollBar1->setVisible(lRange.m_fVisible);
    ScrollBar1->setRange(lRange.m_nMin, lRange.m_nMax);
    ScrollBar1->setValue(0);

    setWindowTitle(ArchFotoCaption(lFirst, ATimeIn, ATimeOut));
    btnIn->setEnabled(ATimeIn != 0);
    btnOut->setEnabled(ATimeOut != 0);
    btnIn->setChecked(ATimeIdx == 0);
    btnOut->setChecked(ATimeIdx == 1);
    if (ATimeIdx == 0 || ATimeIdx == 1)
        SetFotoDateTime(m_aTimes[static_cast<std::size_t>(ATimeIdx)]);
    else if (FVI)
        SetFotoDateTime(FVI->CurrArhFotoDate());
}

void TfmVIArchiveFotoDlg::UpdateFileFotos() {
    m_aFileFotos = ListArchFotos(FDoc->GetArchFotoDir(false));
}

void TfmVIArchiveFotoDlg::SetFotoDateTime(TDateTime AValue) {
    if (m_fFotoSet && AValue == m_dtFoto)
        return;
    ++m_nCtrlUpdate;
    const auto lDone = qScopeGuard([this] { --m_nCtrlUpdate; });
    m_dtFoto = AValue;
    m_fFotoSet = true;
    UpdateInOut();
    labTime->setText(ArchFotoTimeText(AValue));

    if (FVI) {
        // Asked for unless that very frame is on its way or here. A request that failed or was broken
        // off is asked for again when its moment is shown again (the operator's second click).
        const bool lHere = FVI->CurrArhFotoDate() == m_dtFoto && FVI->ArchiveFoto();
        const bool lAsked = FVI->NewArhFotoDate() == m_dtFoto &&
                            (lHere || FVI->GetCmdStatus(viArhFoto) == viPending);
        if (FVI->Active() && !lAsked) {
            FVI->BreakAll();
            FVI->SetNewArhFotoDate(m_dtFoto);
            FVI->StartRefreshArhiveFoto();
        }
        UpdateProgress();
        if (lHere)
            ShowGraphic();
        return;
    }

    const TArchFotoChoice lChoice = ChooseArchFoto(m_aFileFotos, AValue);
    QImage lImage;
    QString lFile;
    if (lChoice.m_fHasFile) {
        lFile = FDoc->GetArchFotoPath(lChoice.m_dtFile, false);
        lImage = LoadArchFoto(lFile);
    }
    ShowPicture(lImage, lImage.isNull() ? QString() : lFile);
    ScrollBar1->setValue(lChoice.m_nIndex);
}

void TfmVIArchiveFotoDlg::ShowPicture(const QImage& AImage, const QString& AFile) {
    m_sShownFile = AFile;
    Image1->SetPicture(AImage);
    if (!AImage.isNull() && OriginalSize())
        FitFormToImage();
}

void TfmVIArchiveFotoDlg::FitFormToImage() {
    const QImage& lImage = Image1->Picture();
    if (lImage.isNull())
        return;
    // The image control's size before the picture showed is the panel's inner area.
    const QSize lArea = panImage->contentsRect().size();
    const int lGrowW = std::max(0, lImage.width() - lArea.width());
    const int lGrowH = std::max(0, lImage.height() - lArea.height());
    if (lGrowW == 0 && lGrowH == 0)
        return;
    QSize lNew(width() + lGrowW, height() + lGrowH);
    // Never beyond the screen: a photo larger than it is shown in part, its middle in view.
    if (const QScreen* lScreen = screen())
        lNew = lNew.boundedTo(lScreen->availableGeometry().size());
    resize(lNew.expandedTo(size()));
}

void TfmVIArchiveFotoDlg::ApplyScale() {
    Image1->SetStretch(!OriginalSize());
    if (OriginalSize())
        FitFormToImage();
}

void TfmVIArchiveFotoDlg::PopupMenu1Popup() {
    miOriginalSize->setChecked(OriginalSize());
    miFitInWindow->setChecked(!OriginalSize());
}

void TfmVIArchiveFotoDlg::miOriginalSizeClick() {
    FDoc->SetArchScale(SCALE_ORIGINAL);
    ApplyScale();
}

void TfmVIArchiveFotoDlg::miFitInWindowClick() {
    FDoc->SetArchScale(0);
    ApplyScale();
}

void TfmVIArchiveFotoDlg::UpdateInOut() {
    btnIn->setChecked(m_fFotoSet && m_aTimes[0] != 0 && SameDateTimeMs(m_dtFoto, m_aTimes[0]));
    btnOut->setChecked(m_fFotoSet && m_aTimes[1] != 0 && SameDateTimeMs(m_dtFoto, m_aTimes[1]));
}

void TfmVIArchiveFotoDlg::btnInClick() {
    if (m_nCtrlUpdate > 0)
        return;
    SetFotoDateTime(m_aTimes[0]);
    UpdateInOut(); // a click on the button already checked leaves it checked
}

void TfmVIArchiveFotoDlg::btnOutClick() {
    if (m_nCtrlUpdate > 0)
        return;
    SetFotoDateTime(m_aTimes[1]);
    UpdateInOut();
}

void TfmVIArchiveFotoDlg::ScrollBar1Scroll(int APos) {
    if (m_nCtrlUpdate > 0)
        return;
    if (FVI) {
        // A running timer is not restarted: while the bar is dragged a frame is asked for every half
        // second, not only when the drag pauses.
        if (APos != m_nOldScrollPos && !Timer1->isActive())
            Timer1->start();
        return;
    }
    if (APos >= 0 && static_cast<std::size_t>(APos) < m_aFileFotos.size())
        SetFotoDateTime(m_aFileFotos[static_cast<std::size_t>(APos)]);
}

void TfmVIArchiveFotoDlg::showEvent(QShowEvent* AEvent) {
    if (!AEvent->spontaneous())
        RestoreWinPos();
    QDialog::showEvent(AEvent);
}

void TfmVIArchiveFotoDlg::RestoreWinPos() {
    const TRect& lPos = FDoc->ArchWinPos();
    if (lPos.Right <= 0 || lPos.Bottom <= 0)
        return;
    const QRect lStored(lPos.Left, lPos.Top, lPos.Right, lPos.Bottom);
    // A place on a screen that is no longer attached would hide the window.
    for (const QScreen* lScreen : QGuiApplication::screens()) {
        if (!lScreen->availableGeometry().intersects(lStored))
            continue;
        if (OriginalSize())
            move(lStored.topLeft());
        else
            setGeometry(lStored);
        return;
    }
}

void TfmVIArchiveFotoDlg::SaveWinPos() {
    const QRect lRect = isMaximized() || isMinimized() ? normalGeometry() : geometry();
    if (lRect.width() > 0 && lRect.height() > 0)
        FDoc->SetArchWinPos(TRect{lRect.left(), lRect.top(), lRect.width(), lRect.height()});
}

void TfmVIArchiveFotoDlg::Timer1Timer() {
    Timer1->stop();
    const int lPos = ScrollBar1->value();
    const TDateTime lMoment =
        m_dtFoto + static_cast<double>(lPos - m_nOldScrollPos) * FStepViewing / MSecsPerDay;
    m_nOldScrollPos = lPos;
    SetFotoDateTime(lMoment);
}

void TfmVIArchiveFotoDlg::ShowGraphic() {
    if (const QImage* lFoto = FVI->ArchiveFoto())
        ShowPicture(*lFoto, QString());
}

void TfmVIArchiveFotoDlg::UpdateProgress() {
    ProgressBar1->setVisible(FVI && FVI->GetCmdStatus(viArhFoto) == viPending);
}

void TfmVIArchiveFotoDlg::ArhFotoDone() {
    if (FVI->CurrArhFotoDate() == m_dtFoto)
        ShowGraphic();
    UpdateProgress();
    QString lError;
    if (FVI->GetCmdStatus(viArhFoto, &lError) != viFail)
        return;
    // The frame of an earlier moment does not stay under the time of the one that failed.
    if (FVI->CurrArhFotoDate() != m_dtFoto)
        ShowPicture(QImage(), QString());
    // Not modal: the client goes on delivering while the operator reads. A box of an earlier failure
    // still open gives way to the new one.
    if (m_pFailureBox)
        m_pFailureBox->close();
    auto* lBox = new QMessageBox(QMessageBox::Critical, QApplication::applicationDisplayName(), lError,
                                 QMessageBox::Ok, this);
    lBox->setObjectName(QStringLiteral("boxArchiveFotoFailure"));
    lBox->setAttribute(Qt::WA_DeleteOnClose);
    m_pFailureBox = lBox;
    lBox->open();
}

QMessageBox* TfmVIArchiveFotoDlg::FailureBox() const {
    return m_pFailureBox.data();
}

void TfmVIArchiveFotoDlg::TakeOverArchiveFotoDone() {
    if (m_fAFDTaken)
        return;
    m_pOldAFD = FVI->OnArchiveFotoDone();
    FVI->SetOnArchiveFotoDone([this](TVI&) { ArhFotoDone(); });
    m_fAFDTaken = true;
}

void TfmVIArchiveFotoDlg::GiveBackArchiveFotoDone() {
    if (!m_fAFDTaken)
        return;
    FVI->SetOnArchiveFotoDone(m_pOldAFD);
    m_pOldAFD = nullptr;
    m_fAFDTaken = false;
}

void TfmVIArchiveFotoDlg::done(int AResult) {
    Timer1->stop();
    if (FVI) {
        if (FVI->Active())
            FVI->BreakAll();
        GiveBackArchiveFotoDone();
        ProgressBar1->hide();
    }
    if (isVisible())
        SaveWinPos();
    QDialog::done(AResult);
}
