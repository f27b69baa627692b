#include "CommandTable.h"

#include <set>
#include <thread>

#include "EchoedInput.h"
#include "JsonText.h"
#include "LocationCommands.h"
#include "MessageCommands.h"
#include "PushCommands.h"
#include "RegistrationCommands.h"
#include "WifiCommands.h"
#include "WorkspaceCommands.h"
#include "model/InboxStores.h"

namespace quorvela::host {

namespace {

// Every command of the tool's contract; those without a handler yet are
// answered as not available rather than unknown.
const std::set<std::string>& documentedCommands() {
    static const std::set<std::string> names{"configure",
                                             "register",
                                             "unregister",
                                             "token",
                                             "subscribe-device",
                                             "activate",
                                             "push",
                                             "unread",
                                             "message",
                                             "available",
                                             "subscribed",
                                             "join",
                                             "leave",
                                             "sync",
                                             "reply",
                                             "event",
                                             "set",
                                             "load-env",
                                             "load-credentials",
                                             "authorize",
                                             "services",
                                             "location",
                                             "enter",
                                             "exit",
                                             "enter-beacon",
                                             "exit-beacon",
                                             "wifi",
                                             "network-change",
                                             "refresh-regions",
                                             "reset-regions",
                                             "show",
                                             "wait",
                                             "sleep",
                                             "quit"};
    return names;
}

const std::set<std::string>& documentedShowTargets() {
    static const std::set<std::string> names{"inbox",   "geofences", "beacons", "workspaces",
                                             "regions", "monitored", "store",   "location"};
    return names;
}

void expectCount(const CommandTable::Arguments& arguments, std::size_t min, std::size_t max, const char* usage) {
    if (arguments.size() < min || arguments.size() > max) throw CommandError{std::string("usage: ") + usage};
}

bool parseBoolean(const Argument& argument, const char* usage) {
    if (argument.isJson && argument.json.is_boolean()) return argument.json.get<bool>();
    if (!argument.isJson && argument.word == "true") return true;
    if (!argument.isJson && argument.word == "false") return false;
    throw CommandError{std::string("usage: ") + usage};
}

}  // namespace

CommandTable::CommandTable(std::shared_ptr<QuorvelaCore> facade, Output& output, const HostOptions& options)
    : facade_(std::move(facade)), platform_(facade_->platform()), output_(output), options_(options) {
    addCommands();
    addShowTargets();
}

CommandTable::Flow CommandTable::run(const CommandLine& line) {
    try {
        auto it = commands_.find(line.command);
        if (it != commands_.end()) return it->second(line.arguments);
        if (documentedCommands().count(line.command))
            throw CommandError{"not available: " + EchoedInput::of(line.command)};
        throw CommandError{"unknown command: " + EchoedInput::of(line.command)};
    } catch (const CommandError& error) {
        output_.line("error " + error.text);
    }
    return Flow::Continue;
}

void CommandTable::addCommands() {
    for (auto& [name, handler] : RegistrationCommands::make(facade_)) add(name, std::move(handler));
    for (auto& [name, handler] : MessageCommands::make(facade_)) add(name, std::move(handler));
    for (auto& [name, handler] : WifiCommands::make(facade_)) add(name, std::move(handler));
    for (auto& [name, handler] : PushCommands::make(facade_, output_)) add(name, std::move(handler));
    for (auto& [name, handler] : LocationCommands::make(facade_, options_)) add(name, std::move(handler));
    for (auto& [name, handler] : WorkspaceCommands::make(facade_, output_)) add(name, std::move(handler));

    add("configure", [](const Arguments& arguments) {
        expectCount(arguments, 0, 0, "configure");
        Quorvela::configure();
        return Flow::Continue;
    });

    add("event", [this](const Arguments& arguments) {
        const char* usage = "event <type> <extra> [<campaign>]";
        expectCount(arguments, 2, 3, usage);
        auto type = arguments[0].optionalText();
        auto extra = arguments[1].optionalText();
        if (arguments.size() == 2) {
            facade_->logEvent(type, extra);
        } else {
            facade_->logEvent(type, extra, arguments[2].optionalText());
        }
        return Flow::Continue;
    });

    add("set", [this](const Arguments& arguments) {
        const char* usage = "set logging <true/false> | set location <true/false> | set max <n>";
        expectCount(arguments, 2, 2, usage);
        std::string what = arguments[0].text();
        if (what == "logging") {
            facade_->setLogAllEventsDisabled(parseBoolean(arguments[1], usage));
        } else if (what == "location") {
            facade_->setGetLocationDisabled(parseBoolean(arguments[1], usage));
        } else if (what == "max") {
            auto n = parseInteger(arguments[1].text(), INT32_MIN, INT32_MAX, "number");
            facade_->setMaxStoredMessages(static_cast<std::int32_t>(n));
        } else {
            throw CommandError{std::string("usage: ") + usage};
        }
        return Flow::Continue;
    });

    add("load-env", [this](const Arguments& arguments) {
        expectCount(arguments, 1, 1, "load-env <name>");
        facade_->loadEnvironmentFromFile(arguments[0].text());
        return Flow::Continue;
    });

    add("load-credentials", [this](const Arguments& arguments) {
        expectCount(arguments, 1, 1, "load-credentials <name>");
        facade_->loadQuorvelaCredentials(arguments[0].text());
        return Flow::Continue;
    });

    add("show", [this](const Arguments& arguments) { return show(arguments); });

    add("wait", [this](const Arguments& arguments) {
        expectCount(arguments, 0, 1, "wait [ms]");
        std::int64_t ms = arguments.empty() ? 10000 : parseInteger(arguments[0].text(), 0, INT32_MAX, "time");
        bool idle = platform_->dispatcher->waitIdle(std::chrono::milliseconds(ms));
        output_.line(idle ? "idle" : "timeout");
        return Flow::Continue;
    });

    add("sleep", [](const Arguments& arguments) {
        expectCount(arguments, 1, 1, "sleep <ms>");
        std::int64_t ms = parseInteger(arguments[0].text(), 0, INT32_MAX, "time");
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
        return Flow::Continue;
    });

    add("quit", [](const Arguments& arguments) {
        expectCount(arguments, 0, 0, "quit");
        return Flow::Quit;
    });
}

void CommandTable::addShowTargets() {
    for (auto& [what, handler] : MessageCommands::showTargets(facade_, output_)) addShow(what, std::move(handler));
    for (auto& [what, handler] : LocationCommands::showTargets(facade_, output_)) addShow(what, std::move(handler));
    for (auto& [what, handler] : WorkspaceCommands::showTargets(facade_, output_)) addShow(what, std::move(handler));
    addShow("store", [this](const Arguments& arguments) {
        expectCount(arguments, 1, 1, "show store <key>");
        std::string key = arguments[0].text();
        Value value = platform_->keyValueStore->get(key);
        // Inboxes live in the inbox store; they print as the archive they were.
        if (value.isNull() && key.size() > 9 && key.compare(key.size() - 9, 9, "-messages") == 0)
            value = InboxStores::archived(*platform_, key);
        output_.line("store " + key + " " + JsonText::of(value));
        return Flow::Continue;
    });
}

CommandTable::Flow CommandTable::show(const Arguments& arguments) {
    if (arguments.empty()) throw CommandError{"usage: show <what> ..."};
    std::string what = arguments[0].text();
    auto it = showTargets_.find(what);
    if (it == showTargets_.end()) {
        if (documentedShowTargets().count(what)) throw CommandError{"not available: show " + EchoedInput::of(what)};
        throw CommandError{"unknown show: " + EchoedInput::of(what)};
    }
    return it->second(Arguments(arguments.begin() + 1, arguments.end()));
}

}  // namespace quorvela::host
