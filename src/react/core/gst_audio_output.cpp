#include "react/core/gst_audio_output.h"

#include <gst/app/gstappsink.h>
#include <gst/app/gstappsrc.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <numbers>
#include <sys/stat.h>
#include <thread>
#include <vector>

#include "gst/handles.h"
#include "gst/init.h"
#include "react/core/background_sounds.h"

namespace qmd {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kExtraWaitMs = 1000;     // beyond the tones' own length, for a slow sink
constexpr int kStopPollMs = 20;        // how often a playing alarm asks whether to stop
constexpr int kDecodeLimitMs = 30000;  // a sound file longer to decode than this is not played

bool FileExists(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

gst::ElementHandle Parse(const char* description)
{
    gst::ErrorHandle error;
    GstElement* parsed = gst_parse_launch(description, error.out());
    // The parsed pipeline comes floating: sinking it makes it the one reference we hold.
    gst::ElementHandle pipeline(parsed ? GST_ELEMENT(gst_object_ref_sink(parsed)) : nullptr);
    if (error) pipeline.reset();
    return pipeline;
}

gst::ElementHandle ChildByName(GstElement* bin, const char* name)
{
    return gst::ElementHandle(gst_bin_get_by_name(GST_BIN(bin), name));
}

std::vector<std::int16_t> SineSamples(int frequencyHz, int durationMs)
{
    const std::size_t count = static_cast<std::size_t>(kWaveFileRate) * static_cast<std::size_t>(durationMs) / 1000;
    std::vector<std::int16_t> samples(count);
    const double step = 2.0 * std::numbers::pi * frequencyHz / kWaveFileRate;
    for (std::size_t i = 0; i < count; ++i)
        samples[i] = static_cast<std::int16_t>(std::lround(16000.0 * std::sin(step * static_cast<double>(i))));
    return samples;
}

void Stop(gst::ElementHandle& pipeline)
{
    if (!pipeline) return;
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    pipeline.reset();
}

// `filesrc ! decodebin ! ... ! autoaudiosink` on `path`, not started; empty
// when the file is missing.
gst::ElementHandle FilePlayback(const std::string& path)
{
    if (!FileExists(path)) return {};
    gst::ElementHandle pipeline = Parse(
        "filesrc name=source ! decodebin ! audioconvert ! audioresample ! autoaudiosink");
    if (pipeline) g_object_set(ChildByName(pipeline.get(), "source").get(), "location", path.c_str(), nullptr);
    return pipeline;
}

// The samples as one stream, not started: a sound server receives them as a
// single stream, so nothing can fall between them.
static_assert(kWaveFileRate == 48000, "the caps below name the rate");
gst::ElementHandle SamplePlayback(const std::vector<std::int16_t>& samples)
{
    gst::ElementHandle pipeline = Parse(
        "appsrc name=source format=time caps=audio/x-raw,format=S16LE,channels=1,rate=48000,layout=interleaved "
        "! audioconvert ! audioresample ! autoaudiosink");
    if (!pipeline) return {};
    gst::ElementHandle source = ChildByName(pipeline.get(), "source");
    gst::BufferHandle buffer(gst_buffer_new_memdup(samples.data(), samples.size() * sizeof(std::int16_t)));
    GST_BUFFER_PTS(buffer.get()) = 0;
    GST_BUFFER_DURATION(buffer.get()) = gst_util_uint64_scale(samples.size(), GST_SECOND, kWaveFileRate);
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
                gst::MessageHandle message(gst_bus_timed_pop_filtered(
                    bus.get(), kStopPollMs * GST_MSECOND,
                    static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)));
                if (message) break;
            }
        }
        Stop(pipeline);
        // Without an audio device the tones still take their time, so the
        // alarm keeps its rhythm.
        const auto end = start + std::chrono::milliseconds(totalMs);
        while (Clock::now() < end && !stopped())
            std::this_thread::sleep_for(std::min<Clock::duration>(end - Clock::now(), std::chrono::milliseconds(kStopPollMs)));
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

// ---------------------------------------------------------------------------

