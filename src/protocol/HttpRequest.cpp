#include "protocol/HttpRequest.h"

#include <exception>

#include "platform/Uuid.h"
#include "protocol/EventLogger.h"
#include "protocol/Utf8Text.h"

namespace quorvela {

// One call's rendezvous: the outcome is delivered once both the setting up
// (whose background task must end first) and the transfer are done.
struct HttpRequest::Transfer {
    std::mutex mutex;
    int remainingSteps = 2;
    Outcome outcome;
    std::string sessionIdentifier;
};

HttpRequest::HttpRequest(std::shared_ptr<Platform> platform) : platform_(std::move(platform)) {}

std::shared_ptr<HttpRequest> HttpRequest::create(std::shared_ptr<Platform> platform) {
    return std::make_shared<HttpRequest>(std::move(platform));
}

std::shared_ptr<RequestDelegate> HttpRequest::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_;
}

void HttpRequest::setDelegate(std::shared_ptr<RequestDelegate> delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = std::move(delegate);
}

std::string HttpRequest::sessionIdentifier() const {
    std::lock_guard lock(mutex_);
    return sessionIdentifier_;
}

void HttpRequest::beginBackgroundUpdateTaskWithIdentifier(const std::string& label) {
    if (!platform_->backgroundTasks) return;
    std::weak_ptr<HttpRequest> weak = weak_from_this();
    const auto task = platform_->backgroundTasks->begin([weak, label] {
        if (auto self = weak.lock()) self->endBackgroundUpdateTaskWithIdentifier(label);
    });
    backgroundUpdateTask_.store(task);
}

void HttpRequest::endBackgroundUpdateTaskWithIdentifier(const std::string& /*label*/) {
    // Whoever takes the number ends the task, so the expiry handler and the
    // normal path never end it twice.
    const auto task = backgroundUpdateTask_.exchange(BackgroundTasks::kInvalid);
    if (task != BackgroundTasks::kInvalid && platform_->backgroundTasks) platform_->backgroundTasks->end(task);
}

void HttpRequest::makeGetRequestToUrl(const std::string& url, const std::string& identifier) {
    auto self = shared_from_this();
    platform_->dispatcher->global([self, url, identifier] { self->startTransfer(url, identifier); });
}

void HttpRequest::failWith(RequestError error) {
    auto self = shared_from_this();
    platform_->dispatcher->global([self, error = std::move(error)] {
        Outcome outcome;
        outcome.error = error;
        self->deliver(outcome, "Refused");
    });
}

void HttpRequest::startTransfer(const std::string& url, const std::string& identifier) {
    beginBackgroundUpdateTaskWithIdentifier(url);

    auto transfer = std::make_shared<Transfer>();
    transfer->sessionIdentifier = identifier + "-" + randomUuidString();
    {
        std::lock_guard lock(mutex_);
        sessionIdentifier_ = transfer->sessionIdentifier;
    }

    auto self = shared_from_this();
    auto dispatcher = platform_->dispatcher;
    // The transfer counts as busy work until its outcome has been queued.
    dispatcher->beginActivity();
    auto finished = [self, transfer, url, dispatcher](const HttpResult& result) {
        {
            std::lock_guard lock(transfer->mutex);
            transfer->outcome = outcomeOf(result, url);
        }
        self->stepDone(transfer);
        dispatcher->endActivity();
    };
    if (!platform_->http) {
        finished(HttpResult{false, 0, {}, "No HTTP client is available"});
    } else {
        try {
            platform_->http->get(url, kTimeout, [finished](HttpResult result) { finished(result); });
        } catch (const std::exception& e) {
            finished(HttpResult{false, 0, {}, e.what()});
        }
    }

    endBackgroundUpdateTaskWithIdentifier(url);
    stepDone(transfer);
}

void HttpRequest::stepDone(const std::shared_ptr<Transfer>& transfer) {
    Outcome outcome;
    {
        std::lock_guard lock(transfer->mutex);
        if (--transfer->remainingSteps > 0) return;
        outcome = std::move(transfer->outcome);
    }
    auto self = shared_from_this();
    platform_->dispatcher->global(
        [self, outcome = std::move(outcome), label = transfer->sessionIdentifier] { self->deliver(outcome, label); });
}

void HttpRequest::deliver(const Outcome& outcome, const std::string& label) {
    beginBackgroundUpdateTaskWithIdentifier(label);
    if (auto delegate = this->delegate()) {
        try {
            if (outcome.body) {
                delegate->response(*outcome.body);
            } else {
                delegate->requestError(outcome.error);
            }
        } catch (const std::exception& e) {
            EventLogger::debugMessage(*platform_, std::string("HttpRequest: the reply handler failed: ") + e.what());
        } catch (...) {
            EventLogger::debugMessage(*platform_, "HttpRequest: the reply handler failed");
        }
        // The outcome is delivered: the delegate (usually the loader) is free.
        std::lock_guard lock(mutex_);
        if (delegate_ == delegate) delegate_.reset();
    }
    endBackgroundUpdateTaskWithIdentifier(label);
}

HttpRequest::Outcome HttpRequest::outcomeOf(const HttpResult& result, const std::string& url) {
    Outcome outcome;
    const Value::Dictionary info{{"url", Value(url)}};
    if (!result.ok) {
        outcome.error = RequestError{result.error.empty() ? std::string("The request failed") : result.error, info, 0};
    } else if (!Utf8Text::isValid(result.body)) {
        outcome.error = RequestError{kNotTextError, info, 0};
    } else {
        outcome.body = result.body;
    }
    return outcome;
}

}  // namespace quorvela
