#pragma once
// One recorder for every loader delegate and one fixture that runs a loader
// against the fake HTTP client and returns the calls it made, in order.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "model/WorkspaceRecord.h"
#include "protocol/CheckGeoFencesDelegate.h"
#include "protocol/ClientCredentials.h"
#include "protocol/DeviceSubscriberDelegate.h"
#include "protocol/LoadBeaconsDelegate.h"
#include "protocol/LocationDelegate.h"
#include "protocol/PendingMessageDataLoaderDelegate.h"
#include "protocol/RegisterPhoneDelegate.h"
#include "protocol/ServiceEndpoints.h"
#include "protocol/SingleMessageLoaderDelegate.h"
#include "protocol/WorkspaceDelegate.h"
#include "quorvela/Beacon.h"
#include "quorvela/FetchResult.h"
#include "quorvela/Geofence.h"
#include "quorvela/Message.h"
#include "support/TestPlatform.h"

namespace quorvela::test {

using Events = std::vector<std::string>;

inline std::string shown(const std::optional<std::string>& text) { return text ? "'" + *text + "'" : "(null)"; }
inline std::string yesNo(bool value) { return value ? "true" : "false"; }

class Recorder : public CheckGeoFencesDelegate,
                 public LoadBeaconsDelegate,
                 public LocationDelegate,
                 public PendingMessageDataLoaderDelegate,
                 public SingleMessageLoaderDelegate,
                 public RegisterPhoneDelegate,
                 public DeviceSubscriberDelegate,
                 public WorkspaceDelegate {
public:
    using Text = std::optional<std::string>;
    using Ws = std::shared_ptr<WorkspaceRecord>;
    template <class List>
    static std::string n(const List& list) {
        return std::to_string(list.size());
    }

    void checkGeoFencesSuccess(const std::vector<std::shared_ptr<Geofence>>& l) override { add("geofences " + n(l)); }
    void checkGeoFencesReturnedError(const std::string& e) override { add("geofences error " + e); }
    void loadBeaconsSuccess(const std::vector<std::shared_ptr<Beacon>>& l) override { add("beacons " + n(l)); }
    void loadBeaconsReturnedError(const std::string& e) override { add("beacons error " + e); }
    void LocationCallSuccess(bool ok, const Text& m) override { add("location " + yesNo(ok) + " " + shown(m)); }
    void LocationCallReturnedError(const Text& m) override { add("location error " + shown(m)); }
    void pendingMessagesRetrieved(const std::vector<std::shared_ptr<Message>>& l,
                                  std::optional<std::int64_t>) override {
        std::string ids;  // in the order handed over
        for (const auto& m : l) ids += " " + m->id().value_or("(null)");
        add("pending" + ids);
    }
    void pendingMessagesRetrievedError(const std::string& e) override { add("pending error " + e); }
    void SingleMessageRetrieved(const std::shared_ptr<Message>& m) override {
        add(m ? "message " + m->id().value_or("(null)") : "message nothing");
    }
    void SingleMessageRetrievedError(const std::string& e) override { add("message error " + e); }
    void RegistrationStatus(bool ok, bool wait, const Text& m) override {
        add("RegistrationStatus " + yesNo(ok) + " " + yesNo(wait) + " " + shown(m));
    }
    void UnRegisterUserSucceeded(bool ok) override { add("UnRegisterUserSucceeded " + yesNo(ok)); }
    void ActivatePhoneSucceeded(bool ok, const Text& m) override {
        add("ActivatePhoneSucceeded " + yesNo(ok) + " " + shown(m));
    }
    void RegistrationThrowsError(const std::string& e) override { add("RegistrationThrowsError " + e); }
    void UnRegisterUserError(const std::string& e) override { add("UnRegisterUserError " + e); }
    void ActivatePhoneReturnedError(const std::string& e) override { add("ActivatePhoneReturnedError " + e); }
    void deviceSubscriberSucceeded(bool ok, const Text& m) override { add("subscriber " + yesNo(ok) + " " + shown(m)); }
    void deviceSubscriberError(const std::string& e) override { add("subscriber error " + e); }
    void availableWorkspacesLoadedSuccessfully(const WorkspaceList& l) override { listed("available ", l); }
    void availableWorkspacesLoadedWithErrors(const std::string& e) override { add("available error " + e); }
    void subscribedWorkspacesLoadedSuccessfully(const WorkspaceList& l) override { listed("subscribed ", l); }
    void subscribedWorkspacesLoadedWithErrors(const std::string& e) override { add("subscribed error " + e); }
    void workspaceSubscribedSuccessfully(const Ws& ws) override { single("joined", ws, ""); }
    void failedToSubscribeWorkspace(const Ws& ws, const Text& e) override { single("join failed", ws, " " + shown(e)); }
    void workspaceUnsubscribedSuccessfully(const Ws& ws) override { single("left", ws, ""); }
    void failedToUnsubscribeWorkspace(const Ws& ws, const Text& e) override {
        single("leave failed", ws, " " + shown(e));
    }

    FetchCompletion completion() {
        return [this](unsigned long result) { add("completion " + std::to_string(result)); };
    }
    Events events() const {
        std::lock_guard lock(mutex_);
        return events_;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        events_.clear();
    }

    // What the latest calls handed over.
    WorkspaceList list;
    std::shared_ptr<WorkspaceRecord> target;

private:
    void add(std::string line, const std::function<void()>& keep = {}) {
        std::lock_guard lock(mutex_);
        if (keep) keep();
        events_.push_back(std::move(line));
    }
    void listed(const std::string& what, const WorkspaceList& l) {
        add(what + n(l), [&] { list = l; });
    }
    void single(const std::string& what, const Ws& ws, const std::string& rest) {
        add(what + (ws ? " ws" : " null") + rest, [&] { target = ws; });
    }

    mutable std::mutex mutex_;
    Events events_;
};

/// The clock stands half a second past FakeClock::kStart, so every time stamp
/// ends in 500 milliseconds.
inline const std::string kStamp = "1700000000500";

class LoaderTest : public ::testing::Test {
public:
    LoaderTest() : platform(makeTestPlatform(dir)) {
        fakeClock(*platform).set(FakeClock::kStart + 0.5);
        platform->keyValueStore->set("deviceUniqueID", Value("DEV-1"));
        platform->keyValueStore->set("devicePushID", Value("ab01"));
        platform->keyValueStore->set("clientUserID", Value("u1"));
        ws = WorkspaceRecord::create(platform);
        ws->setClientId("abc");
        ws->setPublicKey("ws-key");
    }

