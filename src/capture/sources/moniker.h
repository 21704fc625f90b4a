#pragma once
// A source's identity as bytes, so that it can be kept and bound again later.
//
// Layout (version 2): "QMDM", version byte, kind byte (SourceKind), then
// four strings each as a 32-bit little-endian length and its UTF-8 bytes:
// the display name, the identity, the device class and the stable identity
// (see VideoSource). The address and where the credentials are kept are not
// part of it: they are taken from the source's producer when it is opened,
// so a kept moniker follows a camera whose password moved.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "capture/sources/video_source.h"

namespace qmd {

class Moniker {
public:
    static Moniker FromBytes(std::vector<std::uint8_t> bytes);
    static Moniker FromFields(const VideoSource& fields);

    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
    // The bytes as lower-case hexadecimal text (for the settings file), and
    // back; text that is not such hexadecimal gives an empty moniker.
    std::string Hex() const;
    static Moniker FromHex(std::string_view hex);
    // The fields, or nothing when the bytes are not a moniker this program wrote.
    std::optional<VideoSource> Fields() const;

private:
    std::vector<std::uint8_t> bytes_;
};

}  // namespace qmd
