#pragma once
// A joinable message channel of the service, with its inbox, geofences and
// beacons, as hosts see it: the library makes, fills and stores workspaces;
// a host reads them and asks for the documented requests.

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "quorvela/Export.h"
#include "quorvela/FetchResult.h"
#include "quorvela/Value.h"

namespace quorvela {

class Message;
class Geofence;
class Beacon;

/// Held by std::shared_ptr; only the library creates workspaces (the facade's
/// lists, `getDefaultWorkspace`, the delegate's calls). Every operation is
/// safe from any thread.
class QUORVELA_EXPORT Workspace {
public:
    using MessageList = std::vector<std::shared_ptr<Message>>;
    using GeofenceList = std::vector<std::shared_ptr<Geofence>>;
    using BeaconList = std::vector<std::shared_ptr<Beacon>>;
    /// A background-fetch result handler: 0 new data, 2 failed.
    using Completion = FetchCompletion;

    virtual ~Workspace();
    Workspace(const Workspace&) = delete;
    Workspace& operator=(const Workspace&) = delete;

    // Properties, as the service last described the workspace.
    virtual std::optional<std::string> clientId() const = 0;
    virtual std::optional<std::string> name() const = 0;
    virtual std::optional<std::string> publicKey() const = 0;
    virtual std::optional<std::string> callbackUrl() const = 0;
    virtual bool subscribed() const = 0;

    /// A time stamp slot for the host; the library neither sets nor reads it.
    virtual double lastPendingMessagesFetch() const = 0;
    virtual void setLastPendingMessagesFetch(double value) = 0;

    /// Equal when client id and public key are equal.
    bool isEqual(const Workspace& other) const;
    std::size_t hash() const;
    bool operator==(const Workspace& other) const { return isEqual(other); }

    /// Texts (null ones left out), "subscribed" as "YES"/"NO", and the
    /// serialised lists ("messages", "geofences", "beacons").
    virtual Value::Dictionary serialize() const = 0;

    /// A snapshot of the inbox, newest first.
    virtual MessageList getMessages() const = 0;
    virtual GeofenceList getGeofences() const = 0;
    virtual BeaconList getBeacons() const = 0;
    /// The beacons of type "BEACON" / "WIFI_BEACON", in list order.
    virtual BeaconList getBluetoothBeacons() const = 0;
    virtual BeaconList getWifiBeacons() const = 0;

    // Requests. Completions and the facade delegate's calls arrive off the
    // calling thread, on the transport's reply threads.

    /// Sends `text` as the stored user's response in this workspace; without
    /// a stored user it only writes "sendMessage: User can't be null or empty"
    /// to the system log.
    virtual void sendMessage(const std::optional<std::string>& text) = 0;
    /// Downloads one message into the inbox; the delegate hears
    /// `pushReceivedFromWorkspace` for it before `completion` runs.
    virtual void fetchMessageWithID(const std::optional<std::string>& messageId, Completion completion) = 0;
    /// Fetches and stores the geofence / beacon list.
    virtual void fetchGeofences() = 0;
    virtual void fetchGeofencesWithCompletionHandler(Completion completion) = 0;
    virtual void fetchBeacons() = 0;
    virtual void fetchBeaconsWithCompletionHandler(Completion completion) = 0;
    /// Fetches the geofences and the beacons at once, then reloads the inbox
    /// from its store; does nothing while such a pass runs.
    virtual void synchronize() = 0;
    /// True when no full synchronisation is running.
    virtual bool isSynchronized() const = 0;

protected:
    Workspace() = default;
};

}  // namespace quorvela
