#pragma once
// The "src" pad of a source bin whose video stream appears only once it runs
// (uridecodebin, decodebin, parsebin), and the end of a camera's stream.
#include <gst/gst.h>

namespace qmd {

// "pad-added" and "pad-removed" handlers (user data: the bin): the bin's
// ghost "src" pad follows the first video pad that appears.
void ExposeVideoPad(GstElement* element, GstPad* pad, gpointer bin);
void ForgetVideoPad(GstElement* element, GstPad* pad, gpointer bin);

// A file ends when it has played; a camera's stream ends only when the camera
// went away. From now on the end of the stream on `src` is posted on the bin
// as an error to report.
void ReportEndOfCameraStream(GstPad* src, GstElement* bin);

}  // namespace qmd
