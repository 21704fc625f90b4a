#pragma once
// The published identifiers this program builds media types from.
#include "capture/formats/guid.h"

namespace qmd::media_ids {

// Major types
inline constexpr Guid MajorVideo = GuidFromFourCC("vids");
inline constexpr Guid MajorAudio = GuidFromFourCC("auds");

// Video subtypes that are not four-character codes
inline constexpr Guid SubRGB8 = Guid::Parse("{E436EB7A-524F-11CE-9F53-0020AF0BA770}");
inline constexpr Guid SubRGB565 = Guid::Parse("{E436EB7B-524F-11CE-9F53-0020AF0BA770}");
inline constexpr Guid SubRGB555 = Guid::Parse("{E436EB7C-524F-11CE-9F53-0020AF0BA770}");
inline constexpr Guid SubRGB24 = Guid::Parse("{E436EB7D-524F-11CE-9F53-0020AF0BA770}");
inline constexpr Guid SubRGB32 = Guid::Parse("{E436EB7E-524F-11CE-9F53-0020AF0BA770}");
inline constexpr Guid SubARGB32 = Guid::Parse("{773C9AC0-3274-11D0-B724-00AA006C1A01}");

// Audio subtypes: the wave format tag in the first field of the code form
inline constexpr Guid SubPCM = GuidFromFourCC(0x0001);
inline constexpr Guid SubIEEEFloat = GuidFromFourCC(0x0003);

// Format types
inline constexpr Guid FormatVideoInfo = Guid::Parse("{05589F80-C356-11CE-BF01-00AA0055595A}");
inline constexpr Guid FormatVideoInfo2 = Guid::Parse("{F72A76A0-EB0A-11D0-ACE4-0000C0CC16BA}");
inline constexpr Guid FormatWaveFormatEx = Guid::Parse("{05589F81-C356-11CE-BF01-00AA0055595A}");
inline constexpr Guid FormatMPEGVideo = Guid::Parse("{05589F82-C356-11CE-BF01-00AA0055595A}");
inline constexpr Guid FormatMPEGStreams = Guid::Parse("{05589F83-C356-11CE-BF01-00AA0055595A}");
inline constexpr Guid FormatDvInfo = Guid::Parse("{05589F84-C356-11CE-BF01-00AA0055595A}");
inline constexpr Guid FormatMPEG2Video = Guid::Parse("{E06D80E3-DB46-11CF-B4D1-00805F6CBBEA}");
inline constexpr Guid FormatDolbyAC3 = Guid::Parse("{E06D80E4-DB46-11CF-B4D1-00805F6CBBEA}");
inline constexpr Guid FormatMPEG2Audio = Guid::Parse("{E06D80E5-DB46-11CF-B4D1-00805F6CBBEA}");
inline constexpr Guid FormatDVDLPCMAudio = Guid::Parse("{E06D80E6-DB46-11CF-B4D1-00805F6CBBEA}");

// Compression codes of a bitmap header that are not four-character codes
inline constexpr std::uint32_t BI_RGB = 0;
inline constexpr std::uint32_t BI_RLE8 = 1;
inline constexpr std::uint32_t BI_RLE4 = 2;
inline constexpr std::uint32_t BI_BITFIELDS = 3;

// Wave format tags
inline constexpr std::uint16_t WAVE_FORMAT_PCM = 1;
inline constexpr std::uint16_t WAVE_FORMAT_IEEE_FLOAT = 3;

}  // namespace qmd::media_ids
