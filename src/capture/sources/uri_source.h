#pragma once
// The source of any other URI GStreamer can read (rtsp:// and the like).
#include <string>

#include "gst/handles.h"

namespace qmd {

// A bin around uridecodebin whose "src" pad gives the first video stream,
// decoded; the end of that stream is reported as an error, as a camera's.
gst::ElementHandle CreateUriSource(const std::string& uri);

}  // namespace qmd
