#include "orvreader/src/serial/uOrvSerialBackend.h"

#include "orvreader/src/serial/uOrvSerialFramer.h"
#include "orvreader/src/serial/uOrvSerialPort.h"
#include "orvreader/src/uOrvHotplug.h"
#include "orvreader/src/uOrvLog.h"

#include <libudev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace Orv {

std::string DevicePath(const std::string& ADevice) {
    return !ADevice.empty() && ADevice[0] == '/' ? ADevice : "/dev/" + ADevice;
}

namespace {

std::u16string U16(const std::string& AText) {
    return std::u16string(AText.begin(), AText.end());
}

// The device's own serial text from udev, "" when udev does not know the device.
std::string UdevSerial(dev_t ADevNum) {
    std::string lSerial;
    if (udev* u = udev_new()) {
        if (udev_device* d = udev_device_new_from_devnum(u, 'c', ADevNum)) {
            if (const char* s = udev_device_get_property_value(d, "ID_SERIAL_SHORT"))
                lSerial = s;
            udev_device_unref(d);
        }
        udev_unref(u);
    }
    return lSerial;
}

// The port of a configured reader when its device is there now.
bool Present(const TReaderConf& AConf, TPortDesc& VPort) {
    const std::string lPath = DevicePath(AConf.sDevice);
    struct stat st {};
    if (stat(lPath.c_str(), &st) != 0 || !S_ISCHR(st.st_mode))
        return false;
    VPort = TPortDesc{};
    VPort.nPortType = ORVP_PORT_COM;
    VPort.sName = U16(AConf.sAlias);
    char lReal[PATH_MAX];
    std::string lTty = realpath(lPath.c_str(), lReal) ? lReal : lPath;
    if (lTty.rfind("/dev/", 0) == 0)
        lTty.erase(0, 5);
    VPort.sFriendly = U16(lTty.substr(0, 31));
    VPort.nRdType = ORVR_RD_SERIAL_TEXT;
    VPort.nSn = StableSerial(UdevSerial(st.st_rdev), AConf.sDevice);
    VPort.nVersion = 1;
    return true;
}

// One open port: the worker thread and the events it leaves for the core.
class TSerialLink {
public:
    TSerialLink(const TReaderConf& AConf, TPortDesc APort, TFd AFd, TWakeFunc AWake)
        : m_rConf(AConf), m_rPort(std::move(APort)), m_hPort(std::move(AFd)), m_fWake(std::move(AWake)),
          m_oFramer(AConf.nFraming, AConf.nGapMs) {}
    ~TSerialLink() { Stop(); }

    // Told when the device hangs up, before the events are queued.
    void OnLostPort(std::function<void(const std::u16string&)> AFunc) { m_fLostPort = std::move(AFunc); }

