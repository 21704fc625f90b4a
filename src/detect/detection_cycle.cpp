#include <algorithm>
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

// A pixel box as fractions of the picture.
AreaRect FractionsOf(const PixelBox& box, const FrameImage& picture)
{
    const double width = picture.Width();
    const double height = picture.Height();
    return {box.Left / width, box.Top / height, (box.Right + 1 - box.Left) / width,
            (box.Bottom + 1 - box.Top) / height};
}

// The comparison of the two slots. With no area and both shares at their
// defaults it is the plain search for one changed pixel; otherwise the
// changed pixels outside the areas are counted.
bool SlotsShowMotion(DetectionState& state, const FrameImage& a, const FrameImage& b)
{
    const std::uint64_t generation = state.Areas.Generation();
    if (state.Plan.Stale(a.Width(), a.Height(), generation))
        state.Plan.Rebuild(a.Width(), a.Height(), *state.Areas.Get(), generation);
    const CountRule rule = CountRuleFor(static_cast<std::int64_t>(a.Width()) * a.Height(),
                                        state.SmallestAreaShare.load(), state.LightChangeShare.load());
    if (state.Plan.Whole() && rule.Needed == 1 && rule.LightBound == CountRule::kNoBound) {
        const std::optional<int> row = RowWithChangedPixel(a, b, state.Threshold, state.LastChangedRow);
        if (row) state.LastChangedRow = *row;
        return row.has_value();
    }
    return CountChangedPixels(a, b, state.Plan, state.Threshold, rule).Motion;
}

}  // namespace

CountRule CountRuleFor(std::int64_t pixels, std::int32_t smallestAreaShare, std::int32_t lightChangeShare)
{
    constexpr std::int64_t kWhole = 10000;
    const std::int64_t smallest = std::clamp<std::int64_t>(smallestAreaShare, 0, kWhole);
    const std::int64_t light = std::clamp<std::int64_t>(lightChangeShare, 0, kWhole);
    CountRule rule;
    rule.Needed = std::max<std::int64_t>(1, (smallest * pixels + kWhole - 1) / kWhole);
    if (light > 0) rule.LightBound = light * pixels / kWhole;
    return rule;
}

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
            found = SlotsShowMotion(state, frameSlots[0], frameSlots[1]);
            // Framed on the preview only while someone can see it.
            if (found && state.Marks.BoxDue()) {
                if (const auto box = ChangedPixelBox(frameSlots[0], frameSlots[1], state.Plan, state.Threshold.load()))
                    state.Marks.PublishBox(FractionsOf(*box, frameSlots[0]));
            }
            // The older picture has had its one comparison; the next frame
            // takes its slot. One shared with the capture (a frame of the
            // converter's pool) is let go now rather than at that copy, so
            // that the pool can convert the next frame into it instead of
            // making a third (2.7 MB at 1280 x 720). A frame the grabber
            // delivers never fails to copy, so the emptied slot is not read
            // again before the next frame fills it.
            if (FrameImage& older = frameSlots[slot ^ 1]; older.Shared()) older.Clear();
        }
        if (found && reactions) reactions->Run(state);
    }
    return found;
}

}  // namespace qmd
