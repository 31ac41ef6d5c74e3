// TWebCam: opening a device, the capture pipeline, modes, and a camera that comes and goes.

#include "camera/uWebCam.h"

#include "base/uMessages.h"
#include "camera/uWebCamDevices.h"

#include <gst/app/gstappsink.h>
#include <gst/video/video.h>

namespace {

constexpr const char* cUnit = "uWebCam";

QString TakeBusError(GstElement* APipeline) {
    QString sText;
    GstBus* pBus = gst_element_get_bus(APipeline);
    if (GstMessage* pMsg = gst_bus_pop_filtered(pBus, GST_MESSAGE_ERROR)) {
        GError* pErr = nullptr;
        gst_message_parse_error(pMsg, &pErr, nullptr);
        if (pErr) {
            sText = QString::fromUtf8(pErr->message);
            g_error_free(pErr);
        }
        gst_message_unref(pMsg);
    }
    gst_object_unref(pBus);
    return sText;
}

GstFlowReturn OnNewSample(GstAppSink* ASink, gpointer AData) {
    auto* pGrabber = static_cast<TSampleGrabberCb*>(AData);
    GstSample* pSample = gst_app_sink_pull_sample(ASink);
    if (!pSample)
        return GST_FLOW_OK;
    GstVideoInfo oInfo;
    GstBuffer* pBuffer = gst_sample_get_buffer(pSample);
    GstCaps* pCaps = gst_sample_get_caps(pSample);
    if (pBuffer && pCaps && gst_video_info_from_caps(&oInfo, pCaps)) {
        GstVideoFrame oFrame;
        if (gst_video_frame_map(&oFrame, &oInfo, pBuffer, GST_MAP_READ)) {
            pGrabber->SampleTopDownCB(
                static_cast<const std::uint8_t*>(GST_VIDEO_FRAME_PLANE_DATA(&oFrame, 0)),
                GST_VIDEO_FRAME_PLANE_STRIDE(&oFrame, 0), GST_VIDEO_FRAME_WIDTH(&oFrame),
                GST_VIDEO_FRAME_HEIGHT(&oFrame));
            gst_video_frame_unmap(&oFrame);
        }
    }
    gst_sample_unref(pSample);
    return GST_FLOW_OK;
}

} // namespace

// The GStreamer side of an open camera: the device and, while running, the pipeline.
class TWebCamPipeline {
public:
    explicit TWebCamPipeline(TGstDeviceRef ADevice) : m_pDevice(std::move(ADevice)) {}
    ~TWebCamPipeline() { Stop(); }

