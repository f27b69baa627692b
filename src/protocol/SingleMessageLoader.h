#pragma once
// getMessage: one message of one workspace by its identifier (HttpRequest
// "Message", signed with the workspace's key).
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "protocol/RequestDelegate.h"
#include "protocol/SingleMessageLoaderDelegate.h"
#include "quorvela/FetchResult.h"
#include "quorvela/platform/Platform.h"

namespace quorvela {

class Message;
class WorkspaceRecord;

/// Serves one call; always held by std::shared_ptr. The request in flight
/// keeps it alive until the delegate and then the completion handler (0 after
/// a well-formed reply, 2 after any failure) have been called.
class SingleMessageLoader : public RequestDelegate, public std::enable_shared_from_this<SingleMessageLoader> {
public:
    using Completion = FetchCompletion;

    explicit SingleMessageLoader(std::shared_ptr<Platform> platform);
    static std::shared_ptr<SingleMessageLoader> create(std::shared_ptr<Platform> platform);

    void startLoadingDataForMessageWithID(const std::optional<std::string>& messageId,
                                          const std::shared_ptr<WorkspaceRecord>& workspace, Completion completion);

    std::shared_ptr<SingleMessageLoaderDelegate> delegate() const;
    void setDelegate(std::shared_ptr<SingleMessageLoaderDelegate> delegate);
    Completion completion() const;
    void setCompletion(Completion completion);
    /// The message of the last well-formed reply (null when it held none).
    std::shared_ptr<Message> message() const;

    void response(const std::string& body) override;
    void requestError(const RequestError& error) override;

private:
    void fail(const RequestError& error);

    const std::shared_ptr<Platform> platform_;
    mutable std::mutex mutex_;
    std::shared_ptr<SingleMessageLoaderDelegate> delegate_;
    Completion completion_;
    std::shared_ptr<Message> message_;
};

}  // namespace quorvela
