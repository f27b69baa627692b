#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <regex>
#include <string>
#include <thread>
#include <vector>

#include "protocol/HttpRequest.h"
#include "protocol/SharedSession.h"
#include "support/TestPlatform.h"

namespace quorvela {
namespace {

using namespace std::chrono_literals;
using test::FakeHttpClient;
using Calls = std::vector<std::pair<std::string, std::string>>;

const std::string kUrl = "https://service.test/quorvela-staging/rest/message/getGeoFences/a/b";

// Background tasks that remember the order of begins and ends.
class RecordingTasks : public BackgroundTasks {
public:
    TaskId begin(std::function<void()>) override {
        std::lock_guard lock(mutex_);
        log_.push_back("begin " + std::to_string(next_));
        ++open;
        return next_++;
    }
    void end(TaskId task) override {
        std::lock_guard lock(mutex_);
        log_.push_back("end " + std::to_string(task));
        --open;
    }
    std::vector<std::string> log() const {
        std::lock_guard lock(mutex_);
        return log_;
    }
    std::atomic<int> open{0};

private:
    mutable std::mutex mutex_;
    TaskId next_ = 1;
    std::vector<std::string> log_;
};

// Records the outcome and whether it came on a thread other than the main one and the caller's.
class Receiver : public RequestDelegate {
public:
    explicit Receiver(std::shared_ptr<Platform> platform) : platform_(std::move(platform)) {}
    void response(const std::string& body) override { record("response", body); }
    void requestError(const RequestError& error) override { record("error", error.text()); }
    Calls calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    std::atomic<bool> offThread{false};

private:
    void record(const std::string& kind, const std::string& text) {
        offThread = !platform_->dispatcher->isMainThread() && std::this_thread::get_id() != caller_;
        std::lock_guard lock(mutex_);
        calls_.emplace_back(kind, text);
    }
    std::shared_ptr<Platform> platform_;
    std::thread::id caller_ = std::this_thread::get_id();
    mutable std::mutex mutex_;
    Calls calls_;
};

class HttpRequestTest : public ::testing::Test {
protected:
    HttpRequestTest() : platform(test::makeTestPlatform(dir)), tasks(std::make_shared<RecordingTasks>()) {
        platform->backgroundTasks = tasks;
    }
    // Starts one request (a transfer, or a refusal when `refusal` is set) and
    // waits for its outcome; afterwards only weak references are kept.
    Calls run(const std::optional<std::string>& refusal = std::nullopt) {
        auto receiver = std::make_shared<Receiver>(platform);
        auto request = HttpRequest::create(platform);
        request->setDelegate(receiver);
        if (refusal) request->failWith(RequestError{*refusal, {}, 0});
        else request->makeGetRequestToUrl(kUrl, "Geofence");
        weakRequest = request;
        weakReceiver = receiver;
        request.reset();
        EXPECT_TRUE(platform->dispatcher->waitIdle(10s));
        EXPECT_TRUE(receiver->offThread);
        return receiver->calls();
    }

