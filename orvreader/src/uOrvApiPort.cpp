// Start and end, handles, message texts, and the port functions of the C API.

#include "orvreader/src/uOrvApiGuard.h"
#include "orvreader/src/uOrvMessages.h"

#include <cstring>

using namespace Orv;

namespace {

// Port types watched by a detector mask: bit 11 + type, every type when none is set.
bool WatchesType(std::uint32_t AMask, std::uint32_t APortType) {
    const std::uint32_t lTypeBits = ORVP_DDN_COM | ORVP_DDN_FT | ORVP_DDN_IP | ORVP_DDN_IPS;
    if (!(AMask & lTypeBits))
        return true;
    return APortType >= ORVP_PORT_COM && APortType <= ORVP_PORT_IPS && (AMask & (1u << (11 + APortType)));
}

bool PassesDetector(const TDetectorObj& AObj, const TPortEvent& AEvent) {
    switch (AEvent.nKind) {
    case ORVP_DDK_PORT_ARRIVED:
    case ORVP_DDK_PORT_REMOVED:
        return (AObj.nEventMask & ORVP_DDN_PORTS) && WatchesType(AObj.nEventMask, AEvent.rPort.nPortType);
    case ORVP_DDK_REFRESH_DONE:
        return AObj.nEventMask & ORVP_DDN_REFRESH;
    default:
        return true;
    }
}

std::int32_t Snapshot(std::vector<TPortDesc>& VPorts) {
    for (TBackend* b : TCore::Instance().Backends()) {
        std::int32_t r = b->EnumPorts(VPorts);
        if (r < 0)
            return r;
    }
    return ORV_OK;
}

} // namespace

