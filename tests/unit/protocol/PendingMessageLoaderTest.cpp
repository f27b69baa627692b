#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "model/WorkspaceRecord.h"
#include "protocol/PendingMessageDataLoader.h"
#include "protocol/PendingMessagesParser.h"
#include "protocol/RequestSigner.h"
#include "protocol/ServiceEndpoints.h"
#include "quorvela/Message.h"
#include "support/TestPlatform.h"

namespace quorvela {
namespace {

using namespace std::chrono_literals;
using test::FakeHttpClient;
using Text = std::optional<std::string>;

// Keeps every callback and completion in the order they happened.
class Recorder : public PendingMessageDataLoaderDelegate {
public:
    void pendingMessagesRetrieved(const std::vector<std::shared_ptr<Message>>& list,
                                  std::optional<std::int64_t>) override {
        std::lock_guard lock(mutex);
        events.push_back("retrieved " + std::to_string(list.size()));
        messages = list;
    }
    void pendingMessagesRetrievedError(const std::string& error) override {
        std::lock_guard lock(mutex);
        events.push_back("error " + error);
    }
    PendingMessageDataLoader::Completion completion() {
        return [this](unsigned long result) {
            std::lock_guard lock(mutex);
            events.push_back("completion " + std::to_string(result));
        };
    }
    std::mutex mutex;
    std::vector<std::string> events;
    std::vector<std::shared_ptr<Message>> messages;
};

// --- the reply grammar ---------------------------------------------------------

struct GrammarCase {
    const char* name;
    const char* xml;
    std::vector<std::vector<std::pair<const char*, Text>>> expected;  // per message: field -> value
};

TEST(PendingMessagesParserTest, Grammar) {
    const GrammarCase cases[] = {
        {"two messages in document order",
         "<messages><message><id>1</id><blastID>b1</blastID><subject>Hi</subject></message>"
         "<message><id>2</id><blastID>b2</blastID><text>Body &amp; more</text></message></messages>",
         {{{"id", "1"}, {"blastID", "b1"}, {"subject", "Hi"}, {"text", ""}},
          {{"id", "2"}, {"blastID", "b2"}, {"text", "Body & more"}, {"subject", ""}}}},
        {"empty field element gives null, absent field keeps empty text",
         "<messages><message><id>7</id><subject></subject><status/></message></messages>",
         {{{"id", "7"}, {"subject", std::nullopt}, {"status", std::nullopt}, {"from", ""}, {"metaData", ""}}}},
        {"unknown elements are ignored",
         "<messages><message><id>3</id><colour>red</colour><Subject>x</Subject></message><extra>y</extra></messages>",
         {{{"id", "3"}, {"subject", ""}}}},
        {"a field between two messages changes the first",
         "<messages><message><id>1</id></message><status>READ</status><message><id>2</id></message></messages>",
         {{{"id", "1"}, {"status", "READ"}}, {{"id", "2"}, {"status", ""}}}},
        {"every field name is read",
         "<r><message><blastID>a</blastID><id>b</id><type>c</type><from>d</from><to>e</to><subject>f</subject>"
         "<text>g</text><status>h</status><statusDescription>i</statusDescription><date>j</date>"
         "<timezone>k</timezone><clientId>l</clientId><appName>m</appName><platform>n</platform>"
         "<metaData>o</metaData></message></r>",
         {{{"blastID", "a"},
           {"id", "b"},
           {"type", "c"},
           {"from", "d"},
           {"to", "e"},
           {"subject", "f"},
           {"text", "g"},
           {"status", "h"},
           {"statusDescription", "i"},
           {"date", "j"},
           {"timezone", "k"},
           {"clientId", "l"},
           {"appName", "m"},
           {"platform", "n"},
           {"metaData", "o"}}}},
        {"indented XML gives texts that begin with white space",
         "<messages>\n  <message>\n    <id>5</id>\n    <subject>S</subject>\n  </message>\n</messages>",
         {{{"id", "\n  \n    5"}, {"subject", "\n    S"}}}},
        {"field elements outside any message are ignored", "<messages><id>9</id></messages>", {}},
        {"no message elements", "<messages/>", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PendingMessagesParser parser;
        ASSERT_TRUE(parser.parse(c.xml));
        ASSERT_EQ(parser.messages().size(), c.expected.size());
        for (std::size_t i = 0; i < c.expected.size(); ++i) {
            const auto dict = parser.messages()[i]->encodeWithCoder();
            for (const auto& [field, value] : c.expected[i]) {
                SCOPED_TRACE(field);
                auto found = dict.find(field);
                const Text actual = found == dict.end() ? std::nullopt : found->second.optionalText();
                EXPECT_EQ(actual, value);
            }
        }
    }
}

TEST(PendingMessagesParserTest, MalformedRepliesFail) {
    for (const char* xml :
         {"", "<messages><message><id>1</id></messages>", "<html><body>Error<br></body></html>", "not xml at all"}) {
        SCOPED_TRACE(xml);
        PendingMessagesParser parser;
        EXPECT_FALSE(parser.parse(xml));
        EXPECT_TRUE(parser.parseError().has_value());
    }
}

// --- the two forms of the call ---------------------------------------------------

class PendingMessageLoaderTest : public ::testing::Test {
protected:
    PendingMessageLoaderTest() : platform(test::makeTestPlatform(dir)) {
        credentials = ClientCredentials{"Demo", "client-1", "private-key"};
        platform->keyValueStore->set("deviceUniqueID", Value("DEV-1"));
        recorder = std::make_shared<Recorder>();
    }
    std::shared_ptr<PendingMessageDataLoader> loader() {
        auto l = PendingMessageDataLoader::create(platform, credentials);
        l->setDelegate(recorder);
        return l;
    }
    std::shared_ptr<WorkspaceRecord> workspace() {
        auto ws = WorkspaceRecord::create(platform);
        ws->setClientId("ws-1");
        ws->setPublicKey("ws-key");
        return ws;
    }
    std::vector<std::string> run(const std::function<void()>& start) {
        start();
        EXPECT_TRUE(platform->dispatcher->waitIdle(10s));
        std::lock_guard lock(recorder->mutex);
        return recorder->events;
    }
    FakeHttpClient& http() { return test::fakeHttp(*platform); }
    test::CapturingLog& log() { return test::capturingLog(*platform); }

    test::TempDir dir;
    std::shared_ptr<Platform> platform;
    ClientCredentials credentials;
    std::shared_ptr<Recorder> recorder;
};

const std::string kPrefix = serviceBaseUrl() + "/getPendingMessages/";

TEST_F(PendingMessageLoaderTest, RequestLayoutOfBothForms) {
    http().answer(kPrefix, FakeHttpClient::reply("<messages/>"));
    run([&] { loader()->startLoadingMessageWithCompletionHandler(recorder->completion()); });
    run([&] { loader()->startLoadingMessageFromWorkspace(workspace(), recorder->completion()); });
    const auto requests = http().requests();
    ASSERT_EQ(requests.size(), 2u);
    const std::string facadePath = "DEV-1/Demo/IOS/client-1/1700000000000";
    const std::string workspacePath = "DEV-1/Demo/IOS/ws-1/1700000000000";
    EXPECT_EQ(requests[0], kPrefix + facadePath + "/" + *RequestSigner::sign(facadePath, "private-key"));
    EXPECT_EQ(requests[1], kPrefix + workspacePath + "/" + *RequestSigner::sign(workspacePath, "ws-key"));
    EXPECT_TRUE(log().contains("QUORVELA-DEBUG: getPendingMessages: " + requests[0]));
    EXPECT_TRUE(log().contains("QUORVELA-DEBUG: Messages: completed successfully"));
    EXPECT_TRUE(log().contains("QUORVELA-DEBUG: getPendingMessages: completed successfully"));
}

TEST_F(PendingMessageLoaderTest, SuccessCallsDelegateThenCompletion) {
    http().answer(kPrefix, FakeHttpClient::reply("<m><message><id>1</id></message><message><id>2</id></message></m>"));
    for (int form = 0; form < 2; ++form) {
        SCOPED_TRACE(form);
        recorder->events.clear();
        auto l = loader();
        const auto events = run([&] {
            if (form == 0) l->startLoadingMessageWithCompletionHandler(recorder->completion());
            else l->startLoadingMessageFromWorkspace(workspace(), recorder->completion());
        });
        EXPECT_EQ(events, (std::vector<std::string>{"retrieved 2", "completion 0"}));
        ASSERT_EQ(recorder->messages.size(), 2u);
        EXPECT_EQ(recorder->messages[1]->id(), "2");
        EXPECT_EQ(l->messages().size(), 2u);
    }
}

TEST_F(PendingMessageLoaderTest, FailuresCarryEachFormsTexts) {
    struct Case {
        const char* name;
        HttpResult answer;
        bool workspaceForm;
        std::string errorPrefix;
        std::string logLine;
    };
    const Case cases[] = {
        {"empty body, facade", FakeHttpClient::reply(""), false, "error Messages - Error: ", ""},
        {"malformed body, facade", FakeHttpClient::reply("<a><b></a>"), false, "error Messages - Error: ", ""},
        {"HTML error page, facade", FakeHttpClient::reply("<html><p>Oops<br></p></html>", 500), false,
         "error Messages - Error: ", ""},
        {"transport failure, facade", FakeHttpClient::failure("Connection refused"), false,
         "error Messages - Error: Connection refused ", ""},
        {"empty body, workspace", FakeHttpClient::reply(""), true, "error getPendingMessages Error: ", ""},
        {"transport failure, workspace", FakeHttpClient::failure("Connection refused"), true,
         "error getPendingMessages Error: Connection refused",
         "QUORVELA-DEBUG: getPendingMessages: completed with error: Connection refused"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        recorder->events.clear();
        log().clear();
        http().answer(kPrefix, c.answer);
        const auto events = run([&] {
            if (c.workspaceForm) loader()->startLoadingMessageFromWorkspace(workspace(), recorder->completion());
            else loader()->startLoadingMessageWithCompletionHandler(recorder->completion());
        });
        ASSERT_EQ(events.size(), 2u);
        EXPECT_EQ(events[0].rfind(c.errorPrefix, 0), 0u) << events[0];
        EXPECT_EQ(events[1], "completion 2");
        if (!c.logLine.empty()) EXPECT_TRUE(log().contains(c.logLine));
    }
    // The workspace form's transport text has no user information after it.
    EXPECT_EQ(recorder->events[0], "error getPendingMessages Error: Connection refused");
}

TEST_F(PendingMessageLoaderTest, ParseErrorIsLoggedWithItsDetails) {
    http().answer(kPrefix, FakeHttpClient::reply("<a>"));
    const auto events = run([&] { loader()->startLoadingMessageWithCompletionHandler(recorder->completion()); });
    ASSERT_EQ(events.size(), 2u);
    const std::string text = events[0].substr(std::string("error Messages - Error: ").size());
    EXPECT_TRUE(log().contains("QUORVELA-DEBUG: " + text)) << text;
}

TEST_F(PendingMessageLoaderTest, UnsignableRequestsTakeTheErrorPath) {
    credentials.appName = "Démo";  // not ASCII
    const auto facade = run([&] { loader()->startLoadingMessageWithCompletionHandler(recorder->completion()); });
    EXPECT_EQ(facade,
              (std::vector<std::string>{std::string("error Messages - Error: ") + RequestSigner::kNonAsciiError + " {}",
                                        "completion 2"}));
    recorder->events.clear();
    const auto ws = run([&] { loader()->startLoadingMessageFromWorkspace(workspace(), recorder->completion()); });
    EXPECT_EQ(ws,
              (std::vector<std::string>{std::string("error getPendingMessages Error: ") + RequestSigner::kNonAsciiError,
                                        "completion 2"}));
    EXPECT_EQ(http().requests().size(), 0u);
}

TEST_F(PendingMessageLoaderTest, WithoutCompletionOnlyTheDelegateHears) {
    http().answer(kPrefix, FakeHttpClient::reply("<m/>"));
    const auto events = run([&] { loader()->startLoadingMessageWithCompletionHandler(nullptr); });
    EXPECT_EQ(events, (std::vector<std::string>{"retrieved 0"}));
}

}  // namespace
}  // namespace quorvela
