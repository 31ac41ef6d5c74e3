// Fake cameras for tests and demos: a GStreamer device provider ("tarvofakecamprovider") whose
// devices are the files <id>.cam in the folder $TARVO_FAKECAM_DIR. A file appearing plugs a camera,
// its removal unplugs it; the folder is polled every 50 ms. The first line of a file is the camera's
// display name; further lines "pattern=<videotestsrc pattern>" choose the picture, "path=<text>" the
// device path (default fakecam:<id>). While a file <id>.paused exists, the camera delivers no frames
// (checked at each frame, so a test that creates it knows that no later frame passes); while
// <id>.broken exists, a running camera posts a read error once and delivers nothing. A line "busy"
// makes every start fail as a camera that another program holds.
//
// Each camera offers fixed modes (raw and MJPEG, see FakeCamCaps) and its element
// ("tarvofakecamsrc") is a bin of videotestsrc (one picture) -> capsfilter -> imagefreeze (live)
// [-> jpegenc] built for the caps that its downstream asks for. After an unplug, a running element posts a
// read error and drops its frames, as a vanished USB camera does; with a line "unplug=silent" in its file its
// frames just stop.

#include <gst/gst.h>

#include <string>

namespace {

const char* const cFakeCamCaps =
    "video/x-raw, format=(string)YUY2, width=(int)640, height=(int)480, "
    "framerate=(fraction)30/1; "
    "image/jpeg, width=(int)640, height=(int)480, framerate=(fraction)30/1; "
    "video/x-raw, format=(string)I420, width=(int)320, height=(int)240, "
    "framerate=(fraction)15/1; "
    "image/jpeg, width=(int)160, height=(int)120, framerate=(fraction){ 10/1, 5/1 }";

GstCaps* FakeCamCaps() {
    return gst_caps_from_string(cFakeCamCaps);
}

} // namespace

// ---- the device ------------------------------------------------------------------------------------

struct TarvoFakeCamDevice {
    GstDevice parent;
    gchar* id;
    gchar* pattern;
    gchar* paused_file;
    gchar* broken_file;
    gboolean silent_unplug;
    gboolean busy;
    gint unplugged;
};
struct TarvoFakeCamDeviceClass {
    GstDeviceClass parent_class;
};

struct TarvoFakeCamSrc {
    GstBin parent;
    GstPad* ghost;
    TarvoFakeCamDevice* device;
    gboolean built;
    gint errored;
};
struct TarvoFakeCamSrcClass {
    GstBinClass parent_class;
};

G_DEFINE_TYPE(TarvoFakeCamDevice, tarvo_fakecam_device, GST_TYPE_DEVICE)
G_DEFINE_TYPE(TarvoFakeCamSrc, tarvo_fakecam_src, GST_TYPE_BIN)

static GstElement* tarvo_fakecam_device_create_element(GstDevice* ADevice, const gchar* AName) {
    auto* pSrc =
        static_cast<TarvoFakeCamSrc*>(g_object_new(tarvo_fakecam_src_get_type(), "name", AName, nullptr));
    pSrc->device = static_cast<TarvoFakeCamDevice*>(gst_object_ref(ADevice));
    return GST_ELEMENT(pSrc);
}

static void tarvo_fakecam_device_finalize(GObject* AObject) {
    auto* pSelf = reinterpret_cast<TarvoFakeCamDevice*>(AObject);
    g_free(pSelf->id);
    g_free(pSelf->pattern);
    g_free(pSelf->paused_file);
    g_free(pSelf->broken_file);
    G_OBJECT_CLASS(tarvo_fakecam_device_parent_class)->finalize(AObject);
}

static void tarvo_fakecam_device_class_init(TarvoFakeCamDeviceClass* AClass) {
    GST_DEVICE_CLASS(AClass)->create_element = tarvo_fakecam_device_create_element;
    G_OBJECT_CLASS(AClass)->finalize = tarvo_fakecam_device_finalize;
}

static void tarvo_fakecam_device_init(TarvoFakeCamDevice*) {}

// ---- the source element -------------------------------------------------------------------------------

static GstStaticPadTemplate s_SrcTemplate =
    GST_STATIC_PAD_TEMPLATE("src", GST_PAD_SRC, GST_PAD_ALWAYS, GST_STATIC_CAPS_ANY);

