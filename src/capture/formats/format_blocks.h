#pragma once
// The format blocks a media type carries: the video information blocks with
// their bitmap header, and the wave format of audio types. Each converts to
// and from its exact little-endian byte layout.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace qmd {

// BITMAPINFOHEADER, 40 bytes.
struct BitmapInfoHeader {
    static constexpr std::size_t kBytes = 40;

    std::uint32_t Size = kBytes;
    std::int32_t Width = 0;
    std::int32_t Height = 0;  // positive: rows bottom-up
    std::uint16_t Planes = 1;
    std::uint16_t BitCount = 0;
    std::uint32_t Compression = 0;  // 0 for RGB, otherwise a four-character code
    std::uint32_t SizeImage = 0;
    std::int32_t XPelsPerMeter = 0;
    std::int32_t YPelsPerMeter = 0;
    std::uint32_t ClrUsed = 0;
    std::uint32_t ClrImportant = 0;

    void WriteTo(std::uint8_t* dest) const;
    static BitmapInfoHeader ReadFrom(const std::uint8_t* src);

    friend bool operator==(const BitmapInfoHeader&, const BitmapInfoHeader&) = default;
};

struct FrameRect {
    std::int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
    friend bool operator==(const FrameRect&, const FrameRect&) = default;
};

// VIDEOINFOHEADER: 88 bytes, the bitmap header at offset 48.
struct VideoInfoHeader {
    static constexpr std::size_t kBytes = 88;
    static constexpr std::size_t kHeaderOffset = 48;

    FrameRect Source;
    FrameRect Target;
    std::uint32_t BitRate = 0;
    std::uint32_t BitErrorRate = 0;
    std::int64_t AvgTimePerFrame = 0;  // 100-nanosecond units
    BitmapInfoHeader Header;

    std::vector<std::uint8_t> ToBlock() const;
    // Nothing unless the block is exactly 88 bytes.
    static std::optional<VideoInfoHeader> FromBlock(std::span<const std::uint8_t> block);
};

// VIDEOINFOHEADER2: 112 bytes, the bitmap header at offset 72.
struct VideoInfoHeader2 {
    static constexpr std::size_t kBytes = 112;
    static constexpr std::size_t kHeaderOffset = 72;

    FrameRect Source;
    FrameRect Target;
    std::uint32_t BitRate = 0;
    std::uint32_t BitErrorRate = 0;
    std::int64_t AvgTimePerFrame = 0;
    std::uint32_t InterlaceFlags = 0;
    std::uint32_t CopyProtectFlags = 0;
    std::uint32_t PictAspectRatioX = 0;
    std::uint32_t PictAspectRatioY = 0;
    std::uint32_t ControlFlags = 0;
    std::uint32_t Reserved2 = 0;
    BitmapInfoHeader Header;

    std::vector<std::uint8_t> ToBlock() const;
};

// WAVEFORMATEX: 18 bytes (extra bytes after it are not modelled).
struct WaveFormatEx {
    static constexpr std::size_t kBytes = 18;

    std::uint16_t FormatTag = 0;
    std::uint16_t Channels = 0;
    std::uint32_t SamplesPerSec = 0;
    std::uint32_t AvgBytesPerSec = 0;
    std::uint16_t BlockAlign = 0;
    std::uint16_t BitsPerSample = 0;
    std::uint16_t ExtraSize = 0;

    std::vector<std::uint8_t> ToBlock() const;
};

}  // namespace qmd
