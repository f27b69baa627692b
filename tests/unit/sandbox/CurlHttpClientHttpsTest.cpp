// CurlHttpClient against a real HTTPS server on loopback with the sandbox's
// test CA: trust, host-name checks through connectTo, body limits, time-outs
// and concurrency.
#include <gtest/gtest.h>
#include <httplib.h>

#include <atomic>
#include <condition_variable>
#include <future>
#include <mutex>
#include <set>
#include <thread>

#include "ServiceHosts.h"
#include "platform/CurlHttpClient.h"
#include "platform/ThreadDispatcher.h"
#include "sandbox/CertificateAuthority.h"
#include "sandbox/ServerThread.h"
#include "support/TestSupport.h"

namespace quorvela {
namespace {

using namespace std::chrono_literals;
using sandbox::CertificateAuthority;

constexpr std::size_t kCap = 1024 * 1024;

class CurlHttpClientHttpsTest : public ::testing::Test {
protected:
    void SetUp() override {
        certificates = CertificateAuthority::ensure(dir.path() / "tls");
        server = std::make_unique<httplib::SSLServer>(certificates.certFile.c_str(), certificates.keyFile.c_str());
        ASSERT_TRUE(server->is_valid());
        server->Get("/hello", [this](const httplib::Request& request, httplib::Response& response) {
            {
                std::lock_guard lock(mutex);
                clientPorts.insert(request.remote_port);
                hosts.push_back(request.get_header_value("Host"));
            }
            response.set_content("hello", "text/plain");
        });
        server->Get("/missing", [](const httplib::Request&, httplib::Response& response) {
            response.status = 404;
            response.set_content("<html>gone</html>", "text/html");
        });
        server->Get("/sized", [](const httplib::Request& request, httplib::Response& response) {
            response.set_content(std::string(std::stoul(request.get_param_value("n")), 'x'), "text/plain");
        });
        server->Get("/streamed", [](const httplib::Request& request, httplib::Response& response) {
            // No Content-Length: the cap must hold while the bytes arrive.
            const std::size_t total = std::stoul(request.get_param_value("n"));
            response.set_chunked_content_provider("text/plain", [total](std::size_t offset, httplib::DataSink& sink) {
                const std::string block(std::min<std::size_t>(64 * 1024, total - offset), 'y');
                sink.write(block.data(), block.size());
                if (offset + block.size() >= total) sink.done();
                return true;
            });
        });
        server->Get("/truncated", [](const httplib::Request&, httplib::Response& response) {
            // Promises 1000 bytes, sends 3, then drops the connection.
            response.set_content_provider(1000, "text/plain", [](std::size_t, std::size_t, httplib::DataSink& sink) {
                sink.write("abc", 3);
                return false;
            });
        });
        server->Get("/slow", [this](const httplib::Request&, httplib::Response& response) {
            std::unique_lock lock(mutex);
            released.wait_for(lock, 10s, [this] { return release; });
            response.set_content("late", "text/plain");
        });
        port = thread.start(*server, "127.0.0.1", 0);
    }

    void TearDown() override {
        {
            std::lock_guard lock(mutex);
            release = true;
        }
        released.notify_all();
        thread.stop();
    }

    HttpClientOptions trusting() const {
        HttpClientOptions options;
        options.caFile = certificates.caFile.string();
        options.maxBodyBytes = kCap;
        return options;
    }
    HttpClientOptions viaConnectTo() const {
        HttpClientOptions options = trusting();
        options.connectTo = "127.0.0.1:" + std::to_string(port);
        return options;
    }
    std::string local(const std::string& path) const { return "https://localhost:" + std::to_string(port) + path; }

