#include "react/core/reaction_texts.h"

namespace qmd {

namespace {
std::string DateText(const LocalTime& t)
{
    return std::to_string(t.Day) + "." + std::to_string(t.Month) + "." + std::to_string(t.Year);
}
}  // namespace

std::string PhotoFileName(const LocalTime& date, const LocalTime& time)
{
    return "Zdjęcie zrobione w dniu " + DateText(date) + " o godzinie ." + std::to_string(time.Hour) + "." +
           std::to_string(time.Minute) + "." + std::to_string(time.Second) + ".bmp";
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
