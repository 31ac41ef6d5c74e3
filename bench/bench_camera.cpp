// The webcam's running cost and the photo encoder: CPU of the capture pipeline at 640x480@30 as a
// share of one core (getrusage over a few seconds, target below 5 %), with the fake camera's own
// work (one picture repeated, JPEG-encoded for the MJPEG mode) measured alone and taken off; the JPEG
// encoding of a 640x480 frame at quality 90 (libjpeg-turbo, as the front desk saves photos) beside Qt's JPEG
// writer; the frame conversion.
//
// Needs the fake-camera plugin (built with the tests): run from the build folder as bench/bench_camera.

#include "camera/uWebCam.h"
#include "tests/common/FakeCam.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QImageWriter>
#include <QTimer>

#include <benchmark/benchmark.h>
#include <gst/gst.h>

#include <sys/resource.h>

namespace {

TFakeCamEnv& FakeCams() {
    static TFakeCamEnv* p = [] {
        auto* pEnv = new TFakeCamEnv;
        pEnv->Plug(QStringLiteral("bench"), QStringLiteral("Bench Camera"));
        return pEnv;
    }();
    return *p;
}

double CpuSeconds() {
    rusage oUsage{};
    getrusage(RUSAGE_SELF, &oUsage);
    return static_cast<double>(oUsage.ru_utime.tv_sec + oUsage.ru_stime.tv_sec) +
           static_cast<double>(oUsage.ru_utime.tv_usec + oUsage.ru_stime.tv_usec) / 1e6;
}

// CPU share of one core over ASeconds of wall time, the event loop waiting meanwhile (it runs the
// device monitor's watch, as the front desk's loop does).
double CpuShareFor(double ASeconds) {
    const double dCpu0 = CpuSeconds();
    QElapsedTimer oWall;
    oWall.start();
    QEventLoop oLoop;
    QTimer::singleShot(static_cast<int>(ASeconds * 1000), &oLoop, &QEventLoop::quit);
    oLoop.exec();
    return (CpuSeconds() - dCpu0) / (static_cast<double>(oWall.elapsed()) / 1000.0);
}

constexpr double cSeconds = 4.0;

// The fake camera's own work: the same source bin into a fakesink, no conversion, no copy.
double SourceOnlyShare(const char* ACaps) {
    // The source element needs its device: take it from the device monitor as the camera layer does.
    GstDeviceMonitor* pMonitor = gst_device_monitor_new();
    gst_device_monitor_add_filter(pMonitor, "Video/Source", nullptr);
    GList* pDevices = gst_device_monitor_get_devices(pMonitor);
    double dShare = -1;
    if (pDevices) {
        GstElement* pPipeline = gst_pipeline_new("bench");
        GstElement* pSrc = gst_device_create_element(GST_DEVICE(pDevices->data), "src");
        GstElement* pFilter = gst_element_factory_make("capsfilter", nullptr);
        GstElement* pSink = gst_element_factory_make("fakesink", nullptr);
        GstCaps* pCaps = gst_caps_from_string(ACaps);
        g_object_set(pFilter, "caps", pCaps, nullptr);
        g_object_set(pSink, "sync", FALSE, nullptr);
        gst_caps_unref(pCaps);
        gst_bin_add_many(GST_BIN(pPipeline), pSrc, pFilter, pSink, nullptr);
        gst_element_link_many(pSrc, pFilter, pSink, nullptr);
        gst_element_set_state(pPipeline, GST_STATE_PLAYING);
        gst_element_get_state(pPipeline, nullptr, nullptr, 2 * GST_SECOND);
        dShare = CpuShareFor(cSeconds);
        gst_element_set_state(pPipeline, GST_STATE_NULL);
        gst_object_unref(pPipeline);
    }
    g_list_free_full(pDevices, gst_object_unref);
    gst_object_unref(pMonitor);
    return dShare;
}

void BM_PipelineCpu(benchmark::State& AState, int AMode, const char* ACaps) {
    FakeCams();
    for (auto _ : AState) {
        TWebCam oCam;
        oCam.SetCamera(QStringLiteral("Bench Camera"));
        oCam.SetCurrentMode(AMode);
        oCam.SetActive(true);
        if (!oCam.GetActive()) {
            AState.SkipWithError("the fake camera did not open (is the plugin built?)");
            return;
        }
        const std::int32_t nCount0 = oCam.GetImageCounter();
        const double dTotal = CpuShareFor(cSeconds);
        const double dFps = (oCam.GetImageCounter() - nCount0) / cSeconds;
        oCam.SetActive(false);
        const double dSource = SourceOnlyShare(ACaps);
        AState.counters["total_%core"] = dTotal * 100;
        AState.counters["fakesource_%core"] = dSource * 100;
        AState.counters["capture_%core"] = (dTotal - dSource) * 100;
        AState.counters["fps"] = dFps;
    }
}

QImage BenchFrame() {
    FakeCams();
    TWebCam oCam;
    oCam.SetCamera(QStringLiteral("Bench Camera"));
    oCam.SetCurrentMode(0);
    oCam.SetActive(true);
    QImage oImage;
    if (oCam.GetActive())
        oCam.GrabShot(oImage, 5000);
    return oImage;
}

void BM_JpegLibjpegTurbo(benchmark::State& AState) {
    const QImage oFrame = BenchFrame();
    if (oFrame.isNull()) {
        AState.SkipWithError("no frame");
        return;
    }
    qint64 nBytes = 0;
    for (auto _ : AState) {
        const QByteArray a = EncodeJpeg(oFrame, 90);
        nBytes = a.size();
        benchmark::DoNotOptimize(a.constData());
    }
    AState.counters["bytes"] = static_cast<double>(nBytes);
}

void BM_JpegQImageWriter(benchmark::State& AState) {
    const QImage oFrame = BenchFrame();
    if (oFrame.isNull()) {
        AState.SkipWithError("no frame");
        return;
    }
    qint64 nBytes = 0;
    for (auto _ : AState) {
        QBuffer oBuffer;
        oBuffer.open(QIODevice::WriteOnly);
        QImageWriter oWriter(&oBuffer, "jpeg");
        oWriter.setQuality(90);
        oWriter.write(oFrame);
        nBytes = oBuffer.size();
    }
    AState.counters["bytes"] = static_cast<double>(nBytes);
}

// GetBitmap: the bottom-up BGR frame into a 32-bit image.
void BM_GetBitmap(benchmark::State& AState) {
    TSampleGrabberCb oGrabber;
    std::vector<std::uint8_t> aFrame(static_cast<size_t>(TSampleGrabberCb::RowBytes(640) * 480), 0x80);
    oGrabber.SampleCB(aFrame.data(), static_cast<std::int32_t>(aFrame.size()), 640, 480);
    QImage oImage;
    for (auto _ : AState)
        benchmark::DoNotOptimize(oGrabber.GetBitmap(oImage, nullptr));
}

} // namespace

BENCHMARK_CAPTURE(BM_PipelineCpu, yuy2_640x480_30, 0,
                  "video/x-raw,format=YUY2,width=640,height=480,framerate=30/1")
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK_CAPTURE(BM_PipelineCpu, mjpeg_640x480_30, 1, "image/jpeg,width=640,height=480,framerate=30/1")
    ->Iterations(1)
    ->Unit(benchmark::kSecond);
BENCHMARK(BM_JpegLibjpegTurbo)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JpegQImageWriter)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetBitmap)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    QCoreApplication oApp(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
