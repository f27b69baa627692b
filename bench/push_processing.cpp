// Push processing costs on an in-memory platform:
//  - a push payload (dictionary or JSON text) until its pending-message
//    request reaches the HTTP client (global-queue hop, background task,
//    command event, loader, signing, transfer set-up);
//  - pendingMessagesRetrieved with 100 and 1000 messages for one workspace
//    (inbox update and store write per message, host delegate calls);
//  - pushes end to end against the embedded sandbox over HTTPS on loopback
//    (push in, pending messages fetched, message stored, host delegate
//    called, handler answered);
//  - the floor under that: bare GETs on one kept-alive connection to the
//    same sandbox (libcurl, one easy handle reused, no library).
#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <unistd.h>

#include "ServiceHosts.h"
#include "core/PushProcessing.h"
#include "core/QuorvelaCore.h"
#include "model/MessageRecord.h"
#include "model/WorkspaceList.h"
#include "model/WorkspaceProtocol.h"
#include "model/WorkspaceRecord.h"
#include "platform/CurlHttpClient.h"
#include "platform/MemoryKeyValueStore.h"
#include "platform/ThreadDispatcher.h"
#include "quorvela/Message.h"
#include "quorvela/platform/SystemLog.h"
#include "sandbox/MessageQueue.h"
#include "sandbox/Sandbox.h"
#include "sandbox/WorkspaceTable.h"

namespace {

using namespace quorvela;

class SilentLog : public SystemLog {
public:
    void write(const std::string&) override {}
};

// Answers every GET with an empty reply on the global queue and tells a
// waiter when a pending-message request arrives.
class InstantHttp : public HttpClient {
public:
    explicit InstantHttp(std::shared_ptr<Dispatcher> dispatcher) : dispatcher_(std::move(dispatcher)) {}
    void get(const std::string& url, std::chrono::milliseconds, Completion done) override {
        if (url.find("/getPendingMessages/") != std::string::npos) {
            std::lock_guard lock(mutex_);
            ++pending_;
            changed_.notify_all();
        }
        dispatcher_->beginActivity();
        auto dispatcher = dispatcher_;
        dispatcher_->global([dispatcher, done = std::move(done)] {
            HttpResult result;
            result.ok = true;
            result.status = 200;
            result.body = "<messages></messages>";
            if (done) done(std::move(result));
            dispatcher->endActivity();
        });
    }
    HttpResult getBlocking(const std::string&, std::chrono::milliseconds) override { return {}; }
    void waitForPending(long count) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return pending_ >= count; });
    }
    long pending() {
        std::lock_guard lock(mutex_);
        return pending_;
    }

private:
    std::shared_ptr<Dispatcher> dispatcher_;
    std::mutex mutex_;
    std::condition_variable changed_;
    long pending_ = 0;
};

class ForwardToFacade : public WorkspaceProtocol {
public:
    explicit ForwardToFacade(std::weak_ptr<QuorvelaCore> facade) : facade_(std::move(facade)) {}
    void pushReceived(const std::shared_ptr<Message>& message, const std::shared_ptr<WorkspaceRecord>& ws) override {
        if (auto facade = facade_.lock()) facade->pushReceived(message, ws);
    }

private:
    std::weak_ptr<QuorvelaCore> facade_;
};

struct World {
    World() {
        PlatformOptions options;
        options.dataDir =
            (std::filesystem::temp_directory_path() / ("qv-bench-push-" + std::to_string(::getpid()))).string();
        options.bundleDir = options.dataDir;
        platform = Platform::makeDefault(options);
        platform->keyValueStore = std::make_shared<MemoryKeyValueStore>();
        platform->systemLog = std::make_shared<SilentLog>();
        platform->networkMonitor = nullptr;
        platform->wifiInfo = nullptr;
        http = std::make_shared<InstantHttp>(platform->dispatcher);
        platform->http = http;
        facade = QuorvelaCore::create(platform);
        facade->setAppName(std::string("bench"));
        facade->setClientID(std::string("client-1"));
        facade->setApiClientPrivateKey(std::string("secret"));
        platform->keyValueStore->set("configureQuorvela", Value("YES"));
        platform->keyValueStore->set("deviceUniqueID", Value("DEV-1"));
        platform->keyValueStore->set("LoggingDisabled", Value(true));
        workspace = WorkspaceRecord::create(platform);
        workspace->setClientId("c1");
        workspace->setPublicKey("key-c1");
        workspace->setDelegate(std::make_shared<ForwardToFacade>(facade));
        facade->workspacesSubscribed()->append(workspace);
    }
    ~World() {
        facade->flush(std::chrono::seconds(30));
        std::error_code ignored;
        std::filesystem::remove_all(
            std::filesystem::temp_directory_path() / ("qv-bench-push-" + std::to_string(::getpid())), ignored);
    }
    std::shared_ptr<Platform> platform;
    std::shared_ptr<InstantHttp> http;
    std::shared_ptr<QuorvelaCore> facade;
    std::shared_ptr<WorkspaceRecord> workspace;
};

