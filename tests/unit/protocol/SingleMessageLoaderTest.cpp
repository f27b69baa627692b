#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "model/WorkspaceRecord.h"
#include "protocol/RequestSigner.h"
#include "protocol/ServiceEndpoints.h"
#include "protocol/SingleMessageLoader.h"
#include "protocol/SingleMessageParser.h"
#include "quorvela/Message.h"
#include "support/TestPlatform.h"

namespace quorvela {
namespace {

using namespace std::chrono_literals;
using test::FakeHttpClient;

class Recorder : public SingleMessageLoaderDelegate {
public:
    void SingleMessageRetrieved(const std::shared_ptr<Message>& m) override {
        std::lock_guard lock(mutex);
        events.push_back(m ? "retrieved " + m->id().value_or("(null)") : "retrieved nothing");
        message = m;
    }
    void SingleMessageRetrievedError(const std::string& error) override {
        std::lock_guard lock(mutex);
        events.push_back("error " + error);
    }
    SingleMessageLoader::Completion completion() {
        return [this](unsigned long result) {
            std::lock_guard lock(mutex);
            events.push_back("completion " + std::to_string(result));
        };
    }
    std::mutex mutex;
    std::vector<std::string> events;
    std::shared_ptr<Message> message;
};

TEST(SingleMessageParserTest, Grammar) {
    struct Case {
        const char* name;
        const char* xml;
        std::optional<std::string> id;  // nothing: no message
        std::optional<std::string> subject;
    };
    const Case cases[] = {
        {"one message", "<message><id>123</id><subject>Hello</subject></message>", "123", "Hello"},
        {"the last message wins", "<r><message><id>1</id></message><message><id>2</id></message></r>", "2", ""},
        {"a field after the message still changes it", "<r><message><id>1</id></message><subject>S</subject></r>", "1",
         "S"},
        {"empty subject is null", "<message><id>4</id><subject/></message>", "4", std::nullopt},
        {"no message", "<reply><id>1</id></reply>", std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        SingleMessageParser parser;
        ASSERT_TRUE(parser.parse(c.xml));
        if (!c.id) {
            EXPECT_EQ(parser.message(), nullptr);
            continue;
        }
        ASSERT_NE(parser.message(), nullptr);
        EXPECT_EQ(parser.message()->id(), c.id);
        EXPECT_EQ(parser.message()->subject(), c.subject);
    }
}

class SingleMessageLoaderTest : public ::testing::Test {
protected:
    SingleMessageLoaderTest() : platform(test::makeTestPlatform(dir)), recorder(std::make_shared<Recorder>()) {
        ws = WorkspaceRecord::create(platform);
        ws->setClientId("abc");
        ws->setPublicKey("ws-key");
    }
    std::vector<std::string> fetch(const std::optional<std::string>& id) {
        auto loader = SingleMessageLoader::create(platform);
        loader->setDelegate(recorder);
        loader->startLoadingDataForMessageWithID(id, ws, recorder->completion());
        EXPECT_TRUE(platform->dispatcher->waitIdle(10s));
        std::lock_guard lock(recorder->mutex);
        return recorder->events;
    }
    FakeHttpClient& http() { return test::fakeHttp(*platform); }

    test::TempDir dir;
    std::shared_ptr<Platform> platform;
    std::shared_ptr<Recorder> recorder;
    std::shared_ptr<WorkspaceRecord> ws;
};

const std::string kPrefix = serviceBaseUrl() + "/getMessage/";

TEST_F(SingleMessageLoaderTest, PathIsSignedWithTheWorkspaceKey) {
    http().answer(kPrefix, FakeHttpClient::reply("<message><id>123</id></message>"));
    EXPECT_EQ(fetch("123"), (std::vector<std::string>{"retrieved 123", "completion 0"}));
    const std::string path = "123/abc/1700000000000";
    ASSERT_EQ(http().requests().size(), 1u);
    EXPECT_EQ(http().requests()[0], kPrefix + path + "/" + *RequestSigner::sign(path, "ws-key"));
    auto& log = test::capturingLog(*platform);
    EXPECT_TRUE(log.contains("QUORVELA-DEBUG: getMessageURL: " + http().requests()[0]));
    EXPECT_TRUE(log.contains("QUORVELA-DEBUG: Message: completed successfully"));
}

TEST_F(SingleMessageLoaderTest, ReplyWithoutMessageGivesNull) {
    http().answer(kPrefix, FakeHttpClient::reply("<nothing/>"));
    EXPECT_EQ(fetch("9"), (std::vector<std::string>{"retrieved nothing", "completion 0"}));
}

TEST_F(SingleMessageLoaderTest, FailuresGiveMessageErrorAndTwo) {
    const HttpResult answers[] = {FakeHttpClient::reply(""), FakeHttpClient::reply("<message><id>1</message>"),
                                  FakeHttpClient::reply("<html><body>Bad gateway<hr></body></html>", 502),
                                  FakeHttpClient::failure("Connection reset")};
    for (const auto& answer : answers) {
        recorder->events.clear();
        http().answer(kPrefix, answer);
        const auto events = fetch("1");
        ASSERT_EQ(events.size(), 2u);
        EXPECT_EQ(events[0].rfind("error Message - Error: ", 0), 0u) << events[0];
        EXPECT_EQ(events[1], "completion 2");
    }
    EXPECT_NE(recorder->events[0].find("Connection reset"), std::string::npos);
}

}  // namespace
}  // namespace quorvela
