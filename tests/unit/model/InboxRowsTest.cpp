// The inbox kept row by row: whatever sequence of changes the workspace makes,
// the rows the store holds read back as the inbox in memory, and the inbox
// follows the same rules as one kept whole. An inbox an earlier version
// stored as one archive moves into rows once.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "model/MessageRecord.h"
#include "model/RecordArchive.h"
#include "model/WorkspaceRecord.h"
#include "platform/MemoryInboxStore.h"
#include "quorvela/Message.h"
#include "unit/model/ModelTestSupport.h"

namespace quorvela {
namespace {

std::shared_ptr<Message> message(int id, const std::string& text, bool deleted = false) {
    auto m = MessageRecord::create();
    m->setBlastID(std::string("b"));
    m->setId(std::to_string(id));
    m->setText(text);
    m->setStatus(std::string(deleted ? "DELETED" : "NEW"));
    return m;
}

std::vector<std::string> labels(const WorkspaceRecord::MessageList& list) {
    std::vector<std::string> out;
    for (const auto& m : list) out.push_back(m ? m->id().value_or("?") + ":" + m->text().value_or("") : "null");
    return out;
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
        for (const auto& [id, text] : list) out.push_back(std::to_string(id) + ":" + text);
        return out;
    }
};

class InboxRowsTest : public ::testing::TestWithParam<bool> {
protected:
    // true: rows in an inbox store; false: one archive in the key-value store.
    bool rows() const { return GetParam(); }
    std::shared_ptr<Platform> platform = [this] {
        auto p = test::makeStorePlatform();
        if (GetParam()) p->inboxStore = std::make_shared<MemoryInboxStore>();
        return p;
    }();
    std::shared_ptr<WorkspaceRecord> workspace(const std::string& clientId) {
        auto w = WorkspaceRecord::create(platform);
        w->setClientId(clientId);
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
    const int writesBefore = test::countingStore(*platform).writes;
    w->storeReceived({message(1, "a"), message(2, "b"), message(1, "a2"), message(3, "c", true)});
    EXPECT_EQ(labels(workspace("c")->getMessages()), (std::vector<std::string>{"2:b", "1:a2"}));
    if (rows()) {
        EXPECT_EQ(std::dynamic_pointer_cast<MemoryInboxStore>(platform->inboxStore)->commits(), 1u);
        EXPECT_EQ(test::countingStore(*platform).writes, writesBefore) << "the settings are not touched";
    } else {
        EXPECT_EQ(test::countingStore(*platform).writes, writesBefore + 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Stores, InboxRowsTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Rows" : "Archive"; });

TEST(InboxMove, AnArchivedInboxMovesIntoRowsOnceAndNothingIsLost) {
    auto platform = test::makeStorePlatform();
    {
        // An earlier version: the inbox as one archive among the settings.
        auto old = WorkspaceRecord::create(platform);
        old->setClientId(std::string("c"));
        for (int i = 0; i < 5; ++i) old->processMessage(message(i, "m" + std::to_string(i)));
    }
    ASSERT_FALSE(platform->keyValueStore->get("c-messages").isNull());
    auto store = std::make_shared<MemoryInboxStore>();
    platform->inboxStore = store;

    auto first = WorkspaceRecord::create(platform);
    first->setClientId(std::string("c"));
    const std::vector<std::string> expected{"4:m4", "3:m3", "2:m2", "1:m1", "0:m0"};
    EXPECT_EQ(labels(first->loadMessage()), expected);
    EXPECT_TRUE(platform->keyValueStore->get("c-messages").isNull()) << "the archive is gone once moved";
    EXPECT_EQ(store->load("c-messages")->size(), 5u);

    // A second object for the workspace reads the rows, and adds on top.
    auto second = WorkspaceRecord::create(platform);
    second->setClientId(std::string("c"));
    second->setMessages(second->loadMessage());
    second->processMessage(message(9, "m9"));
    auto third = WorkspaceRecord::create(platform);
    third->setClientId(std::string("c"));
    EXPECT_EQ(labels(third->loadMessage()), (std::vector<std::string>{"9:m9", "4:m4", "3:m3", "2:m2", "1:m1", "0:m0"}));
}

// Two objects for one workspace (the available and the subscribed list hold
// one each) each take a new message: both messages are stored.
TEST(InboxMove, TwoObjectsForOneWorkspaceNeverShareAPosition) {
    auto platform = test::makeStorePlatform();
    platform->inboxStore = std::make_shared<MemoryInboxStore>();
    const Value::Dictionary archive{{"clientId", Value("c")}};
    auto a = WorkspaceRecord::initWithCoder(platform, archive);
    auto b = WorkspaceRecord::initWithCoder(platform, archive);
    a->processMessage(message(1, "from a"));
    b->processMessage(message(2, "from b"));
    EXPECT_EQ(labels(WorkspaceRecord::initWithCoder(platform, archive)->getMessages()),
              (std::vector<std::string>{"2:from b", "1:from a"}));
}

}  // namespace
}  // namespace quorvela
