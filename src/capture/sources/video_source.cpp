#include "capture/sources/video_source.h"

#include "capture/sources/system_device_source.h"

namespace qmd {

bool SameSource(const VideoSource& listed, const VideoSource& wanted)
{
    if (listed.Kind != wanted.Kind) return false;
    if (listed.Kind == SourceKind::SystemDevice) return SameSystemDevice(listed, wanted);
    return listed.Identity == wanted.Identity;
}

}  // namespace qmd
