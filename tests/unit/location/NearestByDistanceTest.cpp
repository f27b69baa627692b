// The refresh's partial ranking against a plain stable sort by geodesic
// distance: random sets of near, far and coinciding circles, entries without
// a circle, invalid positions, every budget.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "location/GeoDistance.h"
#include "location/RegionEntry.h"
#include "location/RegionSelection.h"
#include "quorvela/platform/BeaconRegion.h"
#include "quorvela/platform/CircularRegion.h"

namespace quorvela::test {
namespace {

struct RandomSet {
    std::vector<RegionEntry> entries;
    Location position;
};

double circleDistance(const RegionEntry& entry, const Location& position) {
    auto circle = std::dynamic_pointer_cast<CircularRegion>(entry.region);
    const double d = circle ? GeoDistance::between(circle->latitude(), circle->longitude(), position.latitude,
                                                   position.longitude)
                            : std::numeric_limits<double>::quiet_NaN();
    return std::isnan(d) ? std::numeric_limits<double>::infinity() : d;
}

// The positions of all entries, nearest first, equal distances in list order.
std::vector<std::size_t> stableSorted(const RandomSet& set) {
    std::vector<double> distances;
    for (const auto& entry : set.entries) distances.push_back(circleDistance(entry, set.position));
    std::vector<std::size_t> order(set.entries.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return distances[a] < distances[b]; });
    return order;
}

RandomSet randomSet(std::mt19937& random) {
    RandomSet set;
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    // From a few metres to the whole globe, so the cheap bound is tried both
    // where it is tight and where it is loose.
    const double spread = std::pow(10.0, -4.0 + 6.0 * unit(random));
    const double lat = -89.0 + 178.0 * unit(random);
    const double lon = -179.0 + 358.0 * unit(random);
    set.position.latitude = lat;
    set.position.longitude = lon;
    if (unit(random) < 0.05) set.position.latitude = std::numeric_limits<double>::quiet_NaN();

    const int count = static_cast<int>(unit(random) * 120.0);
    for (int i = 0; i < count; ++i) {
        const std::string id = "r" + std::to_string(i);
        std::shared_ptr<Region> region;
        const double kind = unit(random);
        if (kind < 0.05) {
            region = BeaconRegion::make("E2C56DB5-DFFB-48D2-B060-D0F5A71096E0", 1, 2, id);
        } else if (kind < 0.08) {
            region = nullptr;
        } else if (kind < 0.25 && !set.entries.empty()) {
            // The same centre as an earlier circle: an exact tie.
            const auto& earlier = set.entries[static_cast<std::size_t>(unit(random) * set.entries.size())];
            if (auto circle = std::dynamic_pointer_cast<CircularRegion>(earlier.region))
                region = CircularRegion::make(circle->latitude(), circle->longitude(), 50.0, id);
        } else if (kind < 0.35) {
            // Mirrored across the position's meridian: equal distances by symmetry.
            const double dLat = spread * (unit(random) - 0.5);
            const double dLon = spread * unit(random);
            region = CircularRegion::make(std::clamp(lat + dLat, -90.0, 90.0), lon + dLon, 50.0, id);
            set.entries.push_back(RegionEntry{region, id, RegionEntry::kDistantPast, nullptr});
            region = CircularRegion::make(std::clamp(lat + dLat, -90.0, 90.0), lon - dLon, 50.0, id + "m");
        }
        if (!region && kind >= 0.08) {
            const double la = std::clamp(lat + spread * (unit(random) - 0.5), -90.0, 90.0);
            double lo = lon + spread * (unit(random) - 0.5) * 2.0;
            lo = std::remainder(lo, 360.0);
            region = CircularRegion::make(la, lo, 50.0, id);
        }
        set.entries.push_back(RegionEntry{region, id, RegionEntry::kDistantPast, nullptr});
    }
    return set;
}

TEST(NearestByDistanceTest, ChoosesAndSortsWhatAStableSortPutsFirst) {
    std::mt19937 random(20240611);
    int withTies = 0;
    for (int round = 0; round < 400; ++round) {
        SCOPED_TRACE(round);
        RandomSet set = randomSet(random);
        const auto sorted = stableSorted(set);
        for (std::size_t i = 1; i < sorted.size(); ++i)
            if (circleDistance(set.entries[sorted[i]], set.position) ==
                circleDistance(set.entries[sorted[i - 1]], set.position))
                ++withTies;
        for (std::size_t budget : {std::size_t{0}, std::size_t{1}, std::size_t{3}, std::size_t{20}, set.entries.size(),
                                   set.entries.size() + 5}) {
            SCOPED_TRACE(budget);
            const auto nearest = RegionSelection::nearestByDistance(set.entries, set.position, budget);
            const std::vector<std::size_t> expected(sorted.begin(), sorted.begin() + std::min(budget, sorted.size()));
            ASSERT_EQ(nearest, expected);
        }
        std::vector<std::string> expected;
        for (std::size_t i : sorted) expected.push_back(*set.entries[i].name);
        RegionSelection::sortByDistance(set.entries, set.position);
        std::vector<std::string> names;
        for (const auto& entry : set.entries) names.push_back(*entry.name);
        ASSERT_EQ(names, expected);
    }
    EXPECT_GT(withTies, 100) << "the sets should exercise equal distances";
}

}  // namespace
}  // namespace quorvela::test