template <bool Json>
void BM_PushToRequest(benchmark::State& state) {
    World world;
    const Value::Dictionary payload{{"msgId", 42}, {"type", "TXT_MSG"}, {"clientId", "c1"}, {"subject", "Spring"}};
    const std::string json =
        R"({"msgId":42,"type":"TXT_MSG","clientId":"c1","subject":"Spring","aps":{"content-available":1}})";
    for (auto _ : state) {
        const long before = world.http->pending();
        const auto start = std::chrono::steady_clock::now();
        if constexpr (Json) {
            world.facade->processRemoteNotification(json, [](unsigned long) {});
        } else {
            world.facade->processRemoteNotification(payload, [](unsigned long) {});
        }
        world.http->waitForPending(before + 1);
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        // The rest of the push (reply, event) runs outside the measurement.
        world.facade->flush(std::chrono::seconds(30));
    }
}
BENCHMARK(BM_PushToRequest<false>)->Name("PushToRequest/dictionary")->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PushToRequest<true>)->Name("PushToRequest/json")->UseManualTime()->Unit(benchmark::kMicrosecond);

void BM_PendingMessagesRetrieved(benchmark::State& state) {
    World world;
    const auto count = static_cast<int>(state.range(0));
    world.platform->keyValueStore->set("maxStoredMessages", Value(count));
    std::vector<std::shared_ptr<Message>> messages;
    for (int i = 0; i < count; ++i) {
        auto message = MessageRecord::create();
        message->setBlastID("b" + std::to_string(i));
        message->setId("m" + std::to_string(i));
        message->setClientId(std::string("c1"));
        message->setSubject(std::string("Spring"));
        message->setText("Message number " + std::to_string(i));
        messages.push_back(message);
    }
    for (auto _ : state) {
        world.facade->pushProcessing().pendingMessagesRetrieved(messages);
        state.PauseTiming();
        world.facade->flush(std::chrono::seconds(60));
        world.workspace->setMessages({});
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * count);
}
BENCHMARK(BM_PendingMessagesRetrieved)->Arg(100)->Arg(1000)->Unit(benchmark::kMillisecond);

// Counts the host delegate's calls and the handlers' answers.
class Arrivals : public QuorvelaProtocol {
public:
    void pushReceived(std::shared_ptr<Message>) override { bump(); }
    QuorvelaCore::Completion handler() {
        return [this](unsigned long) { bump(); };
    }
    void waitFor(long count) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return count_ >= count; });
    }
    long count() {
        std::lock_guard lock(mutex_);
        return count_;
    }

private:
    void bump() {
        std::lock_guard lock(mutex_);
        ++count_;
        changed_.notify_all();
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    long count_ = 0;
};

void BM_PushEndToEndSandbox(benchmark::State& state) {
    const auto folder = std::filesystem::temp_directory_path() / ("qv-bench-push-e2e-" + std::to_string(::getpid()));
    sandbox::Sandbox service;
    sandbox::SandboxOptions serviceOptions;
    serviceOptions.dataDir = folder / "sandbox";
    serviceOptions.adminApi = false;
    service.start(serviceOptions);
    service.createApplication("bench", "client-1", "secret");
    sandbox::WorkspaceTable(service.state()).put(sandbox::SandboxWorkspace{"c1", "Bench", "key-c1", std::nullopt});

    PlatformOptions options;
    options.dataDir = (folder / "data").string();
    options.bundleDir = options.dataDir;
    options.http = service.httpOptions();
    auto platform = Platform::makeDefault(options);
    platform->systemLog = std::make_shared<SilentLog>();
    platform->networkMonitor = nullptr;
    platform->wifiInfo = nullptr;
    auto facade = QuorvelaCore::create(platform);
    facade->setAppName(std::string("bench"));
    facade->setClientID(std::string("client-1"));
    facade->setApiClientPrivateKey(std::string("secret"));
    platform->keyValueStore->set("configureQuorvela", Value("YES"));
    platform->keyValueStore->set("deviceUniqueID", Value("DEV-1"));
    platform->keyValueStore->set("analyticsDisabled", Value(true));
    auto arrivals = std::make_shared<Arrivals>();
    facade->setDelegate(arrivals);
    auto workspace = WorkspaceRecord::create(platform);
    workspace->setClientId("c1");
    workspace->setPublicKey("key-c1");
    workspace->setDelegate(std::make_shared<ForwardToFacade>(facade));
    facade->workspacesSubscribed()->append(workspace);

    long n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        const std::string id = "m" + std::to_string(n++);
        sandbox::MessageQueue(service.state()).queue("c1", "user", {{"id", id}, {"text", "Hello"}});
        const long before = arrivals->count();
        state.ResumeTiming();
        facade->processRemoteNotification(Value::Dictionary{{"msgId", id}, {"type", "TXT_MSG"}, {"clientId", "c1"}},
                                          arrivals->handler());
        arrivals->waitFor(before + 2);  // the delegate's call and the handler's answer
    }
    state.SetItemsProcessed(state.iterations());
    facade->flush(std::chrono::seconds(30));
    service.stop();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}
