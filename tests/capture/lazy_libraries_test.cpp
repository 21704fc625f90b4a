// libavcodec loaded behind the stand-ins of the libraries it is linked with:
// it opens the decoders of network cameras while none of those libraries is
// in memory, and a stand-in's first call loads its library and gives the
// real function's answer, with every argument register kept.
#include <gtest/gtest.h>

#include <dlfcn.h>
#include <glib.h>

#include <fstream>
#include <set>
#include <string>

#include "capture/elements/libav_library.h"

namespace qmd {
namespace {

const std::string kStandIns = QMD_TEST_LAZY_LIBRARY_DIR;

// Whether a library of this soname is mapped from anywhere but the stand-ins.
bool RealOneMapped(const std::string& soname)
{
    std::ifstream maps("/proc/self/maps");
    for (std::string line; std::getline(maps, line);) {
        const auto slash = line.rfind('/');
        if (slash != std::string::npos && line.compare(slash + 1, soname.size(), soname) == 0 &&
            line.find(kStandIns) == std::string::npos)
            return true;
    }
    return false;
}

template <typename Function>
Function Find(void* library, const char* name)
{
    return reinterpret_cast<Function>(dlsym(library, name));
}

TEST(LazyLibraries, LibavcodecDecodesBehindTheStandInsWhoseFirstCallLoadsTheRealLibrary)
{
    // The stand-ins made for this build; those whose library the process
    // has already are not put in front of anything.
    std::set<std::string> standIns;
    GDir* dir = g_dir_open(kStandIns.c_str(), 0, nullptr);
    ASSERT_NE(dir, nullptr);
    while (const gchar* name = g_dir_read_name(dir))
        if (!RealOneMapped(name)) standIns.insert(name);
    g_dir_close(dir);
    ASSERT_TRUE(standIns.count("librsvg-2.so.2")) << "libavcodec is linked with the SVG renderer on Debian";

    void* avcodec = OpenLibavcodec(kStandIns);
    ASSERT_NE(avcodec, nullptr);
    const auto findDecoder = Find<decltype(&avcodec_find_decoder)>(avcodec, "avcodec_find_decoder");
    const auto allocContext = Find<decltype(&avcodec_alloc_context3)>(avcodec, "avcodec_alloc_context3");
    const auto open = Find<decltype(&avcodec_open2)>(avcodec, "avcodec_open2");
    const auto freeContext = Find<decltype(&avcodec_free_context)>(avcodec, "avcodec_free_context");
    for (const AVCodecID id : {AV_CODEC_ID_H264, AV_CODEC_ID_HEVC, AV_CODEC_ID_MPEG4}) {
        const AVCodec* decoder = findDecoder(id);
        ASSERT_NE(decoder, nullptr);
        AVCodecContext* context = allocContext(decoder);
        EXPECT_EQ(open(context, decoder, nullptr), 0) << decoder->name;
        freeContext(&context);
    }
    for (const std::string& soname : standIns) EXPECT_FALSE(RealOneMapped(soname)) << soname << " was loaded";

    // Six numbers in vector registers and a pointer: the loading of libcairo
    // between the call and the real function must not disturb one of them.
    struct Matrix {
        double xx, yx, xy, yy, x0, y0;
    } matrix{};
    void* cairo = dlopen((kStandIns + "/libcairo.so.2").c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
    ASSERT_NE(cairo, nullptr) << "libavcodec is linked with Cairo on Debian";
    const auto init = Find<void (*)(Matrix*, double, double, double, double, double, double)>(cairo, "cairo_matrix_init");
    ASSERT_NE(init, nullptr);
    init(&matrix, 1.5, -2.25, 3.125, 4.0, -5.5, 6.75);
    EXPECT_EQ(matrix.xx, 1.5);
    EXPECT_EQ(matrix.yx, -2.25);
    EXPECT_EQ(matrix.xy, 3.125);
    EXPECT_EQ(matrix.yy, 4.0);
    EXPECT_EQ(matrix.x0, -5.5);
    EXPECT_EQ(matrix.y0, 6.75);
    EXPECT_TRUE(RealOneMapped("libcairo.so.2"));
    // Later calls go straight through, to the same function.
    init(&matrix, 0, 0, 0, 0, 0, 1);
    EXPECT_EQ(matrix.y0, 1.0);
    dlclose(cairo);
}

}  // namespace
}  // namespace qmd
