#pragma once
// AppDir: the directory of the running executable, where the program keeps
// ustawienia.ini, start_list.txt and Dziennik.log. Where that directory is not
// writable, or lies in /usr (an installed program), the data lives in
// $XDG_CONFIG_HOME/quisk-motion-detector (~/.config/quisk-motion-detector).
#include <string>
#include <string_view>

namespace qmd {

// Works the directory out afresh: /proc/self/exe's directory, no trailing
// slash ("/" for the root), or the fallback when that is not writable.
std::string LocateAppDir();
// The rule behind it, given the executable's directory and the environment.
std::string ChooseAppDir(const std::string& exeDir, bool exeDirWritable, const char* xdgConfigHome, const char* home);

// The process-wide AppDir. Set by the main window's creation (SetAppDir), or
// located on first use.
std::string AppDir();
void SetAppDir(std::string dir);

// AppDir joined with a file name by "/".
std::string AppFile(std::string_view name);
std::string JoinPath(std::string_view dir, std::string_view name);

// Creates the directory that will hold `filePath` (and its parents) when it
// is missing; errors are left for the following open to report.
void EnsureParentDirectory(const std::string& filePath);

}  // namespace qmd
