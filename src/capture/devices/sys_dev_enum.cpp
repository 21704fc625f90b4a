#include "capture/devices/sys_dev_enum.h"

#include "capture/sources/extra_sources.h"
#include "capture/sources/saved_cameras.h"
#include "capture/sources/source_factory.h"
#include "capture/sources/system_device_source.h"
#include "common/utf8_cut.h"

namespace qmd {

namespace {

std::vector<VideoSource> SystemCameras()
{
    std::vector<VideoSource> cameras;
    for (auto& device : EnumerateSystemDevices()) cameras.push_back(std::move(device.Fields));
    return cameras;
}

// The producers of the list, in its order: the system's cameras, the extra
// sources the environment names, then the network cameras the user added,
// so that the positions of the ones before stay put as the user adds more.
using SourceProducer = std::vector<VideoSource> (*)();
constexpr SourceProducer kProducers[] = {SystemCameras, ExtraSourcesFromEnvironment, SavedCamerasAsSources};

}  // namespace

std::vector<VideoSource> EnumerateSources()
{
    std::vector<VideoSource> sources;
    for (SourceProducer produce : kProducers)
        for (auto& source : produce()) sources.push_back(std::move(source));
    if (sources.empty()) {
        VideoSource test;
        test.Kind = SourceKind::TestSource;
        test.DisplayName = kTestSourceName;
        test.DeviceClass = kVideoSourceClass;
        sources.push_back(std::move(test));
    }
    return sources;
}

TSysDevEnum::TSysDevEnum()
{
    for (const auto& source : EnumerateSources())
        entries_.push_back(DeviceEntry{CutUtf8(source.DisplayName, kMaxFriendlyNameBytes), source.Kind});
}

DeviceEntry TSysDevEnum::DeviceEntryAt(int position) const
{
    if (position < 0 || position >= DeviceCount()) return {};
    return entries_[static_cast<std::size_t>(position)];
}

std::optional<Moniker> TSysDevEnum::DeviceMoniker(int position) const
{
    if (position < 0 || position >= DeviceCount()) return {};
    const auto sources = EnumerateSources();
    if (static_cast<std::size_t>(position) >= sources.size()) return {};
    return Moniker::FromFields(sources[static_cast<std::size_t>(position)]);
}

}  // namespace qmd
