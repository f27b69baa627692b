#pragma once
// One GET to the service whose outcome goes to a RequestDelegate.
//
// The transfer is set up in a job on the global queue under one background
// task and the outcome is delivered in another job under a second task; the
// first task always ends before the second begins. The request keeps itself
// and its delegate alive until the outcome has been delivered, then lets go
// of the delegate. Always hold it by std::shared_ptr.
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "protocol/RequestDelegate.h"
#include "protocol/RequestError.h"
#include "quorvela/platform/Platform.h"

namespace quorvela {

class HttpRequest : public std::enable_shared_from_this<HttpRequest> {
public:
    static constexpr std::chrono::seconds kTimeout{300};
    static constexpr const char* kNotTextError = "The reply is not valid UTF-8 text";

    explicit HttpRequest(std::shared_ptr<Platform> platform);
    static std::shared_ptr<HttpRequest> create(std::shared_ptr<Platform> platform);

    /// Returns at once. `identifier` names the transfer ("Analytics",
    /// "Workspaces", ...). Every failure, a transfer that never produced a
    /// body included, reaches requestError.
    void makeGetRequestToUrl(const std::string& url, const std::string& identifier);

    /// Reports a request that was refused before sending (it could not be
    /// signed): requestError with `error`, delivered like any outcome.
    void failWith(RequestError error);

    /// Asks for background run time and keeps its number in
    /// backgroundUpdateTask; `label` is only passed to the expiry handler.
    void beginBackgroundUpdateTaskWithIdentifier(const std::string& label);
    /// Ends the task kept in backgroundUpdateTask, if any.
    void endBackgroundUpdateTaskWithIdentifier(const std::string& label);

    std::shared_ptr<RequestDelegate> delegate() const;
    void setDelegate(std::shared_ptr<RequestDelegate> delegate);
    BackgroundTasks::TaskId backgroundUpdateTask() const { return backgroundUpdateTask_.load(); }
    void setBackgroundUpdateTask(BackgroundTasks::TaskId task) { backgroundUpdateTask_.store(task); }
    /// "<identifier>-<UUID>" of the transfer last started; empty before.
    std::string sessionIdentifier() const;

private:
    struct Outcome {
        std::optional<std::string> body;
        RequestError error;
    };
    struct Transfer;

    void startTransfer(const std::string& url, const std::string& identifier);
    void stepDone(const std::shared_ptr<Transfer>& transfer);
    void deliver(const Outcome& outcome, const std::string& label);
    static Outcome outcomeOf(const HttpResult& result, const std::string& url);

    const std::shared_ptr<Platform> platform_;
    mutable std::mutex mutex_;
    std::shared_ptr<RequestDelegate> delegate_;
    std::string sessionIdentifier_;
    std::atomic<BackgroundTasks::TaskId> backgroundUpdateTask_{BackgroundTasks::kInvalid};
};

}  // namespace quorvela
