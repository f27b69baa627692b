#include "ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <random>
#include <sstream>

namespace quorvela::crash {

ChildRun runChild(const std::vector<std::string>& argv, std::optional<std::chrono::milliseconds> killDelay,
                  std::chrono::seconds limit) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return {};
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], STDOUT_FILENO);
        ::execv(args[0], args.data());
        std::_Exit(127);
    }
    ::close(fds[1]);
    ChildRun result;
    if (pid < 0) {
        ::close(fds[0]);
        return result;
    }
    std::string output;
    char buffer[65536];
    // The delay runs from the moment the child says it started, so that the
    // kill lands among its work, not in its start-up.
    auto deadline = std::chrono::steady_clock::now() + limit;
    bool started = false;
    bool open = true;
    for (;;) {
        if (killDelay && !started && (output.rfind("S\n", 0) == 0 || output.find("\nS\n") != std::string::npos)) {
            started = true;
            deadline = std::chrono::steady_clock::now() + *killDelay;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || !open) break;
        pollfd p{fds[0], POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) > 0) {
            const auto n = ::read(fds[0], buffer, sizeof buffer);
            if (n > 0) output.append(buffer, static_cast<std::size_t>(n));
            else open = false;  // the child is gone already
        }
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &result.status, 0);
    for (;;) {
        const auto n = ::read(fds[0], buffer, sizeof buffer);
        if (n <= 0) break;
        output.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fds[0]);
    result.killed = WIFSIGNALED(result.status) && WTERMSIG(result.status) == SIGKILL;
    const auto end = output.rfind('\n');
    std::istringstream in(output.substr(0, end == std::string::npos ? 0 : end + 1));
    for (std::string line; std::getline(in, line);) result.lines.push_back(line);
    return result;
}

unsigned randomSeed() {
    unsigned seed = std::random_device{}();
    if (const char* fixed = std::getenv("QUORVELA_CRASH_SEED"))
        seed = static_cast<unsigned>(std::strtoul(fixed, nullptr, 10));
    std::cout << "seed " << seed << std::endl;
    return seed;
}

}  // namespace quorvela::crash
