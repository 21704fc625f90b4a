#include "react/core/start_list_file.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "common/file_io.h"
#include "common/quisk_error.h"
#include "react/core/file_writes.h"

namespace qmd {

std::vector<std::string> ParseStartList(std::string_view bytes)
{
    if (const auto nul = bytes.find('\0'); nul != std::string_view::npos) bytes = bytes.substr(0, nul);

    std::vector<std::string> entries;
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const char c = bytes[i];
        if (c != '\r' && c != '\n') {
            ++i;
            continue;
        }
        entries.emplace_back(bytes.substr(start, i - start));
        i += (c == '\r' && i + 1 < bytes.size() && bytes[i + 1] == '\n') ? 2 : 1;
        start = i;
    }
    if (start < bytes.size()) entries.emplace_back(bytes.substr(start));
    return entries;
}

std::string FormatStartList(const std::vector<std::string>& entries)
{
    std::string bytes;
    for (const auto& entry : entries) {
        bytes += entry;
        bytes += "\r\n";
    }
    return bytes;
}

std::vector<std::string> LoadStartList(const std::string& path)
{
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        if (errno == ENOENT) return {};
        throw QuiskError("Cannot open file " + path);
    }
    // Readers share the file; a writer holding an exclusive lock keeps us out,
    // as denying write sharing would.
    if (::flock(file.get(), LOCK_SH | LOCK_NB) != 0) throw QuiskError("Cannot open file " + path);

    std::string bytes;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            if (errno == EINTR) continue;
            throw QuiskError("Cannot open file " + path);
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    return ParseStartList(bytes);
}

void SaveStartList(const std::string& path, const std::vector<std::string>& entries)
{
    ReplaceFileOrThrow(path, FormatStartList(entries), "Cannot create file ");
}

}  // namespace qmd
