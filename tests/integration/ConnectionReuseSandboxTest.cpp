// The library's HTTP client against the sandbox over real HTTPS: a run of
// requests to one host rides one kept-alive TLS connection, as the sandbox's
// own connection and handshake counts show, whether the requests are
// asynchronous or blocking.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>

#include "ServiceHosts.h"
#include "platform/CurlHttpClient.h"
#include "platform/ThreadDispatcher.h"
#include "sandbox/Sandbox.h"
#include "support/TestSupport.h"

namespace quorvela::test {
namespace {

using namespace std::chrono_literals;

constexpr int kRequests = 100;

class ConnectionReuseSandboxTest : public ::testing::Test {
protected:
    void SetUp() override {
        sandbox::SandboxOptions options;
        options.dataDir = dir.path() / "sandbox";
        options.adminApi = false;
        sandbox.start(options);
    }

    HttpResult getAndWait(CurlHttpClient& client, const std::string& url) {
        std::promise<HttpResult> outcome;
        client.get(url, 10s, [&outcome](HttpResult result) { outcome.set_value(std::move(result)); });
        return outcome.get_future().get();
    }

    TempDir dir;
    sandbox::Sandbox sandbox;
    std::shared_ptr<ThreadDispatcher> dispatcher = std::make_shared<ThreadDispatcher>(2);
};

TEST_F(ConnectionReuseSandboxTest, AHundredRequestsInARowNeedOneHandshakePerHost) {
    CurlHttpClient client(sandbox.httpOptions(), dispatcher);
    const std::string events = std::string("https://") + QUORVELA_SERVICE_HOST + "/events/?deviceid=dev-";
    for (int i = 0; i < kRequests; ++i) {
        HttpResult result = getAndWait(client, events + std::to_string(i));
        ASSERT_TRUE(result.ok) << "request " << i << ": " << result.error;
        ASSERT_EQ(result.status, 200) << "request " << i;
    }
    sandbox::ConnectionCounts counts = sandbox.connectionCounts();
    EXPECT_EQ(counts.accepted, 1u);
    EXPECT_EQ(counts.tlsHandshakes, 1u);
    EXPECT_EQ(sandbox.analyticsEvents().size(), static_cast<std::size_t>(kRequests));

    // Blocking GETs share the same connections: the IP echo, another host,
    // gets one of its own and keeps it.
    const std::string ipEcho = std::string("https://") + QUORVELA_IPECHO_HOST + "/";
    for (int i = 0; i < kRequests; ++i) {
        HttpResult result = client.getBlocking(ipEcho, 10s);
        ASSERT_TRUE(result.ok) << "blocking request " << i << ": " << result.error;
        ASSERT_EQ(result.body, "127.0.0.1") << "blocking request " << i;
    }
    // And the first host's connection is still the one in use.
    ASSERT_TRUE(getAndWait(client, events + "last").ok);
    counts = sandbox.connectionCounts();
    EXPECT_EQ(counts.accepted, 2u);
    EXPECT_EQ(counts.tlsHandshakes, 2u);
}

}  // namespace
}  // namespace quorvela::test
