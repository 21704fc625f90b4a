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

namespace qmd {

// The decoder factories to try for a stream of these caps, in order, only
// those this machine has; empty for a stream of any other kind.
std::vector<std::string> VideoDecodersFor(const GstCaps* caps);

// Makes decodebin try VideoDecodersFor() first and sets up the decoders it
// makes as ConfigureVideoDecoder() does.
void ChooseVideoDecoders(GstElement* decodebin);

// The software decoder decodes on slice threads only: frame threads hold
// back a picture per thread and cost the most CPU in all; a decoder that is
// not libav's is left as it is.
void ConfigureVideoDecoder(GstElement* decoder);

}  // namespace qmd
