#include "base/app_dir.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <mutex>

#include "base/base_log.h"
#include "common/executable_path.h"

namespace qmd {
namespace {

std::mutex appDirMutex;
// Guarded by appDirMutex; empty until set or located. Never destroyed: the
// frame thread may still ask for it while an exit() from elsewhere (Qt's,
// when the X server goes away) destroys static objects.
std::string& appDir = *new std::string;

std::string ExecutableDirectory()
{
    std::error_code ec;
    std::string dir = ExecutableDir(ec);
    // The data then goes to the user's configuration directory, not next to
    // the executable: say why.
    if (ec) qCWarning(lcBase, "the executable's directory is unknown (/proc/self/exe: %s)", ec.message().c_str());
    return dir;
}

}  // namespace

std::string JoinPath(std::string_view dir, std::string_view name)
{
    std::string path(dir);
    if (path.empty() || path.back() != '/') path += '/';
    path.append(name);
    return path;
}

std::string ChooseAppDir(const std::string& exeDir, bool exeDirWritable, const char* xdgConfigHome, const char* home)
{
    // Data files follow the executable wherever it is copied; an installed
    // program (in a directory the user cannot write) keeps them in the
    // user's configuration directory instead. /usr holds the system's
    // programs and never user data, even when root, who may write anywhere,
    // runs the program from there. A relative XDG_CONFIG_HOME is invalid by
    // the base-directory rules and is ignored.
    const bool systemDir = exeDir == "/usr" || exeDir.starts_with("/usr/");
    if (!exeDir.empty() && exeDirWritable && !systemDir) return exeDir;
    std::string base;
    if (xdgConfigHome && *xdgConfigHome == '/')
        base = xdgConfigHome;
    else
        base = std::string(home && *home ? home : "/tmp") + "/.config";
    return JoinPath(base, "quisk-motion-detector");
}

std::string LocateAppDir()
{
    const std::string dir = ExecutableDirectory();
    const bool writable = !dir.empty() && ::access(dir.c_str(), W_OK) == 0;
    return ChooseAppDir(dir, writable, std::getenv("XDG_CONFIG_HOME"), std::getenv("HOME"));
}

std::string AppDir()
{
    std::lock_guard lock(appDirMutex);
    if (appDir.empty()) appDir = LocateAppDir();
    return appDir;
}

void SetAppDir(std::string dir)
{
    std::lock_guard lock(appDirMutex);
    appDir = std::move(dir);
}

std::string AppFile(std::string_view name) { return JoinPath(AppDir(), name); }

void EnsureParentDirectory(const std::string& filePath)
{
    const auto parent = std::filesystem::path(filePath).parent_path();
    if (parent.empty()) return;
    std::error_code ec;
    std::filesystem::create_directories(parent, ec);
}

}  // namespace qmd
