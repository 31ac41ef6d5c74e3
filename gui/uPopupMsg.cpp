#include "gui/uPopupMsg.h"

#include "base/uExceptions.h"
#include "gui/uLangForm.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>

#include <algorithm>
#include <limits>
#include <memory>

namespace {
TPopupMsgMngr* g_pPopupMsgMngr = nullptr;
} // namespace

// ---- popup window --------------------------------------------------------------------------------------

TfmPopupMessageDlg::TfmPopupMessageDlg(TPopupMsgMngr* AManager, std::any AUserData)
    : QWidget(nullptr,
              Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus),
      m_pManager(AManager), FUserData(std::move(AUserData)) {
    setObjectName(QStringLiteral("TfmPopupMessageDlg"));
    setWindowTitle(QStringLiteral("Tarvo (Velmo)"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setFocusPolicy(Qt::NoFocus);
    // A light frame and background of their own: without a title bar the popup must still stand out
    // from whatever lies under it.
    setAutoFillBackground(true);
    setStyleSheet(QStringLiteral("TfmPopupMessageDlg { background: #fffbe6; border: 1px solid #8a7a3c; }"));
    setAttribute(Qt::WA_StyledBackground);
    resize(369, 143);

    labText = new QLabel(this);
    labText->setObjectName(QStringLiteral("labText"));
    labText->setAlignment(Qt::AlignCenter);
    labText->setWordWrap(false);
    labText->setTextFormat(Qt::PlainText);
    labText->setGeometry(rect().adjusted(LabelMargin, LabelMargin, -LabelMargin, -LabelMargin));
    labText->installEventFilter(this);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setSingleShot(false);
    connect(Timer1, &QTimer::timeout, this, &TfmPopupMessageDlg::Timer1Timer);
    RegisterLangForm(this);
}

TfmPopupMessageDlg::~TfmPopupMessageDlg() = default;

void TfmPopupMessageDlg::UpdateSize() {
    const QFontMetrics fm(labText->font());
    // Measured over the label's rectangle with line breaks kept and no word wrap.
    const QSize szText = fm.size(Qt::TextExpandTabs, labText->text());
    const int nDw = szText.width() - labText->width();
    const int nDh = szText.height() - labText->height();
    const int w = std::max(width() + nDw, MinWidth);
    const int h = std::max(height() + nDh, MinHeight);
    setGeometry(QRect(pos(), QSize(w, h)));
    labText->setGeometry(QRect(LabelMargin, LabelMargin, w - 2 * LabelMargin, h - 2 * LabelMargin));
}

void TfmPopupMessageDlg::ShowReceipt() {
    if (m_pManager)
        m_pManager->DoShowReceipt(*this);
}

void TfmPopupMessageDlg::mousePressEvent(QMouseEvent* AEvent) {
    if (AEvent->button() == Qt::LeftButton) {
        ShowReceipt();
        AEvent->accept();
        return;
    }
    QWidget::mousePressEvent(AEvent);
}

bool TfmPopupMessageDlg::eventFilter(QObject* AObject, QEvent* AEvent) {
    if (AObject == labText && AEvent->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(AEvent)->button() == Qt::LeftButton) {
        ShowReceipt();
        return true;
    }
    return QWidget::eventFilter(AObject, AEvent);
}

void TfmPopupMessageDlg::showEvent(QShowEvent* AEvent) {
    QWidget::showEvent(AEvent);
    if (Timer1->interval() != 0 && !Timer1->isActive())
        Timer1->start();
}

void TfmPopupMessageDlg::Timer1Timer() {
    Timer1->stop();
    if (m_pManager)
        m_pManager->ClosePopup(this);
}

// ---- manager -------------------------------------------------------------------------------------------

TPopupMsgMngr::TPopupMsgMngr(QObject* AParent) : QObject(AParent) {
    setObjectName(QStringLiteral("PopupMsgMngr"));
    g_pPopupMsgMngr = this;
}

TPopupMsgMngr::~TPopupMsgMngr() {
    FOnClosePopup = nullptr;
    FOnShowReceipt = nullptr;
    while (!m_aItems.empty())
        RemoveAt(0);
    if (g_pPopupMsgMngr == this)
        g_pPopupMsgMngr = nullptr;
}

TPopupMsgMngr* TPopupMsgMngr::Instance() {
    return g_pPopupMsgMngr;
}

QRect TPopupMsgMngr::WorkArea() {
    const QScreen* pScreen = QGuiApplication::primaryScreen();
    return pScreen ? pScreen->availableGeometry() : QRect(0, 0, 800, 600);
}

TfmPopupMessageDlg* TPopupMsgMngr::ShowPopupMessage(const QString& AText, std::any AUserData,
                                                    const QString& AFontName, int AFontSize,
                                                    unsigned ATimeOutMs) {
    if (!m_aItems.empty() && m_nPmMax > 0) {
        // Make room: with the new one there are exactly m_nPmMax.
        while (static_cast<int>(m_aItems.size()) >= m_nPmMax)
            RemoveAt(0);
    }
    std::unique_ptr<TfmPopupMessageDlg> pPopup =
        std::make_unique<TfmPopupMessageDlg>(this, std::move(AUserData));
    // Message texts end their lines Windows-style; the label breaks on "\n" alone.
    QString sText = AText;
    sText.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    pPopup->labText->setText(sText);
    QFont font = pPopup->labText->font();
    if (!AFontName.isEmpty())
        font.setFamily(AFontName);
    if (AFontSize > 0)
        font.setPointSize(AFontSize);
    pPopup->labText->setFont(font);
    // A time-out beyond what a timer holds is as good as none.
    pPopup->Timer1->setInterval(ATimeOutMs > unsigned(std::numeric_limits<int>::max())
                                    ? std::numeric_limits<int>::max()
                                    : static_cast<int>(ATimeOutMs));
    pPopup->UpdateSize();
    m_aItems.push_back(pPopup.get());
    TfmPopupMessageDlg* p = pPopup.release();
    ArrangePopups();
    p->show();
    return p;
}

TfmPopupMessageDlg* TPopupMsgMngr::GetItem(int AIdx) const {
    TARVO_ASSERT(AIdx >= 0 && AIdx < Count(), "DlgPopupMessage");
    return m_aItems[static_cast<size_t>(AIdx)];
}

void TPopupMsgMngr::SetItem(int AIdx, TfmPopupMessageDlg* AValue) {
    TARVO_ASSERT(AIdx >= 0 && AIdx < Count() && AValue, "DlgPopupMessage");
    TfmPopupMessageDlg* pOld = m_aItems[static_cast<size_t>(AIdx)];
    if (pOld == AValue)
        return;
    if (FOnClosePopup)
        FOnClosePopup(*this, *pOld);
    m_aItems[static_cast<size_t>(AIdx)] = AValue;
    AValue->m_pManager = this;
    pOld->m_pManager = nullptr;
    pOld->hide();
    pOld->deleteLater();
}

int TPopupMsgMngr::IndexOf(const TfmPopupMessageDlg* APopup) const {
    for (size_t i = 0; i < m_aItems.size(); ++i)
        if (m_aItems[i] == APopup)
            return static_cast<int>(i);
    return -1;
}

void TPopupMsgMngr::ClosePopup(TfmPopupMessageDlg* APopup) {
    const int nIdx = IndexOf(APopup);
    if (nIdx >= 0)
        RemoveAt(nIdx);
}

void TPopupMsgMngr::RemoveAt(int AIdx) {
    TfmPopupMessageDlg* pPopup = m_aItems[static_cast<size_t>(AIdx)];
    // Out of the list first: a handler that shows or closes popups meets a consistent list.
    m_aItems.erase(m_aItems.begin() + AIdx);
    pPopup->Timer1->stop();
    if (FOnClosePopup)
        FOnClosePopup(*this, *pPopup);
    pPopup->m_pManager = nullptr;
    pPopup->hide();
    // The window may be in the middle of its own event (a timer tick): it goes once that has ended.
    pPopup->deleteLater();
}

void TPopupMsgMngr::ArrangePopups() {
    const QRect rcWork = WorkArea();
    const int x = rcWork.right() + 1 - Margin; // right edge as a coordinate past the last pixel
    int y = rcWork.bottom() + 1 - Margin;
    for (auto it = m_aItems.rbegin(); it != m_aItems.rend(); ++it) {
        TfmPopupMessageDlg* p = *it;
        p->move(x - p->width(), y - p->height());
        y -= p->height() + Margin;
        if (y < rcWork.top())
            break;
    }
}

void TPopupMsgMngr::DoShowReceipt(TfmPopupMessageDlg& APopup) {
    if (FOnShowReceipt)
        FOnShowReceipt(*this, APopup);
}
