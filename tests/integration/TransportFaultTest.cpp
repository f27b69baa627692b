// Faults at the transport, through the real HTTP client and the library's
// loaders: a refused connection, a reset in the middle of the body, a
// certificate nobody trusts, a body over the cap, a reply that never ends and
// a connection the sandbox drops. Each operation ends in its error path
// (error callback, then completion 2), what was stored before is still there
// in memory and on disk, nothing outlives the time-out, and the library works
// again once the service behaves.
#include <gtest/gtest.h>

#include <map>

#include "platform/CurlHttpClient.h"
#include "quorvela/Geofence.h"
#include "sandbox/CertificateAuthority.h"
#include "sandbox/EndpointFaults.h"
#include "sandbox/RegionLists.h"
#include "support/CappedTimeoutHttpClient.h"
#include "support/MisbehavingServer.h"
#include "support/SandboxWorld.h"

namespace quorvela::test {
namespace {

using namespace std::chrono_literals;
using Behaviour = MisbehavingServer::Behaviour;

// The transfer time-out for the reply that never ends (the library asks for
// 300 s), and a roomy one for the faults that must end on their own, so a busy
// machine cannot turn them into time-outs.
constexpr std::chrono::milliseconds kShortTimeout = 1500ms;
constexpr std::chrono::milliseconds kRoomyTimeout = 20s;
// Bound for waiting until idle: far above both, so only a hang trips it.
constexpr auto kIdleBound = 60s;
// A complete, well-formed reply: should a fault not bite, "m-injected" would
// show up in the inbox and the checks below would catch it.
const std::string kReplyBody =
    "<messages><message><id>m-injected</id><clientId>ws-1</clientId><subject>should never arrive</subject>"
    "</message></messages>";

std::vector<std::string> ids(const std::vector<std::shared_ptr<Message>>& messages) {
    std::vector<std::string> out;
    for (const auto& m : messages) out.push_back(m->id().value_or("?"));
    return out;
}

class TransportFaultTest : public SandboxWorld {
protected:
    void SetUp() override {
        SandboxWorld::SetUp();
        addWorkspace("ws-1", "Shop", "ws-key");
        sandbox::RegionLists(sandbox.state())
            .set("ws-1", sandbox::RegionLists::Kind::Geofences,
                 R"([{"regionId":"g1","latitude":10.5,"longitude":-66.9,"radius":150}])");
        for (int i = 1; i <= 7; ++i) queueMessage("ws-1", "m" + std::to_string(i), "subject");

        startConfigured();
        goodHttp = platform->http;
        facade->setMaxStoredMessages(7);
        facade->setGetLocationDisabled(true);
        ws = makeWorkspace("ws-1", "ws-key");
        ws->setDelegate(std::make_shared<RecordingDelegate>(calls));

        // What a fault must not take away: a message in the inbox and the
        // workspace's geofences, stored through the ordinary paths.
        ws->fetchMessageWithID(std::string("m1"), calls.completion("seed"));
        ws->synchronize();
        ASSERT_TRUE(idle(kIdleBound));
        ASSERT_EQ(calls.takeSorted(), (std::vector<std::string>{"push m1", "seed 0", "synchronised"}));
        ASSERT_EQ(ids(ws->getMessages()), std::vector<std::string>{"m1"});
        ASSERT_EQ(ws->getGeofences().size(), 1u);
        ASSERT_TRUE(platform->keyValueStore->synchronize());
    }
    void TearDown() override {
        if (platform) platform->http = goodHttp;
        SandboxWorld::TearDown();
    }

    /// The real client, sent to `connectTo`, trusting the sandbox's CA, with
    /// transfers cut to `timeout`.
    std::shared_ptr<HttpClient> clientTo(const std::string& connectTo, std::chrono::milliseconds timeout) {
        HttpClientOptions options = sandbox.httpOptions();
        options.connectTo = connectTo;
        return std::make_shared<CappedTimeoutHttpClient>(
            std::make_shared<CurlHttpClient>(options, platform->dispatcher), timeout);
    }

    /// Everything a fault must leave alone, as stored.
    std::map<std::string, Value> storedState(KeyValueStore& store) const {
        std::map<std::string, Value> out;
        for (const std::string& key :
             {ws->messagesStoreKey(), ws->geofencesStoreKey(), std::string("maxStoredMessages"),
              std::string("locationDisabled"), std::string("clientUserID"), std::string("deviceUniqueID")})
            out[key] = store.get(key);
        return out;
    }

    /// Starts every operation under test at once: the pending messages under
    /// the facade's credentials (HttpRequest) and under the workspace's key
    /// (shared session), a single message into the inbox, and a
    /// synchronisation (geofences and beacons).
    void startOperations() {
        const ClientCredentials credentials{appName, clientId, privateKey};
        auto facadeLoader = PendingMessageDataLoader::create(platform, credentials);
        facadeLoader->setDelegate(std::make_shared<RecordingDelegate>(calls, "facade pending"));
        facadeLoader->startLoadingMessageWithCompletionHandler(calls.completion("facade pending"));
        auto workspaceLoader = PendingMessageDataLoader::create(platform, credentials);
        workspaceLoader->setDelegate(std::make_shared<RecordingDelegate>(calls, "workspace pending"));
        workspaceLoader->startLoadingMessageFromWorkspace(ws, calls.completion("workspace pending"));
        ws->fetchMessageWithID(std::string("m-injected"), calls.completion("single"));
        ws->synchronize();
    }

