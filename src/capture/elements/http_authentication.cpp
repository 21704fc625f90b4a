#include "capture/elements/http_authentication.h"

#include <glib.h>
#include <sys/random.h>

#include <array>
#include <cstdio>

#include "common/ascii_case.h"
#include "gst/handles.h"

namespace qmd {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool IsTokenEnd(char c) { return IsSpace(c) || c == ',' || c == '=' || c == '"'; }

std::string LowerAscii(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower) c = g_ascii_tolower(c);
    return lower;
}

class ChallengeReader {
public:
    explicit ChallengeReader(std::string_view text) : text_(text) {}

    void ReadInto(std::vector<HttpChallenge>& challenges)
    {
        for (;;) {
            while (at_ < text_.size() && (IsSpace(text_[at_]) || text_[at_] == ',')) ++at_;
            if (at_ >= text_.size()) return;
            const std::string_view token = Token();
            if (token.empty()) {  // a stray '=' or quote: not part of any challenge
                ++at_;
                continue;
            }
            SkipSpace();
            if (at_ < text_.size() && text_[at_] == '=') {
                ++at_;
                SkipSpace();
                std::string value = Value();
                if (!challenges.empty()) challenges.back().Parameters.emplace_back(LowerAscii(token), std::move(value));
            } else {
                challenges.push_back({std::string(token), {}});
            }
        }
    }

private:
    void SkipSpace()
    {
        while (at_ < text_.size() && IsSpace(text_[at_])) ++at_;
    }
    std::string_view Token()
    {
        const std::size_t start = at_;
        while (at_ < text_.size() && !IsTokenEnd(text_[at_])) ++at_;
        return text_.substr(start, at_ - start);
    }
    std::string Value()
    {
        if (at_ >= text_.size() || text_[at_] != '"') return std::string(Token());
        std::string value;
        for (++at_; at_ < text_.size() && text_[at_] != '"'; ++at_) {
            if (text_[at_] == '\\' && at_ + 1 < text_.size()) ++at_;
            value += text_[at_];
        }
        ++at_;  // the closing quote
        return value;
    }

    std::string_view text_;
    std::size_t at_ = 0;
};

struct DigestAlgorithm {
    GChecksumType Hash;
    bool Session;  // the "-sess" variant: the first hash covers the nonces too
    int Strength;
};

// The challenge's algorithm (MD5 when it names none); none when unsupported.
std::optional<DigestAlgorithm> AlgorithmOf(const HttpChallenge& challenge)
{
    const std::string* name = challenge.Parameter("algorithm");
    const std::string_view algorithm = name ? std::string_view(*name) : "MD5";
    if (EqualsIgnoringAsciiCase(algorithm, "MD5")) return DigestAlgorithm{G_CHECKSUM_MD5, false, 1};
    if (EqualsIgnoringAsciiCase(algorithm, "MD5-sess")) return DigestAlgorithm{G_CHECKSUM_MD5, true, 1};
    if (EqualsIgnoringAsciiCase(algorithm, "SHA-256")) return DigestAlgorithm{G_CHECKSUM_SHA256, false, 2};
    if (EqualsIgnoringAsciiCase(algorithm, "SHA-256-sess")) return DigestAlgorithm{G_CHECKSUM_SHA256, true, 2};
    return std::nullopt;
}

enum class Protection { None, Auth, Unsupported };

// "auth" when offered; None for a challenge of RFC 2069, which offers no qop.
Protection ProtectionOf(const HttpChallenge& challenge)
{
    const std::string* qop = challenge.Parameter("qop");
    if (!qop) return Protection::None;
    std::string_view offered = *qop;
    while (!offered.empty()) {
        const std::size_t comma = offered.find(',');
        std::string_view option = offered.substr(0, comma);
        while (!option.empty() && IsSpace(option.front())) option.remove_prefix(1);
        while (!option.empty() && IsSpace(option.back())) option.remove_suffix(1);
        if (EqualsIgnoringAsciiCase(option, "auth")) return Protection::Auth;
        if (comma == std::string_view::npos) break;
        offered.remove_prefix(comma + 1);
    }
    return Protection::Unsupported;
}

bool IsDigest(const HttpChallenge& challenge) { return EqualsIgnoringAsciiCase(challenge.Scheme, "Digest"); }

// 0 for a challenge this client cannot answer.
int StrengthOf(const HttpChallenge& challenge)
{
    if (EqualsIgnoringAsciiCase(challenge.Scheme, "Basic")) return 1;
    if (!IsDigest(challenge) || !challenge.Parameter("nonce")) return 0;
    const auto algorithm = AlgorithmOf(challenge);
    const Protection protection = ProtectionOf(challenge);
    if (!algorithm || protection == Protection::Unsupported) return 0;
    // The -sess variants hash the client nonce in, which needs a qop.
    if (algorithm->Session && protection == Protection::None) return 0;
    return 1 + algorithm->Strength;
}

