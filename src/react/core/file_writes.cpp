#include "react/core/file_writes.h"

#include <fcntl.h>

#include "common/file_io.h"
#include "common/quisk_error.h"

namespace qmd {

void ReplaceFileOrThrow(const std::string& path, std::string_view bytes, std::string_view errorPrefix)
{
    if (!ReplaceFileAtomically(path, bytes)) throw QuiskError(std::string(errorPrefix) + path);
}

void AppendToFileOrThrow(const std::string& path, std::string_view bytes)
{
    FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666));
    if (file.get() < 0) throw QuiskError("Cannot open file " + path);
    const bool written = WriteAll(file.get(), bytes);
    const bool closed = file.Close();
    if (!written || !closed) throw QuiskError("Unable to write to " + path);
}

}  // namespace qmd
