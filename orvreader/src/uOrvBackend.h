#pragma once
// The inside of the library: device backends report ports, open readers and deliver their events;
// the core (uOrvCore) turns them into handles, queues and posted notifications. A backend for serial
// or USB keyboard-style readers implements these three classes and is added to the core's list; the
// C API does not change.

#include "orvreader/OrvPort.h"
#include "orvreader/OrvReader.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Orv {

// A port and the reader found on it (nRdType ORVR_RD_UNDEF: none).
struct TPortDesc {
    std::uint32_t nPortType = ORVP_PORT_UNDEF;
    std::u16string sName;
    std::u16string sFriendly;
    bool fBusy = false;
    std::uint32_t nRdType = ORVR_RD_UNDEF;
    std::int32_t nSn = 0;
    std::uint32_t nVersion = 0;
};

// A port change: ORVP_DDK_PORT_ARRIVED or ORVP_DDK_PORT_REMOVED (other kinds pass through).
struct TPortEvent {
    std::uint32_t nKind = 0;
    TPortDesc rPort;
};

// A reader event in the kinds of OrvReader.h. For kinds above 106 nValue is the parameter.
struct TReaderEvent {
    std::uint32_t nKind = 0;
    TOrvR_CARD_INFO rCard{};
    std::u16string sText;
    std::uint32_t nValue = 0;
    std::int32_t nCode = 0;
};

// Called by a backend, from any thread, when new events wait for a reader or a detector.
using TWakeFunc = std::function<void()>;

struct TOpenRequest {
    std::uint32_t nPortType = ORVP_PORT_UNDEF;
    std::u16string sPortName;
    std::uint32_t nRdType = ORVR_RD_UNDEF;
    std::uint8_t nStopBits = 0;
    std::uint32_t nFlags = 0;
};

// An open reader. Every call comes from the core under the handle's lock.
class TBackendReader {
public:
    virtual ~TBackendReader() = default;
    // The reader as it answered at open.
    virtual TPortDesc Describe() const = 0;
    // 0 with the next event, ORV_S_NO_MORE when none waits.
    virtual std::int32_t NextEvent(TReaderEvent& VEvent) = 0;
    virtual TOrvP_CONNECTION_STATUS ConnectionStatus() = 0;
    virtual std::int32_t SetIndicator(std::uint32_t ARed, std::uint32_t AGreen, std::uint32_t ASound) = 0;
    virtual std::int32_t SetPower(std::uint32_t AState) = 0;
    virtual std::int32_t SetFormat(const std::u16string& AFormat) = 0;
    // The cards now in the field (the core runs the search over them).
    virtual std::int32_t CardsInField(std::vector<TOrvR_CARD_INFO>& VCards) = 0;
    virtual std::int32_t ReadULPages(std::uint32_t APage, std::uint8_t* VBuf16) = 0;
    virtual std::int32_t WriteULPage(std::uint32_t APage, const std::uint8_t* AData4) = 0;
    virtual std::int32_t FindT57(TOrv_KEYNUM_C VNum, std::uint32_t* VPar, std::uint32_t APsw,
                                 std::uint32_t AFlags) = 0;
    virtual std::int32_t T57Block(bool AWrite, std::uint32_t ABlock, std::uint8_t* VBuf4, std::uint32_t APar,
                                  std::uint32_t APsw, std::uint32_t AFlags) = 0;
    virtual std::int32_t ResetT57() = 0;
    // Takes a firmware image block by block; the core reports progress between blocks.
    virtual std::int32_t FirmwareBlock(const std::uint8_t* AData, std::uint32_t ACount, bool ALast) = 0;
};

// A detector registration: the port changes after its creation.
class TBackendDetector {
public:
    virtual ~TBackendDetector() = default;
    virtual std::int32_t NextEvent(TPortEvent& VEvent) = 0;
};

class TBackend {
public:
    virtual ~TBackend() = default;
    virtual std::int32_t Start() = 0;
    virtual void Stop() = 0;
    virtual std::int32_t EnumPorts(std::vector<TPortDesc>& VPorts) = 0;
    // ORV_E_PORT_NOT_FOUND when the port is not this backend's: the core then asks the next one.
    virtual std::int32_t Open(const TOpenRequest& ARequest, TWakeFunc AWake,
                              std::unique_ptr<TBackendReader>& VReader) = 0;
    virtual std::int32_t Watch(TWakeFunc AWake, std::unique_ptr<TBackendDetector>& VDetector) = 0;
    // Looks at the ports again (a scanning backend rescans; the bus is always current).
    virtual std::int32_t Refresh() = 0;
};

using TBackendFactory = std::function<std::unique_ptr<TBackend>()>;

// The virtual bus backend (uOrvBusBackend).
std::unique_ptr<TBackend> MakeBusBackend();

// Backends created at the first OrvR_Initialize after the virtual bus, in this order. For backends
// built into a program (and for tests); a factory added while the library runs counts from the next
// start.
void AddBackendFactory(TBackendFactory AFactory);
void ClearBackendFactories();

} // namespace Orv
