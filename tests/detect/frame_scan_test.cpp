#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "detect/detection.h"
#include "detect/frame_helpers.h"
#include "detect/frame_scan.h"
#include "detect/scan_kernels.h"

using namespace qmd;
using namespace qmd::test;

namespace {

// Every kernel this processor has, the fast path and the reference must give
// the same first changed pixel; returns the reference's answer.
std::optional<PixelPosition> KernelsAgree(const FrameImage& a, const FrameImage& b, std::uint8_t threshold)
{
    const auto expected = FirstChangedPixelReference(a, b, threshold);
    // Plain comparisons first: hundreds of thousands of pairs go through here.
    for (ScanKernel kernel : AvailableScanKernels()) {
        if (FirstChangedPixelWith(kernel, a, b, threshold) != expected) {
            ADD_FAILURE() << ScanKernelName(kernel) << " differs from the reference at " << a.Width() << "x"
                          << a.Height() << ", threshold " << int(threshold);
        }
    }
    return expected;
}

// The same, and the entry points the program calls as well.
std::optional<PixelPosition> AgreedFirstChange(const FrameImage& a, const FrameImage& b, std::uint8_t threshold)
{
    const auto expected = KernelsAgree(a, b, threshold);
    if (FirstChangedPixel(a, b, threshold) != expected) ADD_FAILURE() << "the fast path differs";
    if (FramesDiffer(a, b, threshold) != expected.has_value()) ADD_FAILURE() << "FramesDiffer differs";
    // From any row on, with the rows above searched last: a change all the
    // same, on a row that has one.
    const std::atomic<std::uint8_t> live{threshold};
    for (const int start : {0, a.Height() / 2, a.Height() - 1}) {
        const std::optional<int> row = RowWithChangedPixel(a, b, live, start);
        if (row.has_value() != expected.has_value()) ADD_FAILURE() << "the search from row " << start << " differs";
        if (row && start == 0 && *row != expected->Row) ADD_FAILURE() << "the search from the top ends elsewhere";
        if (row && *row < start && *row != expected->Row)
            ADD_FAILURE() << "the search from row " << start << " wrapped round to a later change than the first";
    }
    return expected;
}

constexpr Bgr kGrey{100, 100, 100};

}  // namespace

TEST(FrameScan, ThresholdDecidesWhichDifferencesCount)
{
    FrameImage a = FilledFrame(8, 4, kGrey);
    FrameImage b = a;
    SetPixel(b, 3, 2, {141, 141, 141});  // each channel differs by 41

    EXPECT_EQ(AgreedFirstChange(a, b, 40), (PixelPosition{2, 3}));
    // Exactly at the threshold does not count.
    EXPECT_EQ(AgreedFirstChange(a, b, 41), std::nullopt);
    // 255: no byte difference can exceed it, even black against white.
    EXPECT_EQ(AgreedFirstChange(FilledFrame(8, 4, {0, 0, 0}), FilledFrame(8, 4, {255, 255, 255}), 255), std::nullopt);
    EXPECT_EQ(AgreedFirstChange(FilledFrame(8, 4, {0, 0, 0}), FilledFrame(8, 4, {255, 255, 255}), 254),
              (PixelPosition{0, 0}));
    // 0: a difference of 1 in every channel counts, a difference of 0 in one does not.
    FrameImage small = a;
    SetPixel(small, 5, 0, {101, 99, 101});
    EXPECT_EQ(AgreedFirstChange(a, small, 0), (PixelPosition{0, 5}));
    SetPixel(small, 5, 0, {101, 100, 101});
    EXPECT_EQ(AgreedFirstChange(a, small, 0), std::nullopt);
}

TEST(FrameScan, EveryChannelMustExceedTheThreshold)
{
    // Many pixels with two channels far over and the third at the threshold:
    // none counts, whichever channel is the weak one.
    const FrameImage a = FilledFrame(70, 5, kGrey);
    for (int weak = 0; weak < 3; ++weak) {
        FrameImage b = a;
        for (int y = 0; y < b.Height(); ++y)
            for (int x = 0; x < b.Width(); ++x)
                for (int channel = 0; channel < 3; ++channel)
                    ShiftChannel(b, x, y, channel, channel == weak ? 30 : 150);
        EXPECT_EQ(AgreedFirstChange(a, b, 30), std::nullopt) << "weak channel " << weak;
        EXPECT_EQ(AgreedFirstChange(a, b, 29), (PixelPosition{0, 0})) << "weak channel " << weak;
    }
}

TEST(FrameScan, TheLastColumnIsNeverExamined)
{
    for (int width : {1, 2, 3, 16, 17, 33, 65, 97, 640}) {
        const FrameImage a = FilledFrame(width, 3, {0, 0, 0});
        FrameImage b = a;
        for (int y = 0; y < 3; ++y) SetPixel(b, width - 1, y, {255, 255, 255});
        EXPECT_EQ(AgreedFirstChange(a, b, 0), std::nullopt) << "width " << width;
        if (width >= 2) {
            SetPixel(b, width - 2, 2, {255, 255, 255});
            EXPECT_EQ(AgreedFirstChange(a, b, 0), (PixelPosition{2, width - 2})) << "width " << width;
        }
    }
}

