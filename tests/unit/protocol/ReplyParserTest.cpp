#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "protocol/ReplyParser.h"

namespace quorvela {
namespace {

// Writes down what the buffer held at each element end.
class BufferProbe : public ReplyParser {
public:
    std::vector<std::pair<std::string, std::optional<std::string>>> ends;
    std::string keepAt;
    int endDocuments = 0;
    int errors = 0;

    void didEndDocument() override { ++endDocuments; }
    void parseErrorOccurred(const RequestError&) override { ++errors; }

    std::optional<std::string> at(const std::string& name) const {
        for (const auto& [element, text] : ends)
            if (element == name) return text;
        ADD_FAILURE() << "no end of " << name;
        return std::nullopt;
    }

protected:
    AfterEnd elementEnded(const std::string& name) override {
        ends.emplace_back(name, currentStringValue());
        return name == keepAt ? AfterEnd::KeepBuffer : AfterEnd::ClearBuffer;
    }
};

using Ends = std::vector<std::pair<std::string, std::optional<std::string>>>;

TEST(ReplyParser, EachElementEndSeesTheTextCollectedSinceTheLastEnd) {
    const std::string longText(200, 'a');
    const std::pair<std::string, Ends> cases[] = {
        {"<r><successful>true</successful><message>Welcome &amp; hi</message></r>",
         {{"successful", "true"}, {"message", "Welcome & hi"}, {"r", std::nullopt}}},
        {"<r>\n  <successful>true</successful>\n  <message>m</message>\n</r>",
         {{"successful", "\n  true"}, {"message", "\n  m"}, {"r", "\n"}}},
        {"<r><a></a><b/><c>x</c><d/></r>",
         {{"a", std::nullopt}, {"b", std::nullopt}, {"c", "x"}, {"d", std::nullopt}, {"r", std::nullopt}}},
        {"<r><t>a &lt; b<![CDATA[ & c ]]>d&#10;e</t></r>", {{"t", "a < b & c d\ne"}, {"r", std::nullopt}}},
        {"<r><wrap>lead<child>x</child>tail</wrap></r>", {{"child", "leadx"}, {"wrap", "tail"}, {"r", std::nullopt}}},
        {"<r><long>" + longText + "</long><none/><short>xy</short><empty></empty></r>",
         {{"long", longText}, {"none", std::nullopt}, {"short", "xy"}, {"empty", std::nullopt}, {"r", std::nullopt}}},
    };
    for (const auto& [xml, ends] : cases) {
        BufferProbe probe;
        EXPECT_TRUE(probe.parse(xml));
        EXPECT_EQ(probe.ends, ends) << xml;
        EXPECT_EQ(probe.endDocuments, 1);
    }
}

TEST(ReplyParser, SubclassMayKeepTheBufferPastAnEnd) {
    BufferProbe probe;
    probe.keepAt = "transactionResult";
    EXPECT_TRUE(probe.parse("<x><transactionResult>a</transactionResult><next>b</next></x>"));
    EXPECT_EQ(probe.at("next"), "ab");
}

TEST(ReplyParser, EachParseStartsWithAnEmptyBuffer) {
    BufferProbe probe;
    EXPECT_FALSE(probe.parse("<r>left over"));
    probe.ends.clear();
    EXPECT_TRUE(probe.parse("<r><a/></r>"));
    EXPECT_EQ(probe.at("a"), std::nullopt);
    EXPECT_FALSE(probe.parseError());
}

// A parser written against the string steps: names and attributes are made
// for it from the tokenizer's texts.
class StringSteps : public ReplyParser {
public:
    std::vector<std::string> events;

    void didStartElement(const std::string& name, const Attributes& attributes) override {
        std::string line = "<" + name;
        for (const auto& [key, value] : attributes) line += " " + key + "=" + value;
        events.push_back(line + ">");
    }

protected:
    AfterEnd elementEnded(const std::string& name) override {
        events.push_back("</" + name + "> " + currentStringValue().value_or("(null)"));
        return AfterEnd::ClearBuffer;
    }
};

TEST(ReplyParser, StringStepsSeeNamesAttributesAndText) {
    StringSteps parser;
    EXPECT_TRUE(parser.parse(R"(<r b="2" a="1"><item id="x&amp;y">t &lt; u</item><e/></r>)"));
    EXPECT_EQ(parser.events, (std::vector<std::string>{"<r a=1 b=2>", "<item id=x&y>", "</item> t < u", "<e>",
                                                       "</e> (null)", "</r> (null)"}));
}

}  // namespace
}  // namespace quorvela
