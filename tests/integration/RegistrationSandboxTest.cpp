// Registration against the in-process sandbox over real HTTPS: the library's
// stores and the sandbox's state after each flow, and quorvela-host's
// registration commands.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>

#include "core/QuorvelaCore.h"
#include "core/RegistrationFlow.h"
#include "protocol/RegisterPhoneDataloader.h"
#include "sandbox/RegistrationStore.h"
#include "sandbox/Sandbox.h"
#include "sandbox/SandboxState.h"
#include "support/TestPlatform.h"

namespace quorvela::test {
namespace {

class RegistrationSandboxTest : public ::testing::Test {
protected:
    void SetUp() override {
        sandbox::SandboxOptions options;
        options.dataDir = dir.path() / "sandbox";
        options.adminApi = false;
        sandbox.start(options);
        sandbox.createApplication("demo app", "client-1", "secret");
        writePlist(dir, "bundle/Quorvela-Info.plist",
                   {{"appName", "demo app"}, {"publicKey", "client-1"}, {"privateKey", "secret"}});
        PlatformOptions platformOptions;
        platformOptions.dataDir = (dir.path() / "data").string();
        platformOptions.bundleDir = (dir.path() / "bundle").string();
        platformOptions.http = sandbox.httpOptions();
        platform = Platform::makeDefault(platformOptions);
        platform->systemLog = std::make_shared<CapturingLog>();
        facade = QuorvelaCore::create(platform);
        facade->configureInstance();
        ASSERT_TRUE(idle());
    }
    void TearDown() override {
        if (platform) platform->dispatcher->waitIdle(std::chrono::seconds(10));
    }
    bool idle() { return platform->dispatcher->waitIdle(std::chrono::seconds(20)); }
    Value stored(const std::string& key) { return platform->keyValueStore->get(key); }
    sandbox::RegistrationStore registrations() { return sandbox::RegistrationStore(sandbox.state().database()); }
    std::size_t initEvents() {
        auto events = sandbox.analyticsEvents();
        return static_cast<std::size_t>(
            std::count_if(events.begin(), events.end(), [](const auto& e) { return e.value("eventtype") == "INIT"; }));
    }
    std::size_t requestsFor(const std::string& operation) {
        auto requests = sandbox.requests();
        return static_cast<std::size_t>(std::count_if(requests.begin(), requests.end(), [&](const auto& r) {
            return r.operation == operation && r.signatureOk == true;
        }));
    }

