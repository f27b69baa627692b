#pragma once
// The commands of quorvela-host, by name. Each capability of the library adds
// its commands here when it lands; a documented command without a handler yet
// answers "error not available: <command>".

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "HostOptions.h"
#include "Output.h"
#include "core/QuorvelaCore.h"

namespace quorvela::host {

class CommandTable {
public:
    enum class Flow { Continue, Quit };
    using Arguments = std::vector<Argument>;
    using Handler = std::function<Flow(const Arguments&)>;

    /// Waiting for the library before the tool exits.
    static constexpr std::chrono::milliseconds kExitWait{10000};

    CommandTable(std::shared_ptr<QuorvelaCore> facade, Output& output, const HostOptions& options);

    /// Runs one command; prints "error <text>" when it cannot be run.
    Flow run(const CommandLine& line);

private:
    void addCommands();
    void addShowTargets();
    void add(const std::string& name, Handler handler) { commands_[name] = std::move(handler); }
    void addShow(const std::string& what, Handler handler) { showTargets_[what] = std::move(handler); }
    Flow show(const Arguments& arguments);

    std::shared_ptr<QuorvelaCore> facade_;
    std::shared_ptr<Platform> platform_;
    Output& output_;
    HostOptions options_;
    std::map<std::string, Handler> commands_;
    std::map<std::string, Handler> showTargets_;
};

}  // namespace quorvela::host
