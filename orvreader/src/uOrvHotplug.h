#pragma once
// Hot-plug of the device backends (serial and keyboard-style readers): the ports present are
// recomputed by the backend's scan function whenever udev reports a change in the watched
// subsystems, at every Refresh, and once a second (udev does not run in every container, and a
// pseudo-terminal makes no udev event at all). The difference to the previous scan reaches every
// detector registration as port arrivals and removals, like the virtual bus's.
//
// The udev monitor is enabled before the first scan, so no change between the two is lost.

#include "orvreader/src/uOrvBackend.h"
#include "orvreader/src/uOrvBus.h"
#include "orvreader/src/uOrvPortQueue.h"

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct udev;
struct udev_monitor;

namespace Orv {

class THotplug {
public:
    using TScanFunc = std::function<std::vector<TPortDesc>()>;
    // Called from the watcher thread with the names of ports that vanished.
    using TRemovedFunc = std::function<void(const std::u16string&)>;

    THotplug(TScanFunc AScan, std::vector<std::string> ASubsystems, TRemovedFunc ARemoved);
    ~THotplug();
    THotplug(const THotplug&) = delete;
    THotplug& operator=(const THotplug&) = delete;

    // Starts the monitor (when udev can be reached) and the watcher thread, then scans.
    std::int32_t Start();
    void Stop();
    // Scans now and reports the difference; returns the ports present.
    std::vector<TPortDesc> Rescan();
    std::int32_t Watch(TWakeFunc AWake, std::unique_ptr<TBackendDetector>& VDetector);
    // An open port whose device hung up: its removal is reported at once, and the next scan that
    // finds the device reports it arriving (a quick replug between two scans is not missed).
    void Forget(const std::u16string& AName);

private:
    void Run();
    void Deliver(const std::vector<TPortEvent>& AEvents);

    TScanFunc m_fScan;
    std::vector<std::string> m_aSubsystems;
    TRemovedFunc m_fRemoved;
    ::udev* m_pUdev = nullptr;
    ::udev_monitor* m_pMonitor = nullptr;
    TFd m_hStop;
    std::thread m_oThread;
    std::mutex m_oScanLock; // one scan at a time, and the last result
    std::vector<TPortDesc> m_aPorts;
    std::mutex m_oLock; // the detector queues
    std::vector<std::weak_ptr<TPortEventQueue>> m_aQueues;
};

} // namespace Orv
