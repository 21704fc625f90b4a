// The MJPEG-over-HTTP response parser: the same parts come out however the
// bytes are cut into reads, for each way cameras frame their parts; a refused
// request, a stream of another kind and a peer that sends too much end in a
// failure that says why, with memory kept within the limits. The source
// element around it: the request it sends, the errors it posts, its images
// byte for byte, and a clean end when the camera closes.
#include <gtest/gtest.h>

#include <gst/app/gstappsink.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "capture/elements/jpeg_picture_size.h"
#include "capture/elements/mjpeg_http_source.h"
#include "capture/elements/multipart_jpeg_parser.h"
#include "capture/elements/register_elements.h"
#include "gst/handles.h"
#include "support/mjpeg_http_server.h"

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
        const std::size_t size =
            piece < pieces.size() ? std::min(pieces[piece++], stream.size() - at) : stream.size() - at;
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
        {"with Content-Length",
         Response("multipart/x-mixed-replace; boundary=frame", Part(kFirst, true) + Part(kSecond, true) + tail)},
        {"without Content-Length",
         Response("multipart/x-mixed-replace; boundary=frame", Part(kFirst, false) + Part(kSecond, false) + tail)},
        {"LF-only lines", "HTTP/1.1 200 OK\nContent-Type: multipart/x-mixed-replace;boundary=frame\n\n" +
                              Part(kFirst, false, "\n") + Part(kSecond, true, "\n") + tail},
        {"quoted boundary", Response("multipart/x-mixed-replace; charset=x; boundary=\"frame\"",
                                     Part(kFirst, false) + Part(kSecond, true) + tail)},
        {"boundary declared with its dashes",
         Response("multipart/x-mixed-replace; boundary=--frame", Part(kFirst, false) + Part(kSecond, false) + tail)},
        {"boundary lines without dashes",
         Response("multipart/x-mixed-replace; boundary=myboundary", Part(kFirst, false, "\r\n", "myboundary") +
                                                                        Part(kSecond, false, "\r\n", "myboundary") +
                                                                        "myboundary\r\n\r\n\xFF\xD8 cut")},
        {"preamble, odd header case and folded Content-Type",
         "HTTP/1.0 200 OK\r\ncontent-TYPE :  multipart/x-mixed-replace;\r\n\t boundary=frame \r\n\r\n"
         "This is a preamble\r\nwith --frames and frame- in it\r\n" +
             Part(kFirst, true) + Part(kSecond, false) + tail},
        {"parts without headers", Response("multipart/x-mixed-replace; boundary=frame",
                                           "--frame\r\n" + kFirst + "\r\n--frame\r\n" + kSecond + "\r\n" + tail)},
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
    EXPECT_EQ(
        Parse(Response("multipart/x-mixed-replace; boundary=frame", Part(lookalikes, false) + "--frame\r\n")).Parts,
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
    // A redirect says where it leads, not just "Found".
    for (const auto& [head, message] : std::vector<std::pair<std::string, std::string>>{
             {"HTTP/1.1 302 Found\r\nLocation: http://10.0.0.7/mjpeg\r\n",
              "The camera redirected the request to http://10.0.0.7/mjpeg (HTTP status 302 Found); redirects are not "
              "followed"},
             {"HTTP/1.0 301\r\n", "The camera redirected the request elsewhere, naming no address (HTTP status 301); "
                                    "redirects are not followed"}}) {
        MultipartJpegParser parser;
        EXPECT_EQ(Parse(parser, head + "Content-Type: text/html\r\n\r\n<html>").Last, Outcome::Failed) << head;
        EXPECT_EQ(parser.Error(), Failure::HttpStatus) << head;
        EXPECT_EQ(parser.Message(), message);
    }
    for (const std::string answer : {"SSH-2.0-OpenSSH\r\n", "HTTP/1.0 2x0 OK\r\n", "HTTP/1.0 2000 OK\r\n"}) {
        MultipartJpegParser parser;
        EXPECT_EQ(Parse(parser, answer).Last, Outcome::Failed) << answer;
        EXPECT_EQ(parser.Error(), Failure::Malformed) << answer;
    }
}

