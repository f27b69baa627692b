// quorvela-host run as a subprocess against an in-process sandbox; its
// standard output and standard error are compared line by line with the
// expected files in tests/data/host, after masking what varies per run.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <fstream>
#include <regex>
#include <sstream>

#include "ServiceHosts.h"
#include "protocol/Utf8Text.h"
#include "sandbox/Sandbox.h"
#include "support/TestPlatform.h"

namespace quorvela::test {
namespace {

const std::string kHostProgram = QUORVELA_BINARY_DIR "/tools/host/quorvela-host";
const std::string kHostData = QUORVELA_TEST_DATA "/host/";

std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

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

class HostToolTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(std::filesystem::exists(kHostProgram)) << kHostProgram;
        sandbox::SandboxOptions options;
        options.dataDir = dir.path() / "sandbox";
        options.adminApi = false;
        sandbox.start(options);
        sandbox.createApplication("demo", "client-1", "secret");
        writePlist(dir, "bundle/Quorvela-Info.plist",
                   {{"appName", "demo"}, {"publicKey", "client-1"}, {"privateKey", "secret"}});
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
        HostRun result;
        int raw = std::system(command.c_str());
        result.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
        result.out = readFile(dir.path() / "out");
        result.err = readFile(dir.path() / "err");
        return result;
    }

    void expectTranscript(const HostRun& run, const std::string& name) {
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(lines(mask(run.out)), lines(readFile(kHostData + name + ".stdout"))) << "standard output";
        EXPECT_EQ(lines(mask(run.err)), lines(readFile(kHostData + name + ".stderr"))) << "standard error";
    }

    TempDir dir;
    sandbox::Sandbox sandbox;
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

    std::vector<std::string> types;
    for (const auto& event : sandbox.analyticsEvents()) types.push_back(event.value("eventtype").value_or("?"));
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

TEST_F(HostToolTest, BadOptionsExitWithTwo) {
    for (const char* options :
         {"--no-such-option", "--delegate sometimes", "--authorization x", "--connect-to nowhere"}) {
        EXPECT_EQ(run(options, "hello.script").status, 2) << options;
    }
}

}  // namespace
}  // namespace quorvela::test
