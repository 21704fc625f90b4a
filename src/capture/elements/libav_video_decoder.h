#pragma once
// A video decoder for network cameras' streams (H.264, H.265, MPEG-4 part
// 2) over libavcodec alone. It gives the decoder's own pictures (I420, NV12
// and the like) without copying them where downstream reads GstVideoMeta,
// and skips a picture libavcodec marks as damaged. Registered as
// "qmdlibavdec", chosen only by name.
//
// gst-libav's avdec_h264 decodes with the same library, but its plug-in also
// links libavfilter and libavformat and all they link (speech voices, a
// renderer, codecs by the dozen): about 20 MB more of resident pages in
// every process that opens an rtsp:// camera.
#include <glib-object.h>

namespace qmd {

inline constexpr const char* kLibavDecoderName = "qmdlibavdec";

// The element's type, registered by RegisterOwnElements().
GType LibavDecoderType();

// Whether libavcodec loads, so that the element can open; loads it (once)
// when it has not been yet.
bool LibavDecoderCanOpen();

}  // namespace qmd
