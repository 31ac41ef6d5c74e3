#pragma once
// What the serial and the keyboard-style readers share: an open device read by a worker thread that
// waits in poll beside an eventfd, turns the texts the device sends into card events (a number is one
// presentation: insert and remove), reports the device's loss, and counts rejected numbers in the
// log at most once a second. A backend derives its link from TDeviceLink for the reading itself and
// hands it to a TDeviceReader.

#include "orvreader/src/uOrvBackend.h"
#include "orvreader/src/uOrvFiles.h"
#include "orvreader/src/uOrvHotplug.h"
#include "orvreader/src/uOrvReadersIni.h"

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace Orv {

class TDeviceLink {
public:
    TDeviceLink(const TReaderConf& AConf, TPortDesc APort, TFd AFd, TWakeFunc AWake);
    // A derived link calls Stop in its own destructor: the thread runs its reading.
    virtual ~TDeviceLink();
    TDeviceLink(const TDeviceLink&) = delete;
    TDeviceLink& operator=(const TDeviceLink&) = delete;

    // Told when the device hangs up, before the events are queued.
    void OnLostPort(std::function<void(const std::u16string&)> AFunc) { m_fLostPort = std::move(AFunc); }

    std::int32_t Start();
    void Stop();
    // The hot-plug scan no longer finds the device.
    void DeviceGone();

    bool Connected() const { return !m_fLost; }
    const TPortDesc& Port() const { return m_rPort; }
    std::int32_t Next(TReaderEvent& VEvent);

protected:
    // The wait for the device's next bytes in ms, -1 for none (a partial number that expires).
    virtual int TimeoutMs() { return -1; }
    // The wait ended without bytes.
    virtual void Expired() {}
    // Reads what the device has; false when it is gone (end of file, a read error).
    virtual bool ReadDevice() = 0;

    // Queues the card events of texts that read as numbers of the reader's format; the number of
    // texts that did not.
    std::size_t PushNumbers(const std::vector<std::string>& ATexts);
    // Logs a changed count of rejected numbers (AWhat: "frame(s)", "number(s)"), at most once a second.
    void NoteRejected(std::uint64_t ACount, const char* AWhat);

    const TReaderConf m_rConf;
    const TPortDesc m_rPort;
    TFd m_hDev;

private:
    void Run();
    void Signal();
    void Push(std::vector<TReaderEvent> AEvents);
    void Lost();

    TFd m_hSignal;
    TWakeFunc m_fWake;
    std::function<void(const std::u16string&)> m_fLostPort;
    std::thread m_oThread;
    std::atomic<bool> m_fStop{false}, m_fGoneSeen{false}, m_fLost{false};
    std::uint64_t m_nRejected = 0, m_nLoggedMs = 0; // of the worker thread
    std::mutex m_oLock;
    std::deque<TReaderEvent> m_oEvents;
};

// An open text reader (serial or keyboard-style): numbers are momentary presentations, and the reader
// has no outputs the library can drive, so those calls are accepted while it is there. AOnClose runs
// once the link has stopped.
class TDeviceReader : public TBackendReader {
public:
    TDeviceReader(std::shared_ptr<TDeviceLink> ALink, std::function<void()> AOnClose)
        : m_pLink(std::move(ALink)), m_fOnClose(std::move(AOnClose)) {}
    ~TDeviceReader() override;

    TPortDesc Describe() const override;
    std::int32_t NextEvent(TReaderEvent& VEvent) override { return m_pLink->Next(VEvent); }
    TOrvP_CONNECTION_STATUS ConnectionStatus() override;
    std::int32_t SetIndicator(std::uint32_t ARed, std::uint32_t AGreen, std::uint32_t ASound) override;
    std::int32_t SetPower(std::uint32_t) override { return ORV_E_NOT_KORVEL; }
    std::int32_t SetFormat(const std::u16string&) override { return ORV_E_NOT_KORVEL; }
    std::int32_t CardsInField(std::vector<TOrvR_CARD_INFO>& VCards) override;
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
    // No card ever waits in the field.
    std::int32_t NoCard() const { return m_pLink->Connected() ? ORV_E_NO_CARD : ORV_E_DISCONNECTED; }

    std::shared_ptr<TDeviceLink> m_pLink;
    std::function<void()> m_fOnClose;
};

// The open links of a backend by port name. A port is busy while its link is open and its device is
// there; a session whose device vanished keeps its dead reader until it closes it, and the device
// back is a new port another open may take.
class TOpenLinks : public std::enable_shared_from_this<TOpenLinks> {
public:
    using TLinkFactory = std::function<std::int32_t(std::shared_ptr<TDeviceLink>& VLink)>;

    // Unless the port is busy (ORV_E_PORT_BUSY), AMake opens and starts its link, which is then
    // kept here until the reader made of it closes. The registry's lock is held meanwhile.
    std::int32_t Open(const std::u16string& AName, const TLinkFactory& AMake,
                      std::unique_ptr<TBackendReader>& VReader);
    bool Busy(const std::u16string& AName);
    // The hot-plug scan no longer finds the port's device.
    void Gone(const std::u16string& AName);

private:
    std::shared_ptr<TDeviceLink> Find(const std::u16string& AName);

    std::mutex m_oLock;
    std::map<std::u16string, std::weak_ptr<TDeviceLink>> m_oOpen;
};

// The backend side both share: the readers of its kind from the configuration, hot-plug of their
// devices, and the hot-plug told at once when an open link's device hangs up.
class TDeviceBackend : public TBackend {
public:
    std::int32_t Watch(TWakeFunc AWake, std::unique_ptr<TBackendDetector>& VDetector) override;
    std::int32_t Refresh() override;

protected:
    // The readers of AKind: of AGiven when there is one (tests), else of readers.ini, whose problems
    // are logged when ALogProblems (one backend logs them for all).
    static TReadersConf ReadersOfKind(const TReadersConf* AGiven, TReaderKind AKind, bool ALogProblems);
    void StopHotplug();
    void ForgetOnLoss(TDeviceLink& ALink) const;

    std::shared_ptr<THotplug> m_pHotplug; // none while no reader of the kind is configured
};

} // namespace Orv
