#pragma once
// The command line of quorvela-host.

#include <optional>
#include <string>
#include <variant>

namespace quorvela::host {

struct HostOptions {
    enum class DelegateMode { All, Workspace, Message, None };

    std::optional<std::string> script;  ///< nothing or "-": standard input
    std::optional<std::string> bundleDir;
    std::optional<std::string> dataDir;
    std::optional<std::string> connectTo;
    std::optional<std::string> caFile;
    DelegateMode delegate = DelegateMode::All;
    int authorization = 3;
    bool demo = false;
    bool linger = false;  ///< with demo: keep the sandbox and its console open until Ctrl-C

    /// Exit status when the tool ends at once: 2 for bad options, 0 for --help.
    struct Exit {
        int status;
    };

    /// The options, or the exit status to end with (messages already printed).
    static std::variant<HostOptions, Exit> parse(int argc, char** argv);
};

}  // namespace quorvela::host
