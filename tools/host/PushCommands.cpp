#include "PushCommands.h"

#include "model/WorkspaceRecord.h"

namespace quorvela::host {

namespace {

using Arguments = CommandTable::Arguments;
using Flow = CommandTable::Flow;

QuorvelaCore::Completion printDone(Output& output, const std::string& command) {
    return [&output, command](unsigned long result) { output.line("done " + command + " " + std::to_string(result)); };
}

}  // namespace

PushCommands::Named PushCommands::make(std::shared_ptr<QuorvelaCore> facade, Output& output) {
    Named commands;
    commands.emplace_back("push", [facade, &output](const Arguments& arguments) {
        if (arguments.size() != 1 || !arguments[0].isJson || !arguments[0].json.is_object())
            throw CommandError{"usage: push <json-object>"};
        // As a push service delivers it: the notification's JSON text.
        facade->processRemoteNotification(
            arguments[0].json.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace),
            printDone(output, "push"));
        return Flow::Continue;
    });
    commands.emplace_back("unread", [facade, &output](const Arguments& arguments) {
        if (!arguments.empty()) throw CommandError{"usage: unread"};
        facade->getUnreadMessagesWithHandler(printDone(output, "unread"));
        return Flow::Continue;
    });
    commands.emplace_back("message", [facade, &output](const Arguments& arguments) {
        if (arguments.empty() || arguments.size() > 2) throw CommandError{"usage: message <msgID> [clientId]"};
        auto msgID = arguments[0].optionalText();
        if (arguments.size() == 1) {
            facade->processPushNotificationForMsgID(msgID, printDone(output, "message"));
        } else {
            // No subscribed workspace of that id: the library is given none.
            auto workspace = facade->getWorkspaceWithClientID(arguments[1].optionalText());
            facade->processPushNotificationForMsgID(msgID, workspace, printDone(output, "message"));
        }
        return Flow::Continue;
    });
    return commands;
}

}  // namespace quorvela::host
