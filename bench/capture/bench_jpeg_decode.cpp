// libjpeg-turbo's ways of decoding camera-like JPEGs to BGR, per frame, and
// how far each lands from the accurate decode (integer DCT, smooth chroma
// upsampling): the largest difference of one colour of one pixel, the share
// of colours more than 8 levels off, and the PSNR over all colours; and, for
// comparison, the decode to YUV planes alone. The footage is made by
// bench/program/make_footage.sh at 640x480, 1280x720 and 1920x1080 (10 frames
// each), or taken from the folders given as arguments.
#include <benchmark/benchmark.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "capture/elements/turbo_jpeg_decoder.h"

namespace {

using Jpeg = std::vector<unsigned char>;

struct Footage {
    std::string Name;
    std::vector<Jpeg> Frames;
    int Width = 0;
    int Height = 0;
};

std::vector<Footage>& AllFootage()
{
    static std::vector<Footage> footage;
    return footage;
}

Footage ReadFootage(const std::filesystem::path& folder)
{
    Footage footage;
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.path().extension() == ".jpg") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        footage.Frames.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    if (footage.Frames.empty()) return footage;
    tjhandle decompressor = tjInitDecompress();
    int subsampling = 0, colourspace = 0;
    tjDecompressHeader3(decompressor, footage.Frames[0].data(), footage.Frames[0].size(), &footage.Width,
                        &footage.Height, &subsampling, &colourspace);
    tjDestroy(decompressor);
    footage.Name = std::to_string(footage.Width) + "x" + std::to_string(footage.Height);
    return footage;
}

std::vector<unsigned char> Decode(tjhandle decompressor, const Footage& footage, const Jpeg& jpeg, int flags)
{
    const int stride = (footage.Width * 3 + 3) / 4 * 4;
    std::vector<unsigned char> bgr(static_cast<std::size_t>(stride) * footage.Height);
    if (tjDecompress2(decompressor, jpeg.data(), jpeg.size(), bgr.data(), footage.Width, stride, footage.Height,
                      TJPF_BGR, flags) != 0)
        std::fprintf(stderr, "bench_jpeg_decode: %s\n", tjGetErrorStr2(decompressor));
    return bgr;
}

// Against the accurate decode over all frames: the largest difference of a
// colour, and the PSNR in dB.
void CompareWithAccurate(benchmark::State& state, const Footage& footage, int flags)
{
    tjhandle decompressor = tjInitDecompress();
    int largest = 0;
    double squares = 0;
    std::size_t samples = 0, beyondEight = 0;
    for (const Jpeg& jpeg : footage.Frames) {
        const auto accurate = Decode(decompressor, footage, jpeg, 0);
        const auto other = Decode(decompressor, footage, jpeg, flags);
        for (std::size_t i = 0; i < accurate.size(); ++i) {
            const int difference = std::abs(int{accurate[i]} - int{other[i]});
            largest = std::max(largest, difference);
            squares += double(difference) * difference;
            beyondEight += difference > 8;
        }
        samples += accurate.size();
    }
    tjDestroy(decompressor);
    const double meanSquare = squares / static_cast<double>(samples);
    state.counters["largest_difference"] = largest;
    state.counters["beyond_8_levels_%"] = 100.0 * static_cast<double>(beyondEight) / static_cast<double>(samples);
    state.counters["psnr_dB"] =
        meanSquare == 0 ? std::numeric_limits<double>::infinity() : 10 * std::log10(255.0 * 255.0 / meanSquare);
}

void DecodeFootage(benchmark::State& state, const Footage& footage, int flags)
{
    tjhandle decompressor = tjInitDecompress();
    const int stride = (footage.Width * 3 + 3) / 4 * 4;
    std::vector<unsigned char> bgr(static_cast<std::size_t>(stride) * footage.Height);
    std::size_t next = 0;
    for (auto _ : state) {
        const Jpeg& jpeg = footage.Frames[next];
        next = (next + 1) % footage.Frames.size();
        tjDecompress2(decompressor, jpeg.data(), jpeg.size(), bgr.data(), footage.Width, stride, footage.Height,
                      TJPF_BGR, flags);
        benchmark::DoNotOptimize(bgr.data());
    }
    tjDestroy(decompressor);
    CompareWithAccurate(state, footage, flags);
}

// For comparison: the decode to YUV planes, without chroma upsampling or
// colour conversion, as a detector working on brightness alone needs it.
void DecodeToPlanes(benchmark::State& state, const Footage& footage)
{
    tjhandle decompressor = tjInitDecompress();
    std::vector<unsigned char> planes(
        tjBufSizeYUV2(footage.Width, 4, footage.Height, TJSAMP_420));  // cameras send 4:2:0
    std::size_t next = 0;
    for (auto _ : state) {
        const Jpeg& jpeg = footage.Frames[next];
        next = (next + 1) % footage.Frames.size();
        tjDecompressToYUV2(decompressor, jpeg.data(), jpeg.size(), planes.data(), footage.Width, 4, footage.Height, 0);
        benchmark::DoNotOptimize(planes.data());
    }
    tjDestroy(decompressor);
}

}  // namespace

int main(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    std::vector<std::filesystem::path> folders(argv + 1, argv + argc);
    std::filesystem::path made;
    if (folders.empty()) {
        made = std::filesystem::temp_directory_path() / ("qmd-footage-" + std::to_string(getpid()));
        for (const char* size : {"640 480", "1280 720", "1920 1080"}) {
            const std::filesystem::path folder = made / std::string(size).replace(std::string(size).find(' '), 1, "x");
            const std::string command = std::string(QMD_SOURCE_DIR "/bench/program/make_footage.sh ") + size +
                                        " 30 10 '" + folder.string() + "'";
            if (std::system(command.c_str()) != 0) return 1;
            folders.push_back(folder);
        }
    }
    for (const auto& folder : folders) AllFootage().push_back(ReadFootage(folder));
    struct Way {
        const char* Name;
        int Flags;
    };
    const Way ways[] = {
        {"accurate", 0},
        {"fast_upsampling", TJFLAG_FASTUPSAMPLE},
        {"fast_dct", TJFLAG_FASTDCT},
        {"fast_upsampling_and_dct", TJFLAG_FASTUPSAMPLE | TJFLAG_FASTDCT},
        {"ours", qmd::TurboJpegDecodeFlags()},
    };
    for (const Footage& footage : AllFootage()) {
        if (footage.Frames.empty()) continue;
        for (const Way& way : ways)
            benchmark::RegisterBenchmark(
                ("Decode/" + footage.Name + "/" + way.Name).c_str(),
                [&footage, flags = way.Flags](benchmark::State& state) { DecodeFootage(state, footage, flags); })
                ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(("Decode/" + footage.Name + "/yuv_planes_only").c_str(),
                                     [&footage](benchmark::State& state) { DecodeToPlanes(state, footage); })
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    if (!made.empty()) std::filesystem::remove_all(made);
    return 0;
}
