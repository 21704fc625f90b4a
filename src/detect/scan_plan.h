#pragma once
// Which pixels of each row a scan looks at: columns 0 .. W-2, less the
// ignored areas. Rows that the same areas cross share one band, so a plan
// holds a few spans however tall the picture; with no area at all it holds
// nothing and every row is one span.
//
// Frame thread only: built again when the frame size or the areas change,
// never while a picture of the size it was made for is being scanned.
#include <cstdint>
#include <vector>

#include "detect/ignore_areas.h"

namespace qmd {

class ScanPlan {
public:
    struct Span {
        int Begin = 0;  // columns [Begin, End)
        int End = 0;
    };
    struct Band {
        int RowEnd = 0;  // rows from the previous band's end (0 for the first) to here
        std::uint32_t FirstSpan = 0;
        std::uint32_t EndSpan = 0;
    };

    // Whether the plan must be made again for this picture size and areas.
    bool Stale(int width, int height, std::uint64_t areasGeneration) const;
    void Rebuild(int width, int height, const AreaList& areas, std::uint64_t areasGeneration);

    bool Whole() const { return whole_; }  // no area: all of every row's examined columns
    const std::vector<Band>& Bands() const { return bands_; }
    const std::vector<Span>& Spans() const { return spans_; }

private:
    bool whole_ = true;
    int width_ = 0;
    int height_ = 0;
    std::uint64_t generation_ = 0;
    std::vector<Band> bands_;
    std::vector<Span> spans_;
};

}  // namespace qmd
