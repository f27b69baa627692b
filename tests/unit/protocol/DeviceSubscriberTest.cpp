// The device subscriber: request layout, reply grammar, the error paths.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "protocol/DeviceSubscriber.h"
#include "protocol/RequestSigner.h"
#include "protocol/ServiceEndpoints.h"
#include "support/TestPlatform.h"

namespace quorvela::test {
namespace {

class RecordingSubscriberDelegate : public DeviceSubscriberDelegate {
public:
    void deviceSubscriberSucceeded(bool successful, const std::optional<std::string>& message) override {
        add(std::string("succeeded ") + (successful ? "true " : "false ") +
            (message ? "'" + *message + "'" : "(null)"));
    }
    void deviceSubscriberError(const std::string& error) override { add("error " + error); }
    std::vector<std::string> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }

private:
    void add(std::string line) {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(line));
    }
    mutable std::mutex mutex_;
    std::vector<std::string> calls_;
};

class DeviceSubscriberTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform = makeTestPlatform(dir);
        platform->keyValueStore->set("deviceUniqueID", Value("DEV-1"));
        platform->keyValueStore->set("devicePushID", Value("ab01"));
    }
    void run(ClientCredentials credentials = {"app", "client", "secret"}) {
        delegate = std::make_shared<RecordingSubscriberDelegate>();
        auto subscriber = std::make_shared<DeviceSubscriber>(platform, credentials);
        subscriber->setDelegate(delegate);
        subscriber->registerDeviceWithUniqueID();
        ASSERT_TRUE(platform->dispatcher->waitIdle(std::chrono::seconds(10)));
    }
    TempDir dir;
    std::shared_ptr<Platform> platform;
    std::shared_ptr<RecordingSubscriberDelegate> delegate;
};

TEST_F(DeviceSubscriberTest, RequestCarriesTokenWithoutPlatformWord) {
    run();
    const std::string raw = "DEV-1/app/ab01/client/" + std::to_string(static_cast<long long>(FakeClock::kStart * 1000));
    const std::string url = serviceBaseUrl() + "/iOSReg/" + raw + "/" + *RequestSigner::sign(raw, "secret");
    EXPECT_EQ(fakeHttp(*platform).requests(), std::vector<std::string>{url});
    EXPECT_TRUE(capturingLog(*platform).contains("QUORVELA-DEBUG: iOSReg: " + url));

    platform->keyValueStore->remove("devicePushID");
    fakeHttp(*platform).clearRequests();
    run();
    ASSERT_EQ(fakeHttp(*platform).requests().size(), 1u);
    EXPECT_NE(fakeHttp(*platform).requests()[0].find("/iOSReg/DEV-1/app/(null)/client/"), std::string::npos);
}

TEST_F(DeviceSubscriberTest, ReplyGrammar) {
    struct Case {
        const char* name;
        std::string body;
        std::string call;
    };
    const std::vector<Case> cases{
        {"compact", "<transactionResult><successful>true</successful><message>ok</message></transactionResult>",
         "succeeded true 'ok'"},
        {"result resets to empty message", "<transactionResult><successful>true</successful></transactionResult>",
         "succeeded true ''"},
        {"ending element decides",
         "<transactionResult><successful>true</successful><box><message>m</message></box></transactionResult>",
         "succeeded true 'm'"},
        {"capitals", "<transactionResult><successful>True</successful></transactionResult>", "succeeded false ''"},
        {"no result element", "<reply><other>1</other></reply>", "succeeded false (null)"},
        {"second result resets the first",
         "<r><transactionResult><successful>true</successful><message>a</message></transactionResult>"
         "<transactionResult></transactionResult></r>",
         "succeeded false ''"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fakeHttp(*platform).answer(serviceBaseUrl(), FakeHttpClient::reply(c.body));
        run();
        EXPECT_EQ(delegate->calls(), std::vector<std::string>{c.call});
    }
}

TEST_F(DeviceSubscriberTest, FailuresReachTheErrorCallback) {
    fakeHttp(*platform).answer(serviceBaseUrl(), FakeHttpClient::failure("Could not connect"));
    run();
    EXPECT_EQ(delegate->calls(), std::vector<std::string>{"error iOSReg Error: Could not connect"});
    EXPECT_TRUE(capturingLog(*platform).contains("QUORVELA-DEBUG: iosReg: completed with error: Could not connect"));

    fakeHttp(*platform).answer(serviceBaseUrl(), FakeHttpClient::reply("<html><body>oops</html>", 500));
    run();
    ASSERT_EQ(delegate->calls().size(), 1u);
    EXPECT_EQ(delegate->calls()[0].rfind("error iOSReg Error: ", 0), 0u) << delegate->calls()[0];
    EXPECT_TRUE(capturingLog(*platform).contains("iOSReg: completed successfully"));

    fakeHttp(*platform).clearRequests();
    run({"app", "client", "cl\xC3\xA9"});
    EXPECT_TRUE(fakeHttp(*platform).requests().empty());
    EXPECT_EQ(delegate->calls(),
              std::vector<std::string>{"error iOSReg Error: Cannot sign a request that holds non-ASCII text"});
}

}  // namespace
}  // namespace quorvela::test
