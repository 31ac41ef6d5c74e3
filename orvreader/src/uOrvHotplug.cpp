#include "orvreader/src/uOrvHotplug.h"

#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <deque>

namespace Orv {

namespace {

constexpr int cRescanMs = 1000;

bool HasPort(const std::vector<TPortDesc>& APorts, const std::u16string& AName) {
    return std::any_of(APorts.begin(), APorts.end(), [&](const TPortDesc& p) { return p.sName == AName; });
}

} // namespace

THotplug::THotplug(TScanFunc AScan, std::vector<std::string> ASubsystems, TRemovedFunc ARemoved)
    : m_fScan(std::move(AScan)), m_aSubsystems(std::move(ASubsystems)), m_fRemoved(std::move(ARemoved)) {}

THotplug::~THotplug() {
    Stop();
}

std::int32_t THotplug::Start() {
    m_hStop.Reset(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (!m_hStop.Valid())
        return ErrnoResult(errno);
    // Without udev (a container, a sandbox) the once-a-second scan still sees every change.
    m_pUdev = udev_new();
    if (m_pUdev)
        m_pMonitor = udev_monitor_new_from_netlink(m_pUdev, "udev");
    if (m_pMonitor) {
        for (const std::string& s : m_aSubsystems)
            udev_monitor_filter_add_match_subsystem_devtype(m_pMonitor, s.c_str(), nullptr);
        if (udev_monitor_enable_receiving(m_pMonitor) != 0) {
            udev_monitor_unref(m_pMonitor);
            m_pMonitor = nullptr;
        }
    }
    {
        std::lock_guard<std::mutex> g(m_oScanLock);
        m_aPorts = m_fScan();
    }
    m_oThread = std::thread([this] { Run(); });
    return ORV_OK;
}

void THotplug::Stop() {
    if (m_oThread.joinable()) {
        std::uint64_t lOne = 1;
        if (write(m_hStop.Get(), &lOne, sizeof lOne) < 0) {
            // Only a closed descriptor fails here, and then the thread has already ended.
        }
        m_oThread.join();
    }
    if (m_pMonitor)
        udev_monitor_unref(m_pMonitor);
    if (m_pUdev)
        udev_unref(m_pUdev);
    m_pMonitor = nullptr;
    m_pUdev = nullptr;
}

std::vector<TPortDesc> THotplug::Rescan() {
    std::vector<TPortEvent> lEvents;
    std::vector<std::u16string> lRemoved;
    std::vector<TPortDesc> lNow;
    {
        std::lock_guard<std::mutex> g(m_oScanLock);
        lNow = m_fScan();
        for (const TPortDesc& p : m_aPorts)
            if (!HasPort(lNow, p.sName)) {
                lEvents.push_back({ORVP_DDK_PORT_REMOVED, p});
                lRemoved.push_back(p.sName);
            }
        for (const TPortDesc& p : lNow)
            if (!HasPort(m_aPorts, p.sName))
                lEvents.push_back({ORVP_DDK_PORT_ARRIVED, p});
        m_aPorts = lNow;
    }
    for (const std::u16string& n : lRemoved)
        if (m_fRemoved)
            m_fRemoved(n);
    Deliver(lEvents);
    return lNow;
}

void THotplug::Forget(const std::u16string& AName) {
    std::vector<TPortEvent> lEvents;
    {
        std::lock_guard<std::mutex> g(m_oScanLock);
        auto it = std::find_if(m_aPorts.begin(), m_aPorts.end(),
                               [&](const TPortDesc& p) { return p.sName == AName; });
        if (it == m_aPorts.end())
            return;
        lEvents.push_back({ORVP_DDK_PORT_REMOVED, *it});
        m_aPorts.erase(it);
    }
    Deliver(lEvents);
}

void THotplug::Deliver(const std::vector<TPortEvent>& AEvents) {
    if (AEvents.empty())
        return;
    std::vector<std::shared_ptr<TPortEventQueue>> lQueues;
    {
        std::lock_guard<std::mutex> g(m_oLock);
        for (auto it = m_aQueues.begin(); it != m_aQueues.end();) {
            if (auto q = it->lock()) {
                lQueues.push_back(std::move(q));
                ++it;
            } else {
                it = m_aQueues.erase(it);
            }
        }
    }
    for (auto& q : lQueues) {
        TWakeFunc lWake;
        {
            std::lock_guard<std::mutex> g(q->oLock);
            for (const TPortEvent& e : AEvents) {
                TPortEvent lEvent = e;
                lEvent.rPort.fBusy = false;
                q->oEvents.push_back(lEvent);
            }
            lWake = q->fnWake;
        }
        if (lWake)
            lWake();
    }
}

std::int32_t THotplug::Watch(TWakeFunc AWake, std::unique_ptr<TBackendDetector>& VDetector) {
    auto q = std::make_shared<TPortEventQueue>();
    q->fnWake = std::move(AWake);
    {
        // Registered under the scan lock: the detector sees every change after the last scan.
        std::lock_guard<std::mutex> g0(m_oScanLock);
        std::lock_guard<std::mutex> g(m_oLock);
        m_aQueues.push_back(q);
    }
    VDetector = std::make_unique<TQueueDetector>(std::move(q));
    return ORV_OK;
}

void THotplug::Run() {
    pollfd lFds[2] = {{m_hStop.Get(), POLLIN, 0},
                      {m_pMonitor ? udev_monitor_get_fd(m_pMonitor) : -1, POLLIN, 0}};
    for (;;) {
        int n = poll(lFds, 2, cRescanMs);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 || lFds[0].revents)
            return;
        if (lFds[1].revents) {
            // Every queued device event is read; one scan covers them all.
            while (udev_device* d = udev_monitor_receive_device(m_pMonitor))
                udev_device_unref(d);
        }
        Rescan();
    }
}

} // namespace Orv
