#include "protocol/SharedSession.h"

#include <exception>

#include "protocol/HttpRequest.h"

namespace quorvela {

void SharedSession::dataTask(const std::shared_ptr<Platform>& platform, const std::string& url, Completion completion) {
    auto dispatcher = platform->dispatcher;
    auto shared = std::make_shared<Completion>(std::move(completion));
    // Busy until the completion job is queued, so waitIdle covers the transfer.
    dispatcher->beginActivity();
    auto finished = [dispatcher, shared](HttpResult result) {
        dispatcher->global([shared, result = std::move(result)] { (*shared)(result); });
        dispatcher->endActivity();
    };
    if (!platform->http) {
        finished(HttpResult{false, 0, {}, "No HTTP client is available"});
        return;
    }
    try {
        platform->http->get(url, HttpRequest::kTimeout, finished);
    } catch (const std::exception& e) {
        finished(HttpResult{false, 0, {}, e.what()});
    }
}

void SharedSession::fail(const std::shared_ptr<Platform>& platform, const std::string& error, Completion completion) {
    platform->dispatcher->global([completion = std::move(completion), error] {
        completion(HttpResult{false, 0, {}, error});
    });
}

}  // namespace quorvela
