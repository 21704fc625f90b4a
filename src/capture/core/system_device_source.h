#pragma once
// The system's video capture devices, as GStreamer's device monitor lists
// them, and the source element of one of them.
#include <vector>

#include "capture/core/moniker.h"
#include "gst/handles.h"

namespace qmd {

// A device with what a moniker needs to find it again.
struct SystemDevice {
    MonikerFields Fields;
    gst::DeviceHandle Device;
};
// In a stable order.
std::vector<SystemDevice> EnumerateSystemDevices();

// The device's source element (with the media types it offers), or null when
// no device of those fields is present now.
gst::ElementHandle CreateSystemDeviceSource(const MonikerFields& fields);

}  // namespace qmd
