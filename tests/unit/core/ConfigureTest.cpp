// Configuring from the bundle's file, a host's start from options (its
// delegate is set before anything can call it, and `start` says what the file
// held), and the shared instance the class operations use.
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "CoreFixture.h"
#include "core/Configuration.h"
#include "quorvela/Quorvela.h"

namespace quorvela::test {
namespace {

const std::string kMissingKeys = "Configure" + kCheckConfiguration;

using ConfigureTest = CoreFixture;

TEST_F(ConfigureTest, MissingFileChangesNothing) {
    store->set("configureQuorvela", "YES");  // from an earlier start
    store->writes = 0;                       // so a removal of the switch would show
    const auto report = facade->configureInstance();
    ASSERT_TRUE(idle());
    EXPECT_EQ(report.status, StartReport::Status::FileMissing);
    EXPECT_EQ(store->writes, 0);
    EXPECT_EQ(store->flushes, 0);
    EXPECT_TRUE(log().lines().empty());
    EXPECT_EQ(http().requests().size(), 0u);
    EXPECT_FALSE(facade->appName());
}

struct BadFile {
    const char* name;
    Value::Dictionary file;
    std::vector<std::string> missing;
};

TEST_F(ConfigureTest, MissingOrEmptyRequiredKeyLeavesLibraryUnconfigured) {
    const BadFile cases[] = {
        {"empty appName", {{"appName", ""}, {"publicKey", "c"}, {"privateKey", "k"}}, {"appName"}},
        {"missing publicKey", {{"appName", "a"}, {"privateKey", "k"}}, {"publicKey"}},
        {"privateKey not text", {{"appName", "a"}, {"publicKey", "c"}, {"privateKey", Value::Array{}}}, {"privateKey"}},
        {"only publicKey", {{"publicKey", "c"}}, {"appName", "privateKey"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        store->set("configureQuorvela", "YES");
        store->set("LoggingDisabled", true);  // the platform log ignores the switch
        int flushesBefore = store->flushes;
        forget();
        writePlist(dir, "Quorvela-Info.plist", c.file);

        const auto report = facade->configureInstance();
        ASSERT_TRUE(idle());

        EXPECT_EQ(report.status, StartReport::Status::KeysMissing);
        EXPECT_EQ(report.missingKeys, c.missing);
        EXPECT_FALSE(store->contains("configureQuorvela"));
        EXPECT_EQ(log().lines(), std::vector<std::string>{kMissingKeys});
        EXPECT_EQ(log().levelOf(kMissingKeys), LogLevel::Error);
        EXPECT_EQ(store->flushes, flushesBefore + 1);
        EXPECT_FALSE(facade->appName());
        EXPECT_FALSE(store->contains("deviceUniqueID")) << "initQuorvela must not run";
        EXPECT_EQ(http().requests().size(), 0u);
    }
}

TEST_F(ConfigureTest, GoodFileConfiguresAndStarts) {
    auto file = goodConfiguration();
    file["LoggingDisabled"] = false;
    file["locationDisabled"] = true;
    file["analyticsDisabled"] = false;
    file["maxStoredMessages"] = 25;
    writePlist(dir, "Quorvela-Info.plist", file);

    const auto report = facade->configureInstance();
    ASSERT_TRUE(idle());

    EXPECT_TRUE(report.configured());
    EXPECT_EQ(log().levelOf("Configure: completed successfully"), LogLevel::Info);
    EXPECT_EQ(log().levelOf("QUORVELA-DEBUG: "), LogLevel::Debug);
    EXPECT_EQ(facade->appName(), "demo app");
    EXPECT_EQ(facade->clientID(), "client-1");
    EXPECT_EQ(facade->apiClientPrivateKey(), "secret");
    EXPECT_EQ(stored("configureQuorvela"), Value("YES"));
    EXPECT_EQ(stored("LoggingDisabled"), Value(false));
    EXPECT_EQ(stored("locationDisabled"), Value(true));
    EXPECT_EQ(stored("analyticsDisabled"), Value(false));
    EXPECT_EQ(stored("maxStoredMessages"), Value(25));
    auto device = stored("deviceUniqueID").optionalText();
    ASSERT_TRUE(device && !device->empty());
    EXPECT_TRUE(log().contains("QUORVELA-DEBUG: deviceUniqueID: " + *device));
    ASSERT_EQ(eventRequests(), 1u);
    EXPECT_NE(http().requests()[0].find("eventtype=INIT"), std::string::npos);
    EXPECT_GE(store->flushes, 1);
}

TEST_F(ConfigureTest, LoadCredentialsNeedsConfigurationAndUsesOtherKeyNames) {
    // Hosts sometimes write a numeric id as a number: it is used as its text.
    writePlist(dir, "Other.plist", {{"appName", "other"}, {"clientID", 4711}});

    facade->loadQuorvelaCredentials("Other");
    EXPECT_FALSE(facade->appName());
    EXPECT_TRUE(log().contains("QUORVELA-DEBUG: loadQuorvelaCredentials" + kCheckConfiguration));

    store->set("configureQuorvela", "YES");
    facade->setApiClientPrivateKey("old key");
    facade->loadQuorvelaCredentials("Missing");
    EXPECT_EQ(facade->apiClientPrivateKey(), "old key") << "an unreadable file changes nothing";

    facade->loadQuorvelaCredentials("Other");
    EXPECT_EQ(facade->appName(), "other");
    EXPECT_EQ(facade->clientID(), "4711");
    EXPECT_FALSE(facade->apiClientPrivateKey()) << "a missing entry gives null";
}

TEST_F(ConfigureTest, LoadEnvironmentCopiesSwitchesWithoutGuard) {
    writePlist(dir, "Env.plist", {{"analyticsDisabled", "YES"}, {"maxStoredMessages", 7}});
    store->set("LoggingDisabled", true);

    facade->loadEnvironmentFromFile("Missing");
    EXPECT_EQ(store->flushes, 0);
    EXPECT_EQ(stored("LoggingDisabled"), Value(true));

    facade->loadEnvironmentFromFile("Env");
    EXPECT_EQ(stored("analyticsDisabled"), Value(true));
    EXPECT_EQ(stored("maxStoredMessages"), Value(7));
    EXPECT_EQ(stored("LoggingDisabled"), Value(false));
    EXPECT_EQ(stored("locationDisabled"), Value(false));
    EXPECT_EQ(store->flushes, 1);
}

using namespace std::chrono_literals;

TEST(HostStartTest, OptionsMakeAFacadeWhoseStartReportsTheFile) {
    TempDir dir;
    Quorvela::Options options;
    options.platform.dataDir = (dir.path() / "data").string();
    options.platform.bundleDir = dir.path().string();
    options.platform.http.connectTo = "127.0.0.1:9";  // nothing listens: requests fail at once
    options.delegate = std::make_shared<QuorvelaProtocol>();
    auto facade = Quorvela::create(options);
    EXPECT_EQ(facade->delegate(), options.delegate);

    // What the report says is checked with the configuration itself.
    writePlist(dir, "Quorvela-Info.plist", {{"appName", "demo"}, {"publicKey", "client-1"}});
    EXPECT_EQ(facade->start().describe(), "missing keys: privateKey");
    writePlist(dir, "Quorvela-Info.plist", {{"appName", "demo"}, {"publicKey", "client-1"}, {"privateKey", "k"}});
    EXPECT_TRUE(facade->start().configured());
    EXPECT_EQ(facade->clientID(), "client-1");
    EXPECT_TRUE(facade->close(30s));
}

// The only test of this program that touches the shared instance.
TEST(SharedInstanceTest, ConcurrentFirstCallsMakeOneInstanceOnInstalledPlatform) {
    TempDir dir;
    auto platform = makeTestPlatform(dir);
    EXPECT_FALSE(Quorvela::installPlatform(nullptr));
    ASSERT_TRUE(Quorvela::installPlatform(platform));

    constexpr int kThreads = 8;
    std::atomic<bool> go{false};
    std::vector<std::shared_ptr<Quorvela>> seen(kThreads);
    std::vector<std::thread> threads;
    for (int i = 0; i < kThreads; ++i) {
        threads.emplace_back([&, i] {
            while (!go.load()) std::this_thread::yield();
            seen[i] = Quorvela::sharedInstance();
        });
    }
    go = true;
    for (auto& thread : threads) thread.join();

    for (const auto& instance : seen) EXPECT_EQ(instance, seen[0]);
    EXPECT_EQ(seen[0]->platform(), platform);
    EXPECT_FALSE(Quorvela::installPlatform(makeTestPlatform(dir))) << "too late once the instance exists";
    EXPECT_EQ(Quorvela::sharedInstance()->platform(), platform);

    // The class operations work on that instance.
    writePlist(dir, "Quorvela-Info.plist", {{"appName", "a"}, {"publicKey", "c"}, {"privateKey", "k"}});
    fakeHttp(*platform).answer(ipEchoUrl(), FakeHttpClient::reply("198.51.100.2"));
    Quorvela::configure();
    EXPECT_EQ(seen[0]->clientID(), "c");
    EXPECT_EQ(Quorvela::getPublicIP(), "198.51.100.2");
    EXPECT_TRUE(platform->dispatcher->waitIdle(std::chrono::seconds(10)));
}

}  // namespace
}  // namespace quorvela::test
