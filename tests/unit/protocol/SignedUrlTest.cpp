#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "protocol/PercentEncoding.h"
#include "protocol/RequestSigner.h"
#include "protocol/ServiceEndpoints.h"
#include "protocol/SignedUrl.h"

namespace quorvela {
namespace {

// Splits "<base>/<op>/<path>/<signature>" back into the path and signature.
struct Parts {
    std::string path, signature;
};
Parts split(const std::string& url, const std::string& operation) {
    const std::string head = serviceBaseUrl() + "/" + operation + "/";
    EXPECT_EQ(url.rfind(head, 0), 0u) << url;
    const auto last = url.rfind('/');
    return {url.substr(head.size(), last - head.size()), url.substr(last + 1)};
}

TEST(SignedUrl, Endpoints) {
    EXPECT_EQ(serviceBaseUrl(), "https://" QUORVELA_SERVICE_HOST "/quorvela-staging/rest/message");
    EXPECT_EQ(eventsUrl(), "https://" QUORVELA_SERVICE_HOST "/events/?");
    EXPECT_EQ(ipEchoUrl(), "https://" QUORVELA_IPECHO_HOST "/");
}

TEST(SignedUrl, PlainPathTravelsExactlyAsSigned) {
    const std::string raw = "dev-1/app/IOS/user@x.com/false/client/1700000000000";
    auto url = SignedUrl::build("registerUser", raw, std::string("secret"));
    ASSERT_TRUE(url.ok());
    auto parts = split(url.url(), "registerUser");
    EXPECT_EQ(parts.path, raw);
    EXPECT_EQ(parts.signature, RequestSigner::sign(raw, "secret"));
    EXPECT_EQ(url.signature(), parts.signature);
}

TEST(SignedUrl, EncodedInUrlButSignedRaw) {
    struct Case {
        std::string raw, inUrl;
    };
    const Case cases[] = {
        {"a b/app/17", "a%20b/app/17"},
        {"x;y/q?/100%", "x%3By/q%3F/100%25"},
        {"userid=u&name=Y2Fm/c/1", "userid=u&name=Y2Fm/c/1"},
        {"Pz8/+=/c/1", "Pz8/+=/c/1"},
    };
    for (const auto& c : cases) {
        auto url = SignedUrl::build("getWorkspaces", c.raw, std::string("k"));
        ASSERT_TRUE(url.ok()) << c.raw;
        auto parts = split(url.url(), "getWorkspaces");
        EXPECT_EQ(parts.path, c.inUrl);
        EXPECT_EQ(parts.signature, RequestSigner::sign(c.raw, "k")) << c.raw;
        EXPECT_EQ(PercentEncoding::decode(parts.path), c.raw);
    }
}

TEST(SignedUrl, SlashInsideAValueAddsASegment) {
    const std::string plain = SignedUrl::joinPath({"abc", "client", "17"});
    const std::string slashed = SignedUrl::joinPath({"a/c", "client", "17"});
    EXPECT_EQ(plain, "abc/client/17");
    EXPECT_EQ(slashed, "a/c/client/17");
    auto count = [](const std::string& s) { return std::count(s.begin(), s.end(), '/'); };
    auto urlPlain = SignedUrl::build("getMessage", plain, std::string("k")).url();
    auto urlSlashed = SignedUrl::build("getMessage", slashed, std::string("k")).url();
    EXPECT_EQ(count(urlSlashed), count(urlPlain) + 1);
}

TEST(SignedUrl, NullValuesAreWrittenAsNull) {
    EXPECT_EQ(SignedUrl::joinPath({std::nullopt, "app", "IOS", std::string()}), "(null)/app/IOS/");
    EXPECT_EQ(SignedUrl::render(std::nullopt), "(null)");
    EXPECT_EQ(SignedUrl::render(std::string()), "");
}

TEST(SignedUrl, RefusesWhatCannotBeSigned) {
    auto nonAsciiPath = SignedUrl::build("sendResponse", "caf\xC3\xA9/c/1", std::string("k"));
    EXPECT_FALSE(nonAsciiPath.ok());
    EXPECT_EQ(nonAsciiPath.error(), "Cannot sign a request that holds non-ASCII text");
    EXPECT_TRUE(nonAsciiPath.url().empty());

    auto nonAsciiKey = SignedUrl::build("sendResponse", "a/c/1", std::string("k\xC3\xA9"));
    EXPECT_EQ(nonAsciiKey.error(), RequestSigner::kNonAsciiError);

    auto noKey = SignedUrl::build("sendResponse", "a/c/1", std::nullopt);
    EXPECT_FALSE(noKey.ok());
    EXPECT_EQ(noKey.error(), SignedUrl::kMissingKeyError);

    EXPECT_TRUE(SignedUrl::build("sendResponse", "a/c/1", std::string()).ok());  // an empty key still signs
}

}  // namespace
}  // namespace quorvela
