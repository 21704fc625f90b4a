#include "capture/capture_test_support.h"

#include <QCoreApplication>

#include <gst/app/gstappsrc.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "common/frame_image.h"
#include "gst/handles.h"
#include "gst/init.h"

namespace qmd::test {

bool AllBlack(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if ((image.pixel(x, y) & 0xFFFFFF) != 0) return false;
    return true;
}

std::vector<std::uint8_t> PatternFrame(int width, int height, int index)
{
    const int stride = FrameImage::StrideFor(width);
    std::vector<std::uint8_t> frame(static_cast<std::size_t>(stride) * height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width * 3; ++x)
            frame[static_cast<std::size_t>(y) * stride + x] =
                static_cast<std::uint8_t>((x * 7 + y * 13 + index * 41) & 0xFF);
    return frame;
}

std::vector<std::vector<std::uint8_t>> UniformFrames(int count, int width, int height, std::uint8_t value)
{
    const std::size_t size = static_cast<std::size_t>(FrameImage::StrideFor(width)) * static_cast<std::size_t>(height);
    return std::vector<std::vector<std::uint8_t>>(static_cast<std::size_t>(count),
                                                  std::vector<std::uint8_t>(size, value));
}

void WriteClip(const std::string& path, int width, int height, int fps,
               const std::vector<std::vector<std::uint8_t>>& frames, const std::string& encoding)
{
    gst::EnsureInitialized();
    const std::string description =
        "appsrc name=source format=time ! videoconvert ! " + encoding + " ! filesink location=\"" + path + "\"";
    gst::ErrorHandle error;
    gst::ElementHandle pipeline = gst::Sink(gst_parse_launch(description.c_str(), error.out()));
    ASSERT_TRUE(pipeline) << (error ? error->message : "");
    gst::ElementHandle source{gst_bin_get_by_name(GST_BIN(pipeline.get()), "source")};
    gst::CapsHandle caps{gst_caps_new_simple("video/x-raw", "format", G_TYPE_STRING, "BGR", "width", G_TYPE_INT, width,
                                             "height", G_TYPE_INT, height, "framerate", GST_TYPE_FRACTION, fps, 1,
                                             nullptr)};
    g_object_set(source.get(), "caps", caps.get(), nullptr);
    ASSERT_NE(gst_element_set_state(pipeline.get(), GST_STATE_PLAYING), GST_STATE_CHANGE_FAILURE);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        GstBuffer* buffer = gst_buffer_new_memdup(frames[i].data(), frames[i].size());
        GST_BUFFER_PTS(buffer) = gst_util_uint64_scale(i, GST_SECOND, fps);
        GST_BUFFER_DURATION(buffer) = gst_util_uint64_scale(1, GST_SECOND, fps);
        ASSERT_EQ(gst_app_src_push_buffer(GST_APP_SRC(source.get()), buffer), GST_FLOW_OK);
    }
    gst_app_src_end_of_stream(GST_APP_SRC(source.get()));
    gst::BusHandle bus{gst_element_get_bus(pipeline.get())};
    gst::MessageHandle done{
        gst_bus_timed_pop_filtered(bus.get(), 20 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR))};
    ASSERT_TRUE(done);
    EXPECT_EQ(GST_MESSAGE_TYPE(done.get()), GST_MESSAGE_EOS);
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
}

ScopedEnv::ScopedEnv(const char* name, const std::string& value) : name_(name)
{
    if (const char* old = std::getenv(name)) {
        hadPrevious_ = true;
        previous_ = old;
    }
    setenv(name, value.c_str(), 1);
}

ScopedEnv::~ScopedEnv()
{
    if (hadPrevious_)
        setenv(name_.c_str(), previous_.c_str(), 1);
    else
        unsetenv(name_.c_str());
}

}  // namespace qmd::test
