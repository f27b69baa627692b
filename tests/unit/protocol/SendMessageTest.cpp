#include <algorithm>

#include "protocol/Base64Text.h"
#include "protocol/RequestSigner.h"
#include "protocol/SendMessage.h"
#include "unit/protocol/LoaderHarness.h"

namespace quorvela::test {
namespace {

TEST(Base64TextTest, RoundTrips) {
    const std::pair<std::string, std::string> cases[] = {
        {"", ""}, {"???", "Pz8/"}, {"ok", "b2s="}, {"Hola señor", "SG9sYSBzZcOxb3I="}};
    for (const auto& [plain, encoded] : cases) {
        EXPECT_EQ(Base64Text::encode(plain), encoded);
        EXPECT_EQ(Base64Text::decode(encoded), plain);
    }
    EXPECT_FALSE(Base64Text::decode("abc").has_value());
}

using SendMessageTest = LoaderTest;

TEST_F(SendMessageTest, SlashInBase64AddsOnePathSegment) {
    auto send = [&](const std::string& text) {
        http().clearRequests();
        run([&] { SendMessage::sendMessage(platform, credentials, text, ws); });
        return http().requests().at(0);
    };
    const std::string withSlash = send("???");  // Pz8/
    const std::string withoutSlash = send("abc");
    auto segments = [](const std::string& url) { return std::count(url.begin(), url.end(), '/'); };
    EXPECT_NE(withSlash.find("/sendResponse/Pz8//u1/"), std::string::npos) << withSlash;
    EXPECT_EQ(segments(withSlash), segments(withoutSlash) + 1);
    EXPECT_EQ(withSlash.substr(withSlash.size() - 64),
              *RequestSigner::sign("Pz8//u1/Demo/IOS/abc/" + kStamp, "ws-key"));
}

}  // namespace
}  // namespace quorvela::test