static GstPadProbeReturn tarvo_fakecam_src_probe(GstPad*, GstPadProbeInfo*, gpointer AData) {
    auto* pSelf = static_cast<TarvoFakeCamSrc*>(AData);
    TarvoFakeCamDevice* pDevice = pSelf->device;
    if (g_atomic_int_get(&pDevice->unplugged)) {
        if (!pDevice->silent_unplug && g_atomic_int_compare_and_exchange(&pSelf->errored, 0, 1))
            GST_ELEMENT_ERROR(pSelf, RESOURCE, READ, ("The camera was unplugged."), (nullptr));
        return GST_PAD_PROBE_DROP;
    }
    if (g_file_test(pDevice->broken_file, G_FILE_TEST_EXISTS)) {
        if (g_atomic_int_compare_and_exchange(&pSelf->errored, 0, 1))
            GST_ELEMENT_ERROR(pSelf, RESOURCE, READ, ("The camera stopped delivering frames."), (nullptr));
        return GST_PAD_PROBE_DROP;
    }
    return g_file_test(pDevice->paused_file, G_FILE_TEST_EXISTS) ? GST_PAD_PROBE_DROP : GST_PAD_PROBE_OK;
}

// Builds the inner chain for the first mode that the downstream accepts.
static gboolean tarvo_fakecam_src_build(TarvoFakeCamSrc* ASelf) {
    if (ASelf->built)
        return TRUE;
    GstCaps* pDevCaps = FakeCamCaps();
    GstCaps* pPeer = gst_pad_peer_query_caps(ASelf->ghost, nullptr);
    GstCaps* pWanted = pPeer ? gst_caps_intersect(pPeer, pDevCaps) : gst_caps_ref(pDevCaps);
    if (pPeer)
        gst_caps_unref(pPeer);
    gst_caps_unref(pDevCaps);
    if (gst_caps_is_empty(pWanted)) {
        gst_caps_unref(pWanted);
        GST_ELEMENT_ERROR(ASelf, CORE, NEGOTIATION, ("The camera has no such mode."), (nullptr));
        return FALSE;
    }
    pWanted = gst_caps_fixate(pWanted);
    const bool fJpeg = gst_structure_has_name(gst_caps_get_structure(pWanted, 0), "image/jpeg");

    GstElement* pTest = gst_element_factory_make("videotestsrc", "fakecamtest");
    GstElement* pFilter = gst_element_factory_make("capsfilter", "fakecamformat");
    GstElement* pFreeze = gst_element_factory_make("imagefreeze", "fakecamfreeze");
    GstElement* pEnc = fJpeg ? gst_element_factory_make("jpegenc", "fakecamjpeg") : nullptr;
    if (!pTest || !pFilter || !pFreeze || (fJpeg && !pEnc)) {
        for (GstElement* p : {pTest, pFilter, pFreeze, pEnc})
            if (p)
                gst_object_unref(gst_object_ref_sink(p));
        gst_caps_unref(pWanted);
        GST_ELEMENT_ERROR(ASelf, CORE, MISSING_PLUGIN, ("videotestsrc, capsfilter or jpegenc is missing."),
                          (nullptr));
        return FALSE;
    }
    // One picture, repeated live at the mode's rate: the fake camera costs next to nothing, so what a
    // measurement sees is the capture's own work.
    g_object_set(pTest, "num-buffers", 1, nullptr);
    g_object_set(pFreeze, "is-live", TRUE, nullptr);
    if (ASelf->device->pattern && *ASelf->device->pattern)
        gst_util_set_object_arg(G_OBJECT(pTest), "pattern", ASelf->device->pattern);
    GstCaps* pRaw = gst_caps_copy(pWanted);
    if (fJpeg) {
        GstStructure* pStruct = gst_caps_get_structure(pRaw, 0);
        gst_structure_set_name(pStruct, "video/x-raw");
        gst_structure_set(pStruct, "format", G_TYPE_STRING, "I420", nullptr);
    }
    g_object_set(pFilter, "caps", pRaw, nullptr);
    gst_caps_unref(pRaw);
    gst_caps_unref(pWanted);

    gst_bin_add_many(GST_BIN(ASelf), pTest, pFilter, pFreeze, nullptr);
    gst_element_link_many(pTest, pFilter, pFreeze, nullptr);
    GstElement* pLast = pFreeze;
    if (pEnc) {
        gst_bin_add(GST_BIN(ASelf), pEnc);
        gst_element_link(pFreeze, pEnc);
        pLast = pEnc;
    }
    GstPad* pTestPad = gst_element_get_static_pad(pFreeze, "src");
    gst_pad_add_probe(pTestPad, GST_PAD_PROBE_TYPE_BUFFER, tarvo_fakecam_src_probe, ASelf, nullptr);
    gst_object_unref(pTestPad);
    GstPad* pOut = gst_element_get_static_pad(pLast, "src");
    gst_ghost_pad_set_target(GST_GHOST_PAD(ASelf->ghost), pOut);
    gst_object_unref(pOut);
    ASelf->built = TRUE;
    return TRUE;
}

