// The MJPEG-over-HTTP response parser: the same parts come out however the
// bytes are cut into reads, for each way cameras frame their parts; a refused
// request, a stream of another kind and a peer that sends too much end in a
// failure that says why, with memory kept within the limits.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "capture/core/multipart_jpeg_parser.h"

namespace qmd::test {
namespace {

using Outcome = MultipartJpegParser::Outcome;
using Failure = MultipartJpegParser::Failure;

template <std::size_t N>
std::string Bytes(const char (&text)[N])
{
    return std::string(text, N - 1);
}

// JPEG-like bodies: binary, with line breaks, dashes and zeros inside.
const std::string kFirst = Bytes("\xFF\xD8\xFF\xE0 first\r\n--\n\0\x01-\xFF\xD9");
const std::string kSecond = Bytes("\xFF\xD8 second image, a little longer\n\r\n\0\0\xFF\xD9");

struct Result {
    std::vector<std::string> Parts;
    Outcome Last = Outcome::NeedMore;
};

// Feeds the stream in pieces of the given sizes (the rest in one piece),
// taking every part that is complete after each.
Result Parse(MultipartJpegParser& parser, const std::string& stream, const std::vector<std::size_t>& pieces = {})
{
    Result result;
    std::size_t at = 0;
    std::size_t piece = 0;
    while (at < stream.size() && result.Last != Outcome::Failed) {
        const std::size_t size = piece < pieces.size() ? std::min(pieces[piece++], stream.size() - at) : stream.size() - at;
        parser.Feed(reinterpret_cast<const std::uint8_t*>(stream.data()) + at, size);
        at += size;
        while ((result.Last = parser.Next()) == Outcome::Part)
            result.Parts.emplace_back(reinterpret_cast<const char*>(parser.Part().data()), parser.Part().size());
    }
    return result;
}

Result Parse(const std::string& stream, const std::vector<std::size_t>& pieces = {})
{
    MultipartJpegParser parser;
    return Parse(parser, stream, pieces);
}

std::string Response(const std::string& contentType, const std::string& body)
{
    return "HTTP/1.0 200 OK\r\nServer: camera\r\nContent-Type: " + contentType + "\r\n\r\n" + body;
}

std::string Part(const std::string& body, bool withLength, const char* lineBreak = "\r\n",
                 const std::string& delimiter = "--frame")
{
    std::string part = delimiter + lineBreak + "Content-Type: image/jpeg" + lineBreak;
    if (withLength) part += "Content-Length: " + std::to_string(body.size()) + lineBreak;
    return part + lineBreak + body + lineBreak;
}

struct Framing {
    const char* Name;
    std::string Stream;
};

// Each ends after the second part with the start of a third, which must
// not come out: the stream is cut mid-part.
std::vector<Framing> Framings()
{
    const std::string tail = "--frame\r\nContent-Type: image/jpeg\r\n\r\n\xFF\xD8 cut";
    return {
        {"with Content-Length", Response("multipart/x-mixed-replace; boundary=frame",
                                         Part(kFirst, true) + Part(kSecond, true) + tail)},
        {"without Content-Length", Response("multipart/x-mixed-replace; boundary=frame",
                                            Part(kFirst, false) + Part(kSecond, false) + tail)},
        {"LF-only lines",
         "HTTP/1.1 200 OK\nContent-Type: multipart/x-mixed-replace;boundary=frame\n\n" + Part(kFirst, false, "\n") +
             Part(kSecond, true, "\n") + tail},
        {"quoted boundary", Response("multipart/x-mixed-replace; charset=x; boundary=\"frame\"",
                                     Part(kFirst, false) + Part(kSecond, true) + tail)},
        {"boundary declared with its dashes", Response("multipart/x-mixed-replace; boundary=--frame",
                                                       Part(kFirst, false) + Part(kSecond, false) + tail)},
        {"boundary lines without dashes", Response("multipart/x-mixed-replace; boundary=myboundary",
                                                   Part(kFirst, false, "\r\n", "myboundary") +
                                                       Part(kSecond, false, "\r\n", "myboundary") + "myboundary\r\n\r\n\xFF\xD8 cut")},
        {"preamble, odd header case and folded Content-Type",
         "HTTP/1.0 200 OK\r\ncontent-TYPE :  multipart/x-mixed-replace;\r\n\t boundary=frame \r\n\r\n"
         "This is a preamble\r\nwith --frames and frame- in it\r\n" +
             Part(kFirst, true) + Part(kSecond, false) + tail},
        {"empty part and closing delimiter with epilogue",
         Response("multipart/x-mixed-replace; boundary=frame",
                  Part("", true) + Part(kFirst, true) + "--frame--\r\nepilogue\r\n" + Part(kSecond, false) + tail)},
    };
}

TEST(MultipartJpegParserTest, SamePartsHoweverTheStreamIsCutIntoReads)
{
    const std::vector<std::string> expected = {kFirst, kSecond};
    std::mt19937 random(20261208);
    for (const auto& framing : Framings()) {
        SCOPED_TRACE(framing.Name);
        const std::string& stream = framing.Stream;
        MultipartJpegParser whole;
        const Result once = Parse(whole, stream);
        EXPECT_EQ(once.Parts, expected);
        EXPECT_EQ(once.Last, Outcome::NeedMore);
        EXPECT_GT(whole.Pending(), 0u) << "the cut third part is held back";

        EXPECT_EQ(Parse(stream, std::vector<std::size_t>(stream.size(), 1)).Parts, expected) << "byte by byte";
        for (std::size_t split = 1; split < stream.size(); ++split)
            ASSERT_EQ(Parse(stream, {split}).Parts, expected) << "split at " << split;
        for (int round = 0; round < 50; ++round) {
            std::vector<std::size_t> pieces;
            for (std::size_t total = 0; total < stream.size(); total += pieces.back())
                pieces.push_back(std::uniform_int_distribution<std::size_t>(1, 40)(random));
            ASSERT_EQ(Parse(stream, pieces).Parts, expected) << "round " << round;
        }
    }
}

TEST(MultipartJpegParserTest, BodyIsTakenByItsLengthOrUpToARealBoundaryLine)
{
    // With Content-Length, a boundary line inside the image is image data.
    const std::string inside = "\xFF\xD8\r\n--frame\r\n\r\nstill the image\xFF\xD9";
    EXPECT_EQ(Parse(Response("multipart/x-mixed-replace; boundary=frame", Part(inside, true) + "--frame\r\n")).Parts,
              std::vector<std::string>{inside});

    // Without it, the boundary's text counts only as a line of its own.
    const std::string lookalikes = "\xFF\xD8 x--frame\r\n--frameX\r\n--frame more\r\n\xFF\xD9";
    EXPECT_EQ(Parse(Response("multipart/x-mixed-replace; boundary=frame", Part(lookalikes, false) + "--frame\r\n")).Parts,
              std::vector<std::string>{lookalikes});
}

TEST(MultipartJpegParserTest, RefusedRequestFailsWithTheStatusAndTheServersReason)
{
    const struct {
        std::string StatusLine;
        int Status;
        std::string Message;
    } cases[] = {
        {"HTTP/1.1 404 Not Found", 404, "Not Found"},
        {"HTTP/1.0 401 Unauthorized", 401, "Unauthorized"},
        {"HTTP/1.0 403  Forbidden ", 403, "Forbidden"},
        {"HTTP/1.1 500 Internal Server Error", 500, "Internal Server Error"},
        {"HTTP/1.1 503", 503, "HTTP status 503"},
    };
    for (const auto& refusal : cases) {
        MultipartJpegParser parser;
        const Result result = Parse(parser, refusal.StatusLine + "\r\nContent-Type: text/html\r\n\r\n<html>");
        EXPECT_EQ(result.Last, Outcome::Failed) << refusal.StatusLine;
        EXPECT_EQ(parser.Error(), Failure::HttpStatus) << refusal.StatusLine;
        EXPECT_EQ(parser.Status(), refusal.Status) << refusal.StatusLine;
        EXPECT_EQ(parser.Message(), refusal.Message) << refusal.StatusLine;
        EXPECT_EQ(parser.Next(), Outcome::Failed) << "a failure is final";
    }
    for (const std::string answer : {"SSH-2.0-OpenSSH\r\n", "HTTP/1.0 2x0 OK\r\n", "HTTP/1.0 2000 OK\r\n"}) {
        MultipartJpegParser parser;
        EXPECT_EQ(Parse(parser, answer).Last, Outcome::Failed) << answer;
        EXPECT_EQ(parser.Error(), Failure::Malformed) << answer;
    }
}

TEST(MultipartJpegParserTest, StreamOfAnotherKindIsNoMultipartStream)
{
    for (const std::string head : {"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n",
                                   "HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\n\r\n",
                                   "HTTP/1.0 200 OK\r\n\r\n",
                                   "HTTP/1.0 200 OK\r\nContent-Type: multipart/x-mixed-replace\r\n\r\n",
                                   "HTTP/1.0 200 OK\r\nContent-Type: multipart/x-mixed-replace; boundary=\"\"\r\n\r\n"}) {
        MultipartJpegParser parser;
        const Result result = Parse(parser, head + "\xFF\xD8\xFF\xD9");
        EXPECT_EQ(result.Last, Outcome::Failed) << head;
        EXPECT_EQ(parser.Error(), Failure::NotMultipart) << head;
        EXPECT_NE(parser.Message().find("multipart"), std::string::npos) << parser.Message();
    }
    MultipartJpegParser parser;
    Parse(parser, "HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n");
    EXPECT_EQ(parser.Message(), "The stream is not a multipart JPEG stream (Content-Type: text/html)");
}

TEST(MultipartJpegParserTest, PeerThatSendsTooMuchFailsWithinTheLimits)
{
    const MultipartJpegParser::Limits limits{.HeaderLine = 100, .Headers = 400, .Part = 1000};
    const std::string head = Response("multipart/x-mixed-replace; boundary=frame", "");
    const auto fails = [&](const std::string& stream, std::size_t piece) {
        MultipartJpegParser parser(limits);
        std::size_t mostPending = 0;
        Outcome last = Outcome::NeedMore;
        for (std::size_t at = 0; at < stream.size() && last != Outcome::Failed; at += piece) {
            parser.Feed(reinterpret_cast<const std::uint8_t*>(stream.data()) + at, std::min(piece, stream.size() - at));
            while ((last = parser.Next()) == Outcome::Part) {
            }
            mostPending = std::max(mostPending, parser.Pending());
        }
        EXPECT_LE(mostPending, limits.Part + limits.HeaderLine + 64 + piece) << "memory held";
        return last == Outcome::Failed && parser.Error() == Failure::TooLarge;
    };
    EXPECT_TRUE(fails("HTTP/1.0 200 OK\r\nX-Long: " + std::string(200, 'a') + "\r\n\r\n", 7)) << "header line";
    EXPECT_TRUE(fails("HTTP/1.0 200 OK\r\n" + std::string(200, 'a'), 7)) << "header line without its end";
    std::string manyHeaders = "HTTP/1.0 200 OK\r\n";
    for (int i = 0; i < 40; ++i) manyHeaders += "X-Header: value\r\n";
    EXPECT_TRUE(fails(manyHeaders, 50)) << "headers";
    EXPECT_TRUE(fails(head + "--frame\r\nContent-Length: 1001\r\n\r\n", 50)) << "announced part";
    EXPECT_TRUE(fails(head + "--frame\r\nContent-Length: 99999999999999999999999\r\n\r\n", 50)) << "huge length";
    EXPECT_TRUE(fails(head + "--frame\r\n\r\n" + std::string(5000, '\xAB'), 64)) << "part without an end";
    std::string partHeaders = head + "--frame\r\n";
    for (int i = 0; i < 40; ++i) partHeaders += "X-Part: value\r\n";
    EXPECT_TRUE(fails(partHeaders, 50)) << "part headers";
    EXPECT_TRUE(fails(head + "--frame\r\nX-Long: " + std::string(200, 'b') + "\r\n", 50)) << "part header line";

    // Noise with no boundary is dropped as it comes, not kept.
    MultipartJpegParser parser(limits);
    Parse(parser, head);
    const std::string noise(4096, 'n');
    for (int i = 0; i < 256; ++i) {
        parser.Feed(reinterpret_cast<const std::uint8_t*>(noise.data()), noise.size());
        ASSERT_EQ(parser.Next(), Outcome::NeedMore);
        ASSERT_LE(parser.Pending(), 16u);
    }
    const std::string part = "\r\n" + Part(kFirst, false) + "--frame\r\n";
    EXPECT_EQ(Parse(parser, part).Parts, std::vector<std::string>{kFirst}) << "still finds the next part";
}

}  // namespace
}  // namespace qmd::test
