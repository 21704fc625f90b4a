#pragma once
// The one place that registers our own GStreamer elements with the process's
// registry (in-process, as a static plug-in would): the MJPEG HTTP camera
// source, the TurboJPEG decoder and the YUV to BGR colour converter.
namespace qmd {

// Registers every element once per process; false when one could not be.
bool RegisterOwnElements();

// Whether a factory of this name is one of ours (their names share "qmd").
bool IsOwnElementFactory(const char* factoryName);

}  // namespace qmd
