// The virtual bus as a backend: readers and detectors read their inbox folders (uOrvBus), and one
// thread per process waits on inotify for new messages and wakes their owners.

#include "orvreader/src/uOrvBackend.h"
#include "orvreader/src/uOrvBus.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <thread>

namespace Orv {

namespace {

class TWatcher {
public:
    ~TWatcher() { Stop(); }

    std::int32_t Start() {
        m_hNotify.Reset(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
        m_hStop.Reset(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
        if (!m_hNotify.Valid() || !m_hStop.Valid())
            return ErrnoResult(errno);
        m_oThread = std::thread([this] { Run(); });
        return ORV_OK;
    }

    void Stop() {
        if (!m_oThread.joinable())
            return;
        std::uint64_t lOne = 1;
        if (write(m_hStop.Get(), &lOne, sizeof lOne) < 0) {
            // An eventfd write of 1 cannot fail short of a closed descriptor; nothing else to do.
        }
        m_oThread.join();
    }

    // Wakes AWake once for every message renamed into the folder APath.
    std::int32_t Add(const std::string& APath, TWakeFunc AWake, int& VWatch) {
        std::lock_guard<std::mutex> g(m_oLock);
        int lWd = inotify_add_watch(m_hNotify.Get(), APath.c_str(), IN_MOVED_TO | IN_ONLYDIR);
        if (lWd < 0)
            return ErrnoResult(errno);
        m_oWatches[lWd] = std::move(AWake);
        VWatch = lWd;
        return ORV_OK;
    }

    // A wake call already under way may still finish: wake functions hold what they need themselves.
    void Remove(int AWatch) {
        std::lock_guard<std::mutex> g(m_oLock);
        if (m_oWatches.erase(AWatch))
            inotify_rm_watch(m_hNotify.Get(), AWatch);
    }

private:
    void Run() {
        alignas(inotify_event) char lBuf[16384];
        pollfd lFds[2] = {{m_hNotify.Get(), POLLIN, 0}, {m_hStop.Get(), POLLIN, 0}};
        for (;;) {
            if (poll(lFds, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                return;
            }
            if (lFds[1].revents)
                return;
            ssize_t n = read(m_hNotify.Get(), lBuf, sizeof lBuf);
            if (n <= 0)
                continue;
            std::vector<int> lWake;
            bool lAll = false;
            for (char* p = lBuf; p < lBuf + n;) {
                const inotify_event* e = reinterpret_cast<const inotify_event*>(p);
                if (e->mask & IN_Q_OVERFLOW)
                    lAll = true;
                else if ((e->mask & IN_MOVED_TO) && e->len > 0 && e->name[0] != '.')
                    lWake.push_back(e->wd);
                p += sizeof(inotify_event) + e->len;
            }
            // Wake functions run outside the lock: they may take their owner's locks.
            std::vector<TWakeFunc> lCalls;
            {
                std::lock_guard<std::mutex> g(m_oLock);
                if (lAll)
                    for (auto& [wd, f] : m_oWatches)
                        lCalls.push_back(f);
                for (int wd : lWake) {
                    auto it = m_oWatches.find(wd);
                    if (it != m_oWatches.end())
                        lCalls.push_back(it->second);
                }
            }
            for (TWakeFunc& f : lCalls)
                f();
        }
    }

    TFd m_hNotify, m_hStop;
    std::thread m_oThread;
    std::mutex m_oLock; // the watch table
    std::map<int, TWakeFunc> m_oWatches;
};

struct TBusShared {
    TBus oBus;
    TWatcher oWatcher;
};

TPortDesc ToDesc(const TBusPort& APort, bool ABusy) {
    TPortDesc d;
    d.nPortType = APort.nPortType;
    d.sName = APort.sName;
    d.sFriendly = APort.sFriendly;
    d.fBusy = ABusy;
    d.nRdType = APort.nModel;
    d.nSn = APort.nSn;
    d.nVersion = APort.nVersion;
    return d;
}

const char* IndText(std::uint32_t AState) {
    return AState == ORVR_IND_ON ? "on" : AState == ORVR_IND_OFF ? "off" : "-";
}

class TBusReader : public TBackendReader {
public:
    TBusReader(std::shared_ptr<TBusShared> AShared, TBusSession ASession)
        : m_pShared(std::move(AShared)), m_oSession(std::move(ASession)) {
        m_oOutputs = m_pShared->oBus.ReadOutputs(m_oSession.sFolder);
    }
    ~TBusReader() override {
        if (m_nWatch >= 0)
            m_pShared->oWatcher.Remove(m_nWatch);
        m_pShared->oBus.ClosePort(m_oSession);
    }
    std::int32_t Watch(TWakeFunc AWake) {
        return m_pShared->oWatcher.Add(m_oSession.sInboxPath, std::move(AWake), m_nWatch);
    }

    TPortDesc Describe() const override { return ToDesc(m_oSession.rPort, true); }

    std::int32_t NextEvent(TReaderEvent& VEvent) override {
        if (m_oPending.empty()) {
            TBusMessage lMsg;
            std::int32_t r = m_oSession.oInbox.Next(m_oSession.hInbox.Get(), lMsg);
            if (r != ORV_OK)
                return r;
            TReaderEvent e;
            if (lMsg.nKind == TBusMsgKind::Card) {
                // A presentation is momentary: the card enters the field and leaves it.
                e.rCard.nType = lMsg.nCardType;
                std::copy(lMsg.aKey.begin(), lMsg.aKey.end(), e.rCard.nNum);
                e.nKind = ORVR_MK_CARD_INSERT;
                m_oPending.push_back(e);
                e.nKind = ORVR_MK_CARD_REMOVE;
                m_oPending.push_back(e);
            } else if (lMsg.nKind == TBusMsgKind::Gone) {
                m_fGone = true;
                e.nKind = ORVR_MK_ERROR;
                e.nCode = ORV_E_DISCONNECTED;
                m_oPending.push_back(e);
                e.nKind = ORVR_MK_CONNECTION;
                e.nCode = 0;
                m_oPending.push_back(e);
            } else {
                return NextEvent(VEvent); // a port change has no business here
            }
        }
        VEvent = m_oPending.front();
        m_oPending.pop_front();
        return ORV_OK;
    }

    TOrvP_CONNECTION_STATUS ConnectionStatus() override {
        return Connected() ? ORVP_CS_CONNECTED : ORVP_CS_DISCONNECTED;
    }

    std::int32_t SetIndicator(std::uint32_t ARed, std::uint32_t AGreen, std::uint32_t ASound) override {
        if (ARed > ORVR_IND_OFF || AGreen > ORVR_IND_OFF || ASound > ORVR_IND_OFF)
            return ORV_E_INVALID_ARG;
        if (!Connected())
            return ORV_E_DISCONNECTED;
        const std::uint32_t lStates[3] = {AGreen, ARed, ASound};
        const TBusOutput lOuts[3] = {boGreen, boRed, boBeep};
        for (int i = 0; i < 3; ++i)
            if (lStates[i] != ORVR_IND_UNCHANGED)
                m_oOutputs.aOn[lOuts[i]] = lStates[i] == ORVR_IND_ON;
        char lLine[96];
        std::snprintf(lLine, sizeof lLine, "indicator red=%s green=%s sound=%s", IndText(ARed),
                      IndText(AGreen), IndText(ASound));
        return Record(lLine);
    }

    std::int32_t SetPower(std::uint32_t AState) override {
        if (m_oSession.rPort.nModel != ORVR_RD_KORVEL)
            return ORV_E_NOT_KORVEL;
        if (!Connected())
            return ORV_E_DISCONNECTED;
        m_oOutputs.aOn[boPower] = AState != 0;
        char lLine[64];
        if (AState == 0 || AState == 0xFFFFFFFFu)
            std::snprintf(lLine, sizeof lLine, "power %s", AState ? "on" : "off");
        else
            std::snprintf(lLine, sizeof lLine, "power 0x%08X", unsigned(AState));
        return Record(lLine);
    }

    std::int32_t SetFormat(const std::u16string& AFormat) override {
        if (m_oSession.rPort.nModel != ORVR_RD_KORVEL)
            return ORV_E_NOT_KORVEL;
        if (AFormat.size() > 64)
            return ORV_E_INVALID_ARG;
        for (char16_t c : AFormat)
            if (c < 0x20 || c == 0x7F || c == u'"')
                return ORV_E_INVALID_ARG;
        if (!Connected())
            return ORV_E_DISCONNECTED;
        m_oOutputs.sFormat = AFormat;
        return Record("format \"" + Utf16ToUtf8(AFormat) + "\"");
    }

    std::int32_t CardsInField(std::vector<TOrvR_CARD_INFO>& VCards) override {
        VCards.clear();
        return Connected() ? ORV_OK : ORV_E_DISCONNECTED;
    }
    std::int32_t ReadULPages(std::uint32_t, std::uint8_t*) override { return NoCard(); }
    std::int32_t WriteULPage(std::uint32_t, const std::uint8_t*) override { return NoCard(); }
    std::int32_t FindT57(TOrv_KEYNUM_C, std::uint32_t*, std::uint32_t, std::uint32_t) override {
        return NoCard();
    }
    std::int32_t T57Block(bool, std::uint32_t, std::uint8_t*, std::uint32_t, std::uint32_t,
                          std::uint32_t) override {
        return NoCard();
    }
    std::int32_t ResetT57() override { return NoCard(); }
    std::int32_t FirmwareBlock(const std::uint8_t*, std::uint32_t, bool ALast) override {
        if (!Connected())
            return ORV_E_DISCONNECTED;
        if (ALast)
            return Record("firmware updated");
        return ORV_OK;
    }

private:
    bool Connected() const { return !m_fGone && m_pShared->oBus.Connected(m_oSession); }
    // Presentations are momentary, so no card is ever waiting in the field.
    std::int32_t NoCard() const { return Connected() ? ORV_E_NO_CARD : ORV_E_DISCONNECTED; }

    std::int32_t Record(const std::string& ACommand) {
        std::int32_t r = m_pShared->oBus.WriteOutputs(m_oSession, m_oOutputs);
        std::uint64_t lNow = SteadyMs();
        std::uint64_t lMs = lNow > m_oSession.rPort.nPluggedMs ? lNow - m_oSession.rPort.nPluggedMs : 0;
        std::int32_t r2 = m_pShared->oBus.AppendEvent(m_oSession, std::to_string(lMs) + " " + ACommand);
        return r != ORV_OK ? r : r2;
    }

    std::shared_ptr<TBusShared> m_pShared;
    TBusSession m_oSession;
    TBusOutputs m_oOutputs;
    std::deque<TReaderEvent> m_oPending;
    int m_nWatch = -1;
    bool m_fGone = false;
};

class TBusDetectorImpl : public TBackendDetector {
public:
    TBusDetectorImpl(std::shared_ptr<TBusShared> AShared, TBusDetector AReg)
        : m_pShared(std::move(AShared)), m_oReg(std::move(AReg)) {}
    ~TBusDetectorImpl() override {
        if (m_nWatch >= 0)
            m_pShared->oWatcher.Remove(m_nWatch);
        m_pShared->oBus.RemoveDetector(m_oReg);
    }
    std::int32_t Watch(TWakeFunc AWake) {
        return m_pShared->oWatcher.Add(m_oReg.sInboxPath, std::move(AWake), m_nWatch);
    }

    std::int32_t NextEvent(TPortEvent& VEvent) override {
        for (;;) {
            TBusMessage lMsg;
            std::int32_t r = m_oReg.oInbox.Next(m_oReg.hInbox.Get(), lMsg);
            if (r != ORV_OK)
                return r;
            if (lMsg.nKind != TBusMsgKind::Arrival && lMsg.nKind != TBusMsgKind::Removal)
                continue;
            VEvent.nKind = lMsg.nKind == TBusMsgKind::Arrival ? ORVP_DDK_PORT_ARRIVED : ORVP_DDK_PORT_REMOVED;
            VEvent.rPort = ToDesc(lMsg.rPort, false);
            return ORV_OK;
        }
    }

private:
    std::shared_ptr<TBusShared> m_pShared;
    TBusDetector m_oReg;
    int m_nWatch = -1;
};

class TBusBackend : public TBackend {
public:
    std::int32_t Start() override {
        bool lFromEnv = false;
        std::string lPath = BusFolder(&lFromEnv);
        std::int32_t r = MakeFolders(lPath);
        auto lShared = std::make_shared<TBusShared>();
        if (r == ORV_OK)
            r = lShared->oBus.Open(lPath);
        if (r == ORV_OK)
            r = lShared->oWatcher.Start();
        if (r != ORV_OK)
            return r;
        m_pShared = std::move(lShared);
        return ORV_OK;
    }

    void Stop() override {
        if (m_pShared)
            m_pShared->oWatcher.Stop();
        m_pShared.reset();
    }

    std::int32_t EnumPorts(std::vector<TPortDesc>& VPorts) override {
        std::vector<TPortEntry> lPorts;
        std::int32_t r = m_pShared->oBus.ListPorts(lPorts);
        for (const TPortEntry& e : lPorts)
            VPorts.push_back(ToDesc(e.rPort, e.fOpen));
        return r;
    }

    std::int32_t Open(const TOpenRequest& ARequest, TWakeFunc AWake,
                      std::unique_ptr<TBackendReader>& VReader) override {
        TBusSession lSession;
        std::int32_t r = m_pShared->oBus.OpenPort(ARequest.nPortType, ARequest.sPortName, lSession);
        if (r != ORV_OK)
            return r;
        auto lReader = std::make_unique<TBusReader>(m_pShared, std::move(lSession));
        if (ARequest.nRdType != ORVR_RD_UNDEF && ARequest.nRdType != lReader->Describe().nRdType)
            return ORV_E_WRONG_READER;
        r = lReader->Watch(std::move(AWake));
        if (r != ORV_OK)
            return r;
        VReader = std::move(lReader);
        return ORV_OK;
    }

    std::int32_t Watch(TWakeFunc AWake, std::unique_ptr<TBackendDetector>& VDetector) override {
        TBusDetector lReg;
        std::int32_t r = m_pShared->oBus.AddDetector(lReg);
        if (r != ORV_OK)
            return r;
        auto lDet = std::make_unique<TBusDetectorImpl>(m_pShared, std::move(lReg));
        r = lDet->Watch(std::move(AWake));
        if (r != ORV_OK)
            return r;
        VDetector = std::move(lDet);
        return ORV_OK;
    }

    std::int32_t Refresh() override { return ORV_OK; }

private:
    std::shared_ptr<TBusShared> m_pShared;
};

} // namespace

std::unique_ptr<TBackend> MakeBusBackend() {
    return std::make_unique<TBusBackend>();
}

} // namespace Orv
