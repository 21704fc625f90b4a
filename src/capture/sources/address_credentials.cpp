#include "capture/sources/address_credentials.h"

#include "gst/handles.h"

namespace qmd {

AddressCredentials SplitCredentials(const std::string& uri)
{
    // Path, query and fragment stay encoded, so the address keeps them byte for byte.
    gst::UriHandle parsed{g_uri_parse(uri.c_str(),
                                      GUriFlags(G_URI_FLAGS_HAS_PASSWORD | G_URI_FLAGS_ENCODED_PATH |
                                                G_URI_FLAGS_ENCODED_QUERY | G_URI_FLAGS_ENCODED_FRAGMENT),
                                      nullptr)};
    const char* user = parsed ? g_uri_get_user(parsed.get()) : nullptr;
    if (!user || !*user) return {uri, {}, {}};
    gst::CharsHandle address{g_uri_to_string_partial(parsed.get(), G_URI_HIDE_USERINFO)};
    if (!address) return {uri, {}, {}};
    const char* password = g_uri_get_password(parsed.get());
    return {address.get(), user, password ? password : ""};
}

void SetCredentialProperties(GObject* element, const AddressCredentials& credentials)
{
    if (credentials.User.empty()) return;
    GObjectClass* type = G_OBJECT_GET_CLASS(element);
    if (!g_object_class_find_property(type, "user-id") || !g_object_class_find_property(type, "user-pw")) return;
    g_object_set(element, "user-id", credentials.User.c_str(), "user-pw", credentials.Password.c_str(), nullptr);
}

}  // namespace qmd
