#pragma once
// Frames made by the tests: filled, noisy and with single pixels changed.
#include <cstdint>
#include <random>

#include "common/frame_image.h"

namespace qmd::test {

struct Bgr {
    std::uint8_t Blue = 0;
    std::uint8_t Green = 0;
    std::uint8_t Red = 0;
};

inline FrameImage FilledFrame(int width, int height, Bgr colour)
{
    FrameImage frame;
    frame.Resize(width, height);
    for (int y = 0; y < frame.Height(); ++y) {
        std::uint8_t* row = frame.Row(y);
        for (int x = 0; x < width; ++x) {
            row[3 * x] = colour.Blue;
            row[3 * x + 1] = colour.Green;
            row[3 * x + 2] = colour.Red;
        }
    }
    return frame;
}

// Every byte of every row random, the row padding included.
inline FrameImage RandomFrame(int width, int height, std::mt19937& random)
{
    FrameImage frame;
    frame.Resize(width, height);
    std::uniform_int_distribution<int> byte(0, 255);
    for (std::size_t i = 0; i < frame.ImageSize(); ++i) frame.Bits()[i] = static_cast<std::uint8_t>(byte(random));
    return frame;
}

inline std::uint8_t* PixelAt(FrameImage& frame, int x, int y) { return frame.Row(y) + 3 * x; }
inline const std::uint8_t* PixelAt(const FrameImage& frame, int x, int y) { return frame.Row(y) + 3 * x; }

inline void SetPixel(FrameImage& frame, int x, int y, Bgr colour)
{
    std::uint8_t* pixel = PixelAt(frame, x, y);
    pixel[0] = colour.Blue;
    pixel[1] = colour.Green;
    pixel[2] = colour.Red;
}

// Moves channel `channel` of pixel (x, y) by `delta`, up where that fits and
// otherwise down; exact for every delta up to 127. A larger one that fits
// neither way goes as far as it can.
inline void ShiftChannel(FrameImage& frame, int x, int y, int channel, int delta)
{
    std::uint8_t& value = PixelAt(frame, x, y)[channel];
    if (value + delta <= 255)
        value = static_cast<std::uint8_t>(value + delta);
    else if (value >= delta)
        value = static_cast<std::uint8_t>(value - delta);
    else
        value = value < 128 ? 255 : 0;
}

}  // namespace qmd::test
