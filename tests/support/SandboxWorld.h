#pragma once
// A started in-process sandbox with the test application, and the library's
// default Platform reaching it the way a host's does: over real HTTPS, with
// connectTo and the sandbox's CA, on a fresh data folder.
//
// Header-only: only the executables that link the sandbox include it.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include <GeographicLib/Geodesic.hpp>

#include "core/QuorvelaCore.h"
#include "model/WorkspaceProtocol.h"
#include "model/WorkspaceRecord.h"
#include "protocol/PendingMessageDataLoader.h"
#include "quorvela/Message.h"
#include "sandbox/MessageQueue.h"
#include "sandbox/Sandbox.h"
#include "sandbox/SandboxState.h"
#include "sandbox/WorkspaceTable.h"
#include "support/TestPlatform.h"

namespace quorvela::test {

inline std::string readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

/// The point `metres` east of 52.52 N, 13.40 E, as {latitude, longitude}.
inline std::pair<double, double> eastOfStart(double metres) {
    double lat = 0.0, lon = 0.0;
    GeographicLib::Geodesic::WGS84().Direct(52.52, 13.40, 90.0, metres, lat, lon);
    return {lat, lon};
}

/// What the library called back, from any thread, in arrival order.
class CallLog {
public:
    void add(std::string call) {
        std::lock_guard lock(mutex_);
        calls_.push_back(std::move(call));
    }
    std::vector<std::string> take() {
        std::lock_guard lock(mutex_);
        return std::exchange(calls_, {});
    }
    /// For calls whose order across threads is not fixed.
    std::vector<std::string> takeSorted() {
        auto out = take();
        std::sort(out.begin(), out.end());
        return out;
    }
    /// A completion handler that records "NAME RESULT".
    std::function<void(unsigned long)> completion(const std::string& name) {
        return [this, name](unsigned long result) { add(name + " " + std::to_string(result)); };
    }

private:
    std::mutex mutex_;
    std::vector<std::string> calls_;
};

/// Records a workspace's and a pending-message loader's reports in a CallLog.
class RecordingDelegate : public WorkspaceProtocol, public PendingMessageDataLoaderDelegate {
public:
    explicit RecordingDelegate(CallLog& log, std::string name = "pending") : log_(log), name_(std::move(name)) {}
    void synchronicedWorkspace(const std::shared_ptr<WorkspaceRecord>&) override { log_.add("synchronised"); }
    void synchronicedGeofences(const std::shared_ptr<WorkspaceRecord>&) override { log_.add("geofences"); }
    void synchronicedBeacons(const std::shared_ptr<WorkspaceRecord>&) override { log_.add("beacons"); }
    void pushReceived(const std::shared_ptr<Message>& m, const std::shared_ptr<WorkspaceRecord>&) override {
        log_.add("push " + m->id().value_or("?"));
    }
    void pendingMessagesRetrieved(const std::vector<std::shared_ptr<Message>>& list,
                                  std::optional<std::int64_t>) override {
        std::string ids;
        for (const auto& m : list) ids += " " + m->id().value_or("?");
        log_.add(name_ + ids);
    }
    void pendingMessagesRetrievedError(const std::string& error) override {
        log_.add(name_ + (error.empty() ? " error without text" : " error"));
    }

private:
    CallLog& log_;
    std::string name_;
};

class SandboxWorld : public ::testing::Test {
protected:
    static constexpr const char* kDevice = "DEVICE-1";
    static constexpr const char* kUser = "user-7";

    void SetUp() override {
        startSandbox();
        sandbox.createApplication(appName, clientId, privateKey);
    }
    void TearDown() override {
        if (platform) platform->dispatcher->waitIdle(std::chrono::seconds(60));
    }

    void startSandbox() {
        sandbox::SandboxOptions options;
        options.dataDir = dir.path() / "sandbox";
        sandbox.start(options);
    }
    void addWorkspace(const std::string& id, const std::string& name, const std::string& key) {
        sandbox::WorkspaceTable(sandbox.state()).put({id, name, key, std::nullopt});
    }
    void queueMessage(const std::string& workspace, const std::string& id, const std::string& subject) {
        sandbox::MessageQueue(sandbox.state()).queue(workspace, kUser, {{"id", id}, {"subject", subject}});
    }
    /// The bundle's Quorvela-Info.plist with the application's credentials.
    void writeBundle() {
        writePlist(dir, "bundle/Quorvela-Info.plist",
                   {{"appName", appName}, {"publicKey", clientId}, {"privateKey", privateKey}});
    }

    /// A platform over the test's data folder, reaching the sandbox; another
    /// one over the same folder reads what the first stored.
    std::shared_ptr<Platform> makePlatform() {
        PlatformOptions options;
        options.dataDir = (dir.path() / "data").string();
        options.bundleDir = (dir.path() / "bundle").string();
        options.http = sandbox.httpOptions();
        auto made = Platform::makeDefault(options);
        made->systemLog = std::make_shared<CapturingLog>();
        return made;
    }

    /// `platform` (made unless the test made it) and `facade` as a configured
    /// start-up leaves them, with a known device and user, without the
    /// start-up's requests.
    void startConfigured() {
        if (!platform) platform = makePlatform();
        platform->keyValueStore->set("configureQuorvela", Value("YES"));
        platform->keyValueStore->set("deviceUniqueID", Value(kDevice));
        platform->keyValueStore->set("clientUserID", Value(kUser));
        facade = QuorvelaCore::create(platform);
        facade->setAppName(appName);
        facade->setClientID(clientId);
        facade->setApiClientPrivateKey(privateKey);
    }

    std::shared_ptr<WorkspaceRecord> makeWorkspace(const std::string& id, const std::string& key) {
        auto ws = WorkspaceRecord::create(platform);
        ws->setClientId(id);
        ws->setPublicKey(key);
        ws->setAppNameSource([name = appName] { return std::optional<std::string>(name); });
        return ws;
    }

    bool idle(std::chrono::seconds bound = std::chrono::seconds(30)) { return platform->dispatcher->waitIdle(bound); }
    Value stored(const std::string& key) { return platform->keyValueStore->get(key); }
    CapturingLog& log() { return capturingLog(*platform); }
    /// Requests of `operation` that reached the sandbox with a valid signature.
    std::size_t signedRequests(const std::string& operation) {
        const auto requests = sandbox.requests();
        return static_cast<std::size_t>(std::count_if(requests.begin(), requests.end(), [&](const auto& r) {
            return r.operation == operation && r.signatureOk == true;
        }));
    }
    std::vector<std::string> eventTypes() {
        std::vector<std::string> types;
        for (const auto& event : sandbox.analyticsEvents()) types.push_back(event.value("eventtype").value_or("?"));
        return types;
    }

    std::string appName = "demo app";
    std::string clientId = "client-1";
    std::string privateKey = "secret";
    TempDir dir;
    sandbox::Sandbox sandbox;
    std::shared_ptr<Platform> platform;
    std::shared_ptr<QuorvelaCore> facade;
    CallLog calls;
};

}  // namespace quorvela::test
