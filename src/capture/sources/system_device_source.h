#pragma once
// The system's video capture devices, as GStreamer's device monitor lists
// them, and the source element of one of them.
#include <vector>

#include "capture/sources/moniker.h"
#include "gst/handles.h"

namespace qmd {

// A device with what a moniker needs to find it again.
struct SystemDevice {
    VideoSource Fields;
    gst::DeviceHandle Device;
};
// In a stable order. While a started monitor is shared, its list (kept up
// to date by the providers, so reading it waits for no device); otherwise a
// fresh probe.
std::vector<SystemDevice> EnumerateSystemDevices();

// The started monitor that listings use from now on, until it is withdrawn.
// A monitor made and released for one listing would also cut a started one
// off from its providers' news, so none is made while one is shared. While
// it is still starting, listings hold no system device rather than wait.
void MarkDeviceMonitorStarting(GstDeviceMonitor* monitor);
void ShareStartedDeviceMonitor(GstDeviceMonitor* monitor);
void WithdrawSharedDeviceMonitor(GstDeviceMonitor* monitor);

// What a moniker needs to find the device again.
VideoSource SystemDeviceFields(GstDevice* device);

// Whether a device (as a device monitor reports it) is the one the fields
// were taken from: the same node, or, after it was plugged in again under
// another path, the same stable identity (bus, vendor, product, serial).
bool SameSystemDevice(const VideoSource& device, const VideoSource& wanted);

// The device's source element (with the media types it offers), or null when
// no device of those fields (SameSystemDevice) is present now.
gst::ElementHandle CreateSystemDeviceSource(const VideoSource& fields);

}  // namespace qmd
