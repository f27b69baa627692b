// The inbox of a workspace: the rules a received message follows, and the
// inbox kept row by row. Whatever sequence of changes the workspace makes, the
// rows the store holds read back as the inbox in memory, and the inbox follows
// the same rules as one kept whole. An inbox an earlier version stored as one
// archive moves into rows once.
#include <algorithm>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "model/Inbox.h"
#include "model/MessageRecord.h"
#include "model/RecordArchive.h"
#include "model/WorkspaceProtocol.h"
#include "model/WorkspaceRecord.h"
#include "platform/MemoryInboxStore.h"
#include "quorvela/Message.h"
#include "unit/model/ModelTestSupport.h"

namespace quorvela {
namespace {

using test::countingStore;
using test::makeStorePlatform;

// "blast/id:text" for a message.
std::string label(const Message& m) {
    return m.blastID().value_or("?") + "/" + m.id().value_or("?") + ":" + m.text().value_or("");
}

std::vector<std::string> labels(const WorkspaceRecord::MessageList& list) {
    std::vector<std::string> out;
    for (const auto& m : list) out.push_back(label(*m));
    return out;
}

// Builds a message from "blast/id:text".
std::shared_ptr<Message> parse(const std::string& entry, const std::string& status = "") {
    auto m = MessageRecord::create();
    const auto slash = entry.find('/');
    const auto colon = entry.find(':');
    m->setBlastID(entry.substr(0, slash));
    m->setId(entry.substr(slash + 1, colon - slash - 1));
    m->setText(entry.substr(colon + 1));
    m->setStatus(status);
    return m;
}

std::vector<std::string> split(const std::string& entries) {
    std::vector<std::string> out;
    std::istringstream in(entries);
    for (std::string entry; in >> entry;) out.push_back(entry);
    return out;
}

// Message `id` of blast "b", as the row store tests use them.
std::shared_ptr<Message> message(int id, const std::string& text, bool deleted = false) {
    return parse("b/" + std::to_string(id) + ":" + text, deleted ? "DELETED" : "NEW");
}

// Keeps the workspace weakly: the workspace holds its delegate strongly, so a
// strong reference back would keep both alive after the test.
class RecordingDelegate : public WorkspaceProtocol {
public:
    void pushReceived(const std::shared_ptr<Message>& message,
                      const std::shared_ptr<WorkspaceRecord>& workspace) override {
        std::lock_guard lock(mutex);
        calls.emplace_back(message, workspace);
    }
    std::mutex mutex;
    std::vector<std::pair<std::shared_ptr<Message>, std::weak_ptr<WorkspaceRecord>>> calls;
};

TEST(Inbox, ProcessMessageRules) {
    struct Row {
        const char* what;
        std::string inbox;  // entries "blast/id:text", newest first
        Value limit;        // "maxStoredMessages"; null = absent
        std::string incoming;
        std::string status;
        std::string expected;
        bool storeWritten;
    };
    const Row rows[] = {
        {"same id, other blastID is new", "1/a:x", Value(), "9/a:new", "", "9/a:new 1/a:x", true},
        {"first match wins", "1/a:first 1/a:second", Value(), "1/a:new", "", "1/a:new 1/a:second", true},
        {"delete a stored message", "1/a:x 1/b:y 1/c:z", Value(), "1/b:", "DELETED", "1/a:x 1/c:z", true},
        {"delete an unknown message", "1/a:x", Value(), "7/q:", "DELETED", "1/a:x", false},
        {"status is case-sensitive", "1/a:x", Value(), "1/a:y", "deleted", "1/a:y", true},
        {"negative limit means none", "1/a:x 1/b:y", Value(-5), "2/n:new", "", "2/n:new 1/a:x 1/b:y", true},
        {"limit read leniently from text", "1/a:x 1/b:y", Value("2"), "2/n:new", "", "2/n:new 1/a:x", true},
        {"limit taken as 32 bits", "1/a:x 1/b:y", Value(static_cast<long long>(1) << 32), "2/n:new", "",
         "2/n:new 1/a:x 1/b:y", true},
    };

    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        auto platform = makeStorePlatform();
        platform->keyValueStore->set("maxStoredMessages", row.limit);
        auto ws = test::workspaceOf(platform, "cid");
        WorkspaceRecord::MessageList initial;
        for (const auto& entry : split(row.inbox)) initial.push_back(parse(entry));
        ws->setMessages(initial);
        ws->saveMessages();
        auto delegate = std::make_shared<RecordingDelegate>();
        ws->setDelegate(delegate);
        const int writesBefore = countingStore(*platform).writes;

        const auto incoming = parse(row.incoming, row.status);
        ws->processMessage(incoming);

        EXPECT_EQ(labels(ws->getMessages()), split(row.expected));
        EXPECT_EQ(countingStore(*platform).writes > writesBefore, row.storeWritten);
        // The store holds what the inbox holds.
        const auto stored = RecordArchive::unarchiveRecords<Message>(platform->keyValueStore->get("cid-messages"));
        EXPECT_EQ(labels(stored), split(row.expected));
        // The delegate hears about every message, whatever the inbox did.
        ASSERT_EQ(delegate->calls.size(), 1u);
        EXPECT_EQ(delegate->calls[0].first, incoming);
        EXPECT_EQ(delegate->calls[0].second.lock(), ws);
    }
}

TEST(Inbox, IndexOperationsWriteTheStoreAndIgnoreBadIndexes) {
    auto platform = makeStorePlatform();
    auto ws = test::workspaceOf(platform, "w");
    ws->addMessage(parse("1/a:x"), 0);
    ws->addMessage(parse("1/b:y"), 1);
    ws->addMessage(parse("1/c:z"), 5);  // past the end
    ws->addMessage(parse("1/d:z"), -1);
    ws->updateMessage(parse("1/a:X"), 0);
    ws->updateMessage(parse("1/q:q"), 2);
    EXPECT_EQ(labels(ws->getMessages()), (std::vector<std::string>{"1/a:X", "1/b:y"}));
    ws->removeMessage(nullptr, 7);
    ws->removeLastMessage(nullptr);
    EXPECT_EQ(labels(ws->getMessages()), (std::vector<std::string>{"1/a:X"}));
    EXPECT_EQ(labels(RecordArchive::unarchiveRecords<Message>(platform->keyValueStore->get("w-messages"))),
              (std::vector<std::string>{"1/a:X"}));
    ws->removeMessage(nullptr, 0);
    ws->removeLastMessage(nullptr);  // on an empty inbox
    EXPECT_TRUE(ws->getMessages().empty());
}

TEST(Inbox, ConcurrentProcessMessageKeepsTheInboxConsistent) {
    constexpr int kThreads = 8;
    constexpr int kPerThread = 60;
    auto platform = makeStorePlatform();
    auto ws = test::workspaceOf(platform, "busy");
    auto delegate = std::make_shared<RecordingDelegate>();
    ws->setDelegate(delegate);

    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                ws->processMessage(parse("t" + std::to_string(t) + "/" + std::to_string(i) + ":v"));
                // Every thread also updates one shared message, and deletes
                // one of its own earlier messages now and then.
                ws->processMessage(parse("shared/1:from" + std::to_string(t)));
                if (i % 10 == 9)
                    ws->processMessage(parse("t" + std::to_string(t) + "/" + std::to_string(i - 1) + ":", "DELETED"));
                (void)ws->getMessages();
            }
        });
    }
    for (auto& thread : threads) thread.join();

    const auto inbox = ws->getMessages();
    std::set<std::string> identities;
    for (const auto& m : inbox) identities.insert(*m->blastID() + "/" + *m->id());
    EXPECT_EQ(identities.size(), inbox.size()) << "a message is in the inbox twice";
    // No limit: every message but the deleted ones stays, and the shared one.
    EXPECT_EQ(inbox.size(), static_cast<std::size_t>(kThreads * (kPerThread - kPerThread / 10) + 1));
    EXPECT_EQ(labels(RecordArchive::unarchiveRecords<Message>(platform->keyValueStore->get("busy-messages"))),
              labels(inbox));
    EXPECT_EQ(delegate->calls.size(), static_cast<std::size_t>(kThreads * (2 * kPerThread + kPerThread / 10)));
}