TEST(FrameScan, EmptyAndDifferentlySizedPairsAreNotCompared)
{
    const FrameImage empty;
    EXPECT_EQ(AgreedFirstChange(empty, empty, 0), std::nullopt);
    const FrameImage black = FilledFrame(64, 4, {0, 0, 0});
    const FrameImage white = FilledFrame(64, 4, {255, 255, 255});
    EXPECT_EQ(AgreedFirstChange(empty, white, 0), std::nullopt);
    EXPECT_EQ(AgreedFirstChange(black, empty, 0), std::nullopt);
    // A format change: the new frame meets one of the old size, wider or
    // narrower, taller or shorter; neither is read past its own rows.
    EXPECT_EQ(AgreedFirstChange(black, FilledFrame(32, 4, {255, 255, 255}), 0), std::nullopt);
    EXPECT_EQ(AgreedFirstChange(FilledFrame(32, 4, {0, 0, 0}), white, 0), std::nullopt);
    EXPECT_EQ(AgreedFirstChange(black, FilledFrame(64, 2, {255, 255, 255}), 0), std::nullopt);
    EXPECT_EQ(AgreedFirstChange(FilledFrame(64, 8, {0, 0, 0}), white, 0), std::nullopt);
}

TEST(FrameScan, TheFirstChangeInRowOrderIsFound)
{
    FrameImage a = FilledFrame(100, 6, kGrey);
    FrameImage b = a;
    SetPixel(b, 90, 1, {0, 0, 0});
    SetPixel(b, 10, 4, {0, 0, 0});
    SetPixel(b, 95, 1, {0, 0, 0});
    EXPECT_EQ(AgreedFirstChange(a, b, 50), (PixelPosition{1, 90}));
    // The same changes seen from the other frame.
    EXPECT_EQ(AgreedFirstChange(b, a, 50), (PixelPosition{1, 90}));
    // Only the last row changed.
    FrameImage lastRow = a;
    SetPixel(lastRow, 0, 5, {255, 255, 255});
    EXPECT_EQ(AgreedFirstChange(a, lastRow, 100), (PixelPosition{5, 0}));
}

TEST(FrameScan, ALiveThresholdIsReadAgainForEveryRow)
{
    const FrameImage a = FilledFrame(40, 3, kGrey);
    FrameImage b = a;
    SetPixel(b, 2, 1, {160, 160, 160});
    std::atomic<std::uint8_t> threshold{59};
    EXPECT_EQ(RowWithChangedPixel(a, b, threshold, 0), 1);
    threshold = 60;
    EXPECT_EQ(RowWithChangedPixel(a, b, threshold, 0), std::nullopt);
}

// A single change of every channel combination at every column of every
// width up to 200, around 16-, 32- and 64-pixel block ends included, in a
// frame whose unchanged bytes sit at random values.
TEST(FrameScan, OneChangedPixelAnywhereIsFoundByEveryKernel)
{
    std::mt19937 random(4711);
    for (int width = 1; width <= 200; ++width) {
        const int height = 1 + width % 3;
        const FrameImage a = RandomFrame(width, height, random);
        FrameImage b = a;
        const std::uint8_t threshold = static_cast<std::uint8_t>(width * 37 % 127);
        for (int column = 0; column < width; ++column) {
            for (int channels = 1; channels < 8; ++channels) {
                for (int delta : {int(threshold), threshold + 1}) {
                    if (channels != 7 && delta == threshold) continue;
                    for (int channel = 0; channel < 3; ++channel)
                        if (channels & (1 << channel)) ShiftChannel(b, column, height - 1, channel, delta);
                    const bool counts = channels == 7 && delta > threshold && column < width - 1;
                    const auto found = KernelsAgree(a, b, threshold);
                    const bool asExpected =
                        counts ? found.has_value() && found->Row == height - 1 && found->Column == column
                               : !found.has_value();
                    if (!asExpected || HasFailure()) {
                        FAIL() << "width " << width << " column " << column << " channels " << channels << " delta "
                               << delta;
                    }
                    std::memcpy(PixelAt(b, column, height - 1), PixelAt(a, column, height - 1), 3);
                }
            }
        }
    }
}

