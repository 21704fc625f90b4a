#include "support/mjpeg_http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <glib.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <turbojpeg.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <map>
#include <stdexcept>
#include <utility>

namespace qmd::test {

namespace {

constexpr const char* kBoundary = "qmdframe";
// A request line with a few headers fits; a peer that sends more is no camera client.
constexpr std::size_t kMaxRequestBytes = 8192;
constexpr std::size_t kMaxClients = 32;
// The longest the thread sleeps in poll, so that it looks at the stop flag
// even if the wake-up byte were lost.
constexpr std::chrono::milliseconds kLongestPoll{50};

using Bytes = std::vector<std::uint8_t>;

std::shared_ptr<const Bytes> SharedBytes(const std::string& text)
{
    return std::make_shared<const Bytes>(text.begin(), text.end());
}

std::runtime_error SystemError(const std::string& what)
{
    return std::runtime_error(what + ": " + std::strerror(errno));
}

struct FileDescriptor {
    int fd = -1;
    ~FileDescriptor()
    {
        if (fd >= 0) ::close(fd);
    }
    int release() { return std::exchange(fd, -1); }
};

// "GET /video?x=1 HTTP/1.1" -> "/video?x=1"; empty for anything but a GET.
std::string RequestTarget(const std::string& request)
{
    const std::size_t lineEnd = request.find("\r\n");
    const std::string line = request.substr(0, lineEnd);
    if (!line.starts_with("GET ")) return {};
    const std::size_t targetEnd = line.find(' ', 4);
    if (targetEnd == std::string::npos) return {};
    return line.substr(4, targetEnd - 4);
}

std::string PathOf(std::string target)
{
    if (const std::size_t query = target.find('?'); query != std::string::npos) target.resize(query);
    return target;
}

// The value of the request's Authorization header; empty when it has none.
std::string AuthorizationOf(const std::string& request)
{
    std::size_t at = request.find("\r\n");
    while (at != std::string::npos && at + 2 < request.size()) {
        const std::size_t end = request.find("\r\n", at + 2);
        const std::string line = request.substr(at + 2, end - at - 2);
        if (line.size() > 14 && g_ascii_strncasecmp(line.c_str(), "Authorization:", 14) == 0) {
            const std::size_t value = line.find_first_not_of(' ', 14);
            return value == std::string::npos ? std::string() : line.substr(value);
        }
        at = end;
    }
    return {};
}

// The name="value" or name=value pairs after "Digest ".
std::map<std::string, std::string> DigestFields(const std::string& answer)
{
    std::map<std::string, std::string> fields;
    std::size_t at = 7;
    while (at < answer.size()) {
        while (at < answer.size() && (answer[at] == ' ' || answer[at] == ',')) ++at;
        const std::size_t equals = answer.find('=', at);
        if (equals == std::string::npos) break;
        const std::string name = answer.substr(at, equals - at);
        std::string value;
        at = equals + 1;
        if (at < answer.size() && answer[at] == '"') {
            for (++at; at < answer.size() && answer[at] != '"'; ++at) {
                if (answer[at] == '\\') ++at;
                if (at < answer.size()) value += answer[at];
            }
            ++at;
        } else {
            const std::size_t end = std::min(answer.find(',', at), answer.size());
            value = answer.substr(at, end - at);
            at = end;
        }
        fields[name] = value;
    }
    return fields;
}

std::string Hex(GChecksumType type, const std::string& text)
{
    gchar* hex = g_compute_checksum_for_string(type, text.data(), static_cast<gssize>(text.size()));
    std::string result = hex;
    g_free(hex);
    return result;
}

}  // namespace

namespace {

Bytes CompressJpeg(const std::uint8_t* pixels, int width, int height, int stride, int pixelFormat, int subsampling,
                   int quality)
{
    struct CompressorDeleter {
        void operator()(void* handle) const { tjDestroy(handle); }
    };
    std::unique_ptr<void, CompressorDeleter> compressor{tjInitCompress()};
    if (!compressor) throw std::runtime_error("tjInitCompress failed");
    unsigned char* encoded = nullptr;
    unsigned long size = 0;
    if (tjCompress2(compressor.get(), pixels, width, stride, height, pixelFormat, &encoded, &size, subsampling, quality,
                    0) != 0) {
        if (encoded) tjFree(encoded);
        throw std::runtime_error(std::string("tjCompress2: ") + tjGetErrorStr2(compressor.get()));
    }
    Bytes jpeg(encoded, encoded + size);
    tjFree(encoded);
    return jpeg;
}

}  // namespace

std::vector<std::uint8_t> EncodeBgrJpeg(const std::uint8_t* bgr, int width, int height, int stride, int quality)
{
    return CompressJpeg(bgr, width, height, stride, TJPF_BGR, TJSAMP_420, quality);
}

std::vector<std::uint8_t> EncodeCmykJpeg(int width, int height)
{
    const Bytes cmyk(static_cast<std::size_t>(width) * height * 4, 0x40);
    return CompressJpeg(cmyk.data(), width, height, width * 4, TJPF_CMYK, TJSAMP_444, 85);
}

std::vector<std::uint8_t> JpegDeclaringSize(int width, int height)
{
    constexpr int kSide = 16;
    const std::vector<std::uint8_t> pixels(kSide * kSide * 3, 0x80);
    std::vector<std::uint8_t> jpeg = EncodeBgrJpeg(pixels.data(), kSide, kSide, kSide * 3);
    for (std::size_t i = 2; i + 9 <= jpeg.size(); ++i) {
        if (jpeg[i] != 0xFF || jpeg[i + 1] != 0xC0) continue;
        // Marker, length, precision, then height and width.
        jpeg[i + 5] = static_cast<std::uint8_t>(height >> 8);
        jpeg[i + 6] = static_cast<std::uint8_t>(height);
        jpeg[i + 7] = static_cast<std::uint8_t>(width >> 8);
        jpeg[i + 8] = static_cast<std::uint8_t>(width);
        return jpeg;
    }
    throw std::runtime_error("no baseline frame header in the encoded JPEG");
}

struct MjpegHttpServer::Client {
    enum class Phase { ReadingRequest, Streaming, Closing };
    struct Chunk {
        std::shared_ptr<const Bytes> Data;
        bool IsFrame = false;
    };

