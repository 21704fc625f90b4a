#include "capture/elements/jpeg_picture_size.h"

#include <cstddef>

namespace qmd {
namespace {

constexpr std::uint8_t kMarker = 0xFF;
constexpr std::uint8_t kStartOfImage = 0xD8;
constexpr std::uint8_t kStartOfScan = 0xDA;
constexpr std::uint8_t kEndOfImage = 0xD9;

// SOF0-SOF15, less DHT (C4), JPG (C8) and DAC (CC), which share the range.
bool IsFrameHeader(std::uint8_t marker)
{
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

// Markers without a length: TEM and the restart markers.
bool StandsAlone(std::uint8_t marker) { return marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7); }

int BigEndian16(const std::uint8_t* at) { return at[0] << 8 | at[1]; }

}  // namespace

bool IsAcceptedJpegSize(int width, int height)
{
    return width > 0 && height > 0 && width <= kLargestJpegSide && height <= kLargestJpegSide &&
           std::int64_t{width} * height <= kLargestJpegPixels;
}

std::string OversizedJpegReason(int width, int height)
{
    return "a picture of " + std::to_string(width) + "x" + std::to_string(height) + ", larger than a camera sends";
}

std::optional<JpegPictureSize> DeclaredJpegSize(std::span<const std::uint8_t> jpeg)
{
    if (jpeg.size() < 2 || jpeg[0] != kMarker || jpeg[1] != kStartOfImage) return std::nullopt;
    std::size_t at = 2;
    while (at + 1 < jpeg.size()) {
        if (jpeg[at] != kMarker) return std::nullopt;  // not where a marker must be
        const std::uint8_t marker = jpeg[at + 1];
        if (marker == kMarker) {  // fill byte
            ++at;
            continue;
        }
        at += 2;
        if (StandsAlone(marker)) continue;
        if (marker == kStartOfScan || marker == kEndOfImage || at + 2 > jpeg.size()) return std::nullopt;
        const std::size_t length = static_cast<std::size_t>(BigEndian16(&jpeg[at]));
        if (IsFrameHeader(marker)) {
            // Length, sample precision, height, width.
            if (length < 7 || at + 7 > jpeg.size()) return std::nullopt;
            return JpegPictureSize{BigEndian16(&jpeg[at + 5]), BigEndian16(&jpeg[at + 3])};
        }
        if (length < 2) return std::nullopt;
        at += length;
    }
    return std::nullopt;
}

}  // namespace qmd
