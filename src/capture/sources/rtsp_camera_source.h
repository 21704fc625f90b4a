#pragma once
// The source of an rtsp:// network camera.
#include <glib.h>

#include <string>

#include "capture/sources/address_credentials.h"
#include "gst/handles.h"

namespace qmd {

// How long the jitter buffer holds a picture to put late packets in order,
// in ms. rtspsrc's 2 s default made every picture that old before the
// detection saw it; what arrives later than this is dropped.
inline constexpr unsigned kRtspLatencyMs = 200;

// How long rtspsrc waits for the first UDP packet before it asks for the
// stream over the RTSP connection (TCP) instead, in µs. Its 5 s default
// reached the camera watch's 5 s bound for a silent camera: behind a
// firewall the camera was taken for lost and opened again over UDP, forever.
inline constexpr guint64 kRtspUdpTimeoutUs = 2 * G_USEC_PER_SEC;

// A bin around rtspsrc, its depayloader and parser. Its "src" pad gives the
// camera's own stream, not decoded, so that the graph's branch point sees it
// as it came: H.264 or H.265 access units (byte-stream, the parameter sets
// before every key frame, so that a consumer attaching later can start at
// any key frame), JPEG images, or MPEG-4 part 2 pictures (older cameras).
// The user and password of the address go to rtspsrc's "user-id" and
// "user-pw", never into its "location". Only the camera's video is set up; a
// stream the program cannot decode is reported on the bus; the end of the
// stream is reported as an error, as a camera's.
gst::ElementHandle CreateRtspCameraSource(const AddressCredentials& address);

}  // namespace qmd
