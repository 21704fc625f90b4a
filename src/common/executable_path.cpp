#include "common/executable_path.h"

#include <filesystem>

namespace qmd {

std::string ExecutablePath(std::error_code& error)
{
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : exe.string();
}

std::string ExecutableDir(std::error_code& error)
{
    const std::string exe = ExecutablePath(error);
    if (exe.empty()) return {};
    const std::string dir = std::filesystem::path(exe).parent_path().string();
    return dir.empty() ? "/" : dir;
}

std::string BesideExecutable(std::string_view relative)
{
    std::error_code error;
    std::string dir = ExecutableDir(error);
    if (dir.empty()) return std::string(relative);
    if (dir.back() != '/') dir += '/';
    return dir.append(relative);
}

}  // namespace qmd
