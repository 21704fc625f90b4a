#include "react/core/clip_folder.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "react/core/reaction_texts.h"

namespace qmd {

namespace fs = std::filesystem;

std::vector<std::string> PruneClips(const std::string& folder, std::int64_t limitBytes, const std::string& keep)
{
    std::vector<std::string> removed;
    if (limitBytes <= 0) return removed;
    struct Clip {
        fs::path Path;
        fs::file_time_type Written;
        std::uintmax_t Bytes;
    };
    std::vector<Clip> clips;
    std::uintmax_t total = 0;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        std::error_code entryError;
        // Only plain files of our own name: a folder or a link named like a
        // clip is the user's.
        if (!it->is_regular_file(entryError) || it->is_symlink(entryError)) continue;
        if (!IsClipFileName(it->path().filename().string())) continue;
        const std::uintmax_t bytes = it->file_size(entryError);
        if (entryError) continue;
        const fs::file_time_type written = it->last_write_time(entryError);
        if (entryError) continue;
        total += bytes;
        clips.push_back({it->path(), written, bytes});
    }
    std::sort(clips.begin(), clips.end(), [](const Clip& a, const Clip& b) { return a.Written < b.Written; });
    const fs::path kept(keep);
    for (const Clip& clip : clips) {
        if (total <= static_cast<std::uintmax_t>(limitBytes)) break;
        if (!keep.empty() && clip.Path == kept) continue;
        std::error_code removeError;
        if (!fs::remove(clip.Path, removeError)) continue;
        total -= clip.Bytes;
        removed.push_back(clip.Path.string());
    }
    return removed;
}

}  // namespace qmd
