#pragma once
// A started sandbox with one application, a client that reaches it the way
// the library does (the service's own URLs, connectTo and the test CA), and
// the admin API with its token.
#include <gtest/gtest.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "ServiceHosts.h"
#include "platform/CurlHttpClient.h"
#include "platform/ThreadDispatcher.h"
#include "protocol/PercentEncoding.h"
#include "sandbox/Sandbox.h"
#include "sandbox/SignatureVerifier.h"
#include "support/SandboxAdminClient.h"
#include "support/TestSupport.h"

namespace quorvela::sandbox::test {

using nlohmann::json;

class SandboxFixture : public ::testing::Test {
protected:
    static constexpr const char* kAppName = "Demo App";
    static constexpr const char* kPublicId = "pub-1";
    static constexpr const char* kPrivateKey = "secret-key-1";

    void SetUp() override {
        startSandbox();
        sandbox.createApplication(kAppName, kPublicId, kPrivateKey);
        makeClient();
    }

    void startSandbox(SandboxOptions options = {}) {
        options.dataDir = dir.path() / "sandbox";
        sandbox.start(options);
        adminClient.reset();
    }

    void makeClient() { client = std::make_unique<CurlHttpClient>(sandbox.httpOptions(), dispatcher); }

    HttpResult get(const std::string& url) { return client->getBlocking(url, std::chrono::seconds(10)); }

    /// A REST URL with an already encoded parameter path and the signature of `signedPath`.
    static std::string restUrl(const std::string& operation, const std::string& encodedPath,
                               const std::string& signedPath, const std::string& key) {
        return Sandbox::baseUrl() + "/" + operation + "/" + encodedPath + "/" +
               SignatureVerifier::sign(key, signedPath);
    }
    /// A REST call with the raw parameter path, encoded as the library does.
    HttpResult call(const std::string& operation, const std::string& rawPath, const std::string& key = kPrivateKey) {
        return get(restUrl(operation, PercentEncoding::encodePath(rawPath), rawPath, key));
    }

    static std::string serviceUrl(const std::string& target) {
        return std::string("https://") + QUORVELA_SERVICE_HOST + target;
    }

    /// The reply of the registration and workspace operations.
    static std::string transactionResult(bool successful, const std::string& message) {
        return "<transactionResult><successful>" + std::string(successful ? "true" : "false") +
               "</successful><message>" + message + "</message></transactionResult>";
    }

    httplib::Client& admin() {
        if (!adminClient) adminClient = quorvela::test::sandboxAdminClient(sandbox);
        return *adminClient;
    }
    /// The admin API's answer to a GET, which must be 200 and JSON.
    json adminJson(const std::string& path) {
        auto response = admin().Get(path.c_str());
        EXPECT_TRUE(response) << path;
        if (!response) return nullptr;
        EXPECT_EQ(response->status, 200) << path;
        return json::parse(response->body);
    }
    /// The status of an admin PUT or POST with a JSON body (0: no answer).
    int adminPut(const std::string& path, const std::string& body) {
        auto response = admin().Put(path.c_str(), body, "application/json");
        return response ? response->status : 0;
    }
    int adminPost(const std::string& path, const std::string& body) {
        auto response = admin().Post(path.c_str(), body, "application/json");
        return response ? response->status : 0;
    }

    quorvela::test::TempDir dir;
    Sandbox sandbox;
    std::shared_ptr<ThreadDispatcher> dispatcher = std::make_shared<ThreadDispatcher>(2);
    std::unique_ptr<CurlHttpClient> client;
    std::unique_ptr<httplib::Client> adminClient;
};

}  // namespace quorvela::sandbox::test
