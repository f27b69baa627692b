// The bytes as the content of a workspace's stores: whatever is read back
// survives a second write and read unchanged, and region conversion only
// ever fails with its own exception.
#include <memory>
#include <string>
#include <vector>

#include "FuzzChecks.h"
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

namespace quorvela::fuzz {
namespace {

// Text form, so that a NaN read back compares equal to itself.
template <class Record>
std::vector<std::string> describeAll(const std::vector<std::shared_ptr<Record>>& records) {
    std::vector<std::string> out;
    for (const auto& r : records) out.push_back(Value(r->encodeWithCoder()).describe());
    return out;
}

template <class Record>
std::vector<std::shared_ptr<Record>> readTwice(const Value& stored) {
    auto records = RecordArchive::unarchiveRecords<Record>(stored);
    const auto again = RecordArchive::unarchiveRecords<Record>(RecordArchive::archiveRecords(records));
    expect(describeAll(again) == describeAll(records), "records read back survive a second write and read");
    for (const auto& r : records) (void)r->serialize();
    return records;
}

}  // namespace

void archiveReader(std::string_view bytes) {
    const Value stored(Value::Data(bytes.begin(), bytes.end()));
    for (const auto& g : readTwice<Geofence>(stored)) {
        try {
            (void)g->toCircularRegion();
        } catch (const CreatingGeofenceException&) {
        }
    }
    for (const auto& b : readTwice<Beacon>(stored)) {
        try {
            (void)b->toBeaconRegion();
        } catch (const CreatingBeaconException&) {
        }
    }
    (void)readTwice<Message>(stored);

    // The same bytes as a workspace's stores and as a stored workspace list.
    auto platform = std::make_shared<Platform>();
    platform->keyValueStore = std::make_shared<MemoryKeyValueStore>();
    for (const char* key : {"f-messages", "f-geofences", "f-beacons"}) platform->keyValueStore->set(key, stored);
    const auto workspace = WorkspaceRecord::initWithCoder(platform, {{"clientId", Value("f")}});
    (void)workspace->serialize();
    for (const auto& listed : WorkspaceRecord::unarchiveList(platform, stored)) (void)listed->serialize();
}

}  // namespace quorvela::fuzz
