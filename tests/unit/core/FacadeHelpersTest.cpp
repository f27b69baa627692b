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
    for (const auto& c : cases) EXPECT_EQ(Quorvela::timeStampFor(c.seconds), c.expected) << c.seconds;
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
