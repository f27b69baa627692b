// The inbox stores' contract, run over the memory store and the SQLite store
// alike: rows come back newest first as committed, a commit applies all its
// changes, taking an inbox over happens once, and the journal keeps a reply
// until the commit that stores it.
#include <gtest/gtest.h>
#include <sqlite3.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/MemoryInboxStore.h"
#include "platform/SqliteInboxStore.h"
#include "platform/SqliteKeyValueStore.h"
#include "support/CapturingLog.h"
#include "support/TestSupport.h"

namespace quorvela {
namespace {

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

struct MemoryKind {
    std::shared_ptr<InboxStore> make(const test::TempDir&) { return std::make_shared<MemoryInboxStore>(); }
    bool persists = false;
};
struct SqliteKind {
    std::shared_ptr<InboxStore> make(const test::TempDir& dir) {
        return std::make_shared<SqliteInboxStore>(dir.path() / "settings.sqlite3", log);
    }
    std::shared_ptr<test::CapturingLog> log = std::make_shared<test::CapturingLog>();
    bool persists = true;
};

template <class Kind>
class InboxStoreTest : public ::testing::Test {
protected:
    test::TempDir dir;
    Kind kind;
    std::shared_ptr<InboxStore> store = kind.make(dir);
    // The SQLite store reopened on the same file; the memory store itself.
    std::shared_ptr<InboxStore> reopened() {
        if (!kind.persists) return store;
        store.reset();
        store = kind.make(dir);
        return store;
    }
};

using Kinds = ::testing::Types<MemoryKind, SqliteKind>;
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

class SqliteInboxStoreTest : public ::testing::Test {
protected:
    std::filesystem::path file() const { return dir.path() / "settings.sqlite3"; }
    test::TempDir dir;
    std::shared_ptr<test::CapturingLog> log = std::make_shared<test::CapturingLog>();
};

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
