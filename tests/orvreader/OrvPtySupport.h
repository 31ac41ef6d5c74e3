#pragma once
// Pseudo-terminal stand-ins for serial readers: the test writes a reader's bytes into the master
// side; the backend opens the slave side through a link that plays the /dev/serial/by-id name, so
// the "device" can vanish and come back.

#include "orvreader/src/uOrvBackend.h"

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>
#include <string>

namespace OrvTest {

class TPty {
public:
    // A new pair; ALink (when given) is made a symbolic link to the slave side.
    explicit TPty(const std::string& ALink = "") : m_sLink(ALink) {
        int lSlave = -1;
        char lName[256] = {};
        if (openpty(&m_hMaster, &lSlave, lName, nullptr, nullptr) != 0)
            return;
        m_sSlave = lName;
        // The backend opens its own descriptor; the one openpty gave is not needed.
        close(lSlave);
        if (!m_sLink.empty()) {
            std::error_code e;
            std::filesystem::remove(m_sLink, e);
            std::filesystem::create_symlink(m_sSlave, m_sLink);
        }
    }
    ~TPty() { Unplug(); }
    TPty(const TPty&) = delete;
    TPty& operator=(const TPty&) = delete;

    bool Valid() const { return m_hMaster >= 0; }
    const std::string& Slave() const { return m_sSlave; }

    bool Send(const std::string& ABytes) {
        return write(m_hMaster, ABytes.data(), ABytes.size()) == ssize_t(ABytes.size());
    }
    // The device leaves: the master side closes (the slave hangs up) and its link goes.
    void Unplug() {
        if (m_hMaster >= 0)
            close(m_hMaster);
        m_hMaster = -1;
        if (!m_sLink.empty()) {
            std::error_code e;
            std::filesystem::remove(m_sLink, e);
        }
    }

private:
    std::string m_sLink, m_sSlave;
    int m_hMaster = -1;
};

// Collects a backend reader's events as its wake function announces them.
class TEventSink {
public:
    Orv::TWakeFunc Wake() {
        return [this] {
            std::lock_guard<std::mutex> g(m_oLock);
            ++m_nWakes;
            m_oCond.notify_all();
        };
    }
    // Waits (guarded by a long time-out) for the next event of the reader.
    bool Next(Orv::TBackendReader& AReader, Orv::TReaderEvent& VEvent,
              std::chrono::milliseconds APatience = std::chrono::milliseconds(10000)) {
        std::unique_lock<std::mutex> g(m_oLock);
        auto lDeadline = std::chrono::steady_clock::now() + APatience;
        for (;;) {
            if (AReader.NextEvent(VEvent) == 0)
                return true;
            int lSeen = m_nWakes;
            if (!m_oCond.wait_until(g, lDeadline, [&] { return m_nWakes != lSeen; }))
                return AReader.NextEvent(VEvent) == 0;
        }
    }
    int Wakes() {
        std::lock_guard<std::mutex> g(m_oLock);
        return m_nWakes;
    }

private:
    std::mutex m_oLock;
    std::condition_variable m_oCond;
    int m_nWakes = 0;
};

} // namespace OrvTest