    test::TempDir dir;
    CertificateAuthority::Files certificates;
    std::shared_ptr<ThreadDispatcher> dispatcher = std::make_shared<ThreadDispatcher>(2);
    std::unique_ptr<httplib::SSLServer> server;
    sandbox::ServerThread thread;
    int port = 0;
    std::mutex mutex;
    std::condition_variable released;
    bool release = false;
    std::set<int> clientPorts;
    std::vector<std::string> hosts;
};

TEST_F(CurlHttpClientHttpsTest, TrustDependsOnTheGivenCa) {
    CurlHttpClient trusted(trusting(), dispatcher);
    HttpResult ok = trusted.getBlocking(local("/hello"), 10s);
    ASSERT_TRUE(ok.ok) << ok.error;
    EXPECT_EQ(ok.status, 200);
    EXPECT_EQ(ok.body, "hello");

    CurlHttpClient systemOnly({}, dispatcher);
    HttpResult untrusted = systemOnly.getBlocking(local("/hello"), 10s);
    EXPECT_FALSE(untrusted.ok);
    EXPECT_NE(untrusted.error.find("certificate"), std::string::npos) << untrusted.error;

    // Another CA's file does not make this server trusted.
    test::TempDir other;
    HttpClientOptions wrongCa;
    wrongCa.caFile = CertificateAuthority::ensure(other.path()).caFile.string();
    CurlHttpClient wrong(wrongCa, dispatcher);
    EXPECT_FALSE(wrong.getBlocking(local("/hello"), 10s).ok);
}

TEST_F(CurlHttpClientHttpsTest, ConnectToKeepsTheUrlsHostForTlsAndHttp) {
    CurlHttpClient client(viaConnectTo(), dispatcher);
    const std::string service = std::string("https://") + QUORVELA_SERVICE_HOST + "/hello";
    HttpResult ok = client.getBlocking(service, 10s);
    ASSERT_TRUE(ok.ok) << ok.error;
    EXPECT_EQ(ok.body, "hello");
    {
        std::lock_guard lock(mutex);
        ASSERT_EQ(hosts.size(), 1u);
        EXPECT_EQ(hosts.front(), QUORVELA_SERVICE_HOST);
    }
    // A host the certificate does not name fails the check although the
    // connection goes to the same server.
    HttpResult wrongHost = client.getBlocking("https://other.quorvela.example/hello", 10s);
    EXPECT_FALSE(wrongHost.ok);
    EXPECT_FALSE(wrongHost.error.empty());
}

TEST_F(CurlHttpClientHttpsTest, ErrorStatusIsAFinishedTransfer) {
    CurlHttpClient client(trusting(), dispatcher);
    HttpResult result = client.getBlocking(local("/missing"), 10s);
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.status, 404);
    EXPECT_EQ(result.body, "<html>gone</html>");
}

TEST_F(CurlHttpClientHttpsTest, BodyCapAndTruncation) {
    struct Case {
        std::string path;
        bool ok;
        std::string errorPart;
    };
    const std::vector<Case> cases{
        {"/sized?n=" + std::to_string(kCap), true, ""},
        {"/sized?n=" + std::to_string(kCap + 1), false, "exceeds 1048576 bytes"},
        {"/streamed?n=" + std::to_string(kCap), true, ""},
        {"/streamed?n=" + std::to_string(3 * kCap), false, "exceeds 1048576 bytes"},
        {"/truncated", false, ""},
    };
    CurlHttpClient client(trusting(), dispatcher);
    for (const Case& c : cases) {
        for (bool blocking : {false, true}) {
            HttpResult result;
            if (blocking) {
                result = client.getBlocking(local(c.path), 10s);
            } else {
                std::promise<HttpResult> promise;
                client.get(local(c.path), 10s, [&](HttpResult r) { promise.set_value(std::move(r)); });
                result = promise.get_future().get();
            }
            EXPECT_EQ(result.ok, c.ok) << c.path << " " << result.error;
            if (c.ok) {
                EXPECT_EQ(result.body.size(), kCap) << c.path;
            } else {
                EXPECT_TRUE(result.body.empty()) << c.path;
                EXPECT_FALSE(result.error.empty()) << c.path;
                EXPECT_NE(result.error.find(c.errorPart), std::string::npos) << c.path << ": " << result.error;
            }
        }
    }
}

TEST_F(CurlHttpClientHttpsTest, SlowServerTimesOut) {
    CurlHttpClient client(trusting(), dispatcher);
    std::promise<HttpResult> promise;
    client.get(local("/slow"), 300ms, [&](HttpResult r) { promise.set_value(std::move(r)); });
    HttpResult result = promise.get_future().get();
    EXPECT_FALSE(result.ok);
    EXPECT_TRUE(test::isTimeoutError(result.error)) << result.error;
}

TEST_F(CurlHttpClientHttpsTest, ConcurrentGetsCompleteOnceEach) {
    CurlHttpClient client(viaConnectTo(), dispatcher);
    const std::string service = std::string("https://") + QUORVELA_SERVICE_HOST + "/hello";
    constexpr int kCount = 60;
    std::mutex resultsMutex;
    std::vector<int> seen(kCount, 0);
    std::atomic<int> failures{0};
    std::vector<std::thread> callers;
    for (int t = 0; t < 3; ++t) {
        callers.emplace_back([&, t] {
            for (int i = t; i < kCount; i += 3) {
                client.get(service, 10s, [&, i](HttpResult result) {
                    if (!result.ok || result.body != "hello") {
                        ++failures;
                        ADD_FAILURE() << result.error;
                    }
                    std::lock_guard lock(resultsMutex);
                    ++seen[i];
                });
            }
        });
    }
    for (auto& caller : callers) caller.join();
    ASSERT_TRUE(dispatcher->waitIdle(30s));
    EXPECT_EQ(failures.load(), 0);
    for (int i = 0; i < kCount; ++i) EXPECT_EQ(seen[i], 1) << "request " << i;
}

TEST_F(CurlHttpClientHttpsTest, SequentialGetsReuseOneConnection) {
    CurlHttpClient client(viaConnectTo(), dispatcher);
    const std::string service = std::string("https://") + QUORVELA_SERVICE_HOST + "/hello";
    for (int i = 0; i < 3; ++i) {
        std::promise<HttpResult> promise;
        client.get(service, 10s, [&](HttpResult r) { promise.set_value(std::move(r)); });
        ASSERT_TRUE(promise.get_future().get().ok);
    }
    std::lock_guard lock(mutex);
    EXPECT_EQ(clientPorts.size(), 1u);
}

}  // namespace
}  // namespace quorvela
