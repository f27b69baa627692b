#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvela {

class Message;

/// The outcome of a PendingMessageDataLoader call: one of the first two,
/// once, then the completion handler. Calls run on the thread that handles
/// the reply (a global-queue job, never the main thread); calls of different
/// loaders may overlap.
class PendingMessageDataLoaderDelegate {
public:
    virtual ~PendingMessageDataLoaderDelegate() = default;
    /// The messages of a well-formed reply, in document order (possibly none).
    /// `journalEntry` keeps the reply until the receiver ends it in the store
    /// commit that takes the messages (nothing: the store keeps no journal).
    virtual void pendingMessagesRetrieved(const std::vector<std::shared_ptr<Message>>& messages,
                                          std::optional<std::int64_t> journalEntry) = 0;
    /// The request or the parse failed.
    virtual void pendingMessagesRetrievedError(const std::string& error) = 0;
    /// Part of the interface for the receiver's own use; the loader never calls it.
    virtual void pushReceived(const std::shared_ptr<Message>& /*message*/) {}
};

}  // namespace quorvela