static GstStateChangeReturn tarvo_fakecam_src_change_state(GstElement* AElement, GstStateChange ATransition) {
    auto* pSelf = reinterpret_cast<TarvoFakeCamSrc*>(AElement);
    if (ATransition == GST_STATE_CHANGE_NULL_TO_READY) {
        if (!pSelf->device || g_atomic_int_get(&pSelf->device->unplugged)) {
            GST_ELEMENT_ERROR(pSelf, RESOURCE, NOT_FOUND, ("The camera is not plugged in."), (nullptr));
            return GST_STATE_CHANGE_FAILURE;
        }
        if (pSelf->device->busy) {
            GST_ELEMENT_ERROR(pSelf, RESOURCE, BUSY, ("The camera is busy."), (nullptr));
            return GST_STATE_CHANGE_FAILURE;
        }
        if (!tarvo_fakecam_src_build(pSelf))
            return GST_STATE_CHANGE_FAILURE;
    }
    return GST_ELEMENT_CLASS(tarvo_fakecam_src_parent_class)->change_state(AElement, ATransition);
}

static void tarvo_fakecam_src_dispose(GObject* AObject) {
    auto* pSelf = reinterpret_cast<TarvoFakeCamSrc*>(AObject);
    if (pSelf->device) {
        gst_object_unref(pSelf->device);
        pSelf->device = nullptr;
    }
    G_OBJECT_CLASS(tarvo_fakecam_src_parent_class)->dispose(AObject);
}

static void tarvo_fakecam_src_class_init(TarvoFakeCamSrcClass* AClass) {
    auto* pElementClass = GST_ELEMENT_CLASS(AClass);
    gst_element_class_add_static_pad_template(pElementClass, &s_SrcTemplate);
    gst_element_class_set_static_metadata(pElementClass, "Tarvo fake camera", "Source/Video",
                                          "A test camera backed by videotestsrc", "Tarvo");
    pElementClass->change_state = tarvo_fakecam_src_change_state;
    G_OBJECT_CLASS(AClass)->dispose = tarvo_fakecam_src_dispose;
}

static void tarvo_fakecam_src_init(TarvoFakeCamSrc* ASelf) {
    GstPadTemplate* pTempl = gst_static_pad_template_get(&s_SrcTemplate);
    ASelf->ghost = gst_ghost_pad_new_no_target_from_template("src", pTempl);
    gst_object_unref(pTempl);
    gst_element_add_pad(GST_ELEMENT(ASelf), ASelf->ghost);
}

// ---- the provider -------------------------------------------------------------------------------------

struct TarvoFakeCamProvider {
    GstDeviceProvider parent;
    gchar* dir;
    GThread* thread;
    gint stopping;
    GHashTable* known; // id -> TarvoFakeCamDevice*, touched by the polling thread only while it runs
};
struct TarvoFakeCamProviderClass {
    GstDeviceProviderClass parent_class;
};

G_DEFINE_TYPE(TarvoFakeCamProvider, tarvo_fakecam_provider, GST_TYPE_DEVICE_PROVIDER)

