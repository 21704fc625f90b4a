// The GUI thread's writers (slider, delay dialog, reset, device switch) against
// frames running on another thread. These tests assert little by themselves:
// their verdict is ThreadSanitizer's, in the sanitizer build.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "detect/detection.h"
#include "detect/frame_helpers.h"

using namespace qmd;
using namespace qmd::test;

namespace {

// Reads what the real reaction sequence reads: the stored frame under the
// slot mutex, and the latches.
class SlotReadingReactions : public ReactionSequence {
public:
    void Run(DetectionState& state) override
    {
        if (running.fetch_add(1) != 0) overlapped = true;
        {
            const FrameSlots::Access frameSlots = state.Slots.Lock();
            const FrameImage& frame = frameSlots[state.CurrentSlot.load() & 1];
            if (!frame.Empty()) checksum += frame.Row(0)[0];
        }
        if (!state.ProgramsLaunched.exchange(true)) ++launches;
        state.InfoShown = true;
        std::this_thread::yield();
        running.fetch_sub(1);
        runs.fetch_add(1);
    }

    std::atomic<int> running{0};
    std::atomic<bool> overlapped{false};
    std::atomic<int> runs{0};
    std::atomic<int> launches{0};
    std::atomic<unsigned> checksum{0};
};

std::vector<FrameImage> ClipOf(int count, std::uint32_t seed)
{
    std::mt19937 random(seed);
    std::vector<FrameImage> frames;
    for (int i = 0; i < count; ++i) {
        // Now and then a frame of another size, as after a format change.
        const int width = i % 50 == 49 ? 24 : 32;
        frames.push_back(RandomFrame(width, 8, random));
    }
    return frames;
}

bool DeliverFrame(DetectionState& state, const FrameImage& frame, ReactionSequence& reactions)
{
    return RunDetectionCycle(
        state,
        [&frame](FrameImage& slot) {
            slot = frame;
            return true;
        },
        &reactions);
}

}  // namespace

TEST(DetectionConcurrency, GuiWritersHammerWhileFramesRun)
{
    DetectionState state;
    state.Slots.Create();
    state.StartDelayFrames = 0;
    state.FrameCounter = 2;
    state.Threshold = 0;
    SlotReadingReactions reactions;
    const std::vector<FrameImage> clip = ClipOf(64, 1);
    const FrameImage switchFrame = FilledFrame(32, 8, {10, 20, 30});

    std::atomic<bool> framesDone{false};
    std::atomic<int> examined{0};
    std::atomic<int> guiSteps{0};
    // Either thread may be starved by the other. A starved frame thread can
    // meet a memory reset between every two of its frames, and a reset begins
    // the warm-up again; a starved GUI thread may not have begun before 3000
    // frames are through. So the frames go on until the reactions have run
    // and the writers have had their turns.
    std::thread frameThread([&] {
        const auto bothHadTurns = [&] { return reactions.runs > 0 && guiSteps >= 200; };
        for (int i = 0; i < 3000 || (!bothHadTurns() && i < 3'000'000); ++i) {
            if (DeliverFrame(state, clip[i % clip.size()], reactions)) examined.fetch_add(1);
        }
        framesDone = true;
    });

    std::mt19937 random(2);
    while (!framesDone) {
        switch (random() % 6) {
        case 0: state.Threshold = ThresholdForPosition(int(random() % 256)); break;
        case 5: {
            // The areas and settings windows, and the preview seen and reading
            // the box the frame thread frames.
            if (random() % 2)
                state.Areas.Set({{0.1, 0.2, 0.3, 0.4}});
            else
                state.Areas.Set({});
            state.SmallestAreaShare = int(random() % 3) * 10;
            state.LightChangeShare = int(random() % 3) * 4000;
            state.Marks.NotePreviewPainted();
            (void)state.Marks.RecentBox();
            break;
        }
        case 1: ApplyStartDelayText(state, random() % 2 ? "0" : "-1"); break;
        case 2: ClearDetectionMemory(state); break;
        case 3: {
            // The device switch: slot index and both slots under the mutex,
            // then the reset.
            {
                const FrameSlots::Access frameSlots = state.Slots.Lock();
                state.CurrentSlot = 1;
                frameSlots[0] = switchFrame;
                frameSlots[1] = switchFrame;
            }
            ClearDetectionMemory(state);
            break;
        }
        default:
            (void)state.FrameCounter.load();
            (void)state.DetectBusy.load();
            std::this_thread::yield();
        }
        // A user's clicks come far apart next to frames.
        if (guiSteps.fetch_add(1) % 16 == 15) std::this_thread::sleep_for(std::chrono::microseconds(50));
    }
    frameThread.join();

    EXPECT_GE(guiSteps, 200);
    EXPECT_GT(reactions.runs, 0);
    EXPECT_FALSE(reactions.overlapped);
    EXPECT_FALSE(state.DetectBusy);
}

TEST(DetectionConcurrency, OverlappingDeliveriesAreDroppedNotHandledTwice)
{
    DetectionState state;
    state.Slots.Create();
    state.StartDelayFrames = -1;
    state.Threshold = 0;
    SlotReadingReactions reactions;
    const FrameImage black = FilledFrame(16, 4, {0, 0, 0});
    const FrameImage white = FilledFrame(16, 4, {255, 255, 255});

    auto deliverMany = [&] {
        for (int i = 0; i < 2000; ++i) DeliverFrame(state, i % 2 ? black : white, reactions);
    };
    std::thread first(deliverMany);
    std::thread second(deliverMany);
    first.join();
    second.join();

    EXPECT_GT(reactions.runs, 0);
    EXPECT_FALSE(reactions.overlapped);
    EXPECT_EQ(reactions.launches, 1);
    EXPECT_FALSE(state.DetectBusy);
    // Never counted during the run: an examined cycle leaves the count alone.
    EXPECT_EQ(state.FrameCounter, 0);
}
