#pragma once
#include <memory>
#include <string>

namespace quorvela {

class Message;

/// The outcome of a SingleMessageLoader call: one of the first two, once,
/// then the completion handler. Calls run on the thread that handles the
/// reply (a global-queue job, never the main thread).
class SingleMessageLoaderDelegate {
public:
    virtual ~SingleMessageLoaderDelegate() = default;
    /// The last "message" of a well-formed reply; null when it held none.
    virtual void SingleMessageRetrieved(const std::shared_ptr<Message>& message) = 0;
    /// The request or the parse failed.
    virtual void SingleMessageRetrievedError(const std::string& error) = 0;
    /// Part of the interface for the receiver's own use; the loader never calls it.
    virtual void pushReceived(const std::shared_ptr<Message>& /*message*/) {}
};

}  // namespace quorvela
