#include "protocol/MessageFields.h"
#include "protocol/PendingMessageDataLoader.h"
#include "protocol/PendingMessagesParser.h"
#include "protocol/SingleMessageParser.h"
#include "unit/protocol/LoaderHarness.h"

namespace quorvela::test {
namespace {

using Text = std::optional<std::string>;

TEST(PendingMessagesParserTest, Grammar) {
    struct Case {
        const char* name;
        const char* xml;
        std::vector<std::vector<std::pair<const char*, Text>>> expected;  // per message: field -> value
    };
    const Case cases[] = {
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
        {"field elements outside any message are ignored", "<messages><id>9</id></messages>", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        PendingMessagesParser parser;
        ASSERT_TRUE(parser.parse(c.xml));
        ASSERT_EQ(parser.messages().size(), c.expected.size());
        for (std::size_t i = 0; i < c.expected.size(); ++i) {
            const auto dict = parser.messages()[i]->encodeWithCoder();
            for (const auto& [field, value] : c.expected[i]) {
                auto found = dict.find(field);
                EXPECT_EQ(found == dict.end() ? std::nullopt : found->second.optionalText(), value) << field;
            }
        }
    }
}

TEST(MessageFieldsTest, EveryFieldNameIsFound) {
    std::size_t index = 0;
    for (const char* field : Message::fieldNames()) EXPECT_EQ(MessageFields::indexOf(field), index++) << field;
}

TEST(SingleMessageParserTest, Grammar) {
    struct Case {
        const char* name;
        const char* xml;
        Text id;  // nothing: no message
        Text subject;
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

using PendingMessageLoaderTest = LoaderTest;

TEST_F(PendingMessageLoaderTest, BothFormsHandOverTheMessagesInOrder) {
    answer(FakeHttpClient::reply("<m><message><id>1</id></message><message><id>2</id></message></m>"));
    for (bool workspaceForm : {false, true}) {
        SCOPED_TRACE(workspaceForm);
        auto made = loader<PendingMessageDataLoader>(platform, credentials);
        run([&] {
            if (workspaceForm) made->startLoadingMessageFromWorkspace(ws, nullptr);
            else made->startLoadingMessageWithCompletionHandler(nullptr);
        });
        ASSERT_EQ(recorder->messages.size(), 2u);
        EXPECT_EQ(recorder->messages[0]->id(), "1");
        EXPECT_EQ(recorder->messages[1]->id(), "2");
    }
}

TEST_F(PendingMessageLoaderTest, ParseErrorIsLoggedWithItsDetails) {
    answer(FakeHttpClient::reply("<a>"));
    const auto events = run([&] {
        loader<PendingMessageDataLoader>(platform, credentials)->startLoadingMessageWithCompletionHandler(nullptr);
    });
    ASSERT_EQ(events.size(), 1u);
    const std::string text = events[0].substr(std::string("pending error Messages - Error: ").size());
    EXPECT_NE(text.find("{"), std::string::npos) << text;
    EXPECT_TRUE(log().contains("QUORVELA-DEBUG: " + text)) << text;
}

}  // namespace
}  // namespace quorvela::test
