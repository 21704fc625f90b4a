#pragma once
// Where the desktop's sound theme keeps the sound of an event.
#include <string>

namespace qmd {

// The file of a desktop sound theme event (freedesktop layout under
// $XDG_DATA_HOME and $XDG_DATA_DIRS, theme "freedesktop"), or empty.
std::string FindThemeSound(const std::string& eventName);

}  // namespace qmd
