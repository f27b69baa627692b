#pragma once
// The parent side runs a child program with its standard output on a pipe and
// kills it with SIGKILL a given time after it printed "S" (started), or lets
// it finish. The child side writes each line with one write(), so that a line
// is on the pipe whole before the child's next step starts, or not at all:
// only whole lines count.

#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace quorvela::crash {

struct ChildRun {
    bool killed = false;  // ended by our SIGKILL, not on its own
    int status = 0;
    std::vector<std::string> lines;
};

/// `argv[0]` is the program. `killDelay` runs from the child's "S" line;
/// without it the child runs to its end. Either way it is killed at `limit`.
ChildRun runChild(const std::vector<std::string>& argv,
                  std::optional<std::chrono::milliseconds> killDelay = std::nullopt,
                  std::chrono::seconds limit = std::chrono::seconds(60));

/// The seed of a run's kill moments, printed; QUORVELA_CRASH_SEED=<n> repeats a run.
unsigned randomSeed();

/// A child's output line.
inline void emit(const std::string& line) {
    const std::string text = line + "\n";
    std::size_t done = 0;
    while (done < text.size()) {
        const auto n = ::write(STDOUT_FILENO, text.data() + done, text.size() - done);
        if (n <= 0) std::_Exit(3);
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace quorvela::crash
