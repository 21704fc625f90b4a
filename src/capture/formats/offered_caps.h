#pragma once
// Splitting what a device offers into the media types a user can choose from.
#include <gst/gst.h>

#include <vector>

#include "gst/handles.h"

namespace qmd {

// One fixed caps per pixel format × frame size × frame rate, in the order the
// device lists them: structure by structure, and inside a structure its lists
// of formats, widths, heights and frame rates in their own order (formats
// outermost). A range names no single value; it gives one entry, its value
// nearest to 640×480 at 30 frames per second. Any other field left open is
// fixed the way GStreamer fixes caps (a pixel aspect ratio nearest 1/1).
// Null, empty or ANY caps give no entries.
std::vector<gst::CapsHandle> SplitOfferedCaps(const GstCaps* offered);

}  // namespace qmd
