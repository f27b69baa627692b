#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include <fmt/format.h>

#include "platform/SqliteKeyValueStore.h"
#include "support/CapturingLog.h"
#include "support/TestSupport.h"
#include "support/ValuePrinter.h"

namespace quorvela {
namespace {

using test::CapturingLog;
using test::TempDir;

std::vector<std::pair<std::string, Value>> samples() {
    return {
        {"bool", Value(true)},
        {"false", Value(false)},
        {"int", Value(-1234567890123LL)},
        {"max", Value(static_cast<long long>(INT64_MAX))},
        {"real", Value(0.1)},
        {"text", Value("grüße ✓ \"quoted\"")},
        {"empty text", Value("")},
        {"data", Value(Value::Data{0, 255, 10, 13})},
        {"date", Value(Value::Date{1700000000.25})},
        {"array", Value(Value::Array{Value(1), Value("two"), Value(Value::Data{3})})},
        {"dict", Value(Value::Dictionary{{"nested", Value(Value::Dictionary{{"x", Value(2.5)}})}})},
        {"", Value("the empty key is a key too")},
    };
}

class SqliteStore : public ::testing::Test {
protected:
    std::filesystem::path file() const { return dir.path() / "settings.sqlite3"; }
    std::unique_ptr<SqliteKeyValueStore> open() { return std::make_unique<SqliteKeyValueStore>(file(), log); }

    TempDir dir;
    std::shared_ptr<CapturingLog> log = std::make_shared<CapturingLog>();
};

TEST_F(SqliteStore, EveryKindRoundTripsAndSurvivesReopening) {
    {
        auto store = open();
        ASSERT_TRUE(store->isPersistent());
        for (const auto& [key, value] : samples()) store->set(key, value);
        for (const auto& [key, value] : samples()) EXPECT_EQ(store->get(key), value) << key;
        EXPECT_TRUE(store->synchronize());
    }
    auto reopened = open();
    for (const auto& [key, value] : samples()) EXPECT_EQ(reopened->get(key), value) << key;
    EXPECT_TRUE(log->lines().empty());
}

TEST_F(SqliteStore, OverwriteRemoveAndNullValue) {
    auto store = open();
    store->set("k", Value(1));
    store->set("k", Value("replaced"));
    EXPECT_EQ(store->get("k"), Value("replaced"));
    store->remove("k");
    EXPECT_FALSE(store->contains("k"));
    store->set("k", Value(2));
    store->set("k", Value());  // null removes
    EXPECT_FALSE(store->contains("k"));
    store->remove("never there");
    EXPECT_TRUE(store->get("never there").isNull());
}

TEST_F(SqliteStore, WritesAreVisibleToAnotherConnectionWithoutSynchronize) {
    auto store = open();
    store->set("a", Value(7));
    auto other = open();
    EXPECT_EQ(other->get("a"), Value(7));
}

TEST_F(SqliteStore, DamagedValuesReadAsAbsent) {
    {
        auto store = open();
        store->set("good", Value(1));
        store->set("damaged", Value(2));
        store->set("wrong shape", Value(3));
        ASSERT_TRUE(store->synchronize());
    }
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file().c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "UPDATE settings SET value = x'62706c6973743030ffff' WHERE key = 'damaged';"
                           "UPDATE settings SET value = 'plain text' WHERE key = 'wrong shape';"
                           "INSERT INTO settings VALUES ('empty', x'');",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    auto store = open();
    EXPECT_EQ(store->get("good"), Value(1));
    for (const char* key : {"damaged", "wrong shape", "empty"}) EXPECT_TRUE(store->get(key).isNull()) << key;
    store->set("damaged", Value(4));  // a damaged value can be replaced
    EXPECT_EQ(store->get("damaged"), Value(4));
}

TEST_F(SqliteStore, SynchronizeLeavesNothingOnlyInTheLog) {
    auto store = open();
    for (int i = 0; i < 50; ++i) store->set("key" + std::to_string(i), Value(i));
    ASSERT_TRUE(store->synchronize());
    // After a full checkpoint the main file alone holds every value.
    auto copy = dir.path() / "copy.sqlite3";
    std::filesystem::copy_file(file(), copy);
    SqliteKeyValueStore fromCopy(copy, log);
    EXPECT_EQ(fromCopy.get("key49"), Value(49));
}

TEST_F(SqliteStore, UnwritableFolderFallsBackToMemoryAndLogsOnce) {
    // A file where the folder should be: unusable even for root.
    auto notAFolder = dir.write("plain-file", "x");
    SqliteKeyValueStore store(notAFolder / "settings.sqlite3", log);
    EXPECT_FALSE(store.isPersistent());
    store.set("a", Value("kept"));
    store.set("b", Value(1));
    store.remove("b");
    EXPECT_EQ(store.get("a"), Value("kept"));
    EXPECT_FALSE(store.contains("b"));
    EXPECT_FALSE(store.synchronize());
    ASSERT_EQ(log->lines().size(), 1u);
    EXPECT_NE(log->lines()[0].find("settings.sqlite3"), std::string::npos);
}

TEST_F(SqliteStore, NotADatabaseFallsBackToMemory) {
    ::chmod(dir.write("settings.sqlite3", std::string(4096, 'x')).c_str(), 0600);  // no narrowing line
    auto store = open();
    EXPECT_FALSE(store->isPersistent());
    store->set("a", Value(1));
    EXPECT_EQ(store->get("a"), Value(1));
    EXPECT_EQ(log->lines().size(), 1u);
}

TEST_F(SqliteStore, AWiderDatabaseIsNarrowedOnOpeningWithOneLogLine) {
    open()->set("secret", Value("key"));
    ASSERT_EQ(::chmod(file().c_str(), 0644), 0);
    auto store = open();
    struct stat info {};
    ASSERT_EQ(::stat(file().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(store->get("secret"), Value("key"));
    EXPECT_EQ(log->count("0600"), 1u);
    open();
    EXPECT_EQ(log->count("0600"), 1u);  // nothing to say the second time
}

TEST_F(SqliteStore, ConcurrentWritersAndReaders) {
    auto store = open();
    constexpr int kThreads = 4, kPerThread = 100;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                std::string key = fmt::format("t{}-{}", t, i);
                store->set(key, Value(Value::Array{Value(t), Value(i)}));
                EXPECT_EQ(store->get(key), Value(Value::Array{Value(t), Value(i)}));
                store->set("shared", Value(i));
                auto shared = store->get("shared");
                EXPECT_EQ(shared.kind(), Value::Kind::Integer);  // never half-written
            }
        });
    for (auto& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kPerThread; i += 17)
            EXPECT_EQ(store->get(fmt::format("t{}-{}", t, i)), Value(Value::Array{Value(t), Value(i)}));
}

}  // namespace
}  // namespace quorvela
