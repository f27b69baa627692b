// The quorvela-sandbox program: prints where it serves, serves, and stops
// cleanly on SIGTERM.
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>

#include "ServiceHosts.h"
#include "platform/CurlHttpClient.h"
#include "platform/ThreadDispatcher.h"
#include "support/TestSupport.h"

extern char** environ;

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
    int out[2];
    ASSERT_EQ(::pipe(out), 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const std::string dataDir = (dir.path() / "data").string();
    std::vector<std::string> args{
        kProgram.string(),        "--data-dir", dataDir, "--port", "0", "--admin-port", "0", "--token",
        "program-test-token-0001"};
    std::vector<char*> argv;
    for (auto& arg : args) argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, kProgram.c_str(), &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    ChildGuard guard{pid};
    ::close(out[1]);

    // "ca <path>", "port <n>", "admin-port <n>", "token <t>", "console <url>"
    std::map<std::string, std::string> lines;
    FILE* reader = ::fdopen(out[0], "r");
    char buffer[4096];
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

    ASSERT_EQ(::kill(pid, SIGTERM), 0);
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    guard.pid = 0;
    std::fclose(reader);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
}  // namespace quorvela
