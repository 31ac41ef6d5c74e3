#pragma once
// The video capture devices as GStreamer's device monitor reports them (inside the camera layer
// only). One monitor serves the whole program; it runs on the GUI thread.

#include <QString>

#include <gst/gst.h>

#include <functional>
#include <memory>
#include <vector>

struct TWebCamMode;

// Starts GStreamer once; false when it cannot start (then there are no cameras).
bool WebCamGstInit();

using TGstDeviceRef = std::shared_ptr<GstDevice>;

struct TWebCamDevice {
    TGstDeviceRef m_pDevice;
    QString m_sDisplayName;
    QString m_sPath; // device path or another property that tells two devices apart
    QString m_sName; // the friendly name offered in lists: unique
};

class TWebCamMonitor {
public:
    static TWebCamMonitor& Instance();

    // The "Video/Source" devices sorted by display name and path; display names shared by several
    // devices become "<name> (<path>)".
    std::vector<TWebCamDevice> Devices();

    // AHook(device, added) is called on the GUI thread for each arrival and removal. Returns an id
    // for RemoveHook.
    int AddHook(std::function<void(GstDevice*, bool)> AHook);
    void RemoveHook(int AId);

private:
    TWebCamMonitor();
    static gboolean BusCallback(GstBus* ABus, GstMessage* AMsg, gpointer AData);
    void Dispatch(GstDevice* ADevice, bool AAdded);

    GstDeviceMonitor* m_pMonitor = nullptr;
    struct THook {
        int m_nId;
        std::function<void(GstDevice*, bool)> m_fnHook;
    };
    std::vector<THook> m_aHooks;
    int m_nNextId = 1;
};

TGstDeviceRef AdoptDevice(GstDevice* ADevice);

// The modes of a device's caps that the capture pipeline can read (raw video and MJPEG), each
// fixed to one size, format and its highest frame rate.
std::vector<TWebCamMode> ModesFromCaps(const GstCaps* ACaps);
// Bits per pixel of a raw video format name ("YUY2" 16, "I420" 12, "BGR" 24), 0 when unknown.
int BitsPerPixelOfFormat(const char* AFormat);
