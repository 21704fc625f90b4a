#include "capture/devices/sys_dev_enum.h"

#include "capture/sources/extra_sources.h"
#include "capture/sources/source_factory.h"
#include "capture/sources/system_device_source.h"
#include "common/utf8_cut.h"

namespace qmd {

std::vector<MonikerFields> EnumerateSources()
{
    std::vector<MonikerFields> sources;
    for (auto& device : EnumerateSystemDevices()) sources.push_back(std::move(device.Fields));
    for (auto& extra : ExtraSourcesFromEnvironment()) sources.push_back(std::move(extra));
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