    std::int32_t Start() {
        m_hSignal.Reset(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
        if (!m_hSignal.Valid())
            return ErrnoResult(errno);
        m_oThread = std::thread([this] { Run(); });
        return ORV_OK;
    }

    void Stop() {
        if (!m_oThread.joinable())
            return;
        m_fStop = true;
        Signal();
        m_oThread.join();
    }

    // The hot-plug scan no longer finds the device.
    void DeviceGone() {
        m_fGoneSeen = true;
        Signal();
    }

    bool Connected() const { return !m_fLost; }
    const TPortDesc& Port() const { return m_rPort; }
    std::uint64_t Rejected() const { return m_nRejected; }

    std::int32_t Next(TReaderEvent& VEvent) {
        std::lock_guard<std::mutex> g(m_oLock);
        if (m_oEvents.empty())
            return ORV_S_NO_MORE;
        VEvent = m_oEvents.front();
        m_oEvents.pop_front();
        return ORV_OK;
    }

private:
    void Signal() {
        std::uint64_t lOne = 1;
        if (write(m_hSignal.Get(), &lOne, sizeof lOne) < 0) {
            // The counter cannot overflow from these few writes; a failure leaves nothing to do.
        }
    }

    void Push(std::vector<TReaderEvent> AEvents) {
        {
            std::lock_guard<std::mutex> g(m_oLock);
            for (TReaderEvent& e : AEvents)
                m_oEvents.push_back(std::move(e));
        }
        if (m_fWake)
            m_fWake();
    }

    void Lost() {
        m_fLost = true;
        m_hPort.Reset();
        TReaderEvent lError, lConn;
        lError.nKind = ORVR_MK_ERROR;
        lError.nCode = ORV_E_DISCONNECTED;
        lConn.nKind = ORVR_MK_CONNECTION;
        if (m_fLostPort)
            m_fLostPort(m_rPort.sName);
        Push({lError, lConn});
        LogLine(m_rConf.sAlias + ": the device is gone");
    }

    void Frames(const std::vector<std::string>& AFrames) {
        std::vector<TReaderEvent> lEvents;
        for (const std::string& f : AFrames) {
            TCardNumber n;
            if (!TextToCardNumber(f, m_rConf.nFormat, n)) {
                m_oFramer.CountRejected();
                continue;
            }
            TReaderEvent e;
            e.nKind = ORVR_MK_CARD_INSERT;
            e.rCard.nType = n.nCardType;
            std::copy(n.aKey.begin(), n.aKey.end(), e.rCard.nNum);
            lEvents.push_back(e);
            e.nKind = ORVR_MK_CARD_REMOVE; // a frame is one presentation
            lEvents.push_back(e);
        }
        if (!lEvents.empty())
            Push(std::move(lEvents));
    }

    void NoteRejected() {
        const std::uint64_t n = m_oFramer.Rejected();
        if (n == m_nRejected)
            return;
        m_nRejected = n;
        // At most one line a second: a line of noise must not flood the log.
        const std::uint64_t lNow = SteadyMs();
        if (lNow - m_nLoggedMs >= 1000 || m_nLoggedMs == 0) {
            m_nLoggedMs = lNow;
            LogLine(m_rConf.sAlias + ": " + std::to_string(n) + " frame(s) rejected so far");
        }
    }

    void Run() {
        std::uint8_t lBuf[512];
        std::vector<std::string> lFrames;
        while (!m_fStop) {
            pollfd lFds[2] = {{m_hSignal.Get(), POLLIN, 0}, {m_hPort.Get(), POLLIN, 0}};
            const nfds_t lCount = m_hPort.Valid() ? 2 : 1;
            int lTimeout = m_hPort.Valid() ? m_oFramer.TimeoutMs(SteadyMs()) : -1;
            int r = poll(lFds, lCount, lTimeout);
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0)
                break;
            if (lFds[0].revents) {
                std::uint64_t lValue = 0;
                if (read(m_hSignal.Get(), &lValue, sizeof lValue) < 0) {
                    // Non-blocking and already drained: nothing more to read.
                }
                if (m_fStop)
                    break;
                if (m_fGoneSeen && !m_fLost)
                    Lost();
            }
            if (!m_hPort.Valid())
                continue;
            if (r == 0) {
                m_oFramer.Expire(SteadyMs());
                NoteRejected();
                continue;
            }
            if (lFds[1].revents & POLLIN) {
                ssize_t n = read(m_hPort.Get(), lBuf, sizeof lBuf);
                if (n > 0) {
                    lFrames.clear();
                    m_oFramer.Feed(lBuf, std::size_t(n), SteadyMs(), lFrames);
                    Frames(lFrames);
                    NoteRejected();
                    continue;
                }
                if (n < 0 && (errno == EAGAIN || errno == EINTR))
                    continue;
                Lost(); // end of file or EIO: the device went away
                continue;
            }
            if (lFds[1].revents & (POLLHUP | POLLERR | POLLNVAL))
                Lost();
        }
    }

    const TReaderConf m_rConf;
    const TPortDesc m_rPort;
    TFd m_hPort, m_hSignal;
    TWakeFunc m_fWake;
    std::function<void(const std::u16string&)> m_fLostPort;
    TSerialFramer m_oFramer;
    std::thread m_oThread;
    std::atomic<bool> m_fStop{false}, m_fGoneSeen{false}, m_fLost{false};
    std::atomic<std::uint64_t> m_nRejected{0};
    std::uint64_t m_nLoggedMs = 0;
    std::mutex m_oLock;
    std::deque<TReaderEvent> m_oEvents;
};

struct TSerialShared {
    TReadersConf oConf;
    std::weak_ptr<THotplug> pHotplug;
    std::mutex oLock; // the open links
    std::map<std::u16string, std::weak_ptr<TSerialLink>> oOpen;
};

class TSerialReader : public TBackendReader {
public:
    TSerialReader(std::shared_ptr<TSerialShared> AShared, std::shared_ptr<TSerialLink> ALink)
        : m_pShared(std::move(AShared)), m_pLink(std::move(ALink)) {}
    ~TSerialReader() override {
        const std::u16string lName = m_pLink->Port().sName;
        m_pLink->Stop();
        std::lock_guard<std::mutex> g(m_pShared->oLock);
        auto it = m_pShared->oOpen.find(lName);
        if (it != m_pShared->oOpen.end() && it->second.lock() == m_pLink)
            m_pShared->oOpen.erase(it);
    }

