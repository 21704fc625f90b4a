#include "shell/core/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <optional>

#include "common/integer_text.h"
#include "common/quisk_error.h"
#include "shell/core/app_dir.h"
#include "shell/core/ini_document.h"

namespace qmd {
namespace {

// Closes a descriptor on every path out of a function.
class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() { Close(); }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }
    bool Close()
    {
        if (fd_ < 0) return true;
        const bool ok = ::close(fd_) == 0;
        fd_ = -1;
        return ok;
    }

private:
    int fd_;
};

enum class ReadResult { Ok, Missing, Unreadable };

ReadResult ReadWholeFile(const std::string& path, std::string& out)
{
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) return errno == ENOENT ? ReadResult::Missing : ReadResult::Unreadable;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return ReadResult::Unreadable;
    out.clear();
    out.reserve(static_cast<std::size_t>(st.st_size));
    char chunk[65536];
    for (;;) {
        const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
        if (n == 0) return ReadResult::Ok;
        if (n < 0) {
            if (errno == EINTR) continue;
            return ReadResult::Unreadable;
        }
        out.append(chunk, static_cast<std::size_t>(n));
    }
}

bool WriteAll(int fd, std::string_view bytes)
{
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// The file a write must replace: the target of a symbolic link, so that the
// link itself survives.
std::string WriteTarget(const std::string& path)
{
    std::error_code ec;
    if (std::filesystem::is_symlink(path, ec)) {
        const auto target = std::filesystem::weakly_canonical(path, ec);
        if (!ec) return target.string();
    }
    return path;
}

// Replaces the file's content in one step: a crash or a full disk leaves
// either the old file or the new one, never a mixture.
bool ReplaceFileAtomically(const std::string& target, std::string_view content, mode_t mode)
{
    const std::filesystem::path targetPath(target);
    std::string temp = target + ".XXXXXX";
    FileDescriptor fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (fd.get() < 0) return false;
    const bool written = WriteAll(fd.get(), content) && ::fchmod(fd.get(), mode) == 0 &&
                         ::fsync(fd.get()) == 0 && fd.Close();
    if (!written || ::rename(temp.c_str(), target.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    const std::string dir = targetPath.has_parent_path() ? targetPath.parent_path().string() : ".";
    FileDescriptor dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dirFd.get() >= 0) ::fsync(dirFd.get());
    return true;
}

std::string CutText(std::string text)
{
    if (text.size() <= SettingsFile::kMaxTextLength) return text;
    std::size_t cut = SettingsFile::kMaxTextLength;
    // Step back over UTF-8 continuation bytes so no character is split; a
    // run of stray continuation bytes costs at most three steps.
    for (int steps = 0; steps < 3 && cut > 0 &&
                        (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80;
         ++steps)
        --cut;
    text.resize(cut);
    return text;
}

}  // namespace

SettingsFile::SettingsFile(std::string path) : path_(std::move(path)) {}

// Every write has already reached the disk when it returns, so releasing the
// accessor has nothing left to flush.
SettingsFile::~SettingsFile() = default;

std::string SettingsFile::ReadString(std::string_view section, std::string_view key,
                                     std::string_view defaultValue) const
{
    std::string bytes;
    if (ReadWholeFile(path_, bytes) != ReadResult::Ok) return CutText(std::string(defaultValue));
    auto value = FindIniValue(bytes, section, key);
    return CutText(value ? std::move(*value) : std::string(defaultValue));
}

std::int32_t SettingsFile::ReadInteger(std::string_view section, std::string_view key,
                                       std::int32_t defaultValue) const
{
    std::string bytes;
    if (ReadWholeFile(path_, bytes) != ReadResult::Ok) return defaultValue;
    const auto value = FindIniValue(bytes, section, key);
    if (!value) return defaultValue;
    return ParseIntegerText(*value).value_or(defaultValue);
}

bool SettingsFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const
{
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void SettingsFile::WriteString(std::string_view section, std::string_view key, std::string_view value)
{
    const std::string failure = "Unable to write to " + path_;
    // A line break would end the line early and could plant other keys.
    if (value.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos)
        throw QuiskError(failure + ": the value holds a line break");
    if (section.find_first_of(std::string_view("[]\r\n\0", 5)) != std::string_view::npos ||
        key.empty() || key.find_first_of(std::string_view("=[\r\n\0", 5)) != std::string_view::npos)
        throw QuiskError(failure);

    const std::string target = WriteTarget(path_);
    EnsureParentDirectory(target);
    std::string bytes;
    mode_t mode = 0644;
    switch (ReadWholeFile(target, bytes)) {
    case ReadResult::Missing:
        break;
    case ReadResult::Unreadable:
        // What cannot be read cannot be kept: refuse rather than lose it.
        throw QuiskError(failure);
    case ReadResult::Ok: {
        struct stat st {};
        // A write-protected file stays protected, also for a user (root) whom
        // the permission bits would not stop.
        if (::stat(target.c_str(), &st) != 0 || ::access(target.c_str(), W_OK) != 0 ||
            (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
            throw QuiskError(failure);
        mode = st.st_mode & 07777;
        break;
    }
    }
    IniDocument document(bytes);
    document.Set(section, key, value);
    if (!ReplaceFileAtomically(target, document.Serialize(), mode)) throw QuiskError(failure);
}

void SettingsFile::WriteInteger(std::string_view section, std::string_view key, std::int32_t value)
{
    WriteString(section, key, std::to_string(value));
}

void SettingsFile::WriteBool(std::string_view section, std::string_view key, bool value)
{
    WriteString(section, key, value ? "1" : "0");
}

}  // namespace qmd
