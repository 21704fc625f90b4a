#pragma once
// A camera that exists only in this test process: a device provider of class
// Source/Video whose one device offers several media types and produces a
// live test picture in the first of them unless told otherwise.
namespace qmd::testing_support {

inline constexpr const char* kFakeCameraName = "Kamera z wieloma formatami";

// What the fake camera offers, in its order.
inline constexpr const char* kFakeCameraCaps =
    "video/x-raw, format=YUY2, width=640, height=480, framerate=30/1; "
    "video/x-raw, format=YUY2, width=320, height=240, framerate=30/1; "
    "video/x-raw, format=I420, width=1280, height=720, framerate={ 15/1, 10/1 }; "
    "video/x-raw, format=BGR, width=160, height=120, framerate=30/1";

// Registers the provider once per process (initialising GStreamer first).
void RegisterFakeCamera();

}  // namespace qmd::testing_support
