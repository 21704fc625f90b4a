#pragma once
// The program's version as the build knows it (the project's version in
// CMakeLists.txt), for --version and the About window.
namespace qmd {
const char* ProgramVersion();
}  // namespace qmd
