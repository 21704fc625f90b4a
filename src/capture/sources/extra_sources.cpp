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

// The URI without its user name and password: the identity is kept in
// ustawienia.ini and handed around, the password stays in the list the user
// gave.
std::string IdentityOfLocation(const std::string& location)
{
    if (!LooksLikeUri(location)) return location;
    gst::UriHandle uri{
        g_uri_parse(location.c_str(), GUriFlags(G_URI_FLAGS_HAS_PASSWORD | G_URI_FLAGS_ENCODED), nullptr)};
    if (!uri) return location;
    if (!g_uri_get_user(uri.get()) && !g_uri_get_password(uri.get())) return location;
    gst::CharsHandle identity{g_uri_to_string_partial(uri.get(), G_URI_HIDE_USERINFO)};
    return identity ? std::string(identity.get()) : std::string();
}

// The entries of QUISK_EXTRA_SOURCES as the user wrote them, blank ones left out.
std::vector<std::string> ExtraSourceLocations()
{
    std::vector<std::string> locations;
    const char* value = std::getenv(kExtraSourcesVariable);
    if (!value) return locations;
    const std::string list = value;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find('|', start);
        if (end == std::string::npos) end = list.size();
        std::string location = list.substr(start, end - start);
        start = end + 1;
        if (location.find_first_not_of(" \t") != std::string::npos) locations.push_back(std::move(location));
    }
    return locations;
}

}  // namespace

std::vector<VideoSource> ExtraSourcesFromEnvironment()
{
    std::vector<VideoSource> sources;
    for (const std::string& location : ExtraSourceLocations()) {
        VideoSource fields;
        fields.Kind = SourceKind::ExtraSource;
        fields.Identity = IdentityOfLocation(location);
        fields.DisplayName =
            LooksLikeUri(location) ? CaptionOfUri(location) : std::filesystem::path(location).filename().string();
        fields.DeviceClass = kVideoSourceClass;
        fields.Address = fields.Identity;
        fields.Credentials = fields.Identity == location ? CredentialsKept::None : CredentialsKept::Environment;
        sources.push_back(std::move(fields));
    }
    return sources;
}

std::string ExtraSourceLocation(const std::string& identity)
{
    for (const std::string& location : ExtraSourceLocations())
        if (IdentityOfLocation(location) == identity) return location;
    return identity;
}

std::string ExtraSourceUri(const std::string& location)
{
    if (LooksLikeUri(location)) return location;
    gst::ErrorHandle error;
    gst::CharsHandle converted{gst_filename_to_uri(location.c_str(), error.out())};
    return converted ? std::string(converted.get()) : std::string();
}

}  // namespace qmd
