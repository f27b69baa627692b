#include <gtest/gtest.h>

#include "quorvela/platform/BeaconRegion.h"
#include "quorvela/platform/CircularRegion.h"

namespace quorvela {
namespace {

// What a region accepts is checked through the records that make them.
TEST(Regions, EqualityNeedsTheSameKindAndValues) {
    const auto uuid = "e2c56db5-dffb-48d2-b060-d0f5a71096e0";
    const auto region = BeaconRegion::make(uuid, 65535, 0, "b");
    ASSERT_TRUE(region);
    EXPECT_TRUE(region->isEqual(*BeaconRegion::make("E2C56DB5-DFFB-48D2-B060-D0F5A71096E0", 65535, 0, "b")));
    EXPECT_FALSE(region->isEqual(*BeaconRegion::make(uuid, 65535, 1, "b")));
    EXPECT_FALSE(region->isEqual(*CircularRegion::make(10.0, 20.0, 100.0, "b")));
}

}  // namespace
}  // namespace quorvela
