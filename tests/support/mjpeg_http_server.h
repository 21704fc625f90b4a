#pragma once
// A network camera on the loopback interface: serves already-encoded JPEG
// frames as an MJPEG-over-HTTP stream (multipart/x-mixed-replace) at a steady
// frame rate to every client that asks for its path, from a thread of its
// own. Used by the tests of the http:// source and by the measuring tool.
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace qmd::test {

// Encodes a BGR picture (rows stride bytes apart) as a baseline JPEG with
// 4:2:0 chroma. Throws std::runtime_error when libjpeg-turbo refuses.
std::vector<std::uint8_t> EncodeBgrJpeg(const std::uint8_t* bgr, int width, int height, int stride, int quality = 85);

// A plain CMYK picture as a YCCK JPEG, as a few encoders send.
std::vector<std::uint8_t> EncodeCmykJpeg(int width, int height);

// A JPEG of a few hundred bytes whose frame header declares a picture of
// width x height (up to 65535 a side), as a hostile camera sends: its data
// is that of a 16x16 picture. Throws std::runtime_error when libjpeg-turbo
// refuses.
std::vector<std::uint8_t> JpegDeclaringSize(int width, int height);

// A listening TCP socket on 127.0.0.1 (close-on-exec; non-blocking if asked)
// at port, 0 for one the kernel chooses; boundPort receives the port. Throws
// std::runtime_error when the socket cannot be opened.
int ListenOnLoopback(std::uint16_t port, bool nonBlocking, std::uint16_t& boundPort);

struct MjpegHttpServerOptions {
    // The stream's path; any other path is answered with 404.
    std::string Path = "/video";
    double FramesPerSecond = 25.0;
    // After this many frames a connection is closed, as by a camera that goes
    // away (or, with CloseAtFrameLimit false, kept open without another
    // frame, as by a camera that hangs); 0 streams until the server stops.
    std::size_t FrameLimit = 0;
    bool CloseAtFrameLimit = true;
    // false: clients get the response headers but no frame until
    // SetSendingFrames(true) (a camera that is slow to deliver its first).
    bool SendingFrames = true;
    // true: the frames are a scene sent once, from the first request for
    // the stream on, and its last frame is sent from then on.
    bool SceneOnce = false;
    // 0: a port chosen by the kernel.
    std::uint16_t Port = 0;
    // "Basic" or "Digest": the stream only for requests that answer the
    // challenge (401) with User and Password, as a camera's web server checks
    // them; empty, for everyone.
    std::string AuthScheme{};
    std::string User{};
    std::string Password{};
    // Digest: "MD5" or "SHA-256", with qop=auth.
    std::string DigestAlgorithm = "MD5";
    // Digest: the first right answer is refused as stale, with a new nonce.
    bool StaleFirstAnswer = false;
};

class MjpegHttpServer {
public:
    // Listens on 127.0.0.1 before it returns; the frames are sent in turn,
    // over and over. Throws std::runtime_error when there is no frame or the
    // socket cannot be opened.
    explicit MjpegHttpServer(std::vector<std::vector<std::uint8_t>> jpegFrames, MjpegHttpServerOptions options = {});
    ~MjpegHttpServer();
    MjpegHttpServer(const MjpegHttpServer&) = delete;
    MjpegHttpServer& operator=(const MjpegHttpServer&) = delete;

    std::uint16_t Port() const { return port_; }
    // http://127.0.0.1:PORT/<path>
    std::string Url() const;
    std::string UrlOf(const std::string& path) const;

    void SetSendingFrames(bool sending) { sending_.store(sending); }

    // Closes every connection and ends the thread; returns within a fraction
    // of a second whatever the clients do. Called again, does nothing.
    void Stop();

    // Connections that asked for the stream's path, since the start.
    std::size_t StreamRequests() const { return streamRequests_.load(); }
    // Requests answered with 404.
    std::size_t NotFoundRequests() const { return notFoundRequests_.load(); }
    // Clients connected to the stream right now.
    std::size_t StreamingClients() const { return streamingClients_.load(); }
    // Requests refused with 401 (a challenge).
    std::size_t Challenges() const { return challenges_.load(); }
    // Frames written whole to some client (a frame sent to two clients counts twice).
    std::uint64_t FramesSent() const { return framesSent_.load(); }

private:
    struct Client;
    void Run();
    void AcceptClients();
    void ReadRequest(Client& client);
    bool Authorized(const std::string& request);
    std::string Challenge(bool stale) const;
    void QueueFrameToStreamingClients(std::size_t frameIndex);
    bool Flush(Client& client);

    std::vector<std::shared_ptr<const std::vector<std::uint8_t>>> parts_;
    std::shared_ptr<const std::vector<std::uint8_t>> streamHeader_;
    std::shared_ptr<const std::vector<std::uint8_t>> notFound_;
    std::shared_ptr<const std::vector<std::uint8_t>> badRequest_;
    MjpegHttpServerOptions options_;
    std::chrono::nanoseconds framePeriod_;
    int listenSocket_ = -1;
    int wakeRead_ = -1;
    int wakeWrite_ = -1;
    std::uint16_t port_ = 0;
    std::vector<std::unique_ptr<Client>> clients_;  // the server thread's only
    // The Digest nonce now valid; the server thread's only.
    std::string nonce_;
    std::size_t noncesIssued_ = 0;
    bool staleSent_ = false;

    std::atomic<bool> sending_{true};
    std::atomic<bool> stopping_{false};
    std::atomic<std::size_t> streamRequests_{0};
    std::atomic<std::size_t> notFoundRequests_{0};
    std::atomic<std::size_t> challenges_{0};
    std::atomic<std::size_t> streamingClients_{0};
    std::atomic<std::uint64_t> framesSent_{0};
    std::thread thread_;
};

}  // namespace qmd::test