TEST(MultipartJpegParserTest, StreamOfAnotherKindIsNoMultipartStream)
{
    for (const std::string head :
         {"HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n", "HTTP/1.0 200 OK\r\nContent-Type: image/jpeg\r\n\r\n",
          "HTTP/1.0 200 OK\r\n\r\n", "HTTP/1.0 200 OK\r\nContent-Type: multipart/x-mixed-replace\r\n\r\n",
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
            while ((last = parser.Next()) == Outcome::Part) {}
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

// Answers one connection with a fixed response, then closes it.
class OneShotHttpServer {
public:
    explicit OneShotHttpServer(std::string response) : response_(std::move(response))
    {
        listener_ = ListenOnLoopback(0, false, port_);
        thread_ = std::thread([this] { Serve(); });
    }
    ~OneShotHttpServer()
    {
        if (thread_.joinable()) thread_.join();
        ::close(listener_);
    }
    OneShotHttpServer(const OneShotHttpServer&) = delete;
    OneShotHttpServer& operator=(const OneShotHttpServer&) = delete;

    std::string Url(const std::string& userInfo, const std::string& pathAndQuery) const
    {
        return "http://" + userInfo + "127.0.0.1:" + std::to_string(port_) + pathAndQuery;
    }
    int Port() const { return port_; }
    // What the client sent, once the exchange is over.
    const std::string& Request()
    {
        if (thread_.joinable()) thread_.join();
        return request_;
    }

private:
    void Serve()
    {
        pollfd waiting{listener_, POLLIN, 0};
        if (::poll(&waiting, 1, 20000) <= 0) return;
        const int client = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) return;
        char buffer[4096];
        pollfd reading{client, POLLIN, 0};
        while (request_.find("\r\n\r\n") == std::string::npos && ::poll(&reading, 1, 20000) > 0) {
            const ssize_t got = ::recv(client, buffer, sizeof buffer, 0);
            if (got <= 0) break;
            request_.append(buffer, static_cast<std::size_t>(got));
        }
        ::send(client, response_.data(), response_.size(), MSG_NOSIGNAL);
        ::close(client);
    }

    std::string response_;
    std::string request_;
    int listener_ = -1;
    std::uint16_t port_ = 0;
    std::thread thread_;
};

// The source into an appsink, played until it errs or ends.
class SourcePipeline {
public:
    explicit SourcePipeline(const std::string& location, const char* user = nullptr, const char* password = nullptr)
    {
        EXPECT_TRUE(RegisterOwnElements());
        pipeline_ = gst::NewPipeline();
        GstElement* source = gst_element_factory_make(kMjpegHttpSourceName, nullptr);
        sink_ = gst_element_factory_make("appsink", nullptr);
        g_object_set(source, "location", location.c_str(), nullptr);
        if (user) g_object_set(source, "user-id", user, "user-pw", password, nullptr);
        g_object_set(sink_, "sync", FALSE, nullptr);
        gst_bin_add_many(GST_BIN(pipeline_.get()), source, sink_, nullptr);
        gst_element_link(source, sink_);
        gst_element_set_state(pipeline_.get(), GST_STATE_PLAYING);
    }
    ~SourcePipeline() { gst_element_set_state(pipeline_.get(), GST_STATE_NULL); }
    SourcePipeline(const SourcePipeline&) = delete;
    SourcePipeline& operator=(const SourcePipeline&) = delete;

    // The images until the stream ends or fails (at most 20 s).
    std::vector<std::string> Images()
    {
        std::vector<std::string> images;
        while (gst::SampleHandle sample{gst_app_sink_try_pull_sample(GST_APP_SINK(sink_), 20 * GST_SECOND)}) {
            gst::MappedBuffer mapped(gst_sample_get_buffer(sample.get()), GST_MAP_READ);
            images.emplace_back(reinterpret_cast<const char*>(mapped.data()), mapped.size());
        }
        return images;
    }
    // The first error or end of stream on the bus.
    gst::MessageHandle End()
    {
        gst::BusHandle bus{gst_element_get_bus(pipeline_.get())};
        return gst::MessageHandle{gst_bus_timed_pop_filtered(bus.get(), 20 * GST_SECOND,
                                                             GstMessageType(GST_MESSAGE_ERROR | GST_MESSAGE_EOS))};
    }

private:
    gst::ElementHandle pipeline_;
    GstElement* sink_ = nullptr;
};

struct Reported {
    GQuark Domain = 0;
    int Code = 0;
    std::string Message;
};

Reported ErrorOf(const gst::MessageHandle& message)
{
    if (!message || GST_MESSAGE_TYPE(message.get()) != GST_MESSAGE_ERROR) return {};
    gst::ErrorHandle error;
    gst_message_parse_error(message.get(), error.out(), nullptr);
    return {error->domain, error->code, error->message};
}

TEST(MjpegHttpSourceTest, SendsAPlainRequestAndReportsTheRefusal)
{
    // With no user in the address there is nothing to answer the challenge with.
    OneShotHttpServer camera("HTTP/1.0 401 Unauthorized\r\nWWW-Authenticate: Basic realm=\"cam\"\r\n\r\n");
    SourcePipeline pipeline(camera.Url("", "/cgi-bin/mjpg?res=half&x=%20y"));
    const Reported error = ErrorOf(pipeline.End());
    EXPECT_EQ(error.Domain, GST_RESOURCE_ERROR);
    EXPECT_EQ(error.Code, GST_RESOURCE_ERROR_NOT_AUTHORIZED);
    EXPECT_EQ(error.Message, "Unauthorized");
    EXPECT_EQ(camera.Request(),
              "GET /cgi-bin/mjpg?res=half&x=%20y HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(camera.Port()) +
                  "\r\nUser-Agent: quisk-motion-detector\r\nConnection: close\r\n\r\n");
}

TEST(MjpegHttpSourceTest, GivesEachImageWhole)
{
    OneShotHttpServer camera(Response("multipart/x-mixed-replace; boundary=frame",
                                      Part(kFirst, true) + Part(kSecond, false) + "--frame--\r\n"));
    SourcePipeline pipeline(camera.Url("", "/video"));
    EXPECT_EQ(pipeline.Images(), (std::vector<std::string>{kFirst, kSecond}));
    const gst::MessageHandle end = pipeline.End();
    ASSERT_TRUE(end);
    EXPECT_EQ(GST_MESSAGE_TYPE(end.get()), GST_MESSAGE_EOS)
        << "a camera that closes ends the stream: " << ErrorOf(end).Message;
    EXPECT_EQ(camera.Request().substr(0, 21), "GET /video HTTP/1.0\r\n");
}

TEST(MjpegHttpSourceTest, ReportsAStreamOfAnotherKindAndAddressesItCannotRead)
{
    {
        OneShotHttpServer camera("HTTP/1.0 200 OK\r\nContent-Type: text/html\r\n\r\n<html></html>");
        SourcePipeline pipeline(camera.Url("", "/"));
        const Reported error = ErrorOf(pipeline.End());
        EXPECT_EQ(error.Domain, GST_STREAM_ERROR);
        EXPECT_EQ(error.Code, GST_STREAM_ERROR_WRONG_TYPE);
        EXPECT_NE(error.Message.find("not a multipart JPEG stream"), std::string::npos) << error.Message;
    }
    {
        OneShotHttpServer camera("HTTP/1.1 404 Not Found\r\n\r\n");
        SourcePipeline pipeline(camera.Url("", "/nie-ma"));
        const Reported error = ErrorOf(pipeline.End());
        EXPECT_EQ(error.Domain, GST_RESOURCE_ERROR);
        EXPECT_EQ(error.Code, GST_RESOURCE_ERROR_NOT_FOUND);
        EXPECT_EQ(error.Message, "Not Found");
    }
    for (const char* location : {"https://127.0.0.1/video", "ftp://127.0.0.1/video", "http:///video", "nonsense"}) {
        SourcePipeline pipeline(location);
        const Reported error = ErrorOf(pipeline.End());
        EXPECT_EQ(error.Domain, GST_RESOURCE_ERROR) << location;
        EXPECT_NE(error.Message.find("not an http:// address"), std::string::npos) << error.Message;
    }
}

TEST(MjpegHttpSourceTest, AnswersTheCameraWithItsUserIdAndUserPwProperties)
{
    const std::vector<std::uint8_t> image(kFirst.begin(), kFirst.end());
    MjpegHttpServer camera({image}, {.FramesPerSecond = 50,
                                     .FrameLimit = 2,
                                     .AuthScheme = "Digest",
                                     .User = "admin",
                                     .Password = "p@ss:w%rd"});
    {
        SourcePipeline pipeline(camera.Url(), "admin", "p@ss:w%rd");
        EXPECT_EQ(pipeline.Images(), (std::vector<std::string>{kFirst, kFirst}));
    }
    SourcePipeline refused(camera.Url(), "admin", "wrong");
    EXPECT_EQ(ErrorOf(refused.End()).Code, GST_RESOURCE_ERROR_NOT_AUTHORIZED);
}

}  // namespace
}  // namespace qmd::test

namespace qmd::test {
namespace {

// The size in a JPEG's frame header is found past the segments before it
// (JFIF, quantisation tables), whatever it declares; an image cut before it
// declares nothing, so that the decoder judges it.
TEST(DeclaredJpegSizeTest, ReadsTheFrameHeaderWithoutDecoding)
{
    for (const auto& [width, height] : {std::pair{320, 240}, {65500, 65500}, {8193, 16}, {1, 1}}) {
        const std::vector<std::uint8_t> jpeg = JpegDeclaringSize(width, height);
        const auto size = DeclaredJpegSize(jpeg);
        ASSERT_TRUE(size) << width << "x" << height;
        EXPECT_EQ(size->Width, width);
        EXPECT_EQ(size->Height, height);
        EXPECT_EQ(IsAcceptedJpegSize(width, height), width <= 320) << width << "x" << height;
        std::size_t header = 2;
        while (jpeg[header] != 0xFF || jpeg[header + 1] != 0xC0) ++header;
        EXPECT_FALSE(DeclaredJpegSize(std::span(jpeg).first(header + 6)));
    }
}

}  // namespace
}  // namespace qmd::test
