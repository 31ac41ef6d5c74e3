#include "apps/ConfigTarvo/uDlgProcessing.h"

#include "base/uExceptions.h"
#include "gui/uErrorBox.h"
#include "gui/uLangForm.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

TfmProcessingDlg::TfmProcessingDlg(QWidget* AOwner) : QDialog(AOwner, Qt::Tool | Qt::WindowTitleHint) {
    setObjectName(QStringLiteral("TfmProcessingDlg"));
    setWindowTitle(QStringLiteral("Processing"));
    setModal(true);
    setFixedSize(371, 100);

    labText = new QLabel(this);
    labText->setObjectName(QStringLiteral("labText"));
    labText->setWordWrap(true);
    pbProgress = new QProgressBar(this);
    pbProgress->setObjectName(QStringLiteral("pbProgress"));
    pbProgress->setTextVisible(false);
    btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    connect(btnCancel, &QPushButton::clicked, this, [this] { btnCancelClick(); });

    auto* lButtons = new QHBoxLayout;
    lButtons->addStretch();
    lButtons->addWidget(btnCancel);
    auto* lLayout = new QVBoxLayout(this);
    lLayout->addWidget(labText);
    lLayout->addWidget(pbProgress);
    lLayout->addLayout(lButtons);

    timerState = new QTimer(this);
    timerState->setObjectName(QStringLiteral("timerState"));
    timerState->setInterval(300);
    connect(timerState, &QTimer::timeout, this, [this] { TimerTick(); });
    RegisterLangForm(this);
}

bool TfmProcessingDlg::ExecuteProcessing(const QString& AText, void* AParam, bool ACancelVisible, int ATotal,
                                         TProcessEvent AOnGetState, TProcessEvent AOnExecute) {
    TARVO_ASSERT(AOnGetState || AOnExecute, "DlgProcessing");
    FOnGetState = std::move(AOnGetState);
    FOnExecute = std::move(AOnExecute);
    FEventParam = AParam;
    FTotal = ATotal;
    SetProcessName(AText);
    EnableCancelBtn(ACancelVisible);
    if (parentWidget()) {
        // Centred on the owner.
        adjustSize();
        move(parentWidget()->frameGeometry().center() - rect().center());
    }
    return exec() != Rejected;
}

void TfmProcessingDlg::SetProcessName(const QString& AText) {
    labText->setText(AText);
}
void TfmProcessingDlg::EnableCancelBtn(bool AVisible) {
    btnCancel->setVisible(AVisible);
}

void TfmProcessingDlg::IncPos() {
    ++FCurrent;
    UpdateProgress();
}

void TfmProcessingDlg::SetTotal(int ATotal) {
    FTotal = ATotal;
    UpdateProgress();
}

void TfmProcessingDlg::DoProcess() {
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void TfmProcessingDlg::showEvent(QShowEvent* AEvent) {
    QDialog::showEvent(AEvent);
    FCurrent = 0;
    m_fCancel = false;
    UpdateProgress();
    timerState->start();
    if (FOnExecute)
        QMetaObject::invokeMethod(
            this, [this] { Execute(); }, Qt::QueuedConnection);
}

void TfmProcessingDlg::hideEvent(QHideEvent* AEvent) {
    timerState->stop();
    QDialog::hideEvent(AEvent);
}

void TfmProcessingDlg::Execute() {
    if (!isVisible())
        return;
    try {
        FOnExecute(*this);
    } catch (const std::exception& e) {
        ShowException(this, e);
        done(Rejected);
        return;
    }
    done(m_fCancel ? Rejected : Accepted);
}

void TfmProcessingDlg::TimerTick() {
    try {
        if (FOnGetState)
            FOnGetState(*this);
    } catch (const std::exception& e) {
        timerState->stop();
        ShowException(this, e);
        done(Rejected);
        return;
    }
    if (!m_fCancel && isVisible())
        UpdateProgress();
}

void TfmProcessingDlg::btnCancelClick() {
    // The state handler may find the work done just now: then the box still ends with OK.
    setResult(-1);
    m_fCancel = true;
    if (FOnGetState) {
        try {
            FOnGetState(*this);
        } catch (const std::exception& e) {
            ShowException(this, e);
        }
    }
    if (result() == -1)
        done(Rejected);
}

void TfmProcessingDlg::reject() {
    if (m_fInCancel || !btnCancel->isVisible())
        return;
    m_fInCancel = true;
    btnCancelClick();
    m_fInCancel = false;
}

void TfmProcessingDlg::UpdateProgress() {
    if (FTotal == 0) {
        pbProgress->setRange(0, 0); // marquee
        return;
    }
    if (pbProgress->maximum() < FCurrent) {
        pbProgress->setMaximum(FTotal);
        pbProgress->setValue(FCurrent);
    } else {
        pbProgress->setValue(FCurrent);
        pbProgress->setMaximum(FTotal);
    }
    pbProgress->setMinimum(0);
}
