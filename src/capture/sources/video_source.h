#pragma once
// A source the user can choose: what the device menu lists, what the graph
// opens and what the settings keep (as its moniker). Values only: the
// producers (the system's cameras, the environment, the user's saved
// network cameras) make them afresh at each listing.
#include <cstdint>
#include <string>

namespace qmd {

// The device class of every video source we list: GStreamer's class for
// cameras, which the extra sources and the test camera carry too.
inline constexpr const char* kVideoSourceClass = "Video/Source";

// Each kind is a byte of the moniker, so a kind keeps its number for good.
enum class SourceKind : std::uint8_t { SystemDevice = 1, ExtraSource = 2, TestSource = 3, SavedCamera = 4 };

// Where the user name and password of a network source are kept. Never in
// the value itself: it is listed, logged and stored.
enum class CredentialsKept : std::uint8_t {
    None,         // the source needs none, or its address names no user
    Environment,  // inside its entry of QUISK_EXTRA_SOURCES
    Keyring,      // the desktop's Secret Service
    PrivateFile,  // the file only the user may read, where no Secret Service runs
};

struct VideoSource {
    SourceKind Kind = SourceKind::TestSource;
    std::string DisplayName;
    // What finds the source again: a system device's identifying properties,
    // a file's path, a network source's address without user and password;
    // empty for the test source.
    std::string Identity;
    std::string DeviceClass;
    // A system device's properties that stay the same when it is plugged in
    // again elsewhere; empty when it has none.
    std::string StableIdentity;
    // A file's path or a network source's URI, without user and password;
    // empty for a system device and the test source.
    std::string Address;
    CredentialsKept Credentials = CredentialsKept::None;
    bool operator==(const VideoSource&) const = default;
};

// Whether a listed source is the one `wanted` was taken from: a system
// device by SameSystemDevice (it may be back under another node), any other
// by its kind and identity.
bool SameSource(const VideoSource& listed, const VideoSource& wanted);

}  // namespace qmd
