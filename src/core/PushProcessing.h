#pragma once
// Push-notification processing: reads a push's command code and identifiers,
// starts what the command names on the global queue under a background task
// named by the message id, fetches pending and single messages, and hands
// every processed message to the host. The core owns one; it is the
// delegate of every pending-message loader it starts.
//
// Every push's completion handler is called exactly once: with 1 ("no data")
// at once when nothing is started (no workspace for the push, unknown
// command, a geo push that is not one or without location services), else by
// the started work. A second call from the started work is dropped.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/PushPayload.h"
#include "protocol/PendingMessageDataLoaderDelegate.h"
#include "quorvela/FetchResult.h"
#include "quorvela/Value.h"

namespace quorvela {

class Message;
class PushLocationActions;
class QuorvelaCore;
class WorkspaceRecord;

class PushProcessing : public PendingMessageDataLoaderDelegate {
public:
    using Completion = FetchCompletion;
    using MessageList = std::vector<std::shared_ptr<Message>>;

    /// The fetch result of every path that starts nothing.
    static constexpr unsigned long kNoData = kFetchResultNoData;

    /// `location`: where location commands go; null means the facade itself.
    explicit PushProcessing(QuorvelaCore& facade, std::shared_ptr<PushLocationActions> location = nullptr);

    void processRemoteNotification(const Value::Dictionary& payload, Completion handler);
    /// Malformed JSON or a non-object is refused with a debug line and the
    /// handler gets 1.
    void processRemoteNotification(std::string_view payloadJson, Completion handler);

    /// Not configured: a debug line, and the handler is not called.
    void getUnreadMessagesWithHandler(Completion handler);
    /// In the subscribed workspace of the facade's client id; without one
    /// nothing is requested and the handler is not called.
    void processPushNotificationForMsgID(const std::optional<std::string>& msgID, Completion handler);
    /// A null workspace: nothing happens.
    void processPushNotificationForMsgID(const std::optional<std::string>& msgID,
                                         const std::shared_ptr<WorkspaceRecord>& workspace, Completion handler);

    /// A pending-message request's outcome, on the loader's reply thread:
    /// each message goes to the subscribed workspace of its client id (one
    /// store commit per workspace, the last one ending the journal entry),
    /// then the host hears of each in reply order; a message without a
    /// workspace, and a failure, is reported as an "ERROR" event.
    void pendingMessagesRetrieved(const MessageList& messages, std::optional<std::int64_t> journalEntry = {}) override;
    void pendingMessagesRetrievedError(const std::string& error) override;
    using PendingMessageDataLoaderDelegate::pushReceived;
    void pushReceived(const std::shared_ptr<Message>& message, const std::shared_ptr<WorkspaceRecord>& workspace);

    /// Takes the replies that a run which ended early kept in the journal but
    /// never stored, as if they had just arrived.
    void takeJournaledReplies();

private:
    static void runCommand(const std::shared_ptr<QuorvelaCore>& facade, PushLocationActions& location,
                           const PushPayload& push, const std::shared_ptr<WorkspaceRecord>& workspace,
                           const Completion& handler);

    void endJournalEntry(std::optional<std::int64_t> journalEntry) const;

    QuorvelaCore& facade_;
    std::shared_ptr<PushLocationActions> location_;
};

}  // namespace quorvela