    // Builds and runs source -> mode filter [-> jpegdec] -> videoconvert -> appsink (BGR).
    void Start(TWebCam& AOwner, const QString& AModeCaps, TSampleGrabberCb* AGrabber) {
        GstCaps* pModeCaps =
            AModeCaps.isEmpty() ? gst_caps_new_any() : gst_caps_from_string(AModeCaps.toUtf8());
        if (!pModeCaps)
            throw EWebCamError(QStringLiteral("The camera mode \"%1\" is not valid").arg(AModeCaps));
        const bool fJpeg = !gst_caps_is_any(pModeCaps) && gst_caps_get_size(pModeCaps) > 0 &&
                           gst_structure_has_name(gst_caps_get_structure(pModeCaps, 0), "image/jpeg");
        m_pPipeline = gst_pipeline_new("TarvoWebCam");
        GstElement* pSource = gst_device_create_element(m_pDevice.get(), "SomeVideoCapture");
        GstElement* pFilter = gst_element_factory_make("capsfilter", "SomeModeFilter");
        GstElement* pDecoder = fJpeg ? gst_element_factory_make("jpegdec", "SomeDecoder") : nullptr;
        GstElement* pConvert = gst_element_factory_make("videoconvert", "SomeConverter");
        GstElement* pSink = gst_element_factory_make("appsink", "SomeGrabber");
        if (!pSource || !pFilter || !pConvert || !pSink || (fJpeg && !pDecoder)) {
            for (GstElement* p : {pSource, pFilter, pDecoder, pConvert, pSink})
                if (p)
                    gst_object_unref(gst_object_ref_sink(p));
            gst_caps_unref(pModeCaps);
            Stop();
            throw EWebCamError(pSource ? QStringLiteral("The GStreamer elements of the capture are missing "
                                                        "(capsfilter, jpegdec, videoconvert, appsink)")
                                       : LoadResString(MSG_CAM_NOT_VIDEO));
        }
        g_object_set(pFilter, "caps", pModeCaps, nullptr);
        gst_caps_unref(pModeCaps);
        GstCaps* pBgr = gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGR", nullptr);
        g_object_set(pSink, "caps", pBgr, "drop", TRUE, "max-buffers", 1u, "sync", FALSE,
                     "enable-last-sample", FALSE, "emit-signals", FALSE, nullptr);
        gst_caps_unref(pBgr);
        GstAppSinkCallbacks oCallbacks{};
        oCallbacks.new_sample = &OnNewSample;
        gst_app_sink_set_callbacks(GST_APP_SINK(pSink), &oCallbacks, AGrabber, nullptr);

        gst_bin_add_many(GST_BIN(m_pPipeline), pSource, pFilter, pConvert, pSink, nullptr);
        if (pDecoder)
            gst_bin_add(GST_BIN(m_pPipeline), pDecoder);
        const bool fLinked = pDecoder
                                 ? gst_element_link_many(pSource, pFilter, pDecoder, pConvert, pSink, nullptr)
                                 : gst_element_link_many(pSource, pFilter, pConvert, pSink, nullptr);
        if (!fLinked) {
            Stop();
            throw EWebCamError(LoadResString(MSG_CAM_MODE_REFUSED));
        }
        GstBus* pBus = gst_element_get_bus(m_pPipeline);
        m_nBusWatch = gst_bus_add_watch(pBus, &TWebCamPipeline::BusCallback, &AOwner);
        gst_object_unref(pBus);

        if (gst_element_set_state(m_pPipeline, GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE ||
            gst_element_get_state(m_pPipeline, nullptr, nullptr, GST_SECOND) == GST_STATE_CHANGE_FAILURE) {
            QString sError = TakeBusError(m_pPipeline);
            Stop();
            throw EWebCamError(sError.isEmpty() ? LoadResString(MSG_CAM_NOT_STARTED)
                                                : FormatResString(MSG_CAM_NOT_STARTED_WHY, {sError}));
        }
        // An error right at the start (a busy device, a mode it refuses) belongs to the caller.
        const QString sError = TakeBusError(m_pPipeline);
        if (!sError.isEmpty()) {
            Stop();
            throw EWebCamError(FormatResString(MSG_CAM_NOT_STARTED_WHY, {sError}));
        }
    }

    // Stops the pipeline; the streaming thread has ended when this returns.
    void Stop() {
        if (!m_pPipeline)
            return;
        if (m_nBusWatch) {
            g_source_remove(m_nBusWatch);
            m_nBusWatch = 0;
        }
        gst_element_set_state(m_pPipeline, GST_STATE_NULL);
        gst_object_unref(m_pPipeline);
        m_pPipeline = nullptr;
    }

    bool Running() const { return m_pPipeline != nullptr; }
    GstDevice* Device() const { return m_pDevice.get(); }

private:
    static gboolean BusCallback(GstBus*, GstMessage* AMsg, gpointer AData) {
        if (GST_MESSAGE_TYPE(AMsg) == GST_MESSAGE_ERROR || GST_MESSAGE_TYPE(AMsg) == GST_MESSAGE_EOS) {
            // The owner stops this pipeline, which removes this watch. An exception must not unwind
            // through GLib's C frames.
            try {
                static_cast<TWebCam*>(AData)->PipelineFailed();
            } catch (const std::exception& E) {
                qWarning("camera: the lost camera's handler failed: %s", E.what());
            } catch (...) {
                qWarning("camera: the lost camera's handler failed");
            }
        }
        return G_SOURCE_CONTINUE;
    }

    TGstDeviceRef m_pDevice;
    GstElement* m_pPipeline = nullptr;
    guint m_nBusWatch = 0;
};

TWebCam::TWebCam() {
    m_nMonitorHook = TWebCamMonitor::Instance().AddHook([this](GstDevice* ADevice, bool AAdded) {
        if (AAdded)
            DeviceAdded(ADevice);
        else
            DeviceRemoved(ADevice);
    });
}

TWebCam::~TWebCam() {
    TWebCamMonitor::Instance().RemoveHook(m_nMonitorHook);
    CloseCamera();
}

bool TWebCam::GetActive() const {
    return m_pPipeline != nullptr;
}

void TWebCam::SetActive(bool AActive) {
    m_fWaitingForCamera = false;
    if (AActive == GetActive())
        return;
    if (AActive)
        OpenCamera();
    else
        CloseCamera();
}

void TWebCam::SetCurrentMode(std::int32_t AMode) {
    if (AMode == m_nCamMode)
        return;
    if (!GetActive()) {
        m_nCamMode = AMode;
        return;
    }
    StopGraph();
    try {
        // An index this device does not have (a mode stored for another camera) counts as -1, as it
        // does at the next open: the camera keeps running instead of closing over a stale setting.
        if (AMode >= 0 && AMode < m_oModes.Count())
            ApplyMode(AMode);
        m_nCamMode = AMode;
        StartGraph();
    } catch (...) {
        CloseCamera();
        throw;
    }
}

bool TWebCam::FindCamera(const QString& AName, void** VDevice) const {
    const auto aDevices = TWebCamMonitor::Instance().Devices();
    // The list's own name first, then a plain display name (the first of its kind), then the
    // "name (path)" form of a device whose name is not shared.
    for (int nPass = 0; nPass < 3; ++nPass) {
        for (const auto& oDev : aDevices) {
            const bool fMatch =
                nPass == 0   ? oDev.m_sName == AName
                : nPass == 1 ? oDev.m_sDisplayName == AName
                             : QStringLiteral("%1 (%2)").arg(oDev.m_sDisplayName, oDev.m_sPath) == AName;
            if (fMatch) {
                *VDevice = gst_object_ref(oDev.m_pDevice.get());
                return true;
            }
        }
    }
    return false;
}

void TWebCam::ReadModes(void* ADevice) {
    m_oModes.Clear();
    GstCaps* pCaps = gst_device_get_caps(GST_DEVICE(ADevice));
    for (const auto& oMode : ModesFromCaps(pCaps))
        m_oModes.Add(oMode);
    if (pCaps)
        gst_caps_unref(pCaps);
}

void TWebCam::ApplyMode(std::int32_t AIdx) {
    if (AIdx < 0 || AIdx >= m_oModes.Count())
        throw EWebCamError(FormatResString(MSG_CAM_NO_MODE, {std::int64_t(AIdx)}));
    const TWebCamMode& oMode = m_oModes.GetItem(AIdx);
    m_nAppliedMode = AIdx;
    m_nWidth = oMode.m_nWidth;
    m_nHeight = oMode.m_nHeight;
}

void TWebCam::OpenCamera() {
    if (m_pPipeline)
        StopGraph();
    void* pFound = nullptr;
    if (!FindCamera(m_sCamera, &pFound))
        return;
    m_pPipeline = std::make_unique<TWebCamPipeline>(AdoptDevice(GST_DEVICE(pFound)));
    try {
        ReadModes(pFound);
        if (m_oModes.Count() == 0)
            throw EWebCamError(
                QStringLiteral("The camera \"%1\" offers no video format this program can read")
                    .arg(m_sCamera));
        // -1 keeps the device's own preference: the first of its formats, as negotiation would pick.
        ApplyMode(m_nCamMode >= 0 && m_nCamMode < m_oModes.Count() ? m_nCamMode : 0);
        if (!m_oGrabber)
            m_oGrabber = std::make_unique<TSampleGrabberCb>();
        StartGraph();
    } catch (...) {
        CloseCamera();
        throw;
    }
}

void TWebCam::CloseCamera() {
    if (m_pPipeline && m_pPipeline->Running())
        StopGraph();
    m_pPipeline.reset();
    m_oGrabber.reset();
}

void TWebCam::StartGraph() {
    TARVO_ASSERT(m_pPipeline && m_oGrabber, cUnit);
    try {
        m_pPipeline->Start(
            *this, m_nAppliedMode < m_oModes.Count() ? m_oModes.GetItem(m_nAppliedMode).m_sCaps : QString(),
            m_oGrabber.get());
    } catch (...) {
        StopGraph();
        throw;
    }
}

void TWebCam::StopGraph() {
    TARVO_ASSERT(m_pPipeline, cUnit);
    m_pPipeline->Stop();
    if (m_oGrabber)
        m_oGrabber->FreeBuffer();
}

bool TWebCam::IsImageAvailable() const {
    TARVO_ASSERT(m_oGrabber, cUnit);
    return m_oGrabber->HasImage();
}

std::int32_t TWebCam::GetImageCounter() const {
    TARVO_ASSERT(m_oGrabber, cUnit);
    return m_oGrabber->ImageCounter();
}

bool TWebCam::GetBitmap(QImage& VImage, std::int32_t* VCounter) {
    TARVO_ASSERT(m_oGrabber, cUnit);
    return m_oGrabber->GetBitmap(VImage, VCounter);
}

bool TWebCam::GrabShot(QImage& VImage, int ATimeoutMs) {
    TARVO_ASSERT(m_oGrabber, cUnit);
    if (!m_oGrabber->WaitForCounterAbove(m_oGrabber->ImageCounter(), ATimeoutMs))
        return false;
    return m_oGrabber->GetBitmap(VImage, nullptr);
}

void TWebCam::PipelineFailed() {
    if (!GetActive())
        return;
    CloseCamera();
    m_fWaitingForCamera = true;
    if (FOnCameraLost)
        FOnCameraLost();
}

void TWebCam::DeviceRemoved(void* ADevice) {
    if (m_pPipeline && m_pPipeline->Device() == ADevice)
        PipelineFailed();
}

void TWebCam::DeviceAdded(void*) {
    if (!m_fWaitingForCamera || GetActive())
        return;
    try {
        OpenCamera();
    } catch (const EWebCamError&) {
        // Not ready yet; the next arrival tries again.
        return;
    }
    if (!GetActive())
        return;
    m_fWaitingForCamera = false;
    if (FOnCameraBack)
        FOnCameraBack();
}

void GetWebCamList(QStringList& AList) {
    AList.clear();
    for (const auto& oDev : TWebCamMonitor::Instance().Devices())
        AList << oDev.m_sName;
}

bool GetWebCamModes(const QString& AName, TWebCamModeList& VModes) {
    VModes.Clear();
    TWebCam oCam;
    void* pFound = nullptr;
    if (!oCam.FindCamera(AName, &pFound))
        return false;
    GstCaps* pCaps = gst_device_get_caps(GST_DEVICE(pFound));
    for (const auto& oMode : ModesFromCaps(pCaps))
        VModes.Add(oMode);
    if (pCaps)
        gst_caps_unref(pCaps);
    gst_object_unref(pFound);
    return true;
}
