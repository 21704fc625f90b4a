#include "detect/frame_scan.h"

#include <algorithm>
#include <array>
#include <cstdlib>

#include "detect/detection.h"
#include "detect/scan_kernels.h"

namespace qmd {
namespace {

detail::RowScan RowScanFor(ScanKernel kernel)
{
    switch (kernel) {
#if defined(QMD_HAVE_X86_SCAN_KERNELS)
    case ScanKernel::Avx2:
        if (detail::ProcessorHasAvx2()) return detail::FirstChangedInRowAvx2;
        return detail::FirstChangedInRowSse2;
    case ScanKernel::Sse2: return detail::FirstChangedInRowSse2;
#else
    case ScanKernel::Avx2:
    case ScanKernel::Sse2:
#endif
    case ScanKernel::Portable: break;
    }
    return detail::FirstChangedInRowPortable;
}

ScanKernel BestScanKernel()
{
#if defined(QMD_HAVE_X86_SCAN_KERNELS)
    return detail::ProcessorHasAvx2() ? ScanKernel::Avx2 : ScanKernel::Sse2;
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

// Rows from the top; in each row the pixels 0 .. W-2. ThresholdOf() is asked
// once per row.
template <class ThresholdOf>
std::optional<PixelPosition> ScanRows(detail::RowScan rowScan, const FrameImage& a, const FrameImage& b,
                                      ThresholdOf thresholdOf)
{
    if (!SameSize(a, b)) return std::nullopt;
    const int examinedPixels = a.Width() - 1;
    if (examinedPixels < 1) return std::nullopt;
    // Walked with plain pointers: the kernel is called through a pointer, so
    // the pictures' accessors would be asked again for every row.
    const std::uint8_t* rowA = a.Bits();
    const std::uint8_t* rowB = b.Bits();
    for (int row = 0; row < a.Height(); ++row, rowA += a.Stride(), rowB += b.Stride()) {
        const int column = rowScan(rowA, rowB, examinedPixels, thresholdOf());
        if (column >= 0) return PixelPosition{row, column};
    }
    return std::nullopt;
}

// Calls visit(row, column) for each changed pixel in the plan's spans, row by
// row from the top, until it returns false. A changed pixel found, the span
// is searched again from the pixel after it, by the same kernel.
template <class ThresholdOf, class Visit>
void VisitChangedPixels(detail::RowScan rowScan, const FrameImage& a, const FrameImage& b, const ScanPlan& plan,
                        ThresholdOf thresholdOf, Visit visit)
{
    if (!SameSize(a, b) || a.Width() < 2) return;
    const ScanPlan::Span whole{0, a.Width() - 1};
    const ScanPlan::Span* spans = plan.Whole() ? &whole : plan.Spans().data();
    const std::uint8_t* rowA = a.Bits();
    const std::uint8_t* rowB = b.Bits();
    int row = 0;
    const auto visitBand = [&](int rowEnd, std::uint32_t firstSpan, std::uint32_t endSpan) {
        for (; row < rowEnd; ++row, rowA += a.Stride(), rowB += b.Stride()) {
            const std::uint8_t threshold = thresholdOf();
            for (std::uint32_t s = firstSpan; s < endSpan; ++s) {
                for (int column = spans[s].Begin; column < spans[s].End; ++column) {
                    const int found = rowScan(rowA + 3 * column, rowB + 3 * column, spans[s].End - column, threshold);
                    if (found < 0) break;
                    column += found;
                    if (!visit(row, column)) return false;
                }
            }
        }
        return true;
    };
    if (plan.Whole()) {
        visitBand(a.Height(), 0, 1);
        return;
    }
    for (const ScanPlan::Band& band : plan.Bands())
        if (!visitBand(std::min(band.RowEnd, a.Height()), band.FirstSpan, band.EndSpan)) return;
}

template <class ThresholdOf>
MotionCount CountRows(detail::RowScan rowScan, const FrameImage& a, const FrameImage& b, const ScanPlan& plan,
                      ThresholdOf thresholdOf, const CountRule& rule)
{
    const std::int64_t needed = std::max<std::int64_t>(rule.Needed, 1);
    const bool bounded = rule.LightBound != CountRule::kNoBound;
    std::int64_t counted = 0;
    MotionCount result;
    VisitChangedPixels(rowScan, a, b, plan, thresholdOf, [&](int, int) {
        ++counted;
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
    return CountRows(
        ActiveRowScan(), a, b, plan, [&threshold] { return threshold.load(std::memory_order_relaxed); }, rule);
}

MotionCount CountChangedPixelsWith(ScanKernel kernel, const FrameImage& a, const FrameImage& b, const ScanPlan& plan,
                                   std::uint8_t threshold, const CountRule& rule)
{
    return CountRows(RowScanFor(kernel), a, b, plan, [threshold] { return threshold; }, rule);
}

std::optional<PixelBox> ChangedPixelBox(const FrameImage& a, const FrameImage& b, const ScanPlan& plan,
                                        std::uint8_t threshold)
{
    std::optional<PixelBox> box;
    VisitChangedPixels(ActiveRowScan(), a, b, plan, [threshold] { return threshold; }, [&box](int row, int column) {
        if (!box) box = PixelBox{column, row, column, row};
        box->Left = std::min(box->Left, column);
        box->Right = std::max(box->Right, column);
        box->Bottom = row;
        return true;
    });
    return box;
}

std::optional<PixelPosition> FirstChangedPixel(const FrameImage& a, const FrameImage& b, std::uint8_t threshold)
{
    return ScanRows(ActiveRowScan(), a, b, [threshold] { return threshold; });
}

std::optional<PixelPosition> FirstChangedPixel(const FrameImage& a, const FrameImage& b,
                                               const std::atomic<std::uint8_t>& threshold)
{
    return ScanRows(ActiveRowScan(), a, b, [&threshold] { return threshold.load(std::memory_order_relaxed); });
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
    static const bool hasAvx2 = detail::ProcessorHasAvx2();
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