    TempDir dir;
    sandbox::Sandbox sandbox;
    std::shared_ptr<Platform> platform;
    std::shared_ptr<QuorvelaCore> facade;
};

TEST_F(RegistrationSandboxTest, RegisterValidatesAndStartsAgain) {
    ASSERT_EQ(initEvents(), 1u);
    facade->registerWithUserID(std::string("alice"));
    ASSERT_TRUE(idle());

    EXPECT_EQ(stored("clientUserID"), Value("alice"));
    EXPECT_EQ(stored("validated"), Value("YES"));
    EXPECT_EQ(stored("isFirstTime"), Value(false));
    EXPECT_TRUE(facade->useQuorvelaSDK());
    EXPECT_EQ(initEvents(), 2u);
    const auto users = registrations().users();
    ASSERT_EQ(users.size(), 1u);
    EXPECT_EQ(users[0].userId, "alice");
    EXPECT_EQ(users[0].deviceId, stored("deviceUniqueID").optionalText());
    EXPECT_TRUE(users[0].validated);

    // The same user again: nothing is sent.
    facade->registerWithUserID(std::string("alice"));
    ASSERT_TRUE(idle());
    EXPECT_EQ(requestsFor("registerUser"), 1u);
}

TEST_F(RegistrationSandboxTest, UnregisterClearsTheStoresAndSubscribesTheDeviceAgain) {
    facade->registerWithUserID(std::string("alice"));
    facade->registerDeviceToken(std::vector<std::uint8_t>(32, 0x5a));
    ASSERT_TRUE(idle());
    ASSERT_EQ(requestsFor("iOSReg"), 1u);
    const auto device = stored("deviceUniqueID").optionalText();
    ASSERT_TRUE(device);
    platform->keyValueStore->set("Workspace-Available", Value("x"));
    platform->keyValueStore->set("Workspace-Subscribed", Value("x"));

    facade->unRegisterUser();
    ASSERT_TRUE(idle());

    EXPECT_FALSE(platform->keyValueStore->contains("clientUserID"));
    EXPECT_FALSE(platform->keyValueStore->contains("Workspace-Available"));
    EXPECT_FALSE(platform->keyValueStore->contains("Workspace-Subscribed"));
    EXPECT_EQ(stored("validated"), Value("YES"));
    std::string hex;
    for (int i = 0; i < 32; ++i) hex += "5a";
    EXPECT_EQ(stored("devicePushID"), Value(hex));
    EXPECT_EQ(stored("deviceUniqueID").optionalText(), device);  // the kept identifier came back
    EXPECT_TRUE(registrations().users().empty());
    EXPECT_EQ(requestsFor("iOSReg"), 2u);
    const auto tokens = registrations().devices();
    ASSERT_EQ(tokens.size(), 1u);
    EXPECT_EQ(tokens[0].deviceId, *device);
    EXPECT_EQ(tokens[0].pushToken, hex);
    EXPECT_TRUE(capturingLog(*platform).contains("QUORVELA-DEBUG: Device: Subscriber Succeeded"));
}

TEST_F(RegistrationSandboxTest, ReplacingTheUserKeepsTheNewId) {
    facade->registerWithUserID(std::string("alice"));
    ASSERT_TRUE(idle());
    facade->registerWithUserID(std::string("bob"));
    EXPECT_EQ(stored("clientUserID"), Value("bob"));
    ASSERT_TRUE(idle());
    EXPECT_EQ(stored("clientUserID"), Value("bob"));
    EXPECT_EQ(requestsFor("removeAppUser"), 1u);
    EXPECT_EQ(requestsFor("registerUser"), 2u);
}

TEST_F(RegistrationSandboxTest, RejectedMalformedAndValidatedRegistrations) {
    sandbox::RegistrationBehaviour behaviour;
    behaviour.registerMode = "reject";
    registrations().setBehaviour(behaviour);
    facade->registerWithUserID(std::string("alice"));
    ASSERT_TRUE(idle());
    EXPECT_FALSE(platform->keyValueStore->contains("validated"));
    EXPECT_EQ(stored("clientUserID"), Value("alice"));

    behaviour.registerMode = "accept";
    behaviour.malformed = {"registerUser"};
    registrations().setBehaviour(behaviour);
    facade->registerWithUserID(std::string("alice"));
    ASSERT_TRUE(idle());
    EXPECT_FALSE(platform->keyValueStore->contains("validated"));
    EXPECT_TRUE(capturingLog(*platform).contains("QUORVELA-DEBUG: System Error"));

    behaviour.registerMode = "validate";
    behaviour.validationCode = "4711";
    behaviour.malformed.clear();
    registrations().setBehaviour(behaviour);
    facade->registerWithUserID(std::string("alice"));
    ASSERT_TRUE(idle());
    EXPECT_FALSE(platform->keyValueStore->contains("validated"));
    const std::size_t inits = initEvents();

    facade->registration().activatePhoneWithCode(std::string("4711"));
    ASSERT_TRUE(idle());
    EXPECT_TRUE(capturingLog(*platform).contains("QUORVELA-DEBUG: ActivatePhoneSucceeded"));
    EXPECT_EQ(stored("validated"), Value("YES"));
    EXPECT_EQ(initEvents(), inits + 1);
    EXPECT_TRUE(registrations().users().at(0).validated);
}

// ---- quorvela-host ---------------------------------------------------------

const std::string kHostProgram = QUORVELA_BINARY_DIR "/tools/host/quorvela-host";

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string quote(const std::string& s) { return "'" + s + "'"; }

TEST_F(RegistrationSandboxTest, HostToolRegistersAndUnregisters) {
    ASSERT_TRUE(std::filesystem::exists(kHostProgram)) << kHostProgram;
    const auto script = dir.write("registration.script",
                                  "configure\n"
                                  "register carol\n"
                                  "wait\n"
                                  "show store clientUserID\n"
                                  "show store validated\n"
                                  "token 00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff\n"
                                  "token zz\n"
                                  "subscribe-device\n"
                                  "wait\n"
                                  "show store devicePushID\n"
                                  "unregister\n"
                                  "wait\n"
                                  "show store clientUserID\n"
                                  "register\n"
                                  "activate 1\n"
                                  "wait\n"
                                  "quit\n");
    const std::string command = quote(kHostProgram) + " --bundle " + quote((dir.path() / "bundle").string()) +
                                " --data-dir " + quote((dir.path() / "hostdata").string()) + " --connect-to " +
                                quote(sandbox.connectTo()) + " --cacert " + quote(sandbox.caFile().string()) + " " +
                                quote(script.string()) + " > " + quote((dir.path() / "out").string()) + " 2> " +
                                quote((dir.path() / "err").string());
    const int raw = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 0);
    const std::string out = readFile(dir.path() / "out");
    const std::string err = readFile(dir.path() / "err");
    EXPECT_EQ(out,
              "delegate QuorvelaReady\n"  // the registration starts the workspaces
              "idle\n"
              "store clientUserID \"carol\"\n"
              "store validated \"YES\"\n"
              "error usage: token <hex> | token null\n"
              "idle\n"
              "store devicePushID \"00112233445566778899aabbccddeeff00112233445566778899aabbccddeeff\"\n"
              "idle\n"
              "store clientUserID null\n"
              "error usage: register <userID>\n"
              "idle\n")
        << err;
    EXPECT_NE(err.find("QUORVELA-DEBUG: UnRegisterUserSucceeded"), std::string::npos) << err;
    // No user is registered for the device any more, so activation fails at the sandbox.
    EXPECT_NE(err.find("QUORVELA-DEBUG: activatePhone: completed successfully"), std::string::npos) << err;
    EXPECT_EQ(requestsFor("iOSReg"), 3u);  // token, subscribe-device, after the unregistration
    EXPECT_TRUE(registrations().users().empty());
}

}  // namespace
}  // namespace quorvela::test
