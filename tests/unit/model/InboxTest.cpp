#include <algorithm>
#include <set>
#include <sstream>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "model/MessageRecord.h"
#include "model/RecordArchive.h"
#include "model/WorkspaceProtocol.h"
#include "model/WorkspaceRecord.h"
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

// "b/0:m0 b/1:m1 ..." for `count` messages.
std::string numbered(int count) {
    std::string out;
    for (int i = 0; i < count; ++i) out += " b/" + std::to_string(i) + ":m" + std::to_string(i);
    return out;
}

std::vector<std::string> split(const std::string& entries) {
    std::vector<std::string> out;
    std::istringstream in(entries);
    for (std::string entry; in >> entry;) out.push_back(entry);
    return out;
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
        {"insert into empty inbox", "", Value(), "1/a:new", "READ", "1/a:new", true},
        {"insert goes to the front", "1/a:x 1/b:y", Value(), "2/a:new", "", "2/a:new 1/a:x 1/b:y", true},
        {"replace keeps the position", "1/a:x 1/b:y 1/c:z", Value(), "1/b:updated", "", "1/a:x 1/b:updated 1/c:z",
         true},
        {"same id, other blastID is new", "1/a:x", Value(), "9/a:new", "", "9/a:new 1/a:x", true},
        {"first match wins", "1/a:first 1/a:second", Value(), "1/a:new", "", "1/a:new 1/a:second", true},
        {"delete a stored message", "1/a:x 1/b:y 1/c:z", Value(), "1/b:", "DELETED", "1/a:x 1/c:z", true},
        {"delete an unknown message", "1/a:x", Value(), "7/q:", "DELETED", "1/a:x", false},
        {"status is case-sensitive", "1/a:x", Value(), "1/a:y", "deleted", "1/a:y", true},
        {"limit 3 drops the oldest", "1/a:x 1/b:y 1/c:z", Value(3), "2/n:new", "", "2/n:new 1/a:x 1/b:y", true},
        {"limit 1 keeps the newest", "1/a:x 1/b:y", Value(1), "2/n:new", "", "2/n:new", true},
        {"limit 0 means none", "1/a:x 1/b:y 1/c:z", Value(0), "2/n:new", "", "2/n:new 1/a:x 1/b:y 1/c:z", true},
        {"negative limit means none", "1/a:x 1/b:y", Value(-5), "2/n:new", "", "2/n:new 1/a:x 1/b:y", true},
        {"lowered limit trims at an update", numbered(10), Value(2), "b/0:changed", "", "b/0:changed b/1:m1", true},
        {"lowered limit trims at an insert", numbered(10), Value(2), "c/0:new", "", "c/0:new b/0:m0", true},
        {"delete does not trim", numbered(5), Value(2), "b/4:", "DELETED", "b/0:m0 b/1:m1 b/2:m2 b/3:m3", true},
        {"limit read leniently from text", "1/a:x 1/b:y", Value("2"), "2/n:new", "", "2/n:new 1/a:x", true},
        {"limit taken as 32 bits", "1/a:x 1/b:y", Value(static_cast<long long>(1) << 32), "2/n:new", "",
         "2/n:new 1/a:x 1/b:y", true},
    };

    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        auto platform = makeStorePlatform();
        platform->keyValueStore->set("maxStoredMessages", row.limit);
        auto ws = WorkspaceRecord::create(platform);
        ws->setClientId(std::string("cid"));
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
    auto ws = WorkspaceRecord::create(platform);
    ws->setClientId(std::string("w"));
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
    for (const int limit : {0, 100}) {
        SCOPED_TRACE(limit);
        auto platform = makeStorePlatform();
        platform->keyValueStore->set("maxStoredMessages", Value(limit));
        auto ws = WorkspaceRecord::create(platform);
        ws->setClientId(std::string("busy"));
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
                        ws->processMessage(
                            parse("t" + std::to_string(t) + "/" + std::to_string(i - 1) + ":", "DELETED"));
                    (void)ws->getMessages();
                }
            });
        }
        for (auto& thread : threads) thread.join();

        const auto inbox = ws->getMessages();
        std::set<std::string> identities;
        for (const auto& m : inbox) identities.insert(*m->blastID() + "/" + *m->id());
        EXPECT_EQ(identities.size(), inbox.size()) << "a message is in the inbox twice";
        const std::size_t everything = kThreads * (kPerThread - kPerThread / 10) + 1;
        if (limit == 0) {
            EXPECT_EQ(inbox.size(), everything);
        } else {
            // Full after the last insert; each thread may delete once more after it.
            EXPECT_LE(inbox.size(), static_cast<std::size_t>(limit));
            EXPECT_GE(inbox.size(), static_cast<std::size_t>(limit - kThreads));
        }
        EXPECT_EQ(labels(RecordArchive::unarchiveRecords<Message>(platform->keyValueStore->get("busy-messages"))),
                  labels(inbox));
        EXPECT_EQ(delegate->calls.size(), static_cast<std::size_t>(kThreads * (2 * kPerThread + kPerThread / 10)));
    }
}

}  // namespace
}  // namespace quorvela
