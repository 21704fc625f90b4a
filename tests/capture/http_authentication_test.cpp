// The answers to a camera's authentication challenges, checked against the
// worked examples of RFC 2617 (section 3.5) and RFC 7616 (section 3.9.1),
// whose responses were computed by their authors.
#include <gtest/gtest.h>

#include "capture/elements/http_authentication.h"

namespace qmd {
namespace {

bool Has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(HttpAuthenticationTest, AnswersTheDigestExampleOfRfc2617)
{
    const auto challenges =
        ParseHttpChallenges({"Digest\r\n realm=\"testrealm@host.com\",\r\n qop=\"auth,auth-int\",\r\n"
                             " nonce=\"dcd98b7102dd2f0e8b11d0f600bfb0c093\",\r\n"
                             " opaque=\"5ccc069c403ebaf9f0171e9517f40e41\""});
    const HttpChallenge* challenge = ChooseHttpChallenge(challenges);
    ASSERT_NE(challenge, nullptr);
    const auto answer = DigestAuthorization(*challenge, {"Mufasa", "Circle Of Life"},
                                            {.Uri = "/dir/index.html", .NonceCount = 1, .ClientNonce = "0a4f113b"});
    ASSERT_TRUE(answer);
    EXPECT_TRUE(answer->starts_with("Digest ")) << *answer;
    for (const std::string field :
         {"username=\"Mufasa\"", "realm=\"testrealm@host.com\"", "nonce=\"dcd98b7102dd2f0e8b11d0f600bfb0c093\"",
          "uri=\"/dir/index.html\"", "qop=auth", "nc=00000001", "cnonce=\"0a4f113b\"",
          "response=\"6629fae49393a05397450978507c4ef1\"", "opaque=\"5ccc069c403ebaf9f0171e9517f40e41\""})
        EXPECT_TRUE(Has(*answer, field)) << field << " in " << *answer;
}

TEST(HttpAuthenticationTest, PrefersSha256AndAnswersBothDigestExamplesOfRfc7616)
{
    const std::string common = "realm=\"http-auth@example.org\", qop=\"auth, auth-int\", "
                               "nonce=\"7ypf/xlj9XXwfDPEoM4URrv/xwf94BcCAzFZH4GiTo0v\", "
                               "opaque=\"FQhe/qaU925kfnzjCev0ciny7QMkPqMAFRtzCUYo5tdS\"";
    // Offered weakest first, one header with Basic too, another alone.
    const auto challenges =
        ParseHttpChallenges({"Basic realm=\"http-auth@example.org\", Digest algorithm=MD5, " + common,
                             "Digest algorithm=SHA-256, " + common});
    ASSERT_EQ(challenges.size(), 3u);
    const DigestRequest request{
        .Uri = "/dir/index.html", .NonceCount = 1, .ClientNonce = "f2/wE4q74E6zIJEtWaHKaf5wv/H5QzzpXusqGemxURZJ"};
    const HttpCredentials mufasa{"Mufasa", "Circle of Life"};

    const HttpChallenge* chosen = ChooseHttpChallenge(challenges);
    ASSERT_EQ(chosen, &challenges[2]);
    const auto sha256 = DigestAuthorization(*chosen, mufasa, request);
    ASSERT_TRUE(sha256);
    EXPECT_TRUE(Has(*sha256, "response=\"753927fa0e85d155564e2e272a28d1802ca10daf4496794697cf8db5856cb6c1\""))
        << *sha256;
    EXPECT_TRUE(Has(*sha256, "algorithm=SHA-256")) << *sha256;

    const auto md5 = DigestAuthorization(challenges[1], mufasa, request);
    ASSERT_TRUE(md5);
    EXPECT_TRUE(Has(*md5, "response=\"8ca523f5e9506fed4657c9700eebdbec\"")) << *md5;
}

TEST(HttpAuthenticationTest, FallsBackToBasicAndRefusesWhatItCannotAnswer)
{
    const auto unsupported = ParseHttpChallenges({"Digest realm=\"r\", nonce=\"n\", algorithm=SHA-512-256",
                                                  "Digest realm=\"r\", nonce=\"n\", qop=\"auth-int\""});
    EXPECT_EQ(ChooseHttpChallenge(unsupported), nullptr);

    auto withBasic = unsupported;
    withBasic.push_back(ParseHttpChallenges({"Basic realm=\"cam\""}).front());
    const HttpChallenge* chosen = ChooseHttpChallenge(withBasic);
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(chosen->Scheme, "Basic");
    // RFC 7617's example
    EXPECT_EQ(BasicAuthorization({"Aladdin", "open sesame"}), "Basic QWxhZGRpbjpvcGVuIHNlc2FtZQ==");

    EXPECT_TRUE(ParseHttpChallenges({"Digest realm=\"r\", nonce=\"n\", stale=TRUE"}).front().IsStale());
    EXPECT_FALSE(ParseHttpChallenges({"Digest realm=\"r\", nonce=\"n\""}).front().IsStale());
}

}  // namespace
}  // namespace qmd
