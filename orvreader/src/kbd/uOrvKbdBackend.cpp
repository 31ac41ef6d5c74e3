#include "orvreader/src/kbd/uOrvKbdBackend.h"

#include "orvreader/src/kbd/uOrvKeyDecoder.h"
#include "orvreader/src/uOrvCardNumber.h"
#include "orvreader/src/uOrvDeviceLink.h"
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

class TKbdLink : public TDeviceLink {
public:
    TKbdLink(TFd AFd, const TReaderConf& AConf, TPortDesc APort, TWakeFunc AWake)
        : TDeviceLink(AConf, std::move(APort), std::move(AFd), std::move(AWake)), m_oDecoder(AConf.nGapMs) {}
    ~TKbdLink() override { Stop(); }

private:
    bool ReadDevice() override {
        ssize_t n = read(m_hDev.Get(), m_aBuf + m_nHave, sizeof m_aBuf - m_nHave);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return true;
        if (n <= 0)
            return false; // ENODEV from an unplugged device, or the end of a stream
        m_nHave += std::size_t(n);
        std::vector<std::string> lNumbers;
        std::size_t lUsed = 0;
        for (; m_nHave - lUsed >= sizeof(input_event); lUsed += sizeof(input_event)) {
            input_event e;
            std::memcpy(&e, m_aBuf + lUsed, sizeof e);
            std::string lText;
            if (m_oDecoder.Feed(e, lText))
                lNumbers.push_back(std::move(lText));
        }
        std::memmove(m_aBuf, m_aBuf + lUsed, m_nHave - lUsed);
        m_nHave -= lUsed;
        for (std::size_t i = PushNumbers(lNumbers); i > 0; --i)
            m_oDecoder.CountRejected();
        NoteRejected(m_oDecoder.Rejected(), "number(s)");
        return true;
    }

    alignas(input_event) std::uint8_t m_aBuf[64 * sizeof(input_event)];
    std::size_t m_nHave = 0; // bytes of a record cut by the last read
    TKeyDecoder m_oDecoder;
};

struct TKbdShared {
    TKbdShared(std::string ADev, std::string ASys) : oPaths(std::move(ADev), std::move(ASys)) {}
    TReadersConf oConf;
    TKbdPaths oPaths;
    std::shared_ptr<TOpenLinks> pOpen = std::make_shared<TOpenLinks>();
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

class TKbdBackend : public TDeviceBackend {
public:
    TKbdBackend() = default;
    TKbdBackend(const TReadersConf& AConf, std::string ADev, std::string ASys)
        : m_fGiven(true), m_oGiven(AConf), m_sDev(std::move(ADev)), m_sSys(std::move(ASys)) {}

    std::int32_t Start() override {
        auto lShared = std::make_shared<TKbdShared>(m_sDev, m_sSys);
        // readers.ini's problems are logged by the serial backend
        lShared->oConf = ReadersOfKind(m_fGiven ? &m_oGiven : nullptr, TReaderKind::Keyboard, false);
        m_pShared = lShared;
        if (lShared->oConf.aReaders.empty())
            return ORV_OK;
        std::weak_ptr<TKbdShared> lWeak = lShared;
        m_pHotplug = std::make_shared<THotplug>(
            [lWeak] { return Scan(lWeak.lock()); }, std::vector<std::string>{"input"},
            [lWeak](const std::u16string& AName) { Gone(lWeak.lock(), AName); });
        return m_pHotplug->Start();
    }

    void Stop() override {
        StopHotplug();
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
        return m_pShared->pOpen->Open(
            lPort.sName,
            [&](std::shared_ptr<TDeviceLink>& VLink) {
                TFd h;
                std::int32_t r = OpenInput(lDevice.sNode, h);
                if (r != ORV_OK)
                    return r;
                auto lLink = std::make_shared<TKbdLink>(std::move(h), *lConf, lPort, std::move(AWake));
                ForgetOnLoss(*lLink);
                r = lLink->Start();
                VLink = std::move(lLink);
                return r;
            },
            VReader);
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
            p.fBusy = AShared->pOpen->Busy(p.sName);
            lPorts.push_back(std::move(p));
        }
        return lPorts;
    }

    static void Gone(const std::shared_ptr<TKbdShared>& AShared, const std::u16string& AName) {
        if (!AShared)
            return;
        AShared->pOpen->Gone(AName);
    }

    bool m_fGiven = false;
    TReadersConf m_oGiven;
    std::string m_sDev = "/dev/input", m_sSys = "/sys/class/input";
    std::shared_ptr<TKbdShared> m_pShared;
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
    return std::make_unique<TDeviceReader>(std::move(lLink), nullptr);
}

} // namespace Orv
