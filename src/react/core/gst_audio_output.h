#pragma once
// The sound card's output, through GStreamer.
#include <memory>

#include "react/core/audio_output.h"

namespace qmd {

// Plays through the sound server, else the ALSA device (audio_sink.h).
std::unique_ptr<AudioOutput> MakeGstAudioOutput();

}  // namespace qmd