// Thousands of random pairs: random sizes (tiny and odd widths, single rows),
// thresholds over the whole range, noise up to the threshold everywhere and a
// few sparse changes of one, two or three channels near it.
TEST(FrameScan, RandomPairsAgreeWithTheReference)
{
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> percent(0, 99);
    int found = 0;
    const int pairs = 6000;
    for (int i = 0; i < pairs; ++i) {
        const int width = percent(random) < 30 ? 1 + percent(random) % 4 : 1 + int(random() % 300);
        const int height = percent(random) < 30 ? 1 : 1 + int(random() % 6);
        int threshold = int(random() % 256);
        if (percent(random) < 10) threshold = 0;
        if (percent(random) < 5) threshold = 255;
        const FrameImage a = RandomFrame(width, height, random);
        FrameImage b = a;
        const bool noisy = percent(random) < 50;
        for (int y = 0; y < height && noisy; ++y)
            for (int x = 0; x < width; ++x)
                for (int channel = 0; channel < 3; ++channel)
                    ShiftChannel(b, x, y, channel, int(random() % (threshold + 1)));
        const int changes = int(random() % 8);
        for (int c = 0; c < changes; ++c) {
            const int x = int(random() % width), y = int(random() % height);
            const int channels = percent(random) < 50 ? 7 : 1 + int(random() % 6);
            for (int channel = 0; channel < 3; ++channel) {
                if (channels & (1 << channel))
                    ShiftChannel(b, x, y, channel, std::clamp(threshold - 1 + int(random() % 5), 0, 255));
            }
        }
        if (AgreedFirstChange(a, b, static_cast<std::uint8_t>(threshold))) ++found;
        if (HasFailure()) FAIL() << "pair " << i;
    }
    // The pairs must exercise both verdicts.
    EXPECT_GT(found, pairs / 10);
    EXPECT_LT(found, pairs * 9 / 10);
}

// The row kernels on buffers exactly as long as the examined pixels: under
// AddressSanitizer a read past the last one fails.
TEST(FrameScan, KernelsReadNothingPastTheExaminedPixels)
{
    std::mt19937 random(99);
    for (int pixels = 1; pixels <= 150; ++pixels) {
        const std::size_t bytes = static_cast<std::size_t>(pixels) * 3;
        auto a = std::make_unique<std::uint8_t[]>(bytes);
        auto b = std::make_unique<std::uint8_t[]>(bytes);
        for (std::size_t i = 0; i < bytes; ++i) a[i] = b[i] = static_cast<std::uint8_t>(random());
        EXPECT_EQ(detail::FirstChangedInRowPortable(a.get(), b.get(), pixels, 0), -1);
        for (int channel = 0; channel < 3; ++channel) b[bytes - 3 + channel] ^= 0x80;
        EXPECT_EQ(detail::FirstChangedInRowPortable(a.get(), b.get(), pixels, 100), pixels - 1);
#if defined(QMD_HAVE_X86_SCAN_KERNELS)
        EXPECT_EQ(detail::FirstChangedInRowSse2(a.get(), b.get(), pixels, 100), pixels - 1) << pixels;
        if (ProcessorHasAvx2()) {
            EXPECT_EQ(detail::FirstChangedInRowAvx2(a.get(), b.get(), pixels, 100), pixels - 1) << pixels;
        }
#endif
    }
}

// The counting kernels against the rule counted pixel by pixel, on rows as
// long as the examined pixels (under AddressSanitizer a read past them fails)
// with differences around the threshold.
TEST(FrameScan, CountKernelsCountWhatTheRuleCounts)
{
    std::mt19937 random(31);
    for (int round = 0; round < 2000; ++round) {
        const int pixels = int(random() % 200);
        const auto threshold = static_cast<std::uint8_t>(random() % 256);
        const std::size_t bytes = static_cast<std::size_t>(pixels) * 3;
        auto a = std::make_unique<std::uint8_t[]>(bytes);
        auto b = std::make_unique<std::uint8_t[]>(bytes);
        for (std::size_t i = 0; i < bytes; ++i) {
            a[i] = static_cast<std::uint8_t>(random());
            const int shift = random() % 2 ? threshold - 1 + int(random() % 3) : int(random() % 256);
            b[i] = static_cast<std::uint8_t>(std::clamp(a[i] + (random() % 2 ? shift : -shift), 0, 255));
        }
        int expected = 0;
        for (int x = 0; x < pixels; ++x) {
            bool all = true;
            for (int c = 0; c < 3; ++c) all = all && std::abs(a[3 * x + c] - b[3 * x + c]) > threshold;
            expected += all;
        }
        EXPECT_EQ(detail::ChangedInRowPortable(a.get(), b.get(), pixels, threshold), expected);
#if defined(QMD_HAVE_X86_SCAN_KERNELS)
        EXPECT_EQ(detail::ChangedInRowSse2(a.get(), b.get(), pixels, threshold), expected) << pixels;
        if (ProcessorHasAvx2()) {
            EXPECT_EQ(detail::ChangedInRowAvx2(a.get(), b.get(), pixels, threshold), expected) << pixels;
        }
#endif
        if (HasFailure()) FAIL() << "round " << round;
    }
}

TEST(FrameScan, KernelChoiceFollowsTheProcessor)
{
    const auto kernels = AvailableScanKernels();
    ASSERT_FALSE(kernels.empty());
    EXPECT_EQ(kernels.front(), ScanKernel::Portable);
    EXPECT_NE(std::find(kernels.begin(), kernels.end(), ActiveScanKernel()), kernels.end());
    EXPECT_EQ(ActiveScanKernel(), kernels.back());
#if defined(__x86_64__)
    EXPECT_NE(ActiveScanKernel(), ScanKernel::Portable);
#endif
}
