// The C interface end to end against an in-process sandbox seeded with the
// walkthrough's world, over real HTTPS: register, ready, a push that fetches
// a message, the lists and the inbox as JSON, marking and deleting a message,
// and a close that leaves nothing running.
#include <gtest/gtest.h>

#include <future>
#include <nlohmann/json.hpp>

#include "quorvela/quorvela_c.h"
#include "sandbox/SandboxSeed.h"
#include "support/SandboxWorld.h"

namespace quorvela::test {
namespace {

using nlohmann::json;
using namespace std::chrono_literals;

struct Host {
    std::promise<void> ready;
    std::promise<quorvela_registration_t> registered;
    std::promise<quorvela_fetch_result_t> fetched;
    std::mutex mutex;
    std::vector<json> messages;

    static void onReady(void* self) { static_cast<Host*>(self)->ready.set_value(); }
    static void onMessage(void* self, const char* message, const char* clientId) {
        auto* host = static_cast<Host*>(self);
        std::lock_guard lock(host->mutex);
        auto entry = json::parse(message);
        entry["workspace"] = clientId ? clientId : "";
        host->messages.push_back(entry);
    }
    static void onRegistered(void* self, quorvela_registration_t result) {
        static_cast<Host*>(self)->registered.set_value(result);
    }
    static void onFetched(void* self, quorvela_fetch_result_t result) {
        static_cast<Host*>(self)->fetched.set_value(result);
    }
    /// Starts a call that answers in onFetched, and its result.
    template <typename Start>
    quorvela_fetch_result_t fetch(Start start) {
        fetched = {};
        auto result = fetched.get_future();
        EXPECT_EQ(start(), QUORVELA_OK);
        return result.wait_for(std::chrono::seconds(30)) == std::future_status::ready ? result.get()
                                                                                      : QUORVELA_FETCH_FAILED;
    }
};

// The JSON a call stored in `*text`, which is freed.
json taken(quorvela_status_t status, char** text) {
    EXPECT_EQ(status, QUORVELA_OK);
    json out = *text ? json::parse(*text) : json();
    quorvela_free(std::exchange(*text, nullptr));
    return out;
}

class CInterfaceSandboxTest : public SandboxWorld {
protected:
    void SetUp() override {
        startSandbox();
        sandbox::SandboxSeed::apply(sandbox.state(),
                                    readFile(std::string(QUORVELA_SOURCE_DIR) + "/examples/walkthrough/world.json"));
    }
};

TEST_F(CInterfaceSandboxTest, AHostRegistersReceivesAPushAndKeepsItsInbox) {
    const std::string bundle = std::string(QUORVELA_SOURCE_DIR) + "/examples/walkthrough/bundle";
    const std::string data = (dir.path() / "data").string();
    const std::string connectTo = sandbox.connectTo();
    const std::string caFile = sandbox.caFile().string();
    quorvela_options_t options{.bundle_dir = bundle.c_str(),
                               .data_dir = data.c_str(),
                               .connect_to = connectTo.c_str(),
                               .ca_file = caFile.c_str(),
                               .minimum_log_level = QUORVELA_LOG_WARNING};
    Host host;
    quorvela_callbacks_t callbacks{.user_data = &host, .ready = &Host::onReady, .message_received = &Host::onMessage};

    char* error = nullptr;
    quorvela_handle_t* handle = quorvela_init(&options, &callbacks, &error);
    ASSERT_NE(handle, nullptr) << error;
    ASSERT_EQ(quorvela_register_user(handle, "walker", &Host::onRegistered, &host, nullptr), QUORVELA_OK);
    auto registered = host.registered.get_future();
    ASSERT_EQ(registered.wait_for(30s), std::future_status::ready);
    EXPECT_EQ(registered.get(), QUORVELA_REGISTRATION_SUCCEEDED);
    const std::uint8_t token[] = {0xde, 0xad, 0xbe, 0xef};
    ASSERT_EQ(quorvela_set_push_token(handle, token, sizeof token, nullptr), QUORVELA_OK);
    ASSERT_EQ(host.ready.get_future().wait_for(30s), std::future_status::ready);
    ASSERT_EQ(quorvela_flush(handle, 30000, nullptr), QUORVELA_OK);

    char* text = nullptr;
    const json subscribed = taken(quorvela_subscribed_workspaces(handle, &text, nullptr), &text);
    ASSERT_FALSE(subscribed.empty());
    EXPECT_EQ(subscribed[0]["clientId"], "walk-main");
    EXPECT_FALSE(subscribed[0].contains("messages")) << "lists stay out of the workspace entries";

    EXPECT_EQ(host.fetch([&] { return quorvela_fetch_available_workspaces(handle, &Host::onFetched, &host, nullptr); }),
              QUORVELA_FETCH_NEW_DATA);
    const json available = taken(quorvela_available_workspaces(handle, &text, nullptr), &text);
    ASSERT_EQ(available.size(), 2u);
    EXPECT_EQ(available[1]["clientId"], "walk-club");
    EXPECT_EQ(
        host.fetch([&] { return quorvela_join_workspace(handle, "walk-club", &Host::onFetched, &host, nullptr); }),
        QUORVELA_FETCH_NEW_DATA);
    EXPECT_EQ(taken(quorvela_subscribed_workspaces(handle, &text, nullptr), &text).size(), 2u);

    const char* push = R"({"msgId":"w-1","type":"TXT_MSG","clientId":"walk-main"})";
    EXPECT_EQ(host.fetch([&] { return quorvela_process_push(handle, push, &Host::onFetched, &host, nullptr); }),
              QUORVELA_FETCH_NEW_DATA);
    {
        std::lock_guard lock(host.mutex);
        ASSERT_EQ(host.messages.size(), 1u) << "one call per message, not two";
        EXPECT_EQ(host.messages[0]["id"], "w-1");
        EXPECT_EQ(host.messages[0]["workspace"], "walk-main");
    }

    json inbox = taken(quorvela_inbox(handle, nullptr, &text, nullptr), &text);
    ASSERT_EQ(inbox.size(), 1u);
    EXPECT_EQ(inbox[0]["text"], "Welcome to the walk");
    ASSERT_EQ(quorvela_mark_message(handle, "walk-main", "w-1", "READ", nullptr), QUORVELA_OK);
    inbox = taken(quorvela_inbox(handle, "walk-main", &text, nullptr), &text);
    ASSERT_EQ(inbox.size(), 1u);
    EXPECT_EQ(inbox[0]["status"], "READ");
    ASSERT_EQ(quorvela_delete_message(handle, "walk-main", "w-1", nullptr), QUORVELA_OK);
    EXPECT_TRUE(taken(quorvela_inbox(handle, "walk-main", &text, nullptr), &text).empty());

    EXPECT_EQ(quorvela_close(handle, 30000, &error), QUORVELA_OK) << error;

    // A second start over the same data folder finds the inbox as it was left.
    handle = quorvela_init(&options, nullptr, &error);
    ASSERT_NE(handle, nullptr) << error;
    EXPECT_TRUE(taken(quorvela_inbox(handle, "walk-main", &text, nullptr), &text).empty());
    EXPECT_EQ(quorvela_close(handle, 30000, nullptr), QUORVELA_OK);
}

}  // namespace
}  // namespace quorvela::test
