// The same bytes as a geofence and as a beacon list reply: defined outcomes,
// and every record can be archived, serialised and turned into a region (or
// refuses to with an exception).
#include <exception>

#include "FuzzChecks.h"
#include "ReaderVerdict.h"
#include "protocol/RegionListParser.h"
#include "quorvela/Beacon.h"
#include "quorvela/Geofence.h"

namespace quorvela::fuzz {

void geofenceList(std::string_view bytes) {
    const bool wellFormed = readerVerdict(bytes);
    RegionListParser<Geofence> geofences("geoFence");
    expectDefinedOutcome(geofences, bytes, wellFormed);
    for (const auto& geofence : geofences.records()) {
        (void)geofence->encodeWithCoder();
        (void)geofence->serialize();
        try {
            (void)geofence->toCircularRegion();
        } catch (const std::exception&) {
        }
    }
    RegionListParser<Beacon> beacons("beacon");
    expectDefinedOutcome(beacons, bytes, wellFormed);
    for (const auto& beacon : beacons.records()) {
        (void)beacon->serialize();
        try {
            (void)beacon->toBeaconRegion();
        } catch (const std::exception&) {
        }
    }
}

}  // namespace quorvela::fuzz
