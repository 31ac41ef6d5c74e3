// The PC/SC backend. The worker thread owns the pcsc-lite context: it lists the readers, waits for
// changes and talks to the cards; other threads only read the state it publishes under the lock and
// call SCardCancel to wake it.

#include "orvreader/src/pcsc/uOrvPcscBackend.h"

#include "orvreader/src/uOrvPortQueue.h"

#include "orvreader/src/pcsc/uOrvPcscCard.h"
#include "orvreader/src/pcsc/uOrvPcscSetup.h"
#include "orvreader/src/uOrvBus.h"
#include "orvreader/src/uOrvBusFormat.h"

#include <PCSC/winscard.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

namespace Orv {

namespace {

const char c_sPnp[] = "\\\\?PnP?\\Notification";

// The reader model PC/SC readers report: a desktop reader (13.56 MHz cards).
constexpr std::uint32_t c_nPcscModel = ORVR_RD_DESK_MF;

bool AllowVirtual() {
    const char* v = std::getenv("ORV_PCSC_VIRTUAL");
    return v && std::strcmp(v, "1") == 0;
}

// Where the sessions of every process of the user lock the PC/SC ports they hold.
std::string LockFolder() {
    const char* lRun = std::getenv("XDG_RUNTIME_DIR");
    std::string lBase =
        lRun && *lRun ? std::string(lRun) + "/tarvo" : "/tmp/tarvo-" + std::to_string(getuid());
    return lBase + "/pcsc";
}

std::string LockPath(const std::u16string& AAlias) {
    return LockFolder() + "/" + Utf16ToUtf8(AAlias) + ".lock";
}

// The lock of a port, taken without waiting; an invalid descriptor when another session holds it.
TFd TakePortLock(const std::u16string& AAlias, std::int32_t& VResult) {
    VResult = MakeFolders(LockFolder());
    if (VResult != ORV_OK)
        return TFd();
    TFd h(open(LockPath(AAlias).c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (!h.Valid()) {
        VResult = ErrnoResult(errno);
        return h;
    }
    if (flock(h.Get(), LOCK_EX | LOCK_NB) != 0) {
        VResult = errno == EWOULDBLOCK ? ORV_E_PORT_BUSY : ErrnoResult(errno);
        return TFd();
    }
    VResult = ORV_OK;
    return h;
}

bool PortLockHeld(const std::u16string& AAlias) {
    TFd h(open(LockPath(AAlias).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!h.Valid())
        return false;
    if (flock(h.Get(), LOCK_EX | LOCK_NB) != 0)
        return errno == EWOULDBLOCK;
    flock(h.Get(), LOCK_UN);
    return false;
}

// The events of one open reader, shared by the session and the worker.
struct TPcscSession {
    std::mutex oLock;
    std::deque<TReaderEvent> oEvents;
    TWakeFunc fnWake;
    bool fGone = false;
    bool fCard = false; // a card reported inserted and not yet removed
    TOrvR_CARD_INFO rCard{};

    void Push(const TReaderEvent& AEvent) {
        std::lock_guard<std::mutex> g(oLock);
        oEvents.push_back(AEvent);
    }
};

struct TPcscPort {
    std::string sReader;   // pcsc-lite's name
    std::string sIdentity; // stable across replugs
    TPortDesc rDesc;
    DWORD nState = SCARD_STATE_UNAWARE; // the reader state last seen
    bool fPresent = false;
    bool fRetry = false; // a card waits to be read (held exclusively by another program)
    std::vector<std::uint8_t> aAtr;
    TNumFormat nFormat = TNumFormat::Hex;
    std::weak_ptr<TPcscSession> pSession;
};

class TPcscShared {
public:
    explicit TPcscShared(TPcscSetupFunc ASetups) : m_fnSetups(std::move(ASetups)) {}

    void Start() {
        // A first look on the caller's thread, so the ports are known when the library's start returns.
        Connect();
        m_oThread = std::thread([this] { Run(); });
    }

    void Stop() {
        {
            std::lock_guard<std::mutex> g(m_oLock);
            m_fStop = true;
        }
        m_oCond.notify_all();
        // A cancel that comes before the worker enters its wait is lost, so it is repeated until the
        // worker has seen the stop.
        std::unique_lock<std::mutex> g(m_oLock);
        while (!m_fDone) {
            if (m_fHasContext)
                SCardCancel(m_hContext);
            m_oDoneCond.wait_for(g, std::chrono::milliseconds(50));
        }
        g.unlock();
        if (m_oThread.joinable())
            m_oThread.join();
    }

    // Wakes the worker so it lists the readers again.
    void Wake() {
        std::lock_guard<std::mutex> g(m_oLock);
        if (m_fHasContext)
            SCardCancel(m_hContext);
    }

    void Ports(std::vector<TPortDesc>& VPorts) {
        std::lock_guard<std::mutex> g(m_oLock);
        for (const TPcscPort& p : m_aPorts) {
            TPortDesc d = p.rDesc;
            d.fBusy = !p.pSession.expired() || PortLockHeld(d.sName);
            VPorts.push_back(d);
        }
    }

    std::int32_t OpenSession(const TOpenRequest& ARequest, TWakeFunc AWake,
                             std::shared_ptr<TPcscSession>& VSession, TPortDesc& VDesc, TFd& VLock) {
        if (ARequest.nPortType != ORVP_PORT_UNDEF && ARequest.nPortType != ORVP_PORT_FT)
            return ORV_E_PORT_NOT_FOUND;
        std::lock_guard<std::mutex> g(m_oLock);
        auto it = std::find_if(m_aPorts.begin(), m_aPorts.end(), [&](const TPcscPort& p) {
            return p.rDesc.sName == ARequest.sPortName ||
                   (!p.rDesc.sFriendly.empty() && p.rDesc.sFriendly == ARequest.sPortName);
        });
        if (it == m_aPorts.end())
            return ORV_E_PORT_NOT_FOUND;
        if (!it->pSession.expired())
            return ORV_E_PORT_BUSY;
        if (ARequest.nRdType != ORVR_RD_UNDEF && ARequest.nRdType != it->rDesc.nRdType)
            return ORV_E_WRONG_READER;
        std::int32_t r = ORV_OK;
        VLock = TakePortLock(it->rDesc.sName, r);
        if (r != ORV_OK)
            return r;
        auto lSession = std::make_shared<TPcscSession>();
        lSession->fnWake = std::move(AWake);
        it->pSession = lSession;
        // A card already lying on the reader counts as presented now; the worker is woken to read it.
        it->fRetry = it->fPresent;
        if (it->fRetry && m_fHasContext)
            SCardCancel(m_hContext);
        VDesc = it->rDesc;
        VDesc.fBusy = true;
        VSession = std::move(lSession);
        return ORV_OK;
    }

    void AddDetector(const std::shared_ptr<TPortEventQueue>& AQueue) {
        std::lock_guard<std::mutex> g(m_oLock);
        m_aDetectors.push_back(AQueue);
    }

    // The cards now in the field of the port held by ASession.
    bool CardOf(const std::shared_ptr<TPcscSession>& ASession, TOrvR_CARD_INFO& VCard) {
        std::lock_guard<std::mutex> g(ASession->oLock);
        VCard = ASession->rCard;
        return ASession->fCard && !ASession->fGone;
    }

private:
    // Wakes are called after the lock is let go: they take the core's locks.
    struct TWakes {
        std::vector<TWakeFunc> aCalls;
        void Add(const TWakeFunc& f) {
            if (f)
                aCalls.push_back(f);
        }
        void Run() {
            for (TWakeFunc& f : aCalls)
                f();
            aCalls.clear();
        }
    };

    void Run() {
        std::vector<SCARD_READERSTATE> lStates;
        std::vector<std::string> lNames;
        DWORD lTimeout = INFINITE;
        for (;;) {
            {
                std::unique_lock<std::mutex> g(m_oLock);
                if (m_fStop)
                    break;
                if (!m_fHasContext) {
                    // pcscd is missing: look again after the period, or end at once when stopped.
                    m_oCond.wait_for(g, cPcscReconnectPeriod, [this] { return m_fStop; });
                    if (m_fStop)
                        break;
                    g.unlock();
                    Connect();
                    continue;
                }
                lNames.clear();
                for (const TPcscPort& p : m_aPorts)
                    lNames.push_back(p.sReader);
                lStates.assign(lNames.size() + 1, SCARD_READERSTATE{});
                for (std::size_t i = 0; i < m_aPorts.size(); ++i) {
                    lStates[i].szReader = lNames[i].c_str();
                    lStates[i].dwCurrentState = m_aPorts[i].nState & ~DWORD(SCARD_STATE_CHANGED);
                }
                // pcsc-lite compares the high word with its reader count, so a reader plugged between
                // the listing and this wait is not missed.
                lStates.back().szReader = c_sPnp;
                lStates.back().dwCurrentState = DWORD(m_nListed) << 16;
                // pcscd tells nobody when a program lets go of a card it held exclusively, so while such
                // a card waits the worker looks again now and then; otherwise it waits for pcscd.
                lTimeout = INFINITE;
                for (const TPcscPort& p : m_aPorts)
                    if (p.fRetry && !p.pSession.expired())
                        lTimeout = DWORD(cPcscRetryPeriod.count());
            }
            LONG r = SCardGetStatusChange(m_hContext, lTimeout, lStates.data(), DWORD(lStates.size()));
            if (r == SCARD_S_SUCCESS) {
                OnStates(lNames, lStates);
            } else if (r != SCARD_E_CANCELLED && r != SCARD_E_TIMEOUT && r != SCARD_E_UNKNOWN_READER) {
                Disconnect();
                continue;
            }
            if (!List()) {
                Disconnect();
                continue;
            }
            ReadPending();
        }
        if (m_fHasContext) {
            SCardReleaseContext(m_hContext);
            std::lock_guard<std::mutex> g(m_oLock);
            m_fHasContext = false;
        }
        std::lock_guard<std::mutex> g(m_oLock);
        m_fDone = true;
        m_oDoneCond.notify_all();
    }

    // Called by the worker (or by Start before it runs).
    void Connect() {
        SCARDCONTEXT h = 0;
        if (SCardEstablishContext(SCARD_SCOPE_SYSTEM, nullptr, nullptr, &h) != SCARD_S_SUCCESS)
            return;
        {
            std::lock_guard<std::mutex> g(m_oLock);
            m_hContext = h;
            m_fHasContext = true;
        }
        if (!List())
            Disconnect();
    }

    // The context is lost (pcscd died or restarted): every reader is gone until it is back.
    void Disconnect() {
        SCARDCONTEXT h;
        {
            std::lock_guard<std::mutex> g(m_oLock);
            if (!m_fHasContext)
                return;
            h = m_hContext;
            m_fHasContext = false;
        }
        SCardReleaseContext(h);
        TWakes lWakes;
        {
            std::lock_guard<std::mutex> g(m_oLock);
            ApplyList({}, lWakes);
            m_nListed = 0;
        }
        lWakes.Run();
    }

    // Lists the readers again and reports the difference; false when the context no longer works.
    bool List() {
        DWORD n = 0;
        LONG r = SCardListReaders(m_hContext, nullptr, nullptr, &n);
        std::vector<char> lBuf;
        if (r == SCARD_S_SUCCESS) {
            lBuf.resize(n + 1);
            r = SCardListReaders(m_hContext, nullptr, lBuf.data(), &n);
        }
        std::vector<std::string> lAll;
        if (r == SCARD_S_SUCCESS) {
            for (const char* p = lBuf.data(); p < lBuf.data() + std::min<std::size_t>(n, lBuf.size()) && *p;
                 p += std::strlen(p) + 1)
                lAll.emplace_back(p);
        } else if (r != SCARD_E_NO_READERS_AVAILABLE) {
            return false;
        }
        std::vector<std::string> lReaders;
        const bool lVirtual = AllowVirtual();
        for (const std::string& s : lAll)
            if (!PcscIgnoredReader(s, lVirtual))
                lReaders.push_back(s);
        std::vector<std::string> lIds = PcscIdentities(lReaders);
        std::vector<TPcscReaderName> lNames;
        for (std::size_t i = 0; i < lReaders.size(); ++i)
            lNames.push_back({lReaders[i], lIds[i]});
        std::vector<TPcscSetup> lSetups = m_fnSetups ? m_fnSetups(lNames) : std::vector<TPcscSetup>();
        lSetups.resize(lNames.size());
        std::vector<TPcscPort> lPorts;
        for (std::size_t i = 0; i < lReaders.size(); ++i) {
            TPcscPort p;
            p.sReader = lReaders[i];
            p.sIdentity = lIds[i];
            const std::u16string& lAlias = lSetups[i].sAlias;
            if (lAlias.empty() || lAlias.size() >= ORVP_PORT_NAME_MAX)
                continue;
            p.nFormat = lSetups[i].nFormat;
            p.rDesc.nPortType = ORVP_PORT_FT;
            p.rDesc.sName = lAlias;
            // The programs keep a USB port's second name as the port they open, so it is the reader's
            // identity (stable across replugs, unlike pcsc-lite's numbering) cut to what the port record
            // holds; Open takes it as well as the alias.
            Utf8ToUtf16(p.sIdentity, p.rDesc.sFriendly);
            if (p.rDesc.sFriendly.size() >= ORVP_PORT_NAME_MAX)
                p.rDesc.sFriendly.resize(ORVP_PORT_NAME_MAX - 1);
            p.rDesc.nRdType = c_nPcscModel;
            p.rDesc.nSn = PcscSerial(p.sIdentity);
            p.rDesc.nVersion = 0x0100;
            lPorts.push_back(std::move(p));
        }
        TWakes lWakes;
        {
            std::lock_guard<std::mutex> g(m_oLock);
            ApplyList(std::move(lPorts), lWakes);
            m_nListed = lAll.size();
        }
        lWakes.Run();
        return true;
    }

    // Under the lock: the new reader list against the known one.
    void ApplyList(std::vector<TPcscPort> ANew, TWakes& VWakes) {
        for (TPcscPort& old : m_aPorts) {
            auto it = std::find_if(ANew.begin(), ANew.end(), [&](const TPcscPort& p) {
                return p.sIdentity == old.sIdentity && p.rDesc.sName == old.rDesc.sName;
            });
            if (it != ANew.end()) {
                // Still there (perhaps renumbered): keep what is known of it.
                it->nState = it->sReader == old.sReader ? old.nState : DWORD(SCARD_STATE_UNAWARE);
                it->fPresent = old.fPresent;
                it->fRetry = old.fRetry;
                it->pSession = old.pSession;
                continue;
            }
            if (auto s = old.pSession.lock()) {
                TReaderEvent e;
                e.nKind = ORVR_MK_ERROR;
                e.nCode = ORV_E_DISCONNECTED;
                {
                    std::lock_guard<std::mutex> g(s->oLock);
                    s->fGone = true;
                    if (s->fCard) {
                        TReaderEvent c;
                        c.nKind = ORVR_MK_CARD_REMOVE;
                        c.rCard = s->rCard;
                        s->oEvents.push_back(c);
                        s->fCard = false;
                    }
                    s->oEvents.push_back(e);
                    e.nKind = ORVR_MK_CONNECTION;
                    e.nCode = 0;
                    s->oEvents.push_back(e);
                }
                VWakes.Add(s->fnWake);
            }
            PortEvent(ORVP_DDK_PORT_REMOVED, old.rDesc, VWakes);
        }
        for (const TPcscPort& p : ANew) {
            bool lKnown = std::any_of(m_aPorts.begin(), m_aPorts.end(), [&](const TPcscPort& old) {
                return p.sIdentity == old.sIdentity && p.rDesc.sName == old.rDesc.sName;
            });
            if (!lKnown)
                PortEvent(ORVP_DDK_PORT_ARRIVED, p.rDesc, VWakes);
        }
        m_aPorts = std::move(ANew);
    }

    void PortEvent(std::uint32_t AKind, const TPortDesc& APort, TWakes& VWakes) {
        TPortEvent e;
        e.nKind = AKind;
        e.rPort = APort;
        for (auto it = m_aDetectors.begin(); it != m_aDetectors.end();) {
            auto d = it->lock();
            if (!d) {
                it = m_aDetectors.erase(it);
                continue;
            }
            {
                std::lock_guard<std::mutex> g(d->oLock);
                d->oEvents.push_back(e);
            }
            VWakes.Add(d->fnWake);
            ++it;
        }
    }

    // The worker after a wake-up: cards that came and went on the readers it waited on.
    void OnStates(const std::vector<std::string>& ANames, const std::vector<SCARD_READERSTATE>& AStates) {
        for (std::size_t i = 0; i < ANames.size(); ++i) {
            const SCARD_READERSTATE& s = AStates[i];
            if (!(s.dwEventState & SCARD_STATE_CHANGED))
                continue;
            std::shared_ptr<TPcscSession> lSession;
            bool lRemoved = false;
            {
                std::lock_guard<std::mutex> g(m_oLock);
                auto it = std::find_if(m_aPorts.begin(), m_aPorts.end(),
                                       [&](const TPcscPort& p) { return p.sReader == ANames[i]; });
                if (it == m_aPorts.end())
                    continue;
                const DWORD lOld = it->nState;
                it->nState = s.dwEventState;
                it->aAtr.assign(s.rgbAtr, s.rgbAtr + std::min<DWORD>(s.cbAtr, sizeof s.rgbAtr));
                const bool lPresent =
                    (s.dwEventState & SCARD_STATE_PRESENT) && !(s.dwEventState & SCARD_STATE_MUTE);
                // The high word counts the insertions and removals pcscd saw: a card swapped between two
                // looks changes it though the reader is never seen empty.
                const bool lNewCard = lPresent && (!it->fPresent || (lOld >> 16) != (s.dwEventState >> 16));
                lRemoved = it->fPresent && (!lPresent || lNewCard);
                it->fPresent = lPresent;
                lSession = it->pSession.lock();
                it->fRetry = lPresent && lSession && (lNewCard || it->fRetry);
            }
            if (lSession && lRemoved)
                ReportRemoval(*lSession);
        }
    }

    // Reads the cards that wait for it on open readers. A card held exclusively by another program
    // stays waiting and is tried again after the retry period.
    void ReadPending() {
        struct TJob {
            std::string sReader;
            std::vector<std::uint8_t> aAtr;
            TNumFormat nFormat = TNumFormat::Hex;
            std::shared_ptr<TPcscSession> pSession;
        };
        std::vector<TJob> lJobs;
        {
            std::lock_guard<std::mutex> g(m_oLock);
            for (TPcscPort& p : m_aPorts) {
                auto lSession = p.pSession.lock();
                if (!lSession || !p.fPresent)
                    p.fRetry = false;
                if (p.fRetry)
                    lJobs.push_back({p.sReader, p.aAtr, p.nFormat, std::move(lSession)});
            }
        }
        for (TJob& j : lJobs)
            ReadCard(j.sReader, j.aAtr, j.nFormat, j.pSession);
    }

    void ReportRemoval(TPcscSession& ASession) {
        TWakeFunc lWake;
        {
            std::lock_guard<std::mutex> g(ASession.oLock);
            if (!ASession.fCard)
                return;
            TReaderEvent e;
            e.nKind = ORVR_MK_CARD_REMOVE;
            e.rCard = ASession.rCard;
            ASession.oEvents.push_back(e);
            ASession.fCard = false;
            lWake = ASession.fnWake;
        }
        if (lWake)
            lWake();
    }

    void ReadCard(const std::string& AReader, const std::vector<std::uint8_t>& AAtr, TNumFormat AFormat,
                  const std::shared_ptr<TPcscSession>& ASession) {
        SCARDHANDLE hCard = 0;
        DWORD lProto = 0;
        LONG r = SCardConnect(m_hContext, AReader.c_str(), SCARD_SHARE_SHARED,
                              SCARD_PROTOCOL_T0 | SCARD_PROTOCOL_T1, &hCard, &lProto);
        if (r == SCARD_E_SHARING_VIOLATION)
            return; // still held by another program: tried again when its state changes
        bool lDone = true;
        std::vector<std::uint8_t> lUid;
        bool lUidOk = false;
        std::uint32_t lType = PcscCardTypeFromAtr(AAtr.data(), AAtr.size());
        if (r == SCARD_S_SUCCESS) {
            // The ATR as the card gave it at this connection (the wait's copy may be older).
            BYTE lAtr[MAX_ATR_SIZE];
            DWORD lAtrLen = sizeof lAtr, lNameLen = 0, lCardState = 0, lCardProto = 0;
            if (SCardStatus(hCard, nullptr, &lNameLen, &lCardState, &lCardProto, lAtr, &lAtrLen) ==
                SCARD_S_SUCCESS)
                lType = PcscCardTypeFromAtr(lAtr, std::min<DWORD>(lAtrLen, sizeof lAtr));
            const SCARD_IO_REQUEST* lPci = lProto == SCARD_PROTOCOL_T0 ? SCARD_PCI_T0 : SCARD_PCI_T1;
            BYTE lAnswer[64];
            DWORD lCount = sizeof lAnswer;
            r = SCardTransmit(hCard, lPci, cPcscGetUid, sizeof cPcscGetUid, nullptr, lAnswer, &lCount);
            if (r == SCARD_E_SHARING_VIOLATION)
                lDone = false;
            else if (r == SCARD_S_SUCCESS)
                lUidOk = PcscUidFromAnswer(lAnswer, std::min<DWORD>(lCount, sizeof lAnswer), lUid);
            SCardDisconnect(hCard, SCARD_LEAVE_CARD);
        }
        TCardNumber lNum;
        const bool lCard = lUidOk && PcscUidToCardNumber(lUid, AFormat, lNum);
        {
            std::lock_guard<std::mutex> g(m_oLock);
            auto it = std::find_if(m_aPorts.begin(), m_aPorts.end(),
                                   [&](const TPcscPort& p) { return p.sReader == AReader; });
            if (it != m_aPorts.end() && lDone)
                it->fRetry = false;
        }
        if (!lCard)
            return; // no answer, another status or no UID of a card: nothing is reported
        TReaderEvent e;
        e.nKind = ORVR_MK_CARD_INSERT;
        e.rCard.nType = lType;
        std::copy(lNum.aKey.begin(), lNum.aKey.end(), e.rCard.nNum);
        TWakeFunc lWake;
        {
            std::lock_guard<std::mutex> g(ASession->oLock);
            if (ASession->fGone)
                return;
            ASession->oEvents.push_back(e);
            ASession->fCard = true;
            ASession->rCard = e.rCard;
            lWake = ASession->fnWake;
        }
        if (lWake)
            lWake();
    }

    TPcscSetupFunc m_fnSetups;
    std::thread m_oThread;
    std::mutex m_oLock; // everything below
    std::condition_variable m_oCond, m_oDoneCond;
    bool m_fStop = false, m_fDone = false;
    bool m_fHasContext = false;
    SCARDCONTEXT m_hContext = 0;
    std::size_t m_nListed = 0; // readers pcscd listed, ignored ones included
    std::vector<TPcscPort> m_aPorts;
    std::vector<std::weak_ptr<TPortEventQueue>> m_aDetectors;
};

class TPcscReader : public TBackendReader {
public:
    TPcscReader(std::shared_ptr<TPcscShared> AShared, std::shared_ptr<TPcscSession> ASession, TPortDesc ADesc,
                TFd ALock)
        : m_pShared(std::move(AShared)), m_pSession(std::move(ASession)), m_rDesc(std::move(ADesc)),
          m_hLock(std::move(ALock)) {}

    TPortDesc Describe() const override { return m_rDesc; }

    std::int32_t NextEvent(TReaderEvent& VEvent) override {
        std::lock_guard<std::mutex> g(m_pSession->oLock);
        if (m_pSession->oEvents.empty())
            return ORV_S_NO_MORE;
        VEvent = m_pSession->oEvents.front();
        m_pSession->oEvents.pop_front();
        return ORV_OK;
    }

    TOrvP_CONNECTION_STATUS ConnectionStatus() override {
        return Gone() ? ORVP_CS_DISCONNECTED : ORVP_CS_CONNECTED;
    }

    // A PC/SC reader has no outputs the library drives.
    std::int32_t SetIndicator(std::uint32_t ARed, std::uint32_t AGreen, std::uint32_t ASound) override {
        if (ARed > ORVR_IND_OFF || AGreen > ORVR_IND_OFF || ASound > ORVR_IND_OFF)
            return ORV_E_INVALID_ARG;
        return Gone() ? ORV_E_DISCONNECTED : ORV_E_NOT_SUPPORTED;
    }
    std::int32_t SetPower(std::uint32_t) override { return ORV_E_NOT_KORVEL; }
    std::int32_t SetFormat(const std::u16string&) override { return ORV_E_NOT_KORVEL; }

    std::int32_t CardsInField(std::vector<TOrvR_CARD_INFO>& VCards) override {
        VCards.clear();
        if (Gone())
            return ORV_E_DISCONNECTED;
        TOrvR_CARD_INFO lCard{};
        if (m_pShared->CardOf(m_pSession, lCard))
            VCards.push_back(lCard);
        return ORV_OK;
    }
    std::int32_t ReadULPages(std::uint32_t, std::uint8_t*) override { return Unsupported(); }
    std::int32_t WriteULPage(std::uint32_t, const std::uint8_t*) override { return Unsupported(); }
    std::int32_t FindT57(TOrv_KEYNUM_C, std::uint32_t*, std::uint32_t, std::uint32_t) override {
        return Unsupported();
    }
    std::int32_t T57Block(bool, std::uint32_t, std::uint8_t*, std::uint32_t, std::uint32_t,
                          std::uint32_t) override {
        return Unsupported();
    }
    std::int32_t ResetT57() override { return Unsupported(); }
    std::int32_t FirmwareBlock(const std::uint8_t*, std::uint32_t, bool) override { return Unsupported(); }

private:
    bool Gone() {
        std::lock_guard<std::mutex> g(m_pSession->oLock);
        return m_pSession->fGone;
    }
    std::int32_t Unsupported() { return Gone() ? ORV_E_DISCONNECTED : ORV_E_NOT_SUPPORTED; }

    std::shared_ptr<TPcscShared> m_pShared;
    std::shared_ptr<TPcscSession> m_pSession;
    TPortDesc m_rDesc;
    TFd m_hLock; // held while the reader is open: other processes see the port busy
};

class TPcscBackend : public TBackend {
public:
    explicit TPcscBackend(TPcscSetupFunc ASetups) : m_fnSetups(std::move(ASetups)) {}
    ~TPcscBackend() override { Stop(); }

    // Never fails: without pcscd the backend has no ports until one starts.
    std::int32_t Start() override {
        m_pShared = std::make_shared<TPcscShared>(m_fnSetups);
        m_pShared->Start();
        return ORV_OK;
    }

    void Stop() override {
        if (m_pShared)
            m_pShared->Stop();
        m_pShared.reset();
    }

    std::int32_t EnumPorts(std::vector<TPortDesc>& VPorts) override {
        m_pShared->Ports(VPorts);
        return ORV_OK;
    }

    std::int32_t Open(const TOpenRequest& ARequest, TWakeFunc AWake,
                      std::unique_ptr<TBackendReader>& VReader) override {
        std::shared_ptr<TPcscSession> lSession;
        TPortDesc lDesc;
        TFd lLock;
        std::int32_t r = m_pShared->OpenSession(ARequest, std::move(AWake), lSession, lDesc, lLock);
        if (r != ORV_OK)
            return r;
        VReader =
            std::make_unique<TPcscReader>(m_pShared, std::move(lSession), std::move(lDesc), std::move(lLock));
        return ORV_OK;
    }

    std::int32_t Watch(TWakeFunc AWake, std::unique_ptr<TBackendDetector>& VDetector) override {
        auto lQueue = std::make_shared<TPortEventQueue>();
        lQueue->fnWake = std::move(AWake);
        m_pShared->AddDetector(lQueue);
        VDetector = std::make_unique<TQueueDetector>(std::move(lQueue));
        return ORV_OK;
    }

    std::int32_t Refresh() override {
        m_pShared->Wake();
        return ORV_OK;
    }

private:
    TPcscSetupFunc m_fnSetups;
    std::shared_ptr<TPcscShared> m_pShared;
};

} // namespace

bool PcscUidToCardNumber(const std::vector<std::uint8_t>& AUid, TNumFormat AFormat, TCardNumber& VNumber) {
    std::vector<std::uint8_t> lUid = AUid;
    if (AFormat == TNumFormat::HexReversed || AFormat == TNumFormat::DecReversed)
        std::reverse(lUid.begin(), lUid.end());
    return UidToCardNumber(lUid.data(), lUid.size(), VNumber);
}

std::unique_ptr<TBackend> MakePcscBackend(TPcscSetupFunc ASetups) {
    return std::make_unique<TPcscBackend>(std::move(ASetups));
}

std::unique_ptr<TBackend> MakePcscBackend() {
    return MakePcscBackend(PcscConfiguredSetups());
}

} // namespace Orv