static GstDevice* tarvo_fakecam_make_device(const gchar* ADir, const gchar* AId) {
    gchar* sFile = g_strdup_printf("%s/%s.cam", ADir, AId);
    gchar* sText = nullptr;
    const gboolean fRead = g_file_get_contents(sFile, &sText, nullptr, nullptr);
    g_free(sFile);
    if (!fRead)
        return nullptr;
    std::string sName = "Tarvo Test Camera";
    std::string sPattern;
    bool fSilent = false;
    bool fBusy = false;
    std::string sDevicePath = std::string("fakecam:") + AId;
    gchar** aLines = g_strsplit(sText, "\n", -1);
    for (int i = 0; aLines[i]; ++i) {
        g_strstrip(aLines[i]);
        if (i == 0 && *aLines[i])
            sName = aLines[i];
        else if (g_str_has_prefix(aLines[i], "pattern="))
            sPattern = aLines[i] + 8;
        else if (g_str_has_prefix(aLines[i], "path="))
            sDevicePath = aLines[i] + 5;
        else if (g_str_equal(aLines[i], "unplug=silent"))
            fSilent = true;
        else if (g_str_equal(aLines[i], "busy"))
            fBusy = true;
    }
    g_strfreev(aLines);
    g_free(sText);
    GstStructure* pProps =
        gst_structure_new("tarvo-fakecam", "device.path", G_TYPE_STRING, sDevicePath.c_str(), nullptr);
    GstCaps* pCaps = FakeCamCaps();
    auto* pDevice = static_cast<TarvoFakeCamDevice*>(
        g_object_new(tarvo_fakecam_device_get_type(), "display-name", sName.c_str(), "caps", pCaps,
                     "device-class", "Video/Source", "properties", pProps, nullptr));
    gst_caps_unref(pCaps);
    gst_structure_free(pProps);
    pDevice->id = g_strdup(AId);
    pDevice->pattern = g_strdup(sPattern.c_str());
    pDevice->silent_unplug = fSilent;
    pDevice->busy = fBusy;
    pDevice->broken_file = g_strdup_printf("%s/%s.broken", ADir, AId);
    pDevice->paused_file = g_strdup_printf("%s/%s.paused", ADir, AId);
    return GST_DEVICE(pDevice);
}

// The ids of the cameras plugged now, sorted.
static GList* tarvo_fakecam_scan(const gchar* ADir) {
    GList* pIds = nullptr;
    if (!ADir)
        return pIds;
    GDir* pDir = g_dir_open(ADir, 0, nullptr);
    if (!pDir)
        return pIds;
    while (const gchar* sName = g_dir_read_name(pDir)) {
        if (g_str_has_suffix(sName, ".cam") && strlen(sName) > 4)
            pIds = g_list_prepend(pIds, g_strndup(sName, strlen(sName) - 4));
    }
    g_dir_close(pDir);
    return g_list_sort(pIds, reinterpret_cast<GCompareFunc>(g_strcmp0));
}

static GList* tarvo_fakecam_provider_probe(GstDeviceProvider* AProvider) {
    auto* pSelf = reinterpret_cast<TarvoFakeCamProvider*>(AProvider);
    GList* pDevices = nullptr;
    GList* pIds = tarvo_fakecam_scan(pSelf->dir);
    for (GList* p = pIds; p; p = p->next) {
        if (GstDevice* pDevice = tarvo_fakecam_make_device(pSelf->dir, static_cast<gchar*>(p->data)))
            pDevices = g_list_append(pDevices, gst_object_ref_sink(pDevice));
    }
    g_list_free_full(pIds, g_free);
    return pDevices;
}

static void tarvo_fakecam_provider_poll_once(TarvoFakeCamProvider* ASelf) {
    GList* pIds = tarvo_fakecam_scan(ASelf->dir);
    // Unplugged: known ids no longer in the folder.
    GHashTableIter oIter;
    gpointer pKey, pValue;
    g_hash_table_iter_init(&oIter, ASelf->known);
    while (g_hash_table_iter_next(&oIter, &pKey, &pValue)) {
        if (g_list_find_custom(pIds, pKey, reinterpret_cast<GCompareFunc>(g_strcmp0)))
            continue;
        auto* pDevice = static_cast<TarvoFakeCamDevice*>(pValue);
        g_atomic_int_set(&pDevice->unplugged, 1);
        gst_device_provider_device_remove(GST_DEVICE_PROVIDER(ASelf), GST_DEVICE(pDevice));
        g_hash_table_iter_remove(&oIter);
    }
    // Plugged: ids new in the folder.
    for (GList* p = pIds; p; p = p->next) {
        auto* sId = static_cast<gchar*>(p->data);
        if (g_hash_table_contains(ASelf->known, sId))
            continue;
        GstDevice* pDevice = tarvo_fakecam_make_device(ASelf->dir, sId);
        if (!pDevice)
            continue;
        g_hash_table_insert(ASelf->known, g_strdup(sId), gst_object_ref_sink(pDevice));
        gst_device_provider_device_add(GST_DEVICE_PROVIDER(ASelf), pDevice);
    }
    g_list_free_full(pIds, g_free);
}

