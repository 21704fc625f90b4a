#include "capture/sources/test_source.h"

#include <utility>

#include "capture/sources/graph_elements.h"
#include "capture/sources/source_caps.h"

namespace qmd {

namespace {

// Still background and moving ball (ARGB). Each of the ball's blue, green
// and red differs from the background's by more than 105, so the default
// sensitivity sees it move.
constexpr guint kTestBackground = 0xFF303840;  // R 0x30, G 0x38, B 0x40
constexpr guint kTestBall = 0xFFE8E0D8;        // R 0xE8, G 0xE0, B 0xD8

}  // namespace

gst::ElementHandle CreateTestSource()
{
    gst::ElementHandle source = gst::MakeElement("videotestsrc");
    if (!source) return {};
    gst_util_set_object_arg(G_OBJECT(source.get()), "pattern", "ball");
    g_object_set(source.get(), "is-live", TRUE, "background-color", kTestBackground, "foreground-color", kTestBall,
                 nullptr);

    gst::CapsHandle offered{gst_caps_new_empty()};
    for (const auto& size : kTestSourceSizes) {
        gst_caps_append_structure(offered.get(),
                                  gst_structure_new("video/x-raw", "format", G_TYPE_STRING, "BGR", "width", G_TYPE_INT,
                                                    size.Width, "height", G_TYPE_INT, size.Height, "framerate",
                                                    GST_TYPE_FRACTION, kTestSourceFramesPerSecond, 1, nullptr));
    }
    gst::CapsHandle defaultFormat{gst_caps_copy_nth(offered.get(), kTestSourceDefaultSize)};
    AttachOfferedCaps(source.get(), std::move(offered));
    AttachDefaultFormat(source.get(), std::move(defaultFormat));
    return source;
}

}  // namespace qmd
