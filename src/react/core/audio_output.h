#pragma once
// Everything the program plays. The real implementation plays through
// GStreamer's audio output; with QUISK_AUDIO_FILE set it appends every sound to
// that WAVE file instead (see gst_audio_output.h and wave_file_audio_output.h).
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace qmd {

struct Tone {
    int FrequencyHz = 0;
    int DurationMs = 0;
};

class AudioOutput {
public:
    virtual ~AudioOutput() = default;
    // Sine tones back to back, as one sound; returns when the last one has
    // ended, or soon after `stop` (asked while they play; may be empty)
    // returns true.
    virtual void PlayTones(std::span<const Tone> tones, const std::function<bool()>& stop) = 0;
    // Starts playing a WAVE file in the background. False, and the earlier
    // sound goes on, while an earlier sound of this output still plays; false
    // when the file cannot be played (nothing is heard then).
    virtual bool PlayWaveFileAsync(const std::string& path) = 0;
    // A sound of the desktop sound theme ("window-minimized"), in the
    // background, in place of an earlier one still playing; nothing when the
    // theme has no such sound.
    virtual void PlayEventSound(const std::string& themeEventName) = 0;
};

// The process's audio output: GStreamer, or the QUISK_AUDIO_FILE writer.
// Created on first use; thread-safe.
AudioOutput& DefaultAudioOutput();

}  // namespace qmd
