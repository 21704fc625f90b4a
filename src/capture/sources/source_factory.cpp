#include "capture/sources/source_factory.h"

#include <optional>
#include <string>

#include "capture/sources/address_credentials.h"
#include "capture/sources/camera_passwords.h"
#include "capture/sources/clip_source.h"
#include "capture/sources/extra_sources.h"
#include "capture/sources/http_camera_source.h"
#include "capture/sources/saved_cameras.h"
#include "capture/sources/system_device_source.h"
#include "capture/sources/test_source.h"
#include "capture/sources/uri_source.h"
#include "gst/init.h"

namespace qmd {

namespace {

// The address (a URI) and the user and password to open it with, from
// wherever the source's producer keeps them now.
std::optional<AddressCredentials> ResolveAddress(const VideoSource& source)
{
    if (source.Kind == SourceKind::ExtraSource) {
        AddressCredentials split = SplitCredentials(ExtraSourceLocation(source.Identity));
        split.Address = ExtraSourceUri(split.Address);
        return split;
    }
    const std::optional<SavedCamera> camera = FindSavedCamera(source);
    if (!camera) return {};
    AddressCredentials resolved{camera->Address, camera->User, {}};
    if (!camera->User.empty())
        resolved.Password =
            LookUpCameraPassword({camera->Address, camera->User}, camera->Password, PasswordFilePath()).value_or("");
    return resolved;
}

}  // namespace

gst::ElementHandle CreateAddressSource(const AddressCredentials& address)
{
    gst::EnsureInitialized();
    const std::string& uri = address.Address;
    if (uri.empty()) return {};
    if (g_str_has_prefix(uri.c_str(), "http://") || g_str_has_prefix(uri.c_str(), "https://"))
        return CreateHttpCameraSource(address);
    if (g_str_has_prefix(uri.c_str(), "file:")) return CreateClipSource(uri);
    return CreateUriSource(address);
}

gst::ElementHandle CreateSourceElement(const VideoSource& fields)
{
    gst::EnsureInitialized();
    switch (fields.Kind) {
    case SourceKind::SystemDevice: return CreateSystemDeviceSource(fields);
    case SourceKind::ExtraSource:
    case SourceKind::SavedCamera: {
        const std::optional<AddressCredentials> address = ResolveAddress(fields);
        return address ? CreateAddressSource(*address) : gst::ElementHandle();
    }
    case SourceKind::TestSource: return CreateTestSource();
    }
    return {};
}

}  // namespace qmd
