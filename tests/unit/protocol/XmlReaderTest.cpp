// The XML layer: the reader's events, and the reply parser's text buffer
// that the loaders' parsers read at each element end.
#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "protocol/ReplyParser.h"
#include "protocol/XmlReader.h"

namespace quorvela {
namespace {

// Records every event as a line; adjacent character pieces are merged.
class Recorder : public XmlReaderDelegate {
public:
    std::vector<std::string> events;
    std::vector<RequestError> errors;
    int endDocuments = 0;
    std::string throwAt;
    XmlReader* abortReader = nullptr;
    std::string abortAt;

    void didStartDocument() override { events.push_back("begin"); }
    void didStartElement(const std::string& name, const Attributes& attributes) override {
        std::string line = "<" + name;
        for (const auto& [key, value] : attributes) line += " " + key + "=" + value;
        events.push_back(line + ">");
        if (name == throwAt) throw std::runtime_error("boom");
        if (name == abortAt && abortReader) abortReader->abortParsing();
    }
    void didEndElement(const std::string& name) override { events.push_back("</" + name + ">"); }
    void foundCharacters(const std::string& text) override {
        if (!events.empty() && events.back().rfind("text:", 0) == 0) {
            events.back() += text;
        } else {
            events.push_back("text:" + text);
        }
    }
    void parseErrorOccurred(const RequestError& error) override { errors.push_back(error); }
    void didEndDocument() override { ++endDocuments; }
};

struct Outcome {
    bool ok;
    Recorder recorder;
    std::optional<RequestError> error;
};

Outcome read(const std::string& xml) {
    Outcome outcome{false, {}, {}};
    XmlReader reader(outcome.recorder);
    outcome.ok = reader.parse(xml);
    outcome.error = reader.error();
    return outcome;
}

using Events = std::vector<std::string>;

TEST(XmlReader, DeliversEventsInDocumentOrder) {
    auto out = read(R"(<?xml version="1.0"?><root a="1" b="two"><x>hi</x><y/></root>)");
    EXPECT_TRUE(out.ok);
    EXPECT_EQ(out.recorder.events,
              (Events{"begin", "<root a=1 b=two>", "<x>", "text:hi", "</x>", "<y>", "</y>", "</root>"}));
    EXPECT_EQ(out.recorder.endDocuments, 1);
    EXPECT_TRUE(out.recorder.errors.empty());
    EXPECT_FALSE(out.error);

    // Namespaces are not processed.
    EXPECT_EQ(read(R"(<x:a xmlns:x="urn:q"><x:b/></x:a>)").recorder.events,
              (Events{"begin", "<x:a xmlns:x=urn:q>", "<x:b>", "</x:b>", "</x:a>"}));
}

TEST(XmlReader, TextIsDecoded) {
    struct Case {
        std::string xml, text;
    };
    const Case cases[] = {
        {"<a>&amp;&#233;<![CDATA[<q>]]></a>", "&\xC3\xA9<q>"},
        {"<a>one\r\ntwo</a>", "one\ntwo"},
        // The reply is UTF-8 whatever its declaration claims.
        {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><a>caf\xC3\xA9</a>", "caf\xC3\xA9"},
        {"\xEF\xBB\xBF<a>bom</a>", "bom"},
    };
    for (const auto& c : cases) {
        auto out = read(c.xml);
        EXPECT_TRUE(out.ok) << c.xml << ": " << (out.error ? out.error->text() : "");
        ASSERT_GE(out.recorder.events.size(), 3u) << c.xml;
        EXPECT_EQ(out.recorder.events[2], "text:" + c.text) << c.xml;
    }
}

TEST(XmlReader, MalformedInputIsAnErrorAndNeverEndsTheDocument) {
    // Empty, cut short, mismatched, invalid UTF-8, two roots, an unknown entity: the parser tells them apart,
    // the reader only reports them.
    const std::string cases[] = {"", "<a>", "<a><b></a>", "<a>\xFF</a>", "<a/><b/>", "<a>&undefined;</a>"};
    for (const auto& xml : cases) {
        auto out = read(xml);
        EXPECT_FALSE(out.ok) << xml;
        ASSERT_TRUE(out.error) << xml;
        EXPECT_FALSE(out.error->localizedDescription.empty());
        EXPECT_NE(out.error->code, 0);
        EXPECT_TRUE(out.error->userInfo.count("line"));
        ASSERT_EQ(out.recorder.errors.size(), 1u) << xml;
        EXPECT_EQ(out.recorder.errors[0].localizedDescription, out.error->localizedDescription);
        EXPECT_EQ(out.recorder.endDocuments, 0) << xml;
    }
}

// Refusing every declaration shuts out expansion bombs and external entities alike.
TEST(XmlReader, EntityDeclarationsAreRefusedAndExternalOnesNeverLoaded) {
    for (const std::string declaration : {R"(<!ENTITY x SYSTEM "file:///etc/passwd">)", R"(<!ENTITY x "&#38;x;">)"}) {
        auto declared = read("<!DOCTYPE a [" + declaration + "]><a>&x;</a>");
        EXPECT_FALSE(declared.ok) << declaration;
        ASSERT_TRUE(declared.error);
        EXPECT_EQ(declared.error->code, XmlReader::kEntityDeclarationRefused);
        EXPECT_EQ(declared.recorder.events, Events{"begin"});
        EXPECT_EQ(declared.recorder.errors.size(), 1u);
    }

    // A document naming an external DTD is read without fetching it.
    auto subset = read(R"(<!DOCTYPE a SYSTEM "file:///etc/passwd"><a>ok</a>)");
    EXPECT_TRUE(subset.ok);
    EXPECT_EQ(subset.recorder.events, (Events{"begin", "<a>", "text:ok", "</a>"}));
    EXPECT_TRUE(read(R"(<!DOCTYPE a [<!ELEMENT a (#PCDATA)>]><a>ok</a>)").ok) << "declarations without entities";
}

TEST(XmlReader, ThrowingOrAbortingDelegateStopsAtOnce) {
    for (const bool abort : {false, true}) {
        Recorder recorder;
        XmlReader reader(recorder);
        (abort ? recorder.abortAt : recorder.throwAt) = "b";
        recorder.abortReader = &reader;
        EXPECT_FALSE(reader.parse("<a><b>x</b><c/></a>"));
        ASSERT_TRUE(reader.error());
        EXPECT_EQ(reader.error()->code, abort ? XmlReader::kAborted : XmlReader::kDelegateFailed);
        EXPECT_EQ(recorder.events.back(), "<b>");  // nothing after the stop
        EXPECT_EQ(recorder.errors.size(), 1u);
        EXPECT_EQ(recorder.endDocuments, 0);
    }
}

TEST(XmlReader, LargeDocumentsSpanSeveralPieces) {
    std::string xml = "<list>";
    const std::string item = "<item>" + std::string(1000, 'z') + "</item>";
    for (int i = 0; i < 3000; ++i) xml += item;  // about 3 MB
    xml += "</list>";
    struct Counter : XmlReaderDelegate {
        std::size_t items = 0, chars = 0;
        void didEndElement(const std::string& name) override { items += name == "item"; }
        void foundCharacters(const std::string& text) override { chars += text.size(); }
    } counter;
    XmlReader reader(counter);
    EXPECT_TRUE(reader.parse(xml));
    EXPECT_EQ(counter.items, 3000u);
    EXPECT_EQ(counter.chars, 3000u * 1000u);
    EXPECT_FALSE(reader.parse("<a/>")) << "one document per reader";
}

// Takes the tokenizer's own texts; throws at one element's start.
class TokenRecorder : public XmlReader::Tokens {
public:
    std::vector<std::string> events;
    std::string throwAt;

    void startTag(const char* name, const char** attributes) override {
        std::string line = std::string("<") + name;
        for (const char** a = attributes; a[0] != nullptr; a += 2) line += std::string(" ") + a[0] + "=" + a[1];
        events.push_back(line + ">");
        if (name == throwAt) throw std::runtime_error("boom");
    }
    void endTag(const char* name) override { events.push_back(std::string("</") + name + ">"); }
    void text(std::string_view text) override { events.push_back("text:" + std::string(text)); }
};

TEST(XmlReader, TokensTakeTheElementAndTextEventsAndTheDelegateTheRest) {
    Recorder delegate;
    TokenRecorder tokens;
    XmlReader reader(delegate, tokens);
    EXPECT_TRUE(reader.parse(R"(<r k="v"><a>x&amp;y</a></r>)"));
    EXPECT_EQ(delegate.events, Events{"begin"});
    EXPECT_EQ(delegate.endDocuments, 1);
    EXPECT_EQ(tokens.events, (Events{"<r k=v>", "<a>", "text:x", "text:&", "text:y", "</a>", "</r>"}));

    // A throwing token handler stops the parse like a throwing delegate.
    Recorder stopped;
    TokenRecorder throwing;
    throwing.throwAt = "b";
    XmlReader second(stopped, throwing);
    EXPECT_FALSE(second.parse("<r><a/><b/><c/></r>"));
    ASSERT_TRUE(second.error());
    EXPECT_EQ(second.error()->code, XmlReader::kDelegateFailed);
    EXPECT_EQ(throwing.events, (Events{"<r>", "<a>", "</a>", "<b>"}));
}

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

// A subclass may keep the buffer past an end; the next parse starts empty.
TEST(ReplyParser, KeptBufferLastsUntilTheNextParse) {
    BufferProbe probe;
    probe.keepAt = "transactionResult";
    EXPECT_TRUE(probe.parse("<x><transactionResult>a</transactionResult><next>b</next></x>"));
    EXPECT_EQ(probe.at("next"), "ab");
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
