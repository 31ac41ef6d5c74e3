#include "orvreader/src/kbd/uOrvKbdBackend.h"

#include "orvreader/src/kbd/uOrvKeyDecoder.h"
#include "orvreader/src/uOrvCardNumber.h"
#include "orvreader/src/uOrvHotplug.h"
#include "orvreader/src/uOrvLog.h"

#include <dirent.h>
#include <fcntl.h>
#include <libevdev/libevdev.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

namespace Orv {

namespace {

std::u16string U16(const std::string& AText) {
    std::u16string s;
    for (char c : AText)
        s += static_cast<unsigned char>(c) < 0x80 ? char16_t(c) : u'?';
    return s;
}

std::string FirstLine(const std::string& APath) {
    std::ifstream f(APath);
    std::string lLine;
    std::getline(f, lLine);
    while (!lLine.empty() && (lLine.back() == '\r' || lLine.back() == ' '))
        lLine.pop_back();
    return lLine.substr(0, 200);
}

// "vvvv:pppp" as two numbers.
bool ParseUsbIds(const std::string& AText, unsigned& VVendor, unsigned& VProduct) {
    if (AText.size() != 9 || AText[4] != ':')
        return false;
    auto lHex = [](const std::string& s, unsigned& v) {
        if (s.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
            return false;
        v = unsigned(std::strtoul(s.c_str(), nullptr, 16));
        return true;
    };
    return lHex(AText.substr(0, 4), VVendor) && lHex(AText.substr(5), VProduct);
}

// Whether the device can type digits and Enter: the low word of its key capability bitmap.
bool TypesDigits(const std::string& ASysDevice) {
    std::string lCaps = FirstLine(ASysDevice + "/capabilities/key");
    std::size_t lSpace = lCaps.rfind(' ');
    std::string lLow = lSpace == std::string::npos ? lCaps : lCaps.substr(lSpace + 1);
    if (lLow.empty() || lLow.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return false;
    unsigned long long lBits = std::strtoull(lLow.c_str(), nullptr, 16);
    return (lBits >> KEY_1 & 1u) && (lBits >> KEY_ENTER & 1u);
}

struct TInputDevice {
    std::string sNode;   // /dev/input/eventN
    std::string sSysDev; // the input device's sysfs folder
};

class TKbdPaths {
public:
    TKbdPaths(std::string ADev, std::string ASys) : m_sDev(std::move(ADev)), m_sSys(std::move(ASys)) {}

    // The input device a configured reader names, when it is there now.
    bool Find(const TReaderConf& AConf, TInputDevice& VDevice) const {
        unsigned lVendor = 0, lProduct = 0;
        if (ParseUsbIds(AConf.sDevice, lVendor, lProduct))
            return FindByIds(lVendor, lProduct, VDevice);
        std::string lPath = AConf.sDevice[0] == '/' ? AConf.sDevice : m_sDev + "/by-id/" + AConf.sDevice;
        struct stat st {};
        if (stat(lPath.c_str(), &st) != 0 || !(S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode)))
            return false;
        char lReal[PATH_MAX];
        std::string lNode = realpath(lPath.c_str(), lReal) ? lReal : lPath;
        VDevice.sNode = lPath;
        VDevice.sSysDev = m_sSys + "/" + lNode.substr(lNode.rfind('/') + 1) + "/device";
        return true;
    }

private:
    bool FindByIds(unsigned AVendor, unsigned AProduct, TInputDevice& VDevice) const {
        std::vector<std::string> lEvents;
        if (DIR* d = opendir(m_sSys.c_str())) {
            while (dirent* e = readdir(d))
                if (std::strncmp(e->d_name, "event", 5) == 0)
                    lEvents.push_back(e->d_name);
            closedir(d);
        }
        // In number order, so the same node wins on every scan.
        std::sort(lEvents.begin(), lEvents.end(), [](const std::string& a, const std::string& b) {
            return a.size() != b.size() ? a.size() < b.size() : a < b;
        });
        for (const std::string& e : lEvents) {
            const std::string lSys = m_sSys + "/" + e + "/device";
            unsigned v = 0, p = 0;
            if (!ParseUsbIds(FirstLine(lSys + "/id/vendor") + ":" + FirstLine(lSys + "/id/product"), v, p))
                continue;
            if (v != AVendor || p != AProduct || !TypesDigits(lSys))
                continue;
            const std::string lNode = m_sDev + "/" + e;
            struct stat st {};
            if (stat(lNode.c_str(), &st) != 0)
                continue;
            VDevice.sNode = lNode;
            VDevice.sSysDev = lSys;
            return true;
        }
        return false;
    }

    std::string m_sDev, m_sSys;
};

TPortDesc Describe(const TReaderConf& AConf, const TInputDevice& ADevice) {
    TPortDesc p;
    p.nPortType = ORVP_PORT_FT;
    p.sName = U16(AConf.sAlias);
    std::string lName = FirstLine(ADevice.sSysDev + "/name");
    p.sFriendly = U16((lName.empty() ? AConf.sAlias : lName).substr(0, 31));
    p.nRdType = ORVR_RD_KEYBOARD;
    p.nSn = StableSerial(FirstLine(ADevice.sSysDev + "/uniq"), AConf.sDevice + "|" + lName);
    p.nVersion = 1;
    return p;
}

class TKbdLink {
public:
    TKbdLink(TFd AFd, const TReaderConf& AConf, TPortDesc APort, TWakeFunc AWake)
        : m_rConf(AConf), m_rPort(std::move(APort)), m_hDev(std::move(AFd)), m_fWake(std::move(AWake)),
          m_oDecoder(AConf.nGapMs) {}
    ~TKbdLink() { Stop(); }

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
    void DeviceGone() {
        m_fGoneSeen = true;
        Signal();
    }
    bool Connected() const { return !m_fLost; }
    const TPortDesc& Port() const { return m_rPort; }
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
            // Only a closed descriptor fails, and then the thread has ended.
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
        m_hDev.Reset(); // closing ends the grab too
        TReaderEvent lError, lConn;
        lError.nKind = ORVR_MK_ERROR;
        lError.nCode = ORV_E_DISCONNECTED;
        lConn.nKind = ORVR_MK_CONNECTION;
        if (m_fLostPort)
            m_fLostPort(m_rPort.sName);
        Push({lError, lConn});
        LogLine(m_rConf.sAlias + ": the device is gone");
    }
    void Number(const std::string& AText) {
        TCardNumber n;
        if (!TextToCardNumber(AText, m_rConf.nFormat, n)) {
            m_oDecoder.CountRejected();
            return;
        }
        TReaderEvent e;
        e.nKind = ORVR_MK_CARD_INSERT;
        e.rCard.nType = n.nCardType;
        std::copy(n.aKey.begin(), n.aKey.end(), e.rCard.nNum);
        TReaderEvent r = e;
        r.nKind = ORVR_MK_CARD_REMOVE;
        Push({e, r});
    }
    void NoteRejected() {
        const std::uint64_t n = m_oDecoder.Rejected();
        if (n == m_nRejected)
            return;
        m_nRejected = n;
        const std::uint64_t lNow = SteadyMs();
        if (m_nLoggedMs == 0 || lNow - m_nLoggedMs >= 1000) {
            m_nLoggedMs = lNow;
            LogLine(m_rConf.sAlias + ": " + std::to_string(n) + " number(s) rejected so far");
        }
    }

    void Run() {
        alignas(input_event) std::uint8_t lBuf[64 * sizeof(input_event)];
        std::size_t lHave = 0; // bytes of a record cut by the last read
        while (!m_fStop) {
            pollfd lFds[2] = {{m_hSignal.Get(), POLLIN, 0}, {m_hDev.Get(), POLLIN, 0}};
            int r = poll(lFds, m_hDev.Valid() ? 2 : 1, -1);
            if (r < 0 && errno == EINTR)
                continue;
            if (r < 0)
                break;
            if (lFds[0].revents) {
                std::uint64_t v = 0;
                if (read(m_hSignal.Get(), &v, sizeof v) < 0) {
                    // Drained already.
                }
                if (m_fStop)
                    break;
                if (m_fGoneSeen && !m_fLost)
                    Lost();
            }
            if (!m_hDev.Valid())
                continue;
            if (lFds[1].revents & POLLIN) {
                ssize_t n = read(m_hDev.Get(), lBuf + lHave, sizeof lBuf - lHave);
                if (n < 0 && (errno == EAGAIN || errno == EINTR))
                    continue;
                if (n <= 0) {
                    Lost(); // ENODEV from an unplugged device, or the end of a stream
                    continue;
                }
                lHave += std::size_t(n);
                std::size_t lUsed = 0;
                for (; lHave - lUsed >= sizeof(input_event); lUsed += sizeof(input_event)) {
                    input_event e;
                    std::memcpy(&e, lBuf + lUsed, sizeof e);
                    std::string lText;
                    if (m_oDecoder.Feed(e, lText))
                        Number(lText);
                }
                std::memmove(lBuf, lBuf + lUsed, lHave - lUsed);
                lHave -= lUsed;
                NoteRejected();
                continue;
            }
            if (lFds[1].revents & (POLLHUP | POLLERR | POLLNVAL))
                Lost();
        }
    }

    const TReaderConf m_rConf;
    const TPortDesc m_rPort;
    TFd m_hDev, m_hSignal;
    TWakeFunc m_fWake;
    std::function<void(const std::u16string&)> m_fLostPort;
    TKeyDecoder m_oDecoder;
    std::thread m_oThread;
    std::atomic<bool> m_fStop{false}, m_fGoneSeen{false}, m_fLost{false};
    std::uint64_t m_nRejected = 0, m_nLoggedMs = 0;
    std::mutex m_oLock;
    std::deque<TReaderEvent> m_oEvents;
};

struct TKbdShared {
    TKbdShared(std::string ADev, std::string ASys) : oPaths(std::move(ADev), std::move(ASys)) {}
    TReadersConf oConf;
    TKbdPaths oPaths;
    std::weak_ptr<THotplug> pHotplug;
    std::mutex oLock;
    std::map<std::u16string, std::weak_ptr<TKbdLink>> oOpen;
};

class TKbdReader : public TBackendReader {
public:
    TKbdReader(std::shared_ptr<TKbdShared> AShared, std::shared_ptr<TKbdLink> ALink)
        : m_pShared(std::move(AShared)), m_pLink(std::move(ALink)) {}
    ~TKbdReader() override {
        const std::u16string lName = m_pLink->Port().sName;
        m_pLink->Stop();
        if (!m_pShared)
            return;
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
    // A keyboard-style reader has no outputs the library can drive: accepted while it is there.
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
    std::int32_t NoCard() const { return m_pLink->Connected() ? ORV_E_NO_CARD : ORV_E_DISCONNECTED; }

    std::shared_ptr<TKbdShared> m_pShared;
    std::shared_ptr<TKbdLink> m_pLink;
};

// Opens and grabs an input device. A FIFO (a recorded stream in tests) is read as it is.
std::int32_t OpenInput(const std::string& APath, TFd& VFd) {
    TFd h(open(APath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!h.Valid())
        return errno == ENOENT || errno == ENODEV ? ORV_E_PORT_NOT_FOUND : ErrnoResult(errno);
    struct stat st {};
    if (fstat(h.Get(), &st) == 0 && S_ISFIFO(st.st_mode)) {
        VFd = std::move(h);
        return ORV_OK;
    }
    libevdev* lDev = nullptr;
    int r = libevdev_new_from_fd(h.Get(), &lDev);
    if (r < 0)
        return ErrnoResult(-r);
    // The grab keeps the digits from every other reader of the device, the desktop included; a
    // device another program grabbed first is busy.
    r = libevdev_grab(lDev, LIBEVDEV_GRAB);
    libevdev_free(lDev);
    if (r < 0)
        return -r == EBUSY ? ORV_E_PORT_BUSY : ErrnoResult(-r);
    VFd = std::move(h);
    return ORV_OK;
}

class TKbdBackend : public TBackend {
public:
    TKbdBackend() = default;
    TKbdBackend(const TReadersConf& AConf, std::string ADev, std::string ASys)
        : m_fGiven(true), m_oGiven(AConf), m_sDev(std::move(ADev)), m_sSys(std::move(ASys)) {}

    std::int32_t Start() override {
        auto lShared = std::make_shared<TKbdShared>(m_sDev, m_sSys);
        if (m_fGiven)
            lShared->oConf = m_oGiven;
        else
            LoadReadersIni(ReadersIniPath(), lShared->oConf); // its problems are logged by the serial backend
        auto& r = lShared->oConf.aReaders;
        r.erase(std::remove_if(r.begin(), r.end(),
                               [](const TReaderConf& c) { return c.nKind != TReaderKind::Keyboard; }),
                r.end());
        m_pShared = lShared;
        if (r.empty())
            return ORV_OK;
        std::weak_ptr<TKbdShared> lWeak = lShared;
        m_pHotplug = std::make_shared<THotplug>(
            [lWeak] { return Scan(lWeak.lock()); }, std::vector<std::string>{"input"},
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
        for (TPortDesc& p : Scan(m_pShared))
            VPorts.push_back(std::move(p));
        return ORV_OK;
    }

    std::int32_t Open(const TOpenRequest& ARequest, TWakeFunc AWake,
                      std::unique_ptr<TBackendReader>& VReader) override {
        if (!m_pShared || (ARequest.nPortType != ORVP_PORT_UNDEF && ARequest.nPortType != ORVP_PORT_FT))
            return ORV_E_PORT_NOT_FOUND;
        if (ARequest.sPortName.size() > cMaxAlias ||
            std::any_of(ARequest.sPortName.begin(), ARequest.sPortName.end(),
                        [](char16_t c) { return c > 0x7E; }))
            return ORV_E_PORT_NOT_FOUND;
        const TReaderConf* lConf =
            m_pShared->oConf.Find(std::string(ARequest.sPortName.begin(), ARequest.sPortName.end()));
        TInputDevice lDevice;
        if (!lConf || !m_pShared->oPaths.Find(*lConf, lDevice))
            return ORV_E_PORT_NOT_FOUND;
        if (ARequest.nRdType != ORVR_RD_UNDEF && ARequest.nRdType != ORVR_RD_KEYBOARD)
            return ORV_E_WRONG_READER;
        const TPortDesc lPort = Describe(*lConf, lDevice);
        std::lock_guard<std::mutex> g(m_pShared->oLock);
        auto it = m_pShared->oOpen.find(lPort.sName);
        if (it != m_pShared->oOpen.end())
            if (auto lOld = it->second.lock(); lOld && lOld->Connected())
                return ORV_E_PORT_BUSY;
        TFd h;
        std::int32_t r = OpenInput(lDevice.sNode, h);
        if (r != ORV_OK)
            return r;
        auto lLink = std::make_shared<TKbdLink>(std::move(h), *lConf, lPort, std::move(AWake));
        lLink->OnLostPort([w = m_pShared->pHotplug](const std::u16string& AName) {
            if (auto h = w.lock())
                h->Forget(AName);
        });
        r = lLink->Start();
        if (r != ORV_OK)
            return r;
        m_pShared->oOpen[lPort.sName] = lLink;
        VReader = std::make_unique<TKbdReader>(m_pShared, std::move(lLink));
        return ORV_OK;
    }

    std::int32_t Watch(TWakeFunc AWake, std::unique_ptr<TBackendDetector>& VDetector) override {
        if (!m_pHotplug)
            return ORV_OK;
        return m_pHotplug->Watch(std::move(AWake), VDetector);
    }

    std::int32_t Refresh() override {
        if (m_pHotplug)
            m_pHotplug->Rescan();
        return ORV_OK;
    }

private:
    static std::vector<TPortDesc> Scan(const std::shared_ptr<TKbdShared>& AShared) {
        std::vector<TPortDesc> lPorts;
        if (!AShared)
            return lPorts;
        for (const TReaderConf& c : AShared->oConf.aReaders) {
            TInputDevice d;
            if (!AShared->oPaths.Find(c, d))
                continue;
            TPortDesc p = Describe(c, d);
            std::lock_guard<std::mutex> g(AShared->oLock);
            auto it = AShared->oOpen.find(p.sName);
            if (it != AShared->oOpen.end())
                if (auto l = it->second.lock())
                    p.fBusy = l->Connected();
            lPorts.push_back(std::move(p));
        }
        return lPorts;
    }

    static void Gone(const std::shared_ptr<TKbdShared>& AShared, const std::u16string& AName) {
        if (!AShared)
            return;
        std::shared_ptr<TKbdLink> lLink;
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
    std::string m_sDev = "/dev/input", m_sSys = "/sys/class/input";
    std::shared_ptr<TKbdShared> m_pShared;
    std::shared_ptr<THotplug> m_pHotplug;
};

} // namespace

std::unique_ptr<TBackend> MakeKbdBackend() {
    return std::make_unique<TKbdBackend>();
}

std::unique_ptr<TBackend> MakeKbdBackend(const TReadersConf& AConf, const std::string& ADevFolder,
                                         const std::string& ASysFolder) {
    return std::make_unique<TKbdBackend>(AConf, ADevFolder, ASysFolder);
}

std::unique_ptr<TBackendReader> MakeKeyboardReader(TFd AFd, const TReaderConf& AConf, const TPortDesc& APort,
                                                   TWakeFunc AWake) {
    auto lLink = std::make_shared<TKbdLink>(std::move(AFd), AConf, APort, std::move(AWake));
    if (lLink->Start() != ORV_OK)
        return nullptr;
    return std::make_unique<TKbdReader>(nullptr, std::move(lLink));
}

} // namespace Orv
