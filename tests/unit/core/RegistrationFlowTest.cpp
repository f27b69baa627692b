#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <fmt/format.h>
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
        {"no user, not validated", std::nullopt, false, "alice", false, true, "alice", std::nullopt},
        {"no user, validated", std::nullopt, true, "alice", false, true, "alice", std::nullopt},
        {"same user, not validated", "alice", false, "alice", false, true, "alice", std::nullopt},
        {"same user, validated", "alice", true, "alice", false, false, "alice", std::nullopt},
        {"different user, validated", "alice", true, "bob", true, true, "bob", std::nullopt},
        {"different user, not validated", "alice", false, "bob", false, true, "bob", std::nullopt},
        {"empty stored user, validated", "", true, "bob", false, true, "bob", std::nullopt},
        {"empty stored user, not validated", "", false, "bob", false, true, "bob", std::nullopt},
        {"case differs", "Alice", true, "alice", true, true, "alice", std::nullopt},
        {"empty id", "alice", true, "", false, false, "alice", empty},
        {"null id", "alice", true, std::nullopt, false, false, "alice", empty},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        seedUser(row.stored, row.validated);
        http().clearRequests();
        log().clear();

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
        {"not the reply's language", FakeHttpClient::reply("<html><body>error</body>"), "carol",
         RegistrationResult::Failed},
        {"reply without a result", FakeHttpClient::reply("<other/>"), "dave", RegistrationResult::Failed},
        {"transport failure", FakeHttpClient::failure(), "erin", RegistrationResult::Failed},
        {"no user id", std::nullopt, "", RegistrationResult::Refused},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        seedUser(std::nullopt, false);
        store->remove("isFirstTime");
        http().clearRequests();
        if (row.reply) http().answer(url("registerUser"), *row.reply);
        std::vector<RegistrationResult> results;
        std::mutex mutex;
        facade->registerWithUserID(row.user, [&](RegistrationResult result) {
            std::lock_guard lock(mutex);
            results.push_back(result);
        });
        ASSERT_TRUE(idle());
        std::lock_guard lock(mutex);
        EXPECT_EQ(results, std::vector<RegistrationResult>{row.expected});
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

TEST_F(RegistrationFlowTest, ErrorRepliesAreLoggedAndChangeNothing) {
    answer("registerUser", "<transactionResult>");
    answer("removeAppUser", "<transactionResult>");
    seedUser("alice", false);
    facade->registerWithUserID(std::string("alice"));
    facade->unRegisterUser();
    ASSERT_TRUE(idle());
    EXPECT_EQ(log().count("QUORVELA-DEBUG: System Error"), 2u);
    EXPECT_EQ(stored("clientUserID"), Value("alice"));
    EXPECT_FALSE(store->contains("validated"));
    EXPECT_EQ(eventRequests(), 0u);
}

TEST_F(RegistrationFlowTest, ValidationRequiredOrActivationReplies) {
    // A successful reply that asks for validation stores nothing.
    facade->registration().RegistrationStatus(true, true, std::string("code sent"));
    EXPECT_FALSE(store->contains("validated"));

    facade->registration().ActivatePhoneSucceeded(false, std::string("wrong code"));
    facade->registration().ActivatePhoneReturnedError("System Error");
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

    // Emptied first, then filled again by initQuorvela.
    auto history = store->history("deviceUniqueID");
    ASSERT_GE(history.size(), 3u);
    EXPECT_EQ(history[history.size() - 2], Value(std::string()));
    const auto device = stored("deviceUniqueID").optionalText();
    ASSERT_TRUE(device && !device->empty());
    EXPECT_EQ(history.back(), Value(*device));

    EXPECT_EQ(eventRequests(), 1u);  // INIT
    ASSERT_EQ(sent("iOSReg"), 1u);
    const auto requests = http().requests();
    EXPECT_TRUE(std::any_of(requests.begin(), requests.end(), [&](const std::string& request) {
        return request.rfind(url("iOSReg") + *device + "/demo%20app/ab/client-1/", 0) == 0;
    }));
}

