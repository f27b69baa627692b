// Seeding a whole world from one file: every member reaches its store, and a
// bad entry is named by member and index with the admin API's own words.
#include <gtest/gtest.h>

#include <stdexcept>

#include "SandboxFixture.h"
#include "sandbox/MessageQueue.h"
#include "sandbox/RegionLists.h"
#include "sandbox/RegistrationStore.h"
#include "sandbox/SandboxSeed.h"
#include "sandbox/SandboxState.h"
#include "sandbox/WorkspaceSubscriptions.h"
#include "sandbox/WorkspaceTable.h"

namespace quorvela::sandbox::test {
namespace {

using SandboxSeedTest = SandboxFixture;

const char* const kWorld = R"({
  "applications": [{"appName": "Walk App", "publicId": "walk-1", "privateKey": "k", "defaultWorkspace": "main"}],
  "workspaces": [{"clientId": "main", "name": "Main", "publicKey": "k"},
                 {"clientId": "club", "name": "Club", "publicKey": "kc", "callbackURL": "https://club"}],
  "users": [{"deviceId": "dev-1", "publicId": "walk-1", "userId": "alice", "validated": true}],
  "subscriptions": [{"appName": "Walk App", "userId": "alice", "clientId": "club"}],
  "messages": [{"clientId": "main", "user": "alice", "fields": {"id": "m1", "type": "TXT_MSG", "text": "Hi"}}],
  "geofences": {"main": [{"regionId": "g1", "latitude": 52.5, "longitude": 13.4, "radius": 100}]},
  "beacons": {"club": [{"regionId": "b1", "type": "BEACON", "uuid": "U"}]}
})";

TEST_F(SandboxSeedTest, AWholeWorldReachesEveryStore) {
    SandboxState& state = sandbox.state();
    SandboxSeed::apply(state, kWorld);

    bool found = false;
    for (const auto& application : sandbox.applications())
        found = found || (application.publicId == "walk-1" && application.defaultWorkspace == "main");
    EXPECT_TRUE(found);
    EXPECT_EQ(WorkspaceTable(state).find("club")->callbackUrl, "https://club");
    ASSERT_TRUE(RegistrationStore(state.database()).user("dev-1", "walk-1"));
    EXPECT_TRUE(RegistrationStore(state.database()).user("dev-1", "walk-1")->validated);
    EXPECT_EQ(WorkspaceSubscriptions(state.database()).clientIds("Walk App", "alice"),
              std::vector<std::string>{"club"});
    auto message = MessageQueue(state).find("main", "m1");
    ASSERT_TRUE(message);
    EXPECT_EQ(message->field("text"), "Hi");
    EXPECT_NE(RegionLists(state).get("main", RegionLists::Kind::Geofences).find("\"g1\""), std::string::npos);
    EXPECT_NE(RegionLists(state).get("club", RegionLists::Kind::Beacons).find("\"b1\""), std::string::npos);
}

TEST_F(SandboxSeedTest, ABadEntryIsNamedAndWhatCameBeforeItStays) {
    const struct {
        const char* seed;
        const char* error;
    } rows[] = {
        {R"({"workspaces": [{"clientId": "a", "name": "A", "publicKey": "k"}, {"clientId": "b", "publicKey": "k"}]})",
         "workspaces[1]: \"name\" must be a non-empty text"},
        {R"({"messages": [{"clientId": "nowhere", "user": "u"}]})", "messages[0]: Unknown workspace: nowhere"},
        {R"({"geofences": {"nowhere": []}})", "geofences.nowhere: Unknown workspace: nowhere"},
        {R"({"beacons": {"a": [1]}})", "beacons.a: The body must be a JSON array of objects"},
        {R"({"users": [{"deviceId": "d", "publicId": "p", "userId": "u", "validated": "yes"}]})",
         "users[0]: \"validated\" must be true or false"},
        {R"({"workspace": []})", "Unknown member \"workspace\""},
        {R"([])", "The seed must be a JSON object"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.seed);
        try {
            SandboxSeed::apply(sandbox.state(), row.seed);
            ADD_FAILURE() << "accepted";
        } catch (const std::invalid_argument& error) {
            EXPECT_STREQ(error.what(), row.error);
        }
    }
    EXPECT_TRUE(WorkspaceTable(sandbox.state()).find("a")) << "the entry before the bad one stays";
    EXPECT_THROW(SandboxSeed::apply(sandbox.state(), "{"), std::exception);
}

}  // namespace
}  // namespace quorvela::sandbox::test
