// quorvela-host run as a subprocess against an in-process sandbox; its
// standard output and standard error are compared line by line with the
// expected files in tests/data/host, after masking what varies per run.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <regex>

#include "ServiceHosts.h"
#include "protocol/Utf8Text.h"
#include "sandbox/RegistrationStore.h"
#include "support/SandboxWorld.h"

namespace quorvela::test {
namespace {

const std::string kHostProgram = QUORVELA_BINARY_DIR "/tools/host/quorvela-host";
const std::string kHostData = QUORVELA_TEST_DATA "/host/";

// Device identifiers differ per run; the service host is a build setting.
std::string mask(std::string text) {
    static const std::regex uuid("[0-9A-Fa-f]{8}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{4}-[0-9A-Fa-f]{12}");
    text = std::regex_replace(text, uuid, "<UUID>");
    const std::string host = QUORVELA_SERVICE_HOST;
    for (std::size_t at; (at = text.find(host)) != std::string::npos;) text.replace(at, host.size(), "<SERVICE>");
    return text;
}

std::string quote(const std::string& s) { return "'" + s + "'"; }

struct HostRun {
    int status = -1;
    std::string out;
    std::string err;
};

class HostToolTest : public SandboxWorld {
protected:
    HostToolTest() { appName = "demo"; }
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(kHostProgram)) << kHostProgram;
        SandboxWorld::SetUp();
        writeBundle();
        writePlist(dir, "bundle/Env.plist", {{"analyticsDisabled", "YES"}, {"maxStoredMessages", 12}});
        writePlist(dir, "bundle/Other.plist", {{"appName", "other"}, {"clientID", "client-2"}});
    }

    /// Runs the tool with the sandbox options plus `extra`, reading `script`.
    HostRun run(const std::string& extra, const std::string& scriptName, bool fromStdin = false) {
        std::string command = quote(kHostProgram) + " --bundle " + quote((dir.path() / "bundle").string()) +
                              " --data-dir " + quote((dir.path() / "data").string()) + " --connect-to " +
                              quote(sandbox.connectTo()) + " --cacert " + quote(sandbox.caFile().string()) + " " +
                              extra + " " + (fromStdin ? "- < " : "") +
                              quote(scriptName.front() == '/' ? scriptName : kHostData + scriptName) + " > " +
                              quote((dir.path() / "out").string()) + " 2> " + quote((dir.path() / "err").string());
        const int raw = std::system(command.c_str());
        return {WIFEXITED(raw) ? WEXITSTATUS(raw) : -1, readFile(dir.path() / "out"), readFile(dir.path() / "err")};
    }

    void expectTranscript(const HostRun& run, const std::string& name) {
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(lines(mask(run.out)), lines(readFile(kHostData + name + ".stdout"))) << "standard output";
        EXPECT_EQ(lines(mask(run.err)), lines(readFile(kHostData + name + ".stderr"))) << "standard error";
    }
};

TEST_F(HostToolTest, ConfigureAndEventReachTheSandbox) {
    auto result = run("", "hello.script");
    expectTranscript(result, "hello");

    auto events = sandbox.analyticsEvents();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].value("eventtype"), "INIT");
    EXPECT_EQ(events[1].value("eventtype"), "HELLO");
    EXPECT_EQ(events[1].value("extrainfo"), "x");
    EXPECT_EQ(events[2].value("eventtype"), "SALE DAY");
    EXPECT_EQ(events[2].value("extrainfo"), std::nullopt);
    EXPECT_EQ(events[2].value("campaign_name"), "");
}

TEST_F(HostToolTest, SettingsLoadersAndErrors) {
    auto result = run("--delegate none", "settings.script", true);
    expectTranscript(result, "settings");
    EXPECT_EQ(sandbox.analyticsEvents().size(), 1u) << "only INIT: the loaded environment disabled analytics";
}

TEST_F(HostToolTest, RegisteredUserMovesAndChangesNetworks) {
    auto result = run("", "journey.script");
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(lines(mask(result.out)), lines(readFile(kHostData + "journey.stdout"))) << result.err;
    EXPECT_NE(result.err.find("Change Authorization status, new status: 3"), std::string::npos) << result.err;

    const auto types = eventTypes();
    for (const char* expected : {"INIT", "WIFI_BEACON_CONNECT", "WIFI_BEACON_DISCONNECT", "ERROR"})
        EXPECT_NE(std::find(types.begin(), types.end(), expected), types.end()) << expected;
    EXPECT_EQ(std::count(types.begin(), types.end(), "WIFI_BEACON_CONNECT"), 1)
        << "a notification under another name changes nothing";
}

// Lines a fuzzer or a careless script could send: each ends in one short,
// printable error line (or the library's own failure) and the tool goes on.
TEST_F(HostToolTest, HostileLinesEndInOneShortErrorLineEach) {
    const std::string deep = std::string(50000, '[') + std::string(50000, ']');
    const std::string garbage = std::string("frob") + '\0' + "\xff\xfe" + std::string(10000, 'z');
    std::string script = "configure\nwait\n";
    for (const char* command : {"push ", "register ", "event T ", "show store "}) script += command + deep + "\n";
    script += garbage + "\n";
    script += "register " + std::string(1 << 20, 'u') + "\nwait\nshow store configureQuorvela\nquit\n";
    const auto scriptFile = dir.write("hostile.script", script);

    auto result = run("--delegate none", scriptFile.string());
    ASSERT_EQ(result.status, 0) << result.err.substr(0, 2000);
    EXPECT_TRUE(Utf8Text::isValid(result.out));
    auto out = lines(result.out);
    ASSERT_EQ(out.size(), 8u) << result.out.substr(0, 2000);
    for (std::size_t i = 1; i <= 4; ++i)
        EXPECT_EQ(out[i].rfind("error JSON argument nested deeper than 512 levels: [[[", 0), 0u)
            << out[i].substr(0, 100);
    EXPECT_EQ(out[5].rfind("error unknown command: frob\\x00\\xFF\\xFEzzz", 0), 0u) << out[5].substr(0, 100);
    for (std::size_t i = 1; i <= 5; ++i) {
        EXPECT_LT(out[i].size(), 300u) << "the echo is cut";
        EXPECT_EQ(out[i].substr(out[i].size() - 3), "...");
    }
    EXPECT_EQ(out[7], "store configureQuorvela \"YES\"");
    EXPECT_NE(result.err.find("bytes long; at most 1000000 bytes can be sent"), std::string::npos)
        << "a megabyte user id is refused for what it is, not as a lack of memory";
}

TEST_F(HostToolTest, RegistersAndUnregisters) {
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
    const auto result = run("", script.string());
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.out,
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
        << result.err;
    EXPECT_NE(result.err.find("QUORVELA-DEBUG: UnRegisterUserSucceeded"), std::string::npos) << result.err;
    // No user is registered for the device any more, so activation fails at the sandbox.
    EXPECT_NE(result.err.find("QUORVELA-DEBUG: activatePhone: completed successfully"), std::string::npos);
    EXPECT_EQ(signedRequests("iOSReg"), 3u) << "token, subscribe-device, after the unregistration";
    EXPECT_TRUE(sandbox::RegistrationStore(sandbox.state().database()).users().empty());
}

TEST_F(HostToolTest, BadOptionsExitWithTwo) {
    for (const char* options :
         {"--no-such-option", "--delegate sometimes", "--authorization x", "--connect-to nowhere"}) {
        EXPECT_EQ(run(options, "hello.script").status, 2) << options;
    }
}

}  // namespace
}  // namespace quorvela::test
