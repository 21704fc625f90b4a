#include "capture/formats/media_type.h"

#include <gst/audio/audio.h>
#include <gst/video/video.h>

#include <algorithm>
#include <cstring>
#include <string_view>

#include "capture/formats/format_blocks.h"
#include "capture/formats/media_type_ids.h"

namespace qmd {
namespace {

using namespace media_ids;

// Raw formats with a published RGB subtype: their header carries compression
// 0 (plain RGB) instead of a four-character code.
struct RgbFormat {
    std::string_view gstFormat;
    Guid subtype;
};
constexpr RgbFormat kRgbFormats[] = {
    {"BGR", SubRGB24},    {"BGRx", SubRGB32},   {"BGRA", SubARGB32},
    {"RGB16", SubRGB565}, {"RGB15", SubRGB555}, {"RGB8P", SubRGB8},
};

// Raw formats whose published four-character code differs from the one
// GStreamer gives them (or that GStreamer gives none).
struct RenamedFormat {
    std::string_view gstFormat;
    std::string_view code;
};
constexpr RenamedFormat kRenamedFormats[] = {
    {"I420", "IYUV"},
    {"GRAY8", "Y800"},
};

// Compressed video, each with the four-character code of its subtype.
struct CompressedFormat {
    std::string_view capsName;
    std::string_view code;
    bool temporalCompression;
};
constexpr CompressedFormat kCompressedFormats[] = {
    {"image/jpeg", "MJPG", false},  {"video/x-dv", "dvsd", false}, {"video/x-h264", "H264", true},
    {"video/x-h265", "HEVC", true}, {"video/x-vp8", "VP80", true}, {"video/x-vp9", "VP90", true},
};

// Typical bit count of a compressed frame, as cameras announce it.
constexpr std::uint16_t kCompressedBitCount = 24;

constexpr std::int64_t kUnitsPerSecond = 10'000'000;  // 100-nanosecond units

struct VideoShape {
    int width = 0;
    int height = 0;
    int fpsNumerator = 0;
    int fpsDenominator = 1;
};

VideoShape ShapeOf(const GstStructure* s)
{
    VideoShape shape;
    gst_structure_get_int(s, "width", &shape.width);
    gst_structure_get_int(s, "height", &shape.height);
    if (!gst_structure_get_fraction(s, "framerate", &shape.fpsNumerator, &shape.fpsDenominator)) {
        shape.fpsNumerator = 0;
        shape.fpsDenominator = 1;
    }
    return shape;
}

// A code from a format name GStreamer has no code for: its first four
// characters, blanks filling up a shorter name.
std::uint32_t CodeFromName(std::string_view name)
{
    char code[4] = {' ', ' ', ' ', ' '};
    std::copy_n(name.begin(), std::min<std::size_t>(name.size(), 4), code);
    return FourCC(std::string_view(code, 4));
}

std::uint32_t Saturate32(std::uint64_t value) { return std::uint32_t(std::min<std::uint64_t>(value, UINT32_MAX)); }

TMediaType VideoType(const Guid& subtype, std::uint32_t compression, std::uint16_t bitCount, std::uint32_t imageSize,
                     const VideoShape& shape)
{
    VideoInfoHeader info;
    info.Header.Width = shape.width;
    info.Header.Height = shape.height;
    info.Header.BitCount = bitCount;
    info.Header.Compression = compression;
    info.Header.SizeImage = imageSize;
    if (shape.fpsNumerator > 0 && shape.fpsDenominator > 0) {
        info.AvgTimePerFrame = (kUnitsPerSecond * shape.fpsDenominator + shape.fpsNumerator / 2) / shape.fpsNumerator;
        info.BitRate = Saturate32(std::uint64_t(imageSize) * 8 * std::uint64_t(shape.fpsNumerator) /
                                  std::uint64_t(shape.fpsDenominator));
    }

    TMediaType type;
    type.MajorType = MajorVideo;
    type.SubType = subtype;
    type.FormatType = FormatVideoInfo;
    type.FormatBlock = info.ToBlock();
    return type;
}

TMediaType RawVideoType(const GstStructure* s)
{
    const VideoShape shape = ShapeOf(s);
    const char* formatText = gst_structure_get_string(s, "format");
    const std::string_view format = formatText ? formatText : "";
    const GstVideoFormat gstFormat = gst_video_format_from_string(format.data());

    // Bits per pixel from the bytes of a small frame whose rows need no padding.
    std::uint16_t bitCount = 0;
    std::uint32_t imageSize = 0;
    GstVideoInfo info;
    constexpr int kProbeSide = 64;
    if (gstFormat != GST_VIDEO_FORMAT_UNKNOWN && gst_video_info_set_format(&info, gstFormat, kProbeSide, kProbeSide)) {
        bitCount = std::uint16_t(GST_VIDEO_INFO_SIZE(&info) * 8 / (kProbeSide * kProbeSide));
        if (shape.width > 0 && shape.height > 0 &&
            gst_video_info_set_format(&info, gstFormat, guint(shape.width), guint(shape.height)))
            imageSize = Saturate32(GST_VIDEO_INFO_SIZE(&info));
    }

    Guid subtype;
    std::uint32_t compression = BI_RGB;
    const auto rgb = std::ranges::find(kRgbFormats, format, &RgbFormat::gstFormat);
    const auto renamed = std::ranges::find(kRenamedFormats, format, &RenamedFormat::gstFormat);
    if (rgb != std::end(kRgbFormats)) {
        subtype = rgb->subtype;
    } else {
        if (renamed != std::end(kRenamedFormats))
            compression = FourCC(renamed->code);
        else if (const std::uint32_t code =
                     gstFormat != GST_VIDEO_FORMAT_UNKNOWN ? gst_video_format_to_fourcc(gstFormat) : 0)
            compression = code;
        else
            compression = CodeFromName(format);
        subtype = GuidFromFourCC(compression);
    }

    TMediaType type = VideoType(subtype, compression, bitCount, imageSize, shape);
    type.FixedSizeSamples = true;
    type.SampleSize = imageSize;
    return type;
}

TMediaType CompressedVideoType(const GstStructure* s, const CompressedFormat& format)
{
    const VideoShape shape = ShapeOf(s);
    const std::uint32_t imageSize = Saturate32(std::uint64_t(std::max(shape.width, 0)) *
                                               std::uint64_t(std::max(shape.height, 0)) * (kCompressedBitCount / 8));
    const std::uint32_t code = FourCC(format.code);
    TMediaType type = VideoType(GuidFromFourCC(code), code, kCompressedBitCount, imageSize, shape);
    type.TemporalCompression = format.temporalCompression;
    return type;
}

TMediaType AudioType(const GstCaps* caps)
{
    TMediaType type;
    type.MajorType = MajorAudio;
    GstAudioInfo info;
    if (!gst_structure_has_name(gst_caps_get_structure(caps, 0), "audio/x-raw") ||
        !gst_audio_info_from_caps(&info, caps))
        return type;

    const bool isFloat = GST_AUDIO_FORMAT_INFO_IS_FLOAT(info.finfo);
    WaveFormatEx wave;
    wave.FormatTag = isFloat ? WAVE_FORMAT_IEEE_FLOAT : WAVE_FORMAT_PCM;
    wave.Channels = std::uint16_t(GST_AUDIO_INFO_CHANNELS(&info));
    wave.SamplesPerSec = std::uint32_t(GST_AUDIO_INFO_RATE(&info));
    wave.BitsPerSample = std::uint16_t(GST_AUDIO_INFO_WIDTH(&info));
    wave.BlockAlign = std::uint16_t(GST_AUDIO_INFO_BPF(&info));
    wave.AvgBytesPerSec = wave.SamplesPerSec * wave.BlockAlign;

    type.SubType = isFloat ? SubIEEEFloat : SubPCM;
    type.FixedSizeSamples = true;
    type.SampleSize = wave.BlockAlign;
    type.FormatType = FormatWaveFormatEx;
    type.FormatBlock = wave.ToBlock();
    return type;
}

TMediaType RecordOf(const GstCaps* caps)
{
    if (!caps || gst_caps_is_any(caps) || gst_caps_is_empty(caps)) return {};
    const GstStructure* s = gst_caps_get_structure(caps, 0);
    const std::string_view name = gst_structure_get_name(s);

    if (name == "video/x-raw") return RawVideoType(s);
    if (const auto compressed = std::ranges::find(kCompressedFormats, name, &CompressedFormat::capsName);
        compressed != std::end(kCompressedFormats))
        return CompressedVideoType(s, *compressed);
    if (name.starts_with("audio/")) return AudioType(caps);

    // Video this program has no subtype for: the major type alone.
    TMediaType type;
    if (name.starts_with("video/") || name.starts_with("image/")) type.MajorType = MajorVideo;
    return type;
}

// Caps are immutable once shared, so a type and its copies share one caps
// object. (Handle::Ref is not usable here: its constraint is no constant
// expression under -fsanitize=undefined.)
gst::CapsHandle NewReference(const GstCaps* caps)
{
    return gst::CapsHandle(caps ? gst_caps_ref(const_cast<GstCaps*>(caps)) : nullptr);
}

}  // namespace

TMediaType::TMediaType(const TMediaType& other)
    : MajorType(other.MajorType), SubType(other.SubType), FixedSizeSamples(other.FixedSizeSamples),
      TemporalCompression(other.TemporalCompression), SampleSize(other.SampleSize), FormatType(other.FormatType),
      FormatBlock(other.FormatBlock), caps_(NewReference(other.caps_.get()))
{
}

TMediaType& TMediaType::operator=(const TMediaType& other)
{
    if (this != &other) *this = TMediaType(other);
    return *this;
}

TMediaType TMediaType::FromCaps(const GstCaps* fixedCaps)
{
    TMediaType type = RecordOf(fixedCaps);
    type.caps_ = NewReference(fixedCaps);
    return type;
}

}  // namespace qmd
