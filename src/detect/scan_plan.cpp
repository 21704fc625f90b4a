#include "detect/scan_plan.h"

#include <algorithm>
#include <utility>

namespace qmd {

bool ScanPlan::Stale(int width, int height, std::uint64_t areasGeneration) const
{
    if (areasGeneration != generation_) return true;
    // Without areas the plan is the same at every size.
    return !whole_ && (width != width_ || height != height_);
}

void ScanPlan::Rebuild(int width, int height, const AreaList& areas, std::uint64_t areasGeneration)
{
    width_ = width;
    height_ = height;
    generation_ = areasGeneration;
    whole_ = areas.empty();
    bands_.clear();
    spans_.clear();
    if (whole_ || width < 2 || height < 1) return;

    struct Covered {
        PixelRange Rows;
        PixelRange Columns;
    };
    std::vector<Covered> covered;
    std::vector<int> rowEdges{0, height};
    for (const AreaRect& area : areas) {
        const Covered c{CoveredPixels(area.Y, area.Height, height), CoveredPixels(area.X, area.Width, width)};
        if (c.Rows.Begin == c.Rows.End || c.Columns.Begin == c.Columns.End) continue;
        covered.push_back(c);
        rowEdges.push_back(c.Rows.Begin);
        rowEdges.push_back(c.Rows.End);
    }
    std::sort(rowEdges.begin(), rowEdges.end());
    rowEdges.erase(std::unique(rowEdges.begin(), rowEdges.end()), rowEdges.end());

    const int examined = width - 1;  // the last column is never looked at
    std::vector<std::pair<int, int>> holes;
    for (std::size_t i = 0; i + 1 < rowEdges.size(); ++i) {
        const int row = rowEdges[i];
        holes.clear();
        for (const Covered& c : covered)
            if (c.Rows.Begin <= row && row < c.Rows.End) holes.emplace_back(c.Columns.Begin, c.Columns.End);
        std::sort(holes.begin(), holes.end());
        const auto firstSpan = static_cast<std::uint32_t>(spans_.size());
        int column = 0;
        for (const auto& [begin, end] : holes) {
            if (std::min(begin, examined) > column) spans_.push_back({column, std::min(begin, examined)});
            column = std::max(column, end);
        }
        if (column < examined) spans_.push_back({column, examined});
        bands_.push_back({rowEdges[i + 1], firstSpan, static_cast<std::uint32_t>(spans_.size())});
    }
}

}  // namespace qmd
