// quorvela-host --demo as a newcomer runs it: an embedded sandbox, the real
// library over HTTPS, the whole story. Every step must happen, every signed
// request must verify, and the demo must clean up after itself.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace quorvela::test {
namespace {

const std::string kHostProgram = QUORVELA_BINARY_DIR "/tools/host/quorvela-host";

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

TEST(DemoTest, EveryStepOfTheStoryHappens) {
    ASSERT_TRUE(std::filesystem::exists(kHostProgram)) << kHostProgram;
    TempDir dir;
    const auto scratch = dir.path() / "tmp";
    std::filesystem::create_directories(scratch);
    // The demo's own scratch folder goes under TMPDIR; it must be gone afterwards.
    const std::string command = "cd '" + dir.str() + "' && TMPDIR='" + scratch.string() + "' '" + kHostProgram +
                                "' --demo > out 2> err";
    const int raw = std::system(command.c_str());
    const std::string out = readFile(dir.path() / "out");
    ASSERT_TRUE(WIFEXITED(raw));
    EXPECT_EQ(WEXITSTATUS(raw), 0) << out << "\n--- library log (tail) ---\n"
                                   << readFile(dir.path() / "err").substr(0, 4000);

    std::vector<std::string> ok;
    for (const auto& line : lines(out)) {
        EXPECT_EQ(line.find("[FAILED]"), std::string::npos) << line;
        if (line.rfind("  [ok]     ", 0) == 0) ok.push_back(line);
    }
    // One progress line per part of the story, in this order.
    const std::vector<std::string> story = {"sandbox started",
                                            "sandbox seeded",
                                            "configure:",
                                            "push token",
                                            "registered",
                                            "QuorvelaReady",
                                            "default workspace",
                                            "available workspaces",
                                            "joined the",
                                            "subscribed workspaces",
                                            "location updates",
                                            "the nearest regions",
                                            "Corner Bakery: geofence entry",
                                            "beacon entry",
                                            "beacon exit",
                                            "geofence exit",
                                            "City Park: geofence entry",
                                            "left the park",
                                            "TXT_MSG:",
                                            "GET_LOC:",
                                            "CRT_REGION:",
                                            "DLT_BEACON:",
                                            "geo push:",
                                            "Wi-Fi beacon entry",
                                            "Wi-Fi beacon exit",
                                            "replies to the club",
                                            "unregisters"};
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
