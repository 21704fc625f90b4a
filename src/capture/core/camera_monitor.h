#pragma once
// The system's cameras as they come and go: a started device monitor (class
// "Video/Source") whose bus is read on the GUI thread through its file
// descriptor, without a GLib main loop. Providers watch for devices on
// threads of their own; only their messages reach this thread.
#include <QObject>

#include <memory>

#include "capture/core/moniker.h"
#include "gst/handles.h"

namespace qmd {

class GraphBusReader;

class CameraMonitor : public QObject {
    Q_OBJECT
public:
    explicit CameraMonitor(QObject* parent = nullptr);
    ~CameraMonitor() override;

signals:
    void CameraAdded(const qmd::MonikerFields& camera);
    void CameraRemoved(const qmd::MonikerFields& camera);

private:
    void OnMessage(GstMessage* message);

    gst::DeviceMonitorHandle monitor_;
    std::unique_ptr<GraphBusReader> reader_;
    bool started_ = false;
};

}  // namespace qmd
