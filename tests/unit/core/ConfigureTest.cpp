#include "CoreFixture.h"
#include "core/Configuration.h"

namespace quorvela::test {
namespace {

const std::string kMissingKeys = "Configure" + kCheckConfiguration;

using ConfigureTest = CoreFixture;

TEST_F(ConfigureTest, MissingFileChangesNothing) {
    store->set("configureQuorvela", "YES");  // from an earlier start
    store->writes = 0;
    const auto report = facade->configureInstance();
    ASSERT_TRUE(idle());
    EXPECT_EQ(report.status, StartReport::Status::FileMissing);
    EXPECT_FALSE(report.configured());
    EXPECT_EQ(store->writes, 0);
    EXPECT_EQ(store->flushes, 0);
    EXPECT_TRUE(log().lines().empty());
    EXPECT_EQ(stored("configureQuorvela"), Value("YES"));
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
        {"empty privateKey", {{"appName", "a"}, {"publicKey", "c"}, {"privateKey", ""}}, {"privateKey"}},
        {"privateKey not text", {{"appName", "a"}, {"publicKey", "c"}, {"privateKey", Value::Array{}}}, {"privateKey"}},
        {"only publicKey", {{"publicKey", "c"}}, {"appName", "privateKey"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        store->set("configureQuorvela", "YES");
        store->set("LoggingDisabled", true);  // the platform log ignores the switch
        int flushesBefore = store->flushes;
        log().clear();
        http().clearRequests();
        writeConfiguration(c.file);

        const auto report = facade->configureInstance();
        ASSERT_TRUE(idle());

        EXPECT_EQ(report.status, StartReport::Status::KeysMissing);
        EXPECT_EQ(report.missingKeys, c.missing);
        EXPECT_EQ(report.describe().rfind("missing keys:", 0), 0u) << report.describe();
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
    writeConfiguration(file);

    const auto report = facade->configureInstance();
    ASSERT_TRUE(idle());

    EXPECT_TRUE(report.configured());
    EXPECT_EQ(log().levelOf("Configure: completed successfully"), LogLevel::Info);
    EXPECT_EQ(log().levelOf("QUORVELA-DEBUG: "), LogLevel::Debug);
    EXPECT_TRUE(report.missingKeys.empty());
    EXPECT_EQ(facade->appName(), "demo app");
    EXPECT_EQ(facade->clientID(), "client-1");
    EXPECT_EQ(facade->apiClientPrivateKey(), "secret");
    EXPECT_EQ(stored("configureQuorvela"), Value("YES"));
    EXPECT_EQ(stored("LoggingDisabled"), Value(false));
    EXPECT_EQ(stored("locationDisabled"), Value(true));
    EXPECT_EQ(stored("analyticsDisabled"), Value(false));
    EXPECT_EQ(stored("maxStoredMessages"), Value(25));
    EXPECT_TRUE(log().contains("Configure: completed successfully"));
    auto device = stored("deviceUniqueID").optionalText();
    ASSERT_TRUE(device && !device->empty());
    EXPECT_TRUE(log().contains("QUORVELA-DEBUG: deviceUniqueID: " + *device));
    ASSERT_EQ(eventRequests(), 1u);
    EXPECT_NE(http().requests()[0].find("eventtype=INIT"), std::string::npos);
    EXPECT_NE(http().requests()[0].find("client=client-1"), std::string::npos);
    EXPECT_GE(store->flushes, 1);
}

TEST_F(ConfigureTest, MissingSwitchesOverwriteEarlierValues) {
    store->set("maxStoredMessages", 40);
    store->set("LoggingDisabled", true);
    store->set("analyticsDisabled", true);
    writeConfiguration(goodConfiguration());

    facade->configureInstance();
    ASSERT_TRUE(idle());

    EXPECT_EQ(stored("maxStoredMessages"), Value(0));
    EXPECT_EQ(stored("LoggingDisabled"), Value(false));
    EXPECT_EQ(stored("analyticsDisabled"), Value(false));
    EXPECT_EQ(stored("locationDisabled"), Value(false));
}

TEST_F(ConfigureTest, SwitchesUseLenientConversions) {
    struct Case {
        Value entry;
        bool expected;
    };
    const Case cases[] = {{Value(true), true},   {Value("YES"), true}, {Value("1"), true},  {Value(1), true},
                          {Value(2.5), true},    {Value("NO"), false}, {Value("0"), false}, {Value(0), false},
                          {Value(false), false}, {Value("yes"), true}, {Value(""), false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.entry.describe());
        auto file = goodConfiguration();
        file["analyticsDisabled"] = c.entry;
        file["locationDisabled"] = c.entry;
        file["maxStoredMessages"] = Value(" 12abc");
        writeConfiguration(file);
        facade->configureInstance();
        EXPECT_EQ(stored("analyticsDisabled"), Value(c.expected));
        EXPECT_EQ(stored("locationDisabled"), Value(c.expected));
        EXPECT_EQ(stored("maxStoredMessages"), Value(12));
    }
    ASSERT_TRUE(idle());
}

TEST_F(ConfigureTest, PlatformLogLinesIgnoreLoggingSwitch) {
    auto file = goodConfiguration();
    file["LoggingDisabled"] = true;
    writeConfiguration(file);

    facade->configureInstance();
    ASSERT_TRUE(idle());

    EXPECT_TRUE(log().contains("Configure: completed successfully"));
    EXPECT_FALSE(log().contains("QUORVELA-DEBUG")) << "debug lines follow the copied switch";
}

TEST_F(ConfigureTest, NumericCredentialIsUsedAsItsText) {
    auto file = goodConfiguration();
    file["publicKey"] = 4711;
    writeConfiguration(file);
    facade->configureInstance();
    ASSERT_TRUE(idle());
    EXPECT_EQ(facade->clientID(), "4711");
    EXPECT_TRUE(store->contains("configureQuorvela"));
}

TEST_F(ConfigureTest, LoadCredentialsNeedsConfigurationAndUsesOtherKeyNames) {
    writeConfiguration({{"appName", "other"}, {"clientID", "client-2"}}, "Other.plist");

    facade->loadQuorvelaCredentials("Other");
    EXPECT_FALSE(facade->appName());
    EXPECT_TRUE(log().contains("QUORVELA-DEBUG: loadQuorvelaCredentials" + kCheckConfiguration));

    store->set("configureQuorvela", "YES");
    facade->setApiClientPrivateKey("old key");
    facade->loadQuorvelaCredentials("Missing");
    EXPECT_EQ(facade->apiClientPrivateKey(), "old key") << "an unreadable file changes nothing";

    facade->loadQuorvelaCredentials("Other");
    EXPECT_EQ(facade->appName(), "other");
    EXPECT_EQ(facade->clientID(), "client-2");
    EXPECT_FALSE(facade->apiClientPrivateKey()) << "a missing entry gives null";
}

TEST_F(ConfigureTest, LoadEnvironmentCopiesSwitchesWithoutGuard) {
    writeConfiguration({{"analyticsDisabled", "YES"}, {"maxStoredMessages", 7}}, "Env.plist");
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
    EXPECT_FALSE(log().contains("check in the configuration file"));
}

TEST_F(ConfigureTest, SettingAccessorsWriteWithoutFlushing) {
    facade->setLogAllEventsDisabled(true);
    facade->setGetLocationDisabled(true);
    facade->setMaxStoredMessages(-3);
    EXPECT_TRUE(facade->isLogAllEventsDisabled());
    EXPECT_TRUE(facade->isGetLocationDisabled());
    EXPECT_EQ(stored("maxStoredMessages"), Value(-3));
    facade->setGetLocationDisabled(false);
    EXPECT_FALSE(facade->isGetLocationDisabled());
    EXPECT_EQ(store->flushes, 0);
}

}  // namespace
}  // namespace quorvela::test
