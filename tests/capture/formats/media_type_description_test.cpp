// Every row of the description tables, and the examples the format window
// must show exactly.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture/formats/format_blocks.h"
#include "capture/formats/media_type.h"
#include "capture/formats/media_type_description.h"

namespace qmd {
namespace {

const Guid kVideo = Guid::Parse("{73646976-0000-0010-8000-00AA00389B71}");
const Guid kAudio = Guid::Parse("{73647561-0000-0010-8000-00AA00389B71}");
const Guid kVideoInfo = Guid::Parse("{05589F80-C356-11CE-BF01-00AA0055595A}");
const Guid kVideoInfo2 = Guid::Parse("{F72A76A0-EB0A-11D0-ACE4-0000C0CC16BA}");
const Guid kWaveFormatEx = Guid::Parse("{05589F81-C356-11CE-BF01-00AA0055595A}");
const Guid kYUY2 = Guid::Parse("{32595559-0000-0010-8000-00AA00389B71}");
const Guid kRGB24 = Guid::Parse("{E436EB7D-524F-11CE-9F53-0020AF0BA770}");
const Guid kPCM = Guid::Parse("{00000001-0000-0010-8000-00AA00389B71}");
const Guid kNobody = Guid::Parse("{12345678-9ABC-DEF0-1234-56789ABCDEF0}");

TMediaType Type(Guid major, Guid sub, Guid format, std::vector<std::uint8_t> block = {})
{
    TMediaType type;
    type.MajorType = major;
    type.SubType = sub;
    type.FormatType = format;
    type.FormatBlock = std::move(block);
    return type;
}

std::vector<std::uint8_t> VideoInfoBlock(std::int32_t width, std::int32_t height, std::uint16_t bits,
                                         std::uint32_t compression)
{
    VideoInfoHeader info;
    info.Header.Width = width;
    info.Header.Height = height;
    info.Header.BitCount = bits;
    info.Header.Compression = compression;
    return info.ToBlock();
}

std::vector<std::uint8_t> WaveBlock(std::uint16_t tag, std::uint32_t rate, std::uint16_t bits, std::uint16_t channels)
{
    WaveFormatEx wave;
    wave.FormatTag = tag;
    wave.SamplesPerSec = rate;
    wave.BitsPerSample = bits;
    wave.Channels = channels;
    return wave.ToBlock();
}

TEST(FourCCIdentifier, CodeGoesLittleEndianIntoTheFirstField)
{
    EXPECT_EQ(GuidFromFourCC("vids"), kVideo);
    EXPECT_EQ(GuidFromFourCC("vids").ToString(), "{73646976-0000-0010-8000-00AA00389B71}");
    EXPECT_EQ(FourCC("YUY2"), 0x32595559u);
    EXPECT_EQ(Guid::Parse("{e436eb7d-524f-11ce-9f53-0020af0ba770}"), kRGB24);
}

TEST(MediaTypeDescription, ExamplesOfTheFormatWindow)
{
    EXPECT_EQ(MediaTypeDescription(Type(kVideo, kYUY2, kVideoInfo, VideoInfoBlock(640, 480, 16, FourCC("YUY2")))),
              "Major Type: Video - Sub Type: YUY2 Format: VideoInfo YUY2 640X480, 16 bits");
    EXPECT_EQ(MediaTypeDescription(Type(kVideo, kRGB24, kVideoInfo, VideoInfoBlock(320, 240, 24, 0))),
              "Major Type: Video - Sub Type: RGB24 Format: VideoInfo RGB 320X240, 24 bits");
    // No block: the format text alone, ending in its blank.
    EXPECT_EQ(MediaTypeDescription(Type(kVideo, kRGB24, kVideoInfo)),
              "Major Type: Video - Sub Type: RGB24 Format: VideoInfo ");
    // Nothing recognised: two blanks after each "UnKnown".
    EXPECT_EQ(MediaTypeDescription(Type(kNobody, kNobody, kNobody)),
              "Major Type: UnKnown  - Sub Type: UnKnown  Format: Unknown");
    EXPECT_EQ(MediaTypeDescription(Type(Guid{}, Guid{}, Guid{})),
              "Major Type: UnKnown  - Sub Type: UnKnown  Format: Unknown");
}

TEST(MediaTypeDescription, VideoDetailsReadTheHeaderWhereTheFormatPutsIt)
{
    VideoInfoHeader2 info2;
    info2.Header.Width = 1280;
    info2.Header.Height = -720;  // top-down: the sign shows
    info2.Header.BitCount = 12;
    info2.Header.Compression = FourCC("NV12");
    EXPECT_EQ(MediaTypeDescription(Type(kVideo, kNobody, kVideoInfo2, info2.ToBlock())),
              "Major Type: Video - Sub Type: UnKnown  Format: VideoInfo2 NV12 1280X-720, 12 bits");

    const Guid mpegVideo = Guid::Parse("{05589F82-C356-11CE-BF01-00AA0055595A}");
    const Guid mpeg2Video = Guid::Parse("{E06D80E3-DB46-11CF-B4D1-00805F6CBBEA}");
    EXPECT_EQ(MediaTypeDescription(Type(kVideo, kNobody, mpegVideo, VideoInfoBlock(352, 288, 24, FourCC("MPG1")))),
              "Major Type: Video - Sub Type: UnKnown  Format: MPEGVideo MPG1 352X288, 24 bits");
    EXPECT_EQ(MediaTypeDescription(Type(kVideo, kNobody, mpeg2Video, info2.ToBlock())),
              "Major Type: Video - Sub Type: UnKnown  Format: MPEGStreams NV12 1280X-720, 12 bits");
}

TEST(MediaTypeDescription, BlockTooShortForItsHeaderGivesNoDetails)
{
    // Reading a header past the end of a short block would read foreign memory.
    std::vector<std::uint8_t> block = VideoInfoBlock(640, 480, 16, FourCC("YUY2"));
    block.resize(87);
    EXPECT_EQ(MediaTypeDescription(Type(kVideo, kYUY2, kVideoInfo, block)),
              "Major Type: Video - Sub Type: YUY2 Format: VideoInfo ");
    EXPECT_EQ(MediaTypeDescription(Type(kVideo, kYUY2, kVideoInfo2, VideoInfoBlock(640, 480, 16, 0))),
              "Major Type: Video - Sub Type: YUY2 Format: VideoInfo2 ");
    EXPECT_EQ(MediaTypeDescription(Type(kAudio, kPCM, kWaveFormatEx, std::vector<std::uint8_t>(15, 1))),
              "Major Type: Audio - Sub Type: PCM Format: WaveFormatEx: ");
}

TEST(CompressionText, NamedCodesAndCharacterCodes)
{
    struct Row {
        std::uint32_t code;
        const char* text;
    };
    const Row rows[] = {
        {0, "RGB"},
        {1, "RLE8"},
        {2, "RLE4"},
        {3, "BITFIELDS"},
        {FourCC("YUY2"), "YUY2"},
        {FourCC("MJPG"), "MJPG"},
        {0x00320059, "Y"},   // zero second byte: only the first character
        {0x00003259, "Y2"},  // zero third byte
        {0x00000004, "\x04"},
        {0xE9000041, "A"},          // a zero byte ends the text even before later bytes
        {0x41E94141, "AA\u00E9A"},  // bytes above ASCII read as Latin-1
    };
    for (const Row& row : rows) EXPECT_EQ(CompressionText(row.code), row.text) << std::hex << row.code;
    EXPECT_EQ(MediaTypeDescription(Type(kVideo, kYUY2, kVideoInfo, VideoInfoBlock(8, 2, 16, 0x00320059))),
              "Major Type: Video - Sub Type: YUY2 Format: VideoInfo Y 8X2, 16 bits");
}

TEST(MediaTypeDescription, EveryMajorType)
{
    struct Row {
        Guid id;
        const char* name;
    };
    const Row rows[] = {
        {Guid::Parse("{0482DEE1-7817-11CF-8A03-00AA006ECB65}"), "AnalogAudio"},
        {Guid::Parse("{0482DDE1-7817-11CF-8A03-00AA006ECB65}"), "Analogvideo"},
        {GuidFromFourCC("auds"), "Audio"},
        {Guid::Parse("{670AEA80-3A82-11D0-B79B-00AA003767A7}"), "AUXLine21Data"},
        {GuidFromFourCC("file"), "File"},
        {GuidFromFourCC("iavs"), "Interleaved"},
        {GuidFromFourCC("mlrt"), "LMRT"},
        {GuidFromFourCC("mids"), "Midi"},
        {Guid::Parse("{E06D8020-DB46-11CF-B4D1-00805F6CBBEA}"), "MPEG2_PES"},
        {GuidFromFourCC("dmcs"), "ScriptCommand"},
        {Guid::Parse("{E436EB83-524F-11CE-9F53-0020AF0BA770}"), "Stream"},
        {GuidFromFourCC("txts"), "Text"},
        {Guid::Parse("{0482DEE3-7817-11CF-8A03-00AA006ECB65}"), "Timecode"},
        {GuidFromFourCC("urls"), "URL_STREAM"},
        {GuidFromFourCC("vids"), "Video"},
    };
    ASSERT_EQ(std::size(rows), 15u);
    for (const Row& row : rows)
        EXPECT_EQ(MediaTypeDescription(Type(row.id, kNobody, kNobody)),
                  std::string("Major Type: ") + row.name + " - Sub Type: UnKnown  Format: Unknown")
            << row.id.ToString();
    EXPECT_EQ(GuidFromFourCC("mlrt").ToString(), "{74726C6D-0000-0010-8000-00AA00389B71}");
}

TEST(MediaTypeDescription, EverySubtypeInTestOrder)
{
    auto code = [](const char* c) { return GuidFromFourCC(c); };
    auto e436 = [](const char* first) {
        return Guid::Parse(std::string("{") + first + "-524F-11CE-9F53-0020AF0BA770}");
    };
    auto analog = [](const char* first) {
        return Guid::Parse(std::string("{") + first + "-7817-11CF-8A03-00AA006ECB65}");
    };
    auto mpeg2 = [](const char* first) {
        return Guid::Parse(std::string("{") + first + "-DB46-11CF-B4D1-00805F6CBBEA}");
    };
    auto tag = [](std::uint32_t t) { return GuidFromFourCC(t); };
    struct Row {
        Guid id;
        const char* name;
    };
    const Row rows[] = {
        {code("CLPL"), "CLPL"},
        {code("YUYV"), "YUYV"},
        {code("IYUV"), "IYUV"},
        {code("YVU9"), "YVU9"},
        {code("Y411"), "Y411"},
        {code("Y41P"), "Y41P"},
        {code("YUY2"), "YUY2"},
        {code("YVYU"), "YVYU"},
        {code("UYVY"), "UYVY"},
        {code("Y211"), "Y211"},
        {code("YV12"), "YV12"},
        {code("CLJR"), "CLJR"},
        {code("IF09"), "IF09"},
        {code("CPLA"), "CPLA"},
        {code("MJPG"), "MJPG"},
        {code("TVMJ"), "TVMJ"},
        {code("WAKE"), "WAKE"},
        {code("CFCC"), "CFCC"},
        {code("IJPG"), "IJPG"},
        {code("Plum"), "Plum"},
        {code("DVCS"), "DVCS"},
        {code("DVSD"), "DVSD"},
        {code("MDVF"), "MDVF"},
        {e436("E436EB78"), "RGB1"},
        {e436("E436EB79"), "RGB4"},
        {e436("E436EB7A"), "RGB8"},
        {e436("E436EB7B"), "RGB565"},
        {e436("E436EB7C"), "RGB555"},
        {e436("E436EB7D"), "RGB24"},
        {e436("E436EB7E"), "RGB32"},
        {Guid::Parse("{773C9AC0-3274-11D0-B724-00AA006C1A01}"), "ARGB32"},
        {e436("E436EB7F"), "Overlay"},
        {e436("E436EB80"), "MPEG1Packet"},
        {e436("E436EB81"), "MPEG1Payload"},
        {tag(0x0050), "MPEG1AudioPayload"},
        {e436("E436EB84"), "MPEG1System"},
        {e436("E436EB85"), "MPEG1VideoCD"},
        {e436("E436EB86"), "MPEG1Video"},
        {e436("E436EB87"), "MPEG1Audio"},
        {e436("E436EB88"), "Avi"},
        {Guid::Parse("{3DB80F90-9412-11D1-ADED-0000F8754B99}"), "Asf"},
        {e436("E436EB89"), "QTMovie"},
        {code("rpza"), "QTRpza"},
        {code("smc "), "QTSmc"},
        {code("rle "), "QTRle"},
        {code("jpeg"), "QTJpeg"},
        {e436("E436EB8A"), "PCMAudio_Obsolete"},
        {tag(0x0001), "PCM"},
        {e436("E436EB8B"), "WAVE"},
        {e436("E436EB8C"), "AU"},
        {e436("E436EB8D"), "AIFF"},
        {code("dvsd"), "dvsd_"},
        {code("dvhd"), "dvhd"},
        {code("dvsl"), "dvsl"},
        {Guid::Parse("{6E8D4A22-310C-11D0-B79A-00AA003767A7}"), "Line21_BytePair"},
        {Guid::Parse("{6E8D4A23-310C-11D0-B79A-00AA003767A7}"), "Line21_GOPPacket"},
        {Guid::Parse("{6E8D4A24-310C-11D0-B79A-00AA003767A7}"), "Line21_VBIRawData"},
        {tag(0x0009), "DRM_Audio"},
        {tag(0x0003), "IEEE_FLOAT"},
        {tag(0x0092), "DOLBY_AC3_SPDIF"},
        {tag(0x0240), "RAW_SPORT"},
        {tag(0x0241), "SPDIF_TAG_241h"},
        {Guid::Parse("{A0AF4F81-E163-11D0-BAD9-00609744111A}"), "DssVideo"},
        {Guid::Parse("{A0AF4F82-E163-11D0-BAD9-00609744111A}"), "DssAudio"},
        {Guid::Parse("{5A9B6A40-1A22-11D1-BAD9-00609744111A}"), "VPVideo"},
        {Guid::Parse("{5A9B6A41-1A22-11D1-BAD9-00609744111A}"), "VPVBI"},
        {analog("0482DDE2"), "AnalogVideo_NTSC_M"},
        {analog("0482DDE5"), "AnalogVideo_PAL_B"},
        {analog("0482DDE6"), "AnalogVideo_PAL_D"},
        {analog("0482DDE7"), "AnalogVideo_PAL_G"},
        {analog("0482DDE8"), "AnalogVideo_PAL_H"},
        {analog("0482DDE9"), "AnalogVideo_PAL_I"},
        {analog("0482DDEA"), "AnalogVideo_PAL_M"},
        {analog("0482DDEB"), "AnalogVideo_PAL_N"},
        {analog("0482DDEC"), "AnalogVideo_PAL_N_COMBO"},
        {analog("0482DDF0"), "AnalogVideo_SECAM_B"},
        {analog("0482DDF1"), "AnalogVideo_SECAM_D"},
        {analog("0482DDF2"), "AnalogVideo_SECAM_G"},
        {analog("0482DDF3"), "AnalogVideo_SECAM_H"},
        {analog("0482DDF4"), "AnalogVideo_SECAM_K"},
        {analog("0482DDF5"), "AnalogVideo_SECAM_K1"},
        {analog("0482DDF6"), "AnalogVideo_SECAM_L"},
        {mpeg2("E06D8026"), "MPEG2_VIDEO"},
        {mpeg2("E06D8022"), "MPEG2_PROGRAM"},
        {mpeg2("E06D8023"), "MPEG2_TRANSPORT"},
        {mpeg2("E06D802B"), "MPEG2_AUDIO"},
        {mpeg2("E06D802C"), "DOLBY_AC3"},
        {mpeg2("E06D802D"), "DVD_SUBPICTURE"},
        {mpeg2("E06D8032"), "DVD_LPCM_AUDIO"},
        {mpeg2("E06D8033"), "DTS"},
        {mpeg2("E06D8034"), "SDDS"},
        {mpeg2("E06D802F"), "PCI"},
        {mpeg2("E06D8030"), "DSI"},
        {mpeg2("E06D8031"), "PROVIDER"},
        {code("MP42"), "MS-MPEG4"},
        {code("DIVX"), "DIVX"},
        {tag(0x0075), "VOXWARE_MetaSound"},
    };
    ASSERT_EQ(std::size(rows), 97u);
    for (const Row& row : rows)
        EXPECT_EQ(MediaTypeDescription(Type(kVideo, row.id, kNobody)),
                  std::string("Major Type: Video - Sub Type: ") + row.name + " Format: Unknown")
            << row.id.ToString();
    // The identifiers are all different, so the test order decides nothing
    // more than which name each one gets.
    for (std::size_t i = 0; i < std::size(rows); ++i)
        for (std::size_t j = i + 1; j < std::size(rows); ++j) EXPECT_NE(rows[i].id, rows[j].id) << rows[j].name;
    // A code the list does not hold, and a near miss of a listed one.
    EXPECT_EQ(SubTypeName(code("NV12")), "UnKnown ");
    EXPECT_EQ(SubTypeName(code("smc_")), "UnKnown ");
}

TEST(MediaTypeDescription, EveryFormatType)
{
    struct Row {
        Guid id;
        std::string withoutBlock;
        std::string withVideoBlock;  // empty: the same as without
    };
    const auto mpeg2 = [](const char* first) {
        return Guid::Parse(std::string("{") + first + "-DB46-11CF-B4D1-00805F6CBBEA}");
    };
    const auto c356 = [](const char* first) {
        return Guid::Parse(std::string("{") + first + "-C356-11CE-BF01-00AA0055595A}");
    };
    const Row rows[] = {
        {c356("05589F80"), "VideoInfo ", "VideoInfo MJPG 1280X720, 24 bits"},
        {kVideoInfo2, "VideoInfo2 ", ""},  // a 88-byte block is too short for its header at 72
        {c356("05589F81"), "WaveFormatEx: ", ""},
        {c356("05589F82"), "MPEGVideo ", "MPEGVideo MJPG 1280X720, 24 bits"},
        {mpeg2("E06D80E3"), "MPEGStreams ", ""},
        {c356("05589F84"), "DvInfo", ""},
        {c356("05589F83"), "MPEGStreams", ""},
        {mpeg2("E06D80E4"), "DolbyAC3", ""},
        {mpeg2("E06D80E5"), "MPEG2Audio", ""},
        {mpeg2("E06D80E6"), "DVD_LPCMAudio", ""},
        {kNobody, "Unknown", ""},
    };
    const auto block = VideoInfoBlock(1280, 720, 24, FourCC("MJPG"));
    const std::string prefix = "Major Type: Video - Sub Type: UnKnown  Format: ";
    for (const Row& row : rows) {
        EXPECT_EQ(MediaTypeDescription(Type(kVideo, kNobody, row.id)), prefix + row.withoutBlock);
        const std::string& expected = row.withVideoBlock.empty() ? row.withoutBlock : row.withVideoBlock;
        // The wave format reads any block; this one's first bytes are zero.
        if (row.id == c356("05589F81")) continue;
        EXPECT_EQ(MediaTypeDescription(Type(kVideo, kNobody, row.id, block)), prefix + expected);
    }
}

TEST(MediaTypeDescription, EveryWaveFormatTag)
{
    struct Row {
        std::uint16_t tag;
        const char* name;
    };
    const Row rows[] = {
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
        // Codes between and beyond the listed ones
        {0, "Unknown"},
        {4, "Unknown"},
        {118, "Unknown"},
        {513, "Unknown"},
        {0xFFFE, "Unknown"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(MediaTypeDescription(Type(kAudio, kPCM, kWaveFormatEx, WaveBlock(row.tag, 44100, 16, 2))),
                  std::string("Major Type: Audio - Sub Type: PCM Format: WaveFormatEx: ") + row.name +
                      ", 44100 Hertz, 16 Bits, 2 Channels")
            << row.tag;
    EXPECT_EQ(MediaTypeDescription(Type(kAudio, kPCM, kWaveFormatEx, WaveBlock(3, 8000, 32, 1))),
              "Major Type: Audio - Sub Type: PCM Format: WaveFormatEx: IEEE_FLOAT, 8000 Hertz, 32 Bits, 1 Channels");
}

}  // namespace
}  // namespace qmd
