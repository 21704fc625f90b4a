#pragma once
// Where two frames first differ. A pixel has changed when its blue, green and
// red bytes each differ by more than the threshold; columns 0 .. W-2 of every
// row are looked at, row by row from the top, and the last column never is.
// A pair of different sizes is not compared: the first frame after a format
// change meets a picture of the old size, and comparing the two would read
// outside one of them.
//
// FirstChangedPixel is the fast path used by the detection cycle; it picks the
// widest vector kernel the processor has. FirstChangedPixelReference is the
// plain pixel-by-pixel loop it must agree with, pixel for pixel.
#include <atomic>
#include <cstdint>
#include <optional>
#include <span>

#include "common/frame_image.h"

namespace qmd {

struct PixelPosition {
    int Row = 0;
    int Column = 0;
    bool operator==(const PixelPosition&) const = default;
};

enum class ScanKernel { Portable, Sse2, Avx2 };

std::optional<PixelPosition> FirstChangedPixel(const FrameImage& a, const FrameImage& b, std::uint8_t threshold);

// The threshold is read again at the start of every row, so that a slider
// moved during a long scan applies from the next row on.
std::optional<PixelPosition> FirstChangedPixel(const FrameImage& a, const FrameImage& b,
                                               const std::atomic<std::uint8_t>& threshold);

std::optional<PixelPosition> FirstChangedPixelReference(const FrameImage& a, const FrameImage& b,
                                                        std::uint8_t threshold);

// The kernels this processor can run, the one FirstChangedPixel uses, and a
// scan with a chosen kernel (for the tests and the benchmark).
std::span<const ScanKernel> AvailableScanKernels();
ScanKernel ActiveScanKernel();
const char* ScanKernelName(ScanKernel kernel);
std::optional<PixelPosition> FirstChangedPixelWith(ScanKernel kernel, const FrameImage& a, const FrameImage& b,
                                                   std::uint8_t threshold);

}  // namespace qmd
