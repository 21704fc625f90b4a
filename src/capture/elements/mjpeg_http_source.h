#pragma once
// A live source element that reads an MJPEG-over-HTTP camera (http:// only)
// with one blocking socket on its streaming thread and gives one JPEG image
// per buffer, stamped as it arrives. It stands in for souphttpsrc and
// multipartdemux, whose session thread costs more than all the rest of the
// network path. Registered as "qmdmjpeghttpsrc"; property
// "location" names the camera, "user-id" and "user-pw" (as in souphttpsrc)
// what is sent when it asks.
#include <glib-object.h>

namespace qmd {

inline constexpr const char* kMjpegHttpSourceName = "qmdmjpeghttpsrc";

// The error the element posts once the camera has refused the credentials
// it was given (and not merely a stale nonce).
inline constexpr const char* kRefusedCredentialsMessage = "The camera refused the user name or password";

// The element's type, registered by RegisterOwnElements().
GType MjpegHttpSourceType();

}  // namespace qmd
