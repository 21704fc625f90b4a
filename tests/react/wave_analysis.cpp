#include "wave_analysis.h"

#include <cmath>
#include <numbers>
#include <stdexcept>

namespace qmd::test {

namespace {
std::uint32_t U32(const std::string& b, std::size_t at)
{
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<std::uint8_t>(b.at(at + i));
    return v;
}
std::uint16_t U16(const std::string& b, std::size_t at)
{
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(b.at(at)) |
                                      (static_cast<std::uint8_t>(b.at(at + 1)) << 8));
}
void Put32(std::string& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
void Put16(std::string& out, std::uint16_t v)
{
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

Sound Measure(const WaveData& wave, std::size_t begin, std::size_t end)
{
    Sound sound;
    sound.lengthMs = 1000.0 * static_cast<double>(end - begin) / wave.rate;
    // Pitch from the first and last rising zero crossings, interpolated.
    double first = -1, last = -1;
    int crossings = 0;
    for (std::size_t i = begin + 1; i < end; ++i) {
        const int a = wave.samples[i - 1], b = wave.samples[i];
        if (a < 0 && b >= 0) {
            const double at = static_cast<double>(i - 1) + static_cast<double>(-a) / static_cast<double>(b - a);
            if (first < 0) first = at;
            last = at;
            ++crossings;
        }
    }
    if (crossings >= 2) sound.pitchHz = (crossings - 1) * wave.rate / (last - first);
    return sound;
}
}  // namespace

WaveData ReadWave(const std::string& bytes)
{
    if (bytes.size() < 44 || bytes.compare(0, 4, "RIFF") != 0 || bytes.compare(8, 8, "WAVEfmt ") != 0 ||
        bytes.compare(36, 4, "data") != 0)
        throw std::runtime_error("not a WAVE file");
    if (U32(bytes, 4) != bytes.size() - 8) throw std::runtime_error("RIFF size disagrees with the file");
    const std::uint32_t dataBytes = U32(bytes, 40);
    if (dataBytes != bytes.size() - 44) throw std::runtime_error("data size disagrees with the file");
    WaveData wave;
    if (U16(bytes, 20) != 1) throw std::runtime_error("not PCM");
    wave.channels = U16(bytes, 22);
    wave.rate = static_cast<int>(U32(bytes, 24));
    wave.bits = U16(bytes, 34);
    wave.samples.resize(dataBytes / 2);
    for (std::size_t i = 0; i < wave.samples.size(); ++i)
        wave.samples[i] = static_cast<std::int16_t>(U16(bytes, 44 + 2 * i));
    return wave;
}

std::vector<Sound> FindSounds(const WaveData& wave, int gapMs)
{
    const std::size_t gap = static_cast<std::size_t>(wave.rate) * gapMs / 1000;
    std::vector<Sound> sounds;
    std::size_t i = 0;
    const std::size_t n = wave.samples.size();
    while (i < n) {
        while (i < n && wave.samples[i] == 0) ++i;
        if (i >= n) break;
        const std::size_t begin = i;
        std::size_t lastSignal = i;
        std::size_t zeros = 0;
        for (; i < n; ++i) {
            if (wave.samples[i] != 0) {
                lastSignal = i;
                zeros = 0;
            } else if (++zeros >= gap) {
                break;
            }
        }
        // A sine starts at zero; its first sample belongs to it.
        const std::size_t start = begin > 0 ? begin - 1 : begin;
        sounds.push_back(Measure(wave, start, lastSignal + 1));
    }
    return sounds;
}

std::vector<PitchedSound> FindPitchedSounds(const WaveData& wave)
{
    // Rising zero crossings, interpolated between samples.
    std::vector<double> crossings;
    for (std::size_t i = 1; i < wave.samples.size(); ++i) {
        const int a = wave.samples[i - 1], b = wave.samples[i];
        if (a < 0 && b >= 0) crossings.push_back(static_cast<double>(i - 1) + static_cast<double>(-a) / (b - a));
    }
    struct Run {
        double first, last;
        int periods;
    };
    std::vector<Run> runs;
    for (std::size_t j = 1; j < crossings.size(); ++j) {
        const double period = crossings[j] - crossings[j - 1];
        if (!runs.empty() && runs.back().last == crossings[j - 1]) {
            Run& run = runs.back();
            const double mean = (run.last - run.first) / run.periods;
            if (std::abs(period - mean) <= 0.05 * mean) {
                run.last = crossings[j];
                ++run.periods;
                continue;
            }
        }
        runs.push_back({crossings[j - 1], crossings[j], 1});
    }
    std::vector<PitchedSound> sounds;
    for (const Run& run : runs) {
        if (run.periods < 5) continue;
        const double period = (run.last - run.first) / run.periods;
        sounds.push_back(
            {1000.0 * run.first / wave.rate, 1000.0 * (run.last - run.first) / wave.rate, wave.rate / period});
    }
    return sounds;
}

WaveData RawSamples(const std::string& bytes, int rate)
{
    WaveData wave;
    wave.rate = rate;
    wave.channels = 1;
    wave.bits = 16;
    wave.samples.resize(bytes.size() / 2);
    for (std::size_t i = 0; i < wave.samples.size(); ++i)
        wave.samples[i] = static_cast<std::int16_t>(U16(bytes, 2 * i));
    return wave;
}

std::string MakeSineWave(int rate, int frequencyHz, int durationMs)
{
    const std::size_t count = static_cast<std::size_t>(rate) * durationMs / 1000;
    std::string out = "RIFF";
    Put32(out, static_cast<std::uint32_t>(36 + 2 * count));
    out += "WAVEfmt ";
    Put32(out, 16);
    Put16(out, 1);
    Put16(out, 1);
    Put32(out, static_cast<std::uint32_t>(rate));
    Put32(out, static_cast<std::uint32_t>(rate * 2));
    Put16(out, 2);
    Put16(out, 16);
    out += "data";
    Put32(out, static_cast<std::uint32_t>(2 * count));
    for (std::size_t i = 0; i < count; ++i) {
        const double v = 12000.0 * std::sin(2 * std::numbers::pi * frequencyHz * static_cast<double>(i) / rate);
        Put16(out, static_cast<std::uint16_t>(static_cast<std::int16_t>(std::lround(v))));
    }
    return out;
}

}  // namespace qmd::test
