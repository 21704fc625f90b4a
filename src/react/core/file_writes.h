#pragma once
// The reactions' file writes, raising the program's errors on failure.
#include <string>
#include <string_view>

namespace qmd {

// Replaces `path` atomically (see common/file_io.h); throws
// QuiskError(errorPrefix + path) on any failure, leaving the old file.
void ReplaceFileOrThrow(const std::string& path, std::string_view bytes, std::string_view errorPrefix);

// Appends `bytes` to `path`, creating it when missing; the file is always
// closed again. Throws QuiskError on any failure.
void AppendToFileOrThrow(const std::string& path, std::string_view bytes);

}  // namespace qmd
