// The module's entry: the one symbol the program looks up in it.
#include "capture/discovery/onvif_camera_finder.h"

extern "C" __attribute__((visibility("default"))) qmd::CameraFinder* qmd_make_camera_finder(
    qmd::CameraFinderHandlers handlers)
{
    return qmd::MakeOnvifCameraFinder(std::move(handlers)).release();
}
