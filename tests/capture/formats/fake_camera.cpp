#include "fake_camera.h"

#include <gst/gst.h>

#include "gst/handles.h"

namespace qmd::testing_support {
namespace {

struct FakeCamera {
    GstDevice parent;
};
struct FakeCameraClass {
    GstDeviceClass parentClass;
};

struct FakeCameraProvider {
    GstDeviceProvider parent;
};
struct FakeCameraProviderClass {
    GstDeviceProviderClass parentClass;
};

// The device's element: a live test picture held to the offered caps, so
// that without a choice it negotiates the first of them, as a camera would.
GstElement* CreateCameraElement(GstDevice*, const gchar* name)
{
    GstElement* bin = gst_bin_new(name);
    GstElement* picture = gst_element_factory_make("videotestsrc", nullptr);
    GstElement* offered = gst_element_factory_make("capsfilter", nullptr);
    g_object_set(picture, "is-live", TRUE, nullptr);
    gst_util_set_object_arg(G_OBJECT(picture), "pattern", "ball");
    gst::CapsHandle caps(gst_caps_from_string(kFakeCameraCaps));
    g_object_set(offered, "caps", caps.get(), nullptr);
    gst_bin_add_many(GST_BIN(bin), picture, offered, nullptr);
    gst_element_link(picture, offered);
    gst::PadHandle out(gst_element_get_static_pad(offered, "src"));
    gst_element_add_pad(bin, gst_ghost_pad_new("src", out.get()));
    return bin;
}

GList* ProbeCameras(GstDeviceProvider*);

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-function"
G_DEFINE_TYPE(FakeCamera, fake_camera, GST_TYPE_DEVICE)
G_DEFINE_TYPE(FakeCameraProvider, fake_camera_provider, GST_TYPE_DEVICE_PROVIDER)
#pragma GCC diagnostic pop

void fake_camera_class_init(FakeCameraClass* klass) { GST_DEVICE_CLASS(klass)->create_element = CreateCameraElement; }
void fake_camera_init(FakeCamera*) {}

void fake_camera_provider_class_init(FakeCameraProviderClass* klass)
{
    GstDeviceProviderClass* provider = GST_DEVICE_PROVIDER_CLASS(klass);
    provider->probe = ProbeCameras;
    gst_device_provider_class_set_static_metadata(provider, "Fake camera provider", "Source/Video",
                                                  "A camera for tests", "Quisk Motion Detector");
}
void fake_camera_provider_init(FakeCameraProvider*) {}

GList* ProbeCameras(GstDeviceProvider*)
{
    gst::CapsHandle caps(gst_caps_from_string(kFakeCameraCaps));
    GstDevice* device = GST_DEVICE(g_object_new(fake_camera_get_type(), "display-name", kFakeCameraName, "device-class",
                                                "Video/Source", "caps", caps.get(), nullptr));
    return g_list_append(nullptr, device);
}

gboolean RegisterProvider(GstPlugin* plugin)
{
    return gst_device_provider_register(plugin, "qmdfakecameraprovider", GST_RANK_PRIMARY,
                                        fake_camera_provider_get_type());
}

}  // namespace

void RegisterFakeCamera()
{
    static const bool registered =
        gst_plugin_register_static(GST_VERSION_MAJOR, GST_VERSION_MINOR, "qmdfakecamera", "A camera for tests",
                                   RegisterProvider, "1.0", "LGPL", "qmd-tests", "qmd-tests", "https://localhost/");
    (void)registered;
}

}  // namespace qmd::testing_support
