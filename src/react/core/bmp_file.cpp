#include "react/core/bmp_file.h"

#include <cstdint>

#include "common/quisk_error.h"
#include "react/core/file_writes.h"

namespace qmd {

namespace {
constexpr std::uint32_t kFileHeaderSize = 14;
constexpr std::uint32_t kInfoHeaderSize = 40;

void Put16(std::string& out, std::uint16_t v)
{
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}
void Put32(std::string& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
}  // namespace

std::string EncodeBmp(const FrameImage& image)
{
    const int width = image.Empty() ? 0 : image.Width();
    const int height = image.Empty() ? 0 : image.Height();
    const std::uint32_t stride = static_cast<std::uint32_t>(FrameImage::StrideFor(width));
    const std::uint64_t pixelBytes = static_cast<std::uint64_t>(stride) * static_cast<std::uint32_t>(height);
    if (pixelBytes > 0xFFFFFFFFull - kFileHeaderSize - kInfoHeaderSize)
        throw QuiskError("Frame too large for a BMP file");
    const std::uint32_t offset = kFileHeaderSize + kInfoHeaderSize;

    std::string out;
    out.reserve(offset + pixelBytes);
    out += "BM";
    Put32(out, static_cast<std::uint32_t>(offset + pixelBytes));
    Put32(out, 0);  // reserved
    Put32(out, offset);

    Put32(out, kInfoHeaderSize);
    Put32(out, static_cast<std::uint32_t>(width));
    Put32(out, static_cast<std::uint32_t>(height));  // positive: rows bottom-up
    Put16(out, 1);                                   // planes
    Put16(out, 24);                                  // bits per pixel
    Put32(out, 0);                                   // BI_RGB
    Put32(out, static_cast<std::uint32_t>(pixelBytes));
    Put32(out, 0);  // horizontal resolution: unknown
    Put32(out, 0);  // vertical resolution
    Put32(out, 0);  // colours used
    Put32(out, 0);  // important colours

    // FrameImage keeps its rows top-down with the same padding as BMP.
    for (int y = height - 1; y >= 0; --y) {
        out.append(reinterpret_cast<const char*>(image.Row(y)), stride);
    }
    return out;
}

void SaveBmpFile(const std::string& path, const FrameImage& image)
{
    ReplaceFileOrThrow(path, EncodeBmp(image), "Cannot create file ");
}

}  // namespace qmd
