#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "protocol/PercentEncoding.h"

namespace quorvela {
namespace {

TEST(PercentEncoding, KeepsExactlyThePathSet) {
    const std::string kept = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-._~!$&'()*+,=:@/";
    for (int byte = 0; byte < 256; ++byte) {
        const std::string one(1, static_cast<char>(byte));
        const bool stays = byte != 0 && kept.find(static_cast<char>(byte)) != std::string::npos;
        char expected[4];
        std::snprintf(expected, sizeof expected, "%%%02X", byte);
        EXPECT_EQ(PercentEncoding::encodePath(one), stays ? one : std::string(expected)) << "byte " << byte;
    }
}

TEST(PercentEncoding, Table) {
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"a b", "a%20b"},
        {"what?", "what%3F"},
        {"100%", "100%25"},
        {"a;b", "a%3Bb"},
        {"#frag", "%23frag"},
        {"\"q\"", "%22q%22"},
        {"caf\xC3\xA9", "caf%C3%A9"},
        {"line\nbreak\ttab\x7F", "line%0Abreak%09tab%7F"},
        {std::string("nul\0x", 5), "nul%00x"},
        {"a=b&c+d/e", "a=b&c+d/e"},
        {"[x]{y}|\\^`<>", "%5Bx%5D%7By%7D%7C%5C%5E%60%3C%3E"},
        {"", ""},
    };
    for (const auto& c : cases) EXPECT_EQ(PercentEncoding::encodePath(c.in), c.out) << c.in;
}

TEST(PercentEncoding, DecodeUndoesEncodingOfEveryByte) {
    std::string all;
    for (int byte = 0; byte < 256; ++byte) all += static_cast<char>(byte);
    EXPECT_EQ(PercentEncoding::decode(PercentEncoding::encodePath(all)), all);
    EXPECT_EQ(PercentEncoding::decode("%c3%a9"), "\xC3\xA9");  // lowercase digits too
}

TEST(PercentEncoding, DecodeRefusesBrokenEscapes) {
    for (const char* bad : {"%", "%4", "abc%", "%zz", "%4g", "x%-1"})
        EXPECT_EQ(PercentEncoding::decode(bad), std::nullopt) << bad;
}

}  // namespace
}  // namespace quorvela
