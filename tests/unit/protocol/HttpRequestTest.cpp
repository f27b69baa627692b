#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <regex>
#include <set>
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

const std::string kUrl = "https://service.test/quorvela-staging/rest/message/getGeoFences/a/b";

// Background tasks that remember the order of begins and ends.
class RecordingTasks : public BackgroundTasks {
public:
    TaskId begin(std::function<void()>) override {
        std::lock_guard lock(mutex_);
        const TaskId id = next_++;
        log_.push_back("begin " + std::to_string(id));
        open_.insert(id);
        return id;
    }
    void end(TaskId task) override {
        std::lock_guard lock(mutex_);
        log_.push_back("end " + std::to_string(task));
        open_.erase(task);
    }
    std::vector<std::string> log() const {
        std::lock_guard lock(mutex_);
        return log_;
    }
    std::size_t open() const {
        std::lock_guard lock(mutex_);
        return open_.size();
    }

private:
    mutable std::mutex mutex_;
    TaskId next_ = 1;
    std::vector<std::string> log_;
    std::set<TaskId> open_;
};

class Receiver : public RequestDelegate {
public:
    explicit Receiver(std::shared_ptr<Platform> platform) : platform_(std::move(platform)) {}
    void response(const std::string& body) override { record("response", body); }
    void requestError(const RequestError& error) override { record("error", error.text()); }

    std::vector<std::pair<std::string, std::string>> calls() const {
        std::lock_guard lock(mutex_);
        return calls_;
    }
    bool offMainAndCallerThread() const { return offThread_.load(); }
    std::thread::id caller = std::this_thread::get_id();

private:
    void record(const std::string& kind, const std::string& text) {
        offThread_ = !platform_->dispatcher->isMainThread() && std::this_thread::get_id() != caller;
        std::lock_guard lock(mutex_);
        calls_.emplace_back(kind, text);
    }
    std::shared_ptr<Platform> platform_;
    mutable std::mutex mutex_;
    std::vector<std::pair<std::string, std::string>> calls_;
    std::atomic<bool> offThread_{false};
};

class HttpRequestTest : public ::testing::Test {
protected:
    HttpRequestTest() : platform(test::makeTestPlatform(dir)), tasks(std::make_shared<RecordingTasks>()) {
        platform->backgroundTasks = tasks;
    }
    // Starts one request and waits for its outcome; the request and the
    // receiver are held only through `weakRequest` / `weakReceiver` after.
    std::vector<std::pair<std::string, std::string>> run(const std::string& identifier = "Geofence") {
        auto receiver = std::make_shared<Receiver>(platform);
        auto request = HttpRequest::create(platform);
        request->setDelegate(receiver);
        request->makeGetRequestToUrl(kUrl, identifier);
        weakRequest = request;
        weakReceiver = receiver;
        request.reset();
        EXPECT_TRUE(platform->dispatcher->waitIdle(10s));
        offThread = receiver->offMainAndCallerThread();
        return receiver->calls();
    }

    test::TempDir dir;
    std::shared_ptr<Platform> platform;
    std::shared_ptr<RecordingTasks> tasks;
    std::weak_ptr<HttpRequest> weakRequest;
    std::weak_ptr<Receiver> weakReceiver;
    bool offThread = false;
};

TEST_F(HttpRequestTest, BodyGoesToResponseOffTheCallersThread) {
    test::fakeHttp(*platform).answer(kUrl, FakeHttpClient::reply("<ok/>"));
    auto calls = run();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0], std::make_pair(std::string("response"), std::string("<ok/>")));
    EXPECT_TRUE(offThread);
    EXPECT_EQ(test::fakeHttp(*platform).requests(), std::vector<std::string>{kUrl});
    EXPECT_EQ(test::fakeHttp(*platform).lastTimeout(), 300s);
}

TEST_F(HttpRequestTest, TwoBackgroundTasksOneAfterTheOther) {
    test::fakeHttp(*platform).answer(kUrl, FakeHttpClient::reply("<ok/>"));
    run();
    EXPECT_EQ(tasks->log(), (std::vector<std::string>{"begin 1", "end 1", "begin 2", "end 2"}));
    EXPECT_EQ(tasks->open(), 0u);
}