// The rules as a plain list: the newest message of an identity is replaced or
// deleted, a new one goes in front, the oldest beyond the limit go.
struct Reference {
    std::vector<std::pair<int, std::string>> list;
    void receive(int id, const std::string& text, bool deleted, int limit) {
        auto it = std::find_if(list.begin(), list.end(), [id](const auto& e) { return e.first == id; });
        if (deleted) {
            if (it != list.end()) list.erase(it);
            return;
        }
        if (it != list.end()) it->second = text;
        else list.insert(list.begin(), {id, text});
        if (limit >= 1 && list.size() > static_cast<std::size_t>(limit)) list.resize(static_cast<std::size_t>(limit));
    }
    std::vector<std::string> labels() const {
        std::vector<std::string> out;
        for (const auto& [id, text] : list) out.push_back("b/" + std::to_string(id) + ":" + text);
        return out;
    }
};

class InboxRowsTest : public ::testing::TestWithParam<bool> {
protected:
    // true: rows in an inbox store; false: one archive in the key-value store.
    bool rows() const { return GetParam(); }
    std::shared_ptr<Platform> platform = [this] {
        auto p = makeStorePlatform();
        if (GetParam()) p->inboxStore = std::make_shared<MemoryInboxStore>();
        return p;
    }();
    std::shared_ptr<WorkspaceRecord> workspace(const std::string& clientId) {
        auto w = test::workspaceOf(platform, clientId);
        w->setMessages(w->loadMessage());
        return w;
    }
};

