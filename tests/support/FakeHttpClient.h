#pragma once
// An HttpClient that answers GETs from a table instead of the network.
//
// An answer is found by URL prefix (the longest matching prefix wins): a fixed
// HttpResult or a handler that makes one from the URL. A URL no entry
// matches gets `unanswered()` (a transport error). Every requested URL is
// recorded in order. `get` delivers its completion as a job on the
// dispatcher's global queue, bracketed by beginActivity/endActivity, so
// Dispatcher::waitIdle also waits for answers still to be delivered; a
// handler runs inside that job. `getBlocking` answers on the caller's thread
// from the same table. Thread-safe.

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "quorvela/platform/Dispatcher.h"
#include "quorvela/platform/HttpClient.h"

namespace quorvela::test {

class FakeHttpClient : public HttpClient {
public:
    using Handler = std::function<HttpResult(const std::string& url)>;

    explicit FakeHttpClient(std::shared_ptr<Dispatcher> dispatcher) : dispatcher_(std::move(dispatcher)) {}

    /// A finished transfer with this status and body.
    static HttpResult reply(std::string body, long status = 200) {
        HttpResult result;
        result.ok = true;
        result.status = status;
        result.body = std::move(body);
        return result;
    }
    /// A transport error (no connection, time-out, ...).
    static HttpResult failure(std::string error = "Could not connect to server") {
        HttpResult result;
        result.error = std::move(error);
        return result;
    }
    static HttpResult unanswered() { return failure("no answer for this URL"); }

    /// Adds or replaces the answer for URLs starting with `urlPrefix`.
    void answer(const std::string& urlPrefix, HttpResult result) {
        answer(urlPrefix, Handler([result](const std::string&) { return result; }));
    }
    void answer(const std::string& urlPrefix, Handler handler) {
        std::lock_guard lock(mutex_);
        for (auto& entry : table_)
            if (entry.first == urlPrefix) {
                entry.second = std::move(handler);
                return;
            }
        table_.emplace_back(urlPrefix, std::move(handler));
    }
    void clearAnswers() {
        std::lock_guard lock(mutex_);
        table_.clear();
    }

    /// Every URL requested so far (by get and getBlocking), in order.
    std::vector<std::string> requests() const {
        std::lock_guard lock(mutex_);
        return requests_;
    }
    /// How many requested URLs start with `urlPrefix`.
    std::size_t requestCount(const std::string& urlPrefix = "") const {
        std::lock_guard lock(mutex_);
        std::size_t n = 0;
        for (const auto& url : requests_)
            if (url.rfind(urlPrefix, 0) == 0) ++n;
        return n;
    }
    void clearRequests() {
        std::lock_guard lock(mutex_);
        requests_.clear();
    }
    /// The time-out passed with the latest request.
    std::chrono::milliseconds lastTimeout() const {
        std::lock_guard lock(mutex_);
        return lastTimeout_;
    }

    void get(const std::string& url, std::chrono::milliseconds timeout, Completion done) override {
        Handler handler = record(url, timeout);
        dispatcher_->beginActivity();
        auto dispatcher = dispatcher_;
        dispatcher_->global([dispatcher, handler = std::move(handler), url, done = std::move(done)] {
            struct EndActivity {
                Dispatcher& d;
                ~EndActivity() { d.endActivity(); }
            } end{*dispatcher};
            HttpResult result = handler ? handler(url) : unanswered();
            if (done) done(std::move(result));
        });
    }

    HttpResult getBlocking(const std::string& url, std::chrono::milliseconds timeout) override {
        Handler handler = record(url, timeout);
        return handler ? handler(url) : unanswered();
    }

private:
    Handler record(const std::string& url, std::chrono::milliseconds timeout) {
        std::lock_guard lock(mutex_);
        requests_.push_back(url);
        lastTimeout_ = timeout;
        const std::pair<std::string, Handler>* best = nullptr;
        for (const auto& entry : table_)
            if (url.rfind(entry.first, 0) == 0 && (!best || entry.first.size() > best->first.size())) best = &entry;
        return best ? best->second : Handler();
    }

    std::shared_ptr<Dispatcher> dispatcher_;
    mutable std::mutex mutex_;
    std::vector<std::pair<std::string, Handler>> table_;
    std::vector<std::string> requests_;
    std::chrono::milliseconds lastTimeout_{0};
};

}  // namespace quorvela::test
