#include "react/core/wave_file_audio_output.h"

#include <gst/app/gstappsink.h>

#include <chrono>
#include <cstdint>
#include <fstream>
#include <mutex>
#include <thread>
#include <vector>

#include "gst/init.h"
#include "react/core/sound_pipelines.h"
#include "react/core/sound_theme.h"

namespace qmd {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kDecodeLimitMs = 30000;  // a sound file longer to decode than this is not played

// Decodes any audio file GStreamer can read into mono 16-bit samples at the
// file's rate; empty when it cannot.
std::vector<std::int16_t> DecodeFile(const std::string& path)
{
    if (!IsRegularFile(path)) return {};
    gst::ElementHandle pipeline = ParsePipeline(
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
    StopPipeline(pipeline);
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

std::unique_ptr<AudioOutput> MakeWaveFileAudioOutput(const std::string& path)
{
    return std::make_unique<WaveFileAudioOutput>(path);
}

}  // namespace qmd
