#pragma once
// Webcam capture (unit uWebCam) on GStreamer.
//
// TWebCam lists the video capture devices that a GstDeviceMonitor reports as "Video/Source", opens
// one by its friendly name, lists its capture modes and runs a pipeline
//
//   device source -> capsfilter (the chosen mode) [-> jpegdec for MJPEG] -> videoconvert -> BGR
//     -> appsink (drop, one buffer, no sync)
//
// that keeps the latest frame in memory as 24-bit BGR rows, bottom row first, each row padded to a
// multiple of 4 bytes. GetBitmap turns that frame into a 32-bit image on request; nothing is
// converted otherwise.
//
// Threads: frames arrive on GStreamer's streaming thread and are copied into the receiver under its
// lock. Everything else, including device arrival and removal (read from the monitor's bus through
// a watch on the default GLib main context, which Qt's event loop on Linux runs), happens on the GUI
// thread. A camera that vanishes while open leaves the object inactive; FOnCameraLost is called
// once. When a device of the same name comes back, it is opened again in the same mode and
// FOnCameraBack is called.
//
// Names: a device's friendly name is its display name. When two devices share a display name, the
// list shows them as "<name> (<device path>)"; FindCamera accepts that form for any device.

#include "base/uExceptions.h"

#include <QImage>
#include <QMutex>
#include <QString>
#include <QStringList>
#include <QWaitCondition>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// A platform failure while opening a camera or changing its mode; the message says what failed.
class EWebCamError : public Exception {
public:
    using Exception::Exception;
};

// One capture capability of a device.
struct TWebCamMode {
    std::int32_t m_nWidth = 0;
    std::int32_t m_nHeight = 0;
    std::int32_t m_nBitCount = 0; // bits per pixel of the device's format (24 for MJPEG)
    std::int32_t m_nFps = 0;      // round(10000000 / time per frame in 100 ns), 0 for an unknown rate
    // The device caps this mode stands for (fixed: one size, one format, one frame rate), as text.
    QString m_sCaps;
};

// The device's modes in the device's capability order.
class TWebCamModeList {
public:
    int Count() const { return static_cast<int>(m_aItems.size()); }
    // AIdx must be a valid index (EAssertionFailed otherwise).
    const TWebCamMode& GetItem(int AIdx) const;
    TWebCamMode& GetItem(int AIdx);
    void Clear() { m_aItems.clear(); }
    void Add(const TWebCamMode& AMode) { m_aItems.push_back(AMode); }

private:
    std::vector<TWebCamMode> m_aItems;
};

// Frames per second from the average time per frame in 100 ns units: round(10000000 / t) on the
// low 32 bits of t, 0 when t is 0 (333333 gives 30).
std::int32_t FpsFromTimePerFrame(std::int64_t ATimePerFrame);
// The average time per frame in 100 ns units of a frame rate ANum/ADen frames per second (0 when
// the rate is 0 or unknown).
std::int64_t TimePerFrameFromRate(int ANum, int ADen);

// The frame receiver: the latest frame, its size and the count of frames received. Its lifetime is
// owned by TWebCam; the streaming thread only ever calls SampleCB.
class TSampleGrabberCb {
public:
    // Copies ALen bytes of a frame that is already in the receiver's layout (bottom-up BGR rows
    // padded to 4 bytes) of AWidth x AHeight pixels.
    void SampleCB(const std::uint8_t* AData, std::int32_t ALen, std::int32_t AWidth, std::int32_t AHeight);
    // Copies a top-down frame of AHeight rows of AWidth BGR pixels with AStride bytes per row,
    // turning it into the receiver's layout on the way.
    void SampleTopDownCB(const std::uint8_t* ATopRow, std::int32_t AStride, std::int32_t AWidth,
                         std::int32_t AHeight);
    // The buffered variant of the callback: nothing to do.
    void BufferCB() {}

    // Frees the frame buffer (IsImageAvailable is false until the next frame); takes the lock.
    void FreeBuffer();
    bool HasImage() const { return m_fHasImage.load(); }
    std::int32_t ImageCounter() const { return m_nImageCounter.load(); }
    // Waits until the counter exceeds ACounter or AMs milliseconds have passed; true when it did.
    bool WaitForCounterAbove(std::int32_t ACounter, int AMs);
    // Converts the latest frame into a 32-bit image under the lock; VCounter (when given) receives the
    // counter. False, leaving VImage untouched, when there is no frame.
    bool GetBitmap(QImage& VImage, std::int32_t* VCounter);

    // Bytes per row of a frame AWidth pixels wide in the receiver's layout.
    static std::int32_t RowBytes(std::int32_t AWidth) { return (AWidth * 3 + 3) & ~3; }

