#pragma once
// The system's cameras as they come and go: a started device monitor (class
// "Video/Source") whose bus is read on the GUI thread through its file
// descriptor, without a GLib main loop. Providers watch for devices on
// threads of their own; only their messages reach this thread.
//
// Starting the providers asks every device (and a sound server's video
// nodes), which may take long; it runs on a thread of its own and the GUI
// waits for it at most kStartBound. Until it has started, listings hold no
// system camera; those it finds later are reported as added.
#include <QObject>
#include <QTimer>

#include <chrono>
#include <memory>

#include "capture/sources/moniker.h"
#include "gst/handles.h"

namespace qmd {

class GraphBusReader;

class CameraMonitor : public QObject {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds kStartBound{2000};

    explicit CameraMonitor(QObject* parent = nullptr);
    ~CameraMonitor() override;

signals:
    void CameraAdded(const qmd::VideoSource& camera);
    void CameraRemoved(const qmd::VideoSource& camera);
    // The start ended after the bound: listings hold its cameras from now on.
    void StartedLate();

private:
    struct Start;
    void OnMessage(GstMessage* message);
    // Shares the monitor with listings once its start has ended; true then.
    bool TakeStartResult();

    gst::DeviceMonitorHandle monitor_;
    std::unique_ptr<GraphBusReader> reader_;
    std::shared_ptr<Start> start_;
    QTimer startPoll_;
    bool started_ = false;
};

}  // namespace qmd
