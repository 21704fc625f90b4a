#include "react/core/sound_pipelines.h"

#include <cmath>
#include <numbers>
#include <sys/stat.h>

namespace qmd {

gst::ElementHandle ParsePipeline(const char* description)
{
    gst::ErrorHandle error;
    GstElement* parsed = gst_parse_launch(description, error.out());
    // The parsed pipeline comes floating: sinking it makes it the one reference we hold.
    gst::ElementHandle pipeline = gst::Sink(parsed);
    if (error) pipeline.reset();
    return pipeline;
}

gst::ElementHandle ChildByName(GstElement* bin, const char* name)
{
    return gst::ElementHandle(gst_bin_get_by_name(GST_BIN(bin), name));
}

std::vector<std::int16_t> SineSamples(int frequencyHz, int durationMs)
{
    const std::size_t count = static_cast<std::size_t>(kSoundSampleRate) * static_cast<std::size_t>(durationMs) / 1000;
    std::vector<std::int16_t> samples(count);
    const double step = 2.0 * std::numbers::pi * frequencyHz / kSoundSampleRate;
    for (std::size_t i = 0; i < count; ++i)
        samples[i] = static_cast<std::int16_t>(std::lround(16000.0 * std::sin(step * static_cast<double>(i))));
    return samples;
}

void StopPipeline(gst::ElementHandle& pipeline)
{
    if (!pipeline) return;
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    pipeline.reset();
}

bool IsRegularFile(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace qmd
