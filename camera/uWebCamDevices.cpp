// The device monitor and the devices' modes.

#include "camera/uWebCamDevices.h"

#include "camera/uWebCam.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QTimer>

#include <gst/video/video.h>

#include <algorithm>
#include <map>

bool WebCamGstInit() {
    static const bool fOk = [] {
        GError* pErr = nullptr;
        const bool f = gst_init_check(nullptr, nullptr, &pErr);
        if (pErr)
            g_error_free(pErr);
        return f;
    }();
    return fOk;
}

TGstDeviceRef AdoptDevice(GstDevice* ADevice) {
    return TGstDeviceRef(ADevice, [](GstDevice* p) {
        if (p)
            gst_object_unref(p);
    });
}

namespace {

QString DevicePath(GstDevice* ADevice) {
    QString sPath;
    if (GstStructure* pProps = gst_device_get_properties(ADevice)) {
        for (const char* sKey : {"device.path", "api.v4l2.path", "object.path", "device.bus_path"}) {
            if (const gchar* s = gst_structure_get_string(pProps, sKey)) {
                sPath = QString::fromUtf8(s);
                break;
            }
        }
        gst_structure_free(pProps);
    }
    return sPath;
}

} // namespace

TWebCamMonitor& TWebCamMonitor::Instance() {
    // Lives as long as the program: devices may come and go at any time.
    static TWebCamMonitor* p = new TWebCamMonitor;
    return *p;
}

TWebCamMonitor::TWebCamMonitor() {
    if (!WebCamGstInit())
        return;
    m_pMonitor = gst_device_monitor_new();
    gst_device_monitor_add_filter(m_pMonitor, "Video/Source", nullptr);
    GstBus* pBus = gst_device_monitor_get_bus(m_pMonitor);
    // The watch runs on the default GLib main context, which Qt's event loop iterates on Linux.
    gst_bus_add_watch(pBus, &TWebCamMonitor::BusCallback, this);
    gst_object_unref(pBus);
    if (!gst_device_monitor_start(m_pMonitor)) {
        // No provider could start; probing on request still lists what exists.
    }
    // An event loop without GLib (QT_NO_GLIB) does not run the watch: drive the context from a timer.
    if (auto* pApp = QCoreApplication::instance()) {
        auto* pDisp = QAbstractEventDispatcher::instance(pApp->thread());
        if (pDisp && !pDisp->inherits("QEventDispatcherGlib")) {
            auto* pTimer = new QTimer(pApp);
            QObject::connect(pTimer, &QTimer::timeout, [] {
                while (g_main_context_iteration(nullptr, FALSE)) {
                }
            });
            pTimer->start(50);
        }
    }
}

std::vector<TWebCamDevice> TWebCamMonitor::Devices() {
    std::vector<TWebCamDevice> aResult;
    if (!m_pMonitor)
        return aResult;
    GList* pList = gst_device_monitor_get_devices(m_pMonitor);
    for (GList* p = pList; p; p = p->next) {
        auto* pDevice = GST_DEVICE(p->data);
        TWebCamDevice oDev;
        gchar* sName = gst_device_get_display_name(pDevice);
        oDev.m_sDisplayName = QString::fromUtf8(sName ? sName : "");
        g_free(sName);
        oDev.m_sPath = DevicePath(pDevice);
        oDev.m_pDevice = AdoptDevice(pDevice); // takes the list's reference
        aResult.push_back(std::move(oDev));
    }
    g_list_free(pList);
    std::stable_sort(aResult.begin(), aResult.end(), [](const TWebCamDevice& A, const TWebCamDevice& B) {
        if (A.m_sDisplayName != B.m_sDisplayName)
            return A.m_sDisplayName < B.m_sDisplayName;
        return A.m_sPath < B.m_sPath;
    });
    // One camera offered by two providers (the kernel's and PipeWire's) is listed once.
    aResult.erase(std::unique(aResult.begin(), aResult.end(),
                              [](const TWebCamDevice& A, const TWebCamDevice& B) {
                                  return !A.m_sPath.isEmpty() && A.m_sDisplayName == B.m_sDisplayName &&
                                         A.m_sPath == B.m_sPath;
                              }),
                  aResult.end());
    std::map<QString, int> aCount;
    for (const auto& oDev : aResult)
        ++aCount[oDev.m_sDisplayName];
    int nIdx = 0;
    for (auto& oDev : aResult) {
        ++nIdx;
        if (aCount[oDev.m_sDisplayName] < 2)
            oDev.m_sName = oDev.m_sDisplayName;
        else
            oDev.m_sName = QStringLiteral("%1 (%2)").arg(
                oDev.m_sDisplayName, oDev.m_sPath.isEmpty() ? QString::number(nIdx) : oDev.m_sPath);
    }
    return aResult;
}

int TWebCamMonitor::AddHook(std::function<void(GstDevice*, bool)> AHook) {
    const int nId = m_nNextId++;
    m_aHooks.push_back({nId, std::move(AHook)});
    return nId;
}

void TWebCamMonitor::RemoveHook(int AId) {
    std::erase_if(m_aHooks, [AId](const THook& H) { return H.m_nId == AId; });
}

