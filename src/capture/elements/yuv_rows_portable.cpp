#include <libyuv/row.h>

#include <algorithm>

#include "capture/elements/yuv_rows.h"

namespace qmd::detail {
namespace {

// libyuv's vector arithmetic, one lane at a time: 16-bit lanes that wrap
// where it adds plainly and saturate where it saturates, so that the result
// is its result bit for bit, on any processor.
int Saturated16(int value) { return std::clamp(value, -32768, 32767); }
int Wrapped16(int value) { return static_cast<std::int16_t>(static_cast<std::uint16_t>(value)); }

// What pmaddubsw makes of a coefficient pair (unsigned bytes) and the chroma
// pair centred on 0 (signed bytes).
int ChromaTerm(const std::uint8_t* coefficients, int u, int v)
{
    return Saturated16(coefficients[0] * u + coefficients[1] * v);
}

std::uint8_t ToByte(int value16) { return static_cast<std::uint8_t>(std::clamp(value16 >> 6, 0, 255)); }

void PixelToBgr(std::uint8_t y, std::uint8_t u, std::uint8_t v, const libyuv::YuvConstants& matrix, std::uint8_t* bgr)
{
    // Y repeated into 16 bits (y * 257), scaled by the high half of an
    // unsigned product, then offset.
    const auto scale = static_cast<std::uint16_t>(matrix.kYToRgb[0]);
    const int luma = Wrapped16(static_cast<int>((y * 0x0101u * scale) >> 16) + matrix.kYBiasToRgb[0]);
    const int su = static_cast<std::int8_t>(u ^ 0x80);
    const int sv = static_cast<std::int8_t>(v ^ 0x80);
    bgr[0] = ToByte(Saturated16(luma + ChromaTerm(matrix.kUVToB, su, sv)));
    bgr[1] = ToByte(Saturated16(luma - ChromaTerm(matrix.kUVToG, su, sv)));
    bgr[2] = ToByte(Saturated16(luma + ChromaTerm(matrix.kUVToR, su, sv)));
}

}  // namespace

void PlanarRowToBgrPortable(const std::uint8_t* y, const std::uint8_t* u, const std::uint8_t* v, std::uint8_t* bgr,
                            const libyuv::YuvConstants* matrix, int width)
{
    for (int x = 0; x < width; ++x) PixelToBgr(y[x], u[x / 2], v[x / 2], *matrix, bgr + 3 * x);
}

void InterleavedRowToBgrPortable(const std::uint8_t* y, const std::uint8_t* uv, std::uint8_t* bgr,
                                 const libyuv::YuvConstants* matrix, int width)
{
    for (int x = 0; x < width; ++x) PixelToBgr(y[x], uv[x / 2 * 2], uv[x / 2 * 2 + 1], *matrix, bgr + 3 * x);
}

}  // namespace qmd::detail
