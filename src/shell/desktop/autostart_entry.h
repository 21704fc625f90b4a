#pragma once
// Start at log-on: the XDG autostart entry
// $XDG_CONFIG_HOME/autostart/quisk-motion-detector.desktop (~/.config when
// XDG_CONFIG_HOME is unset or relative), named "Quisk Motion Detector", whose
// Exec line starts this executable with "-t" (straight into the tray).
//
// Usage in the main window:
//   FormCreate:  Uruchamiajprzystarciesystemu1->setChecked(AutostartEntryExists());
//   Uruchamiajprzystarciesystemu1Click:
//       if (checked) WriteAutostartEntry(CurrentExecutablePath());
//       else RemoveAutostartEntry();
#include <string>
#include <string_view>

#include "common/application_title.h"

namespace qmd {

inline constexpr std::string_view kAutostartValueName = kApplicationTitle;

// Full path of the autostart entry for the current environment.
std::string AutostartEntryPath();

// True when the entry file exists (its content is not examined).
bool AutostartEntryExists();

// Writes (replaces) the entry so that log-on runs `exePath -t`. Throws
// QuiskError("Failed to set data for 'Quisk Motion Detector'") when the entry
// cannot be written or the path cannot be expressed in a desktop entry.
void WriteAutostartEntry(const std::string& exePath);

// Removes the entry; a failure is silent.
void RemoveAutostartEntry() noexcept;

// The running executable's full path (/proc/self/exe), for WriteAutostartEntry.
std::string CurrentExecutablePath();

// --- Pure text functions (exposed for tests) ---

// One Exec argument quoted by the desktop-entry rules: left bare when it holds
// no reserved character, otherwise in double quotes with ", `, $ and \ escaped
// by a backslash; '%' doubled. The result still needs EscapeDesktopValue.
// Throws QuiskError when the argument cannot be expressed (not UTF-8, or a
// control character other than tab, newline and carriage return).
std::string QuoteExecArgument(std::string_view argument);

// A string value escaped for a desktop-entry line: \ → \\, newline → \n,
// tab → \t, carriage return → \r.
std::string EscapeDesktopValue(std::string_view value);

// The whole entry's text for `exePath`.
std::string AutostartEntryText(const std::string& exePath);

}  // namespace qmd
