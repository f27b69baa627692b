// What every C entry point answers for a handle it does not know and for
// arguments it cannot take: an error code with a text, never a crash.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "CHandleFixture.h"
#include "quorvela/Quorvela.h"

// UnknownStatusName.c
extern "C" const char* unknownStatusName(void);

namespace quorvela::test {
namespace {

using Call = std::function<quorvela_status_t(quorvela_handle_t*, char**)>;

struct NamedCall {
    const char* name;
    Call call;
};

// Every operation that takes a handle, with arguments it would accept.
std::vector<NamedCall> everyOperation() {
    static const std::uint8_t token[] = {1, 2};
    static char* json = nullptr;
    return {
        {"register", [](auto h, auto e) { return quorvela_register_user(h, "u", nullptr, nullptr, e); }},
        {"unregister", [](auto h, auto e) { return quorvela_unregister_user(h, nullptr, nullptr, e); }},
        {"token", [](auto h, auto e) { return quorvela_set_push_token(h, token, sizeof token, e); }},
        {"push", [](auto h, auto e) { return quorvela_process_push(h, "{}", nullptr, nullptr, e); }},
        {"event", [](auto h, auto e) { return quorvela_log_event(h, "T", nullptr, nullptr, e); }},
        {"fetch", [](auto h, auto e) { return quorvela_fetch_available_workspaces(h, nullptr, nullptr, e); }},
        {"available", [](auto h, auto e) { return quorvela_available_workspaces(h, &json, e); }},
        {"subscribed", [](auto h, auto e) { return quorvela_subscribed_workspaces(h, &json, e); }},
        {"join", [](auto h, auto e) { return quorvela_join_workspace(h, "w", nullptr, nullptr, e); }},
        {"leave", [](auto h, auto e) { return quorvela_leave_workspace(h, "w", nullptr, nullptr, e); }},
        {"inbox", [](auto h, auto e) { return quorvela_inbox(h, nullptr, &json, e); }},
        {"delete", [](auto h, auto e) { return quorvela_delete_message(h, nullptr, "m", e); }},
        {"mark", [](auto h, auto e) { return quorvela_mark_message(h, nullptr, "m", "READ", e); }},
        {"position", [](auto h, auto e) { return quorvela_set_position(h, 1.0, 2.0, 5.0, e); }},
        {"region", [](auto h, auto e) { return quorvela_report_region(h, "g", 1, e); }},
        {"wifi", [](auto h, auto e) { return quorvela_set_wifi(h, "net", nullptr, e); }},
        {"network", [](auto h, auto e) { return quorvela_notify_network_change(h, e); }},
        {"flush", [](auto h, auto e) { return quorvela_flush(h, 10, e); }},
        {"close", [](auto h, auto e) { return quorvela_close(h, 10, e); }},
    };
}

void expectRefusedEverywhere(quorvela_handle_t* handle) {
    for (const auto& [name, call] : everyOperation()) {
        char* error = nullptr;
        EXPECT_EQ(call(handle, &error), QUORVELA_ERR_CLOSED) << name;
        EXPECT_NE(takeError(error), "") << name;
        EXPECT_EQ(call(handle, nullptr), QUORVELA_ERR_CLOSED) << name << " without an error slot";
    }
}

using CArgumentsTest = CHandleFixture;

TEST_F(CArgumentsTest, UnknownNullAndClosedHandlesAreRefusedByEveryOperation) {
    expectRefusedEverywhere(nullptr);
    expectRefusedEverywhere(reinterpret_cast<quorvela_handle_t*>(std::uintptr_t{0xdead}));
    ASSERT_NE(open(), nullptr);
    auto* closed = handle;
    ASSERT_EQ(close(), QUORVELA_OK);
    expectRefusedEverywhere(closed);
}

TEST_F(CArgumentsTest, InvalidArgumentsAreAnsweredWithTheirName) {
    ASSERT_NE(open(), nullptr);
    const char* badUtf8 = "caf\xc3";
    std::uint8_t byte = 7;
    char* json = nullptr;
    const std::vector<std::pair<std::string, std::function<quorvela_status_t(char**)>>> cases = {
        {"user_id is null", [&](auto e) { return quorvela_register_user(handle, nullptr, nullptr, nullptr, e); }},
        {"user_id is empty", [&](auto e) { return quorvela_register_user(handle, "", nullptr, nullptr, e); }},
        {"token is null", [&](auto e) { return quorvela_set_push_token(handle, nullptr, 4, e); }},
        {"push token is empty", [&](auto e) { return quorvela_set_push_token(handle, &byte, 0, e); }},
        {"payload_json is not valid UTF-8",
         [&](auto e) { return quorvela_process_push(handle, "{\"a\":\"\xff\"}", nullptr, nullptr, e); }},
        {"event_type is null", [&](auto e) { return quorvela_log_event(handle, nullptr, "x", nullptr, e); }},
        {"campaign is not valid UTF-8",
         [&](auto e) { return quorvela_log_event(handle, "T", nullptr, "\xed\xa0\x80", e); }},
        {"json is null", [&](auto e) { return quorvela_available_workspaces(handle, nullptr, e); }},
        {"json is null", [&](auto e) { return quorvela_inbox(handle, nullptr, nullptr, e); }},
        {"client_id is null", [&](auto e) { return quorvela_join_workspace(handle, nullptr, nullptr, nullptr, e); }},
        {"client_id is not valid UTF-8", [&](auto e) { return quorvela_inbox(handle, badUtf8, &json, e); }},
        {"message_id is null", [&](auto e) { return quorvela_delete_message(handle, nullptr, nullptr, e); }},
        {"status is null", [&](auto e) { return quorvela_mark_message(handle, nullptr, "m", nullptr, e); }},
        {"not on the globe", [&](auto e) { return quorvela_set_position(handle, NAN, 2.0, 5.0, e); }},
        {"not on the globe", [&](auto e) { return quorvela_set_position(handle, 91.0, 2.0, 5.0, e); }},
        {"accuracy is negative", [&](auto e) { return quorvela_set_position(handle, 1.0, 2.0, -1.0, e); }},
        {"region_id is null", [&](auto e) { return quorvela_report_region(handle, nullptr, 1, e); }},
        {"bssid is not valid UTF-8", [&](auto e) { return quorvela_set_wifi(handle, "n", badUtf8, e); }},
        {"timeout_ms is negative", [&](auto e) { return quorvela_flush(handle, -1, e); }},
        {"timeout_ms is negative", [&](auto e) { return quorvela_close(handle, -1, e); }},
    };
    for (const auto& [expected, call] : cases) {
        char* error = nullptr;
        EXPECT_EQ(call(&error), QUORVELA_ERR_INVALID_ARGUMENT) << expected;
        EXPECT_NE(takeError(error).find(expected), std::string::npos) << expected;
    }
    EXPECT_EQ(json, nullptr);
    // The handle survived every refusal.
    EXPECT_TRUE(flush());
}

TEST_F(CArgumentsTest, LookupsOfMissingThingsAnswerNotFoundAndLeaveTheOutputNull) {
    ASSERT_NE(open(), nullptr);
    char* json = reinterpret_cast<char*>(&json);  // must be overwritten
    char* error = nullptr;
    EXPECT_EQ(quorvela_inbox(handle, "nobody", &json, &error), QUORVELA_ERR_NOT_FOUND);
    EXPECT_EQ(takeError(error), "no subscribed workspace nobody");
    EXPECT_EQ(quorvela_join_workspace(handle, "nobody", &CallbackLog::onFetch, &log, nullptr), QUORVELA_ERR_NOT_FOUND);
    EXPECT_EQ(quorvela_delete_message(handle, nullptr, "m-1", nullptr), QUORVELA_ERR_NOT_FOUND);
    ASSERT_TRUE(flush());
    EXPECT_TRUE(log.of("fetch").empty()) << "a refused join has no completion";
}

TEST_F(CArgumentsTest, ManualInputsAreRefusedWhenTheSourcesAreThePlatforms) {
    ASSERT_NE(open(false), nullptr);
    EXPECT_EQ(quorvela_set_position(handle, 1.0, 2.0, 5.0, nullptr), QUORVELA_ERR_UNSUPPORTED);
    EXPECT_EQ(quorvela_report_region(handle, "g", 1, nullptr), QUORVELA_ERR_UNSUPPORTED);
    EXPECT_EQ(quorvela_set_wifi(handle, "n", nullptr, nullptr), QUORVELA_ERR_UNSUPPORTED);
}

TEST(CStatusNames, EveryStatusHasItsOwnName) {
    std::set<std::string> names;
    for (int status = QUORVELA_OK; status <= QUORVELA_ERR_INTERNAL; ++status)
        names.insert(quorvela_status_name(static_cast<quorvela_status_t>(status)));
    EXPECT_EQ(names.size(), static_cast<std::size_t>(QUORVELA_ERR_INTERNAL + 1));
    EXPECT_FALSE(names.count("unknown status"));
    EXPECT_STREQ(unknownStatusName(), "unknown status");
    EXPECT_STREQ(quorvela_version(), Quorvela::getSDKVersionString().c_str());
}

}  // namespace
}  // namespace quorvela::test
