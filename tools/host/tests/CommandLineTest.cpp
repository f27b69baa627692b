#include <gtest/gtest.h>

#include "CommandLine.h"
#include "EchoedInput.h"

namespace quorvela::host {
namespace {

struct Expected {
    bool isJson;
    std::string word;
    nlohmann::json json;
};

void expectArguments(const std::string& line, const std::string& command, const std::vector<Expected>& expected) {
    SCOPED_TRACE(line);
    auto parsed = CommandLine::parse(line);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->command, command);
    ASSERT_EQ(parsed->arguments.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(parsed->arguments[i].isJson, expected[i].isJson) << i;
        if (expected[i].isJson) {
            EXPECT_EQ(parsed->arguments[i].json, expected[i].json) << i;
        } else {
            EXPECT_EQ(parsed->arguments[i].word, expected[i].word) << i;
        }
    }
}

TEST(CommandLineTest, WordsAndJsonValues) {
    using nlohmann::json;
    expectArguments("register 42", "register", {{false, "42", {}}});
    expectArguments("register \"\"", "register", {{true, "", json("")}});
    expectArguments("register null", "register", {{true, "", json(nullptr)}});
    expectArguments("  event   HELLO  \"a b  c\" camp\r", "event",
                    {{false, "HELLO", {}}, {true, "", json("a b  c")}, {false, "camp", {}}});
    expectArguments("push {\"msgId\": \"1\", \"x\": [1, {\"y\": \"}\"}]}", "push",
                    {{true, "", json{{"msgId", "1"}, {"x", json::array({1, json{{"y", "}"}}})}}}});
    expectArguments("reply c1 \"say \\\"hi\\\" [now]\"", "reply",
                    {{false, "c1", {}}, {true, "", json("say \"hi\" [now]")}});
    expectArguments("wifi [] none", "wifi", {{true, "", json::array()}, {false, "none", {}}});
    expectArguments("sync nullable", "sync", {{false, "nullable", {}}});
    expectArguments("quit", "quit", {});
}

TEST(CommandLineTest, BlankAndCommentLinesAreSkipped) {
    for (const char* line : {"", "   ", "\t", "# a comment", "   # indented comment", "\r"}) {
        EXPECT_FALSE(CommandLine::parse(line)) << '"' << line << '"';
    }
}

TEST(CommandLineTest, MalformedJsonIsAnError) {
    for (const char* line :
         {"event \"open", "push {\"a\":1", "push {\"a\":}", "push [1,]", "event \"x\"y z", "push {\"a\":1}}"}) {
        EXPECT_THROW(CommandLine::parse(line), CommandError) << line;
    }
}

std::string nested(int depth) { return std::string(depth, '[') + std::string(depth, ']'); }

TEST(CommandLineTest, NestingUpToTheLimitIsTakenAndDeeperRefused) {
    auto atLimit = CommandLine::parse("push " + nested(kMaxJsonNesting));
    ASSERT_TRUE(atLimit);
    EXPECT_TRUE(atLimit->arguments.at(0).json.is_array());
    try {
        CommandLine::parse("push {\"a\":" + nested(kMaxJsonNesting) + "}");
        FAIL() << "one level too deep";
    } catch (const CommandError& error) {
        EXPECT_EQ(error.text.rfind("JSON argument nested deeper than 512 levels: {\"a\":[[[", 0), 0u) << error.text;
    }
}

TEST(CommandLineTest, EchoesAreShortAndPrintable) {
    EXPECT_EQ(EchoedInput::of("plain grüße ✓"), "plain grüße ✓");
    EXPECT_EQ(EchoedInput::of(std::string("a\0b\x1b[2J\x7f", 8)), "a\\x00b\\x1B[2J\\x7F");
    // A lone continuation byte, a truncated sequence, an overlong form, a surrogate.
    EXPECT_EQ(EchoedInput::of("\x80|\xe2\x9c|\xc0\xaf|\xed\xa0\x80"), "\\x80|\\xE2\\x9C|\\xC0\\xAF|\\xED\\xA0\\x80");
    // Characters are counted, not bytes: 200 two-byte letters fit, 201 do not.
    std::string letters;
    for (int i = 0; i < 201; ++i) letters += "ü";
    EXPECT_EQ(EchoedInput::of(letters.substr(0, 400)), letters.substr(0, 400));
    EXPECT_EQ(EchoedInput::of(letters), letters.substr(0, 400) + "...");
    try {
        CommandLine::parse("push {" + std::string(100000, 'x'));
        FAIL();
    } catch (const CommandError& error) {
        EXPECT_EQ(error.text, "unterminated JSON argument: {" + std::string(199, 'x') + "...");
    }
}

TEST(CommandLineTest, TextParameters) {
    auto parsed = CommandLine::parse("event plain \"json text\" null {\"a\":1} 7");
    ASSERT_TRUE(parsed);
    const auto& a = parsed->arguments;
    EXPECT_EQ(a[0].optionalText(), "plain");
    EXPECT_EQ(a[1].optionalText(), "json text");
    EXPECT_EQ(a[2].optionalText(), std::nullopt);
    EXPECT_THROW(a[2].text(), CommandError);
    EXPECT_THROW(a[3].optionalText(), CommandError);
    EXPECT_EQ(a[4].text(), "7");
}

TEST(CommandLineTest, Integers) {
    EXPECT_EQ(parseInteger("250", 0, 1000, "time"), 250);
    EXPECT_EQ(parseInteger("-5", -10, 10, "n"), -5);
    for (const char* bad : {"", "12x", "x", "1001", "-1", "1.5", " 3"}) {
        EXPECT_THROW(parseInteger(bad, 0, 1000, "time"), CommandError) << bad;
    }
}

}  // namespace
}  // namespace quorvela::host
