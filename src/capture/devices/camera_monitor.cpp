#include "capture/devices/camera_monitor.h"

#include <condition_variable>
#include <mutex>
#include <thread>

#include "capture/graph/capture_log.h"
#include "capture/graph/graph_bus_reader.h"
#include "capture/sources/system_device_source.h"
#include "common/caught_exception.h"
#include "gst/init.h"

namespace qmd {

// What the starting thread hands over; it may outlive the monitor's owner.
struct CameraMonitor::Start {
    std::mutex mutex;
    std::condition_variable ended;
    bool done = false;
    bool started = false;
};

CameraMonitor::CameraMonitor(QObject* parent) : QObject(parent), start_(std::make_shared<Start>())
{
    gst::EnsureInitialized();
    monitor_ = gst::NewDeviceMonitor();
    gst_device_monitor_add_filter(monitor_.get(), kVideoSourceClass, nullptr);
    gst::BusHandle bus{gst_device_monitor_get_bus(monitor_.get())};
    reader_ = std::make_unique<GraphBusReader>(bus.get(), [this](GstMessage* message) { OnMessage(message); });
    MarkDeviceMonitorStarting(monitor_.get());

    std::thread([monitor = gst::NewRef(monitor_.get()), start = start_] {
        bool started = false;
        try {
            started = gst_device_monitor_start(monitor.get());
        } catch (...) {
            qCWarning(lcCapture, "starting the device monitor: %s", CaughtExceptionText().c_str());
        }
        {
            std::lock_guard lock(start->mutex);
            start->done = true;
            start->started = started;
        }
        start->ended.notify_all();
    }).detach();

    {
        std::unique_lock lock(start_->mutex);
        start_->ended.wait_for(lock, kStartBound, [this] { return start_->done; });
    }
    if (TakeStartResult()) return;
    qCWarning(lcCapture, "the device monitor has not started within %lld ms: cameras are listed once it has",
              static_cast<long long>(kStartBound.count()));
    startPoll_.setInterval(200);
    connect(&startPoll_, &QTimer::timeout, this, [this] {
        if (!TakeStartResult()) return;
        startPoll_.stop();
        emit StartedLate();
    });
    startPoll_.start();
}

CameraMonitor::~CameraMonitor()
{
    reader_.reset();
    WithdrawSharedDeviceMonitor(monitor_.get());
    if (started_) gst_device_monitor_stop(monitor_.get());
}

bool CameraMonitor::TakeStartResult()
{
    {
        std::lock_guard lock(start_->mutex);
        if (!start_->done) return false;
        started_ = start_->started;
    }
    if (started_)
        ShareStartedDeviceMonitor(monitor_.get());
    else
        qCWarning(lcCapture, "cameras plugged in or out later go unnoticed: no device monitor starts");
    return true;
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