TEST_P(InboxRowsTest, RandomChangesReadBackAsTheInboxInMemory) {
    std::mt19937 random(20261208);
    auto w = workspace("c");
    Reference reference;
    int limit = 0;
    for (int step = 0; step < 600; ++step) {
        SCOPED_TRACE("step " + std::to_string(step));
        const int op = static_cast<int>(random() % 100);
        if (op < 5) {
            limit = static_cast<int>(random() % 12);
            platform->keyValueStore->set("maxStoredMessages", Value(limit));
            continue;
        }
        if (op < 80) {
            const int id = static_cast<int>(random() % 25);
            const bool deleted = random() % 5 == 0;
            const std::string text = "t" + std::to_string(step);
            w->processMessage(message(id, text, deleted));
            reference.receive(id, text, deleted, limit);
        } else {
            // The index-based changes, at any place (the middle included).
            const auto size = reference.list.size();
            const auto index = static_cast<std::int32_t>(random() % (size + 1));
            const int id = 100 + step;
            const std::string text = "i" + std::to_string(step);
            if (op < 88) {
                w->addMessage(message(id, text), index);
                reference.list.insert(reference.list.begin() + index, {id, text});
            } else if (op < 94 && index < static_cast<std::int32_t>(size)) {
                w->updateMessage(message(id, text), index);
                reference.list[static_cast<std::size_t>(index)] = {id, text};
            } else if (index < static_cast<std::int32_t>(size)) {
                w->removeMessage(nullptr, index);
                reference.list.erase(reference.list.begin() + index);
            }
        }
        ASSERT_EQ(labels(w->getMessages()), reference.labels());
        ASSERT_EQ(labels(workspace("c")->getMessages()), reference.labels()) << "the store lags the inbox";
    }
}

