#include "react/core/process_launcher.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <optional>

#include "react/core/child_reaper.h"

extern char** environ;

namespace qmd {

namespace {

bool IsExecutableFile(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// A bare name ("gedit") is looked up on PATH, as a desktop launcher would.
std::optional<std::string> FindProgramOnPath(const std::string& name)
{
    const char* path = std::getenv("PATH");
    if (!path) return std::nullopt;
    std::string dirs = path;
    std::size_t start = 0;
    while (start <= dirs.size()) {
        const std::size_t end = std::min(dirs.find(':', start), dirs.size());
        const std::string dir = dirs.substr(start, end - start);
        if (!dir.empty() && IsExecutableFile(dir + "/" + name)) return dir + "/" + name;
        start = end + 1;
    }
    return std::nullopt;
}

// Whether `entry` begins with a URI scheme ("http:", "mailto:"), as xdg-open
// tells a URL from a file. A scheme begins with a letter, never with "-".
bool HasUriScheme(const std::string& entry)
{
    const std::size_t colon = entry.find(':');
    if (colon == std::string::npos || colon == 0 || !std::isalpha(static_cast<unsigned char>(entry[0]))) return false;
    for (std::size_t i = 1; i < colon; ++i) {
        const unsigned char c = static_cast<unsigned char>(entry[i]);
        if (!std::isalnum(c) && c != '+' && c != '.' && c != '-') return false;
    }
    return true;
}

// A relative path is resolved against our working directory, which a child
// inherits, as before; absolute, it begins with "/" and no program can take
// it for an option ("-h", "--help").
std::string AbsolutePath(const std::string& path)
{
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) return path.starts_with('/') ? path : "./" + path;
    return absolute.string();
}

// What the opener is given for an entry: a URL as it is, anything else as an
// absolute path.
std::string DocumentArgument(const std::string& entry)
{
    std::error_code error;
    if (HasUriScheme(entry) && !std::filesystem::exists(entry, error)) return entry;
    return AbsolutePath(entry);
}

class SpawnFileActions {
public:
    SpawnFileActions() { ok_ = ::posix_spawn_file_actions_init(&actions_) == 0; }
    ~SpawnFileActions()
    {
        if (ok_) ::posix_spawn_file_actions_destroy(&actions_);
    }
    SpawnFileActions(const SpawnFileActions&) = delete;
    SpawnFileActions& operator=(const SpawnFileActions&) = delete;
    posix_spawn_file_actions_t* get() { return ok_ ? &actions_ : nullptr; }

private:
    posix_spawn_file_actions_t actions_{};
    bool ok_ = false;
};

class SpawnAttributes {
public:
    SpawnAttributes() { ok_ = ::posix_spawnattr_init(&attributes_) == 0; }
    ~SpawnAttributes()
    {
        if (ok_) ::posix_spawnattr_destroy(&attributes_);
    }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    posix_spawnattr_t* get() { return ok_ ? &attributes_ : nullptr; }

private:
    posix_spawnattr_t attributes_{};
    bool ok_ = false;
};

}  // namespace

ProcessLauncher::ProcessLauncher(std::string opener) : opener_(std::move(opener)) {}

bool ProcessLauncher::Open(const std::string& entry)
{
    if (entry.empty()) return false;
    // Executables are started by their path, never by a name that begins with "-".
    if (entry.find('/') == std::string::npos) {
        if (const auto program = FindProgramOnPath(entry)) return Spawn({AbsolutePath(*program)}, false);
    } else if (IsExecutableFile(entry)) {
        return Spawn({AbsolutePath(entry)}, false);
    }
    return OpenWithAssociation(entry);
}

bool ProcessLauncher::OpenWithAssociation(const std::string& path)
{
    if (path.empty()) return false;
    return Spawn({opener_, DocumentArgument(path)}, opener_.find('/') == std::string::npos);
}

bool ProcessLauncher::Spawn(const std::vector<std::string>& argv, bool searchPath)
{
    SpawnFileActions actions;
    SpawnAttributes attributes;
    if (!actions.get() || !attributes.get()) return false;
    // The camera, the single-instance lock and open files stay ours: a program
    // that keeps running must not hold them past our own end.
    if (::posix_spawn_file_actions_addclosefrom_np(actions.get(), 3) != 0) return false;
    // The child starts with default signal dispositions and its own process
    // group, so a Ctrl+C meant for us does not reach it.
    sigset_t defaults;
    sigfillset(&defaults);
    ::posix_spawnattr_setsigdefault(attributes.get(), &defaults);
    sigset_t none;
    sigemptyset(&none);
    ::posix_spawnattr_setsigmask(attributes.get(), &none);
    ::posix_spawnattr_setpgroup(attributes.get(), 0);
    ::posix_spawnattr_setflags(attributes.get(),
                               POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP);

    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);

    pid_t pid = 0;
    const int rc = searchPath ? ::posix_spawnp(&pid, args[0], actions.get(), attributes.get(), args.data(), environ)
                              : ::posix_spawn(&pid, args[0], actions.get(), attributes.get(), args.data(), environ);
    if (rc != 0) return false;
    ChildReaper::Instance().Watch(pid);
    return true;
}

}  // namespace qmd
