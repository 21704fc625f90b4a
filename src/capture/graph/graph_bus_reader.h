#pragma once
// Reads a pipeline's bus on the thread that owns it (the GUI thread) through
// the bus's file descriptor, without a GLib main loop.
#include <QObject>

#include <functional>
#include <memory>

#include "gst/handles.h"

class QSocketNotifier;

namespace qmd {

class GraphBusReader : public QObject {
    Q_OBJECT
public:
    using Handler = std::function<void(GstMessage*)>;
    GraphBusReader(GstBus* bus, Handler handler);
    ~GraphBusReader() override;

    // Handles every message waiting on the bus now.
    void Drain();
    GstBus* Bus() const { return bus_.get(); }

    // Ends a reader; one that is handling a message right now (whose handler
    // released the graph) stops reading and goes once the handler returns.
    static void Retire(std::unique_ptr<GraphBusReader> reader);

private:
    int drainDepth_ = 0;
    bool retired_ = false;
    gst::BusHandle bus_;
    Handler handler_;
    QSocketNotifier* notifier_ = nullptr;
};

}  // namespace qmd