    std::atomic<std::int32_t> FRefCount{0};

private:
    mutable QMutex m_CS;
    QWaitCondition m_oFrameArrived;
    std::vector<std::uint8_t> m_pBuffer; // empty: no frame
    std::int32_t m_nBufferSize = 0;
    std::int32_t m_nFrameWidth = 0;
    std::int32_t m_nFrameHeight = 0;
    std::atomic<bool> m_fHasImage{false};
    std::atomic<std::int32_t> m_nImageCounter{0};
};

class TWebCamPipeline;

class TWebCam {
public:
    TWebCam();
    ~TWebCam();
    TWebCam(const TWebCam&) = delete;
    TWebCam& operator=(const TWebCam&) = delete;

    // Friendly name of the device to open (takes effect at the next open).
    const QString& GetCamera() const { return m_sCamera; }
    void SetCamera(const QString& AName) { m_sCamera = AName; }

    // The mode index; -1 keeps the device's own first (preferred) format at an open and the format
    // last set while active; an index the device does not have counts as -1. Setting it while active
    // restarts the pipeline in the new mode; while inactive it is only stored.
    std::int32_t GetCurrentMode() const { return m_nCamMode; }
    void SetCurrentMode(std::int32_t AMode);

    // True while a device is open. Setting true opens m_sCamera (quietly stays false when no device
    // has that name; EWebCamError when the device fails to start), false closes it.
    bool GetActive() const;
    void SetActive(bool AActive);

    // The device's modes, filled when the device is opened.
    const TWebCamModeList& GetModeList() const { return m_oModes; }
    std::int32_t GetWidth() const { return m_nWidth; }
    std::int32_t GetHeight() const { return m_nHeight; }

    // A frame has arrived since the pipeline (re)started. Requires an open device.
    bool IsImageAvailable() const;
    // Frames received since the device was opened. Requires an open device.
    std::int32_t GetImageCounter() const;
    // The latest frame as a 32-bit image (QImage::Format_RGB32); VCounter receives the frame count.
    // False, VImage untouched, before the first frame. Requires an open device.
    bool GetBitmap(QImage& VImage, std::int32_t* VCounter = nullptr);

    // Takes one shot now: waits up to ATimeoutMs for a frame newer than the ones seen so far, then
    // converts it. False when none came. Requires an open device. Blocks the calling thread.
    bool GrabShot(QImage& VImage, int ATimeoutMs = 3000);

    // Called on the GUI thread when the open camera vanished (the object is then inactive) and when
    // it came back and was opened again in the same mode.
    std::function<void()> FOnCameraLost;
    std::function<void()> FOnCameraBack;

    // True after the camera vanished while open, until it is back or Active is set.
    bool IsWaitingForCamera() const { return m_fWaitingForCamera; }

private:
    friend class TWebCamPipeline;
    friend bool GetWebCamModes(const QString& AName, TWebCamModeList& VModes);
    void OpenCamera();
    void CloseCamera();
    void StartGraph();
    void StopGraph();
    bool FindCamera(const QString& AName, void** VDevice) const;
    void ReadModes(void* ADevice);
    void ApplyMode(std::int32_t AIdx);
    void DeviceRemoved(void* ADevice);
    void DeviceAdded(void* ADevice);
    void PipelineFailed();

    QString m_sCamera;
    std::int32_t m_nCamMode = -1;
    std::int32_t m_nAppliedMode = 0; // the mode the pipeline runs in (kept when m_nCamMode goes to -1)
    TWebCamModeList m_oModes;
    std::unique_ptr<TWebCamPipeline> m_pPipeline;
    std::unique_ptr<TSampleGrabberCb> m_oGrabber;
    std::int32_t m_nWidth = 0;
    std::int32_t m_nHeight = 0;
    bool m_fWaitingForCamera = false;
    int m_nMonitorHook = 0;
};

// Fills AList with the friendly names of all video capture devices, sorted by name and device path
// for a stable order (the list is cleared first).
void GetWebCamList(QStringList& AList);

// Fills VModes with the modes of the camera named AName without opening it; false (VModes empty)
// when no device has that name.
bool GetWebCamModes(const QString& AName, TWebCamModeList& VModes);

// Encodes AImage as a baseline JPEG (24-bit colour, AQuality 0..100) with libjpeg-turbo.
QByteArray EncodeJpeg(const QImage& AImage, int AQuality = 90);
// Saves AImage as a JPEG of quality 90 under AFileName, written atomically (a failed save leaves no
// partial file). False with VError naming the file and the reason on failure.
bool SaveJpeg(const QImage& AImage, const QString& AFileName, QString* VError = nullptr);