extern "C" {

ORV_API uint32_t OrvR_GetVersion(void) {
    return ORV_VERSION_MAJOR | (ORV_VERSION_MINOR << 8) | (ORV_VERSION_BUILD << 16);
}

ORV_API int32_t OrvR_Initialize(uint32_t AFlags) {
    return Guard([&] { return TCore::Instance().Initialize(AFlags); });
}

ORV_API int32_t OrvR_Finalyze(void) {
    return Guard([&] { return TCore::Instance().Finalyze(); });
}

ORV_API int32_t OrvP_CloseHandle(HORV AHandle) {
    return Guard([&] { return TCore::Instance().Close(AHandle); });
}

ORV_API uint32_t OrvP_GetMessageText(int32_t ACode, TOrv_CHAR* VBuf, uint32_t AMax) {
    const char* lText = MessageText(ACode);
    if (!lText)
        return 0;
    std::size_t n = std::strlen(lText);
    if (VBuf && AMax > 0) {
        std::size_t k = std::min<std::size_t>(n, AMax - 1);
        for (std::size_t i = 0; i < k; ++i)
            VBuf[i] = TOrv_CHAR(static_cast<unsigned char>(lText[i]));
        VBuf[k] = 0;
    }
    return uint32_t(n);
}

ORV_API int32_t OrvP_SearchDevices(HORV* VSearch, const TOrvP_SEARCH_PARAMS* AParams) {
    return Guard([&]() -> std::int32_t {
        if (!VSearch || !AParams)
            return ORV_E_INVALID_ARG;
        *VSearch = 0;
        if (!TCore::Instance().Running())
            return ORV_E_NOT_INITIALIZED;
        auto lObj = std::make_shared<TPortsObj>(THandleKind::Search);
        std::int32_t r = Snapshot(lObj->aPorts);
        if (r < 0)
            return r;
        lObj->nFlags = AParams->nFlags;
        lObj->nDevMask = AParams->nDevMask;
        *VSearch = TCore::Instance().Add(lObj);
        return ORV_OK;
    });
}

ORV_API int32_t OrvP_FindNextDevice(HORV ASearch, TOrvR_RD_INFO* VInfo, TOrvP_PORT_INFO* VPorts,
                                    uint32_t APortMax, uint32_t* VPortCount, int32_t) {
    return WithHandle<TPortsObj>(ASearch, THandleKind::Search, [&](TPortsObj& o) -> std::int32_t {
        const std::uint32_t lInfoSize = VInfo ? VInfo->rBase.cbSize : 0;
        if (VInfo && lInfoSize < sizeof(TOrvP_DEVICE_INFO))
            return ORV_E_INVALID_ARG;
        while (o.nPos < o.aPorts.size()) {
            const TPortDesc& p = o.aPorts[o.nPos++];
            bool lReader = p.nRdType != ORVR_RD_UNDEF;
            if (lReader ? !((o.nFlags & ORVP_SF_READERS) && (o.nDevMask & ORVP_DEVMASK_READERS))
                        : !(o.nFlags & ORVP_SF_EMPTY_PORTS))
                continue;
            if (p.fBusy && !(o.nFlags & ORVP_SF_BUSY_PORTS))
                continue;
            if (VInfo) {
                if (lReader && lInfoSize >= sizeof(TOrvR_RD_INFO)) {
                    FillReaderInfo(p, *VInfo);
                } else if (lReader) {
                    // An older, shorter record: only the device part.
                    VInfo->rBase = {sizeof(TOrvP_DEVICE_INFO), ORVP_DEVTYPE_READER, p.nRdType, p.nSn,
                                    p.nVersion};
                } else {
                    VInfo->rBase = {};
                    if (lInfoSize >= sizeof(TOrvR_RD_INFO))
                        VInfo->nType = ORVR_RD_UNDEF;
                }
            }
            if (VPorts && APortMax > 0)
                FillPortInfo(p, o.nDevMask, VPorts[0]);
            if (VPortCount)
                *VPortCount = 1;
            return ORV_OK;
        }
        if (VPortCount)
            *VPortCount = 0;
        return ORV_S_NO_MORE;
    });
}

ORV_API int32_t OrvP_GetPortInfoList(HORV* VList, uint32_t* VCount, uint32_t ADevMask, uint32_t) {
    return Guard([&]() -> std::int32_t {
        if (!VList || !VCount)
            return ORV_E_INVALID_ARG;
        *VList = 0;
        *VCount = 0;
        if (!TCore::Instance().Running())
            return ORV_E_NOT_INITIALIZED;
        auto lObj = std::make_shared<TPortsObj>(THandleKind::PortList);
        std::int32_t r = Snapshot(lObj->aPorts);
        if (r < 0)
            return r;
        lObj->nDevMask = ADevMask;
        *VCount = uint32_t(lObj->aPorts.size());
        *VList = TCore::Instance().Add(lObj);
        return ORV_OK;
    });
}

ORV_API int32_t OrvP_GetPortInfo(HORV AList, uint32_t AIndex, TOrvP_PORT_INFO* VInfo) {
    return WithHandle<TPortsObj>(AList, THandleKind::PortList, [&](TPortsObj& o) -> std::int32_t {
        if (!VInfo || AIndex >= o.aPorts.size())
            return ORV_E_INVALID_ARG;
        FillPortInfo(o.aPorts[AIndex], o.nDevMask, *VInfo);
        return ORV_OK;
    });
}

ORV_API int32_t OrvP_DD_SetNotification(HORV* VDetector, const TOrvP_DD_NOTIFY_SETTINGS* ASettings) {
    return Guard([&]() -> std::int32_t {
        if (!VDetector || !ASettings)
            return ORV_E_INVALID_ARG;
        *VDetector = 0;
        TCore& lCore = TCore::Instance();
        if (!lCore.Running())
            return ORV_E_NOT_INITIALIZED;
        auto lObj = std::make_shared<TDetectorObj>();
        lObj->nEventMask = ASettings->nEventMask;
        lObj->nDevMask = ASettings->nDevMask;
        std::shared_ptr<TNotifyTarget> lNotify = lObj->pNotify;
        for (TBackend* b : lCore.Backends()) {
            std::unique_ptr<TBackendDetector> lDet;
            std::int32_t r = b->Watch([lNotify] { lNotify->Post(); }, lDet);
            if (r == ORV_E_NOT_SUPPORTED)
                continue; // a backend without hot-plug reports
            if (r != ORV_OK)
                return r;
            if (lDet) // a backend that has nothing to report gives none
                lObj->aDetectors.push_back(std::move(lDet));
        }
        *VDetector = lCore.Add(lObj);
        if (ASettings->pWindow && ASettings->pWindow->PostMessage) {
            lObj->pNotify->Set(*ASettings->pWindow, ASettings->nMessage);
            // A change between the registration and its watch would otherwise wait for the next one.
            lObj->pNotify->Post();
        }
        return ORV_OK;
    });
}

ORV_API int32_t OrvP_DD_GetNextMessage(HORV ADetector, uint32_t* VKind, intptr_t* VParam) {
    return WithHandle<TDetectorObj>(ADetector, THandleKind::Detector, [&](TDetectorObj& o) -> std::int32_t {
        if (!VKind || !VParam)
            return ORV_E_INVALID_ARG;
        for (;;) {
            TPortEvent e;
            bool lGot = false;
            for (auto& d : o.aDetectors) {
                std::int32_t r = d->NextEvent(e);
                if (r < 0)
                    return r;
                if (r == ORV_OK) {
                    lGot = true;
                    break;
                }
            }
            if (!lGot && !o.oLocal.empty()) {
                e = o.oLocal.front();
                o.oLocal.pop_front();
                lGot = true;
            }
            if (!lGot)
                return ORV_S_NO_MORE;
            if (!PassesDetector(o, e))
                continue;
            *VKind = e.nKind;
            if (e.nKind == ORVP_DDK_PORT_ARRIVED || e.nKind == ORVP_DDK_PORT_REMOVED) {
                FillPortInfo(e.rPort, o.nDevMask, o.rLastPort);
                *VParam = reinterpret_cast<intptr_t>(&o.rLastPort);
            } else {
                *VParam = 0;
            }
            return ORV_OK;
        }
    });
}

ORV_API int32_t OrvP_DD_Refresh(uint32_t) {
    return Guard([&]() -> std::int32_t {
        TCore& lCore = TCore::Instance();
        if (!lCore.Running())
            return ORV_E_NOT_INITIALIZED;
        for (TBackend* b : lCore.Backends()) {
            std::int32_t r = b->Refresh();
            if (r < 0)
                return r;
        }
        for (auto& d : lCore.Detectors()) {
            std::lock_guard<std::mutex> g(d->oLock);
            if (!(d->nEventMask & ORVP_DDN_REFRESH))
                continue;
            TPortEvent e;
            e.nKind = ORVP_DDK_REFRESH_DONE;
            d->oLocal.push_back(e);
            d->pNotify->Post();
        }
        return ORV_OK;
    });
}

ORV_API int32_t OrvP_DD_GetGlobalSettings(TOrvP_DD_GLOBAL_SETTINGS* VSettings) {
    return Guard([&]() -> std::int32_t {
        if (!VSettings)
            return ORV_E_INVALID_ARG;
        if (!TCore::Instance().Running())
            return ORV_E_NOT_INITIALIZED;
        *VSettings = TCore::Instance().GlobalSettings();
        return ORV_OK;
    });
}

ORV_API int32_t OrvP_DD_SetGlobalSettings(const TOrvP_DD_GLOBAL_SETTINGS* ASettings) {
    return Guard([&]() -> std::int32_t {
        if (!ASettings)
            return ORV_E_INVALID_ARG;
        if (!TCore::Instance().Running())
            return ORV_E_NOT_INITIALIZED;
        TCore::Instance().SetGlobalSettings(*ASettings);
        return ORV_OK;
    });
}

} // extern "C"
