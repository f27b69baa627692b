#include <gtest/gtest.h>

#include <memory>

#include "model/Inbox.h"
#include "model/MessageRecord.h"

namespace quorvela {
namespace {

std::shared_ptr<Message> message(const std::string& id) {
    auto m = MessageRecord::create();
    m->setId(id);
    return m;
}

// Neighbours at adjacent positions leave no room for a message between them:
// every message moves, so the store must be rewritten whole, in order.
TEST(InboxRenumber, AnInsertWithoutRoomRewritesTheWholeStoreInOrder) {
    auto inbox = Inbox::fromMessages({message("1"), message("2")});
    Inbox::Edit edit;
    ASSERT_TRUE(inbox.insertAt(message("between"), 1, edit));
    const auto change = inbox.changeFor("inbox", edit);
    EXPECT_TRUE(change.replaceAll);
    ASSERT_EQ(change.put.size(), 3u);
    EXPECT_GT(change.put[0].position, change.put[1].position);
    EXPECT_GT(change.put[1].position, change.put[2].position);
    EXPECT_EQ(change.put[1].record.at("id"), Value("between"));
}

}  // namespace
}  // namespace quorvela
