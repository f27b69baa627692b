#pragma once
// A started sandbox with one application, and a client that reaches it the
// way the library does: the service's own URLs, connectTo and the test CA.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "ServiceHosts.h"
#include "platform/CurlHttpClient.h"
#include "platform/ThreadDispatcher.h"
#include "sandbox/Sandbox.h"
#include "sandbox/SignatureVerifier.h"
#include "support/TestSupport.h"

namespace quorvela::sandbox::test {

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

    void startSandbox() {
        SandboxOptions options;
        options.dataDir = dir.path() / "sandbox";
        sandbox.start(options);
    }

    void makeClient() { client = std::make_unique<CurlHttpClient>(sandbox.httpOptions(), dispatcher); }

    HttpResult get(const std::string& url) { return client->getBlocking(url, std::chrono::seconds(10)); }

    /// A REST URL with an already encoded parameter path and the signature of `signedPath`.
    static std::string restUrl(const std::string& operation, const std::string& encodedPath,
                               const std::string& signedPath, const std::string& key) {
        return Sandbox::baseUrl() + "/" + operation + "/" + encodedPath + "/" +
               SignatureVerifier::sign(key, signedPath);
    }

    static std::string serviceUrl(const std::string& target) {
        return std::string("https://") + QUORVELA_SERVICE_HOST + target;
    }

    quorvela::test::TempDir dir;
    Sandbox sandbox;
    std::shared_ptr<ThreadDispatcher> dispatcher = std::make_shared<ThreadDispatcher>(2);
    std::unique_ptr<CurlHttpClient> client;
};

}  // namespace quorvela::sandbox::test
