// libFuzzer target: a random camera response, fed to the multipart JPEG
// parser whole and again in reads of random sizes. Neither may crash or read
// out of bounds; both give the same parts and the same end; memory stays
// within the limits. Every part's declared picture size is read as the
// camera source reads it, within the part's bytes.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "capture/elements/jpeg_picture_size.h"
#include "capture/elements/multipart_jpeg_parser.h"

namespace {

using qmd::MultipartJpegParser;

// Small limits, so that the fuzzer reaches them.
constexpr MultipartJpegParser::Limits kLimits{.HeaderLine = 64, .Headers = 256, .Part = 512};

struct Run {
    std::vector<std::string> Parts;
    bool Failed = false;
};

void Check(bool condition, const char* what)
{
    if (condition) return;
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}

Run Parse(const std::uint8_t* data, std::size_t size, const std::uint8_t* pieces, std::size_t pieceCount)
{
    MultipartJpegParser parser(kLimits);
    Run run;
    std::size_t at = 0;
    for (std::size_t piece = 0; at < size && !run.Failed; ++piece) {
        const std::size_t wanted = pieceCount == 0 ? size : pieces[piece % pieceCount] % 97 + 1u;
        const std::size_t length = std::min(wanted, size - at);
        parser.Feed(data + at, length);
        at += length;
        MultipartJpegParser::Outcome outcome;
        while ((outcome = parser.Next()) == MultipartJpegParser::Outcome::Part) {
            Check(!parser.Part().empty() && parser.Part().size() <= kLimits.Part, "part size");
            if (const auto declared = qmd::DeclaredJpegSize(parser.Part()))
                Check(declared->Width >= 0 && declared->Width <= 65535 && declared->Height >= 0 &&
                          declared->Height <= 65535,
                      "declared size");
            run.Parts.emplace_back(reinterpret_cast<const char*>(parser.Part().data()), parser.Part().size());
        }
        run.Failed = outcome == MultipartJpegParser::Outcome::Failed;
        if (pieceCount != 0) Check(parser.Pending() <= kLimits.Part + kLimits.HeaderLine + 300 + 97, "memory held");
    }
    if (run.Failed) Check(parser.Next() == MultipartJpegParser::Outcome::Failed, "failure is final");
    return run;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The first bytes choose the read sizes; the rest is the response.
    if (size < 8) return 0;
    const std::uint8_t* pieces = data;
    data += 8;
    size -= 8;
    const Run whole = Parse(data, size, nullptr, 0);
    const Run pieced = Parse(data, size, pieces, 8);
    Check(whole.Parts == pieced.Parts, "parts differ between whole and pieced reads");
    Check(whole.Failed == pieced.Failed, "failure differs between whole and pieced reads");
    return 0;
}
