#pragma once
// Splits the response of an MJPEG-over-HTTP camera (an HTTP status line and
// headers, then a multipart/x-mixed-replace body of JPEG parts) into its
// parts, as the bytes arrive. Knows nothing of sockets or GStreamer, so any
// input can be tried on it.
//
// The bytes are read straight into the parser's own buffer (WritableSpace,
// then Commit), so that a part is copied once only: by whoever takes it from
// the span that Next gives. Memory stays bounded by the limits whatever the
// peer sends.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace qmd {

class MultipartJpegParser {
public:
    struct Limits {
        std::size_t HeaderLine = 8 * 1024;
        std::size_t Headers = 64 * 1024;
        std::size_t Part = 16 * 1024 * 1024;
    };

    enum class Failure {
        None,
        HttpStatus,    // a status other than 200; Status() and Message() tell which
        NotMultipart,  // the response is no multipart stream with a boundary
        Malformed,     // no HTTP response, or a part with broken headers
        TooLarge,      // a line, the headers or a part beyond the limits
    };

    enum class Outcome { NeedMore, Part, Failed };

    MultipartJpegParser() : MultipartJpegParser(Limits{}) {}
    explicit MultipartJpegParser(Limits limits);

    // Room for at least `wanted` more bytes after those already given.
    // Invalidates the span of the last part.
    std::span<std::uint8_t> WritableSpace(std::size_t wanted);
    // `count` bytes of the space were filled.
    void Commit(std::size_t count);
    // WritableSpace, copy and Commit in one.
    void Feed(const std::uint8_t* data, std::size_t size);

    // Parses what has come so far: the next whole part (in Part(), valid
    // until the next WritableSpace or Feed), a wait for more bytes, or a
    // failure, which is final.
    Outcome Next();

    std::span<const std::uint8_t> Part() const { return part_; }
    Failure Error() const { return failure_; }
    // The server's status code once the status line has been read.
    int Status() const { return status_; }
    // For HttpStatus the server's reason phrase (e.g. "Not Found"), or for
    // a redirect where it leads; for the others a description of what was
    // wrong.
    const std::string& Message() const { return message_; }
    // The WWW-Authenticate header values of a 401 response, once it failed.
    const std::vector<std::string>& Challenges() const { return challenges_; }
    // The response's boundary, once its headers have been read.
    const std::string& Boundary() const { return boundary_; }
    // Bytes held for a part (or headers) not yet complete: what a stream cut
    // now would lose.
    std::size_t Pending() const { return end_ - start_; }

private:
    enum class State { StatusLine, Headers, SeekBoundary, PartHeaders, Body, Failed };
    enum class Delimiter { Incomplete, Part, Closing, No };

    Outcome Fail(Failure failure, std::string message);
    // The next line (without its line break) from start_, or false while it
    // is incomplete; fails when it outgrows the line limit.
    bool TakeLine(std::string_view& line, Outcome& failed);
    bool StatusLine(std::string_view line, Outcome& failed);
    void HeaderLine(std::string_view line);
    void FinishHeader();
    Outcome EndOfHeaders();
    Outcome EndOfPartHeaders();
    // Looks from scan_ for a boundary line within [start_ + from, end_);
    // gives its offset from start_ and kind.
    Delimiter FindDelimiter(std::size_t from, bool fromIsLineStart, std::size_t& lineStart, std::size_t& lineEnd);
    Delimiter ClassifyRestOfLine(std::size_t after, std::size_t& lineEnd) const;
    void Consume(std::size_t count);
    const std::uint8_t* Data() const { return buffer_.data() + start_; }

    Limits limits_;
    std::vector<std::uint8_t> buffer_;
    std::size_t start_ = 0;  // first byte not parsed yet
    std::size_t end_ = 0;    // end of the bytes given
    std::size_t scan_ = 0;   // offset from start_ up to which nothing was found
    State state_ = State::StatusLine;
    bool atLineStart_ = true;  // start_ begins a line (when seeking a boundary)

    std::size_t headerBytes_ = 0;
    std::string headerName_;
    std::string headerValue_;
    std::string contentType_;
    long long partLength_ = -1;
    bool partLengthInvalid_ = false;

    int status_ = 0;
    std::string boundary_;
    std::vector<std::string> challenges_;
    std::string location_;  // of a redirect
    std::span<const std::uint8_t> part_;
    Failure failure_ = Failure::None;
    std::string message_;
};

}  // namespace qmd
