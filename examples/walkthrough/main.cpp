// The host guide's walkthrough: the eight steps of a host application, one
// line each, against the service or a seeded sandbox:
//   walkthrough BUNDLE_DIR DATA_DIR [--connect-to ADDR:PORT] [--cacert FILE]
// Exits 0 when every step did what it should.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <future>
#include <iostream>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <quorvela/quorvela.h>

namespace {

using namespace std::chrono_literals;
using quorvela::FetchResult;
using quorvela::RegistrationResult;

// The library calls the delegate on its own threads, and calls may overlap:
// everything it touches is guarded.
class WalkthroughDelegate : public quorvela::QuorvelaProtocol {
public:
    void QuorvelaReady() override {
        std::lock_guard lock(mutex_);
        ready_ = true;
        changed_.notify_all();
    }
    void pushReceivedFromWorkspace(std::shared_ptr<quorvela::Message> message,
                                   std::shared_ptr<quorvela::Workspace> workspace) override {
        std::lock_guard lock(mutex_);
        received_.push_back(message->id().value_or("(none)") + " in " +
                            (workspace ? workspace->clientId().value_or("(none)") : "(none)"));
        changed_.notify_all();
    }
    bool waitForReady(std::chrono::seconds limit) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, limit, [this] { return ready_; });
    }
    std::vector<std::string> received() {
        std::lock_guard lock(mutex_);
        return received_;
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool ready_ = false;
    std::vector<std::string> received_;
};

const char* text(RegistrationResult result) {
    switch (result) {
    case RegistrationResult::Succeeded: return "succeeded";
    case RegistrationResult::Unchanged: return "unchanged (already registered)";
    case RegistrationResult::Refused: return "refused";
    case RegistrationResult::Failed: return "failed";
    }
    return "?";
}

const char* text(FetchResult result) {
    switch (result) {
    case FetchResult::NewData: return "new data";
    case FetchResult::NoData: return "no data";
    case FetchResult::Failed: return "failed";
    }
    return "?";
}

int failures = 0;

void step(int number, const std::string& name, bool ok, const std::string& detail) {
    std::cout << "step " << number << " " << name << ": " << (ok ? "ok" : "FAILED") << " (" << detail << ")"
              << std::endl;
    if (!ok) ++failures;
}

int usage() {
    std::cerr << "usage: walkthrough BUNDLE_DIR DATA_DIR [--connect-to ADDR:PORT] [--cacert FILE]\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return usage();
    quorvela::Quorvela::Options options;
    options.platform.bundleDir = argv[1];
    options.platform.dataDir = argv[2];
    for (int i = 3; i < argc; i += 2) {
        const std::string flag = argv[i];
        if (i + 1 >= argc) return usage();
        if (flag == "--connect-to") options.platform.http.connectTo = argv[i + 1];
        else if (flag == "--cacert") options.platform.http.caFile = argv[i + 1];
        else return usage();
    }
    // Only warnings and errors on the terminal; the library's debug lines
    // would bury the steps.
    options.platform.minimumLogLevel = quorvela::LogLevel::Warning;
    auto delegate = std::make_shared<WalkthroughDelegate>();
    options.delegate = delegate;  // before start: a second launch is ready at once

    // 1. Configure: the bundle's Quorvela-Info.plist holds the credentials.
    auto library = quorvela::Quorvela::create(options);
    auto manager = library->platform()->softwareLocationManager();
    manager->setLocationServicesEnabled(true);  // this device's switch, on
    const quorvela::StartReport report = library->start();
    step(1, "configure", report.configured(), report.describe());
    if (!report.configured()) return 1;

    // 2. Register the user and the push token.
    std::promise<RegistrationResult> registered;
    library->registerWithUserID(std::string("walker"),
                                [&registered](RegistrationResult result) { registered.set_value(result); });
    auto registration = registered.get_future();
    const bool answered = registration.wait_for(30s) == std::future_status::ready;
    const RegistrationResult result = answered ? registration.get() : RegistrationResult::Failed;
    library->registerDeviceToken(std::vector<std::uint8_t>{0xde, 0xad, 0xbe, 0xef});
    step(2, "register", result == RegistrationResult::Succeeded || result == RegistrationResult::Unchanged,
         answered ? text(result) : "no answer within 30 s");

    // 3. Ready: the subscribed workspaces were loaded. Then let the joins it
    // set off finish.
    const bool ready = delegate->waitForReady(30s) && library->flush(30s);
    step(3, "ready", ready, std::to_string(library->getSubscribedWorkspaces().size()) + " subscribed workspaces");

    // 4. A push, as the platform hands it over: fetch the pending message.
    std::promise<unsigned long> fetched;
    library->processRemoteNotification(
        std::string(R"({"msgId": "w-1", "type": "TXT_MSG", "clientId": "walk-main", "subject": "Welcome"})"),
        [&fetched](unsigned long value) { fetched.set_value(value); });
    auto fetch = fetched.get_future();
    const bool done = fetch.wait_for(30s) == std::future_status::ready;
    const auto pushResult = done ? quorvela::fetchResultOf(fetch.get()) : std::nullopt;
    library->flush(30s);
    const auto received = delegate->received();
    // A launch after the first finds the message delivered already: the
    // fetch still succeeds, with nothing new to hand over.
    step(4, "push", pushResult == FetchResult::NewData,
         std::string(pushResult ? text(*pushResult) : "no completion") + "; pushReceived " +
             (received.empty() ? "none" : received.front()));

    // 5. Workspaces and the inbox of the default one.
    std::string inbox;
    auto workspace = library->getDefaultWorkspace();
    if (workspace)
        for (const auto& message : workspace->getMessages()) inbox += " \"" + message->text().value_or("") + "\"";
    step(5, "inbox", workspace && !inbox.empty(),
         std::to_string(library->getAvailableWorkspaces().size()) + " available; inbox of " +
             (workspace ? workspace->clientId().value_or("?") : std::string("no default workspace")) + ":" + inbox);

    // 6. A position, handed in through the software location manager.
    auto position = library->platform()->manualLocation();
    const bool pushed = position && position->pushPosition(52.5201, 13.4051);
    library->flush(30s);
    // Geofences are chosen by distance, so the first fix is the moment to
    // choose the regions to monitor.
    library->refreshMonitoredRegionsToClosest();
    const auto last = library->quorvelaLastLocation();
    step(6, "position", pushed && last.has_value() && !library->monitoredGeoFences().empty(),
         last ? "at " + std::to_string(last->latitude) + ", " + std::to_string(last->longitude) + "; " +
                    std::to_string(library->monitoredGeoFences().size()) + " monitored regions"
              : "no position (authorization " +
                    std::to_string(quorvela::LocationManager::statusOf(manager->authorization())) + ")");

    // 7. An analytics event.
    library->logEvent(std::string("WALKTHROUGH"), std::string("step 7"));
    step(7, "event", library->flush(30s), "WALKTHROUGH sent");

    // 8. Close before exit: what is queued is delivered and stored.
    const bool closed = library->close(30s);
    step(8, "close", closed, closed ? "all work finished" : "work left after 30 s");
    return failures == 0 ? 0 : 1;
}
