#pragma once
// An HttpClient that passes every request on to another one with its
// time-out cut to at most `cap`. The library asks for 300 s per request;
// tests of replies that never end wrap the real client in this to learn in
// a second or two what a host would learn in five minutes, through the same
// time-out machinery. Header-only.

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <utility>

#include "quorvela/platform/HttpClient.h"

namespace quorvela::test {

class CappedTimeoutHttpClient : public HttpClient {
public:
    CappedTimeoutHttpClient(std::shared_ptr<HttpClient> inner, std::chrono::milliseconds cap)
        : inner_(std::move(inner)), cap_(cap) {}

    void get(const std::string& url, std::chrono::milliseconds timeout, Completion done) override {
        inner_->get(url, std::min(timeout, cap_), std::move(done));
    }
    HttpResult getBlocking(const std::string& url, std::chrono::milliseconds timeout) override {
        return inner_->getBlocking(url, std::min(timeout, cap_));
    }

private:
    std::shared_ptr<HttpClient> inner_;
    std::chrono::milliseconds cap_;
};

}  // namespace quorvela::test
