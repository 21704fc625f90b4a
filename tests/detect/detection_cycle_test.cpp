#include <gtest/gtest.h>

#include <future>
#include <limits>
#include <memory>
#include <mutex>
#include <vector>

#include "common/quisk_error.h"
#include "detect/detection.h"
#include "detect/frame_helpers.h"

using namespace qmd;
using namespace qmd::test;

namespace {

const FrameImage kBlack = FilledFrame(8, 4, {0, 0, 0});
const FrameImage kWhite = FilledFrame(8, 4, {255, 255, 255});

// Records what the reaction sequence saw when it ran; fails on request.
class RecordingReactions : public ReactionSequence {
public:
    void Run(DetectionState& state) override
    {
        ++runs;
        slotAtRun = state.CurrentSlot.load();
        busyAtRun = state.DetectBusy.load();
        // Taken from another thread: it must be free while reactions run.
        slotsLockedAtRun =
            !std::async(std::launch::async, [&state] { return state.Slots.TryLock().has_value(); }).get();
        frameAtRun = state.Slots.Lock()[slotAtRun];
        if (failNext) {
            failNext = false;
            throw QuiskError("Unable to write to photo");
        }
    }

    int runs = 0;
    int slotAtRun = -1;
    bool busyAtRun = false;
    bool slotsLockedAtRun = false;
    bool failNext = false;
    FrameImage frameAtRun;
};

class DetectionCycle : public ::testing::Test {
protected:
    void SetUp() override
    {
        state.Slots.Create();
        state.FrameCounter = 2;  // as start-up leaves it
    }

    // Delivers one frame; the copy puts it into the slot the cycle chose.
    bool Deliver(const FrameImage& frame)
    {
        return RunDetectionCycle(
            state,
            [&](FrameImage& slot) {
                ++copies;
                copyTarget = &slot;
                slot = frame;
                return true;
            },
            &reactions);
    }

    // Past the warm-up, with both slots holding `frame`, slot 0 next.
    void ArmWith(const FrameImage& frame)
    {
        state.StartDelayFrames = 0;
        state.FrameCounter = 1;
        Deliver(frame);
        Deliver(frame);
        ASSERT_EQ(state.CurrentSlot, 0);
        copies = 0;
        reactions.runs = 0;
    }

    DetectionState state;
    RecordingReactions reactions;
    int copies = 0;
    FrameImage* copyTarget = nullptr;
};

}  // namespace

TEST_F(DetectionCycle, AfterAResetTheDelayPlusOneFramesAreOnlyCounted)
{
    state.StartDelayFrames = 25;
    ClearDetectionMemory(state);
    for (int i = 0; i < 26; ++i) EXPECT_FALSE(Deliver(i % 2 ? kBlack : kWhite));
    EXPECT_EQ(copies, 0);
    EXPECT_EQ(state.FrameCounter, 26);
    EXPECT_EQ(state.CurrentSlot, 0);
    Deliver(kBlack);  // the 27th
    EXPECT_EQ(copies, 1);
    // An examined cycle leaves the count where it is.
    EXPECT_EQ(state.FrameCounter, 26);
    EXPECT_EQ(state.CurrentSlot, 1);
}

TEST_F(DetectionCycle, AfterStartUpTheDelayLessOneFramesAreOnlyCounted)
{
    state.StartDelayFrames = 25;
    for (int i = 0; i < 24; ++i) Deliver(kBlack);
    EXPECT_EQ(copies, 0);
    Deliver(kBlack);
    EXPECT_EQ(copies, 1);
}

TEST_F(DetectionCycle, ASmallOrNegativeDelayExaminesTheFirstFrame)
{
    state.StartDelayFrames = 1;
    Deliver(kBlack);
    EXPECT_EQ(copies, 1);

    state.StartDelayFrames = -3;
    ClearDetectionMemory(state);
    Deliver(kBlack);
    EXPECT_EQ(copies, 2);
    EXPECT_EQ(state.FrameCounter, 0);
}

