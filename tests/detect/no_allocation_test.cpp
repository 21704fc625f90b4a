// Once the slots have the frame's size, a cycle allocates nothing: every
// allocation of this test binary is counted.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "detect/allocation_counter.h"
#include "detect/detection.h"
#include "detect/frame_helpers.h"

using namespace qmd;
using namespace qmd::test;

namespace {

class NoReactions : public ReactionSequence {
public:
    void Run(DetectionState&) override { ++runs; }
    int runs = 0;
};

}  // namespace

TEST(DetectionCycleMemory, ACycleAllocatesNothing)
{
    const FrameImage still = FilledFrame(640, 480, {90, 90, 90});
    FrameImage moving = still;
    SetPixel(moving, 320, 400, {250, 250, 250});
    DetectionState state;
    state.Slots.Create();
    state.StartDelayFrames = 0;
    {
        const FrameSlots::Access frameSlots = state.Slots.Lock();
        frameSlots[0] = still;
        frameSlots[1] = still;
    }
    const FrameImage* delivered = &still;
    const FrameCopy copy = [&delivered](FrameImage& slot) {
        slot.Resize(delivered->Width(), delivered->Height());
        std::memcpy(slot.Bits(), delivered->Bits(), delivered->ImageSize());
        return true;
    };
    NoReactions reactions;

    const long before = AllocationCount();
    for (int i = 0; i < 12; ++i) {
        delivered = i % 3 == 0 ? &moving : &still;
        RunDetectionCycle(state, copy, &reactions);
    }
    const long during = AllocationCount() - before;

    EXPECT_EQ(during, 0);
    EXPECT_GT(reactions.runs, 0);
    // The count itself works.
    const long afterCycles = AllocationCount();
    auto probe = std::make_unique<int>(1);
    EXPECT_EQ(AllocationCount(), afterCycles + 1);
}
