// The bytes as a push notification's JSON text, handed to a facade on an
// in-memory platform whose service refuses every connection: the push's
// handler is called exactly once (at once for a refused payload, else when
// the started work ends) with a known result.
#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

#include "FuzzChecks.h"
#include "core/PushPayload.h"
#include "core/QuorvelaCore.h"
#include "model/WorkspaceList.h"
#include "model/WorkspaceRecord.h"
#include "platform/MemoryKeyValueStore.h"
#include "quorvela/platform/SystemLog.h"

namespace quorvela::fuzz {
namespace {

class SilentLog : public SystemLog {
public:
    void write(const std::string&) override {}
};

class RefusingHttp : public HttpClient {
public:
    explicit RefusingHttp(std::shared_ptr<Dispatcher> dispatcher) : dispatcher_(std::move(dispatcher)) {}
    void get(const std::string&, std::chrono::milliseconds, Completion done) override {
        dispatcher_->beginActivity();
        auto dispatcher = dispatcher_;
        dispatcher_->global([dispatcher, done = std::move(done)] {
            HttpResult result;
            result.error = "Could not connect to server";
            if (done) done(std::move(result));
            dispatcher->endActivity();
        });
    }
    HttpResult getBlocking(const std::string&, std::chrono::milliseconds) override { return {}; }

private:
    std::shared_ptr<Dispatcher> dispatcher_;
};

std::shared_ptr<QuorvelaCore> makeFacade() {
    PlatformOptions options;
    options.dataDir =
        (std::filesystem::temp_directory_path() / ("qv-fuzz-push-" + std::to_string(::getpid()))).string();
    options.bundleDir = options.dataDir;
    auto platform = Platform::makeDefault(options);
    platform->keyValueStore = std::make_shared<MemoryKeyValueStore>();
    platform->systemLog = std::make_shared<SilentLog>();
    platform->http = std::make_shared<RefusingHttp>(platform->dispatcher);
    platform->networkMonitor = nullptr;
    platform->wifiInfo = nullptr;
    auto facade = QuorvelaCore::create(platform);
    facade->setAppName(std::string("fuzz"));
    facade->setClientID(std::string("client-1"));
    facade->setApiClientPrivateKey(std::string("secret"));
    platform->keyValueStore->set("configureQuorvela", Value("YES"));
    platform->keyValueStore->set("deviceUniqueID", Value("DEV-1"));
    for (const char* client : {"c1", "client-1"}) {
        auto workspace = WorkspaceRecord::create(platform);
        workspace->setClientId(std::string(client));
        workspace->setPublicKey(std::string("key"));
        facade->workspacesSubscribed()->append(workspace);
    }
    return facade;
}

}  // namespace

void pushPayload(std::string_view bytes) {
    static const auto facade = makeFacade();
    const std::string text(bytes);
    if (auto payload = PushPayload::parseJson(text)) (void)PushPayload::read(*payload);

    auto calls = std::make_shared<std::atomic<int>>(0);
    facade->processRemoteNotification(text, [calls](unsigned long result) {
        expect(result <= 2, "a push's result is one of the three fetch results");
        ++*calls;
    });
    expect(facade->flush(std::chrono::seconds(20)), "the push's work ends");
    expect(calls->load() == 1, "a push's handler is called exactly once");
}

}  // namespace quorvela::fuzz
