#include "WorkspaceEndpoints.h"

#include <openssl/evp.h>

#include <algorithm>
#include <cctype>
#include <vector>

#include "EndpointFaults.h"
#include "RegistrationEndpoints.h"
#include "RestRouter.h"
#include "SandboxState.h"
#include "WorkspaceSubscriptions.h"
#include "WorkspaceTable.h"
#include "XmlText.h"

namespace quorvela::sandbox {

namespace {

constexpr std::string_view kSubscribedPrefix = "subscribed=true&userid=";
constexpr std::string_view kUserPrefix = "userid=";
constexpr std::string_view kNameMark = "&name=";

std::optional<std::string> decodeBase64(const std::string& text) {
    if (text.empty()) return std::string();
    if (text.size() % 4 != 0) return std::nullopt;
    std::vector<unsigned char> out(text.size() / 4 * 3);
    const int n = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                  static_cast<int>(text.size()));
    if (n < 0) return std::nullopt;
    std::size_t length = static_cast<std::size_t>(n);
    // The block decoder counts the fill characters as zero bytes.
    if (text.ends_with("==")) length -= 2;
    else if (text.ends_with("=")) length -= 1;
    return std::string(out.begin(), out.begin() + static_cast<long>(length));
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return std::tolower(c); });
    return text;
}

std::string joined(const std::vector<std::string>& segments, std::size_t from, std::size_t to) {
    std::string out;
    for (std::size_t i = from; i < to; ++i) {
        if (i > from) out += '/';
        out += segments[i];
    }
    return out;
}

std::string workspaceXml(const SandboxWorkspace& workspace, bool subscribed) {
    std::string out = "<workspace>" + XmlText::element("clientId", workspace.clientId) +
                      XmlText::element("name", workspace.name) + XmlText::element("publicKey", workspace.publicKey);
    if (workspace.callbackUrl) out += XmlText::element("callbackUrl", *workspace.callbackUrl);
    return out + XmlText::element("subscribed", subscribed ? "true" : "false") + "</workspace>";
}

RestReply badRequest() { return RegistrationEndpoints::transactionResult(false, "Bad request", 400); }

// The application signs the lists: its public id is the segment before the
// time stamp.
std::optional<std::string> applicationKey(const RestCall& call, SandboxState& state) {
    if (call.segments.size() < 2) return std::nullopt;
    auto application = state.application(call.segments[call.segments.size() - 2]);
    if (!application) return std::nullopt;
    return application->privateKey;
}

// The workspace signs its join and leave: its client id is the segment before
// the time stamp.
std::optional<std::string> workspaceKey(const RestCall& call, SandboxState& state) {
    if (call.segments.size() < 2) return std::nullopt;
    return WorkspaceTable(state).keyOf(call.segments[call.segments.size() - 2]);
}

// app / platform / user... / client / time stamp
std::optional<WorkspaceSubscription> subscriptionOf(const RestCall& call) {
    const auto& s = call.segments;
    if (s.size() < 5) return std::nullopt;
    return WorkspaceSubscription{s[0], joined(s, 2, s.size() - 2), s[s.size() - 2]};
}

}  // namespace

void WorkspaceEndpoints::addTo(RestRouter& router) {
    router.add("getWorkspaces",
               EndpointFaults::withFaults("getWorkspaces", RestOperation{applicationKey, getWorkspaces}));
    router.add("joinWorkspace",
               EndpointFaults::withFaults("joinWorkspace", RestOperation{workspaceKey, joinWorkspace}));
    router.add("detachWorkspace",
               EndpointFaults::withFaults("detachWorkspace", RestOperation{workspaceKey, detachWorkspace}));
}

std::optional<WorkspaceEndpoints::ListQuery> WorkspaceEndpoints::parseListQuery(const std::string& text) {
    ListQuery query;
    if (text.starts_with(kSubscribedPrefix)) {
        query.subscribed = true;
        query.userId = text.substr(kSubscribedPrefix.size());
        return query;
    }
    if (!text.starts_with(kUserPrefix)) return std::nullopt;
    std::string rest = text.substr(kUserPrefix.size());
    // The Base64 name never holds "&", so the last mark is the real one.
    const auto mark = rest.rfind(kNameMark);
    if (mark == std::string::npos) {
        query.userId = std::move(rest);
        return query;
    }
    query.name = decodeBase64(rest.substr(mark + kNameMark.size()));
    if (!query.name) return std::nullopt;
    query.userId = rest.substr(0, mark);
    return query;
}

RestReply WorkspaceEndpoints::getWorkspaces(const RestCall& call, SandboxState& state) {
    // app / platform / query (may span segments) / client / time stamp
    const auto& s = call.segments;
    if (s.size() < 5) return badRequest();
    auto query = parseListQuery(joined(s, 2, s.size() - 2));
    if (!query) return badRequest();
    const std::string& appName = s[0];
    WorkspaceTable table(state);
    WorkspaceSubscriptions subscriptions(state.database());
    auto isMember = [&](const std::string& clientId) {
        return subscriptions.contains({appName, query->userId, clientId});
    };

    std::string body = "<workspaces>";
    if (query->subscribed) {
        // The application's default workspace always appears, joined or not;
        // then the user's other workspaces in the order they were joined.
        std::optional<std::string> defaultId;
        if (auto application = state.application(s[s.size() - 2])) defaultId = application->defaultWorkspace;
        if (defaultId)
            if (auto workspace = table.find(*defaultId)) body += workspaceXml(*workspace, isMember(*defaultId));
        for (const auto& clientId : subscriptions.clientIds(appName, query->userId)) {
            if (clientId == defaultId) continue;
            if (auto workspace = table.find(clientId)) body += workspaceXml(*workspace, true);
        }
    } else {
        const std::string filter = lower(query->name.value_or(""));
        for (const auto& workspace : table.all()) {
            if (!filter.empty() && lower(workspace.name).find(filter) == std::string::npos) continue;
            body += workspaceXml(workspace, isMember(workspace.clientId));
        }
    }
    return RestReply{200, body + "</workspaces>", "application/xml"};
}

RestReply WorkspaceEndpoints::joinWorkspace(const RestCall& call, SandboxState& state) {
    auto subscription = subscriptionOf(call);
    if (!subscription) return badRequest();
    WorkspaceSubscriptions subscriptions(state.database());
    if (subscriptions.behaviour().refusesJoin(subscription->clientId))
        return RegistrationEndpoints::transactionResult(false, "Join refused");
    subscriptions.add(*subscription);
    return RegistrationEndpoints::transactionResult(true, "Workspace joined");
}

RestReply WorkspaceEndpoints::detachWorkspace(const RestCall& call, SandboxState& state) {
    auto subscription = subscriptionOf(call);
    if (!subscription) return badRequest();
    WorkspaceSubscriptions subscriptions(state.database());
    if (subscriptions.behaviour().refusesLeave(subscription->clientId))
        return RegistrationEndpoints::transactionResult(false, "Leave refused");
    if (!subscriptions.remove(*subscription)) return RegistrationEndpoints::transactionResult(false, "Not subscribed");
    return RegistrationEndpoints::transactionResult(true, "Workspace detached");
}

}  // namespace quorvela::sandbox
