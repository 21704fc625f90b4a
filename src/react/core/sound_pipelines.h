#pragma once
// The pieces the two audio outputs share: GStreamer pipelines for sounds,
// tones as samples.
#include <cstdint>
#include <string>
#include <vector>

#include "gst/handles.h"

namespace qmd {

// The sample rate of every tone we make and of the WAVE file stand-in.
inline constexpr int kSoundSampleRate = 48000;

// A pipeline from its textual description, not started; null when it cannot be made.
gst::ElementHandle ParsePipeline(const char* description);
// The named element of a bin (a reference of ours); null when absent.
gst::ElementHandle ChildByName(GstElement* bin, const char* name);
// Stops the pipeline and lets go of it; nothing for null.
void StopPipeline(gst::ElementHandle& pipeline);

// A sine tone as mono 16-bit samples at kSoundSampleRate.
std::vector<std::int16_t> SineSamples(int frequencyHz, int durationMs);

// True for a regular file (not a directory, not missing).
bool IsRegularFile(const std::string& path);

}  // namespace qmd
