#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "core/DelegateCalls.h"
#include "model/MessageRecord.h"
#include "quorvela/Message.h"

namespace quorvela::test {
namespace {

class RecordingDelegate : public QuorvelaProtocol {
public:
    explicit RecordingDelegate(std::set<Operation> implemented) : implemented_(std::move(implemented)) {}
    bool implements(Operation operation) const override { return implemented_.count(operation) > 0; }
    void pushReceivedFromWorkspace(std::shared_ptr<Message> message, std::shared_ptr<Workspace>) override {
        calls.push_back("fromWorkspace " + message->id().value_or("?"));
    }
    void pushReceived(std::shared_ptr<Message> message) override {
        calls.push_back("message " + message->id().value_or("?"));
    }
    void QuorvelaReady() override { calls.push_back("ready"); }
    std::vector<std::string> calls;

private:
    std::set<Operation> implemented_;
};

using Op = QuorvelaProtocol::Operation;

TEST(DelegateCallsTest, OnlyImplementedOperationsAreCalledInOrder) {
    struct Case {
        const char* name;
        std::set<Op> implemented;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"all",
         {Op::PushReceivedFromWorkspace, Op::PushReceived, Op::QuorvelaReady},
         {"fromWorkspace m1", "message m1", "ready"}},
        {"message only", {Op::PushReceived}, {"message m1"}},
        {"workspace and ready", {Op::PushReceivedFromWorkspace, Op::QuorvelaReady}, {"fromWorkspace m1", "ready"}},
        {"none", {}, {}},
    };
    auto message = MessageRecord::create();
    message->setId("m1");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto delegate = std::make_shared<RecordingDelegate>(c.implemented);
        DelegateCalls::pushReceived(delegate, message, nullptr);
        DelegateCalls::quorvelaReady(delegate);
        EXPECT_EQ(delegate->calls, c.expected);
    }
}

TEST(DelegateCallsTest, DefaultDelegateImplementsEverythingAndNullDelegateIsSkipped) {
    QuorvelaProtocol plain;
    EXPECT_TRUE(plain.implements(Op::PushReceived));
    EXPECT_TRUE(plain.implements(Op::QuorvelaReady));
    DelegateCalls::pushReceived(nullptr, MessageRecord::create(), nullptr);
    DelegateCalls::quorvelaReady(nullptr);
}

}  // namespace
}  // namespace quorvela::test
