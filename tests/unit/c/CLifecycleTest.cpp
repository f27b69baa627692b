// Opening and closing handles, and the callbacks' contract: each completion
// exactly once with its user data, none after close, and the calls a
// callback may not make.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <future>

#include "CHandleFixture.h"
#include "c/CallError.h"
#include "c/ObservedLocationManager.h"

namespace quorvela::test {
namespace {

using namespace std::chrono_literals;
using CLifecycleTest = CHandleFixture;

TEST_F(CLifecycleTest, ASecondHandleIsRefusedUntilTheFirstIsClosedAndNumbersAreNeverReused) {
    ASSERT_NE(open(), nullptr);
    auto* first = handle;
    quorvela_status_t refused = QUORVELA_OK;
    try {
        open();
    } catch (const c::CallError& error) {
        refused = error.status;
    }
    EXPECT_EQ(refused, QUORVELA_ERR_BUSY);
    handle = first;
    ASSERT_EQ(close(), QUORVELA_OK);
    ASSERT_NE(open(), nullptr);
    EXPECT_NE(handle, first);
    EXPECT_EQ(quorvela_flush(first, 10, nullptr), QUORVELA_ERR_CLOSED);
    EXPECT_EQ(quorvela_flush(handle, 10000, nullptr), QUORVELA_OK);
}

TEST_F(CLifecycleTest, CompletionsArriveOnceWithTheirUserData) {
    ASSERT_NE(open(), nullptr);
    CallbackLog other;
    // The fake service answers nothing: the registration fails, a text that
    // is no JSON object and a push for a workspace not joined start nothing.
    ASSERT_EQ(quorvela_register_user(handle, "walker", &CallbackLog::onRegistration, &other, nullptr), QUORVELA_OK);
    ASSERT_EQ(quorvela_process_push(handle, "not json", &CallbackLog::onFetch, &log, nullptr), QUORVELA_OK);
    ASSERT_EQ(quorvela_process_push(handle, R"({"msgId":"m","type":"TXT_MSG","clientId":"elsewhere"})",
                                    &CallbackLog::onFetch, &log, nullptr),
              QUORVELA_OK);
    ASSERT_TRUE(flush());
    const auto registrations = other.of("registration");
    ASSERT_EQ(registrations.size(), 1u);
    EXPECT_EQ(registrations[0].number, QUORVELA_REGISTRATION_FAILED);
    EXPECT_EQ(registrations[0].userData, &other);
    const auto fetches = log.of("fetch");
    ASSERT_EQ(fetches.size(), 2u);
    for (const auto& fetch : fetches) {
        EXPECT_EQ(fetch.number, QUORVELA_FETCH_NO_DATA);
        EXPECT_EQ(fetch.userData, &log);
    }
    ASSERT_EQ(close(), QUORVELA_OK);
    EXPECT_EQ(log.of("fetch").size(), 2u);
    EXPECT_EQ(other.of("registration").size(), 1u);
}

TEST_F(CLifecycleTest, CloseAnswersPendingCompletionsAndNothingArrivesAfterIt) {
    ASSERT_NE(open(), nullptr);
    ASSERT_TRUE(flush());
    std::promise<void> release;
    auto released = release.get_future().share();
    std::promise<void> requested;
    std::atomic<bool> first{true};
    fakeHttp(*platform).answer("https://", [&, released](const std::string&) {
        if (first.exchange(false)) requested.set_value();
        released.wait();
        return FakeHttpClient::unanswered();
    });
    ASSERT_EQ(quorvela_register_user(handle, "walker", &CallbackLog::onRegistration, &log, nullptr), QUORVELA_OK);
    requested.get_future().wait();
    char* error = nullptr;
    EXPECT_EQ(quorvela_close(handle, 50, &error), QUORVELA_ERR_TIMEOUT);
    EXPECT_NE(takeError(error), "");
    handle = nullptr;
    auto registrations = log.of("registration");
    ASSERT_EQ(registrations.size(), 1u) << "close answers the pending completion";
    EXPECT_EQ(registrations[0].number, QUORVELA_REGISTRATION_FAILED);
    const auto logLines = log.of("log").size();
    release.set_value();
    ASSERT_TRUE(platform->dispatcher->waitIdle(10s));
    EXPECT_EQ(log.of("registration").size(), 1u) << "the late real outcome is not delivered";
    EXPECT_EQ(log.of("log").size(), logLines);
}

// A callback that tries the calls a callback may and may not make.
struct Reentry {
    std::atomic<quorvela_handle_t*> handle{nullptr};
    std::promise<std::vector<quorvela_status_t>> seen;

