#include "capture/elements/multipart_jpeg_parser.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "common/ascii_case.h"

namespace qmd {
namespace {

constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);
// RFC 2046 allows 70 characters; cameras keep well inside this.
constexpr std::size_t kLongestBoundary = 200;
constexpr int kUnauthorized = 401;

// A redirect is reported with where it leads, rather than followed.
bool IsRedirect(int status) { return status >= 300 && status < 400; }

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
    return text;
}

// The boundary parameter of a Content-Type value (quoted or not); empty when
// there is none.
std::string BoundaryParameter(std::string_view contentType)
{
    std::size_t at = contentType.find(';');
    while (at != std::string_view::npos && at < contentType.size()) {
        ++at;  // past ';'
        const std::size_t equals = contentType.find_first_of("=;", at);
        if (equals == std::string_view::npos) break;
        if (contentType[equals] == ';') {
            at = equals;
            continue;
        }
        const std::string_view name = Trim(contentType.substr(at, equals - at));
        std::size_t valueAt = equals + 1;
        while (valueAt < contentType.size() && IsBlank(contentType[valueAt])) ++valueAt;
        std::string value;
        if (valueAt < contentType.size() && contentType[valueAt] == '"') {
            std::size_t i = valueAt + 1;
            for (; i < contentType.size() && contentType[i] != '"'; ++i) {
                if (contentType[i] == '\\' && i + 1 < contentType.size()) ++i;
                value.push_back(contentType[i]);
            }
            at = contentType.find(';', i);
        } else {
            const std::size_t valueEnd = contentType.find(';', valueAt);
            value = Trim(contentType.substr(valueAt, valueEnd == std::string_view::npos ? std::string_view::npos
                                                                                        : valueEnd - valueAt));
            at = valueEnd;
        }
        if (EqualsIgnoringAsciiCase(name, "boundary")) return value;
    }
    return {};
}

}  // namespace

MultipartJpegParser::MultipartJpegParser(Limits limits) : limits_(limits) {}

std::span<std::uint8_t> MultipartJpegParser::WritableSpace(std::size_t wanted)
{
    part_ = {};
    if (start_ == end_) start_ = end_ = 0;
    if (buffer_.size() - end_ < wanted) {
        if (start_ > 0) {
            std::memmove(buffer_.data(), buffer_.data() + start_, end_ - start_);
            end_ -= start_;
            start_ = 0;
        }
        if (buffer_.size() - end_ < wanted)
            buffer_.resize(std::max(end_ + wanted, buffer_.size() + buffer_.size() / 2));
    }
    return {buffer_.data() + end_, buffer_.size() - end_};
}

void MultipartJpegParser::Commit(std::size_t count) { end_ += std::min(count, buffer_.size() - end_); }

void MultipartJpegParser::Feed(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) return;
    const std::span<std::uint8_t> space = WritableSpace(size);
    std::memcpy(space.data(), data, size);
    Commit(size);
}

void MultipartJpegParser::Consume(std::size_t count)
{
    start_ += count;
    scan_ = 0;
}

MultipartJpegParser::Outcome MultipartJpegParser::Fail(Failure failure, std::string message)
{
    state_ = State::Failed;
    failure_ = failure;
    message_ = std::move(message);
    part_ = {};
    return Outcome::Failed;
}

bool MultipartJpegParser::TakeLine(std::string_view& line, Outcome& failed)
{
    const std::size_t pending = Pending();
    const auto* data = reinterpret_cast<const char*>(Data());
    const void* lineBreak = scan_ < pending ? std::memchr(data + scan_, '\n', pending - scan_) : nullptr;
    const std::size_t length =
        lineBreak ? static_cast<std::size_t>(static_cast<const char*>(lineBreak) - data) : pending;
    if (length > limits_.HeaderLine) {
        failed =
            Fail(Failure::TooLarge, "A header line is longer than " + std::to_string(limits_.HeaderLine) + " bytes");
        return false;
    }
    if (!lineBreak) {
        scan_ = pending;
        failed = Outcome::NeedMore;
        return false;
    }
    line = std::string_view(data, length);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    headerBytes_ += length + 1;
    Consume(length + 1);
    if (headerBytes_ > limits_.Headers) {
        failed = Fail(Failure::TooLarge, "The headers are longer than " + std::to_string(limits_.Headers) + " bytes");
        return false;
    }
    return true;
}

bool MultipartJpegParser::StatusLine(std::string_view line, Outcome& failed)
{
    std::size_t at = line.find(' ');
    if (!StartsWithIgnoringAsciiCase(line, "HTTP/") || at == std::string_view::npos) {
        failed = Fail(Failure::Malformed, "The camera's answer is not an HTTP response");
        return false;
    }
    while (at < line.size() && line[at] == ' ') ++at;
    int status = 0;
    std::size_t digits = 0;
    for (; at < line.size() && digits < 4 && line[at] >= '0' && line[at] <= '9'; ++at, ++digits)
        status = status * 10 + (line[at] - '0');
    if (digits != 3 || (at < line.size() && !IsBlank(line[at]))) {
        failed = Fail(Failure::Malformed, "The camera's answer has no valid HTTP status");
        return false;
    }
    status_ = status;
    if (status == 200) return true;
    const std::string_view reason = Trim(line.substr(at));
    std::string message = reason.empty() ? "HTTP status " + std::to_string(status) : std::string(reason);
    if (status == kUnauthorized || IsRedirect(status)) {
        // Its headers carry the challenges to answer, or where the camera
        // sends us; the failure comes at their end.
        message_ = IsRedirect(status) && !reason.empty() ? "HTTP status " + std::to_string(status) + " " + message
                                                         : std::move(message);
        return true;
    }
    failed = Fail(Failure::HttpStatus, std::move(message));
    return false;
}

