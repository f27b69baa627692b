// Arbitrary bytes as a geofence and as a beacon list reply: the parsers
// never crash, report as many records as list elements ended, and the
// records can be archived, serialised and turned into regions (or refuse to).
#include <cstddef>
#include <cstdint>
#include <exception>
#include <string_view>

#include "protocol/RegionListParser.h"
#include "quorvela/Beacon.h"
#include "quorvela/Geofence.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    quorvela::RegionListParser<quorvela::Geofence> geofences("geoFence");
    const bool wellFormed = geofences.parse(bytes);
    if (wellFormed == geofences.parseError().has_value()) __builtin_trap();
    for (const auto& geofence : geofences.records()) {
        (void)geofence->encodeWithCoder();
        (void)geofence->serialize();
        try {
            (void)geofence->toCircularRegion();
        } catch (const std::exception&) {
        }
    }

    quorvela::RegionListParser<quorvela::Beacon> beacons("beacon");
    if (beacons.parse(bytes) != wellFormed) __builtin_trap();
    for (const auto& beacon : beacons.records()) {
        (void)beacon->serialize();
        try {
            (void)beacon->toBeaconRegion();
        } catch (const std::exception&) {
        }
    }
    return 0;
}
