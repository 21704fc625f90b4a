#include "capture/sources/system_device_source.h"

#include <algorithm>
#include <mutex>
#include <string>

#include "capture/sources/source_caps.h"
#include "gst/init.h"

namespace qmd {

namespace {

// A device is recognised again by its provider and its identifying property
// (the device node), not by volatile ones such as serial numbers of a session.
std::string DeviceIdentity(GstDevice* device)
{
    std::string identity = G_OBJECT_TYPE_NAME(device);
    gst::StructureHandle properties{gst_device_get_properties(device)};
    if (!properties) return identity;
    for (const char* key : {"device.path", "api.v4l2.path", "object.path", "device.bus_path"}) {
        if (const char* value = gst_structure_get_string(properties.get(), key))
            return identity + "|" + key + "=" + value;
    }
    gst::CharsHandle text{gst_structure_to_string(properties.get())};
    return identity + "|" + text.get();
}

// What stays when a camera is plugged in again, perhaps into another port
// and under another node: its bus, maker, model and serial number. Without a
// serial number two cameras of one model could not be told apart, so such a
// camera has none and is known by its node only.
std::string StableDeviceIdentity(GstDevice* device)
{
    gst::StructureHandle properties{gst_device_get_properties(device)};
    if (!properties || !gst_structure_get_string(properties.get(), "device.serial")) return {};
    std::string identity = G_OBJECT_TYPE_NAME(device);
    for (const char* key : {"device.bus", "device.vendor.id", "device.product.id", "device.serial"}) {
        const char* value = gst_structure_get_string(properties.get(), key);
        identity += std::string("|") + key + "=" + (value ? value : "");
    }
    return identity;
}

std::string CharsOrEmpty(gchar* owned)
{
    gst::CharsHandle text{owned};
    return text ? std::string(text.get()) : std::string();
}

std::mutex sharedMonitorMutex;
gst::DeviceMonitorHandle sharedMonitor;  // under sharedMonitorMutex
bool sharedMonitorStarted = false;       // under sharedMonitorMutex

// The monitor to list with; null while the shared one is still starting.
gst::DeviceMonitorHandle ListingMonitor()
{
    {
        std::lock_guard lock(sharedMonitorMutex);
        if (sharedMonitor) return sharedMonitorStarted ? gst::NewRef(sharedMonitor.get()) : gst::DeviceMonitorHandle{};
    }
    gst::DeviceMonitorHandle monitor = gst::NewDeviceMonitor();
    gst_device_monitor_add_filter(monitor.get(), kVideoSourceClass, nullptr);
    return monitor;
}

}  // namespace

void MarkDeviceMonitorStarting(GstDeviceMonitor* monitor)
{
    std::lock_guard lock(sharedMonitorMutex);
    sharedMonitor = gst::NewRef(monitor);
    sharedMonitorStarted = false;
}

void ShareStartedDeviceMonitor(GstDeviceMonitor* monitor)
{
    std::lock_guard lock(sharedMonitorMutex);
    sharedMonitor = gst::NewRef(monitor);
    sharedMonitorStarted = true;
}

void WithdrawSharedDeviceMonitor(GstDeviceMonitor* monitor)
{
    std::lock_guard lock(sharedMonitorMutex);
    if (sharedMonitor.get() != monitor) return;
    sharedMonitor.reset();
    sharedMonitorStarted = false;
}

std::vector<SystemDevice> EnumerateSystemDevices()
{
    gst::EnsureInitialized();
    const gst::DeviceMonitorHandle monitor = ListingMonitor();
    if (!monitor) return {};
    gst::ObjectListHandle devices{gst_device_monitor_get_devices(monitor.get())};

    std::vector<SystemDevice> found;
    for (GList* item = devices.get(); item; item = item->next) {
        GstDevice* device = GST_DEVICE(item->data);
        found.push_back(SystemDevice{SystemDeviceFields(device), gst::NewRef(device)});
    }
    // Providers report in no fixed order; the list must not reshuffle
    // between runs, or the remembered position would name another device.
    std::stable_sort(found.begin(), found.end(), [](const SystemDevice& a, const SystemDevice& b) {
        if (a.Fields.Identity != b.Fields.Identity) return a.Fields.Identity < b.Fields.Identity;
        return a.Fields.DisplayName < b.Fields.DisplayName;
    });
    return found;
}

VideoSource SystemDeviceFields(GstDevice* device)
{
    VideoSource fields;
    fields.Kind = SourceKind::SystemDevice;
    fields.DisplayName = CharsOrEmpty(gst_device_get_display_name(device));
    fields.Identity = DeviceIdentity(device);
    fields.DeviceClass = CharsOrEmpty(gst_device_get_device_class(device));
    fields.StableIdentity = StableDeviceIdentity(device);
    return fields;
}

bool SameSystemDevice(const VideoSource& device, const VideoSource& wanted)
{
    if (device.Kind != SourceKind::SystemDevice || wanted.Kind != SourceKind::SystemDevice) return false;
    if (device.Identity == wanted.Identity && device.DisplayName == wanted.DisplayName) return true;
    return !wanted.StableIdentity.empty() && device.StableIdentity == wanted.StableIdentity;
}

gst::ElementHandle CreateSystemDeviceSource(const VideoSource& fields)
{
    auto candidates = EnumerateSystemDevices();
    // The very node first: a camera with a serial number may be listed twice
    // for a moment while it is plugged in again.
    std::stable_partition(candidates.begin(), candidates.end(),
                          [&](const SystemDevice& candidate) { return candidate.Fields.Identity == fields.Identity; });
    for (auto& candidate : candidates) {
        if (!SameSystemDevice(candidate.Fields, fields)) continue;
        GstElement* created = gst_device_create_element(candidate.Device.get(), nullptr);
        if (!created) return {};
        gst::ElementHandle element = gst::Sink(created);
        AttachOfferedCaps(element.get(), gst::CapsHandle{gst_device_get_caps(candidate.Device.get())});
        return element;
    }
    return {};
}

}  // namespace qmd