    TPortDesc Describe() const override {
        TPortDesc d = m_pLink->Port();
        d.fBusy = true;
        return d;
    }
    std::int32_t NextEvent(TReaderEvent& VEvent) override { return m_pLink->Next(VEvent); }
    TOrvP_CONNECTION_STATUS ConnectionStatus() override {
        return m_pLink->Connected() ? ORVP_CS_CONNECTED : ORVP_CS_DISCONNECTED;
    }
    // A text reader has no outputs the library can drive: accepted while it is there.
    std::int32_t SetIndicator(std::uint32_t ARed, std::uint32_t AGreen, std::uint32_t ASound) override {
        if (ARed > ORVR_IND_OFF || AGreen > ORVR_IND_OFF || ASound > ORVR_IND_OFF)
            return ORV_E_INVALID_ARG;
        return Here();
    }
    std::int32_t SetPower(std::uint32_t) override { return ORV_E_NOT_KORVEL; }
    std::int32_t SetFormat(const std::u16string&) override { return ORV_E_NOT_KORVEL; }
    std::int32_t CardsInField(std::vector<TOrvR_CARD_INFO>& VCards) override {
        VCards.clear();
        return Here();
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
    std::int32_t FirmwareBlock(const std::uint8_t*, std::uint32_t, bool) override {
        return ORV_E_NOT_SUPPORTED;
    }

private:
    std::int32_t Here() const { return m_pLink->Connected() ? ORV_OK : ORV_E_DISCONNECTED; }
    // Numbers are momentary presentations: no card ever waits in the field.
    std::int32_t NoCard() const { return m_pLink->Connected() ? ORV_E_NO_CARD : ORV_E_DISCONNECTED; }

    std::shared_ptr<TSerialShared> m_pShared;
    std::shared_ptr<TSerialLink> m_pLink;
};

class TSerialBackend : public TBackend {
public:
    TSerialBackend() = default;
    explicit TSerialBackend(const TReadersConf& AConf) : m_fGiven(true), m_oGiven(AConf) {}

    std::int32_t Start() override {
        auto lShared = std::make_shared<TSerialShared>();
        if (m_fGiven) {
            lShared->oConf = m_oGiven;
        } else {
            LoadReadersIni(ReadersIniPath(), lShared->oConf);
            for (const std::string& p : lShared->oConf.aProblems)
                LogLine(p);
        }
        auto& r = lShared->oConf.aReaders;
        r.erase(std::remove_if(r.begin(), r.end(),
                               [](const TReaderConf& c) { return c.nKind != TReaderKind::Serial; }),
                r.end());
        m_pShared = lShared;
        if (r.empty())
            return ORV_OK; // nothing configured: nothing opened, no thread
        std::weak_ptr<TSerialShared> lWeak = lShared;
        m_pHotplug = std::make_shared<THotplug>(
            [lWeak] { return Scan(lWeak.lock()); }, std::vector<std::string>{"tty"},
            [lWeak](const std::u16string& AName) { Gone(lWeak.lock(), AName); });
        lShared->pHotplug = m_pHotplug;
        return m_pHotplug->Start();
    }

    void Stop() override {
        if (m_pHotplug)
            m_pHotplug->Stop();
        m_pHotplug.reset();
        m_pShared.reset();
    }

    std::int32_t EnumPorts(std::vector<TPortDesc>& VPorts) override {
        if (!m_pShared)
            return ORV_OK;
        for (TPortDesc& p : Scan(m_pShared))
            VPorts.push_back(std::move(p));
        return ORV_OK;
    }

