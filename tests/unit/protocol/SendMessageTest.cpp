#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>

#include "model/WorkspaceRecord.h"
#include "protocol/Base64Text.h"
#include "protocol/RequestSigner.h"
#include "protocol/SendMessage.h"
#include "protocol/ServiceEndpoints.h"
#include "support/TestPlatform.h"

namespace quorvela {
namespace {

using namespace std::chrono_literals;
using test::FakeHttpClient;

class SendMessageTest : public ::testing::Test {
protected:
    SendMessageTest() : platform(test::makeTestPlatform(dir)) {
        ws = WorkspaceRecord::create(platform);
        ws->setClientId("abc");
        ws->setPublicKey("ws-key");
        platform->keyValueStore->set("clientUserID", Value("user-7"));
    }
    std::string send(const std::optional<std::string>& text) {
        test::fakeHttp(*platform).clearRequests();
        SendMessage::sendMessage(platform, credentials, text, ws);
        EXPECT_TRUE(platform->dispatcher->waitIdle(10s));
        const auto requests = test::fakeHttp(*platform).requests();
        return requests.empty() ? std::string() : requests.back();
    }
    static std::size_t segments(const std::string& url) { return std::count(url.begin(), url.end(), '/'); }

    test::TempDir dir;
    std::shared_ptr<Platform> platform;
    ClientCredentials credentials{"Demo", "client-1", "private-key"};
    std::shared_ptr<WorkspaceRecord> ws;
};

const std::string kPrefix = serviceBaseUrl() + "/sendResponse/";

TEST(Base64TextTest, RoundTrips) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""}, {"???", "Pz8/"}, {"ok", "b2s="}, {"Hola señor", "SG9sYSBzZcOxb3I="}};
    for (const auto& [plain, encoded] : cases) {
        EXPECT_EQ(Base64Text::encode(plain), encoded);
        EXPECT_EQ(Base64Text::decode(encoded), plain);
    }
    EXPECT_FALSE(Base64Text::decode("abc").has_value());
}

TEST_F(SendMessageTest, UserIsSenderAndTextTravelsAsBase64) {
    const std::string url = send("ok");
    const std::string path = "b2s=/user-7/Demo/IOS/abc/1700000000000";
    EXPECT_EQ(url, kPrefix + path + "/" + *RequestSigner::sign(path, "ws-key"));
    EXPECT_TRUE(test::capturingLog(*platform).contains("QUORVELA-DEBUG: sendResponse: " + url));
}

TEST_F(SendMessageTest, SlashInBase64AddsOnePathSegment) {
    const std::string withSlash = send("???");     // Pz8/
    const std::string withoutSlash = send("abc");  // YWJj
    EXPECT_NE(withSlash.find("/sendResponse/Pz8//user-7/"), std::string::npos) << withSlash;
    EXPECT_EQ(segments(withSlash), segments(withoutSlash) + 1);
    const std::string path = "Pz8//user-7/Demo/IOS/abc/1700000000000";
    EXPECT_EQ(withSlash.substr(withSlash.size() - 64), *RequestSigner::sign(path, "ws-key"));
}

TEST_F(SendMessageTest, ExplicitSenderAndOutcomeLines) {
    test::fakeHttp(*platform).answer(kPrefix, FakeHttpClient::reply("<ignored"));
    SendMessage::sendMessage(platform, credentials, std::string("hi"), std::string("someone"), ws);
    ASSERT_TRUE(platform->dispatcher->waitIdle(10s));
    EXPECT_NE(test::fakeHttp(*platform).requests().at(0).find("/aGk=/someone/Demo/IOS/abc/"), std::string::npos);
    auto& log = test::capturingLog(*platform);
    // The body is never read: a malformed one is still a success.
    EXPECT_TRUE(log.contains("QUORVELA-DEBUG: sendResponse: completed successfully"));

    log.clear();
    test::fakeHttp(*platform).answer(kPrefix, FakeHttpClient::failure("Connection refused"));
    send("hi");
    EXPECT_TRUE(log.contains("QUORVELA-DEBUG: sendResponse: completed with error: Connection refused"));
}

}  // namespace
}  // namespace quorvela