std::string Hash(GChecksumType type, const std::string& text)
{
    gst::CharsHandle hex{g_compute_checksum_for_string(type, text.data(), static_cast<gssize>(text.size()))};
    return hex.get();
}

std::string Quoted(std::string_view text)
{
    std::string quoted = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') quoted += '\\';
        quoted += c;
    }
    quoted += '"';
    return quoted;
}

}  // namespace

const std::string* HttpChallenge::Parameter(std::string_view name) const
{
    for (const auto& [key, value] : Parameters)
        if (key == name) return &value;
    return nullptr;
}

bool HttpChallenge::IsStale() const
{
    const std::string* stale = Parameter("stale");
    return IsDigest(*this) && stale && EqualsIgnoringAsciiCase(*stale, "true");
}

std::vector<HttpChallenge> ParseHttpChallenges(const std::vector<std::string>& headerValues)
{
    std::vector<HttpChallenge> challenges;
    for (const std::string& value : headerValues) {
        // Parameters never carry over from one header to the next.
        std::vector<HttpChallenge> ofHeader;
        ChallengeReader(value).ReadInto(ofHeader);
        challenges.insert(challenges.end(), ofHeader.begin(), ofHeader.end());
    }
    return challenges;
}

const HttpChallenge* ChooseHttpChallenge(const std::vector<HttpChallenge>& challenges)
{
    const HttpChallenge* chosen = nullptr;
    int chosenStrength = 0;
    for (const HttpChallenge& challenge : challenges) {
        const int strength = StrengthOf(challenge);
        if (strength > chosenStrength) {
            chosen = &challenge;
            chosenStrength = strength;
        }
    }
    return chosen;
}

std::optional<std::string> DigestAuthorization(const HttpChallenge& challenge, const HttpCredentials& credentials,
                                               const DigestRequest& request)
{
    if (StrengthOf(challenge) < 2) return std::nullopt;
    const DigestAlgorithm algorithm = *AlgorithmOf(challenge);
    const bool withQop = ProtectionOf(challenge) == Protection::Auth;
    const std::string* realmParameter = challenge.Parameter("realm");
    const std::string realm = realmParameter ? *realmParameter : std::string();
    const std::string& nonce = *challenge.Parameter("nonce");

    std::array<char, 9> count{};
    std::snprintf(count.data(), count.size(), "%08x", request.NonceCount);

    std::string first = Hash(algorithm.Hash, credentials.User + ":" + realm + ":" + credentials.Password);
    if (algorithm.Session) first = Hash(algorithm.Hash, first + ":" + nonce + ":" + request.ClientNonce);
    const std::string second = Hash(algorithm.Hash, request.Method + ":" + request.Uri);
    const std::string response = withQop ? Hash(algorithm.Hash, first + ":" + nonce + ":" + count.data() + ":" +
                                                                    request.ClientNonce + ":auth:" + second)
                                         : Hash(algorithm.Hash, first + ":" + nonce + ":" + second);

    std::string answer = "Digest username=" + Quoted(credentials.User) + ", realm=" + Quoted(realm) +
                         ", nonce=" + Quoted(nonce) + ", uri=" + Quoted(request.Uri);
    if (const std::string* name = challenge.Parameter("algorithm")) answer += ", algorithm=" + *name;
    answer += ", response=" + Quoted(response);
    if (const std::string* opaque = challenge.Parameter("opaque")) answer += ", opaque=" + Quoted(*opaque);
    if (withQop) answer += ", qop=auth, nc=" + std::string(count.data()) + ", cnonce=" + Quoted(request.ClientNonce);
    return answer;
}

std::string BasicAuthorization(const HttpCredentials& credentials)
{
    const std::string pair = credentials.User + ":" + credentials.Password;
    gst::CharsHandle encoded{g_base64_encode(reinterpret_cast<const guchar*>(pair.data()), pair.size())};
    return std::string("Basic ") + encoded.get();
}

std::string NewClientNonce()
{
    std::array<std::uint8_t, 16> bytes{};
    if (getrandom(bytes.data(), bytes.size(), 0) != static_cast<ssize_t>(bytes.size()))
        for (auto& byte : bytes) byte = static_cast<std::uint8_t>(g_random_int());
    std::string hex;
    for (const std::uint8_t byte : bytes) {
        std::array<char, 3> digits{};
        std::snprintf(digits.data(), digits.size(), "%02x", byte);
        hex += digits.data();
    }
    return hex;
}

}  // namespace qmd
