#pragma once
// Helpers for the capture tests: clips made by GStreamer pipelines, frames
// made on the spot (and WaitUntil, shared by every test).
#include <gst/gst.h>

#include <QImage>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "support/wait_until.h"

namespace qmd::test {

// Raw frames of width x height in BGR (rows padded to 4 bytes), each frame a
// different pattern, so that one can be told from another.
std::vector<std::uint8_t> PatternFrame(int width, int height, int index);

// count frames of width x height in BGR (rows padded to 4 bytes), every byte value.
std::vector<std::vector<std::uint8_t>> UniformFrames(int count, int width, int height, std::uint8_t value);

// Writes frames (BGR, 4-byte padded rows) at fps through an encoding
// description such as "avimux" or "jpegenc ! avimux" into path.
void WriteClip(const std::string& path, int width, int height, int fps,
               const std::vector<std::vector<std::uint8_t>>& frames, const std::string& encoding);

// Whether every pixel of image is black.
bool AllBlack(const QImage& image);

// Scoped setting of an environment variable.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value);
    ~ScopedEnv();

private:
    std::string name_;
    std::string previous_;
    bool hadPrevious_ = false;
};

}  // namespace qmd::test
