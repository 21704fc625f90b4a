#pragma once
// Everything the program plays. The real implementation plays through
// GStreamer's audio output; with QUISK_AUDIO_FILE set it appends every sound to
// that WAVE file instead (see gst_audio_output.h).
#include <memory>
#include <string>

namespace qmd {

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // A sine tone; returns when the tone has ended.
    virtual void PlayTone(int frequencyHz, int durationMs) = 0;
    // Starts playing a WAVE file in the background. False, and the earlier
    // sound goes on, while an earlier sound of this output still plays; false
    // when the file cannot be played (nothing is heard then).
    virtual bool PlayWaveFileAsync(const std::string& path) = 0;
    // A sound of the desktop sound theme ("window-minimized"), in the
    // background; nothing when the theme has no such sound.
    virtual void PlayEventSound(const std::string& themeEventName) = 0;
};

// The process's audio output: GStreamer, or the QUISK_AUDIO_FILE writer.
// Created on first use; thread-safe.
AudioOutput& DefaultAudioOutput();

}  // namespace qmd
