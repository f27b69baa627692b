#include <gtest/gtest.h>

#include "quorvela/platform/BeaconRegion.h"
#include "quorvela/platform/CircularRegion.h"

namespace quorvela {
namespace {

TEST(Regions, CreationValidatesItsInput) {
    EXPECT_TRUE(CircularRegion::make(-90.0, 180.0, 0.0, "a"));
    EXPECT_FALSE(CircularRegion::make(91.0, 0.0, 1.0, "a"));
    EXPECT_FALSE(CircularRegion::make(0.0, 0.0, -0.5, "a"));
    const auto uuid = "e2c56db5-dffb-48d2-b060-d0f5a71096e0";
    const auto region = BeaconRegion::make(uuid, 65535, 0, "b");
    ASSERT_TRUE(region);
    EXPECT_EQ(region->proximityUUID(), "E2C56DB5-DFFB-48D2-B060-D0F5A71096E0");
    EXPECT_TRUE(region->isEqual(*BeaconRegion::make("E2C56DB5-DFFB-48D2-B060-D0F5A71096E0", 65535, 0, "b")));
    EXPECT_FALSE(region->isEqual(*BeaconRegion::make(uuid, 65535, 1, "b")));
    EXPECT_FALSE(region->isEqual(*CircularRegion::make(10.0, 20.0, 100.0, "b")));
    EXPECT_FALSE(BeaconRegion::make("E2C56DB5-DFFB-48D2-B060-D0F5A71096E0 ", 1, 1, "b"));
}

}  // namespace
}  // namespace quorvela