void MultipartJpegParser::HeaderLine(std::string_view line)
{
    if (line.front() == ' ' || line.front() == '\t') {  // folded onto the header before
        if (!headerName_.empty()) {
            headerValue_ += ' ';
            headerValue_ += Trim(line);
        }
        return;
    }
    FinishHeader();
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return;  // not a header; tolerated
    headerName_ = Trim(line.substr(0, colon));
    headerValue_ = Trim(line.substr(colon + 1));
}

void MultipartJpegParser::FinishHeader()
{
    if (status_ == kUnauthorized && state_ == State::Headers &&
        EqualsIgnoringAsciiCase(headerName_, "WWW-Authenticate")) {
        challenges_.push_back(headerValue_);
    } else if (IsRedirect(status_) && state_ == State::Headers && EqualsIgnoringAsciiCase(headerName_, "Location")) {
        location_ = headerValue_;
    } else if (EqualsIgnoringAsciiCase(headerName_, "Content-Type")) {
        contentType_ = headerValue_;
    } else if (EqualsIgnoringAsciiCase(headerName_, "Content-Length")) {
        const std::string_view value = Trim(headerValue_);
        long long length = value.empty() ? -1 : 0;
        for (char c : value) {
            if (c < '0' || c > '9') {
                length = -1;  // unusable: the part ends at the next boundary instead
                break;
            }
            // Saturates just past the limit, which then fails the part.
            length = std::min<long long>(length * 10 + (c - '0'), static_cast<long long>(limits_.Part) + 1);
        }
        partLength_ = length;
    }
    headerName_.clear();
    headerValue_.clear();
}

MultipartJpegParser::Outcome MultipartJpegParser::EndOfHeaders()
{
    if (status_ == kUnauthorized) return Fail(Failure::HttpStatus, message_);
    if (IsRedirect(status_)) {
        const std::string where = location_.empty() ? "elsewhere, naming no address" : "to " + location_;
        return Fail(Failure::HttpStatus,
                    "The camera redirected the request " + where + " (" + message_ + "); redirects are not followed");
    }
    const std::string_view contentType = contentType_;
    const std::string_view media = Trim(contentType.substr(0, contentType.find(';')));
    if (!StartsWithIgnoringAsciiCase(media, "multipart/")) {
        return Fail(Failure::NotMultipart, "The stream is not a multipart JPEG stream (Content-Type: " +
                                               (contentType_.empty() ? std::string("none") : contentType_) + ")");
    }
    boundary_ = BoundaryParameter(contentType);
    if (boundary_.empty())
        return Fail(Failure::NotMultipart,
                    "The multipart stream names no boundary (Content-Type: " + contentType_ + ")");
    if (boundary_.size() > kLongestBoundary) return Fail(Failure::Malformed, "The multipart boundary is too long");
    state_ = State::SeekBoundary;
    atLineStart_ = true;
    return Outcome::NeedMore;
}

MultipartJpegParser::Outcome MultipartJpegParser::EndOfPartHeaders()
{
    if (partLength_ > static_cast<long long>(limits_.Part))
        return Fail(Failure::TooLarge, "A part is larger than " + std::to_string(limits_.Part) + " bytes");
    state_ = State::Body;
    return Outcome::NeedMore;
}

MultipartJpegParser::Delimiter MultipartJpegParser::ClassifyRestOfLine(std::size_t after, std::size_t& lineEnd) const
{
    const std::size_t pending = Pending();
    const auto* data = reinterpret_cast<const char*>(Data());
    const std::size_t looked = std::min(pending - after, limits_.HeaderLine);
    const void* lineBreak = std::memchr(data + after, '\n', looked);
    if (!lineBreak) return pending - after > limits_.HeaderLine ? Delimiter::No : Delimiter::Incomplete;
    const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(lineBreak) - data);
    lineEnd = at + 1;
    const std::string_view rest = Trim(std::string_view(data + after, at - after));
    if (rest.empty()) return Delimiter::Part;
    if (rest == "--") return Delimiter::Closing;
    return Delimiter::No;
}

