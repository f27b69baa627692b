// The sandbox's push outbox: pushes addressed by the token a device
// registered, collected once, and pushes that announce a queued message; both
// in C++ and through the admin API.
#include <set>
#include <thread>

#include "SandboxFixture.h"
#include "sandbox/MessageQueue.h"
#include "sandbox/PushOutbox.h"
#include "sandbox/RegistrationStore.h"
#include "sandbox/SandboxState.h"
#include "sandbox/WorkspaceTable.h"

namespace quorvela::sandbox::test {
namespace {

class PushOutboxTest : public SandboxFixture {
protected:
    void SetUp() override {
        SandboxFixture::SetUp();
        RegistrationStore registrations(sandbox.state().database());
        registrations.putDevice(DeviceToken{"DEV-1", kPublicId, "aabbcc"});
        registrations.putDevice(DeviceToken{"DEV-2", kPublicId, "ddeeff"});
        registrations.putUser(AppUser{"DEV-1", kPublicId, "alice", true});
        WorkspaceTable(sandbox.state()).put(SandboxWorkspace{"ws-1", "News", "key-1", std::nullopt});
    }

    PushOutbox outbox() { return PushOutbox(sandbox.state()); }

    httplib::Result post(const std::string& path, const std::string& body) {
        return admin().Post(path.c_str(), body, "application/json");
    }
};

TEST_F(PushOutboxTest, BadPushesAreRefused) {
    const std::vector<std::pair<std::string, std::string>> bad{
        {"123456", R"({"msgId":"1"})"},  // no device has it
        {"aabbcc", "[1,2]"},
        {"aabbcc", "not json"},
    };
    for (const auto& [token, payload] : bad) {
        SCOPED_TRACE(token + " " + payload);
        EXPECT_THROW(outbox().send(token, payload), std::invalid_argument);
    }
    EXPECT_TRUE(outbox().all().empty());
}

TEST_F(PushOutboxTest, ConcurrentCollectorsNeverShareAPush) {
    constexpr int kPushes = 200;
    for (int i = 0; i < kPushes; ++i) outbox().send("aabbcc", json{{"msgId", std::to_string(i)}}.dump());
    std::mutex mutex;
    std::multiset<std::int64_t> seen;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int round = 0; round < 50; ++round) {
                auto taken = PushOutbox(sandbox.state()).takeUndelivered("aabbcc");
                std::lock_guard lock(mutex);
                for (const auto& push : taken) seen.insert(push.id);
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(seen.size(), static_cast<std::size_t>(kPushes));
    EXPECT_EQ(std::set<std::int64_t>(seen.begin(), seen.end()).size(), static_cast<std::size_t>(kPushes));
}

TEST_F(PushOutboxTest, AnnouncedMessageIsQueuedForTheRegisteredUser) {
    auto push = outbox().announce("aabbcc", "ws-1", std::nullopt, {{"id", "m-7"}, {"subject", "Spring"}},
                                  R"({"aps":{"content-available":1},"type":"TXT_MSG"})");
    const json payload = json::parse(push.payload);
    EXPECT_EQ(payload, json::parse(R"({"msgId":"m-7","type":"TXT_MSG","clientId":"ws-1","subject":"Spring",
                                       "aps":{"content-available":1}})"));
    auto queued = MessageQueue(sandbox.state()).find("ws-1", "m-7");
    ASSERT_TRUE(queued);
    EXPECT_EQ(queued->user, "alice");

    // Unknown workspace or token: nothing is queued.
    EXPECT_THROW(outbox().announce("aabbcc", "ws-x", std::nullopt, {{"id", "m-8"}}), std::invalid_argument);
    EXPECT_THROW(outbox().announce("999999", "ws-1", std::nullopt, {{"id", "m-9"}}), std::invalid_argument);
    EXPECT_EQ(MessageQueue(sandbox.state()).all().size(), 1u);
    EXPECT_EQ(outbox().all().size(), 1u);
}

// Pushes are collected per device, once and in order; tokens match whatever their case.
TEST_F(PushOutboxTest, AdminRoutes) {
    auto sent = post("/pushes", R"({"token":"AABBCC","payload":{"msgId":"1","type":"TXT_MSG","clientId":"ws-1"}})");
    ASSERT_TRUE(sent);
    EXPECT_EQ(sent->status, 201);
    const json push = json::parse(sent->body);
    EXPECT_EQ(push["token"], "aabbcc");
    EXPECT_EQ(push["deviceId"], "DEV-1");
    EXPECT_EQ(push["publicId"], kPublicId);
    outbox().send("ddeeff", R"({"msgId":"other"})");
    auto announced = post("/pushes", R"({"token":"aabbcc","message":{"clientId":"ws-1","user":"bob",
                                         "fields":{"id":"m-2","text":"hi"}}})");
    ASSERT_TRUE(announced);
    EXPECT_EQ(announced->status, 201) << announced->body;
    EXPECT_EQ(json::parse(announced->body)["payload"]["msgId"], "m-2");

    for (const char* body :
         {R"({"token":"nope","payload":{}})", R"({"token":"aabbcc","payload":[1]})", R"({"token":"aabbcc"})",
          R"({"payload":{}})", "garbage", R"({"token":"aabbcc","message":{"clientId":"ws-x"}})"})
        EXPECT_EQ(adminPost("/pushes", body), 400) << body;

    EXPECT_EQ(adminJson("/pushes?token=aabbcc").size(), 2u) << "looking marks nothing";
    auto taken = post("/pushes/take", R"({"token":"aabbcc"})");
    ASSERT_TRUE(taken);
    const json takenJson = json::parse(taken->body);
    ASSERT_EQ(takenJson.size(), 2u);
    EXPECT_EQ(takenJson[0]["payload"]["msgId"], "1");
    EXPECT_EQ(takenJson[1]["payload"]["msgId"], "m-2");
    EXPECT_EQ(takenJson[1]["delivered"], true);
    EXPECT_EQ(json::parse(post("/pushes/take", R"({"token":"aabbcc"})")->body).size(), 0u);
    // The other device's push is still waiting.
    EXPECT_EQ(outbox().takeUndelivered("DDEEFF").size(), 1u);

    EXPECT_EQ(adminJson("/pushes").size(), 3u);
    ASSERT_TRUE(admin().Delete("/pushes"));
    EXPECT_TRUE(outbox().all().empty());
}

}  // namespace
}  // namespace quorvela::sandbox::test
