#include "capture/graph/graph_bus_reader.h"

#include <QSocketNotifier>

#include "capture/graph/capture_log.h"
#include "common/caught_exception.h"

namespace qmd {

GraphBusReader::GraphBusReader(GstBus* bus, Handler handler) : bus_(gst::NewRef(bus)), handler_(std::move(handler))
{
    GPollFD pollFd{};
    gst_bus_get_pollfd(bus_.get(), &pollFd);
    notifier_ = new QSocketNotifier(pollFd.fd, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, [this] { Drain(); });
}

GraphBusReader::~GraphBusReader()
{
    notifier_->setEnabled(false);
    gst_bus_set_flushing(bus_.get(), TRUE);
}

void GraphBusReader::Retire(std::unique_ptr<GraphBusReader> reader)
{
    if (!reader || reader->drainDepth_ == 0) return;
    reader->retired_ = true;
    reader->notifier_->setEnabled(false);
    gst_bus_set_flushing(reader->bus_.get(), TRUE);
    reader.release()->deleteLater();
}

void GraphBusReader::Drain()
{
    ++drainDepth_;
    struct DepthGuard {
        int& depth;
        ~DepthGuard() { --depth; }
    } guard{drainDepth_};
    // Popping a message also consumes its wake-up on the descriptor.
    while (!retired_) {
        gst::MessageHandle message{gst_bus_pop(bus_.get())};
        if (!message) break;
        try {
            handler_(message.get());
        } catch (...) {
            // A slot that throws must not unwind into Qt's event dispatch.
            qCWarning(lcCapture, "graph event: %s", CaughtExceptionText().c_str());
        }
    }
}

}  // namespace qmd
