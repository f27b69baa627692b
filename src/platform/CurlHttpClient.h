#pragma once
#include <memory>

#include "quorvela/platform/Dispatcher.h"
#include "quorvela/platform/HttpClient.h"

namespace quorvela {

/// HttpClient over libcurl. One multi handle driven by one transfer thread
/// carries every GET, blocking ones too, so each host's TLS connection is
/// kept alive and reused across calls; completions of get() run on the
/// dispatcher's global queue so slow callers never stall the transfers.
class CurlHttpClient : public HttpClient {
public:
    CurlHttpClient(HttpClientOptions options, std::shared_ptr<Dispatcher> dispatcher);
    ~CurlHttpClient() override;

    CurlHttpClient(const CurlHttpClient&) = delete;
    CurlHttpClient& operator=(const CurlHttpClient&) = delete;

    void get(const std::string& url, std::chrono::milliseconds timeout, Completion done) override;
    HttpResult getBlocking(const std::string& url, std::chrono::milliseconds timeout) override;

private:
    class Engine;
    std::unique_ptr<Engine> engine_;
};

}  // namespace quorvela
