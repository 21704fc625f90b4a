#pragma once
#include <memory>
#include <string>

#include "react/core/audio_output.h"

namespace qmd {

// Plays through GStreamer's automatic audio sink.
std::unique_ptr<AudioOutput> MakeGstAudioOutput();

// Appends everything it would play to one WAVE file (16-bit mono PCM at
// kWaveFileRate Hz), each sound followed by kWaveFileGapMs of silence so the
// sounds can be told apart. Timing stays real: a tone returns after its
// length, and a WAVE file counts as playing for its length.
std::unique_ptr<AudioOutput> MakeWaveFileAudioOutput(const std::string& path);
constexpr int kWaveFileRate = 48000;
constexpr int kWaveFileGapMs = 20;

// The file of a desktop sound theme event (freedesktop layout under
// $XDG_DATA_HOME and $XDG_DATA_DIRS, theme "freedesktop"), or empty.
std::string FindThemeSound(const std::string& eventName);

}  // namespace qmd
