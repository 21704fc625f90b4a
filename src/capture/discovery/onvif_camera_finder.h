#pragma once
// The camera finder over the program's own WS-Discovery search and ONVIF
// client (CameraSearch, OnvifCameraClient). The program reaches it through
// the module (camera_finder_module.h); tests link it directly.
#include "capture/discovery/camera_finder.h"

namespace qmd {

std::unique_ptr<CameraFinder> MakeOnvifCameraFinder(CameraFinderHandlers handlers);

}  // namespace qmd