BENCHMARK(BM_PushEndToEndSandbox)->Unit(benchmark::kMillisecond)->UseRealTime();

std::size_t appendTo(char* data, std::size_t size, std::size_t count, void* body) {
    static_cast<std::string*>(body)->append(data, size * count);
    return size * count;
}

void BM_BareKeepAliveGetSandbox(benchmark::State& state) {
    const auto folder = std::filesystem::temp_directory_path() / ("qv-bench-bare-get-" + std::to_string(::getpid()));
    sandbox::Sandbox service;
    sandbox::SandboxOptions serviceOptions;
    serviceOptions.dataDir = folder / "sandbox";
    serviceOptions.adminApi = false;
    service.start(serviceOptions);

    curl_global_init(CURL_GLOBAL_DEFAULT);
    CURL* easy = curl_easy_init();
    const std::string route = "::" + service.connectTo();
    curl_slist* connectTo = curl_slist_append(nullptr, route.c_str());
    const std::string url = std::string("https://") + QUORVELA_IPECHO_HOST + "/";
    const std::string caFile = service.caFile().string();
    std::string body;
    curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
    curl_easy_setopt(easy, CURLOPT_CONNECT_TO, connectTo);
    curl_easy_setopt(easy, CURLOPT_CAINFO, caFile.c_str());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &appendTo);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &body);

    long connects = 0;  // new connections the transfers needed
    for (auto _ : state) {
        body.clear();
        const CURLcode code = curl_easy_perform(easy);
        long status = 0;
        curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
        if (code != CURLE_OK || status != 200) {
            state.SkipWithError(code != CURLE_OK ? curl_easy_strerror(code) : "the IP echo did not answer 200");
            break;
        }
        long made = 0;
        curl_easy_getinfo(easy, CURLINFO_NUM_CONNECTS, &made);
        connects += made;
    }
    state.counters["connects"] = benchmark::Counter(static_cast<double>(connects), benchmark::Counter::kAvgIterations);
    curl_easy_cleanup(easy);
    curl_slist_free_all(connectTo);
    service.stop();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}
BENCHMARK(BM_BareKeepAliveGetSandbox)->Unit(benchmark::kMillisecond)->UseRealTime();

// The library's HTTP client alone on the same loop: what it adds to the bare
// GET (transfer thread, completion on the global queue).
void BM_ClientGetSandbox(benchmark::State& state) {
    const auto folder = std::filesystem::temp_directory_path() / ("qv-bench-client-get-" + std::to_string(::getpid()));
    sandbox::Sandbox service;
    sandbox::SandboxOptions serviceOptions;
    serviceOptions.dataDir = folder / "sandbox";
    serviceOptions.adminApi = false;
    service.start(serviceOptions);
    {
        auto dispatcher = std::make_shared<ThreadDispatcher>(2);
        CurlHttpClient client(service.httpOptions(), dispatcher);
        const std::string url = std::string("https://") + QUORVELA_IPECHO_HOST + "/";
        for (auto _ : state) {
            std::promise<HttpResult> outcome;
            client.get(url, std::chrono::seconds(10),
                       [&outcome](HttpResult result) { outcome.set_value(std::move(result)); });
            const HttpResult result = outcome.get_future().get();
            if (!result.ok || result.status != 200) {
                state.SkipWithError(result.ok ? "the IP echo did not answer 200" : result.error.c_str());
                break;
            }
        }
        dispatcher->waitIdle(std::chrono::seconds(10));
    }
    service.stop();
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
}
BENCHMARK(BM_ClientGetSandbox)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
