#pragma once
// The built-in test camera: a still background with a moving ball.
#include "gst/handles.h"

namespace qmd {

// The sizes the built-in test source offers; the second is its default.
struct TestSourceSize {
    int Width;
    int Height;
};
inline constexpr TestSourceSize kTestSourceSizes[] = {{320, 240}, {640, 480}, {1280, 720}};
inline constexpr int kTestSourceDefaultSize = 1;
inline constexpr int kTestSourceFramesPerSecond = 30;

// A live source in BGR, carrying the media types it offers and its default format.
gst::ElementHandle CreateTestSource();

}  // namespace qmd
