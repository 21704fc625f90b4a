#pragma once
// Source elements for the three kinds of source a moniker can name.
#include <vector>

#include "capture/core/moniker.h"
#include "gst/handles.h"

namespace qmd {

// The system's video capture devices in a stable order, with what a moniker
// needs to find each again.
struct SystemDevice {
    MonikerFields Fields;
    gst::DeviceHandle Device;
};
std::vector<SystemDevice> EnumerateSystemDevices();

// The sources QUISK_EXTRA_SOURCES names, in its order.
std::vector<MonikerFields> ExtraSourcesFromEnvironment();

// A new source element for fields, or null when it names nothing that exists
// now. The element carries the media types it offers and its default format
// (see OfferedCapsOf and DefaultFormatOf).
gst::ElementHandle CreateSourceElement(const MonikerFields& fields);

// What CreateSourceElement attached: null when the element did not say.
const GstCaps* OfferedCapsOf(GstElement* source);
const GstCaps* DefaultFormatOf(GstElement* source);

// The sizes the built-in test source offers; the second is its default.
struct TestSourceSize {
    int Width;
    int Height;
};
inline constexpr TestSourceSize kTestSourceSizes[] = {{320, 240}, {640, 480}, {1280, 720}};
inline constexpr int kTestSourceDefaultSize = 1;
inline constexpr int kTestSourceFramesPerSecond = 30;

}  // namespace qmd
