#pragma once
// The stand-in for the sound card that QUISK_AUDIO_FILE asks for.
#include <memory>
#include <string>

#include "react/core/audio_output.h"
#include "react/core/sound_pipelines.h"

namespace qmd {

// Appends everything it would play to one WAVE file (16-bit mono PCM at
// kWaveFileRate Hz), each sound followed by kWaveFileGapMs of silence so the
// sounds can be told apart. Timing stays real: a tone returns after its
// length, and a WAVE file counts as playing for its length.
std::unique_ptr<AudioOutput> MakeWaveFileAudioOutput(const std::string& path);
constexpr int kWaveFileRate = kSoundSampleRate;
constexpr int kWaveFileGapMs = 20;

}  // namespace qmd