static gpointer tarvo_fakecam_provider_thread(gpointer AData) {
    auto* pSelf = static_cast<TarvoFakeCamProvider*>(AData);
    while (!g_atomic_int_get(&pSelf->stopping)) {
        g_usleep(50 * 1000);
        tarvo_fakecam_provider_poll_once(pSelf);
    }
    return nullptr;
}

static gboolean tarvo_fakecam_provider_start(GstDeviceProvider* AProvider) {
    auto* pSelf = reinterpret_cast<TarvoFakeCamProvider*>(AProvider);
    // The cameras present at the start are there at once, before the first poll.
    tarvo_fakecam_provider_poll_once(pSelf);
    g_atomic_int_set(&pSelf->stopping, 0);
    pSelf->thread = g_thread_new("tarvofakecam", tarvo_fakecam_provider_thread, pSelf);
    return TRUE;
}

static void tarvo_fakecam_provider_stop(GstDeviceProvider* AProvider) {
    auto* pSelf = reinterpret_cast<TarvoFakeCamProvider*>(AProvider);
    if (pSelf->thread) {
        g_atomic_int_set(&pSelf->stopping, 1);
        g_thread_join(pSelf->thread);
        pSelf->thread = nullptr;
    }
    g_hash_table_remove_all(pSelf->known);
}

static void tarvo_fakecam_provider_finalize(GObject* AObject) {
    auto* pSelf = reinterpret_cast<TarvoFakeCamProvider*>(AObject);
    g_hash_table_destroy(pSelf->known);
    g_free(pSelf->dir);
    G_OBJECT_CLASS(tarvo_fakecam_provider_parent_class)->finalize(AObject);
}

static void tarvo_fakecam_provider_class_init(TarvoFakeCamProviderClass* AClass) {
    auto* pProviderClass = GST_DEVICE_PROVIDER_CLASS(AClass);
    pProviderClass->probe = tarvo_fakecam_provider_probe;
    pProviderClass->start = tarvo_fakecam_provider_start;
    pProviderClass->stop = tarvo_fakecam_provider_stop;
    G_OBJECT_CLASS(AClass)->finalize = tarvo_fakecam_provider_finalize;
    gst_device_provider_class_set_static_metadata(
        pProviderClass, "Tarvo fake camera provider", "Source/Video",
        "Test cameras plugged by files in $TARVO_FAKECAM_DIR", "Tarvo");
}

static void tarvo_fakecam_provider_init(TarvoFakeCamProvider* ASelf) {
    const gchar* sDir = g_getenv("TARVO_FAKECAM_DIR");
    ASelf->dir = sDir && *sDir ? g_strdup(sDir) : nullptr;
    ASelf->known = g_hash_table_new_full(g_str_hash, g_str_equal, g_free, gst_object_unref);
}

static gboolean plugin_init(GstPlugin* APlugin) {
    return gst_device_provider_register(APlugin, "tarvofakecamprovider", GST_RANK_PRIMARY,
                                        tarvo_fakecam_provider_get_type()) &&
           gst_element_register(APlugin, "tarvofakecamsrc", GST_RANK_NONE, tarvo_fakecam_src_get_type());
}

#define PACKAGE "tarvo"
GST_PLUGIN_DEFINE(GST_VERSION_MAJOR, GST_VERSION_MINOR, tarvofakecam, "Fake cameras for the Tarvo tests",
                  plugin_init, "1.0", "LGPL", "tarvo", "https://tarvo.invalid/")
