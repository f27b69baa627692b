// Faults at the transport, through the real HTTP client and the library's
// loaders: a refused connection, a reset in the middle of the body, a
// certificate nobody trusts, a body over the cap, a reply that never ends and
// a connection the sandbox drops. Each operation ends in its error path
// (error callback, then completion 2), what was stored before is still there
// in memory and on disk, nothing outlives the time-out, and the library works
// again once the service behaves.
#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "core/QuorvelaCore.h"
#include "model/WorkspaceProtocol.h"
#include "model/WorkspaceRecord.h"
#include "platform/CurlHttpClient.h"
#include "protocol/PendingMessageDataLoader.h"
#include "quorvela/Geofence.h"
#include "quorvela/Message.h"
#include "sandbox/CertificateAuthority.h"
#include "sandbox/EndpointFaults.h"
#include "sandbox/Sandbox.h"
#include "support/CappedTimeoutHttpClient.h"
#include "support/MisbehavingServer.h"
#include "support/SandboxAdminClient.h"
#include "support/TestPlatform.h"

namespace quorvela::test {
namespace {

using namespace std::chrono_literals;
using nlohmann::json;
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

class Recorder {
public:
    void add(const std::string& event) {
        std::lock_guard lock(mutex_);
        events_.push_back(event);
    }
    std::vector<std::string> takeSorted() {
        std::lock_guard lock(mutex_);
        auto out = std::exchange(events_, {});
        std::sort(out.begin(), out.end());
        return out;
    }
    std::function<void(unsigned long)> completion(const std::string& name) {
        return [this, name](unsigned long result) { add(name + " done " + std::to_string(result)); };
    }

private:
    std::mutex mutex_;
    std::vector<std::string> events_;
};

class PendingEvents : public PendingMessageDataLoaderDelegate {
public:
    PendingEvents(Recorder& recorder, std::string name) : recorder_(recorder), name_(std::move(name)) {}
    void pendingMessagesRetrieved(const std::vector<std::shared_ptr<Message>>& list,
                                  std::optional<std::int64_t>) override {
        recorder_.add(name_ + " messages " + std::to_string(list.size()));
    }
    void pendingMessagesRetrievedError(const std::string& error) override {
        recorder_.add(name_ + (error.empty() ? " error without text" : " error"));
    }

private:
    Recorder& recorder_;
    std::string name_;
};

class WorkspaceEvents : public WorkspaceProtocol {
public:
    explicit WorkspaceEvents(Recorder& recorder) : recorder_(recorder) {}
    void synchronicedWorkspace(const std::shared_ptr<WorkspaceRecord>&) override { recorder_.add("synchronised"); }
    void pushReceived(const std::shared_ptr<Message>& m, const std::shared_ptr<WorkspaceRecord>&) override {
        recorder_.add("push " + m->id().value_or("?"));
    }

private:
    Recorder& recorder_;
};

std::vector<std::string> ids(const std::vector<std::shared_ptr<Message>>& messages) {
    std::vector<std::string> out;
    for (const auto& m : messages) out.push_back(m->id().value_or("?"));
    return out;
}

class TransportFaultTest : public ::testing::Test {
protected:
    void SetUp() override {
        sandbox::SandboxOptions options;
        options.dataDir = dir.path() / "sandbox";
        sandbox.start(options);
        sandbox.createApplication("demo app", "client-1", "secret");
        admin = quorvela::test::sandboxAdminClient(sandbox);
        post("/workspaces", {{"clientId", "ws-1"}, {"name", "Shop"}, {"publicKey", "ws-key"}});
        auto geofences = admin->Put("/workspaces/ws-1/geofences",
                                    R"([{"regionId":"g1","latitude":10.5,"longitude":-66.9,"radius":150}])",
                                    "application/json");
        ASSERT_TRUE(geofences && geofences->status == 200);
        for (int i = 1; i <= 7; ++i) queue("m" + std::to_string(i));

        platform = makePlatform();
        goodHttp = platform->http;
        platform->keyValueStore->set("deviceUniqueID", Value("DEVICE-1"));
        platform->keyValueStore->set("clientUserID", Value("user-7"));
        facade = QuorvelaCore::create(platform);
        facade->setMaxStoredMessages(7);
        facade->setGetLocationDisabled(true);

        ws = WorkspaceRecord::create(platform);
        ws->setClientId("ws-1");
        ws->setPublicKey("ws-key");
        ws->setAppNameSource([] { return std::optional<std::string>("demo app"); });
        ws->setDelegate(workspaceEvents);

        // What a fault must not take away: a message in the inbox and the
        // workspace's geofences, stored through the ordinary paths.
        ws->fetchMessageWithID(std::string("m1"), recorder.completion("seed"));
        ws->synchronize();
        ASSERT_TRUE(platform->dispatcher->waitIdle(kIdleBound));
        ASSERT_EQ(recorder.takeSorted(), (std::vector<std::string>{"push m1", "seed done 0", "synchronised"}));
        ASSERT_EQ(ids(ws->getMessages()), std::vector<std::string>{"m1"});
        ASSERT_EQ(ws->getGeofences().size(), 1u);
        ASSERT_TRUE(platform->keyValueStore->synchronize());
    }