TEST_F(DetectionCycle, ChangingTheDelayAppliesToTheNextFrame)
{
    state.StartDelayFrames = 0;
    ClearDetectionMemory(state);
    Deliver(kBlack);  // counted: 0 -> 1
    Deliver(kBlack);
    EXPECT_EQ(copies, 1);
    // Raised after the warm-up: counted again until the count passes it.
    ASSERT_TRUE(ApplyStartDelayText(state, "3"));
    for (int i = 0; i < 3; ++i) Deliver(kBlack);
    EXPECT_EQ(copies, 1);
    EXPECT_EQ(state.FrameCounter, 4);
    Deliver(kBlack);
    EXPECT_EQ(copies, 2);
    // Lowered below the count during a warm-up: it ends at the next frame.
    state.StartDelayFrames = 100;
    ClearDetectionMemory(state);
    for (int i = 0; i < 10; ++i) Deliver(kBlack);
    state.StartDelayFrames = 5;
    Deliver(kBlack);
    EXPECT_EQ(copies, 3);
}

TEST_F(DetectionCycle, TheCountStopsAtTheLargestValue)
{
    state.StartDelayFrames = std::numeric_limits<std::int32_t>::max();
    state.FrameCounter = std::numeric_limits<std::int32_t>::max() - 1;
    Deliver(kBlack);
    Deliver(kBlack);
    EXPECT_EQ(state.FrameCounter, std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(copies, 0);
}

TEST_F(DetectionCycle, ABusyFrameChangesNothing)
{
    state.StartDelayFrames = 25;
    state.FrameCounter = 7;
    state.DetectBusy = true;
    EXPECT_FALSE(Deliver(kWhite));
    EXPECT_EQ(state.FrameCounter, 7);
    EXPECT_EQ(state.CurrentSlot, 0);
    EXPECT_TRUE(state.DetectBusy);

    state.FrameCounter = 26;
    EXPECT_FALSE(Deliver(kWhite));
    EXPECT_EQ(copies, 0);
    EXPECT_EQ(state.CurrentSlot, 0);
    EXPECT_TRUE(state.Slots.Lock()[0].Empty());
}

TEST_F(DetectionCycle, WithoutSlotsAFrameIsDroppedUntouched)
{
    DetectionState bare;
    bare.StartDelayFrames = 0;
    bare.FrameCounter = 0;
    int bareCopies = 0;
    const FrameCopy copy = [&](FrameImage&) { return ++bareCopies > 0; };
    EXPECT_FALSE(RunDetectionCycle(bare, copy, &reactions));
    EXPECT_FALSE(RunDetectionCycle(bare, copy, &reactions));
    EXPECT_EQ(bare.FrameCounter, 0);
    EXPECT_EQ(bare.CurrentSlot, 0);
    EXPECT_FALSE(bare.DetectBusy);
    EXPECT_EQ(bareCopies, 0);
}

TEST_F(DetectionCycle, MotionRunsTheReactionsOnTheFrameJustStored)
{
    ArmWith(kBlack);
    EXPECT_TRUE(Deliver(kWhite));
    EXPECT_EQ(copyTarget, &state.Slots.Lock()[0]);
    ASSERT_EQ(reactions.runs, 1);
    EXPECT_EQ(reactions.slotAtRun, 0);
    EXPECT_EQ(reactions.frameAtRun, kWhite);
    EXPECT_TRUE(reactions.busyAtRun);
    EXPECT_FALSE(reactions.slotsLockedAtRun);
    EXPECT_FALSE(state.DetectBusy);
    EXPECT_EQ(state.CurrentSlot, 1);

    // The next frame is measured against the one just examined.
    EXPECT_FALSE(Deliver(kWhite));
    EXPECT_TRUE(Deliver(kBlack));
    EXPECT_EQ(reactions.runs, 2);
    EXPECT_EQ(reactions.slotAtRun, 0);
}

TEST_F(DetectionCycle, ThresholdAndLastColumnHoldInTheCycle)
{
    ArmWith(kBlack);
    state.Threshold = ThresholdForPosition(0);  // 255
    EXPECT_FALSE(Deliver(kWhite));
    EXPECT_FALSE(Deliver(kBlack));

    state.Threshold = 40;
    FrameImage edge = kBlack;
    for (int y = 0; y < edge.Height(); ++y) SetPixel(edge, edge.Width() - 1, y, {255, 255, 255});
    EXPECT_FALSE(Deliver(edge));
    FrameImage atThreshold = kBlack;
    SetPixel(atThreshold, 2, 2, {40, 40, 40});
    EXPECT_FALSE(Deliver(atThreshold));
    EXPECT_FALSE(Deliver(kBlack));
    SetPixel(atThreshold, 3, 3, {41, 41, 41});
    EXPECT_TRUE(Deliver(atThreshold));
    EXPECT_EQ(reactions.runs, 1);
}

TEST_F(DetectionCycle, AFailingReactionStillEndsTheCycle)
{
    ArmWith(kBlack);
    reactions.failNext = true;
    EXPECT_THROW(Deliver(kWhite), QuiskError);
    EXPECT_EQ(state.CurrentSlot, 1);
    EXPECT_FALSE(state.DetectBusy);
    // The next frame is examined normally.
    EXPECT_TRUE(Deliver(kBlack));
    EXPECT_EQ(reactions.runs, 2);
    EXPECT_EQ(reactions.slotAtRun, 1);
    EXPECT_EQ(state.CurrentSlot, 0);
}

TEST_F(DetectionCycle, AFailingCopyStillEndsTheCycle)
{
    ArmWith(kBlack);
    const FrameCopy failing = [](FrameImage&) -> bool { throw QuiskError("copy failed"); };
    EXPECT_THROW(RunDetectionCycle(state, failing, &reactions), QuiskError);
    EXPECT_EQ(state.CurrentSlot, 1);
    EXPECT_FALSE(state.DetectBusy);
    EXPECT_EQ(reactions.runs, 0);
}

TEST_F(DetectionCycle, AFrameThatCannotBeCopiedLeavesItsSlotAsItWas)
{
    ArmWith(kBlack);
    Deliver(kWhite);  // slot 0 white, motion
    Deliver(kWhite);  // slot 1 white
    const FrameCopy refused = [](FrameImage&) { return false; };
    // Slot 0 keeps white: the scan still runs on the two slots as they are.
    EXPECT_FALSE(RunDetectionCycle(state, refused, &reactions));
    EXPECT_EQ(state.CurrentSlot, 1);
    EXPECT_TRUE(Deliver(kBlack));
    EXPECT_EQ(copyTarget, &state.Slots.Lock()[1]);
}

TEST_F(DetectionCycle, TheFirstFrameAfterADeviceSwitchGoesIntoSlotOne)
{
    ArmWith(kBlack);
    {
        // What the device switch does on the GUI thread.
        const FrameSlots::Access frameSlots = state.Slots.Lock();
        state.CurrentSlot = 1;
        frameSlots[0] = kWhite;
        frameSlots[1] = kWhite;
    }
    ClearDetectionMemory(state);
    Deliver(kBlack);  // counted
    EXPECT_EQ(copies, 0);
    EXPECT_TRUE(Deliver(kBlack));
    EXPECT_EQ(copyTarget, &state.Slots.Lock()[1]);
    EXPECT_EQ(reactions.frameAtRun, kBlack);
}

TEST_F(DetectionCycle, TheFirstFrameAfterStartUpNeverDetects)
{
    // A switch at start-up found no frame to fill the slots with: slot 0 is
    // still empty when the first frame goes into slot 1.
    state.CurrentSlot = 1;
    state.StartDelayFrames = 0;
    state.Threshold = 0;
    EXPECT_FALSE(Deliver(kWhite));
    EXPECT_EQ(copyTarget, &state.Slots.Lock()[1]);
    EXPECT_TRUE(Deliver(kBlack));
}

TEST_F(DetectionCycle, ASceneChangedDuringTheWarmUpIsDetectedAfterIt)
{
    ArmWith(kBlack);
    state.StartDelayFrames = 3;
    ClearDetectionMemory(state);
    for (int i = 0; i < 4; ++i) EXPECT_FALSE(Deliver(kWhite));
    EXPECT_TRUE(Deliver(kWhite));
    EXPECT_EQ(reactions.runs, 1);
}

TEST_F(DetectionCycle, AFormatChangeSkipsOneComparison)
{
    ArmWith(kBlack);
    const FrameImage wideWhite = FilledFrame(16, 4, {255, 255, 255});
    const FrameImage wideBlack = FilledFrame(16, 4, {0, 0, 0});
    EXPECT_FALSE(Deliver(wideWhite));  // meets a frame of the old size
    EXPECT_TRUE(Deliver(wideBlack));
    EXPECT_FALSE(Deliver(kBlack));  // and back
    EXPECT_FALSE(Deliver(kBlack));
    EXPECT_TRUE(Deliver(kWhite));
}

TEST_F(DetectionCycle, ALightStepWithTheBoundOnIsNotMotionAndComparisonStartsAfreshFromIt)
{
    // A room lit up: every pixel brighter. A figure walking in the bright
    // room afterwards is motion again.
    const FrameImage dark = FilledFrame(64, 48, {30, 30, 30});
    const FrameImage bright = FilledFrame(64, 48, {200, 200, 200});
    FrameImage figure = bright;
    for (int y = 10; y < 30; ++y)
        for (int x = 20; x < 28; ++x) SetPixel(figure, x, y, {20, 20, 20});
    ArmWith(dark);
    state.LightChangeShare = 5000;  // more than half the picture
    EXPECT_FALSE(Deliver(bright));
    EXPECT_FALSE(Deliver(bright));
    EXPECT_TRUE(Deliver(figure));
    EXPECT_EQ(reactions.runs, 1);
    // The same step without the bound is motion, as it always was.
    state.LightChangeShare = 0;
    EXPECT_TRUE(Deliver(dark));
}

TEST(FrameSlots, CreateMakesTwoEmptySlots)
{
    FrameSlots frameSlots;
    EXPECT_FALSE(frameSlots.Exist());
    frameSlots.Create();
    ASSERT_TRUE(frameSlots.Exist());
    FrameImage* first = nullptr;
    {
        const FrameSlots::Access access = frameSlots.Lock();
        EXPECT_TRUE(access[0].Empty());
        EXPECT_TRUE(access[1].Empty());
        EXPECT_NE(&access[0], &access[1]);
        access[0] = kWhite;
        first = &access[0];
        EXPECT_FALSE(std::async(std::launch::async, [&frameSlots] { return frameSlots.TryLock().has_value(); }).get())
            << "the accessor holds the lock";
    }
    EXPECT_TRUE(frameSlots.TryLock().has_value());
    // Again: emptied where they are.
    frameSlots.Create();
    const FrameSlots::Access access = frameSlots.Lock();
    EXPECT_EQ(&access[0], first);
    EXPECT_TRUE(access[0].Empty());
}

// The box around what moved costs a scan of both whole frames: it is worked
// out only while the preview is painted, and then at most ten times a second.
TEST(MotionMarksTest, TheBoxIsDueOnlyWhileSeenAndTenTimesASecond)
{
    using namespace std::chrono_literals;
    MotionMarks marks;
    const MotionMarks::Clock::time_point start = MotionMarks::Clock::now();
    EXPECT_FALSE(marks.BoxDue(start)) << "nobody sees the preview";
    marks.NotePreviewPainted(start);
    EXPECT_TRUE(marks.BoxDue(start));
    marks.PublishBox(AreaRect{0.1, 0.1, 0.2, 0.2}, start);
    EXPECT_FALSE(marks.BoxDue(start + 99ms));
    EXPECT_TRUE(marks.BoxDue(start + 100ms));
    EXPECT_FALSE(marks.BoxDue(start + 1s + 100ms)) << "the preview has not been painted for a second";
}

// A frame shared with the capture is given back as soon as it has been
// compared with its successor, so that the capture's pool can reuse it for
// the frame after; the newer frame stays for the next comparison and for the
// reactions.
TEST_F(DetectionCycle, ASharedFrameIsGivenBackOnceComparedWithItsSuccessor)
{
    ArmWith(kBlack);
    std::vector<std::weak_ptr<const void>> owners;
    const auto deliverShared = [&](const FrameImage& frame) {
        auto owner = std::make_shared<FrameImage>(frame);
        owners.push_back(owner);
        return RunDetectionCycle(
            state,
            [&](FrameImage& slot) {
                slot.Share(owner->Width(), owner->Height(), owner->Bits(), owner);
                return true;
            },
            &reactions);
    };
    EXPECT_TRUE(deliverShared(kWhite));
    reactions.frameAtRun = {};  // the reactions' own copy shares it too
    EXPECT_FALSE(deliverShared(kWhite));
    EXPECT_TRUE(owners[0].expired()) << "the older frame is still held";
    EXPECT_FALSE(owners[1].expired());
    EXPECT_TRUE(deliverShared(kBlack));
    EXPECT_TRUE(owners[1].expired());
    EXPECT_EQ(reactions.frameAtRun, kBlack);
    EXPECT_FALSE(owners[2].expired());
}
