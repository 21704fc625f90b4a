#pragma once
// A device provider registered by the tests: cameras without hardware. Its
// devices create a videotestsrc whose pattern tells which device made it.
#include <gst/gst.h>

#include <string>
#include <vector>

namespace qmd::test {

struct FakeCamera {
    std::string Name;
    std::string Path;  // "device.path"
    int Pattern;       // videotestsrc pattern of its element
};

// Registers the provider once per process; later calls replace the cameras.
void InstallFakeCameras(std::vector<FakeCamera> cameras);

}  // namespace qmd::test
