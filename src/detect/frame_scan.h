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
#include "detect/scan_plan.h"

namespace qmd {

struct PixelPosition {
    int Row = 0;
    int Column = 0;
    bool operator==(const PixelPosition&) const = default;
};

enum class ScanKernel { Portable, Sse2, Avx2 };

// The smallest rectangle holding some changed pixels, edges included.
struct PixelBox {
    int Left = 0;
    int Top = 0;
    int Right = 0;
    int Bottom = 0;
    bool operator==(const PixelBox&) const = default;
};

std::optional<PixelPosition> FirstChangedPixel(const FrameImage& a, const FrameImage& b, std::uint8_t threshold);

std::optional<PixelPosition> FirstChangedPixelReference(const FrameImage& a, const FrameImage& b,
                                                        std::uint8_t threshold);

// Whether any pixel changed, as FirstChangedPixel finds, with the rows
// searched from startRow to the bottom and then from the top: what moves
// tends to be where it moved a frame ago, so a search that starts on the row
// of the last change ends sooner. Gives the row where a change was found.
// The threshold is read again at the start of every row, so that a slider
// moved during a long scan applies from the next row on.
std::optional<int> RowWithChangedPixel(const FrameImage& a, const FrameImage& b,
                                       const std::atomic<std::uint8_t>& threshold, int startRow);

// Counting changed pixels in the spans of a plan, with the same kernels, row
// by row from the top; the threshold is read at the start of every row.
struct CountRule {
    static constexpr std::int64_t kNoBound = INT64_MAX;
    std::int64_t Needed = 1;              // motion from this many changed pixels on
    std::int64_t LightBound = kNoBound;  // more than this many at once: a change of light
};
struct MotionCount {
    bool Motion = false;
    bool LightChange = false;  // more changed than LightBound: not motion
};
// Counts only as far as the rule needs: when one pixel is motion and there
// is no light bound, it stops at the first changed pixel as the search does;
// otherwise it counts whole rows, without a bound until Needed is reached,
// with one until the bound is passed or the picture ends.
MotionCount CountChangedPixels(const FrameImage& a, const FrameImage& b, const ScanPlan& plan,
                               const std::atomic<std::uint8_t>& threshold, const CountRule& rule);
// The box around every changed pixel in the plan's spans; nothing when none changed.
std::optional<PixelBox> ChangedPixelBox(const FrameImage& a, const FrameImage& b, const ScanPlan& plan,
                                        std::uint8_t threshold);
MotionCount CountChangedPixelsWith(ScanKernel kernel, const FrameImage& a, const FrameImage& b, const ScanPlan& plan,
                                   std::uint8_t threshold, const CountRule& rule);

// The kernels this processor can run, the one FirstChangedPixel uses, and a
// scan with a chosen kernel (for the tests and the benchmark).
std::span<const ScanKernel> AvailableScanKernels();
ScanKernel ActiveScanKernel();
const char* ScanKernelName(ScanKernel kernel);
std::optional<PixelPosition> FirstChangedPixelWith(ScanKernel kernel, const FrameImage& a, const FrameImage& b,
                                                   std::uint8_t threshold);

}  // namespace qmd
