// The push commands of quorvela-host: their arguments, the "done" line
// that each prints when the library answers, and the delegate's lines.
#include "HostDelegate.h"
#include "HostTestSupport.h"
#include "JsonText.h"
#include "model/MessageRecord.h"
#include "model/WorkspaceList.h"
#include "model/WorkspaceRecord.h"
#include "platform/MemoryKeyValueStore.h"
#include "quorvela/Message.h"

namespace quorvela::host::test {
namespace {

// Answers every request at once with a well-formed empty reply.
class EmptyReplies : public HttpClient {
public:
    explicit EmptyReplies(std::shared_ptr<Dispatcher> dispatcher) : dispatcher_(std::move(dispatcher)) {}
    void get(const std::string& url, std::chrono::milliseconds, Completion done) override {
        HttpResult result;
        result.ok = true;
        result.status = 200;
        result.body = url.find("/getMessage/") != std::string::npos ? "<message><id>m1</id></message>"
                                                                    : "<messages></messages>";
        dispatcher_->beginActivity();
        auto dispatcher = dispatcher_;
        dispatcher_->global([dispatcher, result, done = std::move(done)] {
            if (done) done(result);
            dispatcher->endActivity();
        });
    }
    HttpResult getBlocking(const std::string&, std::chrono::milliseconds) override { return {}; }

private:
    std::shared_ptr<Dispatcher> dispatcher_;
};

class PushCommandsTest : public HostFixture {
protected:
    void prepare(Platform& platform) override {
        platform.keyValueStore = std::make_shared<MemoryKeyValueStore>();
        platform.http = std::make_shared<EmptyReplies>(platform.dispatcher);
        platform.networkMonitor = nullptr;
        platform.wifiInfo = nullptr;
    }
    void SetUp() override {
        HostFixture::SetUp();
        facade->setAppName(std::string("demo"));
        facade->setClientID(std::string("client-1"));
        facade->setApiClientPrivateKey(std::string("secret"));
        facade->platform()->keyValueStore->set("configureQuorvela", Value("YES"));
        facade->platform()->keyValueStore->set("LoggingDisabled", Value(true));
        for (const char* client : {"c1", "client-1"}) {
            auto workspace = WorkspaceRecord::create(facade->platform());
            workspace->setClientId(std::string(client));
            workspace->setPublicKey(std::string("key"));
            facade->workspacesSubscribed()->append(workspace);
        }
    }
};

TEST_F(PushCommandsTest, CommandsPrintTheirResult) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {R"(push {"msgId": 42, "type": "TXT_MSG", "clientId": "c1"})", "done push 0\n"},
        {R"(push {"msgId": 42, "type": "txt_msg", "clientId": "c1"})", "done push 1\n"},
        {R"(push {"msgId": 42, "type": "TXT_MSG", "clientId": "elsewhere"})", "done push 1\n"},
        {"unread", "done unread 0\n"},
        {"message m1", "done message 0\n"},
        {"message m1 c1", "done message 0\n"},
        {"message m1 nobody", ""},  // no such workspace: the library is given none and stays silent
        {"push", "error usage: push <json-object>\n"},
        {"push [1]", "error usage: push <json-object>\n"},
        {"push TXT_MSG", "error usage: push <json-object>\n"},
        {R"(push {} {})", "error usage: push <json-object>\n"},
        {"unread now", "error usage: unread\n"},
        {"message", "error usage: message <msgID> [clientId]\n"},
        {"message a b c", "error usage: message <msgID> [clientId]\n"},
    };
    for (const auto& [line, expected] : cases) EXPECT_EQ(run(line), expected) << line;
}

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
