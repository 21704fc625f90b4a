#pragma once
// start_list.txt: one entry per line, every line ended by CR LF, an empty list
// stored as zero bytes. Reading accepts CR LF, a lone LF and a lone CR as line
// ends, keeps an empty line as an empty entry, takes a final line without a
// line end, and stops at a NUL byte. The bytes of an entry are kept as they
// are (no re-encoding), so a file round-trips byte for byte.
#include <string>
#include <string_view>
#include <vector>

namespace qmd {

inline constexpr std::string_view kStartListFileName = "start_list.txt";  // in AppDir

std::vector<std::string> ParseStartList(std::string_view bytes);
std::string FormatStartList(const std::vector<std::string>& entries);

// Throws QuiskError("Cannot open file <path>") when the file exists but cannot
// be read. A missing file is an empty list: check with std::filesystem first
// when the difference matters.
std::vector<std::string> LoadStartList(const std::string& path);
// Replaces the file atomically; throws QuiskError("Cannot create file <path>").
void SaveStartList(const std::string& path, const std::vector<std::string>& entries);

}  // namespace qmd
