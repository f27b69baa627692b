#include "WorkspaceCommands.h"

#include <nlohmann/json.hpp>

#include "model/WorkspaceRecord.h"

namespace quorvela::host {

namespace {

using Arguments = CommandTable::Arguments;
using Flow = CommandTable::Flow;
using List = std::vector<std::shared_ptr<WorkspaceRecord>>;
using nlohmann::ordered_json;

QuorvelaCore::Completion printer(Output& output, const std::string& command) {
    return [&output, command](unsigned long n) { output.line("done " + command + " " + std::to_string(n)); };
}

std::shared_ptr<WorkspaceRecord> withClientId(const List& list, const std::string& clientId) {
    for (const auto& workspace : list)
        if (workspace && workspace->clientId() == clientId) return workspace;
    return nullptr;
}

// The first list that holds the client id wins; none gives no workspace.
std::shared_ptr<WorkspaceRecord> lookUp(const List& first, const List& second, const std::string& clientId) {
    if (auto found = withClientId(first, clientId)) return found;
    return withClientId(second, clientId);
}

ordered_json text(const std::optional<std::string>& value) {
    return value ? ordered_json(*value) : ordered_json(nullptr);
}

ordered_json listJson(const List& list) {
    ordered_json out = ordered_json::array();
    for (const auto& w : list) {
        if (!w) continue;
        out.push_back({{"clientId", text(w->clientId())},
                       {"name", text(w->name())},
                       {"publicKey", text(w->publicKey())},
                       {"callbackURL", text(w->callbackUrl())},
                       {"subscribed", w->subscribed()}});
    }
    return out;
}

}  // namespace

WorkspaceCommands::Named WorkspaceCommands::make(std::shared_ptr<QuorvelaCore> facade, Output& output) {
    Named commands;
    commands.emplace_back("available", [facade, &output](const Arguments& arguments) {
        if (arguments.size() > 1) throw CommandError{"usage: available [filter]"};
        if (arguments.empty()) facade->fetchAvailableWorkspacesWithCompletionHandler(printer(output, "available"));
        else facade->getAvailableWorkspaceswithFilter(arguments[0].optionalText(), printer(output, "available"));
        return Flow::Continue;
    });
    commands.emplace_back("subscribed", [facade, &output](const Arguments& arguments) {
        if (!arguments.empty()) throw CommandError{"usage: subscribed"};
        facade->fetchSubscribedWorkspacesWithCompletionHandler(printer(output, "subscribed"));
        return Flow::Continue;
    });
    commands.emplace_back("join", [facade, &output](const Arguments& arguments) {
        if (arguments.size() != 1) throw CommandError{"usage: join <clientId>"};
        auto workspace = lookUp(facade->getAvailableWorkspaces(), facade->getSubscribedWorkspaces(),
                                arguments[0].text());
        facade->joinWorkspace(workspace, printer(output, "join"));
        return Flow::Continue;
    });
    commands.emplace_back("leave", [facade, &output](const Arguments& arguments) {
        if (arguments.size() != 1) throw CommandError{"usage: leave <clientId>"};
        auto workspace = lookUp(facade->getSubscribedWorkspaces(), facade->getAvailableWorkspaces(),
                                arguments[0].text());
        facade->leaveWorkspace(workspace, printer(output, "leave"));
        return Flow::Continue;
    });
    return commands;
}

WorkspaceCommands::Named WorkspaceCommands::showTargets(std::shared_ptr<QuorvelaCore> facade, Output& output) {
    Named targets;
    targets.emplace_back("workspaces", [facade, &output](const Arguments& arguments) {
        if (!arguments.empty()) throw CommandError{"usage: show workspaces"};
        ordered_json lists{{"available", listJson(facade->getAvailableWorkspaces())},
                           {"subscribed", listJson(facade->getSubscribedWorkspaces())}};
        output.line("workspaces " + lists.dump(-1, ' ', false, ordered_json::error_handler_t::replace));
        return Flow::Continue;
    });
    return targets;
}

}  // namespace quorvela::host
