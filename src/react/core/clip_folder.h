#pragma once
// The clip folder kept within its limit: the program's own clips (named by
// ClipFileName) go, oldest first, while together they take more than the
// limit. Other files, and the clip being written, are never touched.
#include <cstdint>
#include <string>
#include <vector>

namespace qmd {

// The clips removed; a limit of 0 or less keeps everything. A file that
// cannot be removed is passed over.
std::vector<std::string> PruneClips(const std::string& folder, std::int64_t limitBytes, const std::string& keep);

}  // namespace qmd
