#pragma once
// getPendingMessages: the messages the service holds for this device, either
// under the facade's credentials (HttpRequest "Messages") or under one
// workspace's key (shared session). The two forms report failures with
// different texts.
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/ClientCredentials.h"
#include "protocol/PendingMessageDataLoaderDelegate.h"
#include "protocol/RequestDelegate.h"
#include "quorvela/FetchResult.h"
#include "quorvela/platform/Platform.h"

namespace quorvela {

class Message;
class WorkspaceRecord;

/// Serves one call; always held by std::shared_ptr. The request in flight
/// keeps it alive until the delegate and then the completion handler (0 after
/// a well-formed reply, 2 after any failure) have been called.
class PendingMessageDataLoader : public RequestDelegate, public std::enable_shared_from_this<PendingMessageDataLoader> {
public:
    using Completion = FetchCompletion;
    using MessageList = std::vector<std::shared_ptr<Message>>;

    /// `credentials` are the facade's at the start of the call.
    PendingMessageDataLoader(std::shared_ptr<Platform> platform, ClientCredentials credentials);
    static std::shared_ptr<PendingMessageDataLoader> create(std::shared_ptr<Platform> platform,
                                                            ClientCredentials credentials);

    /// Under the facade's client id and private key.
    void startLoadingMessageWithCompletionHandler(Completion completion);
    /// Under the workspace's client id and key.
    void startLoadingMessageFromWorkspace(const std::shared_ptr<WorkspaceRecord>& workspace, Completion completion);

    std::shared_ptr<PendingMessageDataLoaderDelegate> delegate() const;
    void setDelegate(std::shared_ptr<PendingMessageDataLoaderDelegate> delegate);
    Completion completion() const;
    void setCompletion(Completion completion);
    /// The messages of the last well-formed reply, in document order.
    MessageList messages() const;

    void response(const std::string& body) override;
    void requestError(const RequestError& error) override;

    /// The messages of a reply kept in the inbox journal (in document order);
    /// nothing when the entry holds no readable reply.
    static std::optional<MessageList> messagesOf(const InboxStore::JournalEntry& entry);

private:
    enum class Form { FacadeCredentials, Workspace };
    std::string rawPath(const std::optional<std::string>& clientId) const;
    /// Keeps the reply in the inbox journal before anything reports it, so
    /// that a reply received in full survives a crash; then handles it.
    void receive(std::string_view body, Form form);
    void handleBody(std::string_view body, Form form, std::optional<std::int64_t> journalEntry);
    void fail(const std::string& logLine, const std::string& delegateText);

    const std::shared_ptr<Platform> platform_;
    const ClientCredentials credentials_;
    mutable std::mutex mutex_;
    std::shared_ptr<PendingMessageDataLoaderDelegate> delegate_;
    Completion completion_;
    MessageList messages_;
};

}  // namespace quorvela
