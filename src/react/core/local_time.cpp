#include "react/core/local_time.h"

#include <ctime>

namespace qmd {

LocalTime ReadLocalClock()
{
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    std::tm parts{};
    ::localtime_r(&now.tv_sec, &parts);
    LocalTime t;
    t.Year = static_cast<std::uint16_t>(parts.tm_year + 1900);
    t.Month = static_cast<std::uint16_t>(parts.tm_mon + 1);
    t.Day = static_cast<std::uint16_t>(parts.tm_mday);
    t.Hour = static_cast<std::uint16_t>(parts.tm_hour);
    t.Minute = static_cast<std::uint16_t>(parts.tm_min);
    t.Second = static_cast<std::uint16_t>(parts.tm_sec > 59 ? 59 : parts.tm_sec);
    t.Millisecond = static_cast<std::uint16_t>(now.tv_nsec / 1000000);
    return t;
}

}  // namespace qmd