TEST_F(HttpRequestTest, RequestAndDelegateAreReleasedAfterDelivery) {
    test::fakeHttp(*platform).answer(kUrl, FakeHttpClient::reply("<ok/>"));
    run();
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
        EXPECT_TRUE(offThread);
    }
    EXPECT_EQ(tasks->open(), 0u);
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

TEST_F(HttpRequestTest, RefusedRequestIsReportedWithoutSending) {
    auto receiver = std::make_shared<Receiver>(platform);
    auto request = HttpRequest::create(platform);
    request->setDelegate(receiver);
    request->failWith(RequestError{"Cannot sign a request that holds non-ASCII text", {}, 0});
    request.reset();
    ASSERT_TRUE(platform->dispatcher->waitIdle(10s));
    ASSERT_EQ(receiver->calls().size(), 1u);
    EXPECT_EQ(receiver->calls()[0].second, "Cannot sign a request that holds non-ASCII text {}");
    EXPECT_TRUE(receiver->offMainAndCallerThread());
    EXPECT_TRUE(test::fakeHttp(*platform).requests().empty());
    EXPECT_EQ(tasks->open(), 0u);
}

TEST_F(HttpRequestTest, ManyConcurrentRequestsEachDeliverOnce) {
    test::fakeHttp(*platform).answer("https://service.test/ok", FakeHttpClient::reply("fine"));
    std::vector<std::shared_ptr<Receiver>> receivers;
    std::vector<std::thread> callers;
    std::mutex mutex;
    for (int t = 0; t < 4; ++t) {
        callers.emplace_back([&, t] {
            for (int i = 0; i < 26; ++i) {
                auto receiver = std::make_shared<Receiver>(platform);
                {
                    std::lock_guard lock(mutex);
                    receivers.push_back(receiver);
                }
                auto request = HttpRequest::create(platform);
                request->setDelegate(receiver);
                request->makeGetRequestToUrl(i % 2 ? "https://service.test/ok" : "https://service.test/down",
                                             "T" + std::to_string(t));
            }
        });
    }
    for (auto& caller : callers) caller.join();
    ASSERT_TRUE(platform->dispatcher->waitIdle(20s));
    int responses = 0, errors = 0;
    for (const auto& receiver : receivers) {
        auto calls = receiver->calls();
        ASSERT_EQ(calls.size(), 1u);
        (calls[0].first == "response" ? responses : errors)++;
    }
    EXPECT_EQ(responses, 52);
    EXPECT_EQ(errors, 52);
    EXPECT_EQ(tasks->open(), 0u);
}

TEST_F(HttpRequestTest, SharedSessionCompletesOnTheGlobalQueue) {
    test::fakeHttp(*platform).answer(kUrl, FakeHttpClient::reply("<r/>", 404));
    std::mutex mutex;
    std::vector<HttpResult> results;
    std::atomic<bool> offThread{true};
    const auto caller = std::this_thread::get_id();
    auto record = [&](const HttpResult& result) {
        if (platform->dispatcher->isMainThread() || std::this_thread::get_id() == caller) offThread = false;
        std::lock_guard lock(mutex);
        results.push_back(result);
    };
    SharedSession::dataTask(platform, kUrl, record);
    SharedSession::dataTask(platform, "https://service.test/none", record);
    SharedSession::fail(platform, "Cannot sign a request that holds non-ASCII text", record);
    ASSERT_TRUE(platform->dispatcher->waitIdle(10s));
    ASSERT_EQ(results.size(), 3u);
    EXPECT_TRUE(offThread);
    int ok = 0;
    for (const auto& result : results) {
        if (result.ok) {
            ++ok;
            EXPECT_EQ(result.status, 404);
            EXPECT_EQ(result.body, "<r/>");
        } else {
            EXPECT_FALSE(result.error.empty());
        }
    }
    EXPECT_EQ(ok, 1);
    EXPECT_EQ(test::fakeHttp(*platform).lastTimeout(), 300s);
}

}  // namespace
}  // namespace quorvela