    std::shared_ptr<HttpClient> goodHttp;
    std::shared_ptr<WorkspaceRecord> ws;
};

TEST_F(TransportFaultTest, EveryFaultEndsInTheErrorPathAndLosesNothing) {
    const auto trusted = sandbox::CertificateAuthority::ensure(dir.path() / "sandbox" / "tls");
    const auto stranger = sandbox::CertificateAuthority::ensure(dir.path() / "stranger");
    const std::vector<std::string> restOperations{"getPendingMessages", "getMessage", "getGeoFences", "getBeacons"};

    struct Case {
        std::string name;
        std::function<std::unique_ptr<MisbehavingServer>()> server;  ///< null: the sandbox with its "drop" fault
        std::string logFragment;  ///< part of the transport's error text in the debug log
        std::chrono::milliseconds timeout = kRoomyTimeout;
    };
    auto serve = [&](Behaviour behaviour, const sandbox::CertificateAuthority::Files& files, std::size_t size = 0) {
        return [=, &files] {
            return std::make_unique<MisbehavingServer>(behaviour, kReplyBody, files.certFile.string(),
                                                       files.keyFile.string(), size);
        };
    };
    const std::vector<Case> cases{
        {"connection refused", serve(Behaviour::RefuseConnections, trusted), "Couldn't connect"},
        {"reset mid-body", serve(Behaviour::ResetMidBody, trusted), ""},
        {"untrusted certificate", serve(Behaviour::CompleteReply, stranger), "certificate"},
        {"20 MiB body", serve(Behaviour::Oversized, trusted, 20u * 1024u * 1024u), "exceeds 16777216 bytes"},
        {"reply never ends", serve(Behaviour::NeverEnd, trusted), "timed out", kShortTimeout},
        {"sandbox drops the connection", nullptr, ""},
    };

    int nextMessage = 2;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto before = storedState(*platform->keyValueStore);
        const auto inboxBefore = ids(ws->getMessages());
        log().clear();

        std::unique_ptr<MisbehavingServer> server = c.server ? c.server() : nullptr;
        if (server) {
            platform->http = clientTo(server->connectTo(), c.timeout);
        } else {
            for (const auto& operation : restOperations)
                sandbox::EndpointFaults(sandbox.state()).set(operation, std::string("drop"));
            platform->http = clientTo(sandbox.connectTo(), c.timeout);
        }

        startOperations();
        // Every operation ends by itself or at its time-out; a hang trips the bound.
        ASSERT_TRUE(idle(kIdleBound));

        EXPECT_EQ(calls.takeSorted(),
                  (std::vector<std::string>{"facade pending 2", "facade pending error", "single 2", "synchronised",
                                            "workspace pending 2", "workspace pending error"}));
        EXPECT_EQ(ids(ws->getMessages()), inboxBefore);
        EXPECT_EQ(ws->getGeofences().size(), 1u);
        EXPECT_TRUE(ws->isSynchronized());
        EXPECT_EQ(storedState(*platform->keyValueStore), before);
        if (!c.logFragment.empty())
            EXPECT_TRUE(log().contains(c.logFragment)) << "no log line mentions \"" << c.logFragment << "\":\n"
                                                       << ::testing::PrintToString(log().lines());
        if (server && c.name != "connection refused") EXPECT_GE(server->connections(), 1);
        server.reset();  // ends whatever it still holds open

        // The same state, read back from disk by a store of its own.
        {
            auto reopened = makePlatform();
            EXPECT_EQ(storedState(*reopened->keyValueStore), before);
            auto again = WorkspaceRecord::create(reopened);
            again->setClientId("ws-1");
            EXPECT_EQ(ids(again->loadMessage()), inboxBefore);
            EXPECT_EQ(again->loadGeofence().size(), 1u);
            reopened->dispatcher->waitIdle(kIdleBound);
        }

        // Once the service behaves, the next fetch goes through as usual.
        for (const auto& operation : restOperations)
            sandbox::EndpointFaults(sandbox.state()).set(operation, std::nullopt);
        platform->http = goodHttp;
        const std::string id = "m" + std::to_string(nextMessage++);
        ws->fetchMessageWithID(id, calls.completion("recovery"));
        ASSERT_TRUE(idle(kIdleBound));
        EXPECT_EQ(calls.takeSorted(), (std::vector<std::string>{"push " + id, "recovery 0"}));
        EXPECT_EQ(ws->getMessages().size(), inboxBefore.size() + 1);
    }
}

}  // namespace
}  // namespace quorvela::test
