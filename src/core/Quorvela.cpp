#include "quorvela/Quorvela.h"

#include <chrono>
#include <cmath>

#include "core/BackgroundTaskTable.h"
#include "core/Configuration.h"
#include "core/ConfigurationGuard.h"
#include "core/PublicIPLookup.h"
#include "core/PushProcessing.h"
#include "core/RegistrationFlow.h"
#include "core/Settings.h"
#include "core/Startup.h"
#include "core/WorkspaceManagement.h"
#include "location/FacadeLocationDelegate.h"
#include "location/LocationUpdates.h"
#include "location/RegionConsistency.h"
#include "location/RegionEntrySet.h"
#include "location/RegionEvents.h"
#include "location/RegionSelection.h"
#include "location/WifiBeaconDetector.h"
#include "model/WorkspaceList.h"
#include "protocol/ClientCredentials.h"
#include "protocol/EventLogger.h"
#include "protocol/RequestSigner.h"
#include "protocol/SignedUrl.h"
#include "quorvela/RegionEntry.h"

namespace quorvela {

namespace {

// The platform chosen for the shared instance, and whether that instance was
// made already (after which the choice is fixed).
struct SharedInstanceSetup {
    std::mutex mutex;
    std::shared_ptr<Platform> platform;
    bool made = false;
};

SharedInstanceSetup& sharedSetup() {
    static SharedInstanceSetup setup;
    return setup;
}

std::shared_ptr<Quorvela> makeSharedInstance() {
    std::shared_ptr<Platform> platform;
    {
        auto& setup = sharedSetup();
        std::lock_guard lock(setup.mutex);
        setup.made = true;
        platform = setup.platform;
    }
    return Quorvela::create(platform ? platform : Platform::makeDefault());
}

}  // namespace

// ---- Making the facade ------------------------------------------------------

std::shared_ptr<Quorvela> Quorvela::sharedInstance() {
    // Made once even under concurrent first calls (static initialisation is
    // serialised) and never destroyed: queue threads may still reach the
    // facade while the process exits.
    static const auto* instance = new std::shared_ptr<Quorvela>(makeSharedInstance());
    return *instance;
}

bool Quorvela::installPlatform(std::shared_ptr<Platform> platform) {
    if (!platform) return false;
    auto& setup = sharedSetup();
    std::lock_guard lock(setup.mutex);
    if (setup.made) return false;
    setup.platform = std::move(platform);
    return true;
}

std::shared_ptr<Quorvela> Quorvela::create(std::shared_ptr<Platform> platform) {
    return std::make_shared<Quorvela>(Passkey(), platform ? std::move(platform) : Platform::makeDefault());
}

Quorvela::Quorvela(Passkey, std::shared_ptr<Platform> platform)
    : platform_(std::move(platform)),
      workspaces_(WorkspaceList::create()),
      workspacesSubscribed_(WorkspaceList::create()),
      backgroundTasks_(BackgroundTaskTable::create(platform_->backgroundTasks)),
      wifiBeaconDetector_(std::make_shared<WifiBeaconDetector>()) {}

Quorvela::~Quorvela() = default;

// ---- Configuration and start-up ----------------------------------------------

void Quorvela::configure() { sharedInstance()->configureInstance(); }

void Quorvela::configureInstance() {
    auto outcome = Configuration(*platform_).apply([this](const ClientCredentials& credentials) {
        setAppName(credentials.appName);
        setClientID(credentials.clientID);
        setApiClientPrivateKey(credentials.apiClientPrivateKey);
    });
    if (outcome == Configuration::Outcome::FileMissing) return;
    if (outcome == Configuration::Outcome::Configured) initQuorvela();
    platform_->keyValueStore->synchronize();
}

void Quorvela::initQuorvela() {
    Startup startup(*platform_);
    startup.prepareIdentity();
    if (startup.isReady()) {
        startStandardUpdates();
        initWorkspaces();
        setUseQuorvelaSDK(true);
    }
    logEvent("INIT", std::string(), std::nullopt);
}

void Quorvela::loadQuorvelaCredentials(const std::string& fileName) {
    if (!ConfigurationGuard(*platform_).requireConfigured("loadQuorvelaCredentials")) return;
    auto credentials = Configuration(*platform_).readCredentials(fileName);
    if (!credentials) return;
    std::lock_guard lock(credentialsMutex_);
    appName_ = credentials->appName;
    clientID_ = credentials->clientID;
    apiClientPrivateKey_ = credentials->apiClientPrivateKey;
}

void Quorvela::loadEnvironmentFromFile(const std::string& fileName) {
    Configuration(*platform_).loadEnvironment(fileName);
}

// ---- Credentials ---------------------------------------------------------------

std::optional<std::string> Quorvela::appName() const {
    std::lock_guard lock(credentialsMutex_);
    return appName_;
}

void Quorvela::setAppName(std::optional<std::string> value) {
    std::lock_guard lock(credentialsMutex_);
    appName_ = std::move(value);
}

std::optional<std::string> Quorvela::clientID() const {
    std::lock_guard lock(credentialsMutex_);
    return clientID_;
}

void Quorvela::setClientID(std::optional<std::string> value) {
    std::lock_guard lock(credentialsMutex_);
    clientID_ = std::move(value);
}

std::optional<std::string> Quorvela::apiClientPrivateKey() const {
    std::lock_guard lock(credentialsMutex_);
    return apiClientPrivateKey_;
}

void Quorvela::setApiClientPrivateKey(std::optional<std::string> value) {
    std::lock_guard lock(credentialsMutex_);
    apiClientPrivateKey_ = std::move(value);
}

ClientCredentials Quorvela::credentials() const {
    std::lock_guard lock(credentialsMutex_);
    return ClientCredentials{appName_, clientID_, apiClientPrivateKey_};
}

// ---- Persisted settings ----------------------------------------------------------

void Quorvela::setLogAllEventsDisabled(bool disabled) {
    platform_->keyValueStore->set(Settings::kLoggingDisabled, Value(disabled));
}

bool Quorvela::isLogAllEventsDisabled() const {
    return Settings(*platform_->keyValueStore).flag(Settings::kLoggingDisabled);
}

void Quorvela::setGetLocationDisabled(bool disabled) {
    platform_->keyValueStore->set(Settings::kLocationDisabled, Value(disabled));
}

bool Quorvela::isGetLocationDisabled() const {
    return Settings(*platform_->keyValueStore).flag(Settings::kLocationDisabled);
}

void Quorvela::setMaxStoredMessages(std::int32_t maxStoredMessages) {
    platform_->keyValueStore->set(Settings::kMaxStoredMessages, Value(static_cast<long long>(maxStoredMessages)));
}

// ---- State -------------------------------------------------------------------------

std::shared_ptr<QuorvelaProtocol> Quorvela::delegate() const {
    std::lock_guard lock(stateMutex_);
    return delegate_;
}

void Quorvela::setDelegate(std::shared_ptr<QuorvelaProtocol> delegate) {
    std::lock_guard lock(stateMutex_);
    delegate_ = std::move(delegate);
}

std::optional<Location> Quorvela::quorvelaLastLocation() const {
    std::lock_guard lock(stateMutex_);
    return quorvelaLastLocation_;
}

void Quorvela::setQuorvelaLastLocation(std::optional<Location> location) {
    std::lock_guard lock(stateMutex_);
    quorvelaLastLocation_ = std::move(location);
}

std::shared_ptr<WorkspaceList> Quorvela::workspaces() const {
    std::lock_guard lock(stateMutex_);
    return workspaces_;
}

void Quorvela::setWorkspaces(std::shared_ptr<WorkspaceList> list) {
    if (!list) list = WorkspaceList::create();
    std::lock_guard lock(stateMutex_);
    workspaces_ = std::move(list);
}

std::shared_ptr<WorkspaceList> Quorvela::workspacesSubscribed() const {
    std::lock_guard lock(stateMutex_);
    return workspacesSubscribed_;
}

void Quorvela::setWorkspacesSubscribed(std::shared_ptr<WorkspaceList> list) {
    if (!list) list = WorkspaceList::create();
    std::lock_guard lock(stateMutex_);
    workspacesSubscribed_ = std::move(list);
}

std::shared_ptr<Workspace> Quorvela::getWorkspaceWithClientID(const std::optional<std::string>& clientID) const {
    if (!ConfigurationGuard(*platform_).requireConfigured("getWorkspaceWithClientID")) return nullptr;
    return workspacesSubscribed()->findByClientId(clientID);
}

// ---- Registration (the flows live in RegistrationFlow) ------------------------------

void Quorvela::registerWithUserID(const std::optional<std::string>& userID) {
    RegistrationFlow(*this).registerWithUserID(userID);
}

void Quorvela::unRegisterUser() { RegistrationFlow(*this).unRegisterUser(); }

void Quorvela::registerDeviceToken(const std::optional<std::vector<std::uint8_t>>& token) {
    RegistrationFlow(*this).registerDeviceToken(token);
}

void Quorvela::deviceSubscriberWithUniqueID() { RegistrationFlow(*this).deviceSubscriberWithUniqueID(); }

void Quorvela::registerDialog() { RegistrationFlow(*this).registerDialog(); }

void Quorvela::RegistrationStatus(bool successful, bool requireValidation, const std::optional<std::string>&) {
    RegistrationFlow(*this).registrationStatus(successful, requireValidation);
}

void Quorvela::UnRegisterUserSucceeded(bool successful) {
    RegistrationFlow(*this).unRegisterUserSucceeded(successful, std::nullopt);
}

void Quorvela::ActivatePhoneSucceeded(bool successful, const std::optional<std::string>&) {
    RegistrationFlow(*this).activatePhoneSucceeded(successful);
}

void Quorvela::RegistrationThrowsError(const std::string& error) { RegistrationFlow(*this).logError(error); }

void Quorvela::UnRegisterUserError(const std::string& error) { RegistrationFlow(*this).logError(error); }

void Quorvela::ActivatePhoneReturnedError(const std::string&) {}

void Quorvela::deviceSubscriberSucceeded(bool, const std::optional<std::string>&) {
    RegistrationFlow(*this).deviceSubscriberSucceeded();
}

void Quorvela::deviceSubscriberError(const std::string&) { RegistrationFlow(*this).deviceSubscriberError(); }

// ---- Background tasks ------------------------------------------------------------

void Quorvela::beginBackgroundTaskWithIdentifier(const std::string& identifier) { backgroundTasks_->begin(identifier); }

void Quorvela::endBackgroundTaskWithIdentifier(const std::string& identifier) { backgroundTasks_->end(identifier); }

// ---- Analytics -----------------------------------------------------------------------

namespace {

bool analyticsDisabled(const Platform& platform) {
    return Settings(*platform.keyValueStore).flag(Settings::kAnalyticsDisabled);
}

}  // namespace

void Quorvela::logEvent(const std::optional<std::string>& eventType, const std::optional<std::string>& extraInfo,
                        const std::optional<std::string>& campaignName) {
    auto workspace = getWorkspaceWithClientID(clientID());
    if (analyticsDisabled(*platform_)) return;
    auto logger = std::make_shared<EventLogger>(platform_, credentials(), quorvelaLastLocation());
    logger->logEvent(eventType, extraInfo, campaignName, workspace);
}

void Quorvela::logEvent(const std::optional<std::string>& eventType, const std::optional<std::string>& extraInfo) {
    if (analyticsDisabled(*platform_)) return;
    auto logger = std::make_shared<EventLogger>(platform_, credentials(), quorvelaLastLocation());
    logger->logEvent(eventType, extraInfo);
}

void Quorvela::logEvent(const std::optional<std::string>& eventType, const std::optional<std::string>& extraInfo,
                        const std::optional<std::string>& campaignName, std::shared_ptr<Workspace> workspace) {
    if (analyticsDisabled(*platform_)) return;
    auto logger = std::make_shared<EventLogger>(platform_, credentials(), quorvelaLastLocation());
    logger->logEvent(eventType, extraInfo, campaignName, workspace);
}

std::optional<std::string> Quorvela::getPublicIP() { return sharedInstance()->publicIP(); }

std::optional<std::string> Quorvela::publicIP() const {
    return PublicIPLookup::fetch(*platform_->http, kPublicIPTimeout);
}

// ---- Wi-Fi beacons and network changes (the flow lives in WifiBeaconDetector) ----

std::string Quorvela::findSSID() { return sharedInstance()->currentSSID(); }

std::string Quorvela::currentSSID() const { return WifiBeaconDetector::findSSID(platform_->wifiInfo.get()); }

std::optional<Value::Dictionary> Quorvela::findConnectionData() { return sharedInstance()->currentConnectionData(); }

std::optional<Value::Dictionary> Quorvela::currentConnectionData() const {
    return WifiBeaconDetector::findConnectionData(platform_->wifiInfo.get());
}

void Quorvela::onNetworkChangeCallback(const std::string& name) {
    wifiBeaconDetector_->onNetworkChangeCallback(shared_from_this(), name);
}

void Quorvela::startNetworkChangeWatch() {
    std::call_once(networkWatchOnce_, [this] {
        if (!platform_->networkMonitor) return;
        // Weak: the platform (and its monitor) belongs to the facade.
        std::weak_ptr<Quorvela> weak = weak_from_this();
        platform_->networkMonitor->addObserver(NetworkMonitor::kNetworkChange, [weak](const std::string& name) {
            if (auto facade = weak.lock()) facade->onNetworkChangeCallback(name);
        });
    });
}

void onNetworkChangeCallback(const std::string& name) { Quorvela::sharedInstance()->onNetworkChangeCallback(name); }

// ---- Workspaces (section: workspace management) ---------------------------------------

void Quorvela::initWorkspaces() { WorkspaceManagement(*this).initWorkspaces(); }

void Quorvela::synchronicedWorkspace(const std::shared_ptr<Workspace>& workspace) {
    WorkspaceManagement(*this).synchronicedWorkspace(workspace);
}

std::shared_ptr<Workspace> Quorvela::getDefaultWorkspace() const {
    return WorkspaceManagement(const_cast<Quorvela&>(*this)).getDefaultWorkspace();
}

void Quorvela::fetchAvailableWorkspacesWithCompletionHandler(Completion handler) {
    WorkspaceManagement(*this).fetchAvailableWorkspaces(std::move(handler));
}

void Quorvela::fetchSubscribedWorkspacesWithCompletionHandler(Completion handler) {
    WorkspaceManagement(*this).fetchSubscribedWorkspaces(std::move(handler));
}

void Quorvela::getAvailableWorkspaceswithFilter(const std::optional<std::string>& filter, Completion handler) {
    WorkspaceManagement(*this).getAvailableWorkspaceswithFilter(filter, std::move(handler));
}

std::vector<std::shared_ptr<Workspace>> Quorvela::getAvailableWorkspaces() const {
    return WorkspaceManagement(const_cast<Quorvela&>(*this)).getAvailableWorkspaces();
}

std::vector<std::shared_ptr<Workspace>> Quorvela::getSubscribedWorkspaces() const {
    return WorkspaceManagement(const_cast<Quorvela&>(*this)).getSubscribedWorkspaces();
}

void Quorvela::joinWorkspace(const std::shared_ptr<Workspace>& workspace, Completion handler) {
    WorkspaceManagement(*this).joinWorkspace(workspace, std::move(handler));
}

void Quorvela::leaveWorkspace(const std::shared_ptr<Workspace>& workspace, Completion handler) {
    WorkspaceManagement(*this).leaveWorkspace(workspace, std::move(handler));
}

void Quorvela::loadWorkspaces() { WorkspaceManagement(*this).loadWorkspaces(); }

void Quorvela::storeWorkspaces() { WorkspaceManagement(*this).storeWorkspaces(); }

void Quorvela::storeSubscribedWorkspaces() { WorkspaceManagement(*this).storeSubscribedWorkspaces(); }

bool Quorvela::findObject(const std::shared_ptr<Workspace>& object,
                          const std::vector<std::shared_ptr<Workspace>>& list) const {
    return WorkspaceManagement::findObject(object, list);
}

void Quorvela::availableWorkspacesLoadedSuccessfully(const std::vector<std::shared_ptr<Workspace>>& workspaces) {
    WorkspaceManagement(*this).availableWorkspacesLoadedSuccessfully(workspaces);
}

void Quorvela::availableWorkspacesLoadedWithErrors(const std::string&) {
    WorkspaceManagement(*this).logLocalized("Workspace");
}

void Quorvela::subscribedWorkspacesLoadedSuccessfully(const std::vector<std::shared_ptr<Workspace>>& workspaces) {
    WorkspaceManagement(*this).subscribedWorkspacesLoadedSuccessfully(workspaces);
}

void Quorvela::subscribedWorkspacesLoadedWithErrors(const std::string&) {
    WorkspaceManagement(*this).logLocalized("Workspace");
}

void Quorvela::workspaceSubscribedSuccessfully(const std::shared_ptr<Workspace>& workspace) {
    WorkspaceManagement(*this).workspaceSubscribedSuccessfully(workspace);
}

void Quorvela::failedToSubscribeWorkspace(const std::shared_ptr<Workspace>&, const std::optional<std::string>&) {
    WorkspaceManagement(*this).logLocalized("WorkspaceSubscription");
}

void Quorvela::workspaceUnsubscribedSuccessfully(const std::shared_ptr<Workspace>& workspace) {
    WorkspaceManagement(*this).workspaceUnsubscribedSuccessfully(workspace);
}

void Quorvela::failedToUnsubscribeWorkspace(const std::shared_ptr<Workspace>& workspace,
                                            const std::optional<std::string>&) {
    WorkspaceManagement(*this).failedToUnsubscribeWorkspace(workspace);
}

// (end of section: workspace management)

// ---- Push notifications (section: push processing) -------------------------------------

void Quorvela::processRemoteNotification(const Value::Dictionary& payload, Completion handler) {
    PushProcessing(*this).processRemoteNotification(payload, std::move(handler));
}

void Quorvela::processRemoteNotification(const std::string& payloadJson, Completion handler) {
    PushProcessing(*this).processRemoteNotification(std::string_view(payloadJson), std::move(handler));
}

void Quorvela::getUnreadMessagesWithHandler(Completion handler) {
    PushProcessing(*this).getUnreadMessagesWithHandler(std::move(handler));
}

void Quorvela::processPushNotificationForMsgID(const std::optional<std::string>& msgID, Completion handler) {
    PushProcessing(*this).processPushNotificationForMsgID(msgID, std::move(handler));
}

void Quorvela::processPushNotificationForMsgID(const std::optional<std::string>& msgID,
                                               const std::shared_ptr<Workspace>& workspace, Completion handler) {
    PushProcessing(*this).processPushNotificationForMsgID(msgID, workspace, std::move(handler));
}

void Quorvela::pushReceived(const std::shared_ptr<Message>& message, const std::shared_ptr<Workspace>& workspace) {
    PushProcessing(*this).pushReceived(message, workspace);
}

void Quorvela::pendingMessagesRetrieved(const std::vector<std::shared_ptr<Message>>& messages) {
    PushProcessing(*this).pendingMessagesRetrieved(messages);
}

void Quorvela::pendingMessagesRetrievedError(const std::string& error) {
    PushProcessing(*this).pendingMessagesRetrievedError(error);
}

// (end of section: push processing)

// ---- Location updates and regions (section: location engine) ---------------------------
// The flows live in src/location: LocationUpdates, RegionSelection,
// RegionEvents and RegionConsistency.

void Quorvela::startStandardUpdates() { LocationUpdates(*this).startStandardUpdates(); }

void Quorvela::synchronicedGeofences(const std::shared_ptr<Workspace>& workspace) {
    RegionConsistency(*this).synchronicedWorkspaceRegions(workspace);
}

void Quorvela::synchronicedBeacons(const std::shared_ptr<Workspace>& workspace) {
    RegionConsistency(*this).synchronicedWorkspaceRegions(workspace);
}

bool Quorvela::locationServicesAreEnabled() const {
    return LocationUpdates(const_cast<Quorvela&>(*this)).servicesAreEnabled();
}

void Quorvela::refreshMonitoredRegionsToClosest() { RegionSelection(*this).refreshMonitoredRegionsToClosest(); }

void Quorvela::stopMonitoringUnusedRegions() { RegionConsistency(*this).stopMonitoringUnusedRegions(); }

void Quorvela::sendLastLocationForMsgID(const std::optional<std::string>& msgID, const std::optional<std::string>&,
                                        const std::shared_ptr<Workspace>& workspace, Completion handler) {
    LocationUpdates(*this).sendLastLocation(msgID, workspace, std::move(handler));
}

void Quorvela::processGeoPushForMsgID(const std::optional<std::string>& msgID, const std::optional<std::string>&,
                                      const std::shared_ptr<Workspace>& workspace, Completion handler) {
    LocationUpdates(*this).processGeoPush(msgID, workspace, std::move(handler));
}

void Quorvela::unregisterRegionWithMsgID(const std::optional<std::string>& msgID,
                                         const std::optional<std::string>& campaignName,
                                         const std::optional<std::string>&, const std::shared_ptr<Workspace>&) {
    RegionConsistency(*this).unregister(msgID, campaignName, "Unregister region");
}

void Quorvela::unregisterBeaconWithMsgID(const std::optional<std::string>& msgID,
                                         const std::optional<std::string>& campaignName,
                                         const std::optional<std::string>&, const std::shared_ptr<Workspace>&) {
    RegionConsistency(*this).unregister(msgID, campaignName, "Unregister beacon");
}

void Quorvela::forceUpdateLocation() { LocationUpdates(*this).forceUpdateLocation(); }

void Quorvela::locationManagerDidUpdateLocations(LocationManager&, const std::vector<Location>& locations) {
    LocationUpdates(*this).didUpdateLocations(locations);
}

void Quorvela::locationManagerDidChangeAuthorizationStatus(LocationManager&, int status) {
    LocationUpdates(*this).didChangeAuthorizationStatus(status);
}

void Quorvela::locationManagerDidEnterRegion(LocationManager&, const std::shared_ptr<Region>& region) {
    RegionEvents(*this).didEnterOrExit(region, true);
}

void Quorvela::locationManagerDidExitRegion(LocationManager&, const std::shared_ptr<Region>& region) {
    RegionEvents(*this).didEnterOrExit(region, false);
}

void Quorvela::locationManagerDidStartMonitoringForRegion(LocationManager&, const std::shared_ptr<Region>& region) {
    if (region) debugMessage("Starting Monitoring Region with ID: " + region->identifier());
}

void Quorvela::locationManagerMonitoringDidFailForRegion(LocationManager&, const std::shared_ptr<Region>& region,
                                                         const std::string& error) {
    if (!region) return;
    RegionEvents events(*this);
    auto workspace = events.getWorkspaceFromRegion(*region);
    auto campaignName = events.getCampaignNameFromRegion(*region);
    logEvent("ERROR", "monitoringDidFailForRegion: " + region->identifier() + ", Reason: " + error, campaignName,
             workspace);
    // The platform's error carries no user information beyond its text.
    debugMessage(error + " (null)");
}

void Quorvela::resetMonitoringRegions() { RegionSelection(*this).resetMonitoringRegions(); }

std::vector<std::shared_ptr<Region>> Quorvela::monitoredGeoFences() const {
    auto manager = quorvelaLM();
    return manager ? manager->monitoredRegions() : std::vector<std::shared_ptr<Region>>{};
}

Quorvela::RegionEntryList Quorvela::geoFencesList() const {
    std::lock_guard lock(regionListsMutex_);
    return geoFencesList_;
}

void Quorvela::setGeoFencesList(const RegionEntryList& entries) {
    auto unique = RegionEntrySet(entries).take();
    std::lock_guard lock(regionListsMutex_);
    geoFencesList_ = std::move(unique);
}

Quorvela::RegionEntryList Quorvela::beaconsList() const {
    std::lock_guard lock(regionListsMutex_);
    return beaconsList_;
}

void Quorvela::setBeaconsList(const RegionEntryList& entries) {
    auto unique = RegionEntrySet(entries).take();
    std::lock_guard lock(regionListsMutex_);
    beaconsList_ = std::move(unique);
}

void Quorvela::storeRegionLists(RegionEntryList geofences, RegionEntryList beacons) {
    std::lock_guard lock(regionListsMutex_);
    geoFencesList_ = std::move(geofences);
    beaconsList_ = std::move(beacons);
}

std::optional<std::string> Quorvela::getCampaignNameFromRegion(const std::shared_ptr<Region>& region) const {
    return region ? RegionEvents(const_cast<Quorvela&>(*this)).getCampaignNameFromRegion(*region) : std::nullopt;
}

std::shared_ptr<Workspace> Quorvela::getWorkspaceFromRegion(const std::shared_ptr<Region>& region) const {
    return region ? RegionEvents(const_cast<Quorvela&>(*this)).getWorkspaceFromRegion(*region) : nullptr;
}

void Quorvela::LocationCallSuccess(bool, const std::optional<std::string>& message) {
    debugMessage("LocationDelegate: " + SignedUrl::render(message));
}

void Quorvela::LocationCallReturnedError(const std::optional<std::string>& message) {
    debugMessage("LocationDelegate Error: " + SignedUrl::render(message));
}

std::shared_ptr<LocationManagerDelegate> Quorvela::locationManagerDelegate() {
    std::call_once(locationDelegateOnce_,
                   [this] { locationManagerDelegate_ = std::make_shared<FacadeLocationDelegate>(weak_from_this()); });
    return locationManagerDelegate_;
}

// (end of section: location engine)

// ---- Idle (section: flush) ---------------------------------------------------------------

bool Quorvela::flush(std::chrono::milliseconds timeout) { return platform_->dispatcher->waitIdle(timeout); }
// (end of section: flush)

// ---- Helpers -------------------------------------------------------------------------

void Quorvela::debugMessage(const std::string& message) const { EventLogger::debugMessage(*platform_, message); }

std::int64_t Quorvela::timeStamp() {
    using namespace std::chrono;
    return timeStampFor(duration<double>(system_clock::now().time_since_epoch()).count());
}

std::int64_t Quorvela::currentTimeStamp() const { return timeStampFor(platform_->clock->now()); }

std::int64_t Quorvela::timeStampFor(double seconds) {
    // Outside this range the milliseconds do not fit 64 bits (and a cast
    // would be undefined); a broken clock gives 0 rather than garbage.
    if (!std::isfinite(seconds) || std::fabs(seconds) >= 9.2e15) return 0;
    auto whole = static_cast<std::int64_t>(seconds);
    auto millis = static_cast<std::int32_t>(std::fmod(seconds, 1.0) * 1000.0);
    return whole * 1000 + millis;
}

std::string Quorvela::getSDKVersionString() { return "3.6.0"; }

std::optional<std::string> Quorvela::encodeString(const std::string& text, const std::string& key) {
    return RequestSigner::sign(text, key);
}

std::string Quorvela::NSDataToNSString(const std::vector<std::uint8_t>& bytes) {
    return RequestSigner::hexString(bytes);
}

}  // namespace quorvela
