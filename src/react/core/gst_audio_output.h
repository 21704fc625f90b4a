#pragma once
// The sound card's output, through GStreamer.
#include <memory>

#include "react/core/audio_output.h"

namespace qmd {

// Plays through GStreamer's automatic audio sink.
std::unique_ptr<AudioOutput> MakeGstAudioOutput();

}  // namespace qmd
