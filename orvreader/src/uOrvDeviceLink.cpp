#include "orvreader/src/uOrvDeviceLink.h"

#include "orvreader/src/uOrvBus.h"
#include "orvreader/src/uOrvCardNumber.h"
#include "orvreader/src/uOrvLog.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace Orv {

TDeviceLink::TDeviceLink(const TReaderConf& AConf, TPortDesc APort, TFd AFd, TWakeFunc AWake)
    : m_rConf(AConf), m_rPort(std::move(APort)), m_hDev(std::move(AFd)), m_fWake(std::move(AWake)) {}

TDeviceLink::~TDeviceLink() {
    Stop();
}

std::int32_t TDeviceLink::Start() {
    m_hSignal.Reset(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC));
    if (!m_hSignal.Valid())
        return ErrnoResult(errno);
    m_oThread = std::thread([this] { Run(); });
    return ORV_OK;
}

void TDeviceLink::Stop() {
    if (!m_oThread.joinable())
        return;
    m_fStop = true;
    Signal();
    m_oThread.join();
}

void TDeviceLink::DeviceGone() {
    m_fGoneSeen = true;
    Signal();
}

std::int32_t TDeviceLink::Next(TReaderEvent& VEvent) {
    std::lock_guard<std::mutex> g(m_oLock);
    if (m_oEvents.empty())
        return ORV_S_NO_MORE;
    VEvent = m_oEvents.front();
    m_oEvents.pop_front();
    return ORV_OK;
}

void TDeviceLink::Signal() {
    std::uint64_t lOne = 1;
    if (write(m_hSignal.Get(), &lOne, sizeof lOne) < 0) {
        // Only a closed descriptor fails, and then the thread has ended.
    }
}

void TDeviceLink::Push(std::vector<TReaderEvent> AEvents) {
    {
        std::lock_guard<std::mutex> g(m_oLock);
        for (TReaderEvent& e : AEvents)
            m_oEvents.push_back(std::move(e));
    }
    if (m_fWake)
        m_fWake();
}

void TDeviceLink::Lost() {
    m_fLost = true;
    m_hDev.Reset(); // closing a grabbed input device ends the grab too
    TReaderEvent lError, lConn;
    lError.nKind = ORVR_MK_ERROR;
    lError.nCode = ORV_E_DISCONNECTED;
    lConn.nKind = ORVR_MK_CONNECTION;
    if (m_fLostPort)
        m_fLostPort(m_rPort.sName);
    Push({lError, lConn});
    LogLine(m_rConf.sAlias + ": the device is gone");
}

std::size_t TDeviceLink::PushNumbers(const std::vector<std::string>& ATexts) {
    std::vector<TReaderEvent> lEvents;
    std::size_t lRejected = 0;
    for (const std::string& t : ATexts) {
        TCardNumber n;
        if (!TextToCardNumber(t, m_rConf.nFormat, n)) {
            ++lRejected;
            continue;
        }
        TReaderEvent e;
        e.nKind = ORVR_MK_CARD_INSERT;
        e.rCard.nType = n.nCardType;
        std::copy(n.aKey.begin(), n.aKey.end(), e.rCard.nNum);
        lEvents.push_back(e);
        e.nKind = ORVR_MK_CARD_REMOVE; // a number is one presentation
        lEvents.push_back(e);
    }
    if (!lEvents.empty())
        Push(std::move(lEvents));
    return lRejected;
}

void TDeviceLink::NoteRejected(std::uint64_t ACount, const char* AWhat) {
    if (ACount == m_nRejected)
        return;
    m_nRejected = ACount;
    // At most one line a second: a line of noise must not flood the log.
    const std::uint64_t lNow = SteadyMs();
    if (m_nLoggedMs == 0 || lNow - m_nLoggedMs >= 1000) {
        m_nLoggedMs = lNow;
        LogLine(m_rConf.sAlias + ": " + std::to_string(ACount) + " " + AWhat + " rejected so far");
    }
}

void TDeviceLink::Run() {
    while (!m_fStop) {
        pollfd lFds[2] = {{m_hSignal.Get(), POLLIN, 0}, {m_hDev.Get(), POLLIN, 0}};
        const nfds_t lCount = m_hDev.Valid() ? 2 : 1;
        const int r = poll(lFds, lCount, m_hDev.Valid() ? TimeoutMs() : -1);
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
        if (!m_hDev.Valid())
            continue;
        if (r == 0) {
            Expired();
            continue;
        }
        if (lFds[1].revents & POLLIN) {
            if (!ReadDevice())
                Lost(); // end of file or EIO: the device went away
            continue;
        }
        if (lFds[1].revents & (POLLHUP | POLLERR | POLLNVAL))
            Lost();
    }
}

