// What a host can do with the records it is handed: read them and ask for the
// documented requests, never change them. The library's own record types keep
// the setters, so the two faces are checked side by side.
#include <string>
#include <type_traits>

#include "model/BeaconRecord.h"
#include "model/GeofenceRecord.h"
#include "model/MessageRecord.h"
#include "model/WorkspaceRecord.h"
#include "quorvela/Workspace.h"

namespace quorvela::test {
namespace {

template <class T>
concept TakesParserInput = requires(T& record) {
    record.setValue(std::string("x"), std::string("name"));
};
template <class T>
concept SetsMessageText = requires(T& record) {
    record.setSubject(std::string("x"));
};
template <class T>
concept SetsGeofenceCircle = requires(T& record) {
    record.setRadius(1.0);
};
template <class T>
concept SetsBeaconIdentity = requires(T& record) {
    record.setUuid(std::string("x"));
};
template <class T>
concept ChangesWorkspace = requires(T& workspace, const std::shared_ptr<Message>& message) {
    workspace.setSubscribed(true);
    workspace.processMessage(message);
};
template <class T>
concept TakesLoaderCallbacks = requires(T& workspace) {
    workspace.checkSynchronizeEnd();
    workspace.loadBeaconsReturnedError(std::string("x"));
};

static_assert(!TakesParserInput<Message> && !TakesParserInput<Geofence> && !TakesParserInput<Beacon>);
static_assert(TakesParserInput<MessageRecord> && TakesParserInput<GeofenceRecord> && TakesParserInput<BeaconRecord>);
static_assert(!SetsMessageText<Message> && SetsMessageText<MessageRecord>);
static_assert(!SetsGeofenceCircle<Geofence> && SetsGeofenceCircle<GeofenceRecord>);
static_assert(!SetsBeaconIdentity<Beacon> && SetsBeaconIdentity<BeaconRecord>);
static_assert(!ChangesWorkspace<Workspace> && ChangesWorkspace<WorkspaceRecord>);
static_assert(!TakesLoaderCallbacks<Workspace> && TakesLoaderCallbacks<WorkspaceRecord>);

// A record handed out cannot be overwritten through assignment, nor made
// empty by the host; a copy is the host's own.
static_assert(!std::is_copy_assignable_v<Message> && !std::is_default_constructible_v<Message>);
static_assert(!std::is_copy_assignable_v<Geofence> && !std::is_default_constructible_v<Geofence>);
static_assert(!std::is_copy_assignable_v<Beacon> && !std::is_default_constructible_v<Beacon>);
static_assert(std::is_copy_constructible_v<Message> && std::is_copy_constructible_v<Geofence>);
static_assert(std::is_abstract_v<Workspace> && !std::is_copy_constructible_v<Workspace>);

}  // namespace
}  // namespace quorvela::test
