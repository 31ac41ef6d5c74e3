#include "orvreader/src/uOrvBus.h"

#include "orvreader/OrvBase.h"
#include "orvreader/OrvPort.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <ctime>

namespace Orv {

namespace {

constexpr std::size_t MaxEventsBytes = 1 << 20; // the events file is rotated beyond this
constexpr std::size_t InboxBatch = 256;
constexpr int MaxTreeDepth = 8;

bool IsMessageName(const char* AName) {
    std::size_t i = 0;
    for (; AName[i]; ++i)
        if (AName[i] < '0' || AName[i] > '9')
            return false;
    return i == 20;
}

std::string MessageName(std::uint64_t ANumber) {
    std::string lName = std::to_string(ANumber);
    return std::string(20 - lName.size(), '0') + lName;
}

// Entry names of a folder (without "." and ".."); AFd stays open.
std::vector<std::string> ListFolder(int AFd) {
    std::vector<std::string> lNames;
    int lDup = openat(AFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (lDup < 0)
        return lNames;
    DIR* lDir = fdopendir(lDup);
    if (!lDir) {
        close(lDup);
        return lNames;
    }
    while (dirent* e = readdir(lDir)) {
        if (std::string_view(e->d_name) != "." && std::string_view(e->d_name) != "..")
            lNames.emplace_back(e->d_name);
    }
    closedir(lDir);
    return lNames;
}

int OpenFolder(int ADirFd, const std::string& AName) {
    return openat(ADirFd, AName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
}

// Removes a file or a folder with its content, never following links out of it.
void RemoveTree(int AParentFd, const std::string& AName, int ADepth = 0) {
    if (unlinkat(AParentFd, AName.c_str(), 0) == 0 || errno == ENOENT)
        return;
    TFd lDir(OpenFolder(AParentFd, AName));
    if (!lDir.Valid())
        return;
    if (ADepth < MaxTreeDepth)
        for (const std::string& n : ListFolder(lDir.Get()))
            RemoveTree(lDir.Get(), n, ADepth + 1);
    unlinkat(AParentFd, AName.c_str(), AT_REMOVEDIR);
}

int OpenLockFile(int ADirFd, bool ACreate) {
    return openat(ADirFd, "lock", O_RDWR | O_NOFOLLOW | O_CLOEXEC | (ACreate ? O_CREAT : 0), 0600);
}

// Whether another open file description holds the write lock of this lock file.
bool LockHeld(int AFd) {
    struct flock l = {};
    l.l_type = F_WRLCK;
    l.l_whence = SEEK_SET;
    if (fcntl(AFd, F_OFD_GETLK, &l) != 0)
        return false;
    return l.l_type != F_UNLCK;
}

bool TakeLock(int AFd) {
    struct flock l = {};
    l.l_type = F_WRLCK;
    l.l_whence = SEEK_SET;
    return fcntl(AFd, F_OFD_SETLK, &l) == 0;
}

// Whether the folder AName in ADirFd holds a lock file that someone holds.
bool FolderLocked(int ADirFd, const std::string& AName) {
    TFd lDir(OpenFolder(ADirFd, AName));
    if (!lDir.Valid())
        return false;
    TFd lLock(OpenLockFile(lDir.Get(), false));
    return lLock.Valid() && LockHeld(lLock.Get());
}

std::int32_t WriteAll(int AFd, std::string_view AText) {
    while (!AText.empty()) {
        ssize_t n = write(AFd, AText.data(), AText.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return ErrnoResult(errno);
        }
        AText.remove_prefix(std::size_t(n));
    }
    return ORV_OK;
}

// Writes a file whole: ".tmp" first, then renamed over the target.
std::int32_t WriteFileAtomic(int ADirFd, const std::string& AName, std::string_view AText) {
    TFd lFile(openat(ADirFd, ".tmp", O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!lFile.Valid())
        return ErrnoResult(errno);
    std::int32_t r = WriteAll(lFile.Get(), AText);
    lFile.Reset();
    if (r == ORV_OK && renameat(ADirFd, ".tmp", ADirFd, AName.c_str()) != 0)
        r = ErrnoResult(errno);
    if (r != ORV_OK)
        unlinkat(ADirFd, ".tmp", 0);
    return r;
}

std::string UniqueSuffix() {
    static std::atomic<unsigned> s_nCounter{0};
    timespec t{};
    clock_gettime(CLOCK_REALTIME, &t);
    return std::to_string(getpid()) + "-" + std::to_string(++s_nCounter) + "-" + std::to_string(t.tv_sec) +
           std::to_string(t.tv_nsec);
}

// Only our own text goes into the events file, but the file may have been replaced by anything.
bool PrintableLine(std::string_view ALine) {
    std::u16string lDummy;
    if (ALine.empty() || !Utf8ToUtf16(ALine, lDummy))
        return false;
    return std::none_of(ALine.begin(), ALine.end(),
                        [](char c) { return (unsigned char)c < 0x20 || c == 0x7F; });
}

} // namespace

std::uint64_t SteadyMs() {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return std::uint64_t(t.tv_sec) * 1000 + std::uint64_t(t.tv_nsec) / 1000000;
}

std::string BusFolder(bool* VFromEnv) {
    const char* lEnv = std::getenv("ORV_SIM_BUS");
    if (VFromEnv)
        *VFromEnv = lEnv && *lEnv;
    if (lEnv && *lEnv)
        return lEnv;
    const char* lXdg = std::getenv("XDG_RUNTIME_DIR");
    struct stat st {};
    if (lXdg && lXdg[0] == '/' && stat(lXdg, &st) == 0 && S_ISDIR(st.st_mode))
        return std::string(lXdg) + (std::string_view(lXdg).back() == '/' ? "" : "/") + "tarvo/orvsim";
    return "/tmp/tarvo-" + std::to_string(geteuid()) + "/orvsim";
}

std::int32_t ReadSmallFile(int ADirFd, const char* AName, std::size_t AMax, std::string& VText) {
    TFd lFile(openat(ADirFd, AName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!lFile.Valid())
        return ErrnoResult(errno);
    struct stat st {};
    if (fstat(lFile.Get(), &st) != 0 || !S_ISREG(st.st_mode))
        return ORV_E_BUS;
    bool lTooLong = false;
    const std::int32_t r = ReadUpTo(lFile.Get(), AMax, VText, lTooLong);
    return r == ORV_OK && lTooLong ? ORV_E_BUS : r;
}

std::int32_t TInbox::Next(int AInboxFd, TBusMessage& VMsg) {
    for (;;) {
        if (m_nPos >= m_aBatch.size()) {
            m_aBatch.clear();
            m_nPos = 0;
            for (std::string& n : ListFolder(AInboxFd))
                if (IsMessageName(n.c_str()) && !m_oStuck.count(n))
                    m_aBatch.push_back(std::move(n));
            std::sort(m_aBatch.begin(), m_aBatch.end());
            if (m_aBatch.size() > InboxBatch)
                m_aBatch.resize(InboxBatch);
            if (m_aBatch.empty())
                return ORV_S_NO_MORE;
        }
        const std::string& lName = m_aBatch[m_nPos++];
        std::string lText;
        std::int32_t r = ReadSmallFile(AInboxFd, lName.c_str(), MaxRecordBytes, lText);
        if (r == ORV_FROM_ERRNO(ENOENT))
            continue;
        if (unlinkat(AInboxFd, lName.c_str(), 0) != 0 && errno != ENOENT) {
            // Not a file: garbage under a message's name. What cannot be removed is not read again.
            RemoveTree(AInboxFd, lName);
            struct stat st {};
            if (fstatat(AInboxFd, lName.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
                m_oStuck.insert(lName);
            continue;
        }
        if (r == ORV_OK && ParseMessage(lText, VMsg))
            return ORV_OK;
    }
}

TBusLock::TBusLock(int ABusDirFd) {
    m_hFile.Reset(openat(ABusDirFd, "lock", O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!m_hFile.Valid()) {
        m_nResult = ErrnoResult(errno);
        return;
    }
    while (flock(m_hFile.Get(), LOCK_EX) != 0)
        if (errno != EINTR) {
            m_nResult = ErrnoResult(errno);
            return;
        }
}

std::int32_t TBus::Open(const std::string& APath) {
    char* lReal = realpath(APath.c_str(), nullptr);
    if (!lReal)
        return ErrnoResult(errno);
    m_sPath = lReal;
    std::free(lReal);
    m_hDir.Reset(open(m_sPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!m_hDir.Valid())
        return ErrnoResult(errno);
    TFd* lParts[] = {&m_hPorts, &m_hDetectors, &m_hTrash};
    const char* lNames[] = {"ports", "detectors", "trash"};
    for (int i = 0; i < 3; ++i) {
        if (mkdirat(m_hDir.Get(), lNames[i], 0700) != 0 && errno != EEXIST)
            return ErrnoResult(errno);
        lParts[i]->Reset(OpenFolder(m_hDir.Get(), lNames[i]));
        if (!lParts[i]->Valid())
            return ErrnoResult(errno);
    }
    return ORV_OK;
}

bool TBus::ReadPortFolder(const std::string& AFolder, TPortEntry& VEntry) const {
    if (AFolder.empty() || AFolder[0] == '.')
        return false;
    TFd lDir(OpenFolder(m_hPorts.Get(), AFolder));
    std::string lText;
    TBusPort lPort;
    if (!lDir.Valid() || ReadSmallFile(lDir.Get(), "info", MaxRecordBytes, lText) != ORV_OK ||
        !ParsePort(lText, lPort) || PortFolderName(lPort.sName) != AFolder)
        return false;
    TFd lLock(OpenLockFile(lDir.Get(), false));
    VEntry.sFolder = AFolder;
    VEntry.rPort = std::move(lPort);
    VEntry.fOpen = lLock.Valid() && LockHeld(lLock.Get());
    return true;
}

std::int32_t TBus::ListPorts(std::vector<TPortEntry>& VPorts) const {
    VPorts.clear();
    for (const std::string& n : ListFolder(m_hPorts.Get())) {
        TPortEntry lEntry;
        if (ReadPortFolder(n, lEntry))
            VPorts.push_back(std::move(lEntry));
    }
    std::sort(VPorts.begin(), VPorts.end(),
              [](const TPortEntry& a, const TPortEntry& b) { return a.rPort.sName < b.rPort.sName; });
    return ORV_OK;
}

std::int32_t TBus::FindPort(std::uint32_t AType, std::u16string_view AName, TPortEntry& VEntry) const {
    if (AType == ORVP_PORT_UNDEF)
        AType = IsComName(AName) ? ORVP_PORT_COM : ORVP_PORT_FT;
    if (AType != ORVP_PORT_COM && AType != ORVP_PORT_FT)
        return ORV_E_PORT_NOT_FOUND;
    if (CheckPortName(AName) != TNameCheck::Ok)
        return ORV_E_PORT_NOT_FOUND;
    std::u16string lName = AType == ORVP_PORT_COM ? CanonicalPortName(AName) : std::u16string(AName);
    TPortEntry lEntry;
    if (ReadPortFolder(PortFolderName(lName), lEntry) && lEntry.rPort.nPortType == AType &&
        lEntry.rPort.sName == lName) {
        VEntry = std::move(lEntry);
        return ORV_OK;
    }
    if (AType == ORVP_PORT_COM && IsComName(lName)) {
        // A USB reader also answers to the name of its serial port.
        std::vector<TPortEntry> lPorts;
        ListPorts(lPorts);
        for (TPortEntry& e : lPorts)
            if (e.rPort.nPortType == ORVP_PORT_FT && CanonicalPortName(e.rPort.sFriendly) == lName) {
                VEntry = std::move(e);
                return ORV_OK;
            }
    }
    return ORV_E_PORT_NOT_FOUND;
}

std::int32_t TBus::Deliver(int AInboxFd, const TBusMessage& AMsg) const {
    std::uint64_t lLast = 0;
    for (const std::string& n : ListFolder(AInboxFd))
        if (IsMessageName(n.c_str()))
            lLast = std::max<std::uint64_t>(lLast, std::strtoull(n.c_str(), nullptr, 10));
    return WriteFileAtomic(AInboxFd, MessageName(lLast + 1), FormatMessage(AMsg));
}

void TBus::DeliverToDetectors(const TBusMessage& AMsg) const {
    for (const std::string& n : ListFolder(m_hDetectors.Get())) {
        if (n.empty() || n[0] == '.')
            continue;
        TFd lDir(OpenFolder(m_hDetectors.Get(), n));
        if (!lDir.Valid())
            continue;
        TFd lLock(OpenLockFile(lDir.Get(), false));
        if (!lLock.Valid())
            continue; // not ours
        if (!LockHeld(lLock.Get())) {
            // Its process has ended without closing the registration.
            lLock.Reset();
            lDir.Reset();
            RemoveTree(m_hDetectors.Get(), n);
            continue;
        }
        TFd lInbox(OpenFolder(lDir.Get(), "inbox"));
        if (lInbox.Valid())
            Deliver(lInbox.Get(), AMsg);
    }
}

void TBus::SweepTrash() const {
    for (const std::string& n : ListFolder(m_hTrash.Get()))
        if (!FolderLocked(m_hTrash.Get(), n))
            RemoveTree(m_hTrash.Get(), n);
}

std::int32_t TBus::Plug(const TBusPort& APort) {
    TBusLock lLock(m_hDir.Get());
    if (lLock.Result() != ORV_OK)
        return lLock.Result();
    SweepTrash();
    RemoveTree(m_hPorts.Get(), ".new");
    std::string lFolder = PortFolderName(APort.sName);
    TPortEntry lOld;
    if (ReadPortFolder(lFolder, lOld) || FolderLocked(m_hPorts.Get(), lFolder))
        return ORV_E_PORT_EXISTS;
    // A serial name is taken by a serial port or by a USB port answering to it.
    std::vector<std::u16string> lSerialNames;
    if (APort.nPortType == ORVP_PORT_COM)
        lSerialNames.push_back(APort.sName);
    if (!APort.sFriendly.empty())
        lSerialNames.push_back(CanonicalPortName(APort.sFriendly));
    std::vector<TPortEntry> lPorts;
    ListPorts(lPorts);
    for (const TPortEntry& e : lPorts)
        for (const std::u16string& s : lSerialNames)
            if (e.rPort.sName == s ||
                (!e.rPort.sFriendly.empty() && CanonicalPortName(e.rPort.sFriendly) == s))
                return ORV_E_NAME_IN_USE;
    // A folder of that name that is not a port (garbage) goes to the trash.
    if (renameat(m_hPorts.Get(), lFolder.c_str(), m_hTrash.Get(), (lFolder + "." + UniqueSuffix()).c_str()) ==
        0)
        SweepTrash();
    if (mkdirat(m_hPorts.Get(), ".new", 0700) != 0)
        return ErrnoResult(errno);
    TFd lNew(OpenFolder(m_hPorts.Get(), ".new"));
    if (!lNew.Valid())
        return ErrnoResult(errno);
    TFd lLockFile(OpenLockFile(lNew.Get(), true));
    std::int32_t r = lLockFile.Valid() ? ORV_OK : ErrnoResult(errno);
    if (r == ORV_OK && mkdirat(lNew.Get(), "inbox", 0700) != 0)
        r = ErrnoResult(errno);
    if (r == ORV_OK)
        r = WriteFileAtomic(lNew.Get(), "info", FormatPort(APort));
    if (r == ORV_OK && renameat(m_hPorts.Get(), ".new", m_hPorts.Get(), lFolder.c_str()) != 0)
        r = ErrnoResult(errno);
    if (r != ORV_OK) {
        RemoveTree(m_hPorts.Get(), ".new");
        return r;
    }
    TBusMessage lMsg;
    lMsg.nKind = TBusMsgKind::Arrival;
    lMsg.rPort = APort;
    DeliverToDetectors(lMsg);
    return ORV_OK;
}

std::int32_t TBus::Unplug(std::u16string_view AName) {
    TBusLock lLock(m_hDir.Get());
    if (lLock.Result() != ORV_OK)
        return lLock.Result();
    TPortEntry lEntry;
    std::int32_t r = FindPort(ORVP_PORT_UNDEF, AName, lEntry);
    if (r != ORV_OK)
        return r;
    if (lEntry.fOpen) {
        TFd lDir(OpenFolder(m_hPorts.Get(), lEntry.sFolder));
        TFd lInbox(lDir.Valid() ? OpenFolder(lDir.Get(), "inbox") : -1);
        if (lInbox.Valid()) {
            TBusMessage lGone;
            lGone.nKind = TBusMsgKind::Gone;
            Deliver(lInbox.Get(), lGone);
        }
    }
    std::string lTrashName = lEntry.sFolder + "." + UniqueSuffix();
    if (renameat(m_hPorts.Get(), lEntry.sFolder.c_str(), m_hTrash.Get(), lTrashName.c_str()) != 0)
        return ErrnoResult(errno);
    SweepTrash();
    TBusMessage lMsg;
    lMsg.nKind = TBusMsgKind::Removal;
    lMsg.rPort = lEntry.rPort;
    DeliverToDetectors(lMsg);
    return ORV_OK;
}

std::int32_t TBus::Present(std::u16string_view AName, std::uint32_t ACardType, const TKey& AKey) {
    TBusLock lLock(m_hDir.Get());
    if (lLock.Result() != ORV_OK)
        return lLock.Result();
    TPortEntry lEntry;
    std::int32_t r = FindPort(ORVP_PORT_UNDEF, AName, lEntry);
    if (r != ORV_OK)
        return r;
    if (!lEntry.fOpen)
        return ORV_E_NO_SESSION;
    TFd lDir(OpenFolder(m_hPorts.Get(), lEntry.sFolder));
    TFd lInbox(lDir.Valid() ? OpenFolder(lDir.Get(), "inbox") : -1);
    if (!lInbox.Valid())
        return ErrnoResult(errno);
    TBusMessage lMsg;
    lMsg.nKind = TBusMsgKind::Card;
    lMsg.nCardType = ACardType;
    lMsg.aKey = AKey;
    return Deliver(lInbox.Get(), lMsg);
}

TBusOutputs TBus::ReadOutputs(const std::string& AFolder) const {
    TBusOutputs lOut;
    TFd lDir(OpenFolder(m_hPorts.Get(), AFolder));
    std::string lText;
    if (lDir.Valid() && ReadSmallFile(lDir.Get(), "state", MaxRecordBytes, lText) == ORV_OK)
        ParseOutputs(lText, lOut);
    return lOut;
}

std::vector<std::string> TBus::ReadEvents(const std::string& AFolder) const {
    std::vector<std::string> lLines;
    TFd lDir(OpenFolder(m_hPorts.Get(), AFolder));
    if (!lDir.Valid())
        return lLines;
    for (const char* lName : {"events.old", "events"}) {
        std::string lText;
        if (ReadSmallFile(lDir.Get(), lName, 2 * MaxEventsBytes, lText) != ORV_OK)
            continue;
        std::size_t lStart = 0;
        while (lStart < lText.size()) {
            std::size_t lEnd = lText.find('\n', lStart);
            if (lEnd == std::string::npos)
                break; // a line being written
            std::string lLine = lText.substr(lStart, lEnd - lStart);
            if (PrintableLine(lLine))
                lLines.push_back(std::move(lLine));
            lStart = lEnd + 1;
        }
    }
    return lLines;
}

std::int32_t TBus::OpenPort(std::uint32_t AType, std::u16string_view AName, TBusSession& VSession) {
    TBusLock lLock(m_hDir.Get());
    if (lLock.Result() != ORV_OK)
        return lLock.Result();
    SweepTrash();
    TPortEntry lEntry;
    std::int32_t r = FindPort(AType, AName, lEntry);
    if (r != ORV_OK)
        return r;
    TBusSession lSession;
    lSession.hDir.Reset(OpenFolder(m_hPorts.Get(), lEntry.sFolder));
    if (!lSession.hDir.Valid())
        return ORV_E_PORT_NOT_FOUND;
    lSession.hLock.Reset(OpenLockFile(lSession.hDir.Get(), false));
    if (!lSession.hLock.Valid())
        return ORV_E_PORT_NOT_FOUND;
    if (!TakeLock(lSession.hLock.Get()))
        return errno == EAGAIN || errno == EACCES ? ORV_E_PORT_BUSY : ErrnoResult(errno);
    if (lEntry.rPort.nModel == 0)
        return ORV_E_NO_READER;
    lSession.hInbox.Reset(OpenFolder(lSession.hDir.Get(), "inbox"));
    struct stat st {};
    if (!lSession.hInbox.Valid() || fstat(lSession.hDir.Get(), &st) != 0)
        return ErrnoResult(errno);
    // Cards presented to an earlier session and never fetched are not this session's.
    for (const std::string& n : ListFolder(lSession.hInbox.Get()))
        unlinkat(lSession.hInbox.Get(), n.c_str(), 0);
    lSession.nDev = st.st_dev;
    lSession.nIno = st.st_ino;
    lSession.rPort = lEntry.rPort;
    lSession.sFolder = lEntry.sFolder;
    lSession.sInboxPath = m_sPath + "/ports/" + lEntry.sFolder + "/inbox";
    VSession = std::move(lSession);
    return ORV_OK;
}

bool TBus::Connected(const TBusSession& ASession) const {
    struct stat st {};
    return fstatat(m_hPorts.Get(), ASession.sFolder.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
           st.st_dev == ASession.nDev && st.st_ino == ASession.nIno;
}

std::int32_t TBus::WriteOutputs(const TBusSession& ASession, const TBusOutputs& AOutputs) const {
    return WriteFileAtomic(ASession.hDir.Get(), "state", FormatOutputs(AOutputs));
}

std::int32_t TBus::AppendEvent(const TBusSession& ASession, const std::string& ALine) const {
    int lDir = ASession.hDir.Get();
    struct stat st {};
    if (fstatat(lDir, "events", &st, AT_SYMLINK_NOFOLLOW) == 0 && std::size_t(st.st_size) > MaxEventsBytes)
        renameat(lDir, "events", lDir, "events.old");
    TFd lFile(openat(lDir, "events", O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!lFile.Valid())
        return ErrnoResult(errno);
    return WriteAll(lFile.Get(), ALine + "\n");
}

void TBus::ClosePort(TBusSession& VSession) {
    bool lGone = !Connected(VSession);
    VSession.hInbox.Reset();
    VSession.hLock.Reset();
    VSession.hDir.Reset();
    if (lGone) {
        TBusLock lLock(m_hDir.Get());
        SweepTrash();
    }
}

std::int32_t TBus::AddDetector(TBusDetector& VDetector) {
    TBusLock lLock(m_hDir.Get());
    if (lLock.Result() != ORV_OK)
        return lLock.Result();
    RemoveTree(m_hDetectors.Get(), ".new");
    if (mkdirat(m_hDetectors.Get(), ".new", 0700) != 0)
        return ErrnoResult(errno);
    TBusDetector lDet;
    lDet.sId = UniqueSuffix();
    TFd lDir(OpenFolder(m_hDetectors.Get(), ".new"));
    std::int32_t r = lDir.Valid() ? ORV_OK : ErrnoResult(errno);
    if (r == ORV_OK) {
        lDet.hLock.Reset(OpenLockFile(lDir.Get(), true));
        if (!lDet.hLock.Valid() || !TakeLock(lDet.hLock.Get()) || mkdirat(lDir.Get(), "inbox", 0700) != 0)
            r = ErrnoResult(errno);
    }
    if (r == ORV_OK) {
        lDet.hInbox.Reset(OpenFolder(lDir.Get(), "inbox"));
        if (!lDet.hInbox.Valid() ||
            renameat(m_hDetectors.Get(), ".new", m_hDetectors.Get(), lDet.sId.c_str()) != 0)
            r = ErrnoResult(errno);
    }
    if (r != ORV_OK) {
        RemoveTree(m_hDetectors.Get(), ".new");
        return r;
    }
    lDet.sInboxPath = m_sPath + "/detectors/" + lDet.sId + "/inbox";
    VDetector = std::move(lDet);
    return ORV_OK;
}

void TBus::RemoveDetector(TBusDetector& VDetector) {
    VDetector.hInbox.Reset();
    TBusLock lLock(m_hDir.Get());
    RemoveTree(m_hDetectors.Get(), VDetector.sId);
    VDetector.hLock.Reset();
}

} // namespace Orv
