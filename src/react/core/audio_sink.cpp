#include "react/core/audio_sink.h"

#include <gst/gst.h>

#include <atomic>

#include "gst/handles.h"
#include "react/core/react_log.h"

namespace qmd {
namespace {

// A sink that reaches READY has opened its server connection or device.
bool SinkOpens(const char* factory)
{
    GstElement* made = gst_element_factory_make(factory, nullptr);
    if (!made) return false;
    gst::ElementHandle sink(GST_ELEMENT(gst_object_ref_sink(made)));
    const bool opened = gst_element_set_state(sink.get(), GST_STATE_READY) == GST_STATE_CHANGE_SUCCESS;
    gst_element_set_state(sink.get(), GST_STATE_NULL);
    return opened;
}

std::atomic<bool> silenceReported{false};

}  // namespace

std::string PlayableAudioSink()
{
    for (const char* factory : {"pulsesink", "alsasink"}) {
        if (SinkOpens(factory)) return factory;
    }
    if (!silenceReported.exchange(true))
        qCWarning(lcReact, "no sound: neither a sound server (pulsesink) nor an ALSA device (alsasink) opens; "
                           "sounds are not played");
    return {};
}

}  // namespace qmd
