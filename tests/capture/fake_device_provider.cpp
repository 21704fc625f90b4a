#include "capture/fake_device_provider.h"

#include <algorithm>
#include <mutex>

#include "gst/init.h"

namespace qmd::test {
namespace {

std::mutex camerasMutex;
std::vector<FakeCamera> installedCameras;
std::vector<GstDeviceProvider*> startedProviders;  // under camerasMutex

struct QmdFakeDevice {
    GstDevice parent;
    int pattern;
};
struct QmdFakeDeviceClass {
    GstDeviceClass parent_class;
};

G_DEFINE_TYPE(QmdFakeDevice, qmd_fake_device, GST_TYPE_DEVICE)

GstElement* CreateElement(GstDevice* device, const gchar* name)
{
    GstElement* element = gst_element_factory_make("videotestsrc", name);
    if (element) g_object_set(element, "pattern", reinterpret_cast<QmdFakeDevice*>(device)->pattern, nullptr);
    return element;
}

void qmd_fake_device_class_init(QmdFakeDeviceClass* klass) { GST_DEVICE_CLASS(klass)->create_element = CreateElement; }
void qmd_fake_device_init(QmdFakeDevice* device) { device->pattern = 0; }

struct QmdFakeProvider {
    GstDeviceProvider parent;
};
struct QmdFakeProviderClass {
    GstDeviceProviderClass parent_class;
};

G_DEFINE_TYPE(QmdFakeProvider, qmd_fake_provider, GST_TYPE_DEVICE_PROVIDER)

GstDevice* NewDevice(const FakeCamera& camera)
{
    GstCaps* caps = gst_caps_from_string("video/x-raw,format=YUY2,width=640,height=480,framerate=30/1; "
                                         "image/jpeg,width=1280,height=720,framerate=30/1");
    GstStructure* properties =
        gst_structure_new("fake-properties", "device.path", G_TYPE_STRING, camera.Path.c_str(), nullptr);
    if (!camera.Serial.empty()) {
        gst_structure_set(properties, "device.serial", G_TYPE_STRING, camera.Serial.c_str(), "device.bus",
                          G_TYPE_STRING, "usb", "device.product.id", G_TYPE_STRING, "0825", nullptr);
    }
    auto* device = static_cast<QmdFakeDevice*>(g_object_new(qmd_fake_device_get_type(), "display-name",
                                                            camera.Name.c_str(), "device-class", "Video/Source", "caps",
                                                            caps, "properties", properties, nullptr));
    device->pattern = camera.Pattern;
    gst_caps_unref(caps);
    gst_structure_free(properties);
    return GST_DEVICE(device);
}

GList* Probe(GstDeviceProvider*)
{
    std::lock_guard lock(camerasMutex);
    GList* devices = nullptr;
    for (const auto& camera : installedCameras) devices = g_list_append(devices, NewDevice(camera));
    return devices;
}

gboolean Start(GstDeviceProvider* provider)
{
    GList* devices = Probe(provider);
    for (GList* item = devices; item; item = item->next)
        gst_device_provider_device_add(provider, GST_DEVICE(item->data));
    g_list_free(devices);
    std::lock_guard lock(camerasMutex);
    startedProviders.push_back(provider);
    return TRUE;
}

void Stop(GstDeviceProvider* provider)
{
    std::lock_guard lock(camerasMutex);
    startedProviders.erase(std::remove(startedProviders.begin(), startedProviders.end(), provider),
                           startedProviders.end());
}

std::vector<GstDeviceProvider*> StartedProviders()
{
    std::lock_guard lock(camerasMutex);
    return startedProviders;
}

void qmd_fake_provider_class_init(QmdFakeProviderClass* klass)
{
    GST_DEVICE_PROVIDER_CLASS(klass)->probe = Probe;
    GST_DEVICE_PROVIDER_CLASS(klass)->start = Start;
    GST_DEVICE_PROVIDER_CLASS(klass)->stop = Stop;
    gst_device_provider_class_set_static_metadata(GST_DEVICE_PROVIDER_CLASS(klass), "Fake cameras", "Video/Source",
                                                  "Cameras for tests", "Quisk Motion Detector");
}
void qmd_fake_provider_init(QmdFakeProvider*) {}

gboolean RegisterProvider(GstPlugin* plugin)
{
    return gst_device_provider_register(plugin, "qmdfakecameras", GST_RANK_PRIMARY, qmd_fake_provider_get_type());
}

}  // namespace

void InstallFakeCameras(std::vector<FakeCamera> cameras)
{
    gst::EnsureInitialized();
    {
        std::lock_guard lock(camerasMutex);
        installedCameras = std::move(cameras);
    }
    static const bool registered = gst_plugin_register_static(
        GST_VERSION_MAJOR, GST_VERSION_MINOR, "qmdfakecameras", "Cameras for tests", RegisterProvider, "1.0", "LGPL",
        "quisk-motion-detector", "quisk-motion-detector", "https://example.invalid/");
    (void)registered;
}

void UnplugFakeCamera(const std::string& path)
{
    {
        std::lock_guard lock(camerasMutex);
        std::erase_if(installedCameras, [&](const FakeCamera& camera) { return camera.Path == path; });
    }
    for (GstDeviceProvider* provider : StartedProviders()) {
        GList* devices = gst_device_provider_get_devices(provider);
        for (GList* item = devices; item; item = item->next) {
            GstStructure* properties = gst_device_get_properties(GST_DEVICE(item->data));
            const char* devicePath = properties ? gst_structure_get_string(properties, "device.path") : nullptr;
            if (devicePath && path == devicePath) gst_device_provider_device_remove(provider, GST_DEVICE(item->data));
            if (properties) gst_structure_free(properties);
        }
        g_list_free_full(devices, gst_object_unref);
    }
}

void PlugInFakeCamera(const FakeCamera& camera)
{
    {
        std::lock_guard lock(camerasMutex);
        installedCameras.push_back(camera);
    }
    for (GstDeviceProvider* provider : StartedProviders()) gst_device_provider_device_add(provider, NewDevice(camera));
}

}  // namespace qmd::test
