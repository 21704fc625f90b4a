#include "react/core/gst_audio_output.h"

#include <gst/app/gstappsrc.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "gst/init.h"
#include "react/core/audio_sink.h"
#include "react/core/background_sounds.h"
#include "react/core/sound_pipelines.h"
#include "react/core/sound_theme.h"

namespace qmd {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kExtraWaitMs = 1000;  // beyond the tones' own length, for a slow sink
constexpr int kStopPollMs = 20;     // how often a playing alarm asks whether to stop

// `filesrc ! decodebin ! ... ! sink` on `path`, not started; empty when the
// file is missing or nothing can play it.
gst::ElementHandle FilePlayback(const std::string& path)
{
    if (!IsRegularFile(path)) return {};
    const std::string sink = PlayableAudioSink();
    if (sink.empty()) return {};
    gst::ElementHandle pipeline =
        ParsePipeline(("filesrc name=source ! decodebin ! audioconvert ! audioresample ! " + sink).c_str());
    if (pipeline) g_object_set(ChildByName(pipeline.get(), "source").get(), "location", path.c_str(), nullptr);
    return pipeline;
}

// The samples as one stream, not started: a sound server receives them as a
// single stream, so nothing can fall between them.
static_assert(kSoundSampleRate == 48000, "the caps below name the rate");
gst::ElementHandle SamplePlayback(const std::vector<std::int16_t>& samples)
{
    const std::string sink = PlayableAudioSink();
    if (sink.empty()) return {};
    gst::ElementHandle pipeline = ParsePipeline(
        ("appsrc name=source format=time caps=audio/x-raw,format=S16LE,channels=1,rate=48000,layout=interleaved "
         "! audioconvert ! audioresample ! " +
         sink)
            .c_str());
    if (!pipeline) return {};
    gst::ElementHandle source = ChildByName(pipeline.get(), "source");
    gst::BufferHandle buffer(gst_buffer_new_memdup(samples.data(), samples.size() * sizeof(std::int16_t)));
    GST_BUFFER_PTS(buffer.get()) = 0;
    GST_BUFFER_DURATION(buffer.get()) = gst_util_uint64_scale(samples.size(), GST_SECOND, kSoundSampleRate);
    gst_app_src_push_buffer(GST_APP_SRC(source.get()), buffer.release());  // takes the reference
    gst_app_src_end_of_stream(GST_APP_SRC(source.get()));
    return pipeline;
}

class GstAudioOutput : public AudioOutput {
public:
    GstAudioOutput() { gst::EnsureInitialized(); }

    // The sink keeps its stream until the last sample has been played (its
    // clock is the sound server's or the card's), so the end of the stream
    // comes when the tones have been heard, not when they were handed over.
    void PlayTones(std::span<const Tone> tones, const std::function<bool()>& stop) override
    {
        const auto start = Clock::now();
        std::vector<std::int16_t> samples;
        int totalMs = 0;
        for (const Tone& tone : tones) {
            if (tone.FrequencyHz <= 0 || tone.DurationMs <= 0) continue;
            const auto toneSamples = SineSamples(tone.FrequencyHz, tone.DurationMs);
            samples.insert(samples.end(), toneSamples.begin(), toneSamples.end());
            totalMs += tone.DurationMs;
        }
        if (samples.empty()) return;
        const auto stopped = [&] { return stop && stop(); };
        gst::ElementHandle pipeline = SamplePlayback(samples);
        if (pipeline && gst_element_set_state(pipeline.get(), GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE) {
            gst::BusHandle bus(gst_element_get_bus(pipeline.get()));
            const auto deadline = start + std::chrono::milliseconds(totalMs + kExtraWaitMs);
            while (Clock::now() < deadline && !stopped()) {
                gst::MessageHandle message(
                    gst_bus_timed_pop_filtered(bus.get(), kStopPollMs * GST_MSECOND,
                                               static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)));
                if (message) break;
            }
        }
        StopPipeline(pipeline);
        // Without an audio device the tones still take their time, so the
        // alarm keeps its rhythm.
        const auto end = start + std::chrono::milliseconds(totalMs);
        while (Clock::now() < end && !stopped())
            std::this_thread::sleep_for(
                std::min<Clock::duration>(end - Clock::now(), std::chrono::milliseconds(kStopPollMs)));
    }

    bool PlayWaveFileAsync(const std::string& path) override
    {
        std::lock_guard lock(waveMutex_);  // one check-and-start at a time
        if (sounds_.Playing(BackgroundSounds::Channel::Wave)) return false;
        gst::ElementHandle pipeline = FilePlayback(path);
        if (!pipeline) return false;
        sounds_.Play(BackgroundSounds::Channel::Wave, std::move(pipeline));
        return true;
    }

    void PlayEventSound(const std::string& themeEventName) override
    {
        const std::string file = FindThemeSound(themeEventName);
        if (file.empty()) return;
        sounds_.Play(BackgroundSounds::Channel::Event, FilePlayback(file));
    }

private:
    std::mutex waveMutex_;
    BackgroundSounds sounds_;
};

}  // namespace

std::unique_ptr<AudioOutput> MakeGstAudioOutput() { return std::make_unique<GstAudioOutput>(); }

}  // namespace qmd
