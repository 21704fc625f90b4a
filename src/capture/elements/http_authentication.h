#pragma once
// Answers the authentication challenges of an HTTP camera (the
// WWW-Authenticate headers of its 401 response): Digest (RFC 7616, with
// qop=auth or none, MD5 or SHA-256, plain or -sess) and Basic. Knows nothing
// of sockets, so any challenge can be tried on it.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qmd {

struct HttpChallenge {
    std::string Scheme;
    // Names in lower case, values unquoted.
    std::vector<std::pair<std::string, std::string>> Parameters;

    // The parameter's value; null when the challenge has none of that name.
    const std::string* Parameter(std::string_view name) const;
    // A Digest challenge whose nonce went out of date: the same credentials
    // may be sent again with the new nonce.
    bool IsStale() const;
};

// The challenges of one or more WWW-Authenticate header values (a header may
// carry several, separated by commas). Malformed parts are skipped.
std::vector<HttpChallenge> ParseHttpChallenges(const std::vector<std::string>& headerValues);

struct HttpCredentials {
    std::string User;
    std::string Password;
};

// What a Digest answer needs beyond the challenge and the credentials.
struct DigestRequest {
    std::string Method = "GET";
    // The request target as sent on the request line.
    std::string Uri;
    // How many times this nonce has been answered, this answer included.
    std::uint32_t NonceCount = 1;
    std::string ClientNonce;
};

// The challenge this client answers: the strongest Digest it supports, else
// Basic; null when there is none it can answer.
const HttpChallenge* ChooseHttpChallenge(const std::vector<HttpChallenge>& challenges);

// The value of the Authorization header answering a Digest challenge; none
// when its algorithm or quality of protection is not supported.
std::optional<std::string> DigestAuthorization(const HttpChallenge& challenge, const HttpCredentials& credentials,
                                               const DigestRequest& request);

// The value of the Authorization header for Basic authentication.
std::string BasicAuthorization(const HttpCredentials& credentials);

// A fresh client nonce: 16 random bytes in hexadecimal.
std::string NewClientNonce();

}  // namespace qmd
