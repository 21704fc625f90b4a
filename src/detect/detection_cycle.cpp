#include <cstdint>
#include <limits>

#include "detect/detection.h"
#include "detect/frame_scan.h"

namespace qmd {
namespace {

// The exit actions of an examined cycle, run however it ends.
class CycleExit {
public:
    explicit CycleExit(DetectionState& state) : state_(state) {}
    CycleExit(const CycleExit&) = delete;
    CycleExit& operator=(const CycleExit&) = delete;
    ~CycleExit()
    {
        // One read-modify-write: a slot index set by the GUI thread meanwhile
        // is toggled, never overwritten by a stale copy.
        state_.CurrentSlot.fetch_xor(1);
        state_.DetectBusy.store(false);
    }

private:
    DetectionState& state_;
};

// True when the warm-up is over and the frame is to be examined; otherwise
// the frame is counted.
bool WarmUpOver(DetectionState& state)
{
    std::int32_t counter = state.FrameCounter.load();
    if (counter > state.StartDelayFrames.load()) return true;
    // Counted with compare-and-swap so that a reset from the GUI thread
    // between the test and the count is never undone; the count stops at the
    // largest value instead of wrapping round to a negative one.
    while (counter < std::numeric_limits<std::int32_t>::max() &&
           !state.FrameCounter.compare_exchange_weak(counter, counter + 1)) {}
    return false;
}

}  // namespace

bool RunDetectionCycle(DetectionState& state, const FrameCopy& copy, ReactionSequence* reactions)
{
    // Before the slots exist there is nothing to store a frame in: it is
    // dropped without being counted or touching any state.
    if (!state.Slots.Exist()) return false;
    if (state.DetectBusy.exchange(true)) return false;
    if (!WarmUpOver(state)) {
        state.DetectBusy.store(false);
        return false;
    }

    bool found = false;
    {
        const CycleExit exit(state);
        // No pending messages to process here: this is the frame thread, and
        // the GUI thread keeps running its own event loop meanwhile.
        {
            // Held for the copy and the scan only, never while the reactions
            // run: they take it themselves and may wait for the GUI thread.
            const FrameSlots::Access frameSlots = state.Slots.Lock();
            const int slot = state.CurrentSlot.load() & 1;
            if (copy) copy(frameSlots[slot]);  // a failed copy leaves the slot's previous picture
            found = FirstChangedPixel(frameSlots[0], frameSlots[1], state.Threshold).has_value();
        }
        if (found && reactions) reactions->Run(state);
    }
    return found;
}

}  // namespace qmd
