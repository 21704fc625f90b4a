#pragma once
// Source elements for the three kinds of source a moniker can name.
#include "capture/sources/address_credentials.h"
#include "capture/sources/moniker.h"
#include "gst/handles.h"

namespace qmd {

// A new source element for fields, or null when it names nothing that exists
// now. The element carries the media types it offers and its default format
// (see source_caps.h).
gst::ElementHandle CreateSourceElement(const VideoSource& fields);

// The source element of a network camera's address (http://, https://,
// rtsp://) or a file: URI, opened with the user and password given.
gst::ElementHandle CreateAddressSource(const AddressCredentials& address);

}  // namespace qmd
