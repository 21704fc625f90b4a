#pragma once
// The areas the user told the detection to ignore: rectangles given as
// fractions (0 to 1) of the picture's width and height, so that they keep
// covering the same part of the scene at every frame size.
//
// A pixel lies in an area when its centre does: column c when
// X <= (c + 0.5) / width < X + Width, and likewise for its row. A pixel in
// any area never counts as changed.
//
// On disk (obszary.txt in AppDir) each area is one line "x y width height",
// the numbers written with a dot for the decimal point.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace qmd {

inline constexpr std::string_view kIgnoreAreasFileName = "obszary.txt";  // in AppDir

struct AreaRect {
    double X = 0;
    double Y = 0;
    double Width = 0;
    double Height = 0;
    bool operator==(const AreaRect&) const = default;
};
using AreaList = std::vector<AreaRect>;

struct AreaFileContent {
    AreaList Areas;
    // The lines (as they were, without their line ends) that are not an area:
    // skipped, for the caller to report.
    std::vector<std::string> UnreadableLines;
};

// Blank lines are no areas and not unreadable. An area must lie within the
// picture (0 <= x, y; width, height > 0; x + width <= 1, y + height <= 1,
// within a rounding's slack).
AreaFileContent ParseAreaText(std::string_view text);
// One line per area, ended by "\n"; read back by ParseAreaText to the same areas.
std::string AreaText(const AreaList& areas);

// The areas shared between the windows that set them (GUI thread) and the
// frame thread: an immutable list swapped whole under a lock. The generation
// changes with every Set, so the frame thread takes the lock only then.
class SharedAreas {
public:
    void Set(AreaList areas);
    std::shared_ptr<const AreaList> Get() const;
    std::uint64_t Generation() const { return generation_.load(std::memory_order_acquire); }

private:
    mutable std::mutex mutex_;
    std::shared_ptr<const AreaList> areas_ = std::make_shared<const AreaList>();
    std::atomic<std::uint64_t> generation_{0};
};

// The pixel columns (or rows) an area covers in a picture `size` pixels
// across: [Begin, End), empty when it covers none.
struct PixelRange {
    int Begin = 0;
    int End = 0;
};
PixelRange CoveredPixels(double start, double extent, int size);

}  // namespace qmd
