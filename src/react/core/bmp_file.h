#pragma once
// A frame as a 24-bit BMP file: file header, information header (40 bytes),
// then the rows bottom-up, each padded to a multiple of 4 bytes.
#include <string>

#include "common/frame_image.h"

namespace qmd {

std::string EncodeBmp(const FrameImage& image);
// Writes under a temporary name in the same folder and renames it over
// `path`, so a failed write never leaves half a photo. Throws QuiskError.
void SaveBmpFile(const std::string& path, const FrameImage& image);

}  // namespace qmd
