#include "reader/uOrvMsgWindow.h"

#include "orvreader/OrvPort.h"
#include "reader/OrvPClasses.h"

#include <QCoreApplication>
#include <QEvent>
#include <QtDebug>

namespace {

const QEvent::Type MsgEventType = QEvent::Type(QEvent::registerEventType());

class TMsgEvent : public QEvent {
public:
    explicit TMsgEvent(std::uint32_t AMsg) : QEvent(MsgEventType), m_nMsg(AMsg) {}
    std::uint32_t m_nMsg;
};

std::mutex g_oHandlerLock;
TMsgWindowExceptionHandler g_fHandler;

void HandleException(std::exception_ptr AError) {
    TMsgWindowExceptionHandler lHandler;
    {
        std::lock_guard<std::mutex> g(g_oHandlerLock);
        lHandler = g_fHandler;
    }
    if (lHandler) {
        lHandler(AError);
        return;
    }
    try {
        std::rethrow_exception(AError);
    } catch (const std::exception& e) {
        qWarning("Unhandled error in a message handler: %s", e.what());
    } catch (...) {
        qWarning("Unhandled error in a message handler");
    }
}

} // namespace

void SetMsgWindowExceptionHandler(TMsgWindowExceptionHandler AHandler) {
    std::lock_guard<std::mutex> g(g_oHandlerLock);
    g_fHandler = std::move(AHandler);
}

TOrvMsgWindow::TOrvMsgWindow(TWndProc AWndProc, QObject* AParent)
    : QObject(AParent), m_fWndProc(std::move(AWndProc)), m_rTarget{&TOrvMsgWindow::PostFromLibrary, this} {}

TOrvMsgWindow::~TOrvMsgWindow() = default;

void TOrvMsgWindow::PostFromLibrary(void* AContext, std::uint32_t AMsg) {
    static_cast<TOrvMsgWindow*>(AContext)->PostMessage(AMsg);
}

void TOrvMsgWindow::PostMessage(std::uint32_t AMsg) {
    {
        std::lock_guard<std::mutex> g(m_oLock);
        ++m_oWaiting[AMsg];
    }
    QCoreApplication::postEvent(this, new TMsgEvent(AMsg));
}

bool TOrvMsgWindow::RemovePendingMessage(std::uint32_t AMsg) {
    std::lock_guard<std::mutex> g(m_oLock);
    if (m_oWaiting[AMsg] - m_oDropped[AMsg] <= 0)
        return false;
    ++m_oDropped[AMsg];
    return true;
}

void TOrvMsgWindow::Detach() {
    m_fWndProc = nullptr;
}

bool TOrvMsgWindow::event(QEvent* AEvent) {
    if (AEvent->type() != MsgEventType)
        return QObject::event(AEvent);
    const std::uint32_t lMsg = static_cast<TMsgEvent*>(AEvent)->m_nMsg;
    {
        std::lock_guard<std::mutex> g(m_oLock);
        --m_oWaiting[lMsg];
        if (m_oDropped[lMsg] > 0) {
            --m_oDropped[lMsg];
            return true;
        }
    }
    if (!m_fWndProc)
        return true;
    // Qt must not see an exception leave an event handler.
    ++m_nDepth;
    try {
        TWndProc lProc = m_fWndProc; // the procedure may detach the window while it runs
        lProc(lMsg);
    } catch (...) {
        HandleException(std::current_exception());
    }
    --m_nDepth;
    return true;
}

HORV RegisterDetector(const TOrvMsgWindow& AWindow, std::uint32_t AEventMask, std::uint32_t AMessage,
                      std::uint32_t ADevMask) {
    TOrvP_DD_NOTIFY_SETTINGS lNotify{};
    lNotify.nEventMask = AEventMask;
    lNotify.pWindow = AWindow.Target();
    lNotify.nMessage = AMessage;
    lNotify.nDevMask = ADevMask;
    HORV lDetector = 0;
    CheckOrvResult(OrvP_DD_SetNotification(&lDetector, &lNotify));
    return lDetector;
}

void CloseDetector(HORV& VDetector, std::unique_ptr<TOrvMsgWindow>& VWindow) {
    if (VDetector != 0)
        OrvP_CloseHandle(VDetector);
    VDetector = 0;
    if (!VWindow)
        return;
    VWindow->Detach();
    if (VWindow->InWndProc())
        VWindow.release()->deleteLater();
    else
        VWindow.reset();
}
