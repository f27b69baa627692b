// processMessage into inboxes of 100, 1 000 and 10 000 stored messages: a new
// message goes to the front, the oldest is trimmed (limit = inbox size) and
// the whole inbox is archived into the store, once with the in-memory store
// (archiving cost alone) and once with the SQLite store.
#include <filesystem>
#include <memory>
#include <string>

#include <unistd.h>

#include <benchmark/benchmark.h>

#include "model/MessageRecord.h"
#include "model/RecordArchive.h"
#include "model/WorkspaceRecord.h"
#include "platform/MemoryKeyValueStore.h"
#include "platform/SqliteKeyValueStore.h"
#include "platform/StderrSystemLog.h"
#include "quorvela/Message.h"
#include "quorvela/platform/Platform.h"

namespace {

using namespace quorvela;

std::shared_ptr<Message> makeMessage(long n) {
    auto m = MessageRecord::create();
    m->setBlastID("blast-" + std::to_string(n / 50));
    m->setId(std::to_string(n));
    m->setType("TXT_MSG");
    m->setFrom("Shop");
    m->setTo("user-42");
    m->setSubject("Offer number " + std::to_string(n));
    m->setText("A message body of a typical length, with a few words about the offer and a link.");
    m->setStatus("SENT");
    m->setDate("2016-03-01T10:15:30.250-05:00");
    m->setTimezone("America/Caracas");
    m->setClientId("client-1");
    m->setAppName("demo");
    m->setPlatform("ios");
    return m;
}

void run(benchmark::State& state, const std::shared_ptr<KeyValueStore>& store) {
    const long stored = state.range(0);
    auto platform = std::make_shared<Platform>();
    platform->keyValueStore = store;
    store->set("maxStoredMessages", Value(stored));
    auto ws = WorkspaceRecord::create(platform);
    ws->setClientId(std::string("client-1"));
    WorkspaceRecord::MessageList inbox;
    for (long i = 0; i < stored; ++i) inbox.push_back(makeMessage(stored - i));
    ws->setMessages(inbox);
    ws->saveMessages();

    long next = stored + 1;
    for (auto _ : state) ws->processMessage(makeMessage(next++));
    state.SetItemsProcessed(state.iterations());
    state.counters["archive_bytes"] = static_cast<double>(store->get("client-1-messages").asData()->size());
}

void BM_ProcessMessage_Memory(benchmark::State& state) { run(state, std::make_shared<MemoryKeyValueStore>()); }

void BM_ProcessMessage_Sqlite(benchmark::State& state) {
    const auto dir = std::filesystem::temp_directory_path() / ("qv-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    {
        auto store = std::make_shared<SqliteKeyValueStore>(dir / "store.sqlite", std::make_shared<StderrSystemLog>());
        run(state, store);
    }
    std::filesystem::remove_all(dir);
}

// The share of the archive writer alone: the inbox to its stored bytes.
void BM_ArchiveInbox(benchmark::State& state) {
    WorkspaceRecord::MessageList inbox;
    for (long i = 0; i < state.range(0); ++i) inbox.push_back(makeMessage(i));
    for (auto _ : state) benchmark::DoNotOptimize(RecordArchive::archiveRecords(inbox));
}

}  // namespace

BENCHMARK(BM_ArchiveInbox)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ProcessMessage_Memory)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ProcessMessage_Sqlite)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
