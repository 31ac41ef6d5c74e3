// The archive photo viewer in file mode: photos of the archive folder, chosen by moment.

#include "apps/Tarvo/uVIArchiveFotoDlg.h"

#include "frontdesk/uPhotoArchive.h"
#include "frontdesk/uTarvoDoc.h"
#include "gui/uLangForm.h"

#include <QAction>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
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

TfmVIArchiveFotoDlg::TfmVIArchiveFotoDlg(QWidget* AOwner, TTarvoDoc& ADoc)
    : QDialog(AOwner,
              Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint),
      FDoc(&ADoc) {
    setObjectName(QStringLiteral("TfmVIArchiveFotoDlg"));
    setWindowTitle(QStringLiteral("Archive photo"));
    setModal(false);
    CreateControls();
    RegisterLangForm(this);
}

TfmVIArchiveFotoDlg::~TfmVIArchiveFotoDlg() = default;

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

    QString lFirst = windowTitle();
    const int lBracket = lFirst.indexOf(QStringLiteral(" ["));
    if (lBracket >= 0)
        lFirst.truncate(lBracket);
    UpdateFileFotos();
    const TArchScrollRange lRange = ArchFileScrollRange(m_aFileFotos.size());
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

void TfmVIArchiveFotoDlg::done(int AResult) {
    Timer1->stop();
    if (isVisible())
        SaveWinPos();
    QDialog::done(AResult);
}