    void TearDown() override {
        if (platform) {
            platform->http = goodHttp;
            platform->dispatcher->waitIdle(kIdleBound);
        }
    }

    std::shared_ptr<Platform> makePlatform() {
        PlatformOptions options;
        options.dataDir = (dir.path() / "data").string();
        options.bundleDir = (dir.path() / "bundle").string();
        options.http = sandbox.httpOptions();
        auto made = Platform::makeDefault(options);
        made->systemLog = std::make_shared<CapturingLog>();
        return made;
    }

    /// The real client, sent to `connectTo`, trusting the sandbox's CA, with
    /// transfers cut to `timeout`.
    std::shared_ptr<HttpClient> clientTo(const std::string& connectTo, std::chrono::milliseconds timeout) {
        HttpClientOptions options = sandbox.httpOptions();
        options.connectTo = connectTo;
        return std::make_shared<CappedTimeoutHttpClient>(
            std::make_shared<CurlHttpClient>(options, platform->dispatcher), timeout);
    }

    void post(const std::string& path, const json& body) {
        auto reply = admin->Post(path.c_str(), body.dump(), "application/json");
        ASSERT_TRUE(reply);
        ASSERT_EQ(reply->status, 201) << reply->body;
    }
    void queue(const std::string& id) {
        post("/messages", {{"clientId", "ws-1"}, {"user", "user-7"}, {"fields", {{"id", id}, {"subject", id}}}});
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
        auto facadeLoader = PendingMessageDataLoader::create(platform,
                                                             ClientCredentials{"demo app", "client-1", "secret"});
        facadeLoader->setDelegate(std::make_shared<PendingEvents>(recorder, "facade pending"));
        facadeLoader->startLoadingMessageWithCompletionHandler(recorder.completion("facade pending"));
        auto workspaceLoader = PendingMessageDataLoader::create(platform,
                                                                ClientCredentials{"demo app", "client-1", "secret"});
        workspaceLoader->setDelegate(std::make_shared<PendingEvents>(recorder, "workspace pending"));
        workspaceLoader->startLoadingMessageFromWorkspace(ws, recorder.completion("workspace pending"));
        ws->fetchMessageWithID(std::string("m-injected"), recorder.completion("single"));
        ws->synchronize();
    }

    TempDir dir;
    sandbox::Sandbox sandbox;
    std::unique_ptr<httplib::Client> admin;
    std::shared_ptr<Platform> platform;
    std::shared_ptr<HttpClient> goodHttp;
    std::shared_ptr<QuorvelaCore> facade;
    std::shared_ptr<WorkspaceRecord> ws;
    Recorder recorder;
    std::shared_ptr<WorkspaceEvents> workspaceEvents = std::make_shared<WorkspaceEvents>(recorder);
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
        capturingLog(*platform).clear();

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
        ASSERT_TRUE(platform->dispatcher->waitIdle(kIdleBound));

        EXPECT_EQ(recorder.takeSorted(),
                  (std::vector<std::string>{"facade pending done 2", "facade pending error", "single done 2",
                                            "synchronised", "workspace pending done 2", "workspace pending error"}));
        EXPECT_EQ(ids(ws->getMessages()), inboxBefore);
        EXPECT_EQ(ws->getGeofences().size(), 1u);
        EXPECT_TRUE(ws->isSynchronized());
        EXPECT_EQ(storedState(*platform->keyValueStore), before);
        if (!c.logFragment.empty()) {
            const auto lines = capturingLog(*platform).lines();
            EXPECT_TRUE(
                std::any_of(lines.begin(), lines.end(),
                            [&](const std::string& line) { return line.find(c.logFragment) != std::string::npos; }))
                << "no log line mentions \"" << c.logFragment << "\":\n"
                << ::testing::PrintToString(lines);
        }
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
        ws->fetchMessageWithID(id, recorder.completion("recovery"));
        ASSERT_TRUE(platform->dispatcher->waitIdle(kIdleBound));
        EXPECT_EQ(recorder.takeSorted(), (std::vector<std::string>{"push " + id, "recovery done 0"}));
        EXPECT_EQ(ws->getMessages().size(), inboxBefore.size() + 1);
    }
}

// The control for the cases above: the same reply from the same kind of
// server with the trusted certificate goes through, so what failed there was
// the fault and nothing else.
TEST_F(TransportFaultTest, TheSameReplyFromATrustedServerGoesThrough) {
    const auto trusted = sandbox::CertificateAuthority::ensure(dir.path() / "sandbox" / "tls");
    MisbehavingServer server(Behaviour::CompleteReply, kReplyBody, trusted.certFile.string(), trusted.keyFile.string());
    platform->http = clientTo(server.connectTo(), kRoomyTimeout);
    ws->fetchMessageWithID(std::string("m-injected"), recorder.completion("single"));
    ASSERT_TRUE(platform->dispatcher->waitIdle(kIdleBound));
    EXPECT_EQ(recorder.takeSorted(), (std::vector<std::string>{"push m-injected", "single done 0"}));
    EXPECT_EQ(ws->getMessages().size(), 2u);
    EXPECT_GE(server.connections(), 1);
}

}  // namespace
}  // namespace quorvela::test
