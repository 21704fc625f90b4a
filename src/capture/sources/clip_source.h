#pragma once
// The source of a local video clip (a file: URI).
#include <string>

#include "gst/handles.h"

namespace qmd {

// A bin that reads, demuxes and decodes the clip on one streaming thread;
// its "src" pad gives raw frames of the clip's first video stream. Null when
// the URI cannot be read.
gst::ElementHandle CreateClipSource(const std::string& uri);

}  // namespace qmd
