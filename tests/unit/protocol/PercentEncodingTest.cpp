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
