// processMessage into inboxes of 100, 1 000 and 10 000 stored messages: a new
// message goes to the front and the oldest is trimmed (limit = inbox size).
// With the in-memory key-value store and no inbox store the whole inbox is
// archived per message (the archive form); with the SQLite stores the two
// rows that changed are written in one transaction, whose bare cost
// BM_BareSqliteRowWrite measures. BM_LoadInbox gives the peak memory of
// loading a stored inbox.
#include <filesystem>
#include <memory>
#include <string>

#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include "model/MessageRecord.h"
#include "model/RecordArchive.h"
#include "model/WorkspaceRecord.h"
#include "platform/MemoryKeyValueStore.h"
#include "platform/SqliteFile.h"
#include "platform/SqliteInboxStore.h"
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

void run(benchmark::State& state, const std::shared_ptr<KeyValueStore>& store,
         const std::shared_ptr<InboxStore>& inboxes = nullptr) {
    const long stored = state.range(0);
    auto platform = std::make_shared<Platform>();
    platform->keyValueStore = store;
    platform->inboxStore = inboxes;
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
    if (!inboxes)
        state.counters["archive_bytes"] = static_cast<double>(store->get("client-1-messages").asData()->size());
}

std::filesystem::path freshDir() {
    const auto dir = std::filesystem::temp_directory_path() / ("qv-bench-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

void BM_ProcessMessage_Memory(benchmark::State& state) { run(state, std::make_shared<MemoryKeyValueStore>()); }

void BM_ProcessMessage_Sqlite(benchmark::State& state) {
    const auto dir = freshDir();
    {
        auto log = std::make_shared<StderrSystemLog>();
        run(state, std::make_shared<SqliteKeyValueStore>(dir / "store.sqlite", log),
            std::make_shared<SqliteInboxStore>(dir / "store.sqlite", log));
    }
    std::filesystem::remove_all(dir);
}

// The floor: one transaction writing one row of a message's size, in the
// same file settings (WAL, synchronous=NORMAL).
void BM_BareSqliteRowWrite(benchmark::State& state) {
    const auto dir = freshDir();
    sqlite3* db = nullptr;
    SqliteFile::open(dir / "bare.sqlite", nullptr, &db);
    sqlite3_exec(db, "CREATE TABLE rows (k INTEGER PRIMARY KEY, v TEXT NOT NULL)", nullptr, nullptr, nullptr);
    sqlite3_stmt* insert = nullptr;
    sqlite3_prepare_v2(db, "INSERT OR REPLACE INTO rows (k, v) VALUES (?1, ?2)", -1, &insert, nullptr);
    const std::string value(300, 'x');
    std::int64_t key = 0;
    for (auto _ : state) {
        sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        sqlite3_bind_int64(insert, 1, ++key);
        sqlite3_bind_text(insert, 2, value.data(), static_cast<int>(value.size()), SQLITE_STATIC);
        if (sqlite3_step(insert) != SQLITE_DONE) state.SkipWithError("insert failed");
        sqlite3_reset(insert);
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    }
    sqlite3_finalize(insert);
    sqlite3_close_v2(db);
    std::filesystem::remove_all(dir);
}

// Loading a stored inbox (the rows read and made into messages); the peak
// memory is measured in a child process, whose peak is the load's alone.
void BM_LoadInbox(benchmark::State& state) {
    const auto dir = freshDir();
    auto log = std::make_shared<StderrSystemLog>();
    auto platform = std::make_shared<Platform>();
    platform->keyValueStore = std::make_shared<SqliteKeyValueStore>(dir / "store.sqlite", log);
    platform->inboxStore = std::make_shared<SqliteInboxStore>(dir / "store.sqlite", log);
    {
        auto ws = WorkspaceRecord::create(platform);
        ws->setClientId(std::string("client-1"));
        WorkspaceRecord::MessageList inbox;
        for (long i = 0; i < state.range(0); ++i) inbox.push_back(makeMessage(state.range(0) - i));
        ws->setMessages(inbox);
        ws->saveMessages();
    }
    for (auto _ : state) {
        auto ws = WorkspaceRecord::create(platform);
        ws->setClientId(std::string("client-1"));
        benchmark::DoNotOptimize(ws->loadMessage());
    }
    int fds[2];
    if (::pipe(fds) == 0) {
        const pid_t child = ::fork();
        if (child == 0) {
            rusage before{};
            ::getrusage(RUSAGE_SELF, &before);
            auto ws = WorkspaceRecord::create(platform);
            ws->setClientId(std::string("client-1"));
            auto messages = ws->loadMessage();
            rusage after{};
            ::getrusage(RUSAGE_SELF, &after);
            const long grown = after.ru_maxrss - before.ru_maxrss;  // KiB
            (void)!::write(fds[1], &grown, sizeof grown);
            std::_Exit(messages.size() == static_cast<std::size_t>(state.range(0)) ? 0 : 1);
        }
        long grown = 0;
        if (::read(fds[0], &grown, sizeof grown) == sizeof grown)
            state.counters["peak_load_KiB"] = static_cast<double>(grown);
        int status = 0;
        ::waitpid(child, &status, 0);
        if (status != 0) state.SkipWithError("the child did not load the whole inbox");
        ::close(fds[0]);
        ::close(fds[1]);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
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
BENCHMARK(BM_BareSqliteRowWrite)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadInbox)->Arg(10000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
