#include "capture/grabber/grabber_media_type.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "common/frame_image.h"

namespace qmd {

namespace {

// Larger pictures than this are not video but a damaged header; refusing
// them keeps a bad header from asking for gigabytes.
constexpr std::int32_t kMaxSide = 16384;

}  // namespace

GrabberMediaType GrabberMediaType::TopDownBgr(int width, int height)
{
    GrabberMediaType type;
    type.Header.Width = width;
    type.Header.Height = -height;
    type.Header.SizeImage =
        static_cast<std::uint32_t>(FrameImage::StrideFor(width)) * static_cast<std::uint32_t>(height);
    return type;
}

std::optional<GrabberMediaType> GrabberMediaType::FromCaps(const GstCaps* caps)
{
    GstVideoInfo info;
    if (!caps || !gst_video_info_from_caps(&info, caps)) return {};
    if (GST_VIDEO_INFO_FORMAT(&info) != GST_VIDEO_FORMAT_BGR) return {};
    return TopDownBgr(GST_VIDEO_INFO_WIDTH(&info), GST_VIDEO_INFO_HEIGHT(&info));
}

std::int64_t HeaderLineSize(const VideoHeader& header)
{
    const std::int64_t bits = header.BitCount == 15 ? 16 : header.BitCount;
    return ((static_cast<std::int64_t>(header.Width) * bits + 31) / 32) * 4;
}

std::int64_t HeaderImageSize(const VideoHeader& header)
{
    if (header.SizeImage != 0) return header.SizeImage;
    return HeaderLineSize(header) * std::llabs(header.Height) * header.Planes;
}

namespace {

// Whether a 24-bit bitmap can be built from frames of this type.
bool UsableForBitmap(const GrabberMediaType& type)
{
    if (!type.MajorVideo) return false;
    const bool knownFormat = (type.FormatType == MediaFormatType::VideoInfo && type.FormatSize == kVideoInfoSize) ||
                             (type.FormatType == MediaFormatType::VideoInfo2 && type.FormatSize == kVideoInfo2Size);
    if (!knownFormat) return false;
    const VideoHeader& header = type.Header;
    // A bitmap of this program is always 24-bit, one plane.
    if (header.BitCount != 24 || header.Planes != 1) return false;
    return header.Width > 0 && header.Width <= kMaxSide && header.Height != 0 && header.Height >= -kMaxSide &&
           header.Height <= kMaxSide;
}

}  // namespace

bool CopyFrameToImage(const GrabberMediaType& type, const std::uint8_t* buffer, std::size_t length, FrameImage& bitmap)
{
    if (!buffer || length == 0 || !UsableForBitmap(type)) return false;
    const VideoHeader& header = type.Header;
    const int width = header.Width;
    const int rows = std::abs(header.Height);
    const bool bottomUp = header.Height > 0;
    bitmap.Resize(width, rows);
    const std::size_t stride = static_cast<std::size_t>(bitmap.Stride());

    // Never more than the header's image size, nor than the picture holds.
    const std::int64_t imageSize = std::max<std::int64_t>(HeaderImageSize(header), 0);
    const std::size_t taken = std::min({length, static_cast<std::size_t>(imageSize), bitmap.ImageSize()});

    for (int memoryRow = 0; memoryRow < rows; ++memoryRow) {
        std::uint8_t* target = bitmap.Row(bottomUp ? rows - 1 - memoryRow : memoryRow);
        const std::size_t rowStart = static_cast<std::size_t>(memoryRow) * stride;
        const std::size_t available = rowStart < taken ? std::min(stride, taken - rowStart) : 0;
        if (available) std::memcpy(target, buffer + rowStart, available);
        if (available < stride) std::memset(target + available, 0, stride - available);
    }
    return true;
}

bool FrameToImage(const GrabberMediaType& type, const std::uint8_t* buffer, std::size_t length,
                  std::shared_ptr<const void> owner, FrameImage& bitmap)
{
    const VideoHeader& header = type.Header;
    if (owner && buffer && UsableForBitmap(type) && header.Height < 0) {
        const int rows = -header.Height;
        const auto block = static_cast<std::int64_t>(FrameImage::StrideFor(header.Width)) * rows;
        // Whole, as the copy would take it: otherwise the copy blacks the rest.
        if (static_cast<std::int64_t>(length) >= block && HeaderImageSize(header) >= block) {
            bitmap.Share(header.Width, rows, buffer, std::move(owner));
            return true;
        }
    }
    return CopyFrameToImage(type, buffer, length, bitmap);
}

}  // namespace qmd
