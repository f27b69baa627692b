#pragma once
// quorvela-host as a whole: makes the platform from the options, installs it
// for the shared facade with the host's delegate, reads the script and runs
// each line, and waits for the library before it ends.

#include <istream>

#include "HostOptions.h"

namespace quorvela::host {

class HostApplication {
public:
    explicit HostApplication(HostOptions options) : options_(std::move(options)) {}
    /// The tool's exit status.
    int run();

private:
    int runScript(std::istream& input);
    HostOptions options_;
};

}  // namespace quorvela::host