MultipartJpegParser::Delimiter MultipartJpegParser::FindDelimiter(std::size_t from, bool fromIsLineStart,
                                                                  std::size_t& lineStart, std::size_t& lineEnd)
{
    lineStart = kNotFound;
    const std::size_t pending = Pending();
    const std::uint8_t* data = Data();
    const std::size_t size = boundary_.size();
    const auto beginsLine = [&](std::size_t at) {
        return at == from ? fromIsLineStart : at > from && data[at - 1] == '\n';
    };
    std::size_t at = std::max(scan_, from);
    while (at + size <= pending) {
        const void* found = memmem(data + at, pending - at, boundary_.data(), size);
        if (!found) break;
        const std::size_t p = static_cast<std::size_t>(static_cast<const std::uint8_t*>(found) - data);
        // "--boundary" at the start of a line; some cameras leave out the dashes.
        const bool dashed = p >= from + 2 && data[p - 1] == '-' && data[p - 2] == '-';
        const std::size_t candidate = dashed && beginsLine(p - 2) ? p - 2 : beginsLine(p) ? p : kNotFound;
        if (candidate != kNotFound) {
            const Delimiter kind = ClassifyRestOfLine(p + size, lineEnd);
            if (kind != Delimiter::No) {
                lineStart = candidate;
                scan_ = kind == Delimiter::Incomplete ? p : 0;
                return kind;
            }
        }
        at = p + 1;
    }
    // A boundary may still begin in the last size - 1 bytes.
    scan_ = std::max(at, pending >= size ? pending - size + 1 : std::size_t{0});
    return Delimiter::Incomplete;
}

MultipartJpegParser::Outcome MultipartJpegParser::Next()
{
    part_ = {};
    Outcome failed = Outcome::NeedMore;
    for (;;) {
        switch (state_) {
        case State::Failed: return Outcome::Failed;

        case State::StatusLine: {
            std::string_view line;
            if (!TakeLine(line, failed)) return failed;
            if (line.empty()) continue;  // stray blank lines before the status
            if (!StatusLine(line, failed)) return failed;
            state_ = State::Headers;
            continue;
        }

        case State::Headers:
        case State::PartHeaders: {
            // Some cameras start the image right after the boundary line,
            // without headers or the blank line that ends them.
            if (state_ == State::PartHeaders && headerBytes_ == 0 && Pending() >= 2 && Data()[0] == 0xFF &&
                Data()[1] == 0xD8) {
                state_ = State::Body;
                continue;
            }
            std::string_view line;
            if (!TakeLine(line, failed)) return failed;
            if (!line.empty()) {
                HeaderLine(line);
                continue;
            }
            FinishHeader();
            const Outcome end = state_ == State::Headers ? EndOfHeaders() : EndOfPartHeaders();
            if (end == Outcome::Failed) return end;
            continue;
        }

        case State::SeekBoundary: {
            std::size_t lineStart = kNotFound, lineEnd = 0;
            const Delimiter kind = FindDelimiter(0, atLineStart_, lineStart, lineEnd);
            if (kind == Delimiter::Incomplete) {
                // Keeps only what may still begin a boundary line.
                std::size_t drop = 0;
                if (lineStart != kNotFound) {
                    drop = lineStart;
                } else if (Pending() > boundary_.size() + 2) {
                    drop = Pending() - (boundary_.size() + 2);
                }
                if (drop > 0) {
                    const bool lineStartsAtDrop = Data()[drop - 1] == '\n' || lineStart != kNotFound;
                    const std::size_t keepScan = scan_ - std::min(scan_, drop);
                    Consume(drop);
                    scan_ = keepScan;
                    atLineStart_ = lineStartsAtDrop;
                }
                return Outcome::NeedMore;
            }
            Consume(lineEnd);
            atLineStart_ = true;
            if (kind == Delimiter::Part) {
                state_ = State::PartHeaders;
                headerBytes_ = 0;
                partLength_ = -1;
                contentType_.clear();
            }
            continue;  // after the closing delimiter: whatever follows until another boundary is skipped
        }

        case State::Body: {
            std::size_t bodyEnd = 0, next = 0;
            if (partLength_ >= 0) {
                const auto length = static_cast<std::size_t>(partLength_);
                if (Pending() < length) return Outcome::NeedMore;
                bodyEnd = next = length;
            } else {
                std::size_t lineStart = kNotFound, lineEnd = 0;
                const Delimiter kind = FindDelimiter(0, true, lineStart, lineEnd);
                if (kind == Delimiter::Incomplete) {
                    if (Pending() > limits_.Part + limits_.HeaderLine + boundary_.size() + 4)
                        return Fail(Failure::TooLarge,
                                    "A part is larger than " + std::to_string(limits_.Part) + " bytes");
                    return Outcome::NeedMore;
                }
                next = bodyEnd = lineStart;
                // The line break before the boundary belongs to it, not to the image.
                if (bodyEnd > 0 && Data()[bodyEnd - 1] == '\n') --bodyEnd;
                if (bodyEnd > 0 && Data()[bodyEnd - 1] == '\r') --bodyEnd;
                if (bodyEnd > limits_.Part)
                    return Fail(Failure::TooLarge, "A part is larger than " + std::to_string(limits_.Part) + " bytes");
            }
            const std::span<const std::uint8_t> body(Data(), bodyEnd);
            Consume(next);
            state_ = State::SeekBoundary;
            atLineStart_ = true;
            if (body.empty()) continue;  // nothing to decode
            part_ = body;
            return Outcome::Part;
        }
        }
    }
}

}  // namespace qmd
