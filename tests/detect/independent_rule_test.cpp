// A clip of frames through the detection cycle against a separate, plain
// reading of the rule: a frame is examined once the count since the last reset
// has passed the delay; it is compared with the frame examined before it;
// motion is one pixel, not in the last column, whose three channels each moved
// by more than the threshold.
// The second test adds the areas to ignore, the smallest area that counts,
// the bound above which a change is light and the box the preview frames, on
// random frame pairs.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <optional>
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

namespace {

struct Area {
    double x, y, width, height;
};

// A pixel lies in an area when its centre does.
bool InArea(const Area& area, int x, int y, int width, int height)
{
    const double cx = (x + 0.5) / width;
    const double cy = (y + 0.5) / height;
    return area.x <= cx && cx < area.x + area.width && area.y <= cy && cy < area.y + area.height;
}

// The rule with areas and the two shares, written out once more: count the
// changed pixels outside every area; motion when there are at least the
// smallest share of the picture (and at least one), unless a light bound is
// set and more than its share of the picture changed.
// With `box`, also the smallest rectangle holding every pixel that counted
// (left, top, right, bottom, edges included).
bool MotionByTheCountingRule(const Picture& a, const Picture& b, int threshold, const std::vector<Area>& areas,
                             int smallestShare, int lightShare, std::array<int, 4>* box = nullptr)
{
    if (a.width != b.width || a.height != b.height) return false;
    if (box) *box = {a.width, a.height, -1, -1};
    long long counted = 0;
    for (int y = 0; y < a.height; ++y)
        for (int x = 0; x + 1 < a.width; ++x) {
            bool ignored = false;
            for (const Area& area : areas) ignored = ignored || InArea(area, x, y, a.width, a.height);
            if (ignored) continue;
            if (std::abs(a.At(x, y, 0) - b.At(x, y, 0)) > threshold &&
                std::abs(a.At(x, y, 1) - b.At(x, y, 1)) > threshold &&
                std::abs(a.At(x, y, 2) - b.At(x, y, 2)) > threshold) {
                ++counted;
                if (box) *box = {std::min((*box)[0], x), std::min((*box)[1], y), std::max((*box)[2], x), y};
            }
        }
    const long long picture = static_cast<long long>(a.width) * a.height;
    if (lightShare > 0 && counted * 10000 > lightShare * picture) return false;
    return counted >= 1 && counted * 10000 >= smallestShare * picture;
}

void CopyInto(const Picture& p, FrameImage& slot)
{
    slot.Resize(p.width, p.height);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            for (int c = 0; c < 3; ++c) slot.Row(y)[3 * x + c] = static_cast<std::uint8_t>(p.At(x, y, c));
}

}  // namespace

