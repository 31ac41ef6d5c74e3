// The reader functions of the C API.

#include "orvreader/src/uOrvApiGuard.h"

#include <cstring>

using namespace Orv;

namespace {

constexpr std::size_t MaxOpenName = 255; // names beyond this are no port of any backend
constexpr std::uint32_t FirmwareBlockSize = 256;

// The notification bit a reader message kind needs; 0 for kinds that always pass.
std::uint32_t KindBit(std::uint32_t AKind) {
    switch (AKind) {
    case ORVR_MK_CARD_INSERT:
    case ORVR_MK_CARD_REMOVE:
    case ORVR_MK_CARD_UNKNOWN:
        return ORVR_NF_CARDS;
    case ORVR_MK_INPUTS_CHANGE:
        return ORVR_NF_INPUTS;
    case ORVR_MK_IND_FLASH_END:
        return ORVR_NF_IND_FLASH;
    case ORVR_MK_ERROR:
        return ORVR_NF_ERROR;
    case ORVR_MK_CONNECTION:
        return ORVR_NF_CONNECTION;
    default:
        return 0;
    }
}

} // namespace

extern "C" {

ORV_API int32_t OrvR_Rd_Open(HORV* VHandle, const TOrvR_RD_OPEN_PARAMS* AParams, TOrvR_RD_INFO* VInfo) {
    return Guard([&]() -> std::int32_t {
        if (!VHandle || !AParams || !AParams->pszPortName)
            return ORV_E_INVALID_ARG;
        *VHandle = 0;
        TCore& lCore = TCore::Instance();
        if (!lCore.Running())
            return ORV_E_NOT_INITIALIZED;
        TOpenRequest lReq;
        lReq.nPortType = AParams->nPortType;
        if (!ReadText(AParams->pszPortName, MaxOpenName, lReq.sPortName))
            return ORV_E_PORT_NOT_FOUND;
        lReq.nRdType = AParams->nRdType;
        lReq.nStopBits = AParams->nStopBits;
        lReq.nFlags = AParams->nFlags;
        auto lObj = std::make_shared<TReaderObj>();
        lObj->rWaitSettings =
            AParams->pWaitSettings ? *AParams->pWaitSettings : lCore.GlobalSettings().rWaitSettings;
        std::shared_ptr<TNotifyTarget> lNotify = lObj->pNotify;
        std::int32_t r = ORV_E_PORT_NOT_FOUND;
        for (TBackend* b : lCore.Backends()) {
            r = b->Open(
                lReq, [lNotify] { lNotify->Post(); }, lObj->pReader);
            if (r != ORV_E_PORT_NOT_FOUND)
                break;
        }
        if (r != ORV_OK)
            return r;
        lObj->rDesc = lObj->pReader->Describe();
        if (VInfo)
            FillReaderInfo(lObj->rDesc, *VInfo);
        *VHandle = lCore.Add(lObj);
        return ORV_OK;
    });
}

ORV_API int32_t OrvR_Rd_SetNotification(HORV AHandle, const TOrvR_NOTIFY_SETTINGS* ASettings) {
    return WithReader(AHandle, [&](TReaderObj& o) -> std::int32_t {
        if (!ASettings) {
            o.pNotify->Clear();
            o.nEventMask = 0xFFFFFFFFu;
            return ORV_OK;
        }
        o.nEventMask = ASettings->nEventMask;
        if (ASettings->pWindow && ASettings->pWindow->PostMessage) {
            o.pNotify->Set(*ASettings->pWindow, ASettings->nMessage);
            // Messages may have come in before the target was known.
            o.pNotify->Post();
        } else {
            o.pNotify->Clear();
        }
        return ORV_OK;
    });
}

ORV_API int32_t OrvR_Rd_GetNextMessage(HORV AHandle, uint32_t* VKind, intptr_t* VParam) {
    return WithReader(AHandle, [&](TReaderObj& o) -> std::int32_t {
        if (!VKind || !VParam)
            return ORV_E_INVALID_ARG;
        if (o.fCaptured)
            return ORV_S_NO_MORE;
        for (;;) {
            TReaderEvent e;
            std::int32_t r = o.pReader->NextEvent(e);
            if (r != ORV_OK)
                return r;
            std::uint32_t lBit = KindBit(e.nKind);
            if (lBit && !(o.nEventMask & lBit))
                continue;
            *VKind = e.nKind;
            switch (e.nKind) {
            case ORVR_MK_CARD_INSERT:
            case ORVR_MK_CARD_REMOVE:
                o.rLastCard = e.rCard;
                *VParam = reinterpret_cast<intptr_t>(&o.rLastCard);
                break;
            case ORVR_MK_CARD_UNKNOWN:
                o.aLastText.assign(e.sText.begin(), e.sText.end());
                o.aLastText.push_back(0);
                *VParam = reinterpret_cast<intptr_t>(o.aLastText.data());
                break;
            case ORVR_MK_ERROR:
                o.nLastCode = e.nCode;
                *VParam = reinterpret_cast<intptr_t>(&o.nLastCode);
                break;
            case ORVR_MK_IND_FLASH_END:
            case ORVR_MK_CONNECTION:
                *VParam = 0;
                break;
            default:
                *VParam = intptr_t(e.nValue);
                break;
            }
            return ORV_OK;
        }
    });
}

ORV_API int32_t OrvR_Rd_GetConnectionStatus(HORV AHandle, TOrvP_CONNECTION_STATUS* VStatus) {
    return WithReader(AHandle, [&](TReaderObj& o) -> std::int32_t {
        if (!VStatus)
            return ORV_E_INVALID_ARG;
        *VStatus = o.pReader->ConnectionStatus();
        return ORV_OK;
    });
}

ORV_API int32_t OrvR_Rd_SetWaitSettings(HORV AHandle, const TOrvP_WAIT_SETTINGS* ASettings) {
    return WithReader(AHandle, [&](TReaderObj& o) -> std::int32_t {
        if (!ASettings)
            return ORV_E_INVALID_ARG;
        o.rWaitSettings = *ASettings;
        return ORV_OK;
    });
}

ORV_API int32_t OrvR_Rd_GetWaitSettings(HORV AHandle, TOrvP_WAIT_SETTINGS* VSettings) {
    return WithReader(AHandle, [&](TReaderObj& o) -> std::int32_t {
        if (!VSettings)
            return ORV_E_INVALID_ARG;
        *VSettings = o.rWaitSettings;
        return ORV_OK;
    });
}

ORV_API int32_t OrvR_Rd_SetCapture(HORV AHandle) {
    return WithReader(AHandle, [&](TReaderObj& o) -> std::int32_t {
        o.fCaptured = true;
        return ORV_OK;
    });
}

ORV_API int32_t OrvR_Rd_ReleaseCapture(HORV AHandle) {
    return WithReader(AHandle, [&](TReaderObj& o) -> std::int32_t {
        if (o.fCaptured) {
            o.fCaptured = false;
            o.pNotify->Post(); // what waited during the capture
        }
        return ORV_OK;
    });
}

ORV_API int32_t OrvR_Rd_GetInformation(HORV AHandle, TOrvR_RD_INFO* VInfo) {
    return WithReader(AHandle, [&](TReaderObj& o) -> std::int32_t {
        if (!VInfo)
            return ORV_E_INVALID_ARG;
        FillReaderInfo(o.rDesc, *VInfo);
        return ORV_OK;
    });
}

ORV_API int32_t OrvR_Rd_SetIndicatorState(HORV AHandle, uint32_t ARed, uint32_t AGreen, uint32_t ASound) {
    return WithReader(AHandle, [&](TReaderObj& o) { return o.pReader->SetIndicator(ARed, AGreen, ASound); });
}

ORV_API int32_t OrvR_Korvel_SetPowerState(HORV AHandle, uint32_t AState) {
    return WithReader(AHandle, [&](TReaderObj& o) { return o.pReader->SetPower(AState); });
}

ORV_API int32_t OrvR_Korvel_SetFormat(HORV AHandle, uint32_t, const TOrv_CHAR* AFormat, uint32_t, uint32_t) {
    return WithReader(AHandle, [&](TReaderObj& o) -> std::int32_t {
        std::u16string lFormat;
        if (!AFormat || !ReadText(AFormat, 255, lFormat))
            return ORV_E_INVALID_ARG;
        return o.pReader->SetFormat(lFormat);
    });
}

ORV_API int32_t OrvR_Rd_SearchCards(HORV AHandle, uint32_t AMaxCards, uint32_t) {
    return WithReader(AHandle, [&](TReaderObj& o) -> std::int32_t {
        std::vector<TOrvR_CARD_INFO> lCards;
        std::int32_t r = o.pReader->CardsInField(lCards);
        if (r != ORV_OK)
            return r;
        if (lCards.size() > AMaxCards)
            lCards.resize(AMaxCards);
        o.aSearch = std::move(lCards);
        o.nSearchPos = 0;
        o.fSearching = true;
        return ORV_OK;
    });
}

ORV_API int32_t OrvR_Rd_FindNextCard(HORV AHandle, TOrvR_CARD_INFO* VInfo) {
    return WithReader(AHandle, [&](TReaderObj& o) -> std::int32_t {
        if (!VInfo) {
            o.fSearching = false;
            o.aSearch.clear();
            return ORV_OK;
        }
        if (!o.fSearching)
            return ORV_E_INVALID_ARG;
        if (o.nSearchPos >= o.aSearch.size())
            return ORV_S_NO_MORE;
        *VInfo = o.aSearch[o.nSearchPos++];
        return ORV_OK;
    });
}

ORV_API int32_t OrvR_Rd_ReadULCard4Page(HORV AHandle, uint32_t APageN, uint8_t* VBuf16) {
    return WithReader(AHandle, [&](TReaderObj& o) -> std::int32_t {
        return VBuf16 ? o.pReader->ReadULPages(APageN, VBuf16) : ORV_E_INVALID_ARG;
    });
}

ORV_API int32_t OrvR_Rd_WriteULCardPage(HORV AHandle, uint32_t APageN, const uint8_t* AData4) {
    return WithReader(AHandle, [&](TReaderObj& o) -> std::int32_t {
        return AData4 ? o.pReader->WriteULPage(APageN, AData4) : ORV_E_INVALID_ARG;
    });
}

ORV_API int32_t OrvR_Rd_UpdateFirmware(HORV AHandle, const uint8_t* AData, uint32_t ACount,
                                       TOrvR_PROGRESS_CALLBACK ACallback, void* AUserData) {
    return WithReader(AHandle, [&](TReaderObj& o) -> std::int32_t {
        if (!AData || ACount == 0)
            return ORV_E_INVALID_ARG;
        for (std::uint32_t lPos = 0; lPos < ACount;) {
            if (ACallback && !ACallback(lPos, ACount, AUserData))
                return ORV_S_CANCELLED;
            std::uint32_t n = std::min(FirmwareBlockSize, ACount - lPos);
            std::int32_t r = o.pReader->FirmwareBlock(AData + lPos, n, lPos + n == ACount);
            if (r != ORV_OK)
                return r;
            lPos += n;
        }
        if (ACallback)
            ACallback(ACount, ACount, AUserData);
        return ORV_OK;
    });
}

ORV_API int32_t OrvR_Rd_FindT57(HORV AHandle, TOrv_KEYNUM_C VNum, uint32_t* VPar, uint32_t APsw,
                                uint32_t AFlags) {
    return WithReader(AHandle, [&](TReaderObj& o) -> std::int32_t {
        return VNum ? o.pReader->FindT57(VNum, VPar, APsw, AFlags) : ORV_E_INVALID_ARG;
    });
}

ORV_API int32_t OrvR_Rd_ReadT57Block(HORV AHandle, uint32_t ABlockN, uint8_t* VBuf4, uint32_t APar,
                                     uint32_t APsw, uint32_t AFlags) {
    return WithReader(AHandle, [&](TReaderObj& o) -> std::int32_t {
        return VBuf4 ? o.pReader->T57Block(false, ABlockN, VBuf4, APar, APsw, AFlags) : ORV_E_INVALID_ARG;
    });
}

ORV_API int32_t OrvR_Rd_WriteT57Block(HORV AHandle, uint32_t ABlockN, const uint8_t* ABuf4, uint32_t APar,
                                      uint32_t APsw, uint32_t AFlags) {
    return WithReader(AHandle, [&](TReaderObj& o) -> std::int32_t {
        if (!ABuf4)
            return ORV_E_INVALID_ARG;
        std::uint8_t lBuf[4];
        std::memcpy(lBuf, ABuf4, 4);
        return o.pReader->T57Block(true, ABlockN, lBuf, APar, APsw, AFlags);
    });
}

ORV_API int32_t OrvR_Rd_ResetT57(HORV AHandle) {
    return WithReader(AHandle, [&](TReaderObj& o) { return o.pReader->ResetT57(); });
}

} // extern "C"
