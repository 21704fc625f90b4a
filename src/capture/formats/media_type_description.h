#pragma once
// The one-line description of a media type that the format window lists:
// "Major Type: Video - Sub Type: YUY2 Format: VideoInfo YUY2 640X480, 16 bits".
#include <cstdint>
#include <string>

#include "capture/formats/media_type.h"

namespace qmd {

std::string MediaTypeDescription(const TMediaType& type);

// The parts of a description, for the readers of single fields.
std::string MajorTypeName(const Guid& majorType);        // "UnKnown " when not listed
std::string SubTypeName(const Guid& subType);            // "UnKnown " when not listed
std::string WaveFormatTagName(std::uint16_t formatTag);  // "Unknown" when not listed
std::string CompressionText(std::uint32_t compression);  // "RGB", "RLE8", ..., or the code's characters

}  // namespace qmd
