// The client's contract where no TLS server is needed: every request
// completes exactly once, with the transfer library's error, a time-out or
// "cancelled", and the dispatcher stays busy until the completion has run.
// What needs a server and the test CA is in tests/unit/sandbox.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "platform/CurlHttpClient.h"
#include "platform/ThreadDispatcher.h"
#include "support/TestSupport.h"

namespace quorvela {
namespace {

using namespace std::chrono_literals;

/// A loopback TCP socket that listens but never answers (the handshake is
/// completed by the kernel, the TLS ClientHello is never read).
class SilentListener {
public:
    SilentListener() {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_EQ(::bind(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        EXPECT_EQ(::listen(fd_, 64), 0);
        socklen_t length = sizeof address;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
    }
    ~SilentListener() { close(); }
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    /// Takes the waiting connection and closes it, ending the client's transfer.
    void dropNextConnection() {
        int connection = ::accept(fd_, nullptr, nullptr);
        if (connection >= 0) ::close(connection);
    }
    int port() const { return port_; }
    std::string url() const { return "https://127.0.0.1:" + std::to_string(port_) + "/x"; }

private:
    int fd_ = -1;
    int port_ = 0;
};

/// A port nobody listens on: bound once, then released.
int closedPort() {
    SilentListener listener;
    int port = listener.port();
    listener.close();
    return port;
}

/// Collects completions and counts them per tag.
class Completions {
public:
    HttpClient::Completion make(int tag) {
        return [this, tag](HttpResult result) {
            std::lock_guard lock(mutex_);
            results_.emplace_back(tag, std::move(result));
            changed_.notify_all();
        };
    }
    bool waitFor(std::size_t count) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 30s, [&] { return results_.size() >= count; });
    }
    std::vector<std::pair<int, HttpResult>> results() {
        std::lock_guard lock(mutex_);
        return results_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::pair<int, HttpResult>> results_;
};

class CurlHttpClientTest : public ::testing::Test {
protected:
    /// The same request through get() and through getBlocking().
    std::vector<HttpResult> both(CurlHttpClient& client, const std::string& url, std::chrono::milliseconds timeout) {
        Completions completions;
        client.get(url, timeout, completions.make(0));
        EXPECT_TRUE(completions.waitFor(1));
        return {completions.results().front().second, client.getBlocking(url, timeout)};
    }
    std::string refusedUrl() const { return "https://127.0.0.1:" + std::to_string(closedPort()) + "/"; }

    std::shared_ptr<ThreadDispatcher> dispatcher = std::make_shared<ThreadDispatcher>(2);
};

TEST_F(CurlHttpClientTest, RefusedConnectionAndSilentPeerFailWithCurlsText) {
    CurlHttpClient client({}, dispatcher);
    for (const HttpResult& result : both(client, refusedUrl(), 10s)) {
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.error.find("onnect"), std::string::npos) << result.error;
    }
    SilentListener listener;
    for (const HttpResult& result : both(client, listener.url(), 200ms)) {
        EXPECT_FALSE(result.ok);
        EXPECT_TRUE(test::isTimeoutError(result.error)) << result.error;
    }
}

// A megabyte user id once surfaced as the transfer library's "Out of memory".
TEST_F(CurlHttpClientTest, AnOverlongUrlFailsSayingSoWhileOneAtTheLimitIsSent) {
    CurlHttpClient client({}, dispatcher);
    const std::string base = refusedUrl();
    const std::size_t limit = HttpClientOptions{}.maxUrlBytes;
    const std::string atLimit = base + std::string(limit - base.size(), 'u');

    HttpResult sent = client.getBlocking(atLimit, 10s);
    EXPECT_FALSE(sent.ok);
    EXPECT_NE(sent.error.find("onnect"), std::string::npos) << sent.error.substr(0, 200);
    for (const HttpResult& refused : both(client, atLimit + "u", 10s)) {
        EXPECT_FALSE(refused.ok);
        EXPECT_NE(refused.error.find("URL is " + std::to_string(limit + 1) + " bytes long"), std::string::npos)
            << refused.error;
    }
}

TEST_F(CurlHttpClientTest, GetsFromSeveralThreadsCompleteExactlyOnceEach) {
    CurlHttpClient client({}, dispatcher);
    const std::string url = refusedUrl();
    Completions completions;
    constexpr int kCount = 60;
    std::vector<std::thread> callers;
    for (int t = 0; t < 3; ++t)
        callers.emplace_back([&, t] {
            for (int i = t; i < kCount; i += 3) client.get(url, 10s, completions.make(i));
        });
    for (auto& caller : callers) caller.join();
    ASSERT_TRUE(completions.waitFor(kCount));
    ASSERT_TRUE(dispatcher->waitIdle(10s));
    auto results = completions.results();
    ASSERT_EQ(results.size(), static_cast<std::size_t>(kCount));
    std::vector<int> seen(kCount, 0);
    for (auto& [tag, result] : results) {
        ++seen[tag];
        EXPECT_FALSE(result.ok);
    }
    for (int i = 0; i < kCount; ++i) EXPECT_EQ(seen[i], 1) << "tag " << i;
}

TEST_F(CurlHttpClientTest, WaitIdleCoversTheTransferAndItsCompletion) {
    SilentListener listener;
    CurlHttpClient client({}, dispatcher);
    std::atomic<int> completed{0};
    client.get(listener.url(), 60s, [&](HttpResult) { ++completed; });
    EXPECT_FALSE(dispatcher->waitIdle(100ms));  // the peer never answers
    EXPECT_EQ(completed.load(), 0);
    listener.dropNextConnection();
    ASSERT_TRUE(dispatcher->waitIdle(10s));
    EXPECT_EQ(completed.load(), 1);  // idle means the completion job has run too
}

TEST_F(CurlHttpClientTest, DestructionCancelsOpenTransfers) {
    SilentListener listener;
    Completions completions;
    {
        CurlHttpClient client({}, dispatcher);
        for (int i = 0; i < 3; ++i) client.get(listener.url(), 300s, completions.make(i));
        EXPECT_FALSE(dispatcher->waitIdle(50ms));
    }  // must not wait for the 300 s time-out
    ASSERT_TRUE(completions.waitFor(3));
    ASSERT_TRUE(dispatcher->waitIdle(10s));
    auto results = completions.results();
    ASSERT_EQ(results.size(), 3u);
    for (auto& [tag, result] : results) {
        EXPECT_FALSE(result.ok);
        EXPECT_EQ(result.error, "cancelled");
    }
}

TEST_F(CurlHttpClientTest, RefusesAnythingButHttps) {
    SilentListener listener;
    CurlHttpClient client({}, dispatcher);
    for (const std::string& url : {"http://127.0.0.1:" + std::to_string(listener.port()) + "/",
                                   std::string("file:///etc/hostname"), std::string("ftp://127.0.0.1/")}) {
        HttpResult result = client.getBlocking(url, 2s);
        EXPECT_FALSE(result.ok) << url;
        EXPECT_FALSE(result.error.empty()) << url;
    }
}

}  // namespace
}  // namespace quorvela
