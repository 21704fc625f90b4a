// The one-pass YUV 4:2:0 to BGR conversion against libyuv's own, byte for
// byte: random pictures at widths around the kernels' blocks (odd ones, ones
// not a multiple of 16 or 32, a camera's) and odd and even heights, in every
// matrix the converter picks, from I420 and NV12, with each of our kernels
// this processor runs. Every plane and the output are buffers of their exact
// size, the last row's end being the buffer's end, so that the sanitizer
// build catches any read or write past a row.
#include <gtest/gtest.h>

#include <libyuv/convert_argb.h>
#include <libyuv/row.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "capture/elements/yuv_frame_to_bgr.h"

namespace qmd {
namespace {

struct NamedMatrix {
    const char* Name;
    const libyuv::YuvConstants* Matrix;
};

// Those the converter picks from a stream's caps.
const NamedMatrix kMatrices[] = {{"BT.601", &libyuv::kYuvI601Constants},
                                 {"JPEG", &libyuv::kYuvJPEGConstants},
                                 {"BT.709", &libyuv::kYuvH709Constants},
                                 {"BT.709 full", &libyuv::kYuvF709Constants},
                                 {"BT.2020", &libyuv::kYuv2020Constants}};

std::vector<std::uint8_t> RandomBytes(std::size_t size, std::mt19937& random)
{
    std::vector<std::uint8_t> bytes(size);
    for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
    return bytes;
}

// Where two outputs first differ, or "" when they are the same.
std::string FirstDifference(const std::vector<std::uint8_t>& ours, const std::vector<std::uint8_t>& libyuv, int stride)
{
    for (std::size_t i = 0; i < ours.size(); ++i)
        if (ours[i] != libyuv[i])
            return "row " + std::to_string(i / stride) + ", byte " + std::to_string(i % stride) + ": " +
                   std::to_string(ours[i]) + " where libyuv makes " + std::to_string(libyuv[i]);
    return "";
}

TEST(YuvFrameToBgrTest, EveryKernelMakesLibyuvsBytes)
{
    std::mt19937 random(20261209);
    std::vector<int> widths;
    for (int width = 1; width <= 70; ++width) widths.push_back(width);
    widths.insert(widths.end(), {95, 96, 97, 1279, 1280});
    for (const int width : widths) {
        const int height = 1 + width % 4;
        const int chromaWidth = (width + 1) / 2, chromaHeight = (height + 1) / 2;
        // Padding after each output row for even widths, which neither may touch.
        const int bgrStride = 3 * width + (width % 2 == 0 ? 4 : 0);
        const auto y = RandomBytes(static_cast<std::size_t>(width) * height, random);
        const auto u = RandomBytes(static_cast<std::size_t>(chromaWidth) * chromaHeight, random);
        const auto v = RandomBytes(u.size(), random);
        const auto uv = RandomBytes(2 * u.size(), random);
        const auto before = RandomBytes(static_cast<std::size_t>(bgrStride) * height, random);
        for (const NamedMatrix& matrix : kMatrices) {
            auto expectedI420 = before;
            auto expectedNv12 = before;
            ASSERT_EQ(libyuv::I420ToRGB24Matrix(y.data(), width, u.data(), chromaWidth, v.data(), chromaWidth,
                                                expectedI420.data(), bgrStride, matrix.Matrix, width, height),
                      0);
            ASSERT_EQ(libyuv::NV12ToRGB24Matrix(y.data(), width, uv.data(), 2 * chromaWidth, expectedNv12.data(),
                                                bgrStride, matrix.Matrix, width, height),
                      0);
            for (const YuvKernel kernel : AvailableYuvKernels()) {
                if (kernel == YuvKernel::Libyuv) continue;
                SCOPED_TRACE(std::string(YuvKernelName(kernel)) + ", " + matrix.Name + ", " + std::to_string(width) +
                             "x" + std::to_string(height));
                auto i420 = before;
                ASSERT_TRUE(I420ToBgr(y.data(), width, u.data(), chromaWidth, v.data(), chromaWidth, i420.data(),
                                      bgrStride, matrix.Matrix, width, height, kernel));
                EXPECT_EQ(FirstDifference(i420, expectedI420, bgrStride), "") << "I420";
                auto nv12 = before;
                ASSERT_TRUE(Nv12ToBgr(y.data(), width, uv.data(), 2 * chromaWidth, nv12.data(), bgrStride,
                                      matrix.Matrix, width, height, kernel));
                EXPECT_EQ(FirstDifference(nv12, expectedNv12, bgrStride), "") << "NV12";
            }
        }
    }
}

}  // namespace
}  // namespace qmd