    test::TempDir dir;
    std::shared_ptr<Platform> platform;
    std::shared_ptr<RecordingTasks> tasks;
    std::weak_ptr<HttpRequest> weakRequest;
    std::weak_ptr<Receiver> weakReceiver;
};

TEST_F(HttpRequestTest, BodyGoesToResponseAndEverythingIsReleased) {
    test::fakeHttp(*platform).answer(kUrl, FakeHttpClient::reply("<ok/>"));
    EXPECT_EQ(run(), (Calls{{"response", "<ok/>"}}));
    EXPECT_EQ(test::fakeHttp(*platform).requests(), std::vector<std::string>{kUrl});
    EXPECT_EQ(test::fakeHttp(*platform).lastTimeout(), 300s);
    // One task covers the setting up, the next the delivery.
    EXPECT_EQ(tasks->log(), (std::vector<std::string>{"begin 1", "end 1", "begin 2", "end 2"}));
    EXPECT_TRUE(weakRequest.expired());
    EXPECT_TRUE(weakReceiver.expired());
}

TEST_F(HttpRequestTest, DelegateIsReleasedEvenWhenTheRequestIsKept) {
    test::fakeHttp(*platform).answer(kUrl, FakeHttpClient::failure());
    auto receiver = std::make_shared<Receiver>(platform);
    auto request = HttpRequest::create(platform);
    request->setDelegate(receiver);
    request->makeGetRequestToUrl(kUrl, "Location");
    std::weak_ptr<Receiver> weak = receiver;
    receiver.reset();
    ASSERT_TRUE(platform->dispatcher->waitIdle(10s));
    EXPECT_TRUE(weak.expired());
    EXPECT_EQ(request->delegate(), nullptr);
    EXPECT_EQ(request->backgroundUpdateTask(), BackgroundTasks::kInvalid);
}

TEST_F(HttpRequestTest, FailuresGoToRequestError) {
    struct Case {
        HttpResult result;
        std::string kind, textStart;
    };
    const Case cases[] = {
        {FakeHttpClient::failure("Failed to connect to service.test port 443"), "error",
         "Failed to connect to service.test port 443 {url = "},
        {FakeHttpClient::failure(""), "error", "The request failed"},
        {FakeHttpClient::reply("<a>\xFF\xFE</a>"), "error", "The reply is not valid UTF-8 text"},
        // The status is not examined: an error page is a body like any other.
        {FakeHttpClient::reply("<html>Bad Gateway</html>", 502), "response", "<html>Bad Gateway</html>"},
        {FakeHttpClient::reply(""), "response", ""},
    };
    for (const auto& c : cases) {
        test::fakeHttp(*platform).answer(kUrl, c.result);
        auto calls = run();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].first, c.kind);
        EXPECT_EQ(calls[0].second.rfind(c.textStart, 0), 0u) << calls[0].second;
    }
    // A refused request is reported the same way and never sent.
    test::fakeHttp(*platform).clearRequests();
    EXPECT_EQ(run("Cannot sign a request that holds non-ASCII text"),
              (Calls{{"error", "Cannot sign a request that holds non-ASCII text {}"}}));
    EXPECT_TRUE(test::fakeHttp(*platform).requests().empty());
    EXPECT_EQ(tasks->open.load(), 0);
}

TEST_F(HttpRequestTest, EachTransferHasItsOwnSessionIdentifier) {
    test::fakeHttp(*platform).answer(kUrl, FakeHttpClient::reply("<ok/>"));
    auto first = HttpRequest::create(platform);
    auto second = HttpRequest::create(platform);
    first->makeGetRequestToUrl(kUrl, "Analytics");
    second->makeGetRequestToUrl(kUrl, "Analytics");
    ASSERT_TRUE(platform->dispatcher->waitIdle(10s));
    const std::regex form("Analytics-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}");
    EXPECT_TRUE(std::regex_match(first->sessionIdentifier(), form)) << first->sessionIdentifier();
    EXPECT_TRUE(std::regex_match(second->sessionIdentifier(), form));
    EXPECT_NE(first->sessionIdentifier(), second->sessionIdentifier());
}

// What the results hold is seen through the loaders that use the session.
TEST_F(HttpRequestTest, SharedSessionCompletesOnTheGlobalQueue) {
    test::fakeHttp(*platform).answer(kUrl, FakeHttpClient::reply("<r/>"));
    std::atomic<int> offThread{0};
    const auto caller = std::this_thread::get_id();
    auto record = [&](const HttpResult&) {
        if (!platform->dispatcher->isMainThread() && std::this_thread::get_id() != caller) ++offThread;
    };
    SharedSession::dataTask(platform, kUrl, record);
    SharedSession::fail(platform, "Cannot sign a request that holds non-ASCII text", record);
    ASSERT_TRUE(platform->dispatcher->waitIdle(10s));
    EXPECT_EQ(offThread.load(), 2);
    EXPECT_EQ(test::fakeHttp(*platform).lastTimeout(), 300s);
}

}  // namespace
}  // namespace quorvela
