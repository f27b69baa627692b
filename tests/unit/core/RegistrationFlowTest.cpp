#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "CoreFixture.h"
#include "core/RegistrationFlow.h"
#include "model/WorkspaceList.h"

namespace quorvela::test {
namespace {

class RegistrationFlowTest : public CoreFixture {
protected:
    RegistrationFlowTest() { configured(); }
    void seedUser(const std::optional<std::string>& user, bool validated) {
        store->remove("clientUserID");
        store->remove("validated");
        if (user) store->set("clientUserID", Value(*user));
        if (validated) store->set("validated", Value("YES"));
    }
};

TEST_F(RegistrationFlowTest, RegisterWithUserIDDecisionTable) {
    struct Row {
        const char* name;
        std::optional<std::string> stored;
        bool validated;
        std::optional<std::string> userID;
        bool unregisters;
        bool registers;
        std::optional<std::string> storedAfter;
        std::optional<std::string> logLine;
    };
    const std::string empty = "registerWithUserID: User can't be null or empty";
    const std::vector<Row> rows{
        {"no user, validated", std::nullopt, true, "alice", false, true, "alice", std::nullopt},
        {"same user, not validated", "alice", false, "alice", false, true, "alice", std::nullopt},
        {"same user, validated", "alice", true, "alice", false, false, "alice", std::nullopt},
        {"different user, validated", "alice", true, "bob", true, true, "bob", std::nullopt},
        {"different user, not validated", "alice", false, "bob", false, true, "bob", std::nullopt},
        {"empty stored user, validated", "", true, "bob", false, true, "bob", std::nullopt},
        {"case differs", "Alice", true, "alice", true, true, "alice", std::nullopt},
        {"empty id", "alice", true, "", false, false, "alice", empty},
        {"null id", "alice", true, std::nullopt, false, false, "alice", empty},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        seedUser(row.stored, row.validated);
        forget();

        facade->registerWithUserID(row.userID);
        // The new id is stored before any reply can arrive.
        EXPECT_EQ(stored("clientUserID").optionalText(), row.storedAfter);
        ASSERT_TRUE(idle());

        EXPECT_EQ(sent("removeAppUser"), row.unregisters ? 1u : 0u);
        EXPECT_EQ(sent("registerUser"), row.registers ? 1u : 0u);
        if (row.unregisters && row.registers) {
            EXPECT_EQ(http().requests().at(0).rfind(url("removeAppUser"), 0), 0u);
        }
        if (row.registers) {
            EXPECT_NE(http().requests().back().find("/" + *row.userID + "/false/client-1/"), std::string::npos);
        }
        if (row.logLine) EXPECT_TRUE(log().contains("QUORVELA-DEBUG: " + *row.logLine));
        if (!row.registers && !row.logLine) EXPECT_TRUE(log().lines().empty());
    }
}

TEST_F(RegistrationFlowTest, OperationsRefuseWhenNotConfigured) {
    store->remove("configureQuorvela");
    facade->registerWithUserID(std::string("alice"));
    facade->unRegisterUser();
    facade->registerDeviceToken(std::vector<std::uint8_t>(32, 1));
    facade->deviceSubscriberWithUniqueID();
    ASSERT_TRUE(idle());
    EXPECT_TRUE(http().requests().empty());
    EXPECT_FALSE(store->contains("clientUserID"));
    EXPECT_FALSE(store->contains("devicePushID"));
    for (const char* operation :
         {"registerWithUserID", "unRegisterUser", "RegisterDeviceToken", "deviceSubscriberWithUniqueID"}) {
        EXPECT_TRUE(log().contains(std::string("QUORVELA-DEBUG: ") + operation + kCheckConfiguration)) << operation;
    }
}

// Each way a registration can end: what is stored, whether the start-up runs
// again (its "INIT" event), and the completion, exactly once.
TEST_F(RegistrationFlowTest, RegistrationRepliesDecideValidationAndTheCompletion) {
    struct Row {
        const char* what;
        std::optional<HttpResult> reply;  // none: nothing may be sent
        std::string user;
        RegistrationResult expected;
    };
    const Row rows[] = {
        {"accepted", FakeHttpClient::reply(kSuccess), "alice", RegistrationResult::Succeeded},
        {"refused by the service", FakeHttpClient::reply(kFailure), "bob", RegistrationResult::Refused},
        {"malformed reply", FakeHttpClient::reply("<transactionResult><successful>"), "carol",
         RegistrationResult::Failed},
        {"transport failure", FakeHttpClient::failure(), "erin", RegistrationResult::Failed},
        {"no user id", std::nullopt, "", RegistrationResult::Refused},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        seedUser(std::nullopt, false);
        store->remove("isFirstTime");
        forget();
        if (row.reply) http().answer(url("registerUser"), *row.reply);
        Results results;
        facade->registerWithUserID(row.user, [handler = results.handler()](RegistrationResult result) {
            handler(static_cast<unsigned long>(result));
        });
        ASSERT_TRUE(idle());
        EXPECT_EQ(results.values(), std::vector<unsigned long>{static_cast<unsigned long>(row.expected)});
        EXPECT_EQ(sent("registerUser"), row.reply ? 1u : 0u);
        if (row.reply) EXPECT_EQ(stored("clientUserID"), Value(row.user));
        const bool validates = row.expected == RegistrationResult::Succeeded;
        EXPECT_EQ(store->contains("validated"), validates);
        if (validates) {
            EXPECT_EQ(stored("validated"), Value("YES"));
            EXPECT_EQ(stored("isFirstTime"), Value(false));
            EXPECT_TRUE(facade->useQuorvelaSDK());
        }
        EXPECT_EQ(eventRequests(), validates ? 1u : 0u);
        // Only a reply that cannot be read reports an error of its own.
        EXPECT_EQ(log().contains("QUORVELA-DEBUG: System Error"),
                  row.reply && row.reply->ok && row.expected == RegistrationResult::Failed);
    }

    // The same validated user again: nothing is sent, and the caller hears so.
    http().clearRequests();
    seedUser("alice", true);
    std::optional<RegistrationResult> again;
    facade->registerWithUserID(std::string("alice"), [&](RegistrationResult result) { again = result; });
    EXPECT_EQ(again, RegistrationResult::Unchanged);
    EXPECT_EQ(sent("registerUser"), 0u);

    // Unregistration, and a facade that is not configured.
    answer("removeAppUser", kSuccess);
    std::optional<RegistrationResult> removed;
    facade->unRegisterUser([&](RegistrationResult result) { removed = result; });
    ASSERT_TRUE(idle());
    EXPECT_EQ(removed, RegistrationResult::Succeeded);
    store->remove("configureQuorvela");
    std::optional<RegistrationResult> unconfigured;
    facade->unRegisterUser([&](RegistrationResult result) { unconfigured = result; });
    EXPECT_EQ(unconfigured, RegistrationResult::Refused);
}

TEST_F(RegistrationFlowTest, ValidationRequiredOrActivationReplies) {
    // A successful reply that asks for validation stores nothing.
    facade->registration().RegistrationStatus(true, true, std::string("code sent"));
    EXPECT_FALSE(store->contains("validated"));

    facade->registration().ActivatePhoneSucceeded(false, std::string("wrong code"));
    ASSERT_TRUE(idle());
    EXPECT_FALSE(store->contains("validated"));
    EXPECT_EQ(eventRequests(), 0u);
    EXPECT_FALSE(log().contains("ActivatePhoneSucceeded"));

    facade->registration().ActivatePhoneSucceeded(true, std::nullopt);
    ASSERT_TRUE(idle());
    EXPECT_TRUE(log().contains("QUORVELA-DEBUG: ActivatePhoneSucceeded"));
    EXPECT_EQ(stored("validated"), Value("YES"));
    EXPECT_EQ(stored("isFirstTime"), Value(false));
    EXPECT_EQ(eventRequests(), 1u);
}

TEST_F(RegistrationFlowTest, SuccessfulUnregistrationClearsTheStoresAndSubscribesAgain) {
    seedUser("alice", true);
    store->set("isFirstTime", Value(false));
    store->set("devicePushID", Value("ab"));
    store->set("Workspace-Available", Value("archive"));
    store->set("Workspace-Subscribed", Value("archive"));
    const auto available = facade->workspaces();
    const auto subscribed = facade->workspacesSubscribed();
    answer("removeAppUser", kSuccess);

    facade->unRegisterUser();
    ASSERT_TRUE(idle());

    EXPECT_TRUE(log().contains("QUORVELA-DEBUG: UnRegisterUserSucceeded"));
    EXPECT_FALSE(store->contains("clientUserID"));
    EXPECT_FALSE(store->contains("Workspace-Available"));
    EXPECT_FALSE(store->contains("Workspace-Subscribed"));
    EXPECT_EQ(stored("validated"), Value("YES"));
    EXPECT_EQ(stored("isFirstTime"), Value(false));
    EXPECT_EQ(stored("devicePushID"), Value("ab"));
    EXPECT_NE(facade->workspaces(), available);
    EXPECT_NE(facade->workspacesSubscribed(), subscribed);
    EXPECT_EQ(facade->workspaces()->size(), 0u);

    // Emptied, so initQuorvela made a new one.
    const auto device = stored("deviceUniqueID").optionalText();
    ASSERT_TRUE(device && !device->empty());
    EXPECT_NE(*device, "DEV-1");

    EXPECT_EQ(eventRequests(), 1u);  // INIT
    ASSERT_EQ(sent("iOSReg"), 1u);
    const auto requests = http().requests();
    EXPECT_TRUE(std::any_of(requests.begin(), requests.end(), [&](const std::string& request) {
        return request.rfind(url("iOSReg") + *device + "/demo%20app/ab/client-1/", 0) == 0;
    }));
}

// An unregistration that did not remove the user changes nothing and is no
// longer in flight afterwards: a later reply with none in flight removes
// whatever user is stored.
TEST_F(RegistrationFlowTest, UnregistrationOutcomesLeaveNothingInFlight) {
    const std::pair<const char*, HttpResult> replies[] = {{"refused", FakeHttpClient::reply(kFailure)},
                                                          {"unreadable", FakeHttpClient::reply("<transactionResult>")},
                                                          {"transport failure", FakeHttpClient::failure()}};
    for (const auto& [what, reply] : replies) {
        SCOPED_TRACE(what);
        store->set("deviceUniqueID", Value("DEV-1"));
        seedUser("alice", true);
        forget();
        http().answer(url("removeAppUser"), reply);
        facade->unRegisterUser();
        ASSERT_TRUE(idle());
        EXPECT_FALSE(log().contains("QUORVELA-DEBUG: UnRegisterUserSucceeded"));
        EXPECT_EQ(log().contains("QUORVELA-DEBUG: System Error"), std::string(what) == "unreadable");
        EXPECT_EQ(stored("clientUserID"), Value("alice"));
        EXPECT_EQ(stored("deviceUniqueID"), Value("DEV-1"));
        EXPECT_EQ(sent("iOSReg"), 0u);

        store->set("clientUserID", Value("carol"));
        facade->registration().UnRegisterUserSucceeded(true);
        ASSERT_TRUE(idle());
        EXPECT_FALSE(store->contains("clientUserID"));
    }
}

TEST_F(RegistrationFlowTest, ReplacingAUserKeepsTheNewIdWhateverTheReplyOrder) {
    // The unregistration reply always comes after the new id was stored; the
    // two replies race each other. Repeat to meet both orders.
    answer("removeAppUser", kSuccess);
    answer("registerUser", kSuccess);
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        store->set("clientUserID", Value("alice"));
        store->set("validated", Value("YES"));
        facade->registerWithUserID(std::string("bob"));
        ASSERT_TRUE(idle());
        EXPECT_EQ(stored("clientUserID"), Value("bob"));
        EXPECT_EQ(stored("validated"), Value("YES"));
    }
    EXPECT_EQ(sent("removeAppUser"), 20u);
    EXPECT_EQ(sent("registerUser"), 20u);
}

// The token's text is the signer's hex form (tested there); stored once, it is
// sent once.
TEST_F(RegistrationFlowTest, PushTokenIsStoredAndSubscribedOnce) {
    const std::vector<std::uint8_t> token{0xde, 0xad, 0xBE, 0x0f};
    struct Case {
        const char* name;
        std::optional<std::vector<std::uint8_t>> token;
        std::optional<std::string> text;
    };
    const std::vector<Case> cases{
        {"four bytes", token, "deadbe0f"},
        {"null", std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        store->remove("devicePushID");
        forget();
        facade->registerDeviceToken(c.token);
        ASSERT_TRUE(idle());
        EXPECT_EQ(stored("devicePushID").optionalText(), c.text);
        ASSERT_EQ(sent("iOSReg"), c.text ? 1u : 0u);
        if (c.text) {
            EXPECT_NE(http().requests().back().find("/iOSReg/DEV-1/demo%20app/" + *c.text + "/client-1/"),
                      std::string::npos);
        } else {
            EXPECT_TRUE(log().contains("QUORVELA-DEBUG: RegisterDeviceToken: Token can't be null"));
        }
    }

    // The token stored already subscribes no second time.
    http().clearRequests();
    facade->registerDeviceToken(token);
    facade->registerDeviceToken(token);
    ASSERT_TRUE(idle());
    EXPECT_EQ(sent("iOSReg"), 1u);
}

TEST_F(RegistrationFlowTest, TokenFillsAnEmptyDeviceIdentifierFirst) {
    store->set("deviceUniqueID", Value(std::string()));
    facade->registerDeviceToken(std::vector<std::uint8_t>(32, 0x01));
    ASSERT_TRUE(idle());
    const auto device = stored("deviceUniqueID").optionalText();
    ASSERT_TRUE(device && !device->empty());
    EXPECT_TRUE(log().contains("QUORVELA-DEBUG: deviceUniqueID: " + *device));
    ASSERT_EQ(sent("iOSReg"), 1u);
    EXPECT_NE(http().requests().back().find("/iOSReg/" + *device + "/"), std::string::npos);
}

TEST_F(RegistrationFlowTest, DeviceSubscriptionRepliesAreOnlyLogged) {
    for (const auto& [reply, line] : {std::pair{FakeHttpClient::reply(kSuccess), "Device: Subscriber Succeeded"},
                                      std::pair{FakeHttpClient::failure("refused"), "Device: Subscriber Error"}}) {
        SCOPED_TRACE(line);
        log().clear();
        http().answer(url("iOSReg"), reply);
        const int writes = store->writes.load();
        facade->deviceSubscriberWithUniqueID();
        ASSERT_TRUE(idle());
        EXPECT_TRUE(log().contains(std::string("QUORVELA-DEBUG: ") + line));
        EXPECT_EQ(store->writes.load(), writes);
    }
}

}  // namespace
}  // namespace quorvela::test
