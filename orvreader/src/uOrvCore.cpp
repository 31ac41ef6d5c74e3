#include "orvreader/src/uOrvCore.h"

#include "orvreader/src/kbd/uOrvKbdBackend.h"
#include "orvreader/src/pcsc/uOrvPcscBackend.h"
#include "orvreader/src/serial/uOrvSerialBackend.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace Orv {

namespace {

std::mutex g_oFactoryLock;
std::vector<TBackendFactory>& Factories() {
    static std::vector<TBackendFactory> s_aFactories;
    return s_aFactories;
}

TOrvP_DD_GLOBAL_SETTINGS DefaultGlobalSettings() {
    TOrvP_DD_GLOBAL_SETTINGS s{};
    s.nComScanMask = 0x0000FFFFu;
    s.nScanPeriod = 1000;
    s.nFtScanMask = 0xFFFFFFFFu;
    s.rWaitSettings.nReplyTimeout = 500;
    s.rWaitSettings.nMaxTries = 3;
    s.rWaitSettings.nCheckPeriod = 100;
    return s;
}

} // namespace

void AddBackendFactory(TBackendFactory AFactory) {
    std::lock_guard<std::mutex> g(g_oFactoryLock);
    Factories().push_back(std::move(AFactory));
}

void ClearBackendFactories() {
    std::lock_guard<std::mutex> g(g_oFactoryLock);
    Factories().clear();
}

void TNotifyTarget::Set(const TOrv_NOTIFY_WINDOW& AWindow, std::uint32_t AMessage) {
    std::lock_guard<std::mutex> g(m_oLock);
    m_rWindow = AWindow;
    m_nMessage = AMessage;
    m_fSet = AWindow.PostMessage != nullptr;
}

void TNotifyTarget::Clear() {
    std::lock_guard<std::mutex> g(m_oLock);
    m_fSet = false;
}

void TNotifyTarget::Post() {
    std::lock_guard<std::mutex> g(m_oLock);
    if (m_fSet)
        m_rWindow.PostMessage(m_rWindow.pContext, m_nMessage);
}

TCore& TCore::Instance() {
    // Never destroyed: a program may end with the library still started.
    static TCore* s_pCore = new TCore;
    return *s_pCore;
}

std::int32_t TCore::Initialize(std::uint32_t /*AFlags*/) {
    std::lock_guard<std::mutex> g(m_oLock);
    if (m_nInitCount > 0) {
        ++m_nInitCount;
        return ORV_OK;
    }
    std::vector<std::unique_ptr<TBackend>> lBackends;
    lBackends.push_back(MakeBusBackend());
    lBackends.push_back(MakePcscBackend());
    lBackends.push_back(MakeSerialBackend());
    lBackends.push_back(MakeKbdBackend());
    {
        std::lock_guard<std::mutex> g2(g_oFactoryLock);
        for (const TBackendFactory& f : Factories())
            if (auto b = f())
                lBackends.push_back(std::move(b));
    }
    for (std::size_t i = 0; i < lBackends.size(); ++i) {
        std::int32_t r = lBackends[i]->Start();
        if (r != ORV_OK) {
            while (i-- > 0)
                lBackends[i]->Stop();
            return r;
        }
    }
    m_aBackends = std::move(lBackends);
    m_rGlobal = DefaultGlobalSettings();
    m_nInitCount = 1;
    return ORV_OK;
}

std::int32_t TCore::Finalyze() {
    std::vector<std::pair<HORV, std::shared_ptr<THandleObj>>> lHandles;
    std::vector<std::unique_ptr<TBackend>> lBackends;
    {
        std::lock_guard<std::mutex> g(m_oLock);
        if (m_nInitCount == 0)
            return ORV_E_NOT_INITIALIZED;
        if (--m_nInitCount > 0)
            return ORV_OK;
        lHandles.swap(m_aHandles);
        lBackends.swap(m_aBackends);
    }
    // Handles still open end with the library, before their backends stop.
    for (auto& [h, obj] : lHandles) {
        std::lock_guard<std::mutex> g(obj->oLock);
        if (obj->nKind == THandleKind::Reader) {
            auto* r = static_cast<TReaderObj*>(obj.get());
            r->pNotify->Clear();
            r->pReader.reset();
        } else if (obj->nKind == THandleKind::Detector) {
            auto* d = static_cast<TDetectorObj*>(obj.get());
            d->pNotify->Clear();
            d->aDetectors.clear();
        }
    }
    lHandles.clear();
    for (auto& b : lBackends)
        b->Stop();
    return ORV_OK;
}

bool TCore::Running() {
    std::lock_guard<std::mutex> g(m_oLock);
    return m_nInitCount > 0;
}

HORV TCore::Add(std::shared_ptr<THandleObj> AObj) {
    std::lock_guard<std::mutex> g(m_oLock);
    HORV h = m_nNextHandle++;
    m_aHandles.emplace_back(h, std::move(AObj));
    return h;
}

std::shared_ptr<THandleObj> TCore::Find(HORV AHandle, THandleKind AKind, std::int32_t& VResult) {
    std::lock_guard<std::mutex> g(m_oLock);
    if (m_nInitCount == 0) {
        VResult = ORV_E_NOT_INITIALIZED;
        return nullptr;
    }
    for (auto& [h, obj] : m_aHandles)
        if (h == AHandle) {
            if (obj->nKind != AKind) {
                VResult = ORV_E_WRONG_HANDLE_KIND;
                return nullptr;
            }
            VResult = ORV_OK;
            return obj;
        }
    VResult = ORV_E_INVALID_HANDLE;
    return nullptr;
}

