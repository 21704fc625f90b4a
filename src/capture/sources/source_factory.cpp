#include "capture/sources/source_factory.h"

#include <string>

#include "capture/sources/clip_source.h"
#include "capture/sources/extra_sources.h"
#include "capture/sources/http_camera_source.h"
#include "capture/sources/rtsp_camera_source.h"
#include "capture/sources/system_device_source.h"
#include "capture/sources/test_source.h"
#include "capture/sources/uri_source.h"
#include "gst/init.h"

namespace qmd {

namespace {

gst::ElementHandle CreateExtraSource(const MonikerFields& fields)
{
    const std::string uri = ExtraSourceUri(ExtraSourceLocation(fields.Identity));
    if (uri.empty()) return {};
    if (g_str_has_prefix(uri.c_str(), "http://") || g_str_has_prefix(uri.c_str(), "https://"))
        return CreateHttpCameraSource(uri);
    if (g_str_has_prefix(uri.c_str(), "file:")) return CreateClipSource(uri);
    // rtsp://, and rtsps:// (TLS), rtspt:// (TCP only), rtspu:// (UDP only)
    if (g_str_has_prefix(uri.c_str(), "rtsp"))
        return CreateRtspCameraSource(uri);
    return CreateUriSource(uri);
}

}  // namespace

gst::ElementHandle CreateSourceElement(const MonikerFields& fields)
{
    gst::EnsureInitialized();
    switch (fields.Kind) {
    case SourceKind::SystemDevice: return CreateSystemDeviceSource(fields);
    case SourceKind::ExtraSource: return CreateExtraSource(fields);
    case SourceKind::TestSource: return CreateTestSource();
    }
    return {};
}

}  // namespace qmd
