#pragma once
// A JPEG decoder element that writes 24-bit BGR straight away (through
// libjpeg-turbo), saving the colour conversion that GStreamer's jpegdec
// needs after it. Registered as "qmdturbojpegdec", ranked above jpegdec so
// that decodebin also picks it for MJPEG streams.
#include <glib-object.h>

namespace qmd {

inline constexpr const char* kTurboJpegDecoderName = "qmdturbojpegdec";

// The libjpeg-turbo flags (TJFLAG_*) the element decodes with.
int TurboJpegDecodeFlags();

// The element's type, registered by RegisterOwnElements().
GType TurboJpegDecoderType();

}  // namespace qmd
