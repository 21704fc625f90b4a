#pragma once
// File writes that either complete or leave the old file as it was.
#include <string>
#include <string_view>

namespace qmd {

// Writes `bytes` to a temporary file next to `path`, flushes it and renames it
// over `path`. Throws QuiskError(errorPrefix + path) on any failure, after
// removing the temporary file.
void ReplaceFileAtomically(const std::string& path, std::string_view bytes, std::string_view errorPrefix);

// Appends `bytes` to `path`, creating it when missing; the file is always
// closed again. Throws QuiskError on any failure.
void AppendToFile(const std::string& path, std::string_view bytes);

}  // namespace qmd
