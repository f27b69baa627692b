// Arbitrary bytes as a push notification's JSON text, handed to a facade on
// an in-memory platform whose service refuses every connection: nothing
// crashes, and the push's handler is called exactly once (at once for a
// refused payload, else when the started work ends).
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

#include "core/PushPayload.h"
#include "core/QuorvelaCore.h"
#include "model/WorkspaceList.h"
#include "model/WorkspaceRecord.h"
#include "platform/MemoryKeyValueStore.h"
#include "quorvela/platform/SystemLog.h"

namespace {

using namespace quorvela;

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

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const auto facade = makeFacade();
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (auto payload = PushPayload::parseJson(text)) (void)PushPayload::read(*payload);

    auto calls = std::make_shared<std::atomic<int>>(0);
    facade->processRemoteNotification(text, [calls](unsigned long result) {
        if (result > 2) __builtin_trap();
        ++*calls;
    });
    if (!facade->flush(std::chrono::seconds(20))) __builtin_trap();
    if (calls->load() != 1) __builtin_trap();
    return 0;
}
