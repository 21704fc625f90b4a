#include "common/integer_text.h"
#include "detect/detection.h"

namespace qmd {

std::optional<std::int32_t> ApplyStartDelayText(DetectionState& state, std::string_view text)
{
    const std::optional<std::int32_t> value = ParseIntegerText(text);
    if (value) state.StartDelayFrames.store(*value);
    return value;
}

void ClearDetectionMemory(DetectionState& state)
{
    state.ProgramsLaunched.store(false);
    state.InfoShown.store(false);
    state.FrameCounter.store(0);
}

}  // namespace qmd
