#pragma once
// The decoder of a camera's compressed video (H.264, H.265), chosen here and
// nowhere else.
//
// Where the machine has VA-API decoders (GStreamer's "va" plugin), they
// decode; GStreamer's software decoders (libav) are the fallback, tried next
// when the hardware one is missing or cannot open.
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

// The software decoder decodes on slice threads only: frame threads hold
// back a picture per thread and cost the most CPU in all; a decoder that is
// not libav's is left as it is.
void ConfigureVideoDecoder(GstElement* decoder);

}  // namespace qmd
