#pragma once
// The hidden message window: a QObject on the GUI thread that receives posted message numbers from any
// thread (the reader library's included) and hands each to its window procedure on the GUI thread.

#include "orvreader/OrvBase.h"

#include <QObject>

#include <cstdint>
#include <exception>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

class TOrvMsgWindow : public QObject {
public:
    using TWndProc = std::function<void(std::uint32_t AMsg)>;

    explicit TOrvMsgWindow(TWndProc AWndProc, QObject* AParent = nullptr);
    ~TOrvMsgWindow() override;

    // The target to pass to the reader library's notification settings.
    const TOrv_NOTIFY_WINDOW* Target() const { return &m_rTarget; }
    // Posts a message number; callable from any thread.
    void PostMessage(std::uint32_t AMsg);
    // Drops one message of that number waiting in the queue; false when none waits.
    bool RemovePendingMessage(std::uint32_t AMsg);
    // No further message reaches the window procedure.
    void Detach();
    // Whether the window procedure is running now (the window must then not be deleted at once).
    bool InWndProc() const { return m_nDepth > 0; }

protected:
    bool event(QEvent* AEvent) override;

private:
    static void PostFromLibrary(void* AContext, std::uint32_t AMsg);

    TWndProc m_fWndProc;
    TOrv_NOTIFY_WINDOW m_rTarget;
    std::mutex m_oLock;
    std::map<std::uint32_t, int> m_oWaiting; // posted, not yet delivered
    std::map<std::uint32_t, int> m_oDropped; // of those, to be dropped on delivery
    int m_nDepth = 0;
};

// Where an exception escaping a window procedure goes: the application's standard error box. Until one
// is set, the exception's text goes to the debug output.
using TMsgWindowExceptionHandler = std::function<void(std::exception_ptr AError)>;
void SetMsgWindowExceptionHandler(TMsgWindowExceptionHandler AHandler);

// Registers a device detector that posts AMessage to AWindow for the events of AEventMask on devices of
// ADevMask; returns its handle (closed with OrvP_CloseHandle). A refusal raises EOrvRError.
HORV RegisterDetector(const TOrvMsgWindow& AWindow, std::uint32_t AEventMask, std::uint32_t AMessage,
                      std::uint32_t ADevMask);
// Closes a detector registration (when there is one) and frees its window; a window that is inside its
// own window procedure (a message box there) is freed by the event loop instead.
void CloseDetector(HORV& VDetector, std::unique_ptr<TOrvMsgWindow>& VWindow);
