#pragma once
// Runs a child program with its standard output on a pipe, and kills it with
// SIGKILL a given time after it printed "S" (started), or lets it finish.
// Only whole output lines count: the children write each line with one write().

#include <chrono>
#include <string>
#include <vector>

namespace quorvela::crash {

struct ChildRun {
    bool killed = false;  // ended by our SIGKILL, not on its own
    int status = 0;
    std::vector<std::string> lines;
};

/// `argv[0]` is the program. `delay` runs from the child's "S" line (at most
/// `startLimit` is waited for it); without a delay the child runs to its end.
ChildRun runChild(const std::vector<std::string>& argv, std::chrono::milliseconds delay,
                  std::chrono::seconds startLimit = std::chrono::seconds(20));
ChildRun runToEnd(const std::vector<std::string>& argv, std::chrono::seconds limit = std::chrono::seconds(60));

/// The seed of a run's kill moments, printed; QUORVELA_CRASH_SEED=<n> repeats a run.
unsigned randomSeed();

}  // namespace quorvela::crash
