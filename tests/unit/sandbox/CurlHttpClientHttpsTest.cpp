// CurlHttpClient against a real HTTPS server on loopback with the sandbox's
// test CA: what only a TLS server can show (trust, CA files, host names
// through connectTo) and the body limits of real replies. The completion
// contract is tested in tests/unit/platform, connection reuse with the
// sandbox's counts in SandboxServerTest.
#include <gtest/gtest.h>
#include <httplib.h>

#include <future>

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
        server->Get("/hello", [](const httplib::Request&, httplib::Response& response) {
            response.set_content("hello", "text/plain");
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

    /// Every request goes to the local server, whatever host its URL names.
    HttpClientOptions viaConnectTo(std::optional<std::string> caFile) const {
        HttpClientOptions options;
        options.caFile = std::move(caFile);
        options.maxBodyBytes = kCap;
        options.connectTo = "127.0.0.1:" + std::to_string(port);
        return options;
    }
    static std::string service(const std::string& path) {
        return std::string("https://") + QUORVELA_SERVICE_HOST + path;
    }
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
};

TEST_F(CurlHttpClientHttpsTest, TrustDependsOnTheGivenCaFile) {
    test::TempDir other;
    struct Case {
        const char* name;
        std::optional<std::string> caFile;
        long status;        // 0: the transfer fails
        std::string reply;  // the body, or a part of the error
        std::string url = service("/hello");
    };
    const std::vector<Case> cases{
        {"test CA", certificates.caFile.string(), 200, "hello"},
        {"system CAs only", std::nullopt, 0, "certificate"},
        {"another CA", CertificateAuthority::ensure(other.path()).caFile.string(), 0, ""},
        {"not a certificate", other.write("ca.pem", "not a certificate").string(), 0, "CA file"},
        {"missing file", (other.path() / "missing.pem").string(), 0, "CA file"},
        // The same server, but the name the client checks is the URL's.
        {"a host the certificate does not name", certificates.caFile.string(), 0, "",
         "https://other.quorvela.example/hello"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CurlHttpClient client(viaConnectTo(c.caFile), dispatcher);
        for (const HttpResult& result : both(client, c.url)) {
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
    CurlHttpClient client(viaConnectTo(certificates.caFile.string()), dispatcher);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        for (const HttpResult& result : both(client, service(c.path))) {
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

}  // namespace
}  // namespace quorvela
