#pragma once
// The media type a grabber connection negotiated, in the form a bitmap is
// built from: which major type and format record it is, and the picture
// header (width, height, bit count; a negative height means the rows lie
// top-down in the buffer, as GStreamer's BGR does; a positive one bottom-up).
#include <gst/video/video.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace qmd {

class FrameImage;

enum class MediaFormatType { VideoInfo, VideoInfo2, Other };

inline constexpr std::uint32_t kVideoInfoSize = 88;
inline constexpr std::uint32_t kVideoInfo2Size = 112;

struct VideoHeader {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::uint16_t Planes = 1;
    std::uint16_t BitCount = 24;
    std::uint32_t SizeImage = 0;  // 0: computed from the other fields
    bool operator==(const VideoHeader&) const = default;
};

struct GrabberMediaType {
    bool MajorVideo = true;
    MediaFormatType FormatType = MediaFormatType::VideoInfo;
    std::uint32_t FormatSize = kVideoInfoSize;
    VideoHeader Header;
    bool operator==(const GrabberMediaType&) const = default;

    // Top-down 24-bit BGR of the given size, as the grabber negotiates it.
    static GrabberMediaType TopDownBgr(int width, int height);
    // From negotiated caps; nothing unless they are packed 24-bit BGR.
    static std::optional<GrabberMediaType> FromCaps(const GstCaps* caps);
};

// Bytes per row for a header, rows padded to 4 bytes (15 bits count as 16).
std::int64_t HeaderLineSize(const VideoHeader& header);
// The header's image size, or line size x |height| x planes when it gives 0.
std::int64_t HeaderImageSize(const VideoHeader& header);

// Copies one frame into bitmap as the media type describes it. false, with
// the bitmap untouched, for a type no 24-bit bitmap can be built from, an
// empty picture or an empty buffer. Only min(length, image size) bytes are
// taken; the rest of the picture is black. The bitmap's block is reused
// when the size is unchanged.
bool CopyFrameToImage(const GrabberMediaType& type, const std::uint8_t* buffer, std::size_t length, FrameImage& bitmap);

// The same picture without the copy where the frame is laid out as a
// bitmap's block (top-down, rows padded to 4 bytes, whole) and owner keeps it
// alive: the bitmap then shares it. Otherwise (no owner, bottom-up, short) a
// copy as above.
bool FrameToImage(const GrabberMediaType& type, const std::uint8_t* buffer, std::size_t length,
                  std::shared_ptr<const void> owner, FrameImage& bitmap);

}  // namespace qmd
