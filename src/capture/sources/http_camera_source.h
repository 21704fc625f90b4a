#pragma once
// The source of an MJPEG-over-HTTP camera (http:// or https://).
#include "capture/sources/address_credentials.h"
#include "gst/handles.h"

namespace qmd {

// A bin whose "src" pad gives the camera's JPEG images; null when the
// elements it needs are missing. The user and password go to the reader's
// properties, never into its address.
gst::ElementHandle CreateHttpCameraSource(const AddressCredentials& camera);

}  // namespace qmd
