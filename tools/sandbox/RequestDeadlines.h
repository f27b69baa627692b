#pragma once
// A deadline for reading each request: the TLS handshake and the request
// header must arrive within `deadline` of the connection's start, and the
// next request on a kept-alive connection within `keepAlive + deadline` of
// the previous one. The HTTP server only bounds each single read, so a
// client that sends one header line every few seconds would otherwise hold
// a worker for as long as it likes. A connection past its deadline is shut
// down, which ends the read it is waiting in.
//
// Connections are known by their TLS objects: the context's info callback
// sees each handshake start, and the TLS object's release (before the
// server closes the socket) forgets the connection, so a shut-down socket
// is always still the connection's own.

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include <openssl/ssl.h>

namespace quorvela::sandbox {

class RequestDeadlines {
public:
    using Clock = std::chrono::steady_clock;

    /// Watches every connection of `context` from now on.
    RequestDeadlines(SSL_CTX* context, std::chrono::milliseconds deadline, std::chrono::milliseconds keepAlive);
    ~RequestDeadlines();
    RequestDeadlines(const RequestDeadlines&) = delete;
    RequestDeadlines& operator=(const RequestDeadlines&) = delete;

    /// A request header on this connection is complete.
    void requestRead(const SSL* connection);

private:
    struct Open {
        int fd = -1;
        Clock::time_point deadline;
    };

    static int contextIndex();
    static int connectionIndex();
    static void onInfo(const SSL* connection, int where, int ret);
    static void onFree(void* parent, void* pointer, CRYPTO_EX_DATA* data, int index, long argl, void* argp);
    void started(SSL* connection);
    void forget(const SSL* connection);
    void watch();

    SSL_CTX* const context_;
    const std::chrono::milliseconds deadline_;
    const std::chrono::milliseconds keepAlive_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::map<const SSL*, Open> open_;
    std::thread watchdog_;
};

}  // namespace quorvela::sandbox
