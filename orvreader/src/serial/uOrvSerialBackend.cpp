#include "orvreader/src/serial/uOrvSerialBackend.h"

#include "orvreader/src/serial/uOrvSerialFramer.h"
#include "orvreader/src/serial/uOrvSerialPort.h"
#include "orvreader/src/uOrvDeviceLink.h"
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
class TSerialLink : public TDeviceLink {
public:
    TSerialLink(const TReaderConf& AConf, TPortDesc APort, TFd AFd, TWakeFunc AWake)
        : TDeviceLink(AConf, std::move(APort), std::move(AFd), std::move(AWake)),
          m_oFramer(AConf.nFraming, AConf.nGapMs) {}
    ~TSerialLink() override { Stop(); }

private:
    int TimeoutMs() override { return m_oFramer.TimeoutMs(SteadyMs()); }
    void Expired() override {
        m_oFramer.Expire(SteadyMs());
        NoteRejected(m_oFramer.Rejected(), "frame(s)");
    }
    bool ReadDevice() override {
        std::uint8_t lBuf[512];
        const ssize_t n = read(m_hDev.Get(), lBuf, sizeof lBuf);
        if (n <= 0)
            return n < 0 && (errno == EAGAIN || errno == EINTR);
        std::vector<std::string> lFrames;
        m_oFramer.Feed(lBuf, std::size_t(n), SteadyMs(), lFrames);
        for (std::size_t i = PushNumbers(lFrames); i > 0; --i)
            m_oFramer.CountRejected();
        NoteRejected(m_oFramer.Rejected(), "frame(s)");
        return true;
    }

    TSerialFramer m_oFramer;
};

struct TSerialShared {
    TReadersConf oConf;
    std::shared_ptr<TOpenLinks> pOpen = std::make_shared<TOpenLinks>();
};

class TSerialBackend : public TDeviceBackend {
public:
    TSerialBackend() = default;
    explicit TSerialBackend(const TReadersConf& AConf) : m_fGiven(true), m_oGiven(AConf) {}

    std::int32_t Start() override {
        auto lShared = std::make_shared<TSerialShared>();
        lShared->oConf = ReadersOfKind(m_fGiven ? &m_oGiven : nullptr, TReaderKind::Serial, true);
        m_pShared = lShared;
        if (lShared->oConf.aReaders.empty())
            return ORV_OK; // nothing configured: nothing opened, no thread
        std::weak_ptr<TSerialShared> lWeak = lShared;
        m_pHotplug = std::make_shared<THotplug>(
            [lWeak] { return Scan(lWeak.lock()); }, std::vector<std::string>{"tty"},
            [lWeak](const std::u16string& AName) { Gone(lWeak.lock(), AName); });
        return m_pHotplug->Start();
    }

    void Stop() override {
        StopHotplug();
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
        return m_pShared->pOpen->Open(
            lPort.sName,
            [&](std::shared_ptr<TDeviceLink>& VLink) {
                TFd h;
                std::int32_t r =
                    OpenSerialPort(DevicePath(lConf->sDevice), lConf->nSpeed, ARequest.nStopBits, h);
                if (r != ORV_OK)
                    return r;
                auto lLink = std::make_shared<TSerialLink>(*lConf, lPort, std::move(h), std::move(AWake));
                ForgetOnLoss(*lLink);
                r = lLink->Start();
                VLink = std::move(lLink);
                return r;
            },
            VReader);
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
            p.fBusy = AShared->pOpen->Busy(p.sName);
            lPorts.push_back(std::move(p));
        }
        return lPorts;
    }

    static void Gone(const std::shared_ptr<TSerialShared>& AShared, const std::u16string& AName) {
        if (!AShared)
            return;
        AShared->pOpen->Gone(AName);
    }

    bool m_fGiven = false;
    TReadersConf m_oGiven;
    std::shared_ptr<TSerialShared> m_pShared;
};

} // namespace

std::unique_ptr<TBackend> MakeSerialBackend() {
    return std::make_unique<TSerialBackend>();
}

std::unique_ptr<TBackend> MakeSerialBackend(const TReadersConf& AConf) {
    return std::make_unique<TSerialBackend>(AConf);
}

} // namespace Orv
