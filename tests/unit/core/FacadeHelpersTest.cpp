#include <cmath>

#include "CoreFixture.h"

namespace quorvela::test {
namespace {

TEST(TimeStampTest, MillisecondRule) {
    struct Case {
        double seconds;
        std::int64_t expected;
    };
    const Case cases[] = {{0.5, 500},        {1.0009, 1000}, {1700000000.9876, 1700000000987}, {0.0, 0}, {-1.25, -1250},
                          {std::nan(""), 0}, {1e300, 0}};
    for (const auto& c : cases) {
        EXPECT_EQ(Quorvela::timeStampFor(c.seconds), c.expected) << c.seconds;
    }
}

TEST(SigningTest, FacadeFormsForwardToSigner) {
    // HMAC-SHA256("", "") — a well-known vector.
    EXPECT_EQ(Quorvela::encodeString("", ""), "b613679a0814d9ec772f95d778c35fc5ff1697c493715653c6c712144292c5ad");
    EXPECT_FALSE(Quorvela::encodeString("caf\xc3\xa9", "key"));
    EXPECT_EQ(Quorvela::NSDataToNSString({0x00, 0xab, 0x7f}), "00ab7f");
}

using FacadeHelpersTest = CoreFixture;

TEST_F(FacadeHelpersTest, InstanceTimeStampReadsPlatformClock) {
    fakeClock(*platform).set(1700000000.9876);
    EXPECT_EQ(facade->currentTimeStamp(), 1700000000987);
}

TEST_F(FacadeHelpersTest, DebugMessageFollowsLoggingSwitch) {
    facade->debugMessage("hello");
    facade->setLogAllEventsDisabled(true);
    facade->debugMessage("hidden");
    EXPECT_EQ(log().lines(), std::vector<std::string>{"QUORVELA-DEBUG: hello"});
}

}  // namespace
}  // namespace quorvela::test
