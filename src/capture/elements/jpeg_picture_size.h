#pragma once
// The picture size a JPEG image declares, and the largest one a camera's
// image may declare. A header of a hundred bytes can declare 65500x65500:
// the size is checked before anything is allocated for the picture, so that
// whatever a camera sends, memory stays bounded.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace qmd {

// At most this many pixels a side, and in all about what a 4K camera sends
// (4096x2304): a decoded picture stays near 28 MB, and the few copies the
// graph and the detection hold of it stay within the program's budget.
inline constexpr int kLargestJpegSide = 8192;
inline constexpr std::int64_t kLargestJpegPixels = std::int64_t{4096} * 2304;

struct JpegPictureSize {
    int Width = 0;
    int Height = 0;
};

// Whether a picture of this size may be decoded.
bool IsAcceptedJpegSize(int width, int height);
// Why an image of a size not accepted is skipped.
std::string OversizedJpegReason(int width, int height);

// The size the image's frame header (SOFn) declares, read from its markers
// without decoding anything; none when no frame header comes before the
// scan or the end of the bytes (the decoder then judges the image).
std::optional<JpegPictureSize> DeclaredJpegSize(std::span<const std::uint8_t> jpeg);

}  // namespace qmd
