#pragma once
// The application's title: the main window's and the message boxes'
// caption, the application name Qt reports, the autostart entry's name and
// the author of our GStreamer elements.
namespace qmd {

inline constexpr const char* kApplicationTitle = "Quisk Motion Detector";

}  // namespace qmd
