#include "capture/formats/media_type_description.h"

#include <cstdio>
#include <optional>
#include <string_view>

#include "capture/formats/format_blocks.h"
#include "capture/formats/little_endian.h"
#include "capture/formats/media_type_ids.h"

namespace qmd {
namespace {

using namespace media_ids;

struct NamedGuid {
    Guid id;
    std::string_view name;
};

constexpr Guid G(std::string_view text) { return Guid::Parse(text); }
constexpr Guid Code(std::string_view code) { return GuidFromFourCC(code); }
constexpr Guid WaveTag(std::uint32_t tag) { return GuidFromFourCC(tag); }

constexpr std::string_view kUnknownName = "UnKnown ";

// Tested in this order; the first equal identifier names the type.
constexpr NamedGuid kMajorTypes[] = {
    {G("{0482DEE1-7817-11CF-8A03-00AA006ECB65}"), "AnalogAudio"},
    {G("{0482DDE1-7817-11CF-8A03-00AA006ECB65}"), "Analogvideo"},
    {Code("auds"), "Audio"},
    {G("{670AEA80-3A82-11D0-B79B-00AA003767A7}"), "AUXLine21Data"},
    {Code("file"), "File"},
    {Code("iavs"), "Interleaved"},
    {Code("mlrt"), "LMRT"},
    {Code("mids"), "Midi"},
    {G("{E06D8020-DB46-11CF-B4D1-00805F6CBBEA}"), "MPEG2_PES"},
    {Code("dmcs"), "ScriptCommand"},
    {G("{E436EB83-524F-11CE-9F53-0020AF0BA770}"), "Stream"},
    {Code("txts"), "Text"},
    {G("{0482DEE3-7817-11CF-8A03-00AA006ECB65}"), "Timecode"},
    {Code("urls"), "URL_STREAM"},
    {Code("vids"), "Video"},
};

// Tested in this order; the first equal identifier names the subtype.
constexpr NamedGuid kSubTypes[] = {
    {Code("CLPL"), "CLPL"},
    {Code("YUYV"), "YUYV"},
    {Code("IYUV"), "IYUV"},
    {Code("YVU9"), "YVU9"},
    {Code("Y411"), "Y411"},
    {Code("Y41P"), "Y41P"},
    {Code("YUY2"), "YUY2"},
    {Code("YVYU"), "YVYU"},
    {Code("UYVY"), "UYVY"},
    {Code("Y211"), "Y211"},
    {Code("YV12"), "YV12"},
    {Code("CLJR"), "CLJR"},
    {Code("IF09"), "IF09"},
    {Code("CPLA"), "CPLA"},
    {Code("MJPG"), "MJPG"},
    {Code("TVMJ"), "TVMJ"},
    {Code("WAKE"), "WAKE"},
    {Code("CFCC"), "CFCC"},
    {Code("IJPG"), "IJPG"},
    {Code("Plum"), "Plum"},
    {Code("DVCS"), "DVCS"},
    {Code("DVSD"), "DVSD"},
    {Code("MDVF"), "MDVF"},
    {G("{E436EB78-524F-11CE-9F53-0020AF0BA770}"), "RGB1"},
    {G("{E436EB79-524F-11CE-9F53-0020AF0BA770}"), "RGB4"},
    {SubRGB8, "RGB8"},
    {SubRGB565, "RGB565"},
    {SubRGB555, "RGB555"},
    {SubRGB24, "RGB24"},
    {SubRGB32, "RGB32"},
    {SubARGB32, "ARGB32"},
    {G("{E436EB7F-524F-11CE-9F53-0020AF0BA770}"), "Overlay"},
    {G("{E436EB80-524F-11CE-9F53-0020AF0BA770}"), "MPEG1Packet"},
    {G("{E436EB81-524F-11CE-9F53-0020AF0BA770}"), "MPEG1Payload"},
    {WaveTag(0x0050), "MPEG1AudioPayload"},
    {G("{E436EB84-524F-11CE-9F53-0020AF0BA770}"), "MPEG1System"},
    {G("{E436EB85-524F-11CE-9F53-0020AF0BA770}"), "MPEG1VideoCD"},
    {G("{E436EB86-524F-11CE-9F53-0020AF0BA770}"), "MPEG1Video"},
    {G("{E436EB87-524F-11CE-9F53-0020AF0BA770}"), "MPEG1Audio"},
    {G("{E436EB88-524F-11CE-9F53-0020AF0BA770}"), "Avi"},
    {G("{3DB80F90-9412-11D1-ADED-0000F8754B99}"), "Asf"},
    {G("{E436EB89-524F-11CE-9F53-0020AF0BA770}"), "QTMovie"},
    {Code("rpza"), "QTRpza"},
    {Code("smc "), "QTSmc"},
    {Code("rle "), "QTRle"},
    {Code("jpeg"), "QTJpeg"},
    {G("{E436EB8A-524F-11CE-9F53-0020AF0BA770}"), "PCMAudio_Obsolete"},
    {SubPCM, "PCM"},
    {G("{E436EB8B-524F-11CE-9F53-0020AF0BA770}"), "WAVE"},
    {G("{E436EB8C-524F-11CE-9F53-0020AF0BA770}"), "AU"},
    {G("{E436EB8D-524F-11CE-9F53-0020AF0BA770}"), "AIFF"},
    {Code("dvsd"), "dvsd_"},
    {Code("dvhd"), "dvhd"},
    {Code("dvsl"), "dvsl"},
    {G("{6E8D4A22-310C-11D0-B79A-00AA003767A7}"), "Line21_BytePair"},
    {G("{6E8D4A23-310C-11D0-B79A-00AA003767A7}"), "Line21_GOPPacket"},
    {G("{6E8D4A24-310C-11D0-B79A-00AA003767A7}"), "Line21_VBIRawData"},
    {WaveTag(0x0009), "DRM_Audio"},
    {SubIEEEFloat, "IEEE_FLOAT"},
    {WaveTag(0x0092), "DOLBY_AC3_SPDIF"},
    {WaveTag(0x0240), "RAW_SPORT"},
    {WaveTag(0x0241), "SPDIF_TAG_241h"},
    {G("{A0AF4F81-E163-11D0-BAD9-00609744111A}"), "DssVideo"},
    {G("{A0AF4F82-E163-11D0-BAD9-00609744111A}"), "DssAudio"},
    {G("{5A9B6A40-1A22-11D1-BAD9-00609744111A}"), "VPVideo"},
    {G("{5A9B6A41-1A22-11D1-BAD9-00609744111A}"), "VPVBI"},
    {G("{0482DDE2-7817-11CF-8A03-00AA006ECB65}"), "AnalogVideo_NTSC_M"},
    {G("{0482DDE5-7817-11CF-8A03-00AA006ECB65}"), "AnalogVideo_PAL_B"},
    {G("{0482DDE6-7817-11CF-8A03-00AA006ECB65}"), "AnalogVideo_PAL_D"},
    {G("{0482DDE7-7817-11CF-8A03-00AA006ECB65}"), "AnalogVideo_PAL_G"},
    {G("{0482DDE8-7817-11CF-8A03-00AA006ECB65}"), "AnalogVideo_PAL_H"},
    {G("{0482DDE9-7817-11CF-8A03-00AA006ECB65}"), "AnalogVideo_PAL_I"},
    {G("{0482DDEA-7817-11CF-8A03-00AA006ECB65}"), "AnalogVideo_PAL_M"},
    {G("{0482DDEB-7817-11CF-8A03-00AA006ECB65}"), "AnalogVideo_PAL_N"},
    {G("{0482DDEC-7817-11CF-8A03-00AA006ECB65}"), "AnalogVideo_PAL_N_COMBO"},
    {G("{0482DDF0-7817-11CF-8A03-00AA006ECB65}"), "AnalogVideo_SECAM_B"},
    {G("{0482DDF1-7817-11CF-8A03-00AA006ECB65}"), "AnalogVideo_SECAM_D"},
    {G("{0482DDF2-7817-11CF-8A03-00AA006ECB65}"), "AnalogVideo_SECAM_G"},
    {G("{0482DDF3-7817-11CF-8A03-00AA006ECB65}"), "AnalogVideo_SECAM_H"},
    {G("{0482DDF4-7817-11CF-8A03-00AA006ECB65}"), "AnalogVideo_SECAM_K"},
    {G("{0482DDF5-7817-11CF-8A03-00AA006ECB65}"), "AnalogVideo_SECAM_K1"},
    {G("{0482DDF6-7817-11CF-8A03-00AA006ECB65}"), "AnalogVideo_SECAM_L"},
    {G("{E06D8026-DB46-11CF-B4D1-00805F6CBBEA}"), "MPEG2_VIDEO"},
    {G("{E06D8022-DB46-11CF-B4D1-00805F6CBBEA}"), "MPEG2_PROGRAM"},
    {G("{E06D8023-DB46-11CF-B4D1-00805F6CBBEA}"), "MPEG2_TRANSPORT"},
    {G("{E06D802B-DB46-11CF-B4D1-00805F6CBBEA}"), "MPEG2_AUDIO"},
    {G("{E06D802C-DB46-11CF-B4D1-00805F6CBBEA}"), "DOLBY_AC3"},
    {G("{E06D802D-DB46-11CF-B4D1-00805F6CBBEA}"), "DVD_SUBPICTURE"},
    {G("{E06D8032-DB46-11CF-B4D1-00805F6CBBEA}"), "DVD_LPCM_AUDIO"},
    {G("{E06D8033-DB46-11CF-B4D1-00805F6CBBEA}"), "DTS"},
    {G("{E06D8034-DB46-11CF-B4D1-00805F6CBBEA}"), "SDDS"},
    {G("{E06D802F-DB46-11CF-B4D1-00805F6CBBEA}"), "PCI"},
    {G("{E06D8030-DB46-11CF-B4D1-00805F6CBBEA}"), "DSI"},
    {G("{E06D8031-DB46-11CF-B4D1-00805F6CBBEA}"), "PROVIDER"},
    {Code("MP42"), "MS-MPEG4"},
    {Code("DIVX"), "DIVX"},
    {WaveTag(0x0075), "VOXWARE_MetaSound"},
};
static_assert(std::size(kSubTypes) == 97);

enum class Details { None, Video, Audio };

struct FormatPart {
    Guid formatType;
    std::string_view text;
    Details details;
    std::size_t headerOffset;  // of the bitmap header, for video details
};

constexpr FormatPart kFormatParts[] = {
    {FormatVideoInfo, "VideoInfo ", Details::Video, 48},       {FormatVideoInfo2, "VideoInfo2 ", Details::Video, 72},
    {FormatWaveFormatEx, "WaveFormatEx: ", Details::Audio, 0}, {FormatMPEGVideo, "MPEGVideo ", Details::Video, 48},
    {FormatMPEG2Video, "MPEGStreams ", Details::Video, 72},    {FormatDvInfo, "DvInfo", Details::None, 0},
    {FormatMPEGStreams, "MPEGStreams", Details::None, 0},      {FormatDolbyAC3, "DolbyAC3", Details::None, 0},
    {FormatMPEG2Audio, "MPEG2Audio", Details::None, 0},        {FormatDVDLPCMAudio, "DVD_LPCMAudio", Details::None, 0},
};

struct WaveTagName {
    std::uint16_t tag;
    std::string_view name;
};

constexpr WaveTagName kWaveTags[] = {
    {1, "PCM"},
    {2, "ADPCM"},
    {3, "IEEE_FLOAT"},
    {5, "IBM_CVSD"},
    {6, "ALAW"},
    {7, "MULAW"},
    {16, "OKI_ADPCM"},
    {17, "DVI_ADPCM"},
    {18, "MEDIASPACE_ADPCM"},
    {19, "SIERRA_ADPCM"},
    {20, "G723_ADPCM"},
    {21, "DIGISTD"},
    {22, "DIGIFIX"},
    {23, "DIALOGIC_OKI_ADPCM"},
    {24, "MEDIAVISION_ADPCM"},
    {32, "YAMAHA_ADPCM"},
    {33, "SONARC"},
    {34, "DSPGROUP_TRUESPEECH"},
    {35, "ECHOSC1"},
    {36, "AUDIOFILE_AF36"},
    {37, "APTX"},
    {38, "AUDIOFILE_AF10"},
    {48, "DOLBY_AC2"},
    {49, "GSM610"},
    {50, "MSNAUDIO"},
    {51, "ANTEX_ADPCME"},
    {52, "CONTROL_RES_VQLPC"},
    {53, "DIGIREAL"},
    {54, "DIGIADPCM"},
    {55, "CONTROL_RES_CR10"},
    {56, "NMS_VBXADPCM"},
    {57, "CS_IMAADPCM"},
    {58, "ECHOSC3"},
    {59, "ROCKWELL_ADPCM"},
    {60, "ROCKWELL_DIGITALK"},
    {61, "XEBEC"},
    {64, "G721_ADPCM"},
    {65, "G728_CELP"},
    {80, "MPEG"},
    {85, "MPEGLAYER3"},
    {96, "CIRRUS"},
    {97, "ESPCM"},
    {98, "VOXWARE"},
    {99, "CANOPUS_ATRAC"},
    {100, "G726_ADPCM"},
    {101, "G722_ADPCM"},
    {102, "DSAT"},
    {103, "DSAT_DISPLAY"},
    {117, "VOXWARE"},
    {128, "SOFTSOUND"},
    {256, "RHETOREX_ADPCM"},
    {512, "CREATIVE_ADPCM"},
    {514, "CREATIVE_FASTSPEECH8"},
    {515, "CREATIVE_FASTSPEECH10"},
    {544, "QUARTERDECK"},
    {768, "FM_TOWNS_SND"},
    {1024, "BTV_DIGITAL"},
    {4096, "OLIGSM"},
    {4097, "OLIADPCM"},
    {4098, "OLICELP"},
    {4099, "OLISBC"},
    {4100, "OLIOPR"},
    {4352, "LH_CODEC"},
    {5120, "NORRIS"},
};

template <std::size_t N>
std::string NameIn(const NamedGuid (&table)[N], const Guid& id)
{
    for (const NamedGuid& entry : table)
        if (entry.id == id) return std::string(entry.name);
    return std::string(kUnknownName);
}

// A code byte as UTF-8: bytes above ASCII are read as Latin-1, so that a
// strange code never makes the line invalid text.
void AppendCodeByte(std::string& text, std::uint8_t byte)
{
    if (byte < 0x80) {
        text += char(byte);
    } else {
        text += char(0xC0 | byte >> 6);
        text += char(0x80 | (byte & 0x3F));
    }
}

std::string VideoDetails(const std::vector<std::uint8_t>& block, std::size_t headerOffset)
{
    // A block too short for its header has no details to give, like a missing one.
    if (block.size() < headerOffset + BitmapInfoHeader::kBytes) return {};
    const BitmapInfoHeader header = BitmapInfoHeader::ReadFrom(block.data() + headerOffset);
    char numbers[64];
    std::snprintf(numbers, sizeof numbers, " %dX%d, %d bits", int(header.Width), int(header.Height),
                  int(header.BitCount));
    return CompressionText(header.Compression) + numbers;
}

std::string AudioDetails(const std::vector<std::uint8_t>& block)
{
    // The fields read end with the bits per sample at offset 14.
    constexpr std::size_t kFieldsRead = 16;
    if (block.size() < kFieldsRead) return {};
    const std::uint16_t tag = le::Get16(block.data());
    const std::uint16_t channels = le::Get16(block.data() + 2);
    const std::int32_t samplesPerSec = std::int32_t(le::Get32(block.data() + 4));
    const std::uint16_t bitsPerSample = le::Get16(block.data() + 14);
    char numbers[96];
    std::snprintf(numbers, sizeof numbers, ", %d Hertz, %d Bits, %d Channels", int(samplesPerSec), int(bitsPerSample),
                  int(channels));
    return WaveFormatTagName(tag) + numbers;
}

std::string FormatPartOf(const TMediaType& type)
{
    for (const FormatPart& part : kFormatParts) {
        if (part.formatType != type.FormatType) continue;
        std::string text(part.text);
        if (type.FormatBlock.empty()) return text;
        switch (part.details) {
        case Details::Video: return text + VideoDetails(type.FormatBlock, part.headerOffset);
        case Details::Audio: return text + AudioDetails(type.FormatBlock);
        case Details::None: return text;
        }
    }
    return "Unknown";
}

}  // namespace

std::string MajorTypeName(const Guid& majorType) { return NameIn(kMajorTypes, majorType); }

std::string SubTypeName(const Guid& subType) { return NameIn(kSubTypes, subType); }

std::string WaveFormatTagName(std::uint16_t formatTag)
{
    for (const WaveTagName& entry : kWaveTags)
        if (entry.tag == formatTag) return std::string(entry.name);
    return "Unknown";
}

std::string CompressionText(std::uint32_t compression)
{
    switch (compression) {
    case BI_RGB: return "RGB";
    case BI_RLE8: return "RLE8";
    case BI_RLE4: return "RLE4";
    case BI_BITFIELDS: return "BITFIELDS";
    default: break;
    }
    std::string text;
    for (int i = 0; i < 4; ++i) {
        const std::uint8_t byte = std::uint8_t(compression >> (8 * i));
        if (byte == 0) break;
        AppendCodeByte(text, byte);
    }
    return text;
}

std::string MediaTypeDescription(const TMediaType& type)
{
    return "Major Type: " + MajorTypeName(type.MajorType) + " - Sub Type: " + SubTypeName(type.SubType) +
           " Format: " + FormatPartOf(type);
}

}  // namespace qmd
