#include "capture/sources/extra_sources.h"

#include <cstdlib>
#include <filesystem>

#include "gst/handles.h"

namespace qmd {

namespace {

bool LooksLikeUri(const std::string& location) { return gst_uri_is_valid(location.c_str()); }

// The URI as the device menu shows it: a camera's password stays out of sight.
std::string CaptionOfUri(const std::string& location)
{
    gst::UriHandle uri{
        g_uri_parse(location.c_str(), GUriFlags(G_URI_FLAGS_HAS_PASSWORD | G_URI_FLAGS_ENCODED), nullptr)};
    if (!uri || !g_uri_get_password(uri.get())) return location;
    gst::CharsHandle caption{g_uri_to_string_partial(uri.get(), G_URI_HIDE_PASSWORD)};
    return caption ? std::string(caption.get()) : location;
}

}  // namespace

std::vector<MonikerFields> ExtraSourcesFromEnvironment()
{
    std::vector<MonikerFields> sources;
    const char* value = std::getenv(kExtraSourcesVariable);
    if (!value) return sources;
    const std::string list = value;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find('|', start);
        if (end == std::string::npos) end = list.size();
        std::string location = list.substr(start, end - start);
        start = end + 1;
        if (location.find_first_not_of(" \t") == std::string::npos) continue;
        MonikerFields fields;
        fields.Kind = SourceKind::ExtraSource;
        fields.Identity = location;
        fields.DisplayName =
            LooksLikeUri(location) ? CaptionOfUri(location) : std::filesystem::path(location).filename().string();
        fields.DeviceClass = kVideoSourceClass;
        sources.push_back(std::move(fields));
    }
    return sources;
}

std::string ExtraSourceUri(const std::string& location)
{
    if (LooksLikeUri(location)) return location;
    gst::ErrorHandle error;
    gst::CharsHandle converted{gst_filename_to_uri(location.c_str(), error.out())};
    return converted ? std::string(converted.get()) : std::string();
}

}  // namespace qmd
