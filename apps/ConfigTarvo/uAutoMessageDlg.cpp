#include "apps/ConfigTarvo/uAutoMessageDlg.h"
#include "gui/uLangForm.h"

#include <QApplication>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QPointer>
#include <QScreen>
#include <QVBoxLayout>

namespace {
QPointer<TfmAutoMessageDlg> g_pAutoMessageDlg;
constexpr int DlgWidth = 388;
constexpr int DlgHeight = 85;
} // namespace

TfmAutoMessageDlg* AutoMessageDlg() {
    return g_pAutoMessageDlg.data();
}
void SetAutoMessageDlg(TfmAutoMessageDlg* ADlg) {
    g_pAutoMessageDlg = ADlg;
}

TfmAutoMessageDlg::TfmAutoMessageDlg(QWidget* AOwner)
    : QDialog(AOwner, Qt::FramelessWindowHint | Qt::Dialog) {
    setObjectName(QStringLiteral("TfmAutoMessageDlg"));
    setModal(false);
    setFixedSize(DlgWidth, DlgHeight);
    // A thin border keeps the borderless box apart from the window beneath it.
    setStyleSheet(QStringLiteral("TfmAutoMessageDlg { border: 1px solid palette(dark); }"));
    labMessage = new QLabel(this);
    labMessage->setObjectName(QStringLiteral("labMessage"));
    labMessage->setAlignment(Qt::AlignCenter);
    labMessage->setWordWrap(true);
    QFont lFont(QStringLiteral("Tahoma"));
    lFont.setPixelSize(19);
    labMessage->setFont(lFont);
    auto* lLayout = new QVBoxLayout(this);
    lLayout->setContentsMargins(8, 4, 8, 4);
    lLayout->addWidget(labMessage);
    RegisterLangForm(this);
}

QString TfmAutoMessageDlg::Text() const {
    return labMessage->text();
}

void TfmAutoMessageDlg::ShowAutoMessage(const QString& AText, QWidget* APopupParent) {
    if (isVisible())
        hide();
    labMessage->setText(AText);
    if (APopupParent && parentWidget() != APopupParent)
        setParent(APopupParent, windowFlags());
    // Centred over the parent, or on the screen without one.
    const QRect lArea = parentWidget() && parentWidget()->isVisible() ? parentWidget()->frameGeometry()
                        : screen()                                    ? screen()->availableGeometry()
                                                                      : QRect(0, 0, DlgWidth, DlgHeight);
    move(lArea.center() - QPoint(DlgWidth / 2, DlgHeight / 2));
    show();
    raise();
    activateWindow();
}

void TfmAutoMessageDlg::keyPressEvent(QKeyEvent* AEvent) {
    switch (AEvent->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
    case Qt::Key_Space:
        hide();
        AEvent->accept();
        return;
    default:
        QDialog::keyPressEvent(AEvent);
    }
}

bool TfmAutoMessageDlg::event(QEvent* AEvent) {
    if (AEvent->type() == QEvent::WindowDeactivate && isVisible())
        hide();
    return QDialog::event(AEvent);
}
