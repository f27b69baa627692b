// The sandbox's registration endpoints over HTTPS, and the admin routes that
// read what they keep and change how they answer.
#include "SandboxFixture.h"

namespace quorvela::sandbox::test {
namespace {

class RegistrationEndpointsTest : public SandboxFixture {
protected:
    HttpResult registerUser(const std::string& device, const std::string& user, bool wait = false) {
        return call("registerUser", device + "/App/IOS/" + user + (wait ? "/true/" : "/false/") + kPublicId + "/1");
    }
    int put(const std::string& body) { return adminPut("/registration", body); }
};

TEST_F(RegistrationEndpointsTest, RegisterAndRemoveAUser) {
    auto registered = registerUser("dev-1", "alice/home");
    ASSERT_TRUE(registered.ok) << registered.error;
    EXPECT_EQ(registered.body, transactionResult(true, "User registered"));
    // A second registration of the device replaces its user.
    ASSERT_TRUE(registerUser("dev-1", "bob").ok);
    ASSERT_TRUE(registerUser("dev-2", "carol").ok);
    EXPECT_EQ(adminJson("/users"), json::parse(R"([
        {"deviceId":"dev-1","publicId":"pub-1","userId":"bob","validated":true},
        {"deviceId":"dev-2","publicId":"pub-1","userId":"carol","validated":true}])"));

    const std::string remove = std::string("dev-1/App/IOS/") + kPublicId + "/2";
    EXPECT_EQ(call("removeAppUser", remove).body, transactionResult(true, "User removed"));
    EXPECT_EQ(call("removeAppUser", remove).body, transactionResult(false, "No user registered"));
    EXPECT_EQ(adminJson("/users").size(), 1u);
}

TEST_F(RegistrationEndpointsTest, RejectModeAnswersUnsuccessful) {
    ASSERT_EQ(put(R"({"registerMode":"reject"})"), 200);
    EXPECT_EQ(registerUser("dev-1", "alice").body, transactionResult(false, "Registration refused"));
    EXPECT_EQ(adminJson("/users"), json::array());
}

TEST_F(RegistrationEndpointsTest, ValidateModeNeedsTheCode) {
    ASSERT_EQ(put(R"({"registerMode":"validate","validationCode":"4711"})"), 200);
    EXPECT_EQ(registerUser("dev-1", "alice").body, transactionResult(false, "Validation code required"));
    EXPECT_EQ(registerUser("dev-1", "alice", true).body, transactionResult(true, "Validation code sent"));
    EXPECT_EQ(adminJson("/users")[0]["validated"], false);

    const auto activate = [&](const std::string& device, const std::string& code) {
        return call("activatePhone", device + "/App/IOS/" + code + "/" + kPublicId + "/3").body;
    };
    EXPECT_EQ(activate("dev-1", "1234"), transactionResult(false, "Invalid validation code"));
    EXPECT_EQ(activate("dev-9", "4711"), transactionResult(false, "No user registered"));
    EXPECT_EQ(adminJson("/users")[0]["validated"], false);
    EXPECT_EQ(activate("dev-1", "4711"), transactionResult(true, "Phone activated"));
    EXPECT_EQ(adminJson("/users")[0]["validated"], true);
}

TEST_F(RegistrationEndpointsTest, DeviceTokensAreKept) {
    EXPECT_EQ(call("iOSReg", std::string("dev-1/App/abcdef/") + kPublicId + "/4").body,
              transactionResult(true, "Device registered"));
    EXPECT_EQ(call("iOSReg", std::string("dev-1/App/012345/") + kPublicId + "/5").body,
              transactionResult(true, "Device registered"));
    EXPECT_EQ(adminJson("/devices"), json::parse(R"([{"deviceId":"dev-1","publicId":"pub-1","pushToken":"012345"}])"));
}

TEST_F(RegistrationEndpointsTest, MalformedAnswersAreNotXml) {
    ASSERT_EQ(put(R"({"malformed":["registerUser","iOSReg"]})"), 200);
    auto reply = registerUser("dev-1", "alice");
    ASSERT_TRUE(reply.ok);
    EXPECT_EQ(reply.status, 500);
    EXPECT_EQ(reply.body.find("<transactionResult>"), std::string::npos);
    EXPECT_EQ(adminJson("/users"), json::array());
    EXPECT_EQ(call("removeAppUser", std::string("dev-1/App/IOS/") + kPublicId + "/2").body,
              transactionResult(false, "No user registered"));
}

TEST_F(RegistrationEndpointsTest, BehaviourChangesAreCheckedAndPartial) {
    EXPECT_EQ(adminJson("/registration"),
              json::parse(R"({"registerMode":"accept","validationCode":"123456","malformed":[]})"));
    for (const char* bad :
         {R"({"registerMode":"sometimes"})", R"({"validationCode":""})", R"({"other":1})", "[1]", "{"})
        EXPECT_EQ(put(bad), 400) << bad;
    EXPECT_EQ(put(R"({"validationCode":"99"})"), 200);
    EXPECT_EQ(adminJson("/registration"),
              json::parse(R"({"registerMode":"accept","validationCode":"99","malformed":[]})"));
}

TEST_F(RegistrationEndpointsTest, ShortPathsAndForeignKeysAreRefused) {
    auto shortPath = call("registerUser", std::string("dev-1/App/IOS/false/") + kPublicId + "/1");  // no user
    EXPECT_EQ(shortPath.status, 400);
    EXPECT_EQ(shortPath.body, transactionResult(false, "Bad request"));
    EXPECT_EQ(call("registerUser", std::string("dev-1/App/IOS/alice/false/") + kPublicId + "/1", "wrong key").status,
              403);
    EXPECT_EQ(adminJson("/users"), json::array());
}

}  // namespace
}  // namespace quorvela::sandbox::test
