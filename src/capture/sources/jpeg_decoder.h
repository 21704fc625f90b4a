#pragma once
// The JPEG decoder of the capture graphs, chosen here and nowhere else.
//
// Ours (libjpeg-turbo, straight to 24-bit BGR) is registered ranked above
// GStreamer's jpegdec, so decodebin and uridecodebin pick it as well as the
// chains we link ourselves. Where it cannot be registered, jpegdec stands in
// and a colour conversion has to follow it.
#include "gst/handles.h"

namespace qmd {

// Makes our decoder the one decodebin chooses for JPEG; called before a
// graph is built. False when only jpegdec is available.
bool PreferTurboJpegDecoder();

struct JpegDecoder {
    gst::ElementHandle Element;  // null when no JPEG decoder exists
    bool WritesBgr = false;      // no converter needed after it
};
// A new decoder element for a chain we link ourselves.
JpegDecoder MakeJpegDecoder();

}  // namespace qmd
