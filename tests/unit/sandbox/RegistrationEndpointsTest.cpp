// The sandbox's registration endpoints over HTTPS, and the admin routes that
// read what they keep and change how they answer.
#include <httplib.h>

#include <nlohmann/json.hpp>

#include "SandboxFixture.h"
#include "support/SandboxAdminClient.h"

namespace quorvela::sandbox::test {
namespace {

using nlohmann::json;

std::string result(bool successful, const std::string& message) {
    return "<transactionResult><successful>" + std::string(successful ? "true" : "false") + "</successful><message>" +
           message + "</message></transactionResult>";
}

class RegistrationEndpointsTest : public SandboxFixture {
protected:
    void SetUp() override {
        SandboxFixture::SetUp();
        admin = quorvela::test::sandboxAdminClient(sandbox);
    }
    // Values joined with "/", signed with the application's key (plain
    // characters only, so the path needs no encoding).
    HttpResult call(const std::string& operation, const std::string& path) {
        return get(restUrl(operation, path, path, kPrivateKey));
    }
    HttpResult registerUser(const std::string& device, const std::string& user, bool wait = false) {
        return call("registerUser", device + "/App/IOS/" + user + (wait ? "/true/" : "/false/") + kPublicId + "/1");
    }
    json getJson(const std::string& path) {
        auto response = admin->Get(path.c_str());
        if (!response) return nullptr;
        EXPECT_EQ(response->status, 200) << path;
        return json::parse(response->body);
    }
    int put(const std::string& body) {
        auto response = admin->Put("/registration", body, "application/json");
        return response ? response->status : 0;
    }
    std::unique_ptr<httplib::Client> admin;
};

TEST_F(RegistrationEndpointsTest, RegisterAndRemoveAUser) {
    auto registered = registerUser("dev-1", "alice/home");
    ASSERT_TRUE(registered.ok) << registered.error;
    EXPECT_EQ(registered.body, result(true, "User registered"));
    // A second registration of the device replaces its user.
    ASSERT_TRUE(registerUser("dev-1", "bob").ok);
    ASSERT_TRUE(registerUser("dev-2", "carol").ok);
    EXPECT_EQ(getJson("/users"), json::parse(R"([
        {"deviceId":"dev-1","publicId":"pub-1","userId":"bob","validated":true},
        {"deviceId":"dev-2","publicId":"pub-1","userId":"carol","validated":true}])"));

    const std::string remove = std::string("dev-1/App/IOS/") + kPublicId + "/2";
    EXPECT_EQ(call("removeAppUser", remove).body, result(true, "User removed"));
    EXPECT_EQ(call("removeAppUser", remove).body, result(false, "No user registered"));
    EXPECT_EQ(getJson("/users").size(), 1u);
}

TEST_F(RegistrationEndpointsTest, RejectModeAnswersUnsuccessful) {
    ASSERT_EQ(put(R"({"registerMode":"reject"})"), 200);
    EXPECT_EQ(registerUser("dev-1", "alice").body, result(false, "Registration refused"));
    EXPECT_EQ(getJson("/users"), json::array());
}

TEST_F(RegistrationEndpointsTest, ValidateModeNeedsTheCode) {
    ASSERT_EQ(put(R"({"registerMode":"validate","validationCode":"4711"})"), 200);
    EXPECT_EQ(registerUser("dev-1", "alice").body, result(false, "Validation code required"));
    EXPECT_EQ(registerUser("dev-1", "alice", true).body, result(true, "Validation code sent"));
    EXPECT_EQ(getJson("/users")[0]["validated"], false);

    const auto activate = [&](const std::string& device, const std::string& code) {
        return call("activatePhone", device + "/App/IOS/" + code + "/" + kPublicId + "/3").body;
    };
    EXPECT_EQ(activate("dev-1", "1234"), result(false, "Invalid validation code"));
    EXPECT_EQ(activate("dev-9", "4711"), result(false, "No user registered"));
    EXPECT_EQ(getJson("/users")[0]["validated"], false);
    EXPECT_EQ(activate("dev-1", "4711"), result(true, "Phone activated"));
    EXPECT_EQ(getJson("/users")[0]["validated"], true);
}

TEST_F(RegistrationEndpointsTest, DeviceTokensAreKept) {
    EXPECT_EQ(call("iOSReg", std::string("dev-1/App/abcdef/") + kPublicId + "/4").body,
              result(true, "Device registered"));
    EXPECT_EQ(call("iOSReg", std::string("dev-1/App/012345/") + kPublicId + "/5").body,
              result(true, "Device registered"));
    EXPECT_EQ(getJson("/devices"), json::parse(R"([{"deviceId":"dev-1","publicId":"pub-1","pushToken":"012345"}])"));
}

TEST_F(RegistrationEndpointsTest, MalformedAnswersAreNotXml) {
    ASSERT_EQ(put(R"({"malformed":["registerUser","iOSReg"]})"), 200);
    auto reply = registerUser("dev-1", "alice");
    ASSERT_TRUE(reply.ok);
    EXPECT_EQ(reply.status, 500);
    EXPECT_EQ(reply.body.find("<transactionResult>"), std::string::npos);
    EXPECT_EQ(getJson("/users"), json::array());
    EXPECT_EQ(call("removeAppUser", std::string("dev-1/App/IOS/") + kPublicId + "/2").body,
              result(false, "No user registered"));
}

TEST_F(RegistrationEndpointsTest, BehaviourChangesAreCheckedAndPartial) {
    EXPECT_EQ(getJson("/registration"),
              json::parse(R"({"registerMode":"accept","validationCode":"123456","malformed":[]})"));
    EXPECT_EQ(put(R"({"registerMode":"sometimes"})"), 400);
    EXPECT_EQ(put(R"({"validationCode":""})"), 400);
    EXPECT_EQ(put(R"({"other":1})"), 400);
    EXPECT_EQ(put(R"([1])"), 400);
    EXPECT_EQ(put("{"), 400);
    EXPECT_EQ(put(R"({"validationCode":"99"})"), 200);
    EXPECT_EQ(getJson("/registration"),
              json::parse(R"({"registerMode":"accept","validationCode":"99","malformed":[]})"));
}

TEST_F(RegistrationEndpointsTest, ShortPathsAndForeignKeysAreRefused) {
    auto shortPath = call("registerUser", std::string("dev-1/App/") + kPublicId + "/1");
    EXPECT_EQ(shortPath.status, 400);
    EXPECT_EQ(shortPath.body, result(false, "Bad request"));
    const std::string path = std::string("dev-1/App/IOS/alice/false/") + kPublicId + "/1";
    EXPECT_EQ(get(restUrl("registerUser", path, path, "wrong key")).status, 403);
    EXPECT_EQ(getJson("/users"), json::array());
}

}  // namespace
}  // namespace quorvela::sandbox::test
