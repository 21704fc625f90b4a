#pragma once
// Reads the 16-bit mono WAVE file the audio output writes and finds the
// sounds in it: runs of signal separated by silence, with length and pitch.
#include <cstdint>
#include <string>
#include <vector>

namespace qmd::test {

struct WaveData {
    int rate = 0;
    int channels = 0;
    int bits = 0;
    std::vector<std::int16_t> samples;
};

struct Sound {
    double lengthMs = 0;
    double pitchHz = 0;
};

// Throws std::runtime_error when the file is not a PCM WAVE file whose sizes agree.
WaveData ReadWave(const std::string& bytes);
// Sounds separated by at least `gapMs` of exact silence.
std::vector<Sound> FindSounds(const WaveData& wave, int gapMs = 10);

// A stretch of steady pitch in a recording.
struct PitchedSound {
    double startMs = 0;
    double lengthMs = 0;
    double pitchHz = 0;
};
// Stretches of steady pitch (within 5 %), told apart by a change of pitch as
// well as by silence, so that sounds which follow each other without a pause
// are found one by one. A stretch runs from its first to its last rising zero
// crossing, so start and length are exact to one period. Stretches of fewer
// than five periods (the seams between two sounds) are left out.
std::vector<PitchedSound> FindPitchedSounds(const WaveData& wave);
// Raw 16-bit little-endian mono samples, as a recorder writes them.
WaveData RawSamples(const std::string& bytes, int rate);
// Writes a mono 16-bit PCM WAVE file holding a sine.
std::string MakeSineWave(int rate, int frequencyHz, int durationMs);

}  // namespace qmd::test
