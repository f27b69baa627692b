#include "core/PushProcessing.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <string_view>

#include "core/ConfigurationGuard.h"
#include "core/DelegateCalls.h"
#include "core/FacadeLocationActions.h"
#include "core/QuorvelaCore.h"
#include "model/InboxStores.h"
#include "model/WorkspaceRecord.h"
#include "protocol/PendingMessageDataLoader.h"
#include "quorvela/FetchResult.h"
#include "quorvela/Message.h"

namespace quorvela {

namespace {

enum class Action {
    SendLocation,
    FetchGeofences,
    DropRegionThenFetchGeofences,
    FetchPending,
    GeoPush,
    FetchBeacons,
    DropBeaconThenFetchBeacons,
};

// Compared exactly (case-sensitive), first match wins.
constexpr std::pair<std::string_view, Action> kCommands[] = {
    {"GET_LOC", Action::SendLocation},
    {"CRT_REGION", Action::FetchGeofences},
    {"UPDT_REGION", Action::FetchGeofences},
    {"DLT_REGION", Action::DropRegionThenFetchGeofences},
    {"TXT_MSG", Action::FetchPending},
    {"GEOFENCE", Action::FetchPending},
    {"BEACON", Action::FetchPending},
    {"GEO_PUSH", Action::GeoPush},
    {"GEOPUSH", Action::GeoPush},
    {"CRT_BEACON", Action::FetchBeacons},
    {"UPDT_BEACON", Action::FetchBeacons},
    {"DLT_BEACON", Action::DropBeaconThenFetchBeacons},
};

// Lets the first call through and drops any later one, so a host's fetch
// handler never hears twice about one push.
PushProcessing::Completion once(PushProcessing::Completion handler) {
    if (!handler) return handler;
    auto called = std::make_shared<std::atomic<bool>>(false);
    return [called, handler = std::move(handler)](unsigned long result) {
        if (!called->exchange(true)) handler(result);
    };
}

void callIfAny(const PushProcessing::Completion& handler, unsigned long result) {
    if (handler) handler(result);
}

}  // namespace

PushProcessing::PushProcessing(QuorvelaCore& facade, std::shared_ptr<PushLocationActions> location)
    : facade_(facade), location_(std::move(location)) {}

void PushProcessing::processRemoteNotification(const Value::Dictionary& payload, Completion handler) {
    facade_.debugMessage("didReceiveRemoteNotification");
    PushPayload push = PushPayload::read(payload);
    auto workspace = facade_.getWorkspaceWithClientID(push.clientId);
    if (!workspace) {
        callIfAny(handler, kNoData);
        return;
    }
    auto facade = facade_.shared_from_this();
    std::shared_ptr<PushLocationActions> location = location_ ? location_
                                                              : std::make_shared<FacadeLocationActions>(facade);
    facade->platform()->dispatcher->global(
        [facade, location, push = std::move(push), workspace, handler = once(std::move(handler))] {
            facade->beginBackgroundTaskWithIdentifier(push.msgId);
            facade->logEvent(push.type, push.msgId, push.subject, workspace);
            try {
                runCommand(facade, *location, push, workspace, handler);
            } catch (const std::exception& e) {
                // A failure while starting the action still ends the task and
                // answers the host.
                facade->debugMessage(std::string("processRemoteNotification: ") + e.what());
                callIfAny(handler, kFetchResultFailed);
            } catch (...) {
                facade->debugMessage("processRemoteNotification: the command failed");
                callIfAny(handler, kFetchResultFailed);
            }
            facade->endBackgroundTaskWithIdentifier(push.msgId);
        });
}

void PushProcessing::processRemoteNotification(std::string_view payloadJson, Completion handler) {
    auto payload = PushPayload::parseJson(payloadJson);
    if (!payload) {
        facade_.debugMessage("processRemoteNotification: the payload is not a JSON object");
        callIfAny(handler, kNoData);
        return;
    }
    processRemoteNotification(*payload, std::move(handler));
}

void PushProcessing::runCommand(const std::shared_ptr<QuorvelaCore>& facade, PushLocationActions& location,
                                const PushPayload& push, const std::shared_ptr<WorkspaceRecord>& workspace,
                                const Completion& handler) {
    const std::optional<std::string> msgId = push.msgId;
    const std::optional<std::string> type = push.type;
    for (const auto& [code, action] : kCommands) {
        if (push.type != code) continue;
        switch (action) {
        case Action::SendLocation: location.sendLastLocationForMsgID(msgId, push.subject, workspace, handler); return;
        case Action::DropRegionThenFetchGeofences:
            location.unregisterRegionWithMsgID(msgId, push.subject, type, workspace);
            [[fallthrough]];
        case Action::FetchGeofences: workspace->fetchGeofencesWithCompletionHandler(handler); return;
        case Action::FetchPending: facade->pushProcessing().getUnreadMessagesWithHandler(handler); return;
        case Action::GeoPush:
            // The geo push's parameters travel in the message id.
            if (push.msgId.find("GEOPUSH") != std::string::npos && location.locationServicesAreEnabled()) {
                location.processGeoPushForMsgID(msgId, push.subject, workspace, handler);
            } else {
                callIfAny(handler, kNoData);
            }
            return;
        case Action::DropBeaconThenFetchBeacons:
            location.unregisterBeaconWithMsgID(msgId, push.subject, type, workspace);
            [[fallthrough]];
        case Action::FetchBeacons: workspace->fetchBeaconsWithCompletionHandler(handler); return;
        }
    }
    callIfAny(handler, kNoData);
}

void PushProcessing::getUnreadMessagesWithHandler(Completion handler) {
    if (!ConfigurationGuard(*facade_.platform()).requireConfigured("getUnreadMessagesWithHandler")) return;
    auto loader = PendingMessageDataLoader::create(facade_.platform(), facade_.credentials());
    // Shares the core's ownership: the core (and this flow) live until the
    // loader has reported.
    loader->setDelegate(std::shared_ptr<PendingMessageDataLoaderDelegate>(facade_.shared_from_this(), this));
    loader->startLoadingMessageWithCompletionHandler(std::move(handler));
}

void PushProcessing::processPushNotificationForMsgID(const std::optional<std::string>& msgID, Completion handler) {
    processPushNotificationForMsgID(msgID, facade_.getWorkspaceWithClientID(facade_.clientID()), std::move(handler));
}

void PushProcessing::processPushNotificationForMsgID(const std::optional<std::string>& msgID,
                                                     const std::shared_ptr<WorkspaceRecord>& workspace,
                                                     Completion handler) {
    if (!workspace) return;
    workspace->fetchMessageWithID(msgID, std::move(handler));
}

void PushProcessing::pendingMessagesRetrieved(const MessageList& messages, std::optional<std::int64_t> journalEntry) {
    if (!ConfigurationGuard(*facade_.platform()).requireConfigured("pendingMessagesRetrieved")) {
        endJournalEntry(journalEntry);
        return;
    }
    struct Group {
        std::shared_ptr<WorkspaceRecord> workspace;
        MessageList messages;
    };
    std::vector<Group> groups;
    std::vector<std::shared_ptr<WorkspaceRecord>> owners(messages.size());
    for (std::size_t i = 0; i < messages.size(); ++i) {
        if (!messages[i]) continue;
        owners[i] = facade_.getWorkspaceWithClientID(messages[i]->clientId());
        if (!owners[i]) continue;
        auto group = std::find_if(groups.begin(), groups.end(),
                                  [&](const Group& g) { return g.workspace == owners[i]; });
        if (group == groups.end()) group = groups.insert(groups.end(), Group{owners[i], {}});
        group->messages.push_back(messages[i]);
    }
    // Everything is stored before the host hears of any of it.
    for (std::size_t g = 0; g < groups.size(); ++g)
        groups[g].workspace->storeReceived(groups[g].messages,
                                           g + 1 == groups.size() ? journalEntry : std::optional<std::int64_t>());
    if (groups.empty()) endJournalEntry(journalEntry);
    for (std::size_t i = 0; i < messages.size(); ++i) {
        if (!messages[i]) continue;
        if (owners[i]) owners[i]->announce(messages[i]);
        else
            facade_.logEvent("ERROR", std::string("ClientId not found in subscribed Workspaces"),
                             messages[i]->subject());
    }
}

void PushProcessing::endJournalEntry(std::optional<std::int64_t> journalEntry) const {
    if (!journalEntry) return;
    if (auto store = InboxStores::of(*facade_.platform())) store->commit({}, journalEntry);
}

void PushProcessing::takeJournaledReplies() {
    auto store = InboxStores::of(*facade_.platform());
    if (!store) return;
    for (const auto& entry : store->journalEntries()) {
        if (auto messages = PendingMessageDataLoader::messagesOf(entry)) pendingMessagesRetrieved(*messages, entry.id);
        else endJournalEntry(entry.id);
    }
}

void PushProcessing::pendingMessagesRetrievedError(const std::string& error) {
    facade_.logEvent("ERROR", error, std::string("Error PENDING MESSAGES"));
}

void PushProcessing::pushReceived(const std::shared_ptr<Message>& message,
                                  const std::shared_ptr<WorkspaceRecord>& workspace) {
    if (!message) return;
    facade_.logEvent("PUSHRECEIVED", message->text(), message->subject(), workspace);
    DelegateCalls::pushReceived(facade_.delegate(), message, workspace);
}

}  // namespace quorvela
