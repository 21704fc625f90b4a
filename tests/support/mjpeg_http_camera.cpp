// A network camera on the loopback interface for measurements and for the
// end-to-end tests: a still background with a moving ball (or, with
// --still-shade, one plain grey picture of that shade), encoded to JPEG once
// at start, or (with --frames-from) the JPEG files of a folder in the order of
// their names, served as an MJPEG-over-HTTP stream to any number of clients at
// a steady frame rate until SIGINT or SIGTERM. With --hostile-every N, every
// Nth image is instead a tiny JPEG declaring a picture of --hostile-side
// pixels a side (65500 unless told), as a hostile camera sends. The stream's address is the
// first line on stdout; SIGUSR1 writes how much was sent so far to stderr.
// With --auth, only a client that answers the Basic or Digest challenge with
// --user and --password gets the stream.
//
//   mjpeg_http_camera [--port N] [--width 640] [--height 480] [--fps 15] [--frames-in-loop 150]
//                     [--still-shade 0..255] [--frames-from DIR] [--hostile-every N] [--hostile-side 65500]
//                     [--auth Basic|Digest --user U --password P]
#include <signal.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/mjpeg_http_server.h"

namespace {

struct Settings {
    int Port = 0;
    int Width = 640;
    int Height = 480;
    double FramesPerSecond = 15;
    int FramesInLoop = 150;
    int StillShade = -1;     // -1: the moving ball
    std::string FramesFrom;  // a folder of JPEG files instead
    int HostileEvery = 0;    // 0: none
    int HostileSide = 65500;
    // "Basic" or "Digest": the stream only for the user and password.
    std::string Auth;
    std::string User;
    std::string Password;
};

[[noreturn]] void Usage(const char* program)
{
    std::fprintf(stderr,
                 "usage: %s [--port N] [--width 640] [--height 480] [--fps 15] [--frames-in-loop 150] "
                 "[--still-shade 0..255] [--frames-from DIR] [--hostile-every N] [--hostile-side 65500] "
                 "[--auth Basic|Digest --user U --password P]\n",
                 program);
    std::exit(2);
}

Settings ParseArguments(int argc, char** argv)
{
    Settings settings;
    for (int i = 1; i < argc; ++i) {
        const std::string option = argv[i];
        if (i + 1 >= argc) Usage(argv[0]);
        if (option == "--auth" || option == "--user" || option == "--password") {
            std::string& value = option == "--auth" ? settings.Auth
                                 : option == "--user" ? settings.User
                                                      : settings.Password;
            value = argv[++i];
            if (option == "--auth" && value != "Basic" && value != "Digest") Usage(argv[0]);
            continue;
        }
        if (option == "--frames-from") {
            settings.FramesFrom = argv[++i];
            continue;
        }
        char* end = nullptr;
        const char* text = argv[++i];
        const double value = std::strtod(text, &end);
        if (end == text || *end != '\0') Usage(argv[0]);
        if (option == "--port" && value >= 0 && value <= 65535)
            settings.Port = static_cast<int>(value);
        else if (option == "--width" && value >= 16 && value <= 8192)
            settings.Width = static_cast<int>(value);
        else if (option == "--height" && value >= 16 && value <= 8192)
            settings.Height = static_cast<int>(value);
        else if (option == "--fps" && value >= 0.5 && value <= 240)
            settings.FramesPerSecond = value;
        else if (option == "--frames-in-loop" && value >= 1 && value <= 10000)
            settings.FramesInLoop = static_cast<int>(value);
        else if (option == "--still-shade" && value >= 0 && value <= 255)
            settings.StillShade = static_cast<int>(value);
        else if (option == "--hostile-every" && value >= 1 && value <= 10000)
            settings.HostileEvery = static_cast<int>(value);
        else if (option == "--hostile-side" && value >= 1 && value <= 65535)
            settings.HostileSide = static_cast<int>(value);
        else
            Usage(argv[0]);
    }
    return settings;
}

// One frame of the loop: the ball goes once round an ellipse per loop, so the
// stream repeats without a jump.
std::vector<std::uint8_t> RenderFrame(const Settings& settings, int index)
{
    const int width = settings.Width, height = settings.Height;
    const int stride = (width * 3 + 3) / 4 * 4;
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(stride) * height);
    const double angle = 2 * M_PI * index / settings.FramesInLoop;
    const double radius = std::min(width, height) / 8.0;
    const double centreX = width / 2.0 + (width / 2.0 - radius - 2) * std::cos(angle);
    const double centreY = height / 2.0 + (height / 2.0 - radius - 2) * std::sin(angle);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* row = pixels.data() + static_cast<std::size_t>(y) * stride;
        for (int x = 0; x < width; ++x) {
            const double dx = x + 0.5 - centreX, dy = y + 0.5 - centreY;
            const bool ball = settings.StillShade < 0 && dx * dx + dy * dy <= radius * radius;
            if (settings.StillShade >= 0) {
                std::fill_n(row + x * 3, 3, static_cast<std::uint8_t>(settings.StillShade));
                continue;
            }
            // The test source's colours: each channel of the ball differs
            // from the background's by more than 105.
            row[x * 3 + 0] = ball ? 0xD8 : 0x40;
            row[x * 3 + 1] = ball ? 0xE0 : 0x38;
            row[x * 3 + 2] = ball ? 0xE8 : 0x30;
        }
    }
    return qmd::test::EncodeBgrJpeg(pixels.data(), width, height, stride, 85);
}

