#pragma once
// The library's side of a workspace: its state, its stores and the loader
// callbacks; each list persisted in the key-value store under a key made from
// the workspace's client id. Hosts see the read-only Workspace.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "model/Inbox.h"
#include "quorvela/FetchResult.h"
#include "quorvela/Value.h"
#include "quorvela/Workspace.h"

namespace quorvela {

class Message;
class Geofence;
class Beacon;
class WorkspaceProtocol;
struct Platform;

/// Always held by std::shared_ptr (the workspace passes itself to its
/// delegate). Every accessor is safe from any thread; inbox changes are
/// serialised per workspace.
class WorkspaceRecord final : public Workspace, public std::enable_shared_from_this<WorkspaceRecord> {
public:
    /// Gives the facade's application name at the moment a request is made.
    using AppNameSource = std::function<std::optional<std::string>()>;

    /// Defaults (empty client id, name and public key; not subscribed; no
    /// callback address), then the three lists loaded from the stores of the
    /// empty client id. `platform` supplies the key-value store.
    explicit WorkspaceRecord(std::shared_ptr<Platform> platform);
    static std::shared_ptr<WorkspaceRecord> create(std::shared_ptr<Platform> platform);
    /// The record behind a workspace the library handed out; null for null
    /// and for a workspace the host implemented itself.
    static std::shared_ptr<WorkspaceRecord> of(const std::shared_ptr<Workspace>& workspace);

    /// Restores a workspace from its archive dictionary, then reloads the three
    /// lists from the stores of the restored client id.
    static std::shared_ptr<WorkspaceRecord> initWithCoder(std::shared_ptr<Platform> platform,
                                                          const Value::Dictionary& archive);
    /// The archive dictionary ("name", "clientId", "publicKey", "callbackURL",
    /// "subscribed"); writes each of the three lists that was set on this
    /// object and not stored since (a list it only loaded is left alone).
    Value::Dictionary encodeWithCoder() const;

    /// "Workspace": the stem of the facade's workspace-list store keys.
    static std::string key();

    /// The stored form of a list of workspaces (archiving writes each
    /// workspace's unsaved lists), and the list read back from it: empty when
    /// nothing readable is stored.
    static Value archiveList(const std::vector<std::shared_ptr<WorkspaceRecord>>& workspaces);
    static std::vector<std::shared_ptr<WorkspaceRecord>> unarchiveList(const std::shared_ptr<Platform>& platform,
                                                                       const Value& stored);

    ~WorkspaceRecord() override;

    // Properties.
    std::optional<std::string> clientId() const override;
    void setClientId(std::optional<std::string> value);
    std::optional<std::string> name() const override;
    void setName(std::optional<std::string> value);
    std::optional<std::string> publicKey() const override;
    void setPublicKey(std::optional<std::string> value);
    std::optional<std::string> callbackUrl() const override;
    void setCallbackUrl(std::optional<std::string> value);
    bool subscribed() const override;
    void setSubscribed(bool value);

    /// Synchronisation state flags (used by the synchronisation pass).
    bool inProgress() const;
    void setInProgress(bool value);
    bool syncGeofence() const;
    void setSyncGeofence(bool value);
    bool syncBeacons() const;
    void setSyncBeacons(bool value);

    /// A time stamp slot for the host; the library neither sets nor reads it.
    double lastPendingMessagesFetch() const override;
    void setLastPendingMessagesFetch(double value) override;

    /// Strong reference, as the delegate outlives nothing else here.
    std::shared_ptr<WorkspaceProtocol> delegate() const;
    void setDelegate(std::shared_ptr<WorkspaceProtocol> delegate);

    /// Parser entry: "clientId", "name", "publicKey", "callbackUrl" store the
    /// text; "subscribed" stores its lenient boolean reading; other keys are
    /// ignored.
    void setValue(const std::optional<std::string>& value, const std::string& key);

    // Stores.
    /// The list archived under `storeKey`; empty when nothing (or nothing
    /// readable) is stored.
    Value::Array loadDataFrom(const std::string& storeKey) const;
    MessageList loadMessage() const;
    GeofenceList loadGeofence() const;
    BeaconList loadBeacons() const;
    void saveMessages() const;
    void saveGeofences() const;
    void saveBeacons() const;
    /// "<clientId>-messages", "<clientId>-geofences", "<clientId>-beacons".
    std::string messagesStoreKey() const;
    std::string geofencesStoreKey() const;
    std::string beaconsStoreKey() const;

    /// For the host: texts (null ones left out), "subscribed" as "YES"/"NO",
    /// and the serialised lists.
    Value::Dictionary serialize() const override;

    // Inbox.
    /// A snapshot of the inbox, newest first.
    MessageList getMessages() const override;
    /// Replaces the inbox in memory (does not write the store; archiving the
    /// workspace or `saveMessages` does).
    void setMessages(MessageList messages);
    /// Deletes, replaces or inserts `message`, trims to "maxStoredMessages",
    /// writes the store and then tells the delegate `pushReceived`.
    void processMessage(const std::shared_ptr<Message>& message);
    /// The inbox rules for each of `messages` in order, written in one store
    /// commit that also ends the journal entry `journalDone` (when given).
    /// The delegate hears nothing: the caller announces each message.
    void storeReceived(const MessageList& messages, std::optional<std::int64_t> journalDone = {});
    /// Tells the delegate `pushReceived` for a message the inbox took.
    void announce(const std::shared_ptr<Message>& message);
    void addMessage(const std::shared_ptr<Message>& message, std::int32_t index);
    void updateMessage(const std::shared_ptr<Message>& message, std::int32_t index);
    void removeLastMessage(const std::shared_ptr<Message>& message);
    void removeMessage(const std::shared_ptr<Message>& message, std::int32_t index);

