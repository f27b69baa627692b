#pragma once
// Waits for Ctrl-C (SIGINT) or SIGTERM, for a tool that keeps something open
// until its user is done with it.

namespace quorvela::host {

class StopSignal {
public:
    /// Returns once SIGINT or SIGTERM arrived after the call; the signals'
    /// previous handlers are back afterwards.
    static void wait();
};

}  // namespace quorvela::host
