// Set and get latency of the SQLite key-value store: a small text value and
// a 1 KiB data value, on a fresh store in a temporary folder.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <random>

#include "platform/SqliteKeyValueStore.h"
#include "platform/StderrSystemLog.h"

namespace {

using quorvela::SqliteKeyValueStore;
using quorvela::Value;

class StoreFolder {
public:
    StoreFolder() {
        std::random_device random;
        path_ = std::filesystem::temp_directory_path() / ("quorvela-bench-" + std::to_string(random()));
        std::filesystem::create_directories(path_);
    }
    ~StoreFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::unique_ptr<SqliteKeyValueStore> open() const {
        return std::make_unique<SqliteKeyValueStore>(path_ / "settings.sqlite3",
                                                     std::make_shared<quorvela::StderrSystemLog>());
    }

private:
    std::filesystem::path path_;
};

Value smallText() { return Value("registered-user-0042"); }
Value kibData() { return Value(Value::Data(1024, 0xA5)); }

void setValue(benchmark::State& state, const Value& value) {
    StoreFolder folder;
    auto store = folder.open();
    int i = 0;
    for (auto _ : state) store->set("key" + std::to_string(i++ % 100), value);
    state.SetItemsProcessed(state.iterations());
}

void getValue(benchmark::State& state, const Value& value) {
    StoreFolder folder;
    auto store = folder.open();
    for (int i = 0; i < 100; ++i) store->set("key" + std::to_string(i), value);
    int i = 0;
    for (auto _ : state) benchmark::DoNotOptimize(store->get("key" + std::to_string(i++ % 100)));
    state.SetItemsProcessed(state.iterations());
}

void BM_SetSmallText(benchmark::State& state) { setValue(state, smallText()); }
void BM_SetData1KiB(benchmark::State& state) { setValue(state, kibData()); }
void BM_GetSmallText(benchmark::State& state) { getValue(state, smallText()); }
void BM_GetData1KiB(benchmark::State& state) { getValue(state, kibData()); }

void BM_SetThenSynchronize(benchmark::State& state) {
    StoreFolder folder;
    auto store = folder.open();
    int i = 0;
    for (auto _ : state) {
        store->set("key" + std::to_string(i++ % 100), smallText());
        benchmark::DoNotOptimize(store->synchronize());
    }
}

BENCHMARK(BM_SetSmallText);
BENCHMARK(BM_SetData1KiB);
BENCHMARK(BM_GetSmallText);
BENCHMARK(BM_GetData1KiB);
BENCHMARK(BM_SetThenSynchronize);

}  // namespace

BENCHMARK_MAIN();
