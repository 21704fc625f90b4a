#pragma once
// The detection state and the per-frame detection cycle.
//
// The GUI thread (slider, delay dialog, memory reset, device switch) and the
// frame thread (the grabber's OnBuffer) share this state. Every scalar is an
// atomic so that each test of the cycle reads the current value; the two frame
// slots keep their own lock (frame_slots.h).
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <string_view>

#include "base/settings_keys.h"
#include "common/frame_image.h"
#include "detect/frame_scan.h"  // where two frames first differ, and the plain reference loop
#include "detect/frame_slots.h"
#include "detect/ignore_areas.h"
#include "detect/motion_marks.h"
#include "detect/scan_plan.h"

namespace qmd {

// The sensitivity slider's position (0 the least sensitive, 255 the most) as
// the threshold a channel difference must exceed: (255 - position) on 8 bits.
constexpr std::uint8_t ThresholdForPosition(int position)
{
    return static_cast<std::uint8_t>((255 - (position & 0xFF)) & 0xFF);
}

struct DetectionState {
    // Until start-up has read the settings, what their defaults give.
    std::atomic<std::uint8_t> Threshold{ThresholdForPosition(keys::Sensitivity.Default)};
    std::atomic<std::int32_t> StartDelayFrames{keys::StartDelay.Default};
    std::atomic<std::int32_t> FrameCounter{0};
    std::atomic<bool> DetectBusy{false};
    std::atomic<std::uint8_t> CurrentSlot{0};
    std::atomic<bool> ProgramsLaunched{false};
    std::atomic<bool> InfoShown{false};
    FrameSlots Slots;

    // What counts: the areas to ignore, and the smallest area that is motion
    // and the largest that is, rather than a change of light, in hundredths
    // of a percent of the picture (keys::SmallestArea, keys::LightChangeBound).
    SharedAreas Areas;
    std::atomic<std::int32_t> SmallestAreaShare{keys::SmallestArea.Default};
    std::atomic<std::int32_t> LightChangeShare{keys::LightChangeBound.Default};
    // The box the preview frames after a detection.
    MotionMarks Marks;
    // The frame thread's own: cycles never overlap (DetectBusy).
    ScanPlan Plan;
    int LastChangedRow = 0;  // where the next search for a change starts
};

// The counting rule for a picture of `pixels` pixels under the shares above.
CountRule CountRuleFor(std::int64_t pixels, std::int32_t smallestAreaShare, std::int32_t lightChangeShare);

// What runs when a cycle finds motion. The reaction sequence reads slot
// state.CurrentSlot (through state.Slots.Lock(), never holding it across a
// wait for the GUI thread) and the two latches.
class ReactionSequence {
public:
    virtual ~ReactionSequence() = default;
    virtual void Run(DetectionState& state) = 0;
};

// Copies the delivered frame into the given slot; false when it could not
// (the slot then keeps its previous picture).
using FrameCopy = std::function<bool(FrameImage& slot)>;

// One cycle for one delivered frame: busy test, warm-up count, copy into
// Slots[CurrentSlot], scan, reactions when found; the exit actions (toggle
// CurrentSlot, clear DetectBusy) run however the cycle ends. A failure inside
// the cycle is rethrown after the exit actions. Returns whether motion was found.
bool RunDetectionCycle(DetectionState& state, const FrameCopy& copy, ReactionSequence* reactions);

// The comparison with every new setting at its default: true when some pixel in columns 0 .. W-2 of the first
// max(H) rows differs in blue, green and red each by more than threshold. Both
// loops are bounded by `a`; a pair whose sizes differ is not compared (false).
bool FramesDiffer(const FrameImage& a, const FrameImage& b, std::uint8_t threshold);

// The state changes of the sensitivity slider, the delay dialog and the reset.
// Parses the delay text by the settings-file integer rules; on success stores
// it in state.StartDelayFrames and returns the value.
std::optional<std::int32_t> ApplyStartDelayText(DetectionState& state, std::string_view text);
// The reset's middle step: clear both latches and FrameCounter.
void ClearDetectionMemory(DetectionState& state);

}  // namespace qmd
