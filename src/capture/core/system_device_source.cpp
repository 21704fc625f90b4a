#include "capture/core/system_device_source.h"

#include <algorithm>
#include <string>

#include "capture/core/source_caps.h"
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

std::string CharsOrEmpty(gchar* owned)
{
    gst::CharsHandle text{owned};
    return text ? std::string(text.get()) : std::string();
}

}  // namespace

std::vector<SystemDevice> EnumerateSystemDevices()
{
    gst::EnsureInitialized();
    gst::DeviceMonitorHandle monitor{GST_DEVICE_MONITOR(gst_object_ref_sink(gst_device_monitor_new()))};
    gst_device_monitor_add_filter(monitor.get(), "Video/Source", nullptr);
    gst::ObjectListHandle devices{gst_device_monitor_get_devices(monitor.get())};

    std::vector<SystemDevice> found;
    for (GList* item = devices.get(); item; item = item->next) {
        GstDevice* device = GST_DEVICE(item->data);
        SystemDevice entry;
        entry.Fields.Kind = SourceKind::SystemDevice;
        entry.Fields.DisplayName = CharsOrEmpty(gst_device_get_display_name(device));
        entry.Fields.Identity = DeviceIdentity(device);
        entry.Fields.DeviceClass = CharsOrEmpty(gst_device_get_device_class(device));
        entry.Device = gst::NewRef(device);
        found.push_back(std::move(entry));
    }
    // Providers report in no fixed order; the list must not reshuffle
    // between runs, or the remembered position would name another device.
    std::stable_sort(found.begin(), found.end(), [](const SystemDevice& a, const SystemDevice& b) {
        if (a.Fields.Identity != b.Fields.Identity) return a.Fields.Identity < b.Fields.Identity;
        return a.Fields.DisplayName < b.Fields.DisplayName;
    });
    return found;
}

gst::ElementHandle CreateSystemDeviceSource(const MonikerFields& fields)
{
    for (auto& candidate : EnumerateSystemDevices()) {
        if (candidate.Fields.Identity != fields.Identity || candidate.Fields.DisplayName != fields.DisplayName)
            continue;
        GstElement* created = gst_device_create_element(candidate.Device.get(), nullptr);
        if (!created) return {};
        gst::ElementHandle element{GST_ELEMENT(gst_object_ref_sink(created))};
        AttachOfferedCaps(element.get(), gst::CapsHandle{gst_device_get_caps(candidate.Device.get())});
        return element;
    }
    return {};
}

}  // namespace qmd
