#pragma once
// A device's identity as bytes, so that it can be kept and bound again later.
//
// Layout (version 2): "QMDM", version byte, kind byte, then four strings
// each as a 32-bit little-endian length and its UTF-8 bytes: the display
// name, the identity (a system device's identifying properties, an extra
// source's location, empty for the test source), the device class, and a
// system device's stable identity (the properties that stay the same when
// it is plugged in again elsewhere; empty when it has none).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qmd {

// The device class of every video source we list: GStreamer's class for
// cameras, which the extra sources and the test camera carry too.
inline constexpr const char* kVideoSourceClass = "Video/Source";

enum class SourceKind : std::uint8_t { SystemDevice = 1, ExtraSource = 2, TestSource = 3 };

struct MonikerFields {
    SourceKind Kind = SourceKind::TestSource;
    std::string DisplayName;
    std::string Identity;
    std::string DeviceClass;
    std::string StableIdentity;
    bool operator==(const MonikerFields&) const = default;
};

class Moniker {
public:
    static Moniker FromBytes(std::vector<std::uint8_t> bytes);
    static Moniker FromFields(const MonikerFields& fields);

    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
    // The bytes as lower-case hexadecimal text (for the settings file), and
    // back; text that is not such hexadecimal gives an empty moniker.
    std::string Hex() const;
    static Moniker FromHex(std::string_view hex);
    // The fields, or nothing when the bytes are not a moniker this program wrote.
    std::optional<MonikerFields> Fields() const;

private:
    std::vector<std::uint8_t> bytes_;
};

}  // namespace qmd
