#include "capture/devices/sys_dev_enum.h"

#include "capture/sources/extra_sources.h"
#include "capture/sources/source_factory.h"
#include "capture/sources/system_device_source.h"
#include "common/utf8_cut.h"

namespace qmd {

namespace {

std::vector<MonikerFields> SystemCameras()
{
    std::vector<MonikerFields> cameras;
    for (auto& device : EnumerateSystemDevices()) cameras.push_back(std::move(device.Fields));
    return cameras;
}

// The producers of the list, in its order: the system's cameras, then the
// extra sources the environment names. Another producer (a list the user
// keeps) joins here, after them, so that the positions of these stay put.
using SourceProducer = std::vector<MonikerFields> (*)();
constexpr SourceProducer kProducers[] = {SystemCameras, ExtraSourcesFromEnvironment};

}  // namespace

std::vector<MonikerFields> EnumerateSources()
{
    std::vector<MonikerFields> sources;
    for (SourceProducer produce : kProducers)
        for (auto& source : produce()) sources.push_back(std::move(source));
    if (sources.empty()) {
        MonikerFields test;
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
