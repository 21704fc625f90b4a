#pragma once
// The photo and clip file names and the log line, in plain decimal without leading zeros.
#include <string>
#include <string_view>

#include "react/core/local_time.h"

namespace qmd {

// "Zdjęcie zrobione w dniu D.M.YYYY o godzinie .h.m.s.bmp": date from `date`,
// time from `time` (the clock is read twice, as for the log line).
std::string PhotoFileName(const LocalTime& date, const LocalTime& time);
// folder + "/" + name; the folder is used as stored.
std::string PhotoFilePath(std::string_view folder, const LocalTime& date, const LocalTime& time);
// "Film nagrany w dniu D.M.YYYY o godzinie .h.m.s.mkv", named as photos are,
// from the first detection of the event.
std::string ClipFileName(const LocalTime& date, const LocalTime& time);
// Whether a file name is one ClipFileName gives: the only files in the clip
// folder the program ever removes.
bool IsClipFileName(std::string_view name);
// "Wykryto ruch dnia D.M.YYYY o godzinie h:m:s": the desktop notification's text.
std::string MotionNoticeText(const LocalTime& date, const LocalTime& time);
// The same followed by " (ms ms)" and CR LF.
std::string LogLine(const LocalTime& date, const LocalTime& time);

}  // namespace qmd
