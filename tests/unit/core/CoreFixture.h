#pragma once
// A facade over the in-memory test platform, with a store that counts writes
// and flushes, and the service helpers the flow tests share.

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "core/QuorvelaCore.h"
#include "model/WorkspaceRecord.h"
#include "protocol/PercentEncoding.h"
#include "protocol/ServiceEndpoints.h"
#include "support/CompletionResults.h"
#include "support/TestPlatform.h"
#include "unit/model/ModelTestSupport.h"

namespace quorvela::test {

inline const std::string kSuccess =
    "<transactionResult><successful>true</successful><message>ok</message></transactionResult>";
inline const std::string kFailure =
    "<transactionResult><successful>false</successful><message>no</message></transactionResult>";
inline const std::string kCheckConfiguration =
    ": check in the configuration file (Quorvela-info.plist) some of the following keys "
    "(appName/publicKey/privateKey)";

class CoreFixture : public ::testing::Test {
protected:
    CoreFixture() {
        platform->keyValueStore = store;
        facade = QuorvelaCore::create(platform);
    }
    ~CoreFixture() override { platform->dispatcher->waitIdle(std::chrono::seconds(10)); }

    // What a successful configure leaves behind, without running the start-up.
    void configured() {
        facade->setAppName(std::string("demo app"));
        facade->setClientID(std::string("client-1"));
        facade->setApiClientPrivateKey(std::string("secret"));
        store->set("configureQuorvela", Value("YES"));
        store->set("deviceUniqueID", Value("DEV-1"));
    }
    static Value::Dictionary goodConfiguration() {
        return {{"appName", "demo app"}, {"publicKey", "client-1"}, {"privateKey", "secret"}};
    }
    // A workspace as the service lists it; the key is "key-<id>" unless given.
    std::shared_ptr<WorkspaceRecord> ws(const std::string& id, bool subscribed = false, const std::string& key = "") {
        auto w = WorkspaceRecord::create(platform);
        w->setClientId(id);
        w->setName("name " + id);
        w->setPublicKey(key.empty() ? "key-" + id : key);
        w->setSubscribed(subscribed);
        return w;
    }
    bool idle() { return platform->dispatcher->waitIdle(std::chrono::seconds(10)); }

    static std::string url(const std::string& operation) { return serviceBaseUrl() + "/" + operation + "/"; }
    std::size_t sent(const std::string& operation) { return http().requestCount(url(operation)); }
    void answer(const std::string& operation, const std::string& body) {
        http().answer(url(operation), FakeHttpClient::reply(body));
    }
    std::size_t eventRequests() { return http().requestCount(eventsUrl()); }
    // The analytics requests whose event type is `type`.
    std::vector<std::string> events(const std::string& type) {
        std::vector<std::string> out;
        for (const auto& request : http().requests())
            if (request.rfind(eventsUrl(), 0) == 0 &&
                request.find("&eventtype=" + PercentEncoding::encodePath(type) + "&") != std::string::npos)
                out.push_back(request);
        return out;
    }

    // Forgets what earlier rows of a table sent and wrote.
    void forget() {
        http().clearRequests();
        log().clear();
    }
    CapturingLog& log() { return capturingLog(*platform); }
    FakeHttpClient& http() { return fakeHttp(*platform); }
    Value stored(const std::string& key) { return store->get(key); }

    TempDir dir;
    std::shared_ptr<Platform> platform = makeTestPlatform(dir);
    std::shared_ptr<CountingKeyValueStore> store = std::make_shared<CountingKeyValueStore>();
    std::shared_ptr<QuorvelaCore> facade;
};

}  // namespace quorvela::test
