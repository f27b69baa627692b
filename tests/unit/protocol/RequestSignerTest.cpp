#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "protocol/RequestSigner.h"

namespace quorvela {
namespace {

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
    EXPECT_STREQ(RequestSigner::kNonAsciiError, "Cannot sign a request that holds non-ASCII text");
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

}  // namespace
}  // namespace quorvela
