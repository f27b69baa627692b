#include <gtest/gtest.h>

#include <string>

#include "protocol/Base64Text.h"
#include "protocol/Utf8Text.h"

namespace quorvela {
namespace {

TEST(TextCodecs, Base64RoundTripsAndFillCharactersAreNotDecodedAsBytes) {
    using namespace std::string_literals;
    const std::pair<std::string, std::string> cases[] = {{"", ""},        {"a", "YQ=="},     {"ab", "YWI="},
                                                         {"abc", "YWJj"}, {"\0\0"s, "AAA="}, {"??\xFF", "Pz//"}};
    for (const auto& [plain, encoded] : cases) {
        EXPECT_EQ(Base64Text::encode(plain), encoded);
        EXPECT_EQ(Base64Text::decode(encoded), plain);
    }
    EXPECT_FALSE(Base64Text::decode("abc").has_value());
}

TEST(TextCodecs, Utf8TakesShortestFormsUpToTheLastCodePointOnly) {
    const struct {
        std::string bytes;
        bool valid;
    } cases[] = {
        {"plain", true},
        {"\xC3\xB1", true},           // U+00F1
        {"\xE2\x82\xAC", true},       // U+20AC
        {"\xF0\x90\x80\x80", true},   // U+10000, the first four-byte form
        {"\xF0\x9F\x98\x80", true},   // U+1F600
        {"\xF4\x8F\xBF\xBF", true},   // U+10FFFF
        {"\xC0\x80", false},          // overlong two-byte
        {"\xE0\x80\x80", false},      // overlong three-byte
        {"\xF0\x80\x80\x80", false},  // overlong four-byte
        {"\xED\xA0\x80", false},      // surrogate
        {"\xF4\x90\x80\x80", false},  // above U+10FFFF
        {"\xE2\x82", false},          // cut short
        {"\x80", false},              // lone continuation
        {"\xF5\x80\x80\x80", false},  // no such lead byte
    };
    for (const auto& [bytes, valid] : cases)
        EXPECT_EQ(Utf8Text::isValid(bytes), valid) << testing::PrintToString(bytes);
}

}  // namespace
}  // namespace quorvela