    /// A loader made from `args` that reports to the recorder.
    template <class Loader, class... Args>
    std::shared_ptr<Loader> loader(Args&&... args) {
        auto made = std::make_shared<Loader>(std::forward<Args>(args)...);
        made->setDelegate(recorder);
        return made;
    }
    /// Runs `start` and returns the calls made until everything is idle.
    Events run(const std::function<void()>& start) {
        recorder->clear();
        start();
        EXPECT_TRUE(platform->dispatcher->waitIdle(std::chrono::seconds(10)));
        return recorder->events();
    }
    void answer(HttpResult result) { http().answer(serviceBaseUrl(), std::move(result)); }
    FakeHttpClient& http() { return fakeHttp(*platform); }
    CapturingLog& log() { return capturingLog(*platform); }

    TempDir dir;
    std::shared_ptr<Platform> platform;
    ClientCredentials credentials{"Demo", "client-1", "private-key"};
    std::shared_ptr<WorkspaceRecord> ws;
    std::shared_ptr<Recorder> recorder = std::make_shared<Recorder>();
};

/// Compares calls line by line: "%s" in an expected line stands for `text`,
/// and a final "*" accepts any rest of the line.
inline void expectCalls(const Events& actual, const Events& expected, const std::string& text = "") {
    ASSERT_EQ(actual.size(), expected.size()) << ::testing::PrintToString(actual);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        std::string want = expected[i];
        if (const auto at = want.find("%s"); at != std::string::npos) want.replace(at, 2, text);
        if (!want.empty() && want.back() == '*') {
            want.pop_back();
            EXPECT_EQ(actual[i].substr(0, want.size()), want);
        } else {
            EXPECT_EQ(actual[i], want);
        }
    }
}

}  // namespace quorvela::test
