#pragma once
// Where the running executable lies (/proc/self/exe), and the files that
// travel with it: its private libraries are found from its folder, so that
// a copy of the program in any folder, or the build tree, uses its own.
#include <string>
#include <string_view>
#include <system_error>

namespace qmd {

// The executable's full path; empty, with `error` set, when unknown.
std::string ExecutablePath(std::error_code& error);

// Its folder, without a trailing slash ("/" for the root); empty, with
// `error` set, when unknown.
std::string ExecutableDir(std::error_code& error);

// `relative` (a folder or file named from the executable's folder, such as
// "../lib/quisk-motion-detector") as a path; relative to the current folder
// when the executable's is unknown.
std::string BesideExecutable(std::string_view relative);

}  // namespace qmd