// Decodes any audio file GStreamer can read into mono 16-bit samples at the
// file's rate; empty when it cannot.
std::vector<std::int16_t> DecodeFile(const std::string& path)
{
    if (!FileExists(path)) return {};
    gst::ElementHandle pipeline = Parse(
        "filesrc name=source ! decodebin ! audioconvert ! audioresample "
        "! audio/x-raw,format=S16LE,channels=1,rate=48000,layout=interleaved ! appsink name=sink sync=false");
    if (!pipeline) return {};
    g_object_set(ChildByName(pipeline.get(), "source").get(), "location", path.c_str(), nullptr);
    gst::ElementHandle sink = ChildByName(pipeline.get(), "sink");
    std::vector<std::int16_t> samples;
    // A file that fails part-way is broken and plays nothing at all.
    bool ended = false;
    if (gst_element_set_state(pipeline.get(), GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE) {
        gst::BusHandle bus(gst_element_get_bus(pipeline.get()));
        const auto deadline = Clock::now() + std::chrono::milliseconds(kDecodeLimitMs);
        while (Clock::now() < deadline) {
            gst::SampleHandle sample(gst_app_sink_try_pull_sample(GST_APP_SINK(sink.get()), 50 * GST_MSECOND));
            if (sample) {
                const gst::MappedBuffer mapped(gst_sample_get_buffer(sample.get()), GST_MAP_READ);
                if (!mapped) continue;
                const auto* data = reinterpret_cast<const std::int16_t*>(mapped.data());
                samples.insert(samples.end(), data, data + mapped.size() / 2);
                continue;
            }
            if (gst_app_sink_is_eos(GST_APP_SINK(sink.get()))) {
                ended = true;
                break;
            }
            if (gst::MessageHandle error{gst_bus_pop_filtered(bus.get(), GST_MESSAGE_ERROR)}) break;
        }
    }
    if (!ended) samples.clear();
    Stop(pipeline);
    return samples;
}

class WaveFileAudioOutput : public AudioOutput {
public:
    explicit WaveFileAudioOutput(std::string path) : path_(std::move(path)) { gst::EnsureInitialized(); }

    // Each tone is a sound of its own in the file, so that they can be
    // told apart; the time they take is real.
    void PlayTones(std::span<const Tone> tones, const std::function<bool()>& stop) override
    {
        for (const Tone& tone : tones) {
            if (stop && stop()) return;
            if (tone.FrequencyHz <= 0 || tone.DurationMs <= 0) continue;
            const auto start = Clock::now();
            Append(SineSamples(tone.FrequencyHz, tone.DurationMs));
            std::this_thread::sleep_until(start + std::chrono::milliseconds(tone.DurationMs));
        }
    }

    bool PlayWaveFileAsync(const std::string& path) override
    {
        {
            std::lock_guard lock(mutex_);
            if (Clock::now() < waveBusyUntil_) return false;
        }
        const std::vector<std::int16_t> samples = DecodeFile(path);
        if (samples.empty()) return false;
        std::lock_guard lock(mutex_);
        if (Clock::now() < waveBusyUntil_) return false;
        waveBusyUntil_ = Clock::now() + std::chrono::microseconds(samples.size() * 1000000 / kWaveFileRate);
        AppendLocked(samples);
        return true;
    }

    void PlayEventSound(const std::string& themeEventName) override
    {
        const std::string file = FindThemeSound(themeEventName);
        if (file.empty()) return;
        const std::vector<std::int16_t> samples = DecodeFile(file);
        if (!samples.empty()) Append(samples);
    }

private:
    void Append(const std::vector<std::int16_t>& samples)
    {
        std::lock_guard lock(mutex_);
        AppendLocked(samples);
    }

    // One RIFF/WAVE file: 44-byte header, then the samples; the two sizes in
    // the header are rewritten after every append.
    void AppendLocked(const std::vector<std::int16_t>& samples)
    {
        std::vector<std::int16_t> data = samples;
        data.resize(data.size() + static_cast<std::size_t>(kWaveFileRate) * kWaveFileGapMs / 1000, 0);

        std::fstream file(path_, std::ios::in | std::ios::out | std::ios::binary);
        if (!file) {
            std::ofstream(path_, std::ios::binary);  // creates the file
            file.open(path_, std::ios::in | std::ios::out | std::ios::binary);
        }
        if (!file) return;
        file.seekg(0, std::ios::end);
        std::streamoff size = file.tellg();
        if (size < 44) {
            file.seekp(0);
            WriteHeader(file, 0);
            size = 44;
        }
        file.seekp(size);
        file.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size() * 2));
        const auto dataBytes = static_cast<std::uint32_t>(size - 44 + static_cast<std::streamoff>(data.size() * 2));
        file.seekp(0);
        WriteHeader(file, dataBytes);
    }

    static void WriteHeader(std::fstream& file, std::uint32_t dataBytes)
    {
        auto put32 = [&](std::uint32_t v) {
            const char b[4] = {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
                               static_cast<char>(v >> 24)};
            file.write(b, 4);
        };
        auto put16 = [&](std::uint16_t v) {
            const char b[2] = {static_cast<char>(v), static_cast<char>(v >> 8)};
            file.write(b, 2);
        };
        file.write("RIFF", 4);
        put32(36 + dataBytes);
        file.write("WAVEfmt ", 8);
        put32(16);
        put16(1);  // PCM
        put16(1);  // mono
        put32(kWaveFileRate);
        put32(kWaveFileRate * 2);
        put16(2);
        put16(16);
        file.write("data", 4);
        put32(dataBytes);
    }

    std::string path_;
    std::mutex mutex_;
    Clock::time_point waveBusyUntil_{};
};

}  // namespace

std::unique_ptr<AudioOutput> MakeGstAudioOutput() { return std::make_unique<GstAudioOutput>(); }

std::unique_ptr<AudioOutput> MakeWaveFileAudioOutput(const std::string& path)
{
    return std::make_unique<WaveFileAudioOutput>(path);
}

AudioOutput& DefaultAudioOutput()
{
    // Never destroyed: when something calls exit() while the program runs
    // (Qt does when the X server goes away), the frame thread may be in the
    // middle of a tone on it while static objects are destroyed.
    static AudioOutput* const output = [] {
        const char* file = std::getenv("QUISK_AUDIO_FILE");
        return (file && *file ? MakeWaveFileAudioOutput(file) : MakeGstAudioOutput()).release();
    }();
    return *output;
}

std::string FindThemeSound(const std::string& eventName)
{
    if (eventName.empty() || eventName.find('/') != std::string::npos) return {};
    std::vector<std::string> dataDirs;
    if (const char* home = std::getenv("XDG_DATA_HOME"); home && *home) {
        dataDirs.emplace_back(home);
    } else if (const char* user = std::getenv("HOME"); user && *user) {
        dataDirs.push_back(std::string(user) + "/.local/share");
    }
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::string list = dirs && *dirs ? dirs : "/usr/local/share:/usr/share";
    for (std::size_t start = 0; start <= list.size();) {
        const std::size_t end = std::min(list.find(':', start), list.size());
        if (end > start) dataDirs.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    for (const auto& dir : dataDirs) {
        for (const char* extension : {".oga", ".ogg", ".wav"}) {
            const std::string candidate = dir + "/sounds/freedesktop/stereo/" + eventName + extension;
            if (FileExists(candidate)) return candidate;
        }
    }
    return {};
}

}  // namespace qmd
