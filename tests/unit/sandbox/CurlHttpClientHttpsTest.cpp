// CurlHttpClient against a real HTTPS server on loopback with the sandbox's
// test CA: what only a TLS server can show (trust, CA files, host names
// through connectTo, connection reuse) and the body limits of real replies.
// The completion contract is tested in tests/unit/platform.
#include <gtest/gtest.h>
#include <httplib.h>

#include <future>
#include <mutex>
#include <set>

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
        port = thread.start(*server, "127.0.0.1", 0);
    }
    void TearDown() override { thread.stop(); }

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
    /// The same request through get() and through getBlocking().
    std::vector<HttpResult> both(CurlHttpClient& client, const std::string& url) {
        std::promise<HttpResult> promise;
        client.get(url, 10s, [&](HttpResult r) { promise.set_value(std::move(r)); });
        HttpResult async = promise.get_future().get();
        return {async, client.getBlocking(url, 10s)};
    }

    test::TempDir dir;
    CertificateAuthority::Files certificates;
    std::shared_ptr<ThreadDispatcher> dispatcher = std::make_shared<ThreadDispatcher>(2);
    std::unique_ptr<httplib::SSLServer> server;
    sandbox::ServerThread thread;
    int port = 0;
    std::mutex mutex;
    std::set<int> clientPorts;
    std::vector<std::string> hosts;
};

TEST_F(CurlHttpClientHttpsTest, TrustDependsOnTheGivenCaFile) {
    test::TempDir other;
    struct Case {
        const char* name;
        std::optional<std::string> caFile;
        std::string path;
        long status;        // 0: the transfer fails
        std::string reply;  // the body, or a part of the error
    };
    const std::vector<Case> cases{
        {"test CA", certificates.caFile.string(), "/hello", 200, "hello"},
        {"an error status is a finished transfer", certificates.caFile.string(), "/missing", 404, "<html>gone</html>"},
        {"system CAs only", std::nullopt, "/hello", 0, "certificate"},
        {"another CA", CertificateAuthority::ensure(other.path()).caFile.string(), "/hello", 0, ""},
        {"not a certificate", other.write("ca.pem", "not a certificate").string(), "/hello", 0, "CA file"},
        {"missing file", (other.path() / "missing.pem").string(), "/hello", 0, "CA file"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HttpClientOptions options;
        options.caFile = c.caFile;
        CurlHttpClient client(options, dispatcher);
        for (const HttpResult& result : both(client, local(c.path))) {
            EXPECT_EQ(result.ok, c.status != 0) << result.error;
            EXPECT_EQ(result.status, c.status);
            if (c.status != 0) {
                EXPECT_EQ(result.body, c.reply);
            } else {
                EXPECT_FALSE(result.error.empty());
                EXPECT_NE(result.error.find(c.reply), std::string::npos) << result.error;
            }
        }
    }
}

TEST_F(CurlHttpClientHttpsTest, ConnectToKeepsTheUrlsHostForTlsAndHttp) {
    CurlHttpClient client(viaConnectTo(), dispatcher);
    HttpResult ok = client.getBlocking(std::string("https://") + QUORVELA_SERVICE_HOST + "/hello", 10s);
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
        SCOPED_TRACE(c.path);
        for (const HttpResult& result : both(client, local(c.path))) {
            EXPECT_EQ(result.ok, c.ok) << result.error;
            if (c.ok) {
                EXPECT_EQ(result.body.size(), kCap);
            } else {
                EXPECT_TRUE(result.body.empty());
                EXPECT_FALSE(result.error.empty());
                EXPECT_NE(result.error.find(c.errorPart), std::string::npos) << result.error;
            }
        }
    }
}

TEST_F(CurlHttpClientHttpsTest, SequentialGetsOfBothKindsReuseOneConnection) {
    CurlHttpClient client(viaConnectTo(), dispatcher);
    const std::string service = std::string("https://") + QUORVELA_SERVICE_HOST + "/hello";
    // Blocking gets share the connections of the others; four stay below the server's keep-alive limit.
    for (int i = 0; i < 2; ++i)
        for (const HttpResult& result : both(client, service)) ASSERT_TRUE(result.ok) << result.error;
    std::lock_guard lock(mutex);
    EXPECT_EQ(clientPorts.size(), 1u);
}

}  // namespace
}  // namespace quorvela
