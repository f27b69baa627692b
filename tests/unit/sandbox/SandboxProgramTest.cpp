// The quorvela-sandbox program: prints where it serves, serves, and stops
// cleanly on SIGTERM.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <map>

#include "ServiceHosts.h"
#include "platform/CurlHttpClient.h"
#include "platform/ThreadDispatcher.h"
#include "support/TestSupport.h"

namespace quorvela {
namespace {

using namespace std::chrono_literals;

const std::filesystem::path kProgram = std::filesystem::path(QUORVELA_BINARY_DIR) / "tools/sandbox/quorvela-sandbox";

/// Kills the program if a failed assertion leaves the test early.
struct ChildGuard {
    pid_t pid = 0;
    ~ChildGuard() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
};

TEST(SandboxProgramTest, PrintsWhereItServesAndStopsOnSigterm) {
    if (!std::filesystem::exists(kProgram)) GTEST_SKIP() << "quorvela-sandbox is not built";
    test::TempDir dir;
    const std::string dataDir = (dir.path() / "data").string();
    // exec keeps the shell's process id, which it prints first.
    const std::string command = "echo $$; exec '" + kProgram.string() + "' --data-dir '" + dataDir +
                                "' --port 0 --admin-port 0 --token program-test-token-0001";
    FILE* reader = ::popen(command.c_str(), "r");
    ASSERT_NE(reader, nullptr);
    char buffer[4096];
    ASSERT_NE(std::fgets(buffer, sizeof buffer, reader), nullptr);
    ChildGuard guard{static_cast<pid_t>(std::stol(buffer))};

    // "ca <path>", "port <n>", "admin-port <n>", "token <t>", "console <url>"
    std::map<std::string, std::string> lines;
    while (lines.size() < 5 && std::fgets(buffer, sizeof buffer, reader) != nullptr) {
        std::string line(buffer);
        if (!line.empty() && line.back() == '\n') line.pop_back();
        const auto space = line.find(' ');
        if (space != std::string::npos) lines[line.substr(0, space)] = line.substr(space + 1);
    }
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines["ca"], dataDir + "/tls/ca.pem");
    EXPECT_GT(std::stoi(lines["port"]), 0);
    EXPECT_GT(std::stoi(lines["admin-port"]), 0);
    EXPECT_EQ(lines["token"], "program-test-token-0001");
    EXPECT_EQ(lines["console"], "http://127.0.0.1:" + lines["admin-port"] + "/#token=program-test-token-0001");
    struct stat info {};
    ASSERT_EQ(::stat((dir.path() / "data/sandbox.sqlite").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    {
        HttpClientOptions options;
        options.connectTo = "127.0.0.1:" + lines["port"];
        options.caFile = lines["ca"];
        CurlHttpClient client(options, std::make_shared<ThreadDispatcher>(1));
        HttpResult echo = client.getBlocking(std::string("https://") + QUORVELA_IPECHO_HOST + "/", 10s);
        ASSERT_TRUE(echo.ok) << echo.error;
        EXPECT_EQ(echo.body, "127.0.0.1");
    }

    ASSERT_EQ(::kill(guard.pid, SIGTERM), 0);
    guard.pid = 0;
    const int status = ::pclose(reader);  // waits for the program to end
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace quorvela