TEST(IndependentRule, AreasTheSmallestAreaAndTheLightBoundAgreeOnRandomPairs)
{
    std::mt19937 random(2026);
    const auto uniform = [&random](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    const auto fraction = [&random] { return std::uniform_real_distribution<double>(0, 1)(random); };
    // One state for every pair, so that the areas and the frame size also
    // change under a state that has scanned before.
    DetectionState state;
    state.Slots.Create();
    state.StartDelayFrames = 0;
    state.FrameCounter = 1;
    int motions = 0;
    int lightChanges = 0;
    for (int pair = 0; pair < 1500; ++pair) {
        Picture before;
        before.width = uniform(1, 80);
        before.height = uniform(1, 24);
        before.bgr.resize(static_cast<std::size_t>(before.width) * before.height * 3);
        for (auto& byte : before.bgr) byte = static_cast<std::uint8_t>(uniform(40, 200));
        Picture after = before;
        const int threshold = uniform(0, 80);
        // A few moving blobs, now and then a light step over most of the picture.
        for (int blobs = uniform(0, 3); blobs > 0; --blobs) {
            const int left = uniform(0, after.width - 1);
            const int top = uniform(0, after.height - 1);
            const int right = std::min(after.width, left + uniform(1, 12));
            const int bottom = std::min(after.height, top + uniform(1, 8));
            const int value = uniform(0, 255);
            for (int y = top; y < bottom; ++y)
                for (int x = left; x < right; ++x)
                    for (int c = 0; c < 3; ++c) after.At(x, y, c) = static_cast<std::uint8_t>(value);
        }
        if (uniform(0, 4) == 0)
            for (int y = 0; y < after.height; ++y)
                for (int x = 0; x < after.width; ++x)
                    if (uniform(0, 9) != 0)
                        for (int c = 0; c < 3; ++c) after.At(x, y, c) = static_cast<std::uint8_t>(after.At(x, y, c) + 55);
        std::vector<Area> areas;
        AreaList programAreas;
        for (int count = uniform(0, 3); count > 0; --count) {
            Area area{fraction(), fraction(), 0, 0};
            area.width = (1 - area.x) * fraction();
            area.height = (1 - area.y) * fraction();
            if (uniform(0, 5) == 0) area = {0, 0, 1, 1};
            if (area.width <= 0 || area.height <= 0) continue;
            areas.push_back(area);
            programAreas.push_back({area.x, area.y, area.width, area.height});
        }
        const int shares[] = {0, 0, 1, 50, 300, 2000, 5000, 9000, 10000};
        const int smallestShare = shares[uniform(0, 8)];
        const int lightShare = shares[uniform(0, 8)];

        if (uniform(0, 2) == 0) {
            areas.clear();
            programAreas.clear();
        }
        state.Areas.Set(programAreas);
        state.SmallestAreaShare = smallestShare;
        state.LightChangeShare = lightShare;
        state.Threshold = static_cast<std::uint8_t>(threshold);
        {
            const FrameSlots::Access frameSlots = state.Slots.Lock();
            CopyInto(before, frameSlots[0]);
        }
        state.CurrentSlot = 1;
        // As the preview does while it is shown: the detection frames what
        // moved. The last pair's box is made a second old, so that this
        // cycle works out its own and nothing older shows.
        state.Marks.NotePreviewPainted();
        state.Marks.PublishBox(AreaRect{}, MotionMarks::Clock::now() - MotionMarks::kShownFor);
        const bool reported = RunDetectionCycle(
            state,
            [&after](FrameImage& slot) {
                CopyInto(after, slot);
                return true;
            },
            nullptr);
        std::array<int, 4> box{};
        const bool expected =
            MotionByTheCountingRule(before, after, threshold, areas, smallestShare, lightShare, &box);
        ASSERT_EQ(reported, expected) << "pair " << pair << ": " << before.width << "x" << before.height
                                      << ", threshold " << threshold << ", " << areas.size() << " areas, smallest "
                                      << smallestShare << ", light " << lightShare;
        if (expected) {
            const std::optional<AreaRect> framed = state.Marks.RecentBox();
            ASSERT_TRUE(framed.has_value()) << "pair " << pair;
            const double w = after.width, h = after.height;
            EXPECT_NEAR(framed->X, box[0] / w, 1e-9) << "pair " << pair;
            EXPECT_NEAR(framed->Y, box[1] / h, 1e-9) << "pair " << pair;
            EXPECT_NEAR(framed->Width, (box[2] + 1 - box[0]) / w, 1e-9) << "pair " << pair;
            EXPECT_NEAR(framed->Height, (box[3] + 1 - box[1]) / h, 1e-9) << "pair " << pair;
        }
        motions += expected;
        lightChanges += lightShare > 0 && !expected &&
                        MotionByTheCountingRule(before, after, threshold, areas, smallestShare, 0);
    }
    // Both answers, and light steps turned away, many times.
    EXPECT_GT(motions, 200);
    EXPECT_LT(motions, 1300);
    EXPECT_GT(lightChanges, 20);
}
