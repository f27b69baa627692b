#include "RegistrationEndpoints.h"

#include "RegistrationStore.h"
#include "RestRouter.h"
#include "SandboxState.h"

namespace quorvela::sandbox {

namespace {

// The client id is the segment before the time stamp, whatever the values
// in front of it hold (a user id may contain "/").
std::optional<std::string> applicationKey(const RestCall& call, SandboxState& state) {
    if (call.segments.size() < 2) return std::nullopt;
    auto application = state.application(call.segments[call.segments.size() - 2]);
    if (!application) return std::nullopt;
    return application->privateKey;
}

std::string joined(const std::vector<std::string>& segments, std::size_t from, std::size_t to) {
    std::string out;
    for (std::size_t i = from; i < to; ++i) {
        if (i > from) out += '/';
        out += segments[i];
    }
    return out;
}

std::string clientOf(const RestCall& call) { return call.segments[call.segments.size() - 2]; }

RestReply malformed() {
    // An error page of a broken front end: not well-formed XML.
    return RestReply{500, "<html><body><h1>500 Internal Server Error</h1></body>", "text/html"};
}

RestReply badRequest() { return RegistrationEndpoints::transactionResult(false, "Bad request", 400); }

std::string escaped(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '&': out += "&amp;"; break;
        default: out += c;
        }
    }
    return out;
}

RestOperation operation(RestOperation::Handler handler) { return RestOperation{applicationKey, std::move(handler)}; }

}  // namespace

void RegistrationEndpoints::addTo(RestRouter& router) {
    router.add("registerUser", operation(registerUser));
    router.add("removeAppUser", operation(removeAppUser));
    router.add("activatePhone", operation(activatePhone));
    router.add("iOSReg", operation(iOSReg));
}

RestReply RegistrationEndpoints::transactionResult(bool successful, const std::string& message, int status) {
    return RestReply{status, "<transactionResult><successful>" + std::string(successful ? "true" : "false") +
                                 "</successful><message>" + escaped(message) + "</message></transactionResult>"};
}

RestReply RegistrationEndpoints::registerUser(const RestCall& call, SandboxState& state) {
    // device / app / platform / user... / wait / client / time stamp
    const auto& s = call.segments;
    if (s.size() < 7) return badRequest();
    RegistrationStore store(state.database());
    const RegistrationBehaviour behaviour = store.behaviour();
    if (behaviour.malformed.count(call.operation)) return malformed();
    AppUser user{s[0], clientOf(call), joined(s, 3, s.size() - 3), false};
    if (behaviour.registerMode == "reject") return transactionResult(false, "Registration refused");
    if (behaviour.registerMode == "validate") {
        store.putUser(user);
        const bool waiting = s[s.size() - 3] == "true";
        return waiting ? transactionResult(true, "Validation code sent")
                       : transactionResult(false, "Validation code required");
    }
    user.validated = true;
    store.putUser(user);
    return transactionResult(true, "User registered");
}

RestReply RegistrationEndpoints::removeAppUser(const RestCall& call, SandboxState& state) {
    // device / app / platform / client / time stamp
    if (call.segments.size() < 5) return badRequest();
    RegistrationStore store(state.database());
    if (store.behaviour().malformed.count(call.operation)) return malformed();
    if (!store.removeUser(call.segments[0], clientOf(call))) return transactionResult(false, "No user registered");
    return transactionResult(true, "User removed");
}

RestReply RegistrationEndpoints::activatePhone(const RestCall& call, SandboxState& state) {
    // device / app / platform / code... / client / time stamp
    const auto& s = call.segments;
    if (s.size() < 6) return badRequest();
    RegistrationStore store(state.database());
    const RegistrationBehaviour behaviour = store.behaviour();
    if (behaviour.malformed.count(call.operation)) return malformed();
    auto user = store.user(s[0], clientOf(call));
    if (!user) return transactionResult(false, "No user registered");
    if (joined(s, 3, s.size() - 2) != behaviour.validationCode)
        return transactionResult(false, "Invalid validation code");
    user->validated = true;
    store.putUser(*user);
    return transactionResult(true, "Phone activated");
}

RestReply RegistrationEndpoints::iOSReg(const RestCall& call, SandboxState& state) {
    // device / app / push token... / client / time stamp
    const auto& s = call.segments;
    if (s.size() < 5) return badRequest();
    RegistrationStore store(state.database());
    if (store.behaviour().malformed.count(call.operation)) return malformed();
    store.putDevice(DeviceToken{s[0], clientOf(call), joined(s, 2, s.size() - 2)});
    return transactionResult(true, "Device registered");
}

}  // namespace quorvela::sandbox
