// quorvela-host --demo --linger as a newcomer runs it: an embedded sandbox,
// the real library over HTTPS, the whole story. Every step must happen, every
// signed request must verify, the lingering sandbox's console must show what
// the story sent, and after Ctrl-C the demo must clean up after itself.
#include <gtest/gtest.h>
#include <httplib.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/SandboxWorld.h"

extern char** environ;

namespace quorvela::test {
namespace {

const std::string kHostProgram = QUORVELA_BINARY_DIR "/tools/host/quorvela-host";

TEST(DemoTest, EveryStepOfTheStoryHappens) {
    ASSERT_TRUE(std::filesystem::exists(kHostProgram)) << kHostProgram;
    TempDir dir;
    const auto scratch = dir.path() / "tmp";
    std::filesystem::create_directories(scratch);
    // The demo's own scratch folder goes under TMPDIR; it must be gone afterwards.
    // The shell becomes the demo (exec): the pid is the demo's.
    const std::string command = "TMPDIR='" + scratch.string() + "' exec '" + kHostProgram + "' --demo --linger >'" +
                                (dir.path() / "out").string() + "' 2>'" + (dir.path() / "err").string() + "'";
    const char* argv[] = {"/bin/sh", "-c", command.c_str(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, argv[0], nullptr, nullptr, const_cast<char* const*>(argv), environ), 0);

    // The story ends with the console's address, then the demo waits.
    const std::regex consoleLine(R"(console shows the story: http://127\.0\.0\.1:(\d+)/#token=(\S+)\n)");
    std::smatch console;
    std::string out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(3);
    while (!std::regex_search(out = readFile(dir.path() / "out"), console, consoleLine)) {
        if (std::chrono::steady_clock::now() > deadline || ::waitpid(pid, nullptr, WNOHANG) == pid) break;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (console.empty()) ::kill(pid, SIGKILL);
    ASSERT_FALSE(console.empty()) << out << "\n--- library log (tail) ---\n"
                                  << readFile(dir.path() / "err").substr(0, 4000);
    {
        httplib::Client admin("127.0.0.1", std::stoi(console[1]));
        admin.set_bearer_token_auth(console[2].str());
        auto locations = admin.Get("/locations");
        auto page = admin.Get("/");
        ASSERT_TRUE(locations && page);
        EXPECT_EQ(page->status, 200);
        ASSERT_EQ(locations->status, 200);
        const auto reports = nlohmann::json::parse(locations->body);
        EXPECT_TRUE(std::any_of(reports.begin(), reports.end(), [](const auto& report) {
            return report["operation"] == "notifyRegionEvent";
        })) << locations->body;
    }
    ASSERT_EQ(::kill(pid, SIGINT), 0);
    int raw = 0;
    ASSERT_EQ(::waitpid(pid, &raw, 0), pid);
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 0) << out << "\n--- library log (tail) ---\n"
                                   << readFile(dir.path() / "err").substr(0, 4000);

    std::vector<std::string> ok;
    for (const auto& line : lines(out)) {
        EXPECT_EQ(line.find("[FAILED]"), std::string::npos) << line;
        if (line.rfind("  [ok]     ", 0) == 0) ok.push_back(line);
    }
    // One progress line per part of the story, in this order.
    const auto story = lines(
        "sandbox started\nsandbox seeded\nconfigure:\npush token\nregistered\nQuorvelaReady\ndefault workspace\n"
        "available workspaces\njoined the\nsubscribed workspaces\nlocation updates\nthe nearest regions\n"
        "Corner Bakery: geofence entry\nbeacon entry\nbeacon exit\ngeofence exit\nCity Park: geofence entry\n"
        "left the park\nTXT_MSG:\nGET_LOC:\nCRT_REGION:\nDLT_BEACON:\ngeo push:\nWi-Fi beacon entry\n"
        "Wi-Fi beacon exit\nreplies to the club\nunregisters");
    std::size_t at = 0;
    for (const auto& part : story) {
        while (at < ok.size() && ok[at].find(part) == std::string::npos) ++at;
        EXPECT_LT(at, ok.size()) << "no [ok] line for \"" << part << "\" in order\n" << out;
        if (at == ok.size()) break;
    }

    // The summary: every signed request verified, and the host's inboxes.
    std::smatch all;
    const std::regex allLine(R"(\n  all +(\d+) +(\d+) of (\d+)\n)");
    ASSERT_TRUE(std::regex_search(out, all, allLine)) << out;
    EXPECT_GT(std::stoi(all[3]), 0);
    EXPECT_EQ(all[2], all[3]);
    EXPECT_NE(out.find("What the host saw"), std::string::npos);
    EXPECT_TRUE(std::regex_search(out, std::regex(R"(Demo Shop \(demo-app\) +2 )"))) << out;
    EXPECT_TRUE(std::regex_search(out, std::regex(R"(Runners Club \(runners-club\) +2 )"))) << out;
    EXPECT_NE(out.find("Result: all "), std::string::npos);

    EXPECT_TRUE(std::filesystem::is_empty(scratch)) << "the demo left files in " << scratch;
}

}  // namespace
}  // namespace quorvela::test
