#pragma once
// The source of an MJPEG-over-HTTP camera (http:// or https://).
#include <string>

#include "gst/handles.h"

namespace qmd {

// A bin whose "src" pad gives the camera's JPEG images; null when the
// elements it needs are missing.
gst::ElementHandle CreateHttpCameraSource(const std::string& uri);

}  // namespace qmd
