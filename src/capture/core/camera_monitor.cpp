#include "capture/core/camera_monitor.h"

#include "capture/core/capture_log.h"
#include "capture/core/graph_bus_reader.h"
#include "capture/core/system_device_source.h"
#include "gst/init.h"

namespace qmd {

CameraMonitor::CameraMonitor(QObject* parent) : QObject(parent)
{
    gst::EnsureInitialized();
    monitor_ = gst::DeviceMonitorHandle{GST_DEVICE_MONITOR(gst_object_ref_sink(gst_device_monitor_new()))};
    gst_device_monitor_add_filter(monitor_.get(), "Video/Source", nullptr);
    gst::BusHandle bus{gst_device_monitor_get_bus(monitor_.get())};
    reader_ = std::make_unique<GraphBusReader>(bus.get(), [this](GstMessage* message) { OnMessage(message); });
    started_ = gst_device_monitor_start(monitor_.get());
    if (started_)
        ShareStartedDeviceMonitor(monitor_.get());
    else
        qCWarning(lcCapture, "cameras plugged in or out later go unnoticed: no device monitor starts");
}

CameraMonitor::~CameraMonitor()
{
    reader_.reset();
    if (!started_) return;
    WithdrawSharedDeviceMonitor(monitor_.get());
    gst_device_monitor_stop(monitor_.get());
}

void CameraMonitor::OnMessage(GstMessage* message)
{
    gst::DeviceHandle device;
    switch (GST_MESSAGE_TYPE(message)) {
    case GST_MESSAGE_DEVICE_ADDED:
        gst_message_parse_device_added(message, device.out());
        if (device) emit CameraAdded(SystemDeviceFields(device.get()));
        return;
    case GST_MESSAGE_DEVICE_REMOVED:
        gst_message_parse_device_removed(message, device.out());
        if (device) emit CameraRemoved(SystemDeviceFields(device.get()));
        return;
    default: return;
    }
}

}  // namespace qmd