TDeviceReader::~TDeviceReader() {
    m_pLink->Stop();
    if (m_fOnClose)
        m_fOnClose();
}

TPortDesc TDeviceReader::Describe() const {
    TPortDesc d = m_pLink->Port();
    d.fBusy = true;
    return d;
}

TOrvP_CONNECTION_STATUS TDeviceReader::ConnectionStatus() {
    return m_pLink->Connected() ? ORVP_CS_CONNECTED : ORVP_CS_DISCONNECTED;
}

std::int32_t TDeviceReader::SetIndicator(std::uint32_t ARed, std::uint32_t AGreen, std::uint32_t ASound) {
    if (ARed > ORVR_IND_OFF || AGreen > ORVR_IND_OFF || ASound > ORVR_IND_OFF)
        return ORV_E_INVALID_ARG;
    return Here();
}

std::int32_t TDeviceReader::CardsInField(std::vector<TOrvR_CARD_INFO>& VCards) {
    VCards.clear();
    return Here();
}

std::shared_ptr<TDeviceLink> TOpenLinks::Find(const std::u16string& AName) {
    auto it = m_oOpen.find(AName);
    return it == m_oOpen.end() ? nullptr : it->second.lock();
}

std::int32_t TOpenLinks::Open(const std::u16string& AName, const TLinkFactory& AMake,
                              std::unique_ptr<TBackendReader>& VReader) {
    std::lock_guard<std::mutex> g(m_oLock);
    if (auto lOld = Find(AName); lOld && lOld->Connected())
        return ORV_E_PORT_BUSY;
    std::shared_ptr<TDeviceLink> lLink;
    const std::int32_t r = AMake(lLink);
    if (r != ORV_OK)
        return r;
    m_oOpen[AName] = lLink;
    VReader =
        std::make_unique<TDeviceReader>(lLink, [self = shared_from_this(), AName, w = std::weak_ptr(lLink)] {
            std::lock_guard<std::mutex> g2(self->m_oLock);
            auto it = self->m_oOpen.find(AName);
            if (it != self->m_oOpen.end() && it->second.lock() == w.lock())
                self->m_oOpen.erase(it);
        });
    return ORV_OK;
}

bool TOpenLinks::Busy(const std::u16string& AName) {
    std::lock_guard<std::mutex> g(m_oLock);
    const auto lLink = Find(AName);
    return lLink && lLink->Connected();
}

void TOpenLinks::Gone(const std::u16string& AName) {
    std::shared_ptr<TDeviceLink> lLink;
    {
        std::lock_guard<std::mutex> g(m_oLock);
        lLink = Find(AName);
    }
    if (lLink)
        lLink->DeviceGone();
}

std::int32_t TDeviceBackend::Watch(TWakeFunc AWake, std::unique_ptr<TBackendDetector>& VDetector) {
    if (!m_pHotplug)
        return ORV_E_NOT_SUPPORTED; // no reader of this kind configured: nothing ever changes here
    return m_pHotplug->Watch(std::move(AWake), VDetector);
}

std::int32_t TDeviceBackend::Refresh() {
    if (m_pHotplug)
        m_pHotplug->Rescan();
    return ORV_OK;
}

TReadersConf TDeviceBackend::ReadersOfKind(const TReadersConf* AGiven, TReaderKind AKind, bool ALogProblems) {
    TReadersConf lConf;
    if (AGiven) {
        lConf = *AGiven;
    } else {
        LoadReadersIni(ReadersIniPath(), lConf);
        if (ALogProblems)
            for (const std::string& p : lConf.aProblems)
                LogLine(p);
    }
    auto& r = lConf.aReaders;
    r.erase(std::remove_if(r.begin(), r.end(), [&](const TReaderConf& c) { return c.nKind != AKind; }),
            r.end());
    return lConf;
}

void TDeviceBackend::StopHotplug() {
    if (m_pHotplug)
        m_pHotplug->Stop();
    m_pHotplug.reset();
}

void TDeviceBackend::ForgetOnLoss(TDeviceLink& ALink) const {
    ALink.OnLostPort([w = std::weak_ptr<THotplug>(m_pHotplug)](const std::u16string& AName) {
        if (auto lHotplug = w.lock())
            lHotplug->Forget(AName);
    });
}

} // namespace Orv
