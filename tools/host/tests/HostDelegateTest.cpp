#include "HostDelegate.h"
#include "HostTestSupport.h"
#include "JsonText.h"
#include "model/MessageRecord.h"
#include "quorvela/Message.h"

namespace quorvela::host::test {
namespace {

using Op = QuorvelaProtocol::Operation;
using Mode = HostOptions::DelegateMode;

TEST(HostDelegateTest, ImplementedOperationsFollowTheMode) {
    struct Case {
        Mode mode;
        bool fromWorkspace, message, ready;
    };
    const Case cases[] = {{Mode::All, true, true, true},
                          {Mode::Workspace, true, false, true},
                          {Mode::Message, false, true, true},
                          {Mode::None, false, false, false}};
    for (const auto& c : cases) {
        HostDelegate delegate(std::make_shared<Output>(stdout), c.mode);
        EXPECT_EQ(delegate.implements(Op::PushReceivedFromWorkspace), c.fromWorkspace);
        EXPECT_EQ(delegate.implements(Op::PushReceived), c.message);
        EXPECT_EQ(delegate.implements(Op::QuorvelaReady), c.ready);
    }
}

TEST(HostDelegateTest, PrintsOneLinePerCall) {
    CapturedOutput captured;
    HostDelegate delegate(captured.output, Mode::All);
    auto message = MessageRecord::create();
    message->setId("m1");
    message->setSubject("hi \"there\"");
    delegate.pushReceivedFromWorkspace(message, nullptr);
    delegate.pushReceived(message);
    delegate.QuorvelaReady();
    const std::string text = captured.fresh();

    auto json = JsonText::messageText(message);
    EXPECT_EQ(text, "delegate pushReceived:fromWorkspace: " + json + " (null)\n" + "delegate pushReceived: " + json +
                        "\n" + "delegate QuorvelaReady\n");
    EXPECT_NE(json.find("\"subject\":\"hi \\\"there\\\"\""), std::string::npos) << json;
    EXPECT_EQ(json.find('\n'), std::string::npos);
}

}  // namespace
}  // namespace quorvela::host::test
