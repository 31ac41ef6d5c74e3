#pragma once
// The library core: the counted start, the backends, the handle table and the notification targets.
// The C functions (uOrvApiReader, uOrvApiPort) look their handles up here.

#include "orvreader/src/uOrvBackend.h"

#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace Orv {

// Where the messages of one handle are posted. Shared with the backend's wake function, so a wake
// arriving after the handle closed finds no target and posts nothing.
class TNotifyTarget {
public:
    void Set(const TOrv_NOTIFY_WINDOW& AWindow, std::uint32_t AMessage);
    void Clear();
    // Posts the message number when a target is set; never after Clear returned.
    void Post();

private:
    std::mutex m_oLock;
    bool m_fSet = false;
    TOrv_NOTIFY_WINDOW m_rWindow{};
    std::uint32_t m_nMessage = 0;
};

enum class THandleKind { Reader, Detector, Search, PortList };

struct THandleObj {
    explicit THandleObj(THandleKind AKind) : nKind(AKind) {}
    virtual ~THandleObj() = default;
    const THandleKind nKind;
    std::mutex oLock; // every call on the handle
};

struct TReaderObj : THandleObj {
    TReaderObj() : THandleObj(THandleKind::Reader) {}
    std::unique_ptr<TBackendReader> pReader;
    std::shared_ptr<TNotifyTarget> pNotify = std::make_shared<TNotifyTarget>();
    TPortDesc rDesc;
    std::uint32_t nEventMask = 0xFFFFFFFFu; // without notification settings every kind is queued
    TOrvP_WAIT_SETTINGS rWaitSettings{};
    bool fCaptured = false;
    // The card search under way.
    bool fSearching = false;
    std::vector<TOrvR_CARD_INFO> aSearch;
    std::size_t nSearchPos = 0;
    // What the parameter of the last message points to.
    TOrvR_CARD_INFO rLastCard{};
    std::vector<TOrv_CHAR> aLastText;
    std::int32_t nLastCode = 0;
};

struct TDetectorObj : THandleObj {
    TDetectorObj() : THandleObj(THandleKind::Detector) {}
    ~TDetectorObj() override { aDetectors.clear(); }
    std::vector<std::unique_ptr<TBackendDetector>> aDetectors;
    std::deque<TPortEvent> oLocal; // events of the core itself (end of a refresh)
    std::shared_ptr<TNotifyTarget> pNotify = std::make_shared<TNotifyTarget>();
    std::uint32_t nEventMask = 0;
    std::uint32_t nDevMask = 0;
    TOrvP_PORT_INFO rLastPort{};
};

struct TPortsObj : THandleObj {
    explicit TPortsObj(THandleKind AKind) : THandleObj(AKind) {}
    std::vector<TPortDesc> aPorts;
    std::size_t nPos = 0;
    std::uint32_t nFlags = 0;
    std::uint32_t nDevMask = 0;
};

class TCore {
public:
    static TCore& Instance();

    std::int32_t Initialize(std::uint32_t AFlags);
    std::int32_t Finalyze();
    bool Running();

    // The handle of the given kind, or a failure code in VResult.
    template <class T> std::shared_ptr<T> Get(HORV AHandle, THandleKind AKind, std::int32_t& VResult) {
        std::shared_ptr<THandleObj> lObj = Find(AHandle, AKind, VResult);
        return std::static_pointer_cast<T>(lObj);
    }
    HORV Add(std::shared_ptr<THandleObj> AObj);
    std::int32_t Close(HORV AHandle);

    // Backends in order; valid while the library runs (the caller checked Running under no lock:
    // a Finalyze racing with calls on other threads is the caller's contract violation).
    std::vector<TBackend*> Backends();
    std::vector<std::shared_ptr<TDetectorObj>> Detectors();

    TOrvP_DD_GLOBAL_SETTINGS GlobalSettings();
    void SetGlobalSettings(const TOrvP_DD_GLOBAL_SETTINGS& ASettings);

private:
    std::shared_ptr<THandleObj> Find(HORV AHandle, THandleKind AKind, std::int32_t& VResult);

    std::mutex m_oLock;
    int m_nInitCount = 0;
    std::vector<std::unique_ptr<TBackend>> m_aBackends;
    std::vector<std::pair<HORV, std::shared_ptr<THandleObj>>> m_aHandles;
    HORV m_nNextHandle = 0x1000;
    TOrvP_DD_GLOBAL_SETTINGS m_rGlobal{};
};

// A zero-terminated text of at most AMax units (a longer one gives false).
bool ReadText(const TOrv_CHAR* AText, std::size_t AMax, std::u16string& VText);
// Copies a text into a buffer of AMax units with its terminator, cut when too long.
void CopyText(const std::u16string& AText, TOrv_CHAR* VBuf, std::size_t AMax);
// The port record of a port; ADevMask selects the devices listed (0 = every kind).
void FillPortInfo(const TPortDesc& APort, std::uint32_t ADevMask, TOrvP_PORT_INFO& VInfo);
// A reader record; the description lines go into its buffer when it has one.
void FillReaderInfo(const TPortDesc& APort, TOrvR_RD_INFO& VInfo);

} // namespace Orv