    // Geofences and beacons.
    GeofenceList getGeofences() const override;
    void setGeofences(GeofenceList geofences);
    BeaconList getBeacons() const override;
    void setBeacons(BeaconList beacons);
    /// The beacons of type "BEACON" / "WIFI_BEACON", in list order.
    BeaconList getBluetoothBeacons() const override;
    BeaconList getWifiBeacons() const override;

    // Synchronisation with the service.
    //
    // A full synchronisation fetches the geofences and the beacons at the same
    // time and ends once both fetches have ended (successfully or not): the
    // inbox is reloaded from its store and the delegate hears
    // `synchronicedWorkspace`. A fetch outside a full synchronisation ends
    // with `synchronicedGeofences` / `synchronicedBeacons` instead. The end of
    // a pass runs exactly once even when both results arrive at the same
    // moment; a result that arrives while the end runs counts for the state
    // after it. The callbacks below arrive on the loaders' reply threads.

    /// Where requests read the facade's application name (the facade sets it
    /// when it takes the workspace into its lists). Unset: no name.
    void setAppNameSource(AppNameSource source);
    std::optional<std::string> appName() const;

    /// Sends `text` as the stored user's response in this workspace; without
    /// a stored user it only writes "sendMessage: User can't be null or empty"
    /// to the system log.
    void sendMessage(const std::optional<std::string>& text) override;
    /// Downloads one message into the inbox (through processMessage).
    void fetchMessageWithID(const std::optional<std::string>& messageId, Completion completion) override;
    void fetchGeofences() override;
    void fetchGeofencesWithCompletionHandler(Completion completion) override;
    void fetchBeacons() override;
    void fetchBeaconsWithCompletionHandler(Completion completion) override;
    /// Starts a full synchronisation unless one is running.
    void synchronize() override;
    /// True when no full synchronisation is running.
    bool isSynchronized() const override;
    /// Ends the running synchronisation when both fetches of the pass ended.
    void checkSynchronizeEnd();

    // Loader callbacks.
    void SingleMessageRetrieved(const std::shared_ptr<Message>& message);
    void SingleMessageRetrievedError(const std::string& error);
    void checkGeoFencesSuccess(const GeofenceList& geofences);
    void checkGeoFencesReturnedError(const std::string& error);
    void loadBeaconsSuccess(const BeaconList& beacons);
    void loadBeaconsReturnedError(const std::string& error);

    const std::shared_ptr<Platform>& platform() const { return platform_; }

private:
    struct Fields {
        std::optional<std::string> clientId{std::string()};
        std::optional<std::string> name{std::string()};
        std::optional<std::string> publicKey{std::string()};
        std::optional<std::string> callbackUrl;
        bool subscribed = false;
        bool inProgress = false;
        bool syncGeofence = false;
        bool syncBeacons = false;
        double lastPendingMessagesFetch = 0.0;
        std::shared_ptr<WorkspaceProtocol> delegate;
        AppNameSource appNameSource;
    };

    struct NoLoad {};
    WorkspaceRecord(std::shared_ptr<Platform> platform, NoLoad);

    std::string storeKey(const char* suffix) const;
    void reloadLists();
    void reloadInbox();
    Inbox loadInbox() const;
    /// Writes `edit` (the whole inbox after a failed write); inbox lock held.
    void commitInbox(Inbox::Edit edit, std::optional<std::int64_t> journalDone = {}) const;
    std::int32_t maxStoredMessages() const;
    /// Sets one fetch's flag and says whether a full synchronisation runs,
    /// in one step, so the end of a pass cannot be missed or run twice.
    bool markFetchEnded(bool Fields::*flag);
    void fetchEnded(bool Fields::*flag, void (WorkspaceProtocol::*single)(const std::shared_ptr<WorkspaceRecord>&));

    std::shared_ptr<Platform> platform_;
    mutable std::mutex mutex_;  // the fields and the geofence / beacon lists
    Fields fields_;
    GeofenceList geofences_;
    BeaconList beacons_;
    // Set by the setters, cleared when the list is written or reloaded:
    // archiving writes only lists this object changed, never a copy it merely
    // read, which another object for the same client id may have outdated.
    mutable bool geofencesUnsaved_ = false;
    mutable bool beaconsUnsaved_ = false;
    // The inbox; held across a whole change and its store write, so that
    // concurrent processMessage calls neither lose nor duplicate a message.
    // Taken before mutex_, never after it.
    mutable std::mutex inboxMutex_;
    Inbox inbox_;
    mutable bool inboxUnsaved_ = false;
    // A write the store refused leaves it behind the inbox: the next write
    // then rewrites the inbox whole.
    mutable bool inboxBehind_ = false;
};

}  // namespace quorvela
