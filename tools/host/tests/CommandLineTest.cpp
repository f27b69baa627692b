#include <gtest/gtest.h>

#include "CommandLine.h"
#include "EchoedInput.h"

namespace quorvela::host {
namespace {

// A parsed line as text: the command, then each argument as w:word or
// j:<json>; "skipped" for no command, "error <text>" when refused.
std::string described(const std::string& line) {
    try {
        auto parsed = CommandLine::parse(line);
        if (!parsed) return "skipped";
        std::string text = parsed->command;
        for (const auto& a : parsed->arguments) text += a.isJson ? " j:" + a.json.dump() : " w:" + a.word;
        return text;
    } catch (const CommandError& error) {
        return "error " + error.text;
    }
}

TEST(CommandLineTest, WordsJsonValuesSkippedAndMalformedLines) {
    const std::pair<const char*, const char*> cases[] = {
        {"register 42", "register w:42"},
        {"register \"\"", "register j:\"\""},
        {"register null", "register j:null"},
        {"  event   HELLO  \"a b  c\" camp\r", "event w:HELLO j:\"a b  c\" w:camp"},
        {"push {\"msgId\": \"1\", \"x\": [1, {\"y\": \"}\"}]}", "push j:{\"msgId\":\"1\",\"x\":[1,{\"y\":\"}\"}]}"},
        {"reply c1 \"say \\\"hi\\\" [now]\"", "reply w:c1 j:\"say \\\"hi\\\" [now]\""},
        {"wifi [] none", "wifi j:[] w:none"},
        {"sync nullable", "sync w:nullable"},
        {"quit", "quit"},
        {"", "skipped"},
        {"   ", "skipped"},
        {"\t", "skipped"},
        {"# a comment", "skipped"},
        {"   # indented comment", "skipped"},
        {"\r", "skipped"},
        {"event \"open", "error unterminated JSON argument: \"open"},
        {"push {\"a\":1", "error unterminated JSON argument: {\"a\":1"},
        {"push {\"a\":}", "error malformed JSON argument: {\"a\":}"},
        {"push [1,]", "error malformed JSON argument: [1,]"},
        {"event \"x\"y z", "error text after a JSON argument: \"x\"y z"},
        {"push {\"a\":1}}", "error text after a JSON argument: {\"a\":1}}"},
    };
    for (const auto& [line, expected] : cases) EXPECT_EQ(described(line), expected) << '"' << line << '"';
}

std::string nested(int depth) { return std::string(depth, '[') + std::string(depth, ']'); }

TEST(CommandLineTest, NestingUpToTheLimitIsTakenAndDeeperRefused) {
    EXPECT_EQ(described("push " + nested(kMaxJsonNesting)), "push j:" + nested(kMaxJsonNesting));
    EXPECT_EQ(described("push {\"a\":" + nested(kMaxJsonNesting) + "}")
                  .rfind("error JSON argument nested deeper than 512 levels: {\"a\":[[[", 0),
              0u);
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
    EXPECT_EQ(described("push {" + std::string(100000, 'x')),
              "error unterminated JSON argument: {" + std::string(199, 'x') + "...");
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
    for (const char* bad : {"", "12x", "x", "1001", "-1", "1.5", " 3"})
        EXPECT_THROW(parseInteger(bad, 0, 1000, "time"), CommandError) << bad;
}

}  // namespace
}  // namespace quorvela::host
