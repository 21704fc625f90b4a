// A clip of frames through the detection cycle against a separate, plain
// reading of the rule: a frame is examined once the count since the last reset
// has passed the delay; it is compared with the frame examined before it;
// motion is one pixel, not in the last column, whose three channels each moved
// by more than the threshold.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <random>
#include <vector>

#include "detect/detection.h"

using namespace qmd;

namespace {

// A picture as plain packed pixels, no row padding.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> bgr;

    std::uint8_t& At(int x, int y, int channel) { return bgr[(static_cast<std::size_t>(y) * width + x) * 3 + channel]; }
    int At(int x, int y, int channel) const { return bgr[(static_cast<std::size_t>(y) * width + x) * 3 + channel]; }
};

struct ClipFrame {
    Picture picture;
    bool resetBefore = false;  // the user pressed F8 before this frame
    int thresholdBefore = -1;  // the slider moved before this frame
};

// A still, noisy scene (noise below the threshold) with a square walking
// across it now and then, a lamp that changes one channel only, a flicker
// confined to the last column, a reset, a slider change and a format change.
std::vector<ClipFrame> MakeClip()
{
    std::mt19937 random(12345);
    std::vector<ClipFrame> clip;
    for (int i = 0; i < 400; ++i) {
        ClipFrame frame;
        Picture& p = frame.picture;
        p.width = i < 300 ? 48 : 37;
        p.height = i < 300 ? 32 : 29;
        p.bgr.resize(static_cast<std::size_t>(p.width) * p.height * 3);
        for (int y = 0; y < p.height; ++y)
            for (int x = 0; x < p.width; ++x)
                for (int c = 0; c < 3; ++c)
                    p.At(x, y, c) = static_cast<std::uint8_t>(90 + (x * 7 + y * 3 + c * 11) % 60 + random() % 12);
        if ((i / 20) % 3 == 1) {
            const int left = (i * 3) % (p.width - 6);
            for (int y = 10; y < 16; ++y)
                for (int x = left; x < left + 6; ++x) p.At(x, y, 0) = p.At(x, y, 1) = p.At(x, y, 2) = 250;
        }
        if (i % 37 == 5)
            for (int y = 0; y < p.height; ++y)
                for (int x = 0; x < p.width; ++x) p.At(x, y, 2) = 0;
        if (i % 23 == 7)
            for (int y = 0; y < p.height; ++y)
                for (int c = 0; c < 3; ++c) p.At(p.width - 1, y, c) = 255 - p.At(p.width - 1, y, c);
        frame.resetBefore = i == 150 || i == 330;
        if (i == 250) frame.thresholdBefore = 160;
        if (i == 280) frame.thresholdBefore = 12;
        clip.push_back(std::move(frame));
    }
    return clip;
}

// The rule, written out once more without any of the program's code.
std::vector<bool> MotionByTheRule(const std::vector<ClipFrame>& clip, int delay, int threshold)
{
    int counter = 2;
    int next = 0;
    Picture stored[2];
    std::vector<bool> motion;
    for (const ClipFrame& frame : clip) {
        if (frame.resetBefore) counter = 0;
        if (frame.thresholdBefore >= 0) threshold = frame.thresholdBefore;
        if (counter <= delay) {
            ++counter;
            motion.push_back(false);
            continue;
        }
        stored[next] = frame.picture;
        const Picture& a = stored[0];
        const Picture& b = stored[1];
        bool moved = false;
        if (a.width == b.width && a.height == b.height) {
            for (int y = 0; y < a.height && !moved; ++y)
                for (int x = 0; x + 1 < a.width && !moved; ++x)
                    moved = std::abs(a.At(x, y, 0) - b.At(x, y, 0)) > threshold &&
                            std::abs(a.At(x, y, 1) - b.At(x, y, 1)) > threshold &&
                            std::abs(a.At(x, y, 2) - b.At(x, y, 2)) > threshold;
        }
        motion.push_back(moved);
        next = 1 - next;
    }
    return motion;
}

class CountingReactions : public ReactionSequence {
public:
    void Run(DetectionState&) override { ++runs; }
    int runs = 0;
};

}  // namespace

TEST(IndependentRule, TheCycleReportsMotionOnExactlyTheSameFrames)
{
    const std::vector<ClipFrame> clip = MakeClip();
    const int delay = 4;
    const std::vector<bool> expected = MotionByTheRule(clip, delay, 40);

    DetectionState state;
    state.Slots.Create();
    state.FrameCounter = 2;
    state.StartDelayFrames = delay;
    state.Threshold = 40;
    CountingReactions reactions;
    std::vector<bool> reported;
    for (const ClipFrame& frame : clip) {
        if (frame.resetBefore) ClearDetectionMemory(state);
        if (frame.thresholdBefore >= 0) state.Threshold = static_cast<std::uint8_t>(frame.thresholdBefore);
        const Picture& p = frame.picture;
        const FrameCopy copy = [&p](FrameImage& slot) {
            slot.Resize(p.width, p.height);
            for (int y = 0; y < p.height; ++y)
                for (int x = 0; x < p.width; ++x)
                    for (int c = 0; c < 3; ++c) slot.Row(y)[3 * x + c] = static_cast<std::uint8_t>(p.At(x, y, c));
            return true;
        };
        reported.push_back(RunDetectionCycle(state, copy, &reactions));
    }

    EXPECT_EQ(reported, expected);
    const auto motionFrames = std::count(expected.begin(), expected.end(), true);
    EXPECT_EQ(reactions.runs, motionFrames);
    // The clip must give both answers plenty of times.
    EXPECT_GT(motionFrames, 40);
    EXPECT_LT(motionFrames, 300);
}
