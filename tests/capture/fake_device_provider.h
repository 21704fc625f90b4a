#pragma once
// A device provider registered by the tests: cameras without hardware. Its
// devices create a videotestsrc whose pattern tells which device made it.
#include <gst/gst.h>

#include <string>
#include <vector>

namespace qmd::test {

struct FakeCamera {
    std::string Name;
    std::string Path;         // "device.path"
    int Pattern;              // videotestsrc pattern of its element
    std::string Serial = {};  // "device.serial"; none when empty
};

// Registers the provider once per process; later calls replace the cameras.
void InstallFakeCameras(std::vector<FakeCamera> cameras);

// A camera unplugged and plugged in again, as a started device monitor
// hears of it (and later listings show it).
void UnplugFakeCamera(const std::string& path);
void PlugInFakeCamera(const FakeCamera& camera);

}  // namespace qmd::test
