#pragma once
// The device's public address as the IP echo service reports it.

#include <chrono>
#include <optional>
#include <string>

#include "quorvela/platform/HttpClient.h"

namespace quorvela {

class PublicIPLookup {
public:
    /// One blocking GET of "/" on the IP echo host; the whole body is the
    /// answer. Nothing when the transfer fails, the status is not 2xx (an
    /// error page is no address) or the time-out passes.
    static std::optional<std::string> fetch(HttpClient& http, std::chrono::milliseconds timeout);
};

}  // namespace quorvela