    std::int32_t Open(const TOpenRequest& ARequest, TWakeFunc AWake,
                      std::unique_ptr<TBackendReader>& VReader) override {
        if (!m_pShared || (ARequest.nPortType != ORVP_PORT_UNDEF && ARequest.nPortType != ORVP_PORT_COM))
            return ORV_E_PORT_NOT_FOUND;
        const std::string lName(ARequest.sPortName.begin(), ARequest.sPortName.end());
        if (ARequest.sPortName.size() > cMaxAlias ||
            std::any_of(ARequest.sPortName.begin(), ARequest.sPortName.end(),
                        [](char16_t c) { return c > 0x7E; }))
            return ORV_E_PORT_NOT_FOUND;
        const TReaderConf* lConf = m_pShared->oConf.Find(lName);
        if (!lConf)
            return ORV_E_PORT_NOT_FOUND;
        TPortDesc lPort;
        if (!Present(*lConf, lPort))
            return ORV_E_PORT_NOT_FOUND;
        if (ARequest.nRdType != ORVR_RD_UNDEF && ARequest.nRdType != ORVR_RD_SERIAL_TEXT)
            return ORV_E_WRONG_READER;
        std::lock_guard<std::mutex> g(m_pShared->oLock);
        auto it = m_pShared->oOpen.find(lPort.sName);
        // A session whose device vanished keeps its dead reader until it closes it; the device back
        // is a new port that another open may take.
        if (it != m_pShared->oOpen.end())
            if (auto lOld = it->second.lock(); lOld && lOld->Connected())
                return ORV_E_PORT_BUSY;
        TFd h;
        std::int32_t r = OpenSerialPort(DevicePath(lConf->sDevice), lConf->nSpeed, ARequest.nStopBits, h);
        if (r != ORV_OK)
            return r;
        auto lLink = std::make_shared<TSerialLink>(*lConf, lPort, std::move(h), std::move(AWake));
        lLink->OnLostPort([w = m_pShared->pHotplug](const std::u16string& AName) {
            if (auto h = w.lock())
                h->Forget(AName);
        });
        r = lLink->Start();
        if (r != ORV_OK)
            return r;
        m_pShared->oOpen[lPort.sName] = lLink;
        VReader = std::make_unique<TSerialReader>(m_pShared, std::move(lLink));
        return ORV_OK;
    }

    std::int32_t Watch(TWakeFunc AWake, std::unique_ptr<TBackendDetector>& VDetector) override {
        if (!m_pHotplug)
            return ORV_OK; // no serial reader configured: nothing ever changes here
        return m_pHotplug->Watch(std::move(AWake), VDetector);
    }

    std::int32_t Refresh() override {
        if (m_pHotplug)
            m_pHotplug->Rescan();
        return ORV_OK;
    }

private:
    static std::vector<TPortDesc> Scan(const std::shared_ptr<TSerialShared>& AShared) {
        std::vector<TPortDesc> lPorts;
        if (!AShared)
            return lPorts;
        for (const TReaderConf& c : AShared->oConf.aReaders) {
            TPortDesc p;
            if (!Present(c, p))
                continue;
            std::lock_guard<std::mutex> g(AShared->oLock);
            auto it = AShared->oOpen.find(p.sName);
            if (it != AShared->oOpen.end())
                if (auto l = it->second.lock())
                    p.fBusy = l->Connected();
            lPorts.push_back(std::move(p));
        }
        return lPorts;
    }

    static void Gone(const std::shared_ptr<TSerialShared>& AShared, const std::u16string& AName) {
        if (!AShared)
            return;
        std::shared_ptr<TSerialLink> lLink;
        {
            std::lock_guard<std::mutex> g(AShared->oLock);
            auto it = AShared->oOpen.find(AName);
            if (it != AShared->oOpen.end())
                lLink = it->second.lock();
        }
        if (lLink)
            lLink->DeviceGone();
    }

    bool m_fGiven = false;
    TReadersConf m_oGiven;
    std::shared_ptr<TSerialShared> m_pShared;
    std::shared_ptr<THotplug> m_pHotplug;
};

} // namespace

std::unique_ptr<TBackend> MakeSerialBackend() {
    return std::make_unique<TSerialBackend>();
}

std::unique_ptr<TBackend> MakeSerialBackend(const TReadersConf& AConf) {
    return std::make_unique<TSerialBackend>(AConf);
}

} // namespace Orv
