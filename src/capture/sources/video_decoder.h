#pragma once
// The decoder of a camera's compressed video (H.264, H.265, MPEG-4), chosen
// here and nowhere else.
//
// Where the machine has VA-API decoders (GStreamer's "va" plugin), they
// decode H.264 and H.265; our libavcodec decoder is the fallback, tried next
// when the hardware one is missing or cannot open, and decodes MPEG-4.
#include <string>
#include <vector>

#include <gst/gst.h>

#include "gst/handles.h"

namespace qmd {

// A bin with a "sink" and a "src" pad that decodes whatever compressed video
// reaches it: once the stream's caps arrive, the first of VideoDecodersFor()
// that opens, for JPEG our JPEG decoder, for anything else decodebin. Not
// decodebin for all: decodebin holds its change to paused open until the
// stream's first data, and a live graph paused before the camera sent any
// (the program resets the detection's memory right after opening a camera,
// and rtspsrc then asks the camera to pause) would wait for it for good.
gst::ElementHandle MakeVideoDecoderBin();

// The decoder factories to try for a stream of these caps, in order, only
// those this machine has; empty for a stream of any other kind.
std::vector<std::string> VideoDecodersFor(const GstCaps* caps);

}  // namespace qmd
