// The key-value stores' contract over the memory and the SQLite store, then
// what only the SQLite store does: durable files, damaged rows, fallbacks.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <thread>

#include <fmt/format.h>

#include "platform/MemoryKeyValueStore.h"
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

struct MemoryKind {
    std::shared_ptr<KeyValueStore> open(const TempDir&) {
        if (!memory) memory = std::make_shared<MemoryKeyValueStore>();
        return memory;  // one store: "opening again" finds the same values
    }
    std::shared_ptr<KeyValueStore> memory;
    std::shared_ptr<CapturingLog> log = std::make_shared<CapturingLog>();
};
struct SqliteKind {
    std::shared_ptr<KeyValueStore> open(const TempDir& dir) {
        return std::make_shared<SqliteKeyValueStore>(dir.path() / "settings.sqlite3", log);
    }
    std::shared_ptr<CapturingLog> log = std::make_shared<CapturingLog>();
};

template <class Kind>
class KeyValueStoreTest : public ::testing::Test {
protected:
    TempDir dir;
    Kind kind;
    std::shared_ptr<KeyValueStore> store = kind.open(dir);
};

using Kinds = ::testing::Types<MemoryKind, SqliteKind>;
TYPED_TEST_SUITE(KeyValueStoreTest, Kinds);

TYPED_TEST(KeyValueStoreTest, EveryKindRoundTripsAndReachesAnotherConnectionAndAReopening) {
    for (const auto& [key, value] : samples()) this->store->set(key, value);
    for (const auto& [key, value] : samples()) EXPECT_EQ(this->store->get(key), value) << key;
    auto other = this->kind.open(this->dir);  // before any synchronize
    for (const auto& [key, value] : samples()) EXPECT_EQ(other->get(key), value) << key;
    EXPECT_TRUE(this->store->synchronize());
    other.reset();
    this->store.reset();
    auto reopened = this->kind.open(this->dir);
    for (const auto& [key, value] : samples()) EXPECT_EQ(reopened->get(key), value) << key;
    EXPECT_TRUE(this->kind.log->lines().empty());
}

TYPED_TEST(KeyValueStoreTest, OverwriteRemoveAndNullValue) {
    auto& store = this->store;
    store->set("k", Value(1));
    store->set("k", Value("replaced"));
    EXPECT_EQ(store->get("k"), Value("replaced"));
    store->set("other", Value(3));
    store->remove("k");
    EXPECT_FALSE(store->contains("k"));
    EXPECT_EQ(store->get("other"), Value(3));
    store->set("k", Value(2));
    store->set("k", Value());  // null removes
    EXPECT_FALSE(store->contains("k"));
    store->remove("never there");
    EXPECT_TRUE(store->get("never there").isNull());
}

TYPED_TEST(KeyValueStoreTest, ConcurrentWritersAndReaders) {
    auto& store = this->store;
    constexpr int kThreads = 4, kPerThread = 100;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                std::string key = fmt::format("t{}-{}", t, i);
                store->set(key, Value(Value::Array{Value(t), Value(i)}));
                EXPECT_EQ(store->get(key), Value(Value::Array{Value(t), Value(i)}));
                store->set("shared", Value(i));
                EXPECT_EQ(store->get("shared").kind(), Value::Kind::Integer);  // never half-written
            }
        });
    for (auto& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kPerThread; i += 17)
            EXPECT_EQ(store->get(fmt::format("t{}-{}", t, i)), Value(Value::Array{Value(t), Value(i)}));
}

class SqliteStore : public ::testing::Test {
protected:
    std::filesystem::path file() const { return dir.path() / "settings.sqlite3"; }
    std::unique_ptr<SqliteKeyValueStore> open() { return std::make_unique<SqliteKeyValueStore>(file(), log); }

    TempDir dir;
    std::shared_ptr<CapturingLog> log = std::make_shared<CapturingLog>();
};

TEST_F(SqliteStore, DamagedValuesReadAsAbsent) {
    {
        auto store = open();
        ASSERT_TRUE(store->isPersistent());
        for (const char* key : {"good", "damaged", "wrong shape"}) store->set(key, Value(1));
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
    EXPECT_EQ(SqliteKeyValueStore(copy, log).get("key49"), Value(49));
}

TEST_F(SqliteStore, AnUnusableFileFallsBackToMemoryAndLogsOnce) {
    // A file where the folder should be (unusable even for root), and a file that is no database.
    auto notAFolder = dir.write("plain-file", "x") / "settings.sqlite3";
    auto notADatabase = dir.write("settings.sqlite3", std::string(4096, 'x'));
    ::chmod(notADatabase.c_str(), 0600);  // no narrowing line
    for (const auto& path : {notAFolder, notADatabase}) {
        SCOPED_TRACE(path);
        log->clear();
        SqliteKeyValueStore store(path, log);
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

}  // namespace
}  // namespace quorvela