TEST_P(InboxRowsTest, OneReplyIsOneWriteAndTheHostHearsNothingYet) {
    auto w = workspace("c");
    const int writesBefore = countingStore(*platform).writes;
    w->storeReceived({message(1, "a"), message(2, "b"), message(1, "a2"), message(3, "c", true)});
    EXPECT_EQ(labels(workspace("c")->getMessages()), split("b/2:b b/1:a2"));
    if (rows()) {
        EXPECT_EQ(std::dynamic_pointer_cast<MemoryInboxStore>(platform->inboxStore)->commits(), 1u);
        EXPECT_EQ(countingStore(*platform).writes, writesBefore) << "the settings are not touched";
    } else {
        EXPECT_EQ(countingStore(*platform).writes, writesBefore + 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Stores, InboxRowsTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Rows" : "Archive"; });

TEST(InboxMove, AnArchivedInboxMovesIntoRowsOnceAndNothingIsLost) {
    auto platform = makeStorePlatform();
    {
        // An earlier version: the inbox as one archive among the settings.
        auto old = test::workspaceOf(platform, "c");
        for (int i = 0; i < 5; ++i) old->processMessage(message(i, "m" + std::to_string(i)));
    }
    ASSERT_FALSE(platform->keyValueStore->get("c-messages").isNull());
    auto store = std::make_shared<MemoryInboxStore>();
    platform->inboxStore = store;

    auto first = test::workspaceOf(platform, "c");
    const auto expected = split("b/4:m4 b/3:m3 b/2:m2 b/1:m1 b/0:m0");
    EXPECT_EQ(labels(first->loadMessage()), expected);
    EXPECT_TRUE(platform->keyValueStore->get("c-messages").isNull()) << "the archive is gone once moved";
    EXPECT_EQ(store->load("c-messages")->size(), 5u);

    // A second object for the workspace reads the rows, and adds on top.
    auto second = test::workspaceOf(platform, "c");
    second->setMessages(second->loadMessage());
    second->processMessage(message(9, "m9"));
    auto third = test::workspaceOf(platform, "c");
    EXPECT_EQ(labels(third->loadMessage()), split("b/9:m9 b/4:m4 b/3:m3 b/2:m2 b/1:m1 b/0:m0"));
}

// Neighbours at adjacent positions leave no room for a message between them:
// every message moves, so the store must be rewritten whole, in order.
TEST(InboxRenumber, AnInsertWithoutRoomRewritesTheWholeStoreInOrder) {
    auto inbox = Inbox::fromMessages({message(1, "a"), message(2, "b")});
    Inbox::Edit edit;
    ASSERT_TRUE(inbox.insertAt(message(3, "between"), 1, edit));
    const auto change = inbox.changeFor("inbox", edit);
    EXPECT_TRUE(change.replaceAll);
    ASSERT_EQ(change.put.size(), 3u);
    EXPECT_GT(change.put[0].position, change.put[1].position);
    EXPECT_GT(change.put[1].position, change.put[2].position);
    EXPECT_EQ(change.put[1].record.at("text"), Value("between"));
}

// Two objects for one workspace (the available and the subscribed list hold
// one each) each take a new message: both messages are stored.
TEST(InboxMove, TwoObjectsForOneWorkspaceNeverShareAPosition) {
    auto platform = makeStorePlatform();
    platform->inboxStore = std::make_shared<MemoryInboxStore>();
    const Value::Dictionary archive{{"clientId", Value("c")}};
    auto a = WorkspaceRecord::initWithCoder(platform, archive);
    auto b = WorkspaceRecord::initWithCoder(platform, archive);
    a->processMessage(message(1, "from a"));
    b->processMessage(message(2, "from b"));
    EXPECT_EQ(labels(WorkspaceRecord::initWithCoder(platform, archive)->getMessages()),
              (std::vector<std::string>{"b/2:from b", "b/1:from a"}));
}

}  // namespace
}  // namespace quorvela
