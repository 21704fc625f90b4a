#include "react/core/gst_audio_output.h"

#include <gst/app/gstappsink.h>

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

namespace qmd {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kExtraWaitMs = 1000;     // beyond a tone's own length, for a slow sink
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

// Waits for the end of the stream or an error; false on error or timeout.
bool WaitForEnd(GstElement* pipeline, std::chrono::milliseconds limit)
{
    gst::BusHandle bus(gst_element_get_bus(pipeline));
    gst::MessageHandle message(gst_bus_timed_pop_filtered(
        bus.get(), static_cast<GstClockTime>(limit.count()) * GST_MSECOND,
        static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)));
    return message && GST_MESSAGE_TYPE(message.get()) == GST_MESSAGE_EOS;
}

// True while a background pipeline has neither ended nor failed.
bool StillPlaying(GstElement* pipeline)
{
    gst::BusHandle bus(gst_element_get_bus(pipeline));
    gst::MessageHandle message(gst_bus_pop_filtered(
        bus.get(), static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR)));
    return !message;
}

void Stop(gst::ElementHandle& pipeline)
{
    if (!pipeline) return;
    gst_element_set_state(pipeline.get(), GST_STATE_NULL);
    pipeline.reset();
}

// Starts `filesrc ! decodebin ! ... ! autoaudiosink` on `path`; empty when it
// cannot even start (missing file, no sink).
gst::ElementHandle StartFilePlayback(const std::string& path)
{
    if (!FileExists(path)) return {};
    gst::ElementHandle pipeline = Parse(
        "filesrc name=source ! decodebin ! audioconvert ! audioresample ! autoaudiosink");
    if (!pipeline) return {};
    g_object_set(ChildByName(pipeline.get(), "source").get(), "location", path.c_str(), nullptr);
    if (gst_element_set_state(pipeline.get(), GST_STATE_PLAYING) == GST_STATE_CHANGE_FAILURE) {
        Stop(pipeline);
        return {};
    }
    return pipeline;
}

class GstAudioOutput : public AudioOutput {
public:
    GstAudioOutput() { gst::EnsureInitialized(); }
    ~GstAudioOutput() override
    {
        std::lock_guard lock(mutex_);
        Stop(wave_);
        Stop(event_);
    }

    void PlayTone(int frequencyHz, int durationMs) override
    {
        if (frequencyHz <= 0 || durationMs <= 0) return;
        gst::ElementHandle pipeline = Parse(
            "audiotestsrc name=source wave=sine num-buffers=1 ! audio/x-raw,format=S16LE,channels=1,rate=48000 "
            "! audioconvert ! audioresample ! autoaudiosink");
        if (!pipeline) return;
        g_object_set(ChildByName(pipeline.get(), "source").get(), "freq", static_cast<gdouble>(frequencyHz),
                     "samplesperbuffer", static_cast<gint>(48000LL * durationMs / 1000), nullptr);
        const auto start = Clock::now();
        if (gst_element_set_state(pipeline.get(), GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE)
            WaitForEnd(pipeline.get(), std::chrono::milliseconds(durationMs + kExtraWaitMs));
        Stop(pipeline);
        // Without an audio device the tone still takes its time, so the alarm
        // keeps its rhythm.
        std::this_thread::sleep_until(start + std::chrono::milliseconds(durationMs));
    }

    bool PlayWaveFileAsync(const std::string& path) override
    {
        std::lock_guard lock(mutex_);
        if (wave_ && StillPlaying(wave_.get())) return false;
        Stop(wave_);
        wave_ = StartFilePlayback(path);
        return static_cast<bool>(wave_);
    }

    void PlayEventSound(const std::string& themeEventName) override
    {
        const std::string file = FindThemeSound(themeEventName);
        std::lock_guard lock(mutex_);
        Stop(event_);
        if (!file.empty()) event_ = StartFilePlayback(file);
    }

private:
    std::mutex mutex_;
    gst::ElementHandle wave_;
    gst::ElementHandle event_;
};

// ---------------------------------------------------------------------------

std::vector<std::int16_t> SineSamples(int frequencyHz, int durationMs)
{
    const std::size_t count = static_cast<std::size_t>(kWaveFileRate) * static_cast<std::size_t>(durationMs) / 1000;
    std::vector<std::int16_t> samples(count);
    const double step = 2.0 * std::numbers::pi * frequencyHz / kWaveFileRate;
    for (std::size_t i = 0; i < count; ++i)
        samples[i] = static_cast<std::int16_t>(std::lround(16000.0 * std::sin(step * static_cast<double>(i))));
    return samples;
}

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

    void PlayTone(int frequencyHz, int durationMs) override
    {
        if (frequencyHz <= 0 || durationMs <= 0) return;
        const auto start = Clock::now();
        Append(SineSamples(frequencyHz, durationMs));
        std::this_thread::sleep_until(start + std::chrono::milliseconds(durationMs));
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