    explicit Client(int socket) : Socket(socket) {}
    ~Client() { ::close(Socket); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    int Socket;
    Phase State = Phase::ReadingRequest;
    std::string Request;
    std::deque<Chunk> Outgoing;
    std::size_t Offset = 0;  // into Outgoing.front()
    std::size_t FramesQueued = 0;
    bool Gone = false;
};

int ListenOnLoopback(std::uint16_t port, bool nonBlocking, std::uint16_t& boundPort)
{
    FileDescriptor listener{::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | (nonBlocking ? SOCK_NONBLOCK : 0), 0)};
    if (listener.fd < 0) throw SystemError("socket");
    const int yes = 1;
    ::setsockopt(listener.fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    if (::bind(listener.fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) throw SystemError("bind");
    if (::listen(listener.fd, 16) != 0) throw SystemError("listen");
    socklen_t length = sizeof address;
    if (::getsockname(listener.fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw SystemError("getsockname");
    boundPort = ntohs(address.sin_port);
    return listener.release();
}

MjpegHttpServer::MjpegHttpServer(std::vector<std::vector<std::uint8_t>> jpegFrames, MjpegHttpServerOptions options)
    : options_(std::move(options)), framePeriod_(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                        std::chrono::duration<double>(1.0 / std::max(options_.FramesPerSecond, 0.1)))),
      sending_(options_.SendingFrames)
{
    if (jpegFrames.empty()) throw std::runtime_error("MjpegHttpServer needs at least one frame");
    for (const auto& jpeg : jpegFrames) {
        const std::string header = std::string("--") + kBoundary +
                                   "\r\nContent-Type: image/jpeg\r\nContent-Length: " + std::to_string(jpeg.size()) +
                                   "\r\n\r\n";
        auto part = std::make_shared<Bytes>(header.begin(), header.end());
        part->insert(part->end(), jpeg.begin(), jpeg.end());
        part->push_back('\r');
        part->push_back('\n');
        parts_.push_back(std::move(part));
    }
    streamHeader_ = SharedBytes(std::string("HTTP/1.0 200 OK\r\n"
                                            "Content-Type: multipart/x-mixed-replace; boundary=") +
                                kBoundary +
                                "\r\n"
                                "Cache-Control: no-cache, no-store\r\n"
                                "Pragma: no-cache\r\n"
                                "Connection: close\r\n\r\n");
    notFound_ = SharedBytes("HTTP/1.0 404 Not Found\r\nContent-Type: text/plain\r\nContent-Length: 10\r\n"
                            "Connection: close\r\n\r\nNot found\n");
    badRequest_ = SharedBytes("HTTP/1.0 400 Bad Request\r\nContent-Type: text/plain\r\nContent-Length: 12\r\n"
                              "Connection: close\r\n\r\nBad request\n");

    FileDescriptor listener{ListenOnLoopback(options_.Port, true, port_)};

    int wake[2];
    if (::pipe2(wake, O_NONBLOCK | O_CLOEXEC) != 0) throw SystemError("pipe2");
    listenSocket_ = listener.release();
    wakeRead_ = wake[0];
    wakeWrite_ = wake[1];
    thread_ = std::thread([this] { Run(); });
}

MjpegHttpServer::~MjpegHttpServer() { Stop(); }

std::string MjpegHttpServer::Url() const { return UrlOf(options_.Path); }

std::string MjpegHttpServer::UrlOf(const std::string& path) const
{
    return "http://127.0.0.1:" + std::to_string(port_) + path;
}

void MjpegHttpServer::Stop()
{
    if (!thread_.joinable()) return;
    stopping_.store(true);
    const char wake = 'x';
    [[maybe_unused]] const auto written = ::write(wakeWrite_, &wake, 1);
    thread_.join();
    for (int* fd : {&listenSocket_, &wakeRead_, &wakeWrite_}) {
        ::close(*fd);
        *fd = -1;
    }
}

void MjpegHttpServer::Run()
{
    using Clock = std::chrono::steady_clock;
    auto nextFrame = Clock::now();
    std::size_t tick = 0;
    std::vector<pollfd> polled;
    while (!stopping_.load()) {
        const auto now = Clock::now();
        if (now >= nextFrame) {
            if (!options_.SceneOnce) {
                if (sending_.load()) QueueFrameToStreamingClients(tick % parts_.size());
                ++tick;
            } else if (streamRequests_.load() > 0) {
                if (sending_.load()) QueueFrameToStreamingClients(std::min(tick, parts_.size() - 1));
                ++tick;
            }
            nextFrame += framePeriod_;
            // Fallen far behind (a stopped debugger, a loaded machine): a
            // camera skips frames rather than sending a burst.
            if (nextFrame < now) nextFrame = now + framePeriod_;
        }

        for (auto& client : clients_)
            if (!client->Gone && !client->Outgoing.empty()) client->Gone = !Flush(*client);
        std::erase_if(clients_, [this](const std::unique_ptr<Client>& client) {
            const bool finished = client->Gone || (client->State == Client::Phase::Closing && client->Outgoing.empty());
            if (finished && client->State == Client::Phase::Streaming) --streamingClients_;
            return finished;
        });

        polled.clear();
        polled.push_back({wakeRead_, POLLIN, 0});
        polled.push_back({listenSocket_, POLLIN, 0});
        for (const auto& client : clients_) {
            short events = POLLIN;
            if (!client->Outgoing.empty()) events |= POLLOUT;
            polled.push_back({client->Socket, events, 0});
        }
        const auto untilFrame = std::chrono::ceil<std::chrono::milliseconds>(nextFrame - Clock::now());
        const int timeout =
            static_cast<int>(std::clamp(untilFrame, std::chrono::milliseconds(0), kLongestPoll).count());
        if (::poll(polled.data(), polled.size(), timeout) < 0 && errno != EINTR) break;

        if (polled[0].revents & POLLIN) {
            char drained[16];
            while (::read(wakeRead_, drained, sizeof drained) > 0) {}
        }
        if (polled[1].revents & POLLIN) AcceptClients();
        // clients_ may have grown in AcceptClients; only the polled ones are looked at.
        for (std::size_t i = 2; i < polled.size(); ++i) {
            Client& client = *clients_[i - 2];
            const short events = polled[i].revents;
            if (events & (POLLIN | POLLHUP | POLLERR)) ReadRequest(client);
            if (!client.Gone && (events & POLLOUT)) client.Gone = !Flush(client);
        }
    }
    clients_.clear();
    streamingClients_.store(0);
}

void MjpegHttpServer::AcceptClients()
{
    for (;;) {
        const int socket = ::accept4(listenSocket_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (socket < 0) {
            if (errno == EINTR) continue;
            return;  // EAGAIN, or a connection that went before it was taken
        }
        if (clients_.size() >= kMaxClients) {
            ::close(socket);
            continue;
        }
        const int yes = 1;
        ::setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
        clients_.push_back(std::make_unique<Client>(socket));
    }
}

void MjpegHttpServer::ReadRequest(Client& client)
{
    char buffer[2048];
    for (;;) {
        const ssize_t received = ::recv(client.Socket, buffer, sizeof buffer, MSG_DONTWAIT);
        if (received == 0) {
            client.Gone = true;  // the client went away
            return;
        }
        if (received < 0) {
            if (errno == EINTR) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) client.Gone = true;
            return;
        }
        // What a streaming client sends after its request is of no interest.
        if (client.State != Client::Phase::ReadingRequest) continue;
        client.Request.append(buffer, static_cast<std::size_t>(received));
        if (client.Request.find("\r\n\r\n") != std::string::npos) {
            const std::string request = std::exchange(client.Request, {});
            const std::string path = PathOf(RequestTarget(request));
            if (path.empty()) {
                client.Outgoing.push_back({badRequest_, false});
                client.State = Client::Phase::Closing;
            } else if (path == options_.Path && !Authorized(request)) {
                if (options_.AuthScheme == "Digest" && (nonce_.empty() || staleSent_))
                    nonce_ = "qmd-nonce-" + std::to_string(++noncesIssued_);
                client.Outgoing.push_back({SharedBytes(Challenge(staleSent_)), false});
                client.State = Client::Phase::Closing;
                ++challenges_;
            } else if (path == options_.Path) {
                client.Outgoing.push_back({streamHeader_, false});
                client.State = Client::Phase::Streaming;
                ++streamingClients_;
                ++streamRequests_;
            } else {
                client.Outgoing.push_back({notFound_, false});
                client.State = Client::Phase::Closing;
                ++notFoundRequests_;
            }
        } else if (client.Request.size() > kMaxRequestBytes) {
            client.Outgoing.push_back({badRequest_, false});
            client.State = Client::Phase::Closing;
        }
    }
}

// Checks the answer as a camera would, computing the response it expects
// from the credentials it knows. A right Digest answer may be refused once
// as stale (Challenge then sends the new nonce with stale=true).
bool MjpegHttpServer::Authorized(const std::string& request)
{
    if (options_.AuthScheme.empty()) return true;
    const std::string answer = AuthorizationOf(request);
    staleSent_ = false;
    if (options_.AuthScheme == "Basic") {
        const std::string pair = options_.User + ":" + options_.Password;
        gchar* encoded = g_base64_encode(reinterpret_cast<const guchar*>(pair.data()), pair.size());
        const bool right = answer == std::string("Basic ") + encoded;
        g_free(encoded);
        return right;
    }
    if (!answer.starts_with("Digest ") || nonce_.empty()) return false;
    auto fields = DigestFields(answer);
    const GChecksumType type = options_.DigestAlgorithm == "SHA-256" ? G_CHECKSUM_SHA256 : G_CHECKSUM_MD5;
    const std::string known = Hex(type, options_.User + ":qmd-camera:" + options_.Password);
    const std::string method = Hex(type, "GET:" + RequestTarget(request));
    const std::string expected =
        Hex(type, known + ":" + nonce_ + ":" + fields["nc"] + ":" + fields["cnonce"] + ":auth:" + method);
    const bool right = fields["username"] == options_.User && fields["realm"] == "qmd-camera" &&
                       fields["nonce"] == nonce_ && fields["uri"] == RequestTarget(request) &&
                       fields["qop"] == "auth" && fields["nc"].size() == 8 && !fields["cnonce"].empty() &&
                       fields["opaque"] == "qmd-opaque" && fields["response"] == expected;
    if (right && options_.StaleFirstAnswer && noncesIssued_ == 1) {
        staleSent_ = true;
        return false;
    }
    return right;
}

std::string MjpegHttpServer::Challenge(bool stale) const
{
    return "HTTP/1.0 401 Unauthorized\r\nWWW-Authenticate: " + options_.AuthScheme + " realm=\"qmd-camera\"" +
           (options_.AuthScheme == "Digest" ? ", qop=\"auth\", algorithm=" + options_.DigestAlgorithm + ", nonce=\"" +
                                                  nonce_ + "\", opaque=\"qmd-opaque\"" + (stale ? ", stale=true" : "")
                                            : std::string()) +
           "\r\nContent-Type: text/plain\r\nContent-Length: 13\r\nConnection: close\r\n\r\nUnauthorized\n";
}

void MjpegHttpServer::QueueFrameToStreamingClients(std::size_t frameIndex)
{
    for (auto& client : clients_) {
        if (client->State != Client::Phase::Streaming || client->Gone) continue;
        if (options_.FrameLimit != 0 && client->FramesQueued >= options_.FrameLimit) continue;  // hung
        // A client that has not taken the previous frame yet misses this one,
        // so a slow reader never makes the server hold more than a frame for it.
        if (client->Outgoing.size() >= 2) continue;
        client->Outgoing.push_back({parts_[frameIndex], true});
        ++client->FramesQueued;
        if (options_.FrameLimit != 0 && client->FramesQueued >= options_.FrameLimit && options_.CloseAtFrameLimit) {
            // The camera goes away once this frame is out.
            --streamingClients_;
            client->State = Client::Phase::Closing;
        }
    }
}

bool MjpegHttpServer::Flush(Client& client)
{
    while (!client.Outgoing.empty()) {
        const Bytes& data = *client.Outgoing.front().Data;
        const ssize_t sent = ::send(client.Socket, data.data() + client.Offset, data.size() - client.Offset,
                                    MSG_NOSIGNAL | MSG_DONTWAIT);
        if (sent < 0) {
            if (errno == EINTR) continue;
            return errno == EAGAIN || errno == EWOULDBLOCK;
        }
        client.Offset += static_cast<std::size_t>(sent);
        if (client.Offset < data.size()) continue;
        if (client.Outgoing.front().IsFrame) ++framesSent_;
        client.Outgoing.pop_front();
        client.Offset = 0;
    }
    return true;
}

}  // namespace qmd::test