// An unregistration that did not remove the user, or that removed it, is no
// longer in flight afterwards: a later reply with none in flight removes
// whatever user is stored.
TEST_F(RegistrationFlowTest, UnregistrationOutcomesLeaveNothingInFlight) {
    struct Row {
        const char* what;
        HttpResult reply;
        bool validated;
        bool removes;
    };
    const Row rows[] = {
        {"refused", FakeHttpClient::reply(kFailure), true, false},
        {"transport failure", FakeHttpClient::failure(), false, false},
        {"accepted for the still stored user", FakeHttpClient::reply(kSuccess), false, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        store->set("deviceUniqueID", Value("DEV-1"));
        seedUser("alice", row.validated);
        http().clearRequests();
        log().clear();
        http().answer(url("removeAppUser"), row.reply);
        facade->unRegisterUser();
        ASSERT_TRUE(idle());
        EXPECT_EQ(log().contains("QUORVELA-DEBUG: UnRegisterUserSucceeded"), row.removes);
        if (row.removes) {
            EXPECT_FALSE(store->contains("clientUserID"));
        } else {
            EXPECT_EQ(stored("clientUserID"), Value("alice"));
            EXPECT_EQ(stored("deviceUniqueID"), Value("DEV-1"));
            EXPECT_EQ(sent("iOSReg"), 0u);
        }

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

TEST_F(RegistrationFlowTest, PushTokenConversion) {
    std::vector<std::uint8_t> bytes32(32);
    for (std::size_t i = 0; i < bytes32.size(); ++i) bytes32[i] = static_cast<std::uint8_t>(i * 7 + 1);
    const auto hexOf = [](const std::vector<std::uint8_t>& bytes) {
        std::string hex;
        for (auto b : bytes) hex += fmt::format("{:02x}", b);
        return hex;
    };
    const std::string hex32 = hexOf(bytes32);
    std::vector<std::uint8_t> longer = bytes32;
    longer.insert(longer.end(), {0xff, 0xee, 0xdd});

    struct Case {
        const char* name;
        std::optional<std::vector<std::uint8_t>> token;
        std::optional<std::string> text;
    };
    const std::vector<Case> cases{
        {"32 bytes", bytes32, hex32},
        {"longer: first 32 bytes", longer, hex32},
        {"shorter: the bytes there are", std::vector<std::uint8_t>{0xde, 0xad, 0xBE, 0x0f}, "deadbe0f"},
        {"null", std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        store->remove("devicePushID");
        http().clearRequests();
        log().clear();
        facade->registerDeviceToken(c.token);
        ASSERT_TRUE(idle());
        EXPECT_EQ(stored("devicePushID").optionalText(), c.text);
        EXPECT_EQ(sent("iOSReg"), c.text ? 1u : 0u);
        if (c.text) {
            EXPECT_NE(http().requests().back().find("/iOSReg/DEV-1/demo%20app/" + *c.text + "/client-1/"),
                      std::string::npos);
        } else {
            EXPECT_TRUE(log().contains("QUORVELA-DEBUG: RegisterDeviceToken: Token can't be null"));
        }
    }

    // The token stored already subscribes no second time; another one does.
    http().clearRequests();
    facade->registerDeviceToken(bytes32);
    facade->registerDeviceToken(bytes32);
    ASSERT_TRUE(idle());
    EXPECT_EQ(sent("iOSReg"), 1u);
    facade->registerDeviceToken(longer);
    ASSERT_TRUE(idle());
    EXPECT_EQ(sent("iOSReg"), 1u) << "the same first 32 bytes";
    const std::vector<std::uint8_t> other(32, 0xcd);
    facade->registerDeviceToken(other);
    ASSERT_TRUE(idle());
    EXPECT_EQ(sent("iOSReg"), 2u);
    EXPECT_EQ(stored("devicePushID"), Value(hexOf(other)));
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
    struct Case {
        HttpResult result;
        const char* line;
    };
    const std::vector<Case> cases{
        {FakeHttpClient::reply(kSuccess), "QUORVELA-DEBUG: Device: Subscriber Succeeded"},
        {FakeHttpClient::reply(kFailure), "QUORVELA-DEBUG: Device: Subscriber Succeeded"},
        {FakeHttpClient::reply("<html>"), "QUORVELA-DEBUG: Device: Subscriber Error"},
        {FakeHttpClient::failure("refused"), "QUORVELA-DEBUG: Device: Subscriber Error"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.line);
        log().clear();
        http().answer(url("iOSReg"), c.result);
        const int writes = store->writes.load();
        facade->deviceSubscriberWithUniqueID();
        ASSERT_TRUE(idle());
        EXPECT_TRUE(log().contains(c.line));
        EXPECT_EQ(store->writes.load(), writes);
    }
}

}  // namespace
}  // namespace quorvela::test
