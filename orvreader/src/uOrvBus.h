#pragma once
// The virtual bus: a folder shared by every process of the user in which virtual readers are plugged,
// opened by sessions, watched by detectors and given cards.
//
//   lock                    flock held briefly around every change of the bus
//   ports/<port>/info       the port and its reader (TBusPort)
//   ports/<port>/lock       write lock (open file description lock) of the session holding the port
//   ports/<port>/inbox/     messages to that session: cards, the end of the port
//   ports/<port>/state      outputs and number format as the reader's commands left them
//   ports/<port>/events     every output command received, one line each
//   detectors/<id>/lock     write lock of a live detector registration
//   detectors/<id>/inbox/   port arrivals and removals for it
//   trash/                  ports unplugged while a session still held them
//
// A message is written as ".tmp" and renamed to the next 20-digit number of its inbox, so a reader
// never sees half a message and reads them in order; it removes each message it has read, so none is
// read twice. Locks die with their process: a crashed session frees its port, a crashed detector is
// recognised by its free lock and its folder is removed by the next change of the bus, and nothing
// can leave the bus locked.

#include "orvreader/src/uOrvBusFormat.h"
#include "orvreader/src/uOrvFiles.h"

#include <sys/types.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace Orv {

// Results used by the tool besides those of OrvBase.h (they have texts in the message table too).
inline constexpr std::int32_t ORV_E_PORT_EXISTS = std::int32_t(0x80040209);
inline constexpr std::int32_t ORV_E_NO_SESSION = std::int32_t(0x8004020A);
inline constexpr std::int32_t ORV_E_NAME_IN_USE = std::int32_t(0x8004020B);

// Steady milliseconds, comparable between processes.
std::uint64_t SteadyMs();
// The bus folder: $ORV_SIM_BUS when set (VFromEnv = true), else <runtime>/orvsim, where <runtime> is
// $XDG_RUNTIME_DIR/tarvo or /tmp/tarvo-<uid>.
std::string BusFolder(bool* VFromEnv = nullptr);

// Reads a regular file of at most AMax bytes (a longer one, a folder, a pipe or a link is refused).
std::int32_t ReadSmallFile(int ADirFd, const char* AName, std::size_t AMax, std::string& VText);

// Reads the messages of one inbox folder in order.
class TInbox {
public:
    // 0 with the next message, ORV_S_NO_MORE when none is waiting. Unreadable messages are removed.
    std::int32_t Next(int AInboxFd, TBusMessage& VMsg);

private:
    std::vector<std::string> m_aBatch;
    std::size_t m_nPos = 0;
    std::set<std::string> m_oStuck;
};

// A port as it lies on the bus.
struct TPortEntry {
    std::string sFolder;
    TBusPort rPort;
    bool fOpen = false; // a session holds it
};

// A port held by a session of this process.
struct TBusSession {
    TBusPort rPort;
    std::string sFolder;
    std::string sInboxPath;
    TFd hDir, hLock, hInbox;
    dev_t nDev = 0;
    ino_t nIno = 0;
    TInbox oInbox;
};

// A detector registration of this process.
struct TBusDetector {
    std::string sId;
    std::string sInboxPath;
    TFd hLock, hInbox;
    TInbox oInbox;
};

class TBus {
public:
    // Opens an existing bus folder and creates its parts.
    std::int32_t Open(const std::string& APath);
    const std::string& Path() const { return m_sPath; }

    // The tool's changes, each under the bus lock.
    std::int32_t Plug(const TBusPort& APort);
    std::int32_t Unplug(std::u16string_view AName);
    std::int32_t Present(std::u16string_view AName, std::uint32_t ACardType, const TKey& AKey);

    // Reading needs no lock: records appear and vanish whole.
    std::int32_t ListPorts(std::vector<TPortEntry>& VPorts) const;
    // A port by type and name: a serial name also finds the USB port answering to it; ORVP_PORT_UNDEF
    // takes the type from the name.
    std::int32_t FindPort(std::uint32_t AType, std::u16string_view AName, TPortEntry& VEntry) const;
    TBusOutputs ReadOutputs(const std::string& AFolder) const;
    // The output command lines, oldest first (garbage lines left out).
    std::vector<std::string> ReadEvents(const std::string& AFolder) const;

    // Session side.
    std::int32_t OpenPort(std::uint32_t AType, std::u16string_view AName, TBusSession& VSession);
    bool Connected(const TBusSession& ASession) const;
    std::int32_t WriteOutputs(const TBusSession& ASession, const TBusOutputs& AOutputs) const;
    std::int32_t AppendEvent(const TBusSession& ASession, const std::string& ALine) const;
    // Frees a port and removes what an unplug left of it.
    void ClosePort(TBusSession& VSession);

    // Detector side.
    std::int32_t AddDetector(TBusDetector& VDetector);
    void RemoveDetector(TBusDetector& VDetector);

private:
    std::int32_t Deliver(int AInboxFd, const TBusMessage& AMsg) const;
    void DeliverToDetectors(const TBusMessage& AMsg) const;
    void SweepTrash() const;
    bool ReadPortFolder(const std::string& AFolder, TPortEntry& VEntry) const;

    std::string m_sPath;
    TFd m_hDir, m_hPorts, m_hDetectors, m_hTrash;
};

// The bus lock for the lifetime of the object.
class TBusLock {
public:
    explicit TBusLock(int ABusDirFd);
    std::int32_t Result() const { return m_nResult; }

private:
    TFd m_hFile;
    std::int32_t m_nResult = 0;
};

} // namespace Orv
