#pragma once
#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "quorvela/Export.h"

namespace quorvela {

/// What one GET produced: a finished transfer with its status and body, or a
/// transport error (no connection, TLS failure, time-out, body over the cap).
struct QUORVELA_EXPORT HttpResult {
    bool ok = false;    ///< the transfer finished and the body is complete
    long status = 0;    ///< HTTP status when ok
    std::string body;   ///< the reply bytes when ok
    std::string error;  ///< the transport's error text when not ok
};

struct QUORVELA_EXPORT HttpClientOptions {
    /// Send every connection to "ADDR:PORT" while keeping host name, SNI and
    /// certificate checks those of the URL's host.
    std::optional<std::string> connectTo;
    /// An extra CA certificate file (PEM) to trust besides the system's.
    std::optional<std::string> caFile;
    std::size_t maxBodyBytes = 16u * 1024u * 1024u;
    /// Longer URLs fail at once with a text that says so (the transfer
    /// library's own request buffer holds 1 MiB, URL and headers together).
    std::size_t maxUrlBytes = 1000u * 1000u;
};

/// HTTPS GET. Certificate verification is always on.
class QUORVELA_EXPORT HttpClient {
public:
    using Completion = std::function<void(HttpResult)>;
    static constexpr std::chrono::seconds kDefaultTimeout{300};

    virtual ~HttpClient() = default;
    /// Starts a GET and returns at once; `done` runs once, off the caller's
    /// thread, with the outcome.
    virtual void get(const std::string& url, std::chrono::milliseconds timeout, Completion done) = 0;
    /// A GET that blocks the caller until the outcome or the time-out.
    virtual HttpResult getBlocking(const std::string& url, std::chrono::milliseconds timeout) = 0;
};

}  // namespace quorvela
