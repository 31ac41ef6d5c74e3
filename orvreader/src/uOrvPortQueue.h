#pragma once
// The port changes waiting for one detector registration of a backend, and the detector that reads
// them: the backend pushes from its own thread, the core takes them on the program's.

#include "orvreader/src/uOrvBackend.h"

#include <deque>
#include <memory>
#include <mutex>

namespace Orv {

struct TPortEventQueue {
    std::mutex oLock;
    std::deque<TPortEvent> oEvents;
    TWakeFunc fnWake; // told after events were pushed
};

class TQueueDetector : public TBackendDetector {
public:
    explicit TQueueDetector(std::shared_ptr<TPortEventQueue> AQueue) : m_pQueue(std::move(AQueue)) {}

    std::int32_t NextEvent(TPortEvent& VEvent) override {
        std::lock_guard<std::mutex> g(m_pQueue->oLock);
        if (m_pQueue->oEvents.empty())
            return ORV_S_NO_MORE;
        VEvent = m_pQueue->oEvents.front();
        m_pQueue->oEvents.pop_front();
        return ORV_OK;
    }

private:
    std::shared_ptr<TPortEventQueue> m_pQueue;
};

} // namespace Orv
