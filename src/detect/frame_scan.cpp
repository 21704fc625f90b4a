#include "detect/frame_scan.h"

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

}  // namespace

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