std::vector<std::vector<std::uint8_t>> ReadFrames(const std::string& folder)
{
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        if (entry.is_regular_file() && entry.path().extension() == ".jpg") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    std::vector<std::vector<std::uint8_t>> frames;
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        frames.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return frames;
}

}  // namespace

int main(int argc, char** argv)
{
    const Settings settings = ParseArguments(argc, argv);
    // Blocked before the server's thread starts, so that it inherits the
    // mask and the signals wait for sigwait below.
    sigset_t handledSignals;
    sigemptyset(&handledSignals);
    sigaddset(&handledSignals, SIGINT);
    sigaddset(&handledSignals, SIGTERM);
    sigaddset(&handledSignals, SIGUSR1);
    pthread_sigmask(SIG_BLOCK, &handledSignals, nullptr);

    try {
        std::vector<std::vector<std::uint8_t>> frames;
        if (!settings.FramesFrom.empty()) {
            frames = ReadFrames(settings.FramesFrom);
        } else {
            const int framesInLoop = settings.StillShade < 0 ? settings.FramesInLoop : 1;
            for (int i = 0; i < framesInLoop; ++i) frames.push_back(RenderFrame(settings, i));
        }
        if (settings.HostileEvery > 0) {
            const auto hostile = qmd::test::JpegDeclaringSize(settings.HostileSide, settings.HostileSide);
            const auto every = static_cast<std::size_t>(settings.HostileEvery);
            for (std::size_t i = every - 1; i < frames.size(); i += every)
                frames[i] = hostile;
        }
        std::size_t bytes = 0;
        for (const auto& frame : frames) bytes += frame.size();
        if (frames.empty()) throw std::runtime_error("no frame to send");
        const int framesInLoop = static_cast<int>(frames.size());
        qmd::test::MjpegHttpServerOptions options;
        options.FramesPerSecond = settings.FramesPerSecond;
        options.Port = static_cast<std::uint16_t>(settings.Port);
        options.AuthScheme = settings.Auth;
        options.User = settings.User;
        options.Password = settings.Password;
        qmd::test::MjpegHttpServer server(std::move(frames), options);
        std::printf("%s\n", server.Url().c_str());
        std::fflush(stdout);
        std::fprintf(stderr, "mjpeg_http_camera: %g frames/s, %d frames of %zu bytes on average\n",
                     settings.FramesPerSecond, framesInLoop, bytes / framesInLoop);

        int received = 0;
        while (sigwait(&handledSignals, &received) == 0 && received == SIGUSR1) {
            std::fprintf(stderr, "mjpeg_http_camera: so far %zu stream requests, %llu frames sent\n",
                         server.StreamRequests(), static_cast<unsigned long long>(server.FramesSent()));
        }
        server.Stop();
        std::fprintf(stderr, "mjpeg_http_camera: %s; %zu stream requests, %llu frames sent\n", strsignal(received),
                     server.StreamRequests(), static_cast<unsigned long long>(server.FramesSent()));
    } catch (const std::exception& error) {
        std::fprintf(stderr, "mjpeg_http_camera: %s\n", error.what());
        return 1;
    }
    return 0;
}
