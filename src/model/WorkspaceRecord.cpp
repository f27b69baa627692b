#include "model/WorkspaceRecord.h"

#include <functional>

#include "model/InboxStores.h"
#include "model/KeyValueInboxStore.h"
#include "model/RecordArchive.h"
#include "model/WorkspaceProtocol.h"
#include "model/WorkspaceService.h"
#include "quorvela/Beacon.h"
#include "quorvela/Geofence.h"
#include "quorvela/Message.h"
#include "quorvela/platform/Platform.h"

namespace quorvela {

namespace {

constexpr const char* kMaxStoredMessagesKey = "maxStoredMessages";

WorkspaceRecord::BeaconList beaconsOfType(const WorkspaceRecord::BeaconList& beacons, const char* type) {
    WorkspaceRecord::BeaconList out;
    for (const auto& beacon : beacons)
        if (beacon && beacon->type() == type) out.push_back(beacon);
    return out;
}

template <class List>
Value::Array serializeAll(const List& list) {
    Value::Array out;
    out.reserve(list.size());
    for (const auto& record : list)
        if (record) out.emplace_back(record->serialize());
    return out;
}

// Only a program that links the records without the request layer finds no
// service; each request says so instead of hanging.
std::shared_ptr<WorkspaceService> serviceFor(const Platform* platform) {
    auto installed = WorkspaceService::installed();
    if (!installed && platform && platform->systemLog)
        platform->systemLog->writeAt(LogLevel::Error, "Workspace: no service is installed; the request is not sent");
    return installed;
}

}  // namespace

WorkspaceRecord::WorkspaceRecord(std::shared_ptr<Platform> platform, NoLoad) : platform_(std::move(platform)) {}

WorkspaceRecord::WorkspaceRecord(std::shared_ptr<Platform> platform) : platform_(std::move(platform)) { reloadLists(); }

WorkspaceRecord::~WorkspaceRecord() = default;

std::shared_ptr<WorkspaceRecord> WorkspaceRecord::create(std::shared_ptr<Platform> platform) {
    return std::make_shared<WorkspaceRecord>(std::move(platform));
}

std::shared_ptr<WorkspaceRecord> WorkspaceRecord::of(const std::shared_ptr<Workspace>& workspace) {
    return std::dynamic_pointer_cast<WorkspaceRecord>(workspace);
}

std::shared_ptr<WorkspaceRecord> WorkspaceRecord::initWithCoder(std::shared_ptr<Platform> platform,
                                                                const Value::Dictionary& archive) {
    std::shared_ptr<WorkspaceRecord> ws(new WorkspaceRecord(std::move(platform), NoLoad{}));
    {
        std::lock_guard lock(ws->mutex_);
        ws->fields_.name = RecordArchive::text(archive, "name");
        ws->fields_.clientId = RecordArchive::text(archive, "clientId");
        ws->fields_.publicKey = RecordArchive::text(archive, "publicKey");
        ws->fields_.callbackUrl = RecordArchive::text(archive, "callbackURL");
        ws->fields_.subscribed = RecordArchive::flag(archive, "subscribed");
    }
    ws->reloadLists();
    return ws;
}

Value::Dictionary WorkspaceRecord::encodeWithCoder() const {
    Value::Dictionary archive;
    {
        std::lock_guard lock(mutex_);
        RecordArchive::putText(archive, "name", fields_.name);
        RecordArchive::putText(archive, "clientId", fields_.clientId);
        RecordArchive::putText(archive, "publicKey", fields_.publicKey);
        RecordArchive::putText(archive, "callbackURL", fields_.callbackUrl);
        archive["subscribed"] = Value(fields_.subscribed);
    }
    {
        std::lock_guard lock(inboxMutex_);
        if (inboxUnsaved_) {
            Inbox::Edit edit;
            Inbox::rewriteAll(edit);
            commitInbox(std::move(edit));
        }
    }
    bool geofences, beacons;
    {
        std::lock_guard lock(mutex_);
        geofences = geofencesUnsaved_;
        beacons = beaconsUnsaved_;
    }
    if (geofences) saveGeofences();
    if (beacons) saveBeacons();
    return archive;
}

std::string WorkspaceRecord::key() { return "Workspace"; }

Value WorkspaceRecord::archiveList(const std::vector<std::shared_ptr<WorkspaceRecord>>& workspaces) {
    return RecordArchive::archiveRecords(workspaces);
}

std::vector<std::shared_ptr<WorkspaceRecord>> WorkspaceRecord::unarchiveList(const std::shared_ptr<Platform>& platform,
                                                                             const Value& stored) {
    std::vector<std::shared_ptr<WorkspaceRecord>> workspaces;
    if (auto array = RecordArchive::unarchive(stored)) {
        workspaces.reserve(array->size());
        for (const auto& element : *array) workspaces.push_back(initWithCoder(platform, *element.asDictionary()));
    }
    return workspaces;
}

// --- properties -------------------------------------------------------------

std::optional<std::string> WorkspaceRecord::clientId() const {
    std::lock_guard lock(mutex_);
    return fields_.clientId;
}
void WorkspaceRecord::setClientId(std::optional<std::string> value) {
    std::lock_guard lock(mutex_);
    fields_.clientId = std::move(value);
}
std::optional<std::string> WorkspaceRecord::name() const {
    std::lock_guard lock(mutex_);
    return fields_.name;
}
void WorkspaceRecord::setName(std::optional<std::string> value) {
    std::lock_guard lock(mutex_);
    fields_.name = std::move(value);
}
std::optional<std::string> WorkspaceRecord::publicKey() const {
    std::lock_guard lock(mutex_);
    return fields_.publicKey;
}
void WorkspaceRecord::setPublicKey(std::optional<std::string> value) {
    std::lock_guard lock(mutex_);
    fields_.publicKey = std::move(value);
}
std::optional<std::string> WorkspaceRecord::callbackUrl() const {
    std::lock_guard lock(mutex_);
    return fields_.callbackUrl;
}
void WorkspaceRecord::setCallbackUrl(std::optional<std::string> value) {
    std::lock_guard lock(mutex_);
    fields_.callbackUrl = std::move(value);
}
bool WorkspaceRecord::subscribed() const {
    std::lock_guard lock(mutex_);
    return fields_.subscribed;
}
void WorkspaceRecord::setSubscribed(bool value) {
    std::lock_guard lock(mutex_);
    fields_.subscribed = value;
}
bool WorkspaceRecord::inProgress() const {
    std::lock_guard lock(mutex_);
    return fields_.inProgress;
}
void WorkspaceRecord::setInProgress(bool value) {
    std::lock_guard lock(mutex_);
    fields_.inProgress = value;
}
bool WorkspaceRecord::syncGeofence() const {
    std::lock_guard lock(mutex_);
    return fields_.syncGeofence;
}
void WorkspaceRecord::setSyncGeofence(bool value) {
    std::lock_guard lock(mutex_);
    fields_.syncGeofence = value;
}
bool WorkspaceRecord::syncBeacons() const {
    std::lock_guard lock(mutex_);
    return fields_.syncBeacons;
}
void WorkspaceRecord::setSyncBeacons(bool value) {
    std::lock_guard lock(mutex_);
    fields_.syncBeacons = value;
}
double WorkspaceRecord::lastPendingMessagesFetch() const {
    std::lock_guard lock(mutex_);
    return fields_.lastPendingMessagesFetch;
}
void WorkspaceRecord::setLastPendingMessagesFetch(double value) {
    std::lock_guard lock(mutex_);
    fields_.lastPendingMessagesFetch = value;
}
std::shared_ptr<WorkspaceProtocol> WorkspaceRecord::delegate() const {
    std::lock_guard lock(mutex_);
    return fields_.delegate;
}
void WorkspaceRecord::setDelegate(std::shared_ptr<WorkspaceProtocol> delegate) {
    std::lock_guard lock(mutex_);
    fields_.delegate = std::move(delegate);
}

void WorkspaceRecord::setValue(const std::optional<std::string>& value, const std::string& key) {
    if (key == "clientId") {
        setClientId(value);
    } else if (key == "name") {
        setName(value);
    } else if (key == "publicKey") {
        setPublicKey(value);
    } else if (key == "callbackUrl") {
        setCallbackUrl(value);
    } else if (key == "subscribed") {
        setSubscribed(value && Value(*value).boolValue());
    }
}

// --- stores -----------------------------------------------------------------

std::string WorkspaceRecord::storeKey(const char* suffix) const {
    // "%@-suffix": a null client id reads as "(null)".
    return clientId().value_or("(null)") + suffix;
}
std::string WorkspaceRecord::messagesStoreKey() const { return storeKey("-messages"); }
std::string WorkspaceRecord::geofencesStoreKey() const { return storeKey("-geofences"); }
std::string WorkspaceRecord::beaconsStoreKey() const { return storeKey("-beacons"); }

Value::Array WorkspaceRecord::loadDataFrom(const std::string& storeKey) const {
    if (!platform_ || !platform_->keyValueStore) return {};
    return RecordArchive::unarchive(platform_->keyValueStore->get(storeKey)).value_or(Value::Array());
}

Inbox WorkspaceRecord::loadInbox() const {
    auto store = platform_ ? InboxStores::of(*platform_) : nullptr;
    if (!store) return {};
    const auto key = messagesStoreKey();
    auto rows = store->load(key);
    if (!rows) {
        // An inbox that an earlier version kept as one archive among the
        // settings moves into the inbox store, once.
        const auto legacy = KeyValueInboxStore(platform_->keyValueStore).load(key).value_or(InboxStore::Rows());
        rows = store->adopt(key, legacy);
        if (!legacy.empty() && platform_->keyValueStore) platform_->keyValueStore->remove(key);
    }
    return Inbox::fromRows(*rows);
}

WorkspaceRecord::MessageList WorkspaceRecord::loadMessage() const { return loadInbox().messages(); }

WorkspaceRecord::GeofenceList WorkspaceRecord::loadGeofence() const {
    GeofenceList list;
    for (const auto& record : loadDataFrom(geofencesStoreKey()))
        list.push_back(Geofence::initWithCoder(*record.asDictionary()));
    return list;
}

WorkspaceRecord::BeaconList WorkspaceRecord::loadBeacons() const {
    BeaconList list;
    for (const auto& record : loadDataFrom(beaconsStoreKey()))
        list.push_back(Beacon::initWithCoder(*record.asDictionary()));
    return list;
}

void WorkspaceRecord::reloadLists() {
    auto inbox = loadInbox();
    auto geofences = loadGeofence();
    auto beacons = loadBeacons();
    {
        std::lock_guard lock(inboxMutex_);
        inbox_ = std::move(inbox);
        inboxUnsaved_ = inboxBehind_ = false;
    }
    std::lock_guard lock(mutex_);
    geofences_ = std::move(geofences);
    beacons_ = std::move(beacons);
    geofencesUnsaved_ = beaconsUnsaved_ = false;
}

void WorkspaceRecord::reloadInbox() {
    auto inbox = loadInbox();
    std::lock_guard lock(inboxMutex_);
    inbox_ = std::move(inbox);
    inboxUnsaved_ = inboxBehind_ = false;
}

// Called with inboxMutex_ held.
void WorkspaceRecord::commitInbox(Inbox::Edit edit, std::optional<std::int64_t> journalDone) const {
    auto store = platform_ ? InboxStores::of(*platform_) : nullptr;
    if (!store) return;
    // A list set on this object, or a write the store refused, is written whole.
    if (inboxBehind_ || inboxUnsaved_) Inbox::rewriteAll(edit);
    std::vector<InboxStore::Change> changes;
    if (!edit.empty()) changes.push_back(inbox_.changeFor(messagesStoreKey(), edit));
    if (changes.empty() && !journalDone) return;
    const bool stored = store->commit(changes, journalDone);
    inboxBehind_ = !stored && !changes.empty();
    if (stored) inboxUnsaved_ = false;
}

void WorkspaceRecord::saveMessages() const {
    std::lock_guard lock(inboxMutex_);
    Inbox::Edit edit;
    Inbox::rewriteAll(edit);
    commitInbox(std::move(edit));
}

void WorkspaceRecord::saveGeofences() const {
    if (!platform_ || !platform_->keyValueStore) return;
    const auto key = geofencesStoreKey();
    GeofenceList geofences;
    {
        std::lock_guard lock(mutex_);
        geofences = geofences_;
        geofencesUnsaved_ = false;
    }
    platform_->keyValueStore->set(key, RecordArchive::archiveRecords(geofences));
}

void WorkspaceRecord::saveBeacons() const {
    if (!platform_ || !platform_->keyValueStore) return;
    const auto key = beaconsStoreKey();
    BeaconList beacons;
    {
        std::lock_guard lock(mutex_);
        beacons = beacons_;
        beaconsUnsaved_ = false;
    }
    platform_->keyValueStore->set(key, RecordArchive::archiveRecords(beacons));
}

Value::Dictionary WorkspaceRecord::serialize() const {
    Value::Dictionary dictionary;
    {
        std::lock_guard lock(mutex_);
        RecordArchive::putText(dictionary, "name", fields_.name);
        RecordArchive::putText(dictionary, "clientId", fields_.clientId);
        RecordArchive::putText(dictionary, "publicKey", fields_.publicKey);
        RecordArchive::putText(dictionary, "callbackURL", fields_.callbackUrl);
        dictionary["subscribed"] = Value(fields_.subscribed ? "YES" : "NO");
    }
    dictionary["messages"] = Value(serializeAll(getMessages()));
    dictionary["geofences"] = Value(serializeAll(getGeofences()));
    dictionary["beacons"] = Value(serializeAll(getBeacons()));
    return dictionary;
}

// --- inbox ------------------------------------------------------------------

WorkspaceRecord::MessageList WorkspaceRecord::getMessages() const {
    std::lock_guard lock(inboxMutex_);
    return inbox_.messages();
}

void WorkspaceRecord::setMessages(MessageList messages) {
    std::lock_guard lock(inboxMutex_);
    inbox_ = Inbox::fromMessages(std::move(messages));
    inboxUnsaved_ = true;
}

std::int32_t WorkspaceRecord::maxStoredMessages() const {
    if (!platform_ || !platform_->keyValueStore) return 0;
    // Taken as a 32-bit integer, as the setting always was.
    return static_cast<std::int32_t>(platform_->keyValueStore->get(kMaxStoredMessagesKey).integerValue());
}

void WorkspaceRecord::processMessage(const std::shared_ptr<Message>& message) {
    if (!message) return;
    storeReceived({message});
    announce(message);
}

void WorkspaceRecord::storeReceived(const MessageList& messages, std::optional<std::int64_t> journalDone) {
    const std::int32_t limit = maxStoredMessages();
    std::lock_guard lock(inboxMutex_);
    Inbox::Edit edit;
    for (const auto& message : messages) inbox_.receive(message, limit, edit);
    // One write holds every change of the reply, trimming included.
    commitInbox(std::move(edit), journalDone);
}

void WorkspaceRecord::announce(const std::shared_ptr<Message>& message) {
    if (auto listener = delegate()) listener->pushReceived(message, weak_from_this().lock());
}

void WorkspaceRecord::addMessage(const std::shared_ptr<Message>& message, std::int32_t index) {
    std::lock_guard lock(inboxMutex_);
    Inbox::Edit edit;
    if (index >= 0 && inbox_.insertAt(message, static_cast<std::size_t>(index), edit)) commitInbox(std::move(edit));
}

void WorkspaceRecord::updateMessage(const std::shared_ptr<Message>& message, std::int32_t index) {
    std::lock_guard lock(inboxMutex_);
    Inbox::Edit edit;
    if (index >= 0 && inbox_.replaceAt(message, static_cast<std::size_t>(index), edit)) commitInbox(std::move(edit));
}

void WorkspaceRecord::removeLastMessage(const std::shared_ptr<Message>& /*message*/) {
    std::lock_guard lock(inboxMutex_);
    Inbox::Edit edit;
    if (inbox_.size() > 0 && inbox_.removeAt(inbox_.size() - 1, edit)) commitInbox(std::move(edit));
}

void WorkspaceRecord::removeMessage(const std::shared_ptr<Message>& /*message*/, std::int32_t index) {
    std::lock_guard lock(inboxMutex_);
    Inbox::Edit edit;
    if (index >= 0 && inbox_.removeAt(static_cast<std::size_t>(index), edit)) commitInbox(std::move(edit));
}

// --- geofences and beacons --------------------------------------------------

WorkspaceRecord::GeofenceList WorkspaceRecord::getGeofences() const {
    std::lock_guard lock(mutex_);
    return geofences_;
}
void WorkspaceRecord::setGeofences(GeofenceList geofences) {
    std::lock_guard lock(mutex_);
    geofences_ = std::move(geofences);
    geofencesUnsaved_ = true;
}
WorkspaceRecord::BeaconList WorkspaceRecord::getBeacons() const {
    std::lock_guard lock(mutex_);
    return beacons_;
}
void WorkspaceRecord::setBeacons(BeaconList beacons) {
    std::lock_guard lock(mutex_);
    beacons_ = std::move(beacons);
    beaconsUnsaved_ = true;
}
WorkspaceRecord::BeaconList WorkspaceRecord::getBluetoothBeacons() const {
    return beaconsOfType(getBeacons(), "BEACON");
}
WorkspaceRecord::BeaconList WorkspaceRecord::getWifiBeacons() const {
    return beaconsOfType(getBeacons(), "WIFI_BEACON");
}

// --- synchronisation with the service ----------------------------------------

void WorkspaceRecord::setAppNameSource(AppNameSource source) {
    std::lock_guard lock(mutex_);
    fields_.appNameSource = std::move(source);
}

std::optional<std::string> WorkspaceRecord::appName() const {
    AppNameSource source;
    {
        std::lock_guard lock(mutex_);
        source = fields_.appNameSource;
    }
    return source ? source() : std::nullopt;
}

void WorkspaceRecord::sendMessage(const std::optional<std::string>& text) {
    if (!platform_) return;
    const Value user = platform_->keyValueStore ? platform_->keyValueStore->get("clientUserID") : Value();
    if (user.isNull() || user.describe().empty()) {
        if (platform_->systemLog)
            platform_->systemLog->writeAt(LogLevel::Warning, "sendMessage: User can't be null or empty");
        return;
    }
    if (auto requests = serviceFor(platform_.get())) requests->sendMessage(shared_from_this(), text);
}

void WorkspaceRecord::fetchMessageWithID(const std::optional<std::string>& messageId, Completion completion) {
    if (auto requests = serviceFor(platform_.get()))
        requests->fetchMessage(shared_from_this(), messageId, std::move(completion));
    else if (completion) completion(kFetchResultFailed);
}

void WorkspaceRecord::fetchGeofences() { fetchGeofencesWithCompletionHandler(nullptr); }

void WorkspaceRecord::fetchGeofencesWithCompletionHandler(Completion completion) {
    setSyncGeofence(false);
    if (auto requests = serviceFor(platform_.get()))
        return requests->fetchGeofences(shared_from_this(), std::move(completion));
    checkGeoFencesReturnedError("no service");
    if (completion) completion(kFetchResultFailed);
}

void WorkspaceRecord::fetchBeacons() { fetchBeaconsWithCompletionHandler(nullptr); }

void WorkspaceRecord::fetchBeaconsWithCompletionHandler(Completion completion) {
    setSyncBeacons(false);
    if (auto requests = serviceFor(platform_.get()))
        return requests->fetchBeacons(shared_from_this(), std::move(completion));
    loadBeaconsReturnedError("no service");
    if (completion) completion(kFetchResultFailed);
}

void WorkspaceRecord::synchronize() {
    {
        // Checked and claimed in one step: two calls at once start one pair.
        std::lock_guard lock(mutex_);
        if (fields_.inProgress) return;
        fields_.inProgress = true;
        fields_.syncGeofence = false;
        fields_.syncBeacons = false;
    }
    fetchGeofences();
    fetchBeacons();
}

bool WorkspaceRecord::isSynchronized() const { return !inProgress(); }

void WorkspaceRecord::checkSynchronizeEnd() {
    {
        // Only the caller that finds the pass complete ends it; clearing
        // inProgress here is the claim, so the end runs once per pass.
        std::lock_guard lock(mutex_);
        if (!fields_.inProgress || !fields_.syncGeofence || !fields_.syncBeacons) return;
        fields_.inProgress = false;
    }
    reloadInbox();
    if (auto listener = delegate()) listener->synchronicedWorkspace(shared_from_this());
}

bool WorkspaceRecord::markFetchEnded(bool Fields::*flag) {
    std::lock_guard lock(mutex_);
    fields_.*flag = true;
    return fields_.inProgress;
}

void WorkspaceRecord::fetchEnded(bool Fields::*flag,
                                 void (WorkspaceProtocol::*single)(const std::shared_ptr<WorkspaceRecord>&)) {
    if (markFetchEnded(flag)) {
        checkSynchronizeEnd();
    } else if (auto listener = delegate()) {
        ((*listener).*single)(shared_from_this());
    }
}

void WorkspaceRecord::SingleMessageRetrieved(const std::shared_ptr<Message>& message) { processMessage(message); }

void WorkspaceRecord::SingleMessageRetrievedError(const std::string& /*error*/) {}

void WorkspaceRecord::checkGeoFencesSuccess(const GeofenceList& geofences) {
    setGeofences(geofences);
    saveGeofences();
    fetchEnded(&Fields::syncGeofence, &WorkspaceProtocol::synchronicedGeofences);
}

void WorkspaceRecord::checkGeoFencesReturnedError(const std::string& /*error*/) {
    fetchEnded(&Fields::syncGeofence, &WorkspaceProtocol::synchronicedGeofences);
}

void WorkspaceRecord::loadBeaconsSuccess(const BeaconList& beacons) {
    setBeacons(beacons);
    saveBeacons();
    fetchEnded(&Fields::syncBeacons, &WorkspaceProtocol::synchronicedBeacons);
}

void WorkspaceRecord::loadBeaconsReturnedError(const std::string& /*error*/) {
    fetchEnded(&Fields::syncBeacons, &WorkspaceProtocol::synchronicedBeacons);
}

}  // namespace quorvela
