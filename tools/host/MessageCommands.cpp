#include "MessageCommands.h"

#include "EchoedInput.h"
#include "JsonText.h"
#include "model/WorkspaceRecord.h"
#include "quorvela/Beacon.h"
#include "quorvela/Geofence.h"

namespace quorvela::host {

namespace {

using Arguments = CommandTable::Arguments;
using Flow = CommandTable::Flow;

std::shared_ptr<WorkspaceRecord> subscribed(const QuorvelaCore& facade, const Argument& clientId) {
    const std::string id = clientId.text();
    auto workspace = facade.getWorkspaceWithClientID(id);
    if (!workspace) throw CommandError{"unknown workspace: " + EchoedInput::of(id)};
    return workspace;
}

template <class List>
std::string serializedList(const List& list) {
    Value::Array out;
    for (const auto& record : list)
        if (record) out.emplace_back(record->serialize());
    return JsonText::of(Value(out));
}

}  // namespace

MessageCommands::Named MessageCommands::make(std::shared_ptr<QuorvelaCore> facade) {
    Named commands;
    commands.emplace_back("sync", [facade](const Arguments& arguments) {
        if (arguments.size() != 1) throw CommandError{"usage: sync <clientId>"};
        subscribed(*facade, arguments[0])->synchronize();
        return Flow::Continue;
    });
    commands.emplace_back("reply", [facade](const Arguments& arguments) {
        if (arguments.size() != 2) throw CommandError{"usage: reply <clientId> <text>"};
        subscribed(*facade, arguments[0])->sendMessage(arguments[1].optionalText());
        return Flow::Continue;
    });
    return commands;
}

MessageCommands::Named MessageCommands::showTargets(std::shared_ptr<QuorvelaCore> facade, Output& output) {
    Named targets;
    targets.emplace_back("inbox", [facade, &output](const Arguments& arguments) {
        if (arguments.size() != 1) throw CommandError{"usage: show inbox <clientId>"};
        std::string line = "inbox [";
        bool first = true;
        for (const auto& message : subscribed(*facade, arguments[0])->getMessages()) {
            if (!first) line += ',';
            line += JsonText::messageText(message);
            first = false;
        }
        output.line(line + "]");
        return Flow::Continue;
    });
    targets.emplace_back("geofences", [facade, &output](const Arguments& arguments) {
        if (arguments.size() != 1) throw CommandError{"usage: show geofences <clientId>"};
        output.line("geofences " + serializedList(subscribed(*facade, arguments[0])->getGeofences()));
        return Flow::Continue;
    });
    targets.emplace_back("beacons", [facade, &output](const Arguments& arguments) {
        if (arguments.size() != 1) throw CommandError{"usage: show beacons <clientId>"};
        output.line("beacons " + serializedList(subscribed(*facade, arguments[0])->getBeacons()));
        return Flow::Continue;
    });
    return targets;
}

}  // namespace quorvela::host
