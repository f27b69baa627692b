#include "RegistrationCommands.h"

#include "core/RegistrationFlow.h"
#include "protocol/RegisterPhoneDataloader.h"

namespace quorvela::host {

namespace {

using Arguments = CommandTable::Arguments;
using Flow = CommandTable::Flow;

void expectCount(const Arguments& arguments, std::size_t count, const char* usage) {
    if (arguments.size() != count) throw CommandError{std::string("usage: ") + usage};
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}  // namespace

std::vector<std::uint8_t> RegistrationCommands::parseHex(const std::string& digits) {
    if (digits.size() % 2 != 0) throw CommandError{"usage: token <hex> | token null"};
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        const int high = hexDigit(digits[i]);
        const int low = hexDigit(digits[i + 1]);
        if (high < 0 || low < 0) throw CommandError{"usage: token <hex> | token null"};
        bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    return bytes;
}

std::vector<std::pair<std::string, CommandTable::Handler>> RegistrationCommands::make(
    std::shared_ptr<QuorvelaCore> facade) {
    std::vector<std::pair<std::string, CommandTable::Handler>> commands;
    commands.emplace_back("register", [facade](const Arguments& arguments) {
        expectCount(arguments, 1, "register <userID>");
        facade->registerWithUserID(arguments[0].optionalText());
        return Flow::Continue;
    });
    commands.emplace_back("unregister", [facade](const Arguments& arguments) {
        expectCount(arguments, 0, "unregister");
        facade->unRegisterUser();
        return Flow::Continue;
    });
    commands.emplace_back("token", [facade](const Arguments& arguments) {
        expectCount(arguments, 1, "token <hex> | token null");
        const auto digits = arguments[0].optionalText();
        if (!digits) {
            facade->registerDeviceToken(std::nullopt);
        } else {
            facade->registerDeviceToken(parseHex(*digits));
        }
        return Flow::Continue;
    });
    commands.emplace_back("subscribe-device", [facade](const Arguments& arguments) {
        expectCount(arguments, 0, "subscribe-device");
        facade->deviceSubscriberWithUniqueID();
        return Flow::Continue;
    });
    commands.emplace_back("activate", [facade](const Arguments& arguments) {
        expectCount(arguments, 1, "activate <code>");
        facade->registration().activatePhoneWithCode(arguments[0].optionalText());
        return Flow::Continue;
    });
    return commands;
}

}  // namespace quorvela::host
