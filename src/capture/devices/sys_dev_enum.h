#pragma once
// The video sources the user can choose from, in a stable order: the
// system's capture devices (GstDeviceMonitor, class "Video/Source"), then the
// sources named in QUISK_EXTRA_SOURCES ("|"-separated files or URIs), the
// network cameras the user added, and, when all are missing, the built-in
// "Kamera testowa".
#include <optional>
#include <string>
#include <vector>

#include "capture/sources/moniker.h"

namespace qmd {

inline constexpr std::size_t kMaxFriendlyNameBytes = 255;
inline constexpr const char* kTestSourceName = "Kamera testowa";

struct DeviceEntry {
    std::string FriendlyName;  // at most 255 bytes, cut on a UTF-8 boundary
    SourceKind Kind = SourceKind::TestSource;
};

// One fresh enumeration of the sources, in list order.
std::vector<VideoSource> EnumerateSources();

class TSysDevEnum {
public:
    TSysDevEnum();
    int DeviceCount() const { return static_cast<int>(entries_.size()); }
    // A copy of the entry; an empty entry for a position outside the list.
    DeviceEntry DeviceEntryAt(int position) const;
    // Resolved against a fresh enumeration, so sources that appeared or
    // vanished since the list was built shift what a position means.
    std::optional<Moniker> DeviceMoniker(int position) const;

private:
    std::vector<DeviceEntry> entries_;
};

}  // namespace qmd
