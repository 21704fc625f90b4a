#include "detect/frame_scan.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "detect/detection.h"
#include "detect/scan_kernels.h"

namespace qmd {
namespace {

// A kernel's search and count; AVX2 only where the processor has it.
struct RowKernels {
    detail::RowScan Scan;
    detail::RowCount Count;
};

RowKernels KernelsFor(ScanKernel kernel)
{
    switch (kernel) {
#if defined(QMD_HAVE_X86_SCAN_KERNELS)
    case ScanKernel::Avx2:
        if (ProcessorHasAvx2()) return {detail::FirstChangedInRowAvx2, detail::ChangedInRowAvx2};
        return {detail::FirstChangedInRowSse2, detail::ChangedInRowSse2};
    case ScanKernel::Sse2: return {detail::FirstChangedInRowSse2, detail::ChangedInRowSse2};
#else
    case ScanKernel::Avx2:
    case ScanKernel::Sse2:
#endif
    case ScanKernel::Portable: break;
    }
    return {detail::FirstChangedInRowPortable, detail::ChangedInRowPortable};
}

detail::RowScan RowScanFor(ScanKernel kernel) { return KernelsFor(kernel).Scan; }

ScanKernel BestScanKernel()
{
#if defined(QMD_HAVE_X86_SCAN_KERNELS)
    return ProcessorHasAvx2() ? ScanKernel::Avx2 : ScanKernel::Sse2;
#else
    return ScanKernel::Portable;
#endif
}

detail::RowScan ActiveRowScan()
{
    static const detail::RowScan rowScan = RowScanFor(ActiveScanKernel());
    return rowScan;
}

bool SameSize(const FrameImage& a, const FrameImage& b) { return a.Width() == b.Width() && a.Height() == b.Height(); }

// Rows from startRow to the bottom, then from the top; in each row the
// pixels 0 .. W-2. ThresholdOf() is asked once per row.
template <class ThresholdOf>
std::optional<PixelPosition> ScanRows(detail::RowScan rowScan, const FrameImage& a, const FrameImage& b,
                                      ThresholdOf thresholdOf, int startRow = 0)
{
    if (!SameSize(a, b)) return std::nullopt;
    const int examinedPixels = a.Width() - 1;
    const int height = a.Height();
    if (examinedPixels < 1 || height < 1) return std::nullopt;
    const int start = std::clamp(startRow, 0, height - 1);
    for (int i = 0; i < height; ++i) {
        const int row = start + i < height ? start + i : start + i - height;
        const int column = rowScan(a.Row(row), b.Row(row), examinedPixels, thresholdOf());
        if (column >= 0) return PixelPosition{row, column};
    }
    return std::nullopt;
}

// Calls row(rowA, rowB, spans, spanCount, threshold) for each row with the
// spans of the plan it has, from the top, until it returns false.
template <class ThresholdOf, class Row>
void WalkSpans(const FrameImage& a, const FrameImage& b, const ScanPlan& plan, ThresholdOf thresholdOf, Row row)
{
    if (!SameSize(a, b) || a.Width() < 2) return;
    const ScanPlan::Span whole{0, a.Width() - 1};
    const std::uint8_t* rowA = a.Bits();
    const std::uint8_t* rowB = b.Bits();
    int y = 0;
    const auto walkBand = [&](int rowEnd, const ScanPlan::Span* spans, std::uint32_t spanCount) {
        for (; y < rowEnd; ++y, rowA += a.Stride(), rowB += b.Stride())
            if (!row(y, rowA, rowB, spans, spanCount, thresholdOf())) return false;
        return true;
    };
    if (plan.Whole()) {
        walkBand(a.Height(), &whole, 1);
        return;
    }
    for (const ScanPlan::Band& band : plan.Bands())
        if (!walkBand(std::min(band.RowEnd, a.Height()), plan.Spans().data() + band.FirstSpan,
                      band.EndSpan - band.FirstSpan))
            return;
}

// Calls visit(row, column) for each changed pixel in the plan's spans, row by
// row from the top, until it returns false. A changed pixel found, the span
// is searched again from the pixel after it, by the same kernel.
template <class ThresholdOf, class Visit>
void VisitChangedPixels(detail::RowScan rowScan, const FrameImage& a, const FrameImage& b, const ScanPlan& plan,
                        ThresholdOf thresholdOf, Visit visit)
{
    WalkSpans(a, b, plan, thresholdOf,
              [&](int y, const std::uint8_t* rowA, const std::uint8_t* rowB, const ScanPlan::Span* spans,
                  std::uint32_t spanCount, std::uint8_t threshold) {
                  for (std::uint32_t s = 0; s < spanCount; ++s) {
                      for (int column = spans[s].Begin; column < spans[s].End; ++column) {
                          const int found =
                              rowScan(rowA + 3 * column, rowB + 3 * column, spans[s].End - column, threshold);
                          if (found < 0) break;
                          column += found;
                          if (!visit(y, column)) return false;
                      }
                  }
                  return true;
              });
}

template <class ThresholdOf>
MotionCount CountRows(RowKernels kernels, const FrameImage& a, const FrameImage& b, const ScanPlan& plan,
                      ThresholdOf thresholdOf, const CountRule& rule)
{
    const std::int64_t needed = std::max<std::int64_t>(rule.Needed, 1);
    const bool bounded = rule.LightBound != CountRule::kNoBound;
    MotionCount result;
    if (needed == 1 && !bounded) {
        // One pixel decides: the search stops at the first.
        VisitChangedPixels(kernels.Scan, a, b, plan, thresholdOf, [&result](int, int) {
            result.Motion = true;
            return false;
        });
        return result;
    }
    // Whole rows counted by the kernel, the verdict looked at after each.
    std::int64_t counted = 0;
    WalkSpans(a, b, plan, thresholdOf,
              [&](int, const std::uint8_t* rowA, const std::uint8_t* rowB, const ScanPlan::Span* spans,
                  std::uint32_t spanCount, std::uint8_t threshold) {
                  for (std::uint32_t s = 0; s < spanCount; ++s)
                      counted += kernels.Count(rowA + 3 * spans[s].Begin, rowB + 3 * spans[s].Begin,
                                               spans[s].End - spans[s].Begin, threshold);
                  if (counted > rule.LightBound) {
                      result.LightChange = true;
                      return false;
                  }
                  // Without a bound nothing past the needed count can change the verdict.
                  return bounded || counted < needed;
              });
    result.Motion = !result.LightChange && counted >= needed;
    return result;
}

}  // namespace

MotionCount CountChangedPixels(const FrameImage& a, const FrameImage& b, const ScanPlan& plan,
                               const std::atomic<std::uint8_t>& threshold, const CountRule& rule)
{
    static const RowKernels active = KernelsFor(ActiveScanKernel());
    return CountRows(active, a, b, plan, [&threshold] { return threshold.load(std::memory_order_relaxed); }, rule);
}

MotionCount CountChangedPixelsWith(ScanKernel kernel, const FrameImage& a, const FrameImage& b, const ScanPlan& plan,
                                   std::uint8_t threshold, const CountRule& rule)
{
    return CountRows(KernelsFor(kernel), a, b, plan, [threshold] { return threshold; }, rule);
}

std::optional<PixelBox> ChangedPixelBox(const FrameImage& a, const FrameImage& b, const ScanPlan& plan,
                                        std::uint8_t threshold)
{
    // Each row is searched only where a change would move an edge of the box
    // found so far (left of it, right of it), and inside it only until one
    // change says the row reaches the box: a picture full of changes costs
    // about one pass, not a search per changed pixel.
    const detail::RowScan rowScan = ActiveRowScan();
    std::optional<PixelBox> box;
    const auto first = [&](const std::uint8_t* rowA, const std::uint8_t* rowB, int begin, int end) {
        if (begin >= end) return -1;
        const int found = rowScan(rowA + 3 * begin, rowB + 3 * begin, end - begin, threshold);
        return found < 0 ? -1 : begin + found;
    };
    WalkSpans(a, b, plan, [threshold] { return threshold; },
              [&](int y, const std::uint8_t* rowA, const std::uint8_t* rowB, const ScanPlan::Span* spans,
                  std::uint32_t spanCount, std::uint8_t) {
                  bool rowChanged = false;
                  for (std::uint32_t s = 0; s < spanCount; ++s) {
                      const int begin = spans[s].Begin;
                      const int end = spans[s].End;
                      if (!box) {
                          const int found = first(rowA, rowB, begin, end);
                          if (found < 0) continue;
                          box = PixelBox{found, y, found, y};
                          rowChanged = true;
                      }
                      if (const int left = first(rowA, rowB, begin, std::min(end, box->Left)); left >= 0) {
                          box->Left = left;
                          rowChanged = true;
                      }
                      for (int right = first(rowA, rowB, std::max(begin, box->Right + 1), end); right >= 0;
                           right = first(rowA, rowB, right + 1, end)) {
                          box->Right = right;
                          rowChanged = true;
                      }
                      if (!rowChanged)
                          rowChanged = first(rowA, rowB, std::max(begin, box->Left), std::min(end, box->Right + 1)) >= 0;
                  }
                  if (rowChanged) box->Bottom = y;
                  return true;
              });
    return box;
}

std::optional<PixelPosition> FirstChangedPixel(const FrameImage& a, const FrameImage& b, std::uint8_t threshold)
{
    return ScanRows(ActiveRowScan(), a, b, [threshold] { return threshold; });
}

std::optional<int> RowWithChangedPixel(const FrameImage& a, const FrameImage& b,
                                       const std::atomic<std::uint8_t>& threshold, int startRow)
{
    const auto found = ScanRows(
        ActiveRowScan(), a, b, [&threshold] { return threshold.load(std::memory_order_relaxed); }, startRow);
    return found ? std::optional<int>(found->Row) : std::nullopt;
}

std::optional<PixelPosition> FirstChangedPixelWith(ScanKernel kernel, const FrameImage& a, const FrameImage& b,
                                                   std::uint8_t threshold)
{
    return ScanRows(RowScanFor(kernel), a, b, [threshold] { return threshold; });
}

std::optional<PixelPosition> FirstChangedPixelReference(const FrameImage& a, const FrameImage& b,
                                                        std::uint8_t threshold)
{
    if (!SameSize(a, b)) return std::nullopt;
    const int height = a.Height();
    const int width = a.Width();
    for (int row = 0; row < height; ++row) {
        const std::uint8_t* rowA = a.Row(row);
        const std::uint8_t* rowB = b.Row(row);
        for (int x = 0; x < (width - 1) * 3; x += 3) {
            if (std::abs(rowA[x] - rowB[x]) <= threshold) continue;
            if (std::abs(rowA[x + 1] - rowB[x + 1]) <= threshold) continue;
            if (std::abs(rowA[x + 2] - rowB[x + 2]) <= threshold) continue;
            return PixelPosition{row, x / 3};
        }
    }
    return std::nullopt;
}

bool FramesDiffer(const FrameImage& a, const FrameImage& b, std::uint8_t threshold)
{
    return FirstChangedPixel(a, b, threshold).has_value();
}

std::span<const ScanKernel> AvailableScanKernels()
{
#if defined(QMD_HAVE_X86_SCAN_KERNELS)
    static const std::array<ScanKernel, 3> withAvx2{ScanKernel::Portable, ScanKernel::Sse2, ScanKernel::Avx2};
    static const bool hasAvx2 = ProcessorHasAvx2();
    return std::span<const ScanKernel>(withAvx2.data(), hasAvx2 ? 3 : 2);
#else
    static const std::array<ScanKernel, 1> portableOnly{ScanKernel::Portable};
    return portableOnly;
#endif
}

ScanKernel ActiveScanKernel()
{
    static const ScanKernel kernel = BestScanKernel();
    return kernel;
}

const char* ScanKernelName(ScanKernel kernel)
{
    switch (kernel) {
    case ScanKernel::Portable: return "portable";
    case ScanKernel::Sse2: return "sse2";
    case ScanKernel::Avx2: return "avx2";
    }
    return "unknown";
}

}  // namespace qmd