    static void onRegistration(void* userData, quorvela_registration_t) {
        auto* self = static_cast<Reentry*>(userData);
        char* json = nullptr;
        std::vector<quorvela_status_t> statuses{
            quorvela_close(self->handle, 0, nullptr), quorvela_flush(self->handle, 0, nullptr),
            quorvela_init(nullptr, nullptr, nullptr) == nullptr ? QUORVELA_ERR_INVALID_ARGUMENT : QUORVELA_OK,
            quorvela_subscribed_workspaces(self->handle, &json, nullptr)};
        quorvela_free(json);
        self->seen.set_value(statuses);
    }
};

TEST_F(CLifecycleTest, ACallbackMayNotCloseOrFlushButMayReadTheLists) {
    ASSERT_NE(open(), nullptr);
    Reentry reentry;
    reentry.handle = handle;
    ASSERT_EQ(quorvela_register_user(handle, "walker", &Reentry::onRegistration, &reentry, nullptr), QUORVELA_OK);
    auto statuses = reentry.seen.get_future();
    ASSERT_EQ(statuses.wait_for(10s), std::future_status::ready);
    EXPECT_EQ(statuses.get(), (std::vector<quorvela_status_t>{QUORVELA_ERR_IN_CALLBACK, QUORVELA_ERR_IN_CALLBACK,
                                                              QUORVELA_ERR_INVALID_ARGUMENT, QUORVELA_OK}));
    EXPECT_TRUE(flush()) << "the handle is still open";
}

// The library's delegate hears every region event first; the host after it.
class RecordingManagerDelegate : public LocationManagerDelegate {
public:
    void didEnterRegion(LocationManager&, const std::shared_ptr<Region>& region) override {
        log->add({"library", region->identifier(), 1});
    }
    void didExitRegion(LocationManager&, const std::shared_ptr<Region>& region) override {
        log->add({"library", region->identifier(), 0});
    }
    CallbackLog* log = nullptr;
};

TEST(CObservedLocationManager, RelaysRegionEventsAfterTheLibraryAndAnnouncesUpdates) {
    CallbackLog log;
    auto callbacks = log.callbacks();
    auto bridge = std::make_shared<c::CallbackBridge>(&callbacks);
    auto source = std::make_shared<ManualLocationSource>();
    auto inner = SoftwareLocationManager::create(nullptr, source);
    c::ObservedLocationManager manager(inner, bridge);
    auto delegate = std::make_shared<RecordingManagerDelegate>();
    delegate->log = &log;
    manager.setDelegate(delegate);
    EXPECT_EQ(manager.delegate(), delegate) << "the library sees its own delegate";

    inner->reportRegionEvent("g-square", true, Region::Kind::Circular);
    inner->reportRegionEvent("g-square", false, Region::Kind::Circular);
    const auto library = log.of("library");
    const auto host = log.of("region");
    ASSERT_EQ(library.size(), 2u);
    ASSERT_EQ(host.size(), 2u);
    EXPECT_EQ(host[0].text, "g-square");
    EXPECT_EQ(host[0].number, 1);
    EXPECT_EQ(host[1].number, 0);
    EXPECT_EQ(host[0].userData, &log);

    manager.startUpdatingLocation();
    EXPECT_TRUE(inner->isUpdatingLocation());
    EXPECT_EQ(log.of("location").size(), 1u);
    bridge->closeGate();
    inner->reportRegionEvent("g-square", true, Region::Kind::Circular);
    EXPECT_EQ(log.of("region").size(), 2u) << "nothing reaches the host after close";
    EXPECT_EQ(log.of("library").size(), 3u) << "the library still hears it";
}

TEST(CCallbackBridge, AWithdrawnCompletionIsNeverDelivered) {
    // A facade call that threw after its completion was added answers with an
    // error status; its completion must not report as well, not even at close.
    quorvela_callbacks_t callbacks{};
    c::CallbackBridge bridge(&callbacks);
    std::vector<int> delivered;
    const auto withdrawn = bridge.addCompletion([&](int result) { delivered.push_back(result); }, -1);
    bridge.addCompletion([&](int result) { delivered.push_back(result); }, -2);
    bridge.withdraw(withdrawn);
    bridge.complete(withdrawn, 7);
    bridge.closeGate();
    EXPECT_EQ(delivered, std::vector<int>{-2});
}

TEST_F(CLifecycleTest, PositionsReachTheManagerAndWifiChangesReachTheHostOnce) {
    ASSERT_NE(open(), nullptr);
    ASSERT_EQ(quorvela_set_position(handle, 52.52, 13.405, 5.0, nullptr), QUORVELA_OK);
    EXPECT_EQ(platform->locationManager->location()->latitude, 52.52);

    const auto baseline = log.of("wifi").size();  // the library may read the state at start
    ASSERT_EQ(quorvela_set_wifi(handle, "Cafe", "aa:bb:cc:dd:ee:ff", nullptr), QUORVELA_OK);
    ASSERT_EQ(quorvela_notify_network_change(handle, nullptr), QUORVELA_OK);
    ASSERT_TRUE(flush());
    ASSERT_EQ(quorvela_notify_network_change(handle, nullptr), QUORVELA_OK);  // same network: no event
    ASSERT_TRUE(flush());
    ASSERT_EQ(quorvela_set_wifi(handle, nullptr, nullptr, nullptr), QUORVELA_OK);
    ASSERT_EQ(quorvela_notify_network_change(handle, nullptr), QUORVELA_OK);
    ASSERT_TRUE(flush());
    const auto wifi = log.of("wifi");
    ASSERT_EQ(wifi.size(), baseline + 2);
    EXPECT_EQ(wifi[baseline].text, "Cafe");
    EXPECT_EQ(wifi[baseline + 1].text, std::nullopt);
}

// quorvela_init itself, over the default ports: real stores in a temporary
// folder, every connection to a closed port.
class CInitTest : public ::testing::Test {
protected:
    quorvela_options_t options() {
        quorvela_options_t options{};
        options.bundle_dir = bundleDir.c_str();
        options.data_dir = dataDir.c_str();
        options.connect_to = "127.0.0.1:9";
        return options;
    }
    void writeGoodFile() {
        writePlist(bundle, "Quorvela-Info.plist", {{"appName", "demo"}, {"publicKey", "c"}, {"privateKey", "k"}});
    }
    TempDir bundle, data;
    std::string bundleDir = bundle.str(), dataDir = data.str();
};

// Each refusal names its cause and gives the slot back for the next try.
TEST_F(CInitTest, RefusalsNameTheirCauseAndGiveTheSlotBack) {
    auto opts = options();
    char* error = nullptr;
    EXPECT_EQ(quorvela_init(&opts, nullptr, &error), nullptr);
    EXPECT_NE(takeError(error).find("cannot start"), std::string::npos);
    writePlist(bundle, "Quorvela-Info.plist", {{"appName", "demo"}, {"publicKey", "client-1"}});
    EXPECT_EQ(quorvela_init(&opts, nullptr, &error), nullptr);
    EXPECT_NE(takeError(error).find("privateKey"), std::string::npos);
    writeGoodFile();
    EXPECT_EQ(quorvela_init(nullptr, nullptr, &error), nullptr);
    EXPECT_EQ(takeError(error), "options is null");
    opts.ca_file = "\xc0\xaf";
    EXPECT_EQ(quorvela_init(&opts, nullptr, &error), nullptr);
    EXPECT_EQ(takeError(error), "ca_file is not valid UTF-8");
    opts.ca_file = nullptr;
    // As a C host may: any int in an enumeration field.
    const int outOfRange = 9;
    std::memcpy(&opts.wifi_source, &outOfRange, sizeof outOfRange);
    EXPECT_EQ(quorvela_init(&opts, nullptr, &error), nullptr);
    EXPECT_EQ(takeError(error), "wifi_source is out of range");
    opts.wifi_source = QUORVELA_SOURCE_MANUAL;
    std::memcpy(&opts.minimum_log_level, &outOfRange, sizeof outOfRange);
    EXPECT_EQ(quorvela_init(&opts, nullptr, &error), nullptr);
    EXPECT_EQ(takeError(error), "minimum_log_level is out of range");
    opts.minimum_log_level = QUORVELA_LOG_DEBUG;

    CallbackLog log;
    auto callbacks = log.callbacks();
    auto* handle = quorvela_init(&opts, &callbacks, &error);
    ASSERT_NE(handle, nullptr) << takeError(error);
    EXPECT_EQ(error, nullptr);
    EXPECT_EQ(quorvela_close(handle, 10000, nullptr), QUORVELA_OK);
    EXPECT_TRUE(std::filesystem::exists(data.path() / "settings.sqlite3"));
    const auto lines = log.of("log");
    ASSERT_FALSE(lines.empty()) << "the library's lines reach the log callback";
    EXPECT_EQ(lines.front().userData, &log);
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const auto& line) {
        return line.number == QUORVELA_LOG_DEBUG && line.text->rfind("QUORVELA-DEBUG: ", 0) == 0;
    }));
}

TEST_F(CInitTest, TheMinimumLevelKeepsDebugLinesAway) {
    writeGoodFile();
    auto opts = options();
    opts.minimum_log_level = QUORVELA_LOG_WARNING;
    CallbackLog log;
    auto callbacks = log.callbacks();
    auto* handle = quorvela_init(&opts, &callbacks, nullptr);
    ASSERT_NE(handle, nullptr);
    ASSERT_EQ(quorvela_register_user(handle, "walker", nullptr, nullptr, nullptr), QUORVELA_OK);
    EXPECT_EQ(quorvela_close(handle, 10000, nullptr), QUORVELA_OK);
    for (const auto& line : log.of("log")) EXPECT_GE(line.number, QUORVELA_LOG_WARNING) << *line.text;
}

}  // namespace
}  // namespace quorvela::test
