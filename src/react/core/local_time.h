#pragma once
// The pieces of the local date and time that photo names and log lines carry.
#include <cstdint>
#include <functional>

namespace qmd {

struct LocalTime {
    std::uint16_t Year = 0, Month = 0, Day = 0;
    std::uint16_t Hour = 0, Minute = 0, Second = 0, Millisecond = 0;
};

using LocalClock = std::function<LocalTime()>;

LocalTime ReadLocalClock();

}  // namespace qmd
