#include "common/file_io.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <memory>

namespace qmd {
namespace {

constexpr std::string_view kTemporarySuffix = ".tmp";

// A name beside `path` that no other writer of this or another process uses:
// ".BASE.PID.N.tmp".
std::string TemporaryNameFor(const std::string& path)
{
    static std::atomic<unsigned> counter{0};
    const auto slash = path.rfind('/');
    const std::string dir = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    return dir + "." + base + "." + std::to_string(::getpid()) + "." + std::to_string(counter++) +
           std::string(kTemporarySuffix);
}

bool AllDigits(std::string_view text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// The writer's process id when `entry` is a temporary name TemporaryNameFor
// gives for one of `names`.
std::optional<pid_t> TemporaryWriter(std::string_view entry, const std::vector<std::string>& names)
{
    if (!entry.starts_with('.') || !entry.ends_with(kTemporarySuffix)) return std::nullopt;
    entry.remove_prefix(1);
    entry.remove_suffix(kTemporarySuffix.size());
    for (const std::string& name : names) {
        if (name.empty() || entry.size() <= name.size() + 1 || !entry.starts_with(name) || entry[name.size()] != '.')
            continue;
        const std::string_view numbers = entry.substr(name.size() + 1);  // "PID.N"
        const std::size_t dot = numbers.find('.');
        if (dot == std::string_view::npos || !AllDigits(numbers.substr(0, dot)) || !AllDigits(numbers.substr(dot + 1)))
            continue;
        long pid = 0;
        const auto [end, failure] = std::from_chars(numbers.data(), numbers.data() + dot, pid);
        if (failure != std::errc() || pid <= 0 || pid > INT_MAX) continue;
        return static_cast<pid_t>(pid);
    }
    return std::nullopt;
}

bool ProcessGone(pid_t pid) { return ::kill(pid, 0) == -1 && errno == ESRCH; }

std::string DirectoryOf(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

bool FileDescriptor::Close()
{
    if (fd_ < 0) return true;
    const bool ok = ::close(fd_) == 0;
    fd_ = -1;
    return ok;
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

bool DescriptorsToSpare(int wanted)
{
    std::vector<int> probes;
    probes.reserve(static_cast<std::size_t>(wanted));
    while (std::ssize(probes) < wanted) {
        const int fd = eventfd(0, EFD_CLOEXEC);
        if (fd < 0) break;
        probes.push_back(fd);
    }
    for (const int fd : probes) ::close(fd);
    return std::ssize(probes) == wanted;
}

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

bool ReplaceFileAtomically(const std::string& path, std::string_view bytes, std::optional<mode_t> mode)
{
    const std::string temporary = TemporaryNameFor(path);
    FileDescriptor file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (file.get() < 0) return false;
    const bool written =
        WriteAll(file.get(), bytes) && (!mode || ::fchmod(file.get(), *mode) == 0) && ::fsync(file.get()) == 0;
    const bool closed = file.Close();
    if (!written || !closed || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    // The rename itself reaches the disk with the directory.
    FileDescriptor dir(::open(DirectoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() >= 0) ::fsync(dir.get());
    return true;
}

std::size_t RemoveAbandonedTemporaries(const std::string& directory, const std::vector<std::string>& names)
{
    const std::unique_ptr<DIR, int (*)(DIR*)> listing(::opendir(directory.c_str()), &::closedir);
    if (!listing) return 0;
    std::size_t removed = 0;
    while (const dirent* entry = ::readdir(listing.get())) {
        const std::optional<pid_t> writer = TemporaryWriter(entry->d_name, names);
        if (!writer || !ProcessGone(*writer)) continue;
        struct stat st {};
        const int dir = ::dirfd(listing.get());
        if (::fstatat(dir, entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) continue;
        if (::unlinkat(dir, entry->d_name, 0) == 0) ++removed;
    }
    return removed;
}

}  // namespace qmd
