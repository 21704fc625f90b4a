#pragma once
// A live source element that reads an MJPEG-over-HTTP camera (http:// only)
// with one blocking socket on its streaming thread and gives one JPEG image
// per buffer, stamped as it arrives. It stands in for souphttpsrc and
// multipartdemux, whose session thread costs more than all the rest of the
// network path. Registered in-process as "qmdmjpeghttpsrc"; property
// "location" names the camera.
namespace qmd {

inline constexpr const char* kMjpegHttpSourceName = "qmdmjpeghttpsrc";

// Registers the element once per process; false when it could not be.
bool RegisterMjpegHttpSource();

}  // namespace qmd
