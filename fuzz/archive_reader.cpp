// Feeds arbitrary bytes to the stored-record reader as the content of a
// workspace store, checking that whatever is read back survives a second
// write and read unchanged, and that region conversion only ever fails with
// its own exception.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "model/RecordArchive.h"
#include "model/WorkspaceRecord.h"
#include "platform/MemoryKeyValueStore.h"
#include "quorvela/Beacon.h"
#include "quorvela/CreatingBeaconException.h"
#include "quorvela/CreatingGeofenceException.h"
#include "quorvela/Geofence.h"
#include "quorvela/Message.h"
#include "quorvela/platform/BeaconRegion.h"
#include "quorvela/platform/CircularRegion.h"
#include "quorvela/platform/Platform.h"

namespace {

using namespace quorvela;

// Text form, so that a NaN read back compares equal to itself.
template <class Record>
std::vector<std::string> describeAll(const std::vector<std::shared_ptr<Record>>& records) {
    std::vector<std::string> out;
    for (const auto& r : records) out.push_back(Value(r->encodeWithCoder()).describe());
    return out;
}

template <class Record>
std::vector<std::shared_ptr<Record>> readAndCheck(const Value& stored) {
    auto records = RecordArchive::unarchiveRecords<Record>(stored);
    const auto again = RecordArchive::unarchiveRecords<Record>(RecordArchive::archiveRecords(records));
    if (describeAll(again) != describeAll(records)) std::abort();
    for (const auto& r : records) (void)r->serialize();
    return records;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Value stored(Value::Data(data, data + size));

    for (const auto& g : readAndCheck<Geofence>(stored)) {
        try {
            (void)g->toCircularRegion();
        } catch (const CreatingGeofenceException&) {
        }
    }
    for (const auto& b : readAndCheck<Beacon>(stored)) {
        try {
            (void)b->toBeaconRegion();
        } catch (const CreatingBeaconException&) {
        }
    }
    (void)readAndCheck<Message>(stored);

    // The same bytes as a workspace's stores and as a stored workspace list.
    auto platform = std::make_shared<Platform>();
    platform->keyValueStore = std::make_shared<MemoryKeyValueStore>();
    platform->keyValueStore->set("f-messages", stored);
    platform->keyValueStore->set("f-geofences", stored);
    platform->keyValueStore->set("f-beacons", stored);
    const auto ws = WorkspaceRecord::initWithCoder(platform, {{"clientId", Value("f")}});
    (void)ws->serialize();
    for (const auto& listed : WorkspaceRecord::unarchiveList(platform, stored)) (void)listed->serialize();
    return 0;
}
