#pragma once
// The source of any other URI GStreamer can read (rtsp:// and the like).
#include "capture/sources/address_credentials.h"
#include "gst/handles.h"

namespace qmd {

// A bin around uridecodebin whose "src" pad gives the first video stream,
// decoded; the end of that stream is reported as an error, as a camera's.
// The user and password go to the source element uridecodebin makes
// (rtspsrc's "user-id" and "user-pw"), never into the URI.
gst::ElementHandle CreateUriSource(const AddressCredentials& address);

}  // namespace qmd
