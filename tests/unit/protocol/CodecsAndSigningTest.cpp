// The texts a request is made of: percent encoding, Base64 and UTF-8, the
// signature and the signed URL.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "protocol/Base64Text.h"
#include "protocol/PercentEncoding.h"
#include "protocol/RequestSigner.h"
#include "protocol/ServiceEndpoints.h"
#include "protocol/SignedUrl.h"
#include "protocol/Utf8Text.h"

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

TEST(RequestSigner, KnownAnswers) {
    // Published HMAC-SHA256 test vectors, and one longer than a block.
    EXPECT_EQ(RequestSigner::sign("what do ya want for nothing?", "Jefe"),
              "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");
    EXPECT_EQ(RequestSigner::sign("Hi There", std::string(20, '\x0b')),
              "b0344c61d8db38535ca8afceaf0bf12b881dc200c9833da726e9376c2e32cff7");
    EXPECT_EQ(RequestSigner::sign("", ""), "b613679a0814d9ec772f95d778c35fc5ff1697c493715653c6c712144292c5ad");
    EXPECT_NE(RequestSigner::sign(std::string(5000, 'x'), "key"), RequestSigner::sign(std::string(4999, 'x'), "key"));
}

TEST(RequestSigner, RefusesNonAsciiTextOrKey) {
    EXPECT_EQ(RequestSigner::sign("caf\xC3\xA9", "key"), std::nullopt);
    EXPECT_EQ(RequestSigner::sign("cafe", "k\xC3\xA9y"), std::nullopt);
    EXPECT_EQ(RequestSigner::sign("\x80", "key"), std::nullopt);
    EXPECT_TRUE(RequestSigner::sign("\x7F control \x01 ok", "key"));
}

TEST(RequestSigner, TextsAreReadUpToTheirFirstNul) {
    EXPECT_EQ(RequestSigner::sign(std::string("abc\0def", 7), "key"), RequestSigner::sign("abc", "key"));
    EXPECT_EQ(RequestSigner::sign("abc", std::string("key\0zzz", 7)), RequestSigner::sign("abc", "key"));
}

TEST(RequestSigner, HexStringRule) {
    std::vector<std::uint8_t> bytes32;
    for (int i = 0; i < 32; ++i) bytes32.push_back(static_cast<std::uint8_t>(i * 8 + 7));
    const std::string hex32 = "070f171f272f373f474f575f676f777f878f979fa7afb7bfc7cfd7dfe7eff7ff";
    EXPECT_EQ(RequestSigner::hexString(bytes32), hex32);
    bytes32.insert(bytes32.end(), {0xAA, 0xBB});
    EXPECT_EQ(RequestSigner::hexString(bytes32), hex32);  // beyond the 32nd byte ignored
    EXPECT_EQ(RequestSigner::hexString({0x00, 0xff, 0x10}), "00ff10");
    EXPECT_EQ(RequestSigner::hexString({}), "");
}

TEST(SignedUrl, Endpoints) {
    EXPECT_EQ(serviceBaseUrl(), "https://" QUORVELA_SERVICE_HOST "/quorvela-staging/rest/message");
    EXPECT_EQ(eventsUrl(), "https://" QUORVELA_SERVICE_HOST "/events/?");
    EXPECT_EQ(ipEchoUrl(), "https://" QUORVELA_IPECHO_HOST "/");
}

TEST(SignedUrl, RefusesARequestWithoutKey) {
    auto noKey = SignedUrl::build("sendResponse", "a/c/1", std::nullopt);
    EXPECT_FALSE(noKey.ok());
    EXPECT_EQ(noKey.error(), SignedUrl::kMissingKeyError);
    EXPECT_TRUE(SignedUrl::build("sendResponse", "a/c/1", std::string()).ok());  // an empty key still signs
}

}  // namespace
}  // namespace quorvela
