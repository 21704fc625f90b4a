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
// Writes a mono 16-bit PCM WAVE file holding a sine.
std::string MakeSineWave(int rate, int frequencyHz, int durationMs);

}  // namespace qmd::test
