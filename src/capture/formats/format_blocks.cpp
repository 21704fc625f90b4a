#include "capture/formats/format_blocks.h"

#include "capture/formats/little_endian.h"

namespace qmd {
namespace {

void WriteRect(std::uint8_t* dest, const FrameRect& r)
{
    le::Put32(dest, std::uint32_t(r.Left));
    le::Put32(dest + 4, std::uint32_t(r.Top));
    le::Put32(dest + 8, std::uint32_t(r.Right));
    le::Put32(dest + 12, std::uint32_t(r.Bottom));
}

FrameRect ReadRect(const std::uint8_t* src)
{
    return {std::int32_t(le::Get32(src)), std::int32_t(le::Get32(src + 4)), std::int32_t(le::Get32(src + 8)),
            std::int32_t(le::Get32(src + 12))};
}

// The 48 bytes both video information blocks begin with.
void WriteVideoPrefix(std::uint8_t* dest, const FrameRect& source, const FrameRect& target, std::uint32_t bitRate,
                      std::uint32_t bitErrorRate, std::int64_t avgTimePerFrame)
{
    WriteRect(dest, source);
    WriteRect(dest + 16, target);
    le::Put32(dest + 32, bitRate);
    le::Put32(dest + 36, bitErrorRate);
    le::Put64(dest + 40, std::uint64_t(avgTimePerFrame));
}

}  // namespace

void BitmapInfoHeader::WriteTo(std::uint8_t* dest) const
{
    le::Put32(dest, Size);
    le::Put32(dest + 4, std::uint32_t(Width));
    le::Put32(dest + 8, std::uint32_t(Height));
    le::Put16(dest + 12, Planes);
    le::Put16(dest + 14, BitCount);
    le::Put32(dest + 16, Compression);
    le::Put32(dest + 20, SizeImage);
    le::Put32(dest + 24, std::uint32_t(XPelsPerMeter));
    le::Put32(dest + 28, std::uint32_t(YPelsPerMeter));
    le::Put32(dest + 32, ClrUsed);
    le::Put32(dest + 36, ClrImportant);
}

BitmapInfoHeader BitmapInfoHeader::ReadFrom(const std::uint8_t* src)
{
    BitmapInfoHeader h;
    h.Size = le::Get32(src);
    h.Width = std::int32_t(le::Get32(src + 4));
    h.Height = std::int32_t(le::Get32(src + 8));
    h.Planes = le::Get16(src + 12);
    h.BitCount = le::Get16(src + 14);
    h.Compression = le::Get32(src + 16);
    h.SizeImage = le::Get32(src + 20);
    h.XPelsPerMeter = std::int32_t(le::Get32(src + 24));
    h.YPelsPerMeter = std::int32_t(le::Get32(src + 28));
    h.ClrUsed = le::Get32(src + 32);
    h.ClrImportant = le::Get32(src + 36);
    return h;
}

std::vector<std::uint8_t> VideoInfoHeader::ToBlock() const
{
    std::vector<std::uint8_t> block(kBytes);
    WriteVideoPrefix(block.data(), Source, Target, BitRate, BitErrorRate, AvgTimePerFrame);
    Header.WriteTo(block.data() + kHeaderOffset);
    return block;
}

std::optional<VideoInfoHeader> VideoInfoHeader::FromBlock(std::span<const std::uint8_t> block)
{
    if (block.size() != kBytes) return std::nullopt;
    VideoInfoHeader info;
    info.Source = ReadRect(block.data());
    info.Target = ReadRect(block.data() + 16);
    info.BitRate = le::Get32(block.data() + 32);
    info.BitErrorRate = le::Get32(block.data() + 36);
    info.AvgTimePerFrame = std::int64_t(le::Get64(block.data() + 40));
    info.Header = BitmapInfoHeader::ReadFrom(block.data() + kHeaderOffset);
    return info;
}

std::vector<std::uint8_t> VideoInfoHeader2::ToBlock() const
{
    std::vector<std::uint8_t> block(kBytes);
    WriteVideoPrefix(block.data(), Source, Target, BitRate, BitErrorRate, AvgTimePerFrame);
    le::Put32(block.data() + 48, InterlaceFlags);
    le::Put32(block.data() + 52, CopyProtectFlags);
    le::Put32(block.data() + 56, PictAspectRatioX);
    le::Put32(block.data() + 60, PictAspectRatioY);
    le::Put32(block.data() + 64, ControlFlags);
    le::Put32(block.data() + 68, Reserved2);
    Header.WriteTo(block.data() + kHeaderOffset);
    return block;
}

std::vector<std::uint8_t> WaveFormatEx::ToBlock() const
{
    std::vector<std::uint8_t> block(kBytes);
    le::Put16(block.data(), FormatTag);
    le::Put16(block.data() + 2, Channels);
    le::Put32(block.data() + 4, SamplesPerSec);
    le::Put32(block.data() + 8, AvgBytesPerSec);
    le::Put16(block.data() + 12, BlockAlign);
    le::Put16(block.data() + 14, BitsPerSample);
    le::Put16(block.data() + 16, ExtraSize);
    return block;
}

}  // namespace qmd