std::int32_t TCore::Close(HORV AHandle) {
    std::shared_ptr<THandleObj> lObj;
    {
        std::lock_guard<std::mutex> g(m_oLock);
        if (m_nInitCount == 0)
            return ORV_E_NOT_INITIALIZED;
        auto it =
            std::find_if(m_aHandles.begin(), m_aHandles.end(), [&](auto& e) { return e.first == AHandle; });
        if (it == m_aHandles.end())
            return ORV_E_INVALID_HANDLE;
        lObj = std::move(it->second);
        m_aHandles.erase(it);
    }
    std::lock_guard<std::mutex> g(lObj->oLock);
    if (lObj->nKind == THandleKind::Reader) {
        auto* r = static_cast<TReaderObj*>(lObj.get());
        r->pNotify->Clear();
        r->pReader.reset();
    } else if (lObj->nKind == THandleKind::Detector) {
        auto* d = static_cast<TDetectorObj*>(lObj.get());
        d->pNotify->Clear();
        d->aDetectors.clear();
    }
    return ORV_OK;
}

std::vector<TBackend*> TCore::Backends() {
    std::lock_guard<std::mutex> g(m_oLock);
    std::vector<TBackend*> lList;
    for (auto& b : m_aBackends)
        lList.push_back(b.get());
    return lList;
}

std::vector<std::shared_ptr<TDetectorObj>> TCore::Detectors() {
    std::lock_guard<std::mutex> g(m_oLock);
    std::vector<std::shared_ptr<TDetectorObj>> lList;
    for (auto& [h, obj] : m_aHandles)
        if (obj->nKind == THandleKind::Detector)
            lList.push_back(std::static_pointer_cast<TDetectorObj>(obj));
    return lList;
}

TOrvP_DD_GLOBAL_SETTINGS TCore::GlobalSettings() {
    std::lock_guard<std::mutex> g(m_oLock);
    return m_rGlobal;
}

void TCore::SetGlobalSettings(const TOrvP_DD_GLOBAL_SETTINGS& ASettings) {
    std::lock_guard<std::mutex> g(m_oLock);
    m_rGlobal = ASettings;
}

bool ReadText(const TOrv_CHAR* AText, std::size_t AMax, std::u16string& VText) {
    std::u16string lText;
    for (std::size_t i = 0;; ++i) {
        if (AText[i] == 0)
            break;
        if (i >= AMax)
            return false;
        lText += char16_t(AText[i]);
    }
    VText = std::move(lText);
    return true;
}

void CopyText(const std::u16string& AText, TOrv_CHAR* VBuf, std::size_t AMax) {
    if (AMax == 0)
        return;
    std::size_t n = std::min(AText.size(), AMax - 1);
    for (std::size_t i = 0; i < n; ++i)
        VBuf[i] = AText[i];
    VBuf[n] = 0;
}

void FillPortInfo(const TPortDesc& APort, std::uint32_t ADevMask, TOrvP_PORT_INFO& VInfo) {
    std::memset(&VInfo, 0, sizeof VInfo);
    VInfo.nType = APort.nPortType;
    CopyText(APort.sName, VInfo.szName, ORVP_PORT_NAME_MAX);
    CopyText(APort.sFriendly, VInfo.szFriendly, ORVP_PORT_NAME_MAX);
    VInfo.nFlags = APort.fBusy ? ORVP_PF_BUSY : 0;
    if (APort.nRdType != ORVR_RD_UNDEF && (ADevMask == 0 || (ADevMask & ORVP_DEVMASK_READERS))) {
        TOrvP_DEVICE_INFO& d = VInfo.aDevices[VInfo.nDevCount++];
        d.cbSize = sizeof(TOrvP_DEVICE_INFO);
        d.nTypeId = ORVP_DEVTYPE_READER;
        d.nModel = APort.nRdType;
        d.nSn = APort.nSn;
        d.nVersion = APort.nVersion;
    }
}

void FillReaderInfo(const TPortDesc& APort, TOrvR_RD_INFO& VInfo) {
    VInfo.rBase.cbSize = sizeof(TOrvR_RD_INFO);
    VInfo.rBase.nTypeId = ORVP_DEVTYPE_READER;
    VInfo.rBase.nModel = APort.nRdType;
    VInfo.rBase.nSn = APort.nSn;
    VInfo.rBase.nVersion = APort.nVersion;
    VInfo.nType = APort.nRdType;
    if (VInfo.pszLinesBuf && VInfo.nLinesBufMax > 0) {
        std::u16string lLines = u"Port: " + APort.sName + u"\n";
        if (!APort.sFriendly.empty())
            lLines += u"Serial port: " + APort.sFriendly + u"\n";
        std::string lRest = "Type: " + std::to_string(APort.nRdType) + "\nS/N: " + std::to_string(APort.nSn) +
                            "\nVersion: " + std::to_string(APort.nVersion & 0xFF) + "." +
                            std::to_string((APort.nVersion >> 8) & 0xFF) + "." +
                            std::to_string((APort.nVersion >> 16) & 0xFF) + "\n";
        lLines += std::u16string(lRest.begin(), lRest.end());
        CopyText(lLines, VInfo.pszLinesBuf, VInfo.nLinesBufMax);
    }
}

} // namespace Orv
