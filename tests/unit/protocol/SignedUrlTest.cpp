#include <gtest/gtest.h>

#include <string>

#include "protocol/PercentEncoding.h"
#include "protocol/RequestSigner.h"
#include "protocol/ServiceEndpoints.h"
#include "protocol/SignedUrl.h"

namespace quorvela {
namespace {

TEST(SignedUrl, Endpoints) {
    EXPECT_EQ(serviceBaseUrl(), "https://" QUORVELA_SERVICE_HOST "/quorvela-staging/rest/message");
    EXPECT_EQ(eventsUrl(), "https://" QUORVELA_SERVICE_HOST "/events/?");
    EXPECT_EQ(ipEchoUrl(), "https://" QUORVELA_IPECHO_HOST "/");
}

TEST(SignedUrl, EncodedInUrlButSignedRaw) {
    const std::pair<std::string, std::string> cases[] = {
        {"dev-1/app/IOS/user@x.com/false/client/17", "dev-1/app/IOS/user@x.com/false/client/17"},
        {"x;y/q?/100%", "x%3By/q%3F/100%25"},
        {"userid=u&name=Pz8/+=/c/1", "userid=u&name=Pz8/+=/c/1"},
    };
    for (const auto& [raw, inUrl] : cases) {
        auto url = SignedUrl::build("getWorkspaces", raw, std::string("k"));
        ASSERT_TRUE(url.ok()) << raw;
        EXPECT_EQ(url.signature(), RequestSigner::sign(raw, "k"));
        EXPECT_EQ(url.url(), serviceBaseUrl() + "/getWorkspaces/" + inUrl + "/" + url.signature());
    }
}

TEST(SignedUrl, NullValuesAreWrittenAsNull) {
    EXPECT_EQ(SignedUrl::joinPath({std::nullopt, "a/c", "IOS", std::string()}), "(null)/a/c/IOS/");
    EXPECT_EQ(SignedUrl::render(std::nullopt), "(null)");
    EXPECT_EQ(SignedUrl::render(std::string()), "");
}

TEST(SignedUrl, RefusesWhatCannotBeSigned) {
    auto nonAsciiPath = SignedUrl::build("sendResponse", "caf\xC3\xA9/c/1", std::string("k"));
    EXPECT_FALSE(nonAsciiPath.ok());
    EXPECT_EQ(nonAsciiPath.error(), "Cannot sign a request that holds non-ASCII text");
    EXPECT_TRUE(nonAsciiPath.url().empty());

    auto noKey = SignedUrl::build("sendResponse", "a/c/1", std::nullopt);
    EXPECT_FALSE(noKey.ok());
    EXPECT_EQ(noKey.error(), SignedUrl::kMissingKeyError);
    EXPECT_TRUE(SignedUrl::build("sendResponse", "a/c/1", std::string()).ok());  // an empty key still signs
}

}  // namespace
}  // namespace quorvela
