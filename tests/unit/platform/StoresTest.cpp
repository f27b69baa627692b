// The stores' contracts over the memory ports and the file ports alike, then
// what only the file ports do: durable files, damaged rows, private files,
// fallbacks. Inbox rows come back newest first as committed, a commit applies
// all its changes, taking an inbox over happens once, and the journal keeps a
// reply until the commit that stores it.
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>

#include "platform/FileSecureStore.h"
#include "platform/MemoryInboxStore.h"
#include "platform/MemoryKeyValueStore.h"
#include "platform/MemorySecureStore.h"
#include "platform/SqliteInboxStore.h"
#include "platform/SqliteKeyValueStore.h"
#include "support/CapturingLog.h"
#include "support/TestSupport.h"
#include "support/ValuePrinter.h"

namespace quorvela {
namespace {

using test::CapturingLog;
using test::TempDir;
using Bytes = std::vector<std::uint8_t>;

// One object per store: "opening again" finds the same contents.
struct MemoryKind {
    std::shared_ptr<KeyValueStore> settings(const TempDir&) { return memorySettings; }
    std::shared_ptr<SecureStore> secure(const std::filesystem::path&) { return memorySecure; }
    std::shared_ptr<InboxStore> inbox(const TempDir&) { return memoryInbox; }
    std::shared_ptr<KeyValueStore> memorySettings = std::make_shared<MemoryKeyValueStore>();
    std::shared_ptr<SecureStore> memorySecure = std::make_shared<MemorySecureStore>();
    std::shared_ptr<InboxStore> memoryInbox = std::make_shared<MemoryInboxStore>();
    std::shared_ptr<CapturingLog> log = std::make_shared<CapturingLog>();
};
// Every opening is a new object on the same files.
struct FileKind {
    std::shared_ptr<KeyValueStore> settings(const TempDir& dir) {
        return std::make_shared<SqliteKeyValueStore>(dir.path() / "settings.sqlite3", log);
    }
    std::shared_ptr<SecureStore> secure(const std::filesystem::path& folder) {
        return std::make_shared<FileSecureStore>(folder);
    }
    std::shared_ptr<InboxStore> inbox(const TempDir& dir) {
        return std::make_shared<SqliteInboxStore>(dir.path() / "settings.sqlite3", log);
    }
    std::shared_ptr<CapturingLog> log = std::make_shared<CapturingLog>();
};
using Kinds = ::testing::Types<MemoryKind, FileKind>;

template <class Kind>
class StoreTest : public ::testing::Test {
protected:
    std::filesystem::path folder() const { return dir.path() / "secure"; }
    TempDir dir;
    Kind kind;
};

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

template <class Kind>
class KeyValueStoreTest : public StoreTest<Kind> {
protected:
    std::shared_ptr<KeyValueStore> store = this->kind.settings(this->dir);
};
TYPED_TEST_SUITE(KeyValueStoreTest, Kinds);

TYPED_TEST(KeyValueStoreTest, EveryKindRoundTripsAndReachesAnotherConnectionAndAReopening) {
    for (const auto& [key, value] : samples()) this->store->set(key, value);
    for (const auto& [key, value] : samples()) EXPECT_EQ(this->store->get(key), value) << key;
    auto other = this->kind.settings(this->dir);  // before any synchronize
    for (const auto& [key, value] : samples()) EXPECT_EQ(other->get(key), value) << key;
    EXPECT_TRUE(this->store->synchronize());
    other.reset();
    this->store.reset();
    auto reopened = this->kind.settings(this->dir);
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

// A log or journal file that an older run left readable by others holds the
// same secrets as the database: opening the store narrows it too.
TEST_F(SqliteStore, AWiderDatabaseAndItsCompanionsAreNarrowedOnOpeningWithOneLogLine) {
    auto first = open();
    first->set("secret", Value("key"));  // the open store keeps its -wal and -shm
    dir.write("settings.sqlite3-journal", "");
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
        ASSERT_EQ(::chmod((file().string() + suffix).c_str(), 0644), 0) << suffix;
    auto store = open();
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        struct stat info {};
        ASSERT_EQ(::stat((file().string() + suffix).c_str(), &info), 0) << suffix;
        EXPECT_EQ(info.st_mode & 0777, 0600u) << suffix;
    }
    EXPECT_EQ(store->get("secret"), Value("key"));
    EXPECT_EQ(log->count("0600"), 1u);
    open();
    EXPECT_EQ(log->count("0600"), 1u);  // nothing to say the second time
}

template <class Kind>
class SecureStoreTest : public StoreTest<Kind> {
protected:
    std::shared_ptr<SecureStore> store = this->kind.secure(this->folder());
};
TYPED_TEST_SUITE(SecureStoreTest, Kinds);

TYPED_TEST(SecureStoreTest, AddCopyDuplicateAndMissing) {
    auto& store = *this->store;
    Bytes out;
    EXPECT_EQ(store.copyItem("deviceUID", "deviceUID", out), SecureStore::kItemNotFound);
    EXPECT_EQ(store.addItem("deviceUID", "deviceUID", {'a', 'b', 0, 'c'}), SecureStore::kSuccess);
    EXPECT_EQ(store.copyItem("deviceUID", "deviceUID", out), SecureStore::kSuccess);
    EXPECT_EQ(out, (Bytes{'a', 'b', 0, 'c'}));

    // An existing item is never replaced.
    EXPECT_EQ(store.addItem("deviceUID", "deviceUID", {'z'}), SecureStore::kDuplicateItem);
    EXPECT_EQ(store.copyItem("deviceUID", "deviceUID", out), SecureStore::kSuccess);
    EXPECT_EQ(out, (Bytes{'a', 'b', 0, 'c'}));

    // Account and service both identify the item, and cannot be shifted into each other.
    EXPECT_EQ(store.copyItem("deviceUID", "other", out), SecureStore::kItemNotFound);
    EXPECT_EQ(store.addItem("ab", "c", {1}), SecureStore::kSuccess);
    EXPECT_EQ(store.addItem("a", "bc", {2}), SecureStore::kSuccess);
    EXPECT_EQ(store.copyItem("a", "bc", out), SecureStore::kSuccess);
    EXPECT_EQ(out, Bytes{2});
    EXPECT_EQ(store.addItem("", "", {}), SecureStore::kSuccess);
    EXPECT_EQ(store.copyItem("", "", out), SecureStore::kSuccess);
    EXPECT_TRUE(out.empty());

    // Another store object on the same place sees the items.
    EXPECT_EQ(this->kind.secure(this->folder())->copyItem("ab", "c", out), SecureStore::kSuccess);
    EXPECT_EQ(out, Bytes{1});
}

TYPED_TEST(SecureStoreTest, ConcurrentAddsOfTheSameItemLetExactlyOneWin) {
    std::atomic<int> successes{0}, duplicates{0};
    std::vector<std::thread> threads;
    // The file store gets one object per thread: the exclusion must come from the file system.
    for (int t = 0; t < 6; ++t)
        threads.emplace_back([&, t] {
            auto status = this->kind.secure(this->folder())->addItem("acct", "svc", {static_cast<std::uint8_t>(t)});
            if (status == SecureStore::kSuccess) ++successes;
            if (status == SecureStore::kDuplicateItem) ++duplicates;
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(successes, 1);
    EXPECT_EQ(duplicates, 5);
    if constexpr (std::is_same_v<TypeParam, FileKind>) {  // the losers leave no temporary file behind
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(this->folder()), {}), 1);
    }
}

TEST(MemorySecureStoreTest, AFailStatusAnswersEveryCallAndChangesNothing) {
    MemorySecureStore store;
    ASSERT_EQ(store.addItem("a", "s", {1, 2}), SecureStore::kSuccess);
    store.setFailStatus(SecureStore::kIoError);
    Bytes out;
    EXPECT_EQ(store.copyItem("a", "s", out), SecureStore::kIoError);
    EXPECT_EQ(store.addItem("b", "s", {3}), SecureStore::kIoError);
    EXPECT_TRUE(out.empty());
    store.setFailStatus(SecureStore::kSuccess);
    EXPECT_EQ(store.copyItem("a", "s", out), SecureStore::kSuccess);
    EXPECT_EQ(out, (Bytes{1, 2}));
    EXPECT_EQ(store.size(), 1u);
}

class FileSecureStoreTest : public StoreTest<FileKind> {
protected:
    FileSecureStore store{folder()};
};

TEST_F(FileSecureStoreTest, FilesArePrivateNamedSafelyAndNoTemporariesRemain) {
    ASSERT_EQ(store.addItem("../../etc/passwd", "/tmp/x", {'s'}), SecureStore::kSuccess);
    ASSERT_EQ(store.addItem("../../etc/passwd", "/tmp/x", {'t'}), SecureStore::kDuplicateItem);
    struct stat info {};
    ASSERT_EQ(::stat(folder().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder())) names.push_back(entry.path().filename());
    ASSERT_EQ(names.size(), 1u);  // no temporary file left behind
    EXPECT_EQ(names[0], store.itemPath("../../etc/passwd", "/tmp/x").filename());
    EXPECT_EQ(names[0].size(), 64u + 5u);  // SHA-256 in hex + ".item"
    ASSERT_EQ(::stat((folder() / names[0]).c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(FileSecureStoreTest, IoErrorsAreReportedAsSuch) {
    Bytes out;
    std::filesystem::create_directories(store.itemPath("dir", "item"));  // a folder where the file should be
    EXPECT_EQ(store.copyItem("dir", "item", out), SecureStore::kIoError);
    FileSecureStore broken(dir.write("plain-file", "x") / "secure");
    EXPECT_EQ(broken.addItem("a", "s", {1}), SecureStore::kIoError);
    EXPECT_EQ(broken.copyItem("a", "s", out), SecureStore::kIoError);
}

Value::Dictionary record(const std::string& id) { return {{"id", Value(id)}, {"text", Value("text of " + id)}}; }

std::vector<std::string> ids(const std::optional<InboxStore::Rows>& rows) {
    std::vector<std::string> out;
    if (!rows) return {"(not held)"};
    for (const auto& row : *rows) out.push_back(std::to_string(row.position) + ":" + *row.record.at("id").asText());
    return out;
}

InboxStore::Change change(const std::string& inbox, InboxStore::Rows put, std::vector<std::int64_t> remove = {},
                          bool replaceAll = false) {
    InboxStore::Change c;
    c.inbox = inbox;
    c.put = std::move(put);
    c.remove = std::move(remove);
    c.replaceAll = replaceAll;
    return c;
}

template <class Kind>
class InboxStoreTest : public StoreTest<Kind> {
protected:
    std::shared_ptr<InboxStore> store = this->kind.inbox(this->dir);
    // The store opened again on the same place.
    std::shared_ptr<InboxStore> reopened() {
        store.reset();
        store = this->kind.inbox(this->dir);
        return store;
    }
};
TYPED_TEST_SUITE(InboxStoreTest, Kinds);

TYPED_TEST(InboxStoreTest, CommitsApplyPutsRemovesAndRewritesAcrossInboxes) {
    auto& store = this->store;
    EXPECT_EQ(store->load("a-messages"), std::nullopt) << "never held";
    ASSERT_TRUE(store->commit({change("a-messages", {{1, record("m1")}, {2, record("m2")}, {3, record("m3")}})}));
    ASSERT_TRUE(store->commit({change("a-messages", {{2, record("m2b")}, {4, record("m4")}}, {1, 99}),
                               change("b-messages", {{7, record("x")}})}));
    EXPECT_EQ(ids(store->load("a-messages")), (std::vector<std::string>{"4:m4", "3:m3", "2:m2b"}));
    EXPECT_EQ(ids(store->load("b-messages")), std::vector<std::string>{"7:x"});

    ASSERT_TRUE(store->commit({change("a-messages", {{10, record("only")}}, {}, true), change("c-messages", {})}));
    auto again = this->reopened();
    EXPECT_EQ(ids(again->load("a-messages")), std::vector<std::string>{"10:only"});
    EXPECT_EQ(ids(again->load("b-messages")), std::vector<std::string>{"7:x"}) << "other inboxes are left alone";
    EXPECT_EQ(ids(again->load("c-messages")), std::vector<std::string>{}) << "an empty inbox is held, not absent";
}

TYPED_TEST(InboxStoreTest, AdoptionTakesTheFirstRowsOnly) {
    auto& store = this->store;
    EXPECT_EQ(ids(store->adopt("a-messages", {{2, record("old2")}, {1, record("old1")}})),
              (std::vector<std::string>{"2:old2", "1:old1"}));
    EXPECT_EQ(ids(store->adopt("a-messages", {{5, record("late")}})), (std::vector<std::string>{"2:old2", "1:old1"}))
        << "a second object adopting the same inbox gets what the first stored";
    EXPECT_EQ(ids(this->reopened()->load("a-messages")), (std::vector<std::string>{"2:old2", "1:old1"}));
}

TYPED_TEST(InboxStoreTest, TheJournalKeepsAReplyUntilTheCommitThatStoresIt) {
    auto& store = this->store;
    const auto first = store->journal({record("r1"), record("r2")});
    const auto second = store->journal({record("r3")});
    ASSERT_TRUE(first && second);
    EXPECT_NE(*first, *second);
    ASSERT_TRUE(store->commit({change("a-messages", {{1, record("r3")}})}, second));
    auto entries = this->reopened()->journalEntries();
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].id, *first);
    EXPECT_EQ(entries[0].records, (std::vector<Value::Dictionary>{record("r1"), record("r2")}));
    ASSERT_TRUE(this->store->commit({}, entries[0].id)) << "a journal entry may end without an inbox change";
    EXPECT_TRUE(this->store->journalEntries().empty());
}

TYPED_TEST(InboxStoreTest, ConcurrentCommitsToOneInboxLoseNoRow) {
    auto& store = this->store;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&store, t] {
            for (int i = 0; i < 50; ++i)
                store->commit({change("a-messages", {{t * 1000 + i, record(std::to_string(t * 1000 + i))}})});
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(store->load("a-messages")->size(), 200u);
}

using SqliteInboxStoreTest = SqliteStore;

// The settings of an earlier version hold the inbox as one archive; taking it
// over drops that archive in the same step, so the two never both count.
TEST_F(SqliteInboxStoreTest, AdoptionDropsTheSettingsArchiveInItsTransaction) {
    SqliteKeyValueStore settings(file(), log);
    settings.set("a-messages", Value(Value::Data{1, 2, 3}));
    settings.set("other", Value("kept"));
    SqliteInboxStore inbox(file(), log);
    ASSERT_TRUE(inbox.isPersistent());
    inbox.adopt("a-messages", {{1, record("m1")}});
    EXPECT_TRUE(settings.get("a-messages").isNull());
    EXPECT_EQ(settings.get("other"), Value("kept"));
    EXPECT_TRUE(log->lines().empty());
}

TEST_F(SqliteInboxStoreTest, AnUnusableFileKeepsTheInboxesInMemoryAndSaysSoOnce) {
    SqliteInboxStore store(dir.write("settings.sqlite3", "this is not a database, and never was one"), log);
    EXPECT_FALSE(store.isPersistent());
    EXPECT_TRUE(store.commit({change("a-messages", {{1, record("m1")}})}));
    EXPECT_EQ(ids(store.load("a-messages")), std::vector<std::string>{"1:m1"});
    EXPECT_TRUE(store.journal({record("r")}).has_value());
    EXPECT_EQ(log->count("the inbox store"), 1u);
}

TEST_F(SqliteInboxStoreTest, ADamagedRowIsLeftOutAndTheRestReads) {
    SqliteInboxStore(file(), log).commit({change("a-messages", {{1, record("m1")}, {2, record("m2")}})});
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(file().c_str(), &db), SQLITE_OK);
    ASSERT_EQ(
        sqlite3_exec(db, "UPDATE inbox_rows SET record = '{not json' WHERE position = 2", nullptr, nullptr, nullptr),
        SQLITE_OK);
    sqlite3_close(db);
    EXPECT_EQ(ids(SqliteInboxStore(file(), log).load("a-messages")), std::vector<std::string>{"1:m1"});
}

}  // namespace
}  // namespace quorvela
