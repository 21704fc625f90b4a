#pragma once
// A colour converter from a video decoder's YUV 4:2:0 (I420, NV12) into
// 24-bit BGR, byte for byte as libyuv converts it (yuv_frame_to_bgr.h, in
// one pass where libyuv takes two), in the colour matrix and range the
// stream's caps name (BT.601, BT.709, BT.2020; limited or full), as
// videoconvert reads them. Any other format passes through untouched, for a
// videoconvert behind it. Registered as "qmdyuvtobgr".
#include <glib-object.h>

namespace qmd {

inline constexpr const char* kYuvToBgrName = "qmdyuvtobgr";

// The element's type, registered by RegisterOwnElements().
GType YuvToBgrType();

}  // namespace qmd
