#pragma once
// Whole-file reads and writes on plain descriptors, for the program's data
// files (settings, program list, photos, log).
#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qmd {

// Owns a descriptor and closes it on every path out of a function.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { Close(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    bool Close();  // false when close() reports an error (a lost write)

private:
    int fd_;
};

// True when `wanted` more descriptors can be opened now: they are opened (as
// eventfds, which need no file) and closed again, so the answer is the
// kernel's, whatever the limit and whoever holds the others.
bool DescriptorsToSpare(int wanted);

// Writes all of `bytes`, retrying after interruptions.
bool WriteAll(int fd, std::string_view bytes);

enum class ReadResult { Ok, Missing, Unreadable };
// Reads a regular file whole. A directory or any other non-file is Unreadable.
ReadResult ReadWholeFile(const std::string& path, std::string& out);

// Replaces the file's content in one step: the bytes go to a temporary file in
// the same directory, are flushed to disk and renamed over `path`, so a crash
// or a full disk leaves the old file or the new one, never a mixture. The new
// file gets `mode`, or the usual 0666 less the umask. False on any failure,
// with the temporary file removed and the old file untouched.
bool ReplaceFileAtomically(const std::string& path, std::string_view bytes, std::optional<mode_t> mode = std::nullopt);

// A write killed before its rename leaves its temporary file behind for ever.
// Removes from `directory` the temporary files ReplaceFileAtomically made for
// the files named `names` there whose writing process no longer exists; the
// files themselves, the temporaries of a living writer and anything not named
// exactly so stay. Returns how many were removed.
std::size_t RemoveAbandonedTemporaries(const std::string& directory, const std::vector<std::string>& names);

}  // namespace qmd
