#include "react/core/sound_theme.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "react/core/sound_pipelines.h"

namespace qmd {

std::string FindThemeSound(const std::string& eventName)
{
    if (eventName.empty() || eventName.find('/') != std::string::npos) return {};
    std::vector<std::string> dataDirs;
    if (const char* home = std::getenv("XDG_DATA_HOME"); home && *home) {
        dataDirs.emplace_back(home);
    } else if (const char* user = std::getenv("HOME"); user && *user) {
        dataDirs.push_back(std::string(user) + "/.local/share");
    }
    const char* dirs = std::getenv("XDG_DATA_DIRS");
    std::string list = dirs && *dirs ? dirs : "/usr/local/share:/usr/share";
    for (std::size_t start = 0; start <= list.size();) {
        const std::size_t end = std::min(list.find(':', start), list.size());
        if (end > start) dataDirs.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    for (const auto& dir : dataDirs) {
        for (const char* extension : {".oga", ".ogg", ".wav"}) {
            const std::string candidate = dir + "/sounds/freedesktop/stereo/" + eventName + extension;
            if (IsRegularFile(candidate)) return candidate;
        }
    }
    return {};
}

}  // namespace qmd
