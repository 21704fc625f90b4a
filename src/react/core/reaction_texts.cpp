#include "react/core/reaction_texts.h"

namespace qmd {

namespace {
std::string DateText(const LocalTime& t)
{
    return std::to_string(t.Day) + "." + std::to_string(t.Month) + "." + std::to_string(t.Year);
}

// "D.M.YYYY o godzinie .h.m.s": the full stop before the hour is the photos' own.
std::string EventMoment(const LocalTime& date, const LocalTime& time)
{
    return DateText(date) + " o godzinie ." + std::to_string(time.Hour) + "." + std::to_string(time.Minute) + "." +
           std::to_string(time.Second);
}

constexpr std::string_view kClipPrefix = "Film nagrany w dniu ";
constexpr std::string_view kClipSuffix = ".mkv";

// Digits, then exactly `dots` groups of a full stop and digits.
bool IsDottedNumbers(std::string_view text, int dots)
{
    int groups = 0;
    bool digit = false;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            digit = true;
        } else if (c == '.' && digit) {
            ++groups;
            digit = false;
        } else {
            return false;
        }
    }
    return digit && groups == dots;
}
}  // namespace

std::string PhotoFileName(const LocalTime& date, const LocalTime& time)
{
    return "Zdjęcie zrobione w dniu " + EventMoment(date, time) + ".bmp";
}

std::string ClipFileName(const LocalTime& date, const LocalTime& time)
{
    return std::string(kClipPrefix) + EventMoment(date, time) + std::string(kClipSuffix);
}

bool IsClipFileName(std::string_view name)
{
    constexpr std::string_view kAt = " o godzinie .";
    if (!name.starts_with(kClipPrefix) || !name.ends_with(kClipSuffix)) return false;
    name.remove_prefix(kClipPrefix.size());
    name.remove_suffix(kClipSuffix.size());
    const std::size_t at = name.find(kAt);
    return at != std::string_view::npos && IsDottedNumbers(name.substr(0, at), 2) &&
           IsDottedNumbers(name.substr(at + kAt.size()), 2);
}

std::string PhotoFilePath(std::string_view folder, const LocalTime& date, const LocalTime& time)
{
    return std::string(folder) + "/" + PhotoFileName(date, time);
}

std::string MotionNoticeText(const LocalTime& date, const LocalTime& time)
{
    return "Wykryto ruch dnia " + DateText(date) + " o godzinie " + std::to_string(time.Hour) + ":" +
           std::to_string(time.Minute) + ":" + std::to_string(time.Second);
}

std::string LogLine(const LocalTime& date, const LocalTime& time)
{
    return MotionNoticeText(date, time) + " (" + std::to_string(time.Millisecond) + " ms)\r\n";
}

}  // namespace qmd
