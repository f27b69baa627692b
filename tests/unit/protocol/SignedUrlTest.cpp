#include <gtest/gtest.h>

#include <string>

#include "protocol/ServiceEndpoints.h"
#include "protocol/SignedUrl.h"

namespace quorvela {
namespace {

TEST(SignedUrl, Endpoints) {
    EXPECT_EQ(serviceBaseUrl(), "https://" QUORVELA_SERVICE_HOST "/quorvela-staging/rest/message");
    EXPECT_EQ(eventsUrl(), "https://" QUORVELA_SERVICE_HOST "/events/?");
    EXPECT_EQ(ipEchoUrl(), "https://" QUORVELA_IPECHO_HOST "/");
}

TEST(SignedUrl, RefusesARequestWithoutKey) {
    auto noKey = SignedUrl::build("sendResponse", "a/c/1", std::nullopt);
    EXPECT_FALSE(noKey.ok());
    EXPECT_EQ(noKey.error(), SignedUrl::kMissingKeyError);
    EXPECT_TRUE(SignedUrl::build("sendResponse", "a/c/1", std::string()).ok());  // an empty key still signs
}

}  // namespace
}  // namespace quorvela