gboolean TWebCamMonitor::BusCallback(GstBus*, GstMessage* AMsg, gpointer AData) {
    auto* pSelf = static_cast<TWebCamMonitor*>(AData);
    GstDevice* pDevice = nullptr;
    switch (GST_MESSAGE_TYPE(AMsg)) {
    case GST_MESSAGE_DEVICE_ADDED:
        gst_message_parse_device_added(AMsg, &pDevice);
        pSelf->Dispatch(pDevice, true);
        break;
    case GST_MESSAGE_DEVICE_REMOVED:
        gst_message_parse_device_removed(AMsg, &pDevice);
        pSelf->Dispatch(pDevice, false);
        break;
    default:
        break;
    }
    if (pDevice)
        gst_object_unref(pDevice);
    return G_SOURCE_CONTINUE;
}

void TWebCamMonitor::Dispatch(GstDevice* ADevice, bool AAdded) {
    // A hook may remove hooks (a camera closed or destroyed in its owner's callback).
    std::vector<int> aIds;
    for (const auto& H : m_aHooks)
        aIds.push_back(H.m_nId);
    for (int nId : aIds) {
        auto it =
            std::find_if(m_aHooks.begin(), m_aHooks.end(), [nId](const THook& H) { return H.m_nId == nId; });
        if (it == m_aHooks.end())
            continue;
        auto fnHook = it->m_fnHook;
        // An exception must not unwind through GLib's C frames.
        try {
            fnHook(ADevice, AAdded);
        } catch (const std::exception& E) {
            qWarning("camera: a device %s handler failed: %s", AAdded ? "arrival" : "removal", E.what());
        } catch (...) {
            qWarning("camera: a device %s handler failed", AAdded ? "arrival" : "removal");
        }
    }
}

int BitsPerPixelOfFormat(const char* AFormat) {
    if (!AFormat)
        return 0;
    const GstVideoFormat eFormat = gst_video_format_from_string(AFormat);
    if (eFormat == GST_VIDEO_FORMAT_UNKNOWN)
        return 0;
    const GstVideoFormatInfo* pInfo = gst_video_format_get_info(eFormat);
    if (!pInfo)
        return 0;
    if (GST_VIDEO_FORMAT_INFO_N_PLANES(pInfo) == 1 && GST_VIDEO_FORMAT_INFO_PSTRIDE(pInfo, 0) > 0)
        return GST_VIDEO_FORMAT_INFO_PSTRIDE(pInfo, 0) * 8;
    // Planar: each component's depth over its subsampled share of the pixels.
    int nBits = 0;
    for (guint i = 0; i < GST_VIDEO_FORMAT_INFO_N_COMPONENTS(pInfo); ++i)
        nBits += GST_VIDEO_FORMAT_INFO_DEPTH(pInfo, i) >>
                 (GST_VIDEO_FORMAT_INFO_W_SUB(pInfo, i) + GST_VIDEO_FORMAT_INFO_H_SUB(pInfo, i));
    return nBits;
}

std::vector<TWebCamMode> ModesFromCaps(const GstCaps* ACaps) {
    std::vector<TWebCamMode> aModes;
    if (!ACaps || gst_caps_is_any(ACaps))
        return aModes;
    const guint nCount = gst_caps_get_size(ACaps);
    for (guint i = 0; i < nCount; ++i) {
        const GstStructure* pStruct = gst_caps_get_structure(ACaps, i);
        GstCapsFeatures* pFeatures = gst_caps_get_features(ACaps, i);
        // Frames in special memory (DMA buffers, GL) are not for this pipeline.
        if (pFeatures && !gst_caps_features_is_any(pFeatures) &&
            !gst_caps_features_is_equal(pFeatures, GST_CAPS_FEATURES_MEMORY_SYSTEM_MEMORY))
            continue;
        const bool fJpeg = gst_structure_has_name(pStruct, "image/jpeg");
        if (!fJpeg && !gst_structure_has_name(pStruct, "video/x-raw"))
            continue;
        GstCaps* pOne = gst_caps_new_empty();
        gst_caps_append_structure(pOne, gst_structure_copy(pStruct));
        GstStructure* pFix = gst_caps_get_structure(pOne, 0);
        if (gst_structure_has_field(pFix, "framerate"))
            gst_structure_fixate_field_nearest_fraction(pFix, "framerate", G_MAXINT, 1);
        gst_structure_fixate_field_nearest_int(pFix, "width", 640);
        gst_structure_fixate_field_nearest_int(pFix, "height", 480);
        pOne = gst_caps_fixate(pOne);
        pFix = gst_caps_get_structure(pOne, 0);
        TWebCamMode oMode;
        int nW = 0, nH = 0, nNum = 0, nDen = 1;
        gst_structure_get_int(pFix, "width", &nW);
        gst_structure_get_int(pFix, "height", &nH);
        if (!gst_structure_get_fraction(pFix, "framerate", &nNum, &nDen))
            nNum = 0;
        oMode.m_nWidth = nW;
        oMode.m_nHeight = nH;
        // Compressed frames are decoded to 24-bit colour.
        oMode.m_nBitCount = fJpeg ? 24 : BitsPerPixelOfFormat(gst_structure_get_string(pFix, "format"));
        oMode.m_nFps = FpsFromTimePerFrame(TimePerFrameFromRate(nNum, nDen));
        gchar* sCaps = gst_caps_to_string(pOne);
        oMode.m_sCaps = QString::fromUtf8(sCaps);
        g_free(sCaps);
        gst_caps_unref(pOne);
        if (nW > 0 && nH > 0)
            aModes.push_back(oMode);
    }
    return aModes;
}
