#include "core/QuorvelaCore.h"

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
#include "location/RegionEntry.h"
#include "location/RegionEvents.h"
#include "location/RegionSelection.h"
#include "location/WifiBeaconDetector.h"
#include "model/WorkspaceList.h"
#include "protocol/ClientCredentials.h"
#include "protocol/EventLogger.h"
#include "protocol/RequestSigner.h"
#include "protocol/SignedUrl.h"
#include "protocol/WorkspaceSynchronization.h"
#include "quorvela/Quorvela.h"

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

std::shared_ptr<QuorvelaCore> makeSharedInstance() {
    std::shared_ptr<Platform> platform;
    {
        auto& setup = sharedSetup();
        std::lock_guard lock(setup.mutex);
        setup.made = true;
        platform = setup.platform;
    }
    return QuorvelaCore::create(platform ? platform : Platform::makeDefault());
}

}  // namespace

// ---- Making the facade ------------------------------------------------------

std::shared_ptr<QuorvelaCore> QuorvelaCore::shared() {
    // Made once even under concurrent first calls (static initialisation is
    // serialised) and never destroyed: queue threads may still reach the
    // facade while the process exits.
    static const auto* instance = new std::shared_ptr<QuorvelaCore>(makeSharedInstance());
    return *instance;
}

bool QuorvelaCore::installPlatform(std::shared_ptr<Platform> platform) {
    if (!platform) return false;
    auto& setup = sharedSetup();
    std::lock_guard lock(setup.mutex);
    if (setup.made) return false;
    setup.platform = std::move(platform);
    return true;
}

std::shared_ptr<QuorvelaCore> QuorvelaCore::create(std::shared_ptr<Platform> platform) {
    return std::make_shared<QuorvelaCore>(Passkey(), platform ? std::move(platform) : Platform::makeDefault());
}

QuorvelaCore::QuorvelaCore(Passkey, std::shared_ptr<Platform> platform)
    : platform_(std::move(platform)),
      backgroundTasks_(BackgroundTaskTable::create(platform_->backgroundTasks)),
      wifiBeaconDetector_(std::make_shared<WifiBeaconDetector>(*this)),
      registration_(std::make_unique<RegistrationFlow>(*this)),
      workspaceManagement_(std::make_unique<WorkspaceManagement>(*this)),
      pushProcessing_(std::make_unique<PushProcessing>(*this)),
      locationUpdates_(std::make_unique<LocationUpdates>(*this)),
      regionSelection_(std::make_unique<RegionSelection>(*this)),
      regionEvents_(std::make_unique<RegionEvents>(*this)),
      regionConsistency_(std::make_unique<RegionConsistency>(*this)) {
    WorkspaceSynchronization::install();
}

QuorvelaCore::~QuorvelaCore() = default;

std::shared_ptr<Quorvela> QuorvelaCore::facade() {
    std::lock_guard lock(facadeMutex_);
    auto handle = facade_.lock();
    if (!handle) {
        handle = std::make_shared<Quorvela>(shared_from_this());
        facade_ = handle;
    }
    return handle;
}

// ---- Configuration and start-up ----------------------------------------------

StartReport QuorvelaCore::configureInstance() {
    auto report = Configuration(*platform_).apply([this](const ClientCredentials& credentials) {
        setAppName(credentials.appName);
        setClientID(credentials.clientID);
        setApiClientPrivateKey(credentials.apiClientPrivateKey);
    });
    if (report.status == StartReport::Status::FileMissing) return report;
    if (report.configured()) initQuorvela();
    platform_->keyValueStore->synchronize();
    return report;
}

void QuorvelaCore::initQuorvela() {
    Startup startup(*platform_);
    startup.prepareIdentity();
    if (startup.isReady()) {
        startStandardUpdates();
        initWorkspaces();
        // Replies that an earlier run kept but never stored go in now.
        platform_->dispatcher->global([core = shared_from_this()] { core->pushProcessing().takeJournaledReplies(); });
        setUseQuorvelaSDK(true);
    }
    logEvent("INIT", std::string(), std::nullopt);
}

void QuorvelaCore::loadQuorvelaCredentials(const std::string& fileName) {
    if (!ConfigurationGuard(*platform_).requireConfigured("loadQuorvelaCredentials")) return;
    auto credentials = Configuration(*platform_).readCredentials(fileName);
    if (!credentials) return;
    std::lock_guard lock(credentialsMutex_);
    appName_ = credentials->appName;
    clientID_ = credentials->clientID;
    apiClientPrivateKey_ = credentials->apiClientPrivateKey;
}

void QuorvelaCore::loadEnvironmentFromFile(const std::string& fileName) {
    Configuration(*platform_).loadEnvironment(fileName);
}

// ---- Credentials ---------------------------------------------------------------

std::optional<std::string> QuorvelaCore::appName() const {
    std::lock_guard lock(credentialsMutex_);
    return appName_;
}

void QuorvelaCore::setAppName(std::optional<std::string> value) {
    std::lock_guard lock(credentialsMutex_);
    appName_ = std::move(value);
}

std::optional<std::string> QuorvelaCore::clientID() const {
    std::lock_guard lock(credentialsMutex_);
    return clientID_;
}

void QuorvelaCore::setClientID(std::optional<std::string> value) {
    std::lock_guard lock(credentialsMutex_);
    clientID_ = std::move(value);
}

std::optional<std::string> QuorvelaCore::apiClientPrivateKey() const {
    std::lock_guard lock(credentialsMutex_);
    return apiClientPrivateKey_;
}

void QuorvelaCore::setApiClientPrivateKey(std::optional<std::string> value) {
    std::lock_guard lock(credentialsMutex_);
    apiClientPrivateKey_ = std::move(value);
}

ClientCredentials QuorvelaCore::credentials() const {
    std::lock_guard lock(credentialsMutex_);
    return ClientCredentials{appName_, clientID_, apiClientPrivateKey_};
}

// ---- Persisted settings ----------------------------------------------------------

void QuorvelaCore::setLogAllEventsDisabled(bool disabled) {
    platform_->keyValueStore->set(Settings::kLoggingDisabled, Value(disabled));
}

bool QuorvelaCore::isLogAllEventsDisabled() const {
    return Settings(*platform_->keyValueStore).flag(Settings::kLoggingDisabled);
}

void QuorvelaCore::setGetLocationDisabled(bool disabled) {
    platform_->keyValueStore->set(Settings::kLocationDisabled, Value(disabled));
}

bool QuorvelaCore::isGetLocationDisabled() const {
    return Settings(*platform_->keyValueStore).flag(Settings::kLocationDisabled);
}

void QuorvelaCore::setMaxStoredMessages(std::int32_t maxStoredMessages) {
    platform_->keyValueStore->set(Settings::kMaxStoredMessages, Value(static_cast<long long>(maxStoredMessages)));
}

// ---- State -------------------------------------------------------------------------

std::shared_ptr<QuorvelaProtocol> QuorvelaCore::delegate() const {
    std::lock_guard lock(stateMutex_);
    return delegate_;
}

void QuorvelaCore::setDelegate(std::shared_ptr<QuorvelaProtocol> delegate) {
    std::lock_guard lock(stateMutex_);
    delegate_ = std::move(delegate);
}

std::optional<Location> QuorvelaCore::quorvelaLastLocation() const {
    std::lock_guard lock(stateMutex_);
    return quorvelaLastLocation_;
}

void QuorvelaCore::setQuorvelaLastLocation(std::optional<Location> location) {
    std::lock_guard lock(stateMutex_);
    quorvelaLastLocation_ = std::move(location);
}

std::shared_ptr<WorkspaceList> QuorvelaCore::workspaces() const { return workspaceManagement_->workspaces(); }

void QuorvelaCore::setWorkspaces(std::shared_ptr<WorkspaceList> list) {
    workspaceManagement_->setWorkspaces(std::move(list));
}

std::shared_ptr<WorkspaceList> QuorvelaCore::workspacesSubscribed() const {
    return workspaceManagement_->workspacesSubscribed();
}

void QuorvelaCore::setWorkspacesSubscribed(std::shared_ptr<WorkspaceList> list) {
    workspaceManagement_->setWorkspacesSubscribed(std::move(list));
}

std::shared_ptr<WorkspaceRecord> QuorvelaCore::getWorkspaceWithClientID(
    const std::optional<std::string>& clientID) const {
    if (!ConfigurationGuard(*platform_).requireConfigured("getWorkspaceWithClientID")) return nullptr;
    return workspacesSubscribed()->findByClientId(clientID);
}

// ---- Registration (the flows live in RegistrationFlow) ------------------------------

void QuorvelaCore::registerWithUserID(const std::optional<std::string>& userID, RegistrationCompletion completion) {
    registration_->registerWithUserID(userID, std::move(completion));
}

void QuorvelaCore::unRegisterUser(RegistrationCompletion completion) {
    registration_->unRegisterUser(std::move(completion));
}

void QuorvelaCore::registerDeviceToken(const std::optional<std::vector<std::uint8_t>>& token) {
    registration_->registerDeviceToken(token);
}

void QuorvelaCore::deviceSubscriberWithUniqueID() { registration_->deviceSubscriberWithUniqueID(); }

void QuorvelaCore::registerDialog() { registration_->registerDialog(); }

// ---- Background tasks ------------------------------------------------------------

void QuorvelaCore::beginBackgroundTaskWithIdentifier(const std::string& identifier) {
    backgroundTasks_->begin(identifier);
}

void QuorvelaCore::endBackgroundTaskWithIdentifier(const std::string& identifier) { backgroundTasks_->end(identifier); }

// ---- Analytics -----------------------------------------------------------------------

namespace {

bool analyticsDisabled(const Platform& platform) {
    return Settings(*platform.keyValueStore).flag(Settings::kAnalyticsDisabled);
}

}  // namespace

void QuorvelaCore::logEvent(const std::optional<std::string>& eventType, const std::optional<std::string>& extraInfo,
                            const std::optional<std::string>& campaignName) {
    auto workspace = getWorkspaceWithClientID(clientID());
    if (analyticsDisabled(*platform_)) return;
    auto logger = std::make_shared<EventLogger>(platform_, credentials(), quorvelaLastLocation());
    logger->logEvent(eventType, extraInfo, campaignName, workspace);
}

void QuorvelaCore::logEvent(const std::optional<std::string>& eventType, const std::optional<std::string>& extraInfo) {
    if (analyticsDisabled(*platform_)) return;
    auto logger = std::make_shared<EventLogger>(platform_, credentials(), quorvelaLastLocation());
    logger->logEvent(eventType, extraInfo);
}

void QuorvelaCore::logEvent(const std::optional<std::string>& eventType, const std::optional<std::string>& extraInfo,
                            const std::optional<std::string>& campaignName,
                            std::shared_ptr<WorkspaceRecord> workspace) {
    if (analyticsDisabled(*platform_)) return;
    auto logger = std::make_shared<EventLogger>(platform_, credentials(), quorvelaLastLocation());
    logger->logEvent(eventType, extraInfo, campaignName, workspace);
}

std::optional<std::string> QuorvelaCore::publicIP() const {
    return PublicIPLookup::fetch(*platform_->http, Quorvela::kPublicIPTimeout);
}

// ---- Wi-Fi beacons and network changes (the flow lives in WifiBeaconDetector) ----

std::string QuorvelaCore::currentSSID() const { return WifiBeaconDetector::findSSID(platform_->wifiInfo.get()); }

std::optional<Value::Dictionary> QuorvelaCore::currentConnectionData() const {
    return WifiBeaconDetector::findConnectionData(platform_->wifiInfo.get());
}

void QuorvelaCore::onNetworkChangeCallback(const std::string& name) {
    wifiBeaconDetector_->onNetworkChangeCallback(shared_from_this(), name);
}

void QuorvelaCore::startNetworkChangeWatch() {
    std::call_once(networkWatchOnce_, [this] {
        if (!platform_->networkMonitor) return;
        // Weak: the platform (and its monitor) belongs to the facade.
        std::weak_ptr<QuorvelaCore> weak = weak_from_this();
        platform_->networkMonitor->addObserver(NetworkMonitor::kNetworkChange, [weak](const std::string& name) {
            if (auto facade = weak.lock()) facade->onNetworkChangeCallback(name);
        });
    });
}

// ---- Workspaces (section: workspace management) ---------------------------------------

void QuorvelaCore::initWorkspaces() { workspaceManagement_->initWorkspaces(); }

void QuorvelaCore::synchronicedWorkspace(const std::shared_ptr<WorkspaceRecord>& workspace) {
    workspaceManagement_->synchronicedWorkspace(workspace);
}

std::shared_ptr<WorkspaceRecord> QuorvelaCore::getDefaultWorkspace() const {
    return workspaceManagement_->getDefaultWorkspace();
}

void QuorvelaCore::fetchAvailableWorkspacesWithCompletionHandler(Completion handler) {
    workspaceManagement_->fetchAvailableWorkspaces(std::move(handler));
}

void QuorvelaCore::fetchSubscribedWorkspacesWithCompletionHandler(Completion handler) {
    workspaceManagement_->fetchSubscribedWorkspaces(std::move(handler));
}

void QuorvelaCore::getAvailableWorkspaceswithFilter(const std::optional<std::string>& filter, Completion handler) {
    workspaceManagement_->getAvailableWorkspaceswithFilter(filter, std::move(handler));
}

std::vector<std::shared_ptr<WorkspaceRecord>> QuorvelaCore::getAvailableWorkspaces() const {
    return workspaceManagement_->getAvailableWorkspaces();
}

std::vector<std::shared_ptr<WorkspaceRecord>> QuorvelaCore::getSubscribedWorkspaces() const {
    return workspaceManagement_->getSubscribedWorkspaces();
}

void QuorvelaCore::joinWorkspace(const std::shared_ptr<WorkspaceRecord>& workspace, Completion handler) {
    workspaceManagement_->joinWorkspace(workspace, std::move(handler));
}

void QuorvelaCore::leaveWorkspace(const std::shared_ptr<WorkspaceRecord>& workspace, Completion handler) {
    workspaceManagement_->leaveWorkspace(workspace, std::move(handler));
}

void QuorvelaCore::loadWorkspaces() { workspaceManagement_->loadWorkspaces(); }

void QuorvelaCore::storeWorkspaces() { workspaceManagement_->storeWorkspaces(); }

void QuorvelaCore::storeSubscribedWorkspaces() { workspaceManagement_->storeSubscribedWorkspaces(); }

bool QuorvelaCore::findObject(const std::shared_ptr<WorkspaceRecord>& object,
                              const std::vector<std::shared_ptr<WorkspaceRecord>>& list) const {
    return WorkspaceManagement::findObject(object, list);
}

// (end of section: workspace management)

// ---- Push notifications (section: push processing) -------------------------------------

void QuorvelaCore::processRemoteNotification(const Value::Dictionary& payload, Completion handler) {
    pushProcessing_->processRemoteNotification(payload, std::move(handler));
}

void QuorvelaCore::processRemoteNotification(const std::string& payloadJson, Completion handler) {
    pushProcessing_->processRemoteNotification(std::string_view(payloadJson), std::move(handler));
}

void QuorvelaCore::getUnreadMessagesWithHandler(Completion handler) {
    pushProcessing_->getUnreadMessagesWithHandler(std::move(handler));
}

void QuorvelaCore::processPushNotificationForMsgID(const std::optional<std::string>& msgID, Completion handler) {
    pushProcessing_->processPushNotificationForMsgID(msgID, std::move(handler));
}

void QuorvelaCore::processPushNotificationForMsgID(const std::optional<std::string>& msgID,
                                                   const std::shared_ptr<WorkspaceRecord>& workspace,
                                                   Completion handler) {
    pushProcessing_->processPushNotificationForMsgID(msgID, workspace, std::move(handler));
}

void QuorvelaCore::pushReceived(const std::shared_ptr<Message>& message,
                                const std::shared_ptr<WorkspaceRecord>& workspace) {
    pushProcessing_->pushReceived(message, workspace);
}

// (end of section: push processing)

// ---- Location updates and regions (section: location engine) ---------------------------
// The flows live in src/location: LocationUpdates, RegionSelection,
// RegionEvents and RegionConsistency.

void QuorvelaCore::startStandardUpdates() { locationUpdates_->startStandardUpdates(); }

void QuorvelaCore::synchronicedGeofences(const std::shared_ptr<WorkspaceRecord>& workspace) {
    regionConsistency_->synchronicedWorkspaceRegions(workspace);
}

void QuorvelaCore::synchronicedBeacons(const std::shared_ptr<WorkspaceRecord>& workspace) {
    regionConsistency_->synchronicedWorkspaceRegions(workspace);
}

bool QuorvelaCore::locationServicesAreEnabled() const { return locationUpdates_->servicesAreEnabled(); }

void QuorvelaCore::refreshMonitoredRegionsToClosest() { regionSelection_->refreshMonitoredRegionsToClosest(); }

void QuorvelaCore::stopMonitoringUnusedRegions() { regionConsistency_->stopMonitoringUnusedRegions(); }

void QuorvelaCore::sendLastLocationForMsgID(const std::optional<std::string>& msgID, const std::optional<std::string>&,
                                            const std::shared_ptr<WorkspaceRecord>& workspace, Completion handler) {
    locationUpdates_->sendLastLocation(msgID, workspace, std::move(handler));
}

void QuorvelaCore::processGeoPushForMsgID(const std::optional<std::string>& msgID, const std::optional<std::string>&,
                                          const std::shared_ptr<WorkspaceRecord>& workspace, Completion handler) {
    locationUpdates_->processGeoPush(msgID, workspace, std::move(handler));
}

void QuorvelaCore::unregisterRegionWithMsgID(const std::optional<std::string>& msgID,
                                             const std::optional<std::string>& campaignName,
                                             const std::optional<std::string>&,
                                             const std::shared_ptr<WorkspaceRecord>&) {
    regionConsistency_->unregister(msgID, campaignName, "Unregister region");
}

void QuorvelaCore::unregisterBeaconWithMsgID(const std::optional<std::string>& msgID,
                                             const std::optional<std::string>& campaignName,
                                             const std::optional<std::string>&,
                                             const std::shared_ptr<WorkspaceRecord>&) {
    regionConsistency_->unregister(msgID, campaignName, "Unregister beacon");
}

void QuorvelaCore::forceUpdateLocation() { locationUpdates_->forceUpdateLocation(); }

void QuorvelaCore::locationManagerDidUpdateLocations(LocationManager&, const std::vector<Location>& locations) {
    locationUpdates_->didUpdateLocations(locations);
}

void QuorvelaCore::locationManagerDidChangeAuthorizationStatus(LocationManager&, int status) {
    locationUpdates_->didChangeAuthorizationStatus(status);
}

void QuorvelaCore::locationManagerDidEnterRegion(LocationManager&, const std::shared_ptr<Region>& region) {
    regionEvents_->didEnterOrExit(region, true);
}

void QuorvelaCore::locationManagerDidExitRegion(LocationManager&, const std::shared_ptr<Region>& region) {
    regionEvents_->didEnterOrExit(region, false);
}

void QuorvelaCore::locationManagerDidStartMonitoringForRegion(LocationManager&, const std::shared_ptr<Region>& region) {
    if (region) debugMessage("Starting Monitoring Region with ID: " + region->identifier());
}

void QuorvelaCore::locationManagerMonitoringDidFailForRegion(LocationManager&, const std::shared_ptr<Region>& region,
                                                             const std::string& error) {
    if (!region) return;
    auto& events = *regionEvents_;
    auto workspace = events.getWorkspaceFromRegion(*region);
    auto campaignName = events.getCampaignNameFromRegion(*region);
    logEvent("ERROR", "monitoringDidFailForRegion: " + region->identifier() + ", Reason: " + error, campaignName,
             workspace);
    // The platform's error carries no user information beyond its text.
    debugMessage(error + " (null)");
}

void QuorvelaCore::resetMonitoringRegions() { regionSelection_->resetMonitoringRegions(); }

std::vector<std::shared_ptr<Region>> QuorvelaCore::monitoredGeoFences() const {
    auto manager = quorvelaLM();
    return manager ? manager->monitoredRegions() : std::vector<std::shared_ptr<Region>>{};
}

QuorvelaCore::RegionEntryList QuorvelaCore::geoFencesList() const { return regionSelection_->geoFencesList(); }

void QuorvelaCore::setGeoFencesList(const RegionEntryList& entries) { regionSelection_->setGeoFencesList(entries); }

QuorvelaCore::RegionEntryList QuorvelaCore::beaconsList() const { return regionSelection_->beaconsList(); }

void QuorvelaCore::setBeaconsList(const RegionEntryList& entries) { regionSelection_->setBeaconsList(entries); }

std::optional<std::string> QuorvelaCore::getCampaignNameFromRegion(const std::shared_ptr<Region>& region) const {
    return region ? regionEvents_->getCampaignNameFromRegion(*region) : std::nullopt;
}

std::shared_ptr<WorkspaceRecord> QuorvelaCore::getWorkspaceFromRegion(const std::shared_ptr<Region>& region) const {
    return region ? regionEvents_->getWorkspaceFromRegion(*region) : nullptr;
}

// (end of section: location engine)

// ---- Idle (section: flush) ---------------------------------------------------------------

bool QuorvelaCore::flush(std::chrono::milliseconds timeout) { return platform_->dispatcher->waitIdle(timeout); }

bool QuorvelaCore::close(std::chrono::milliseconds timeout) {
    const bool idle = flush(timeout);
    // Whatever finished is on disk before the host exits.
    const bool stored = platform_->keyValueStore->synchronize();
    return idle && stored;
}
// (end of section: flush)

// ---- Helpers -------------------------------------------------------------------------

void QuorvelaCore::debugMessage(const std::string& message) const { EventLogger::debugMessage(*platform_, message); }

std::int64_t QuorvelaCore::currentTimeStamp() const { return Quorvela::timeStampFor(platform_->clock->now()); }

}  // namespace quorvela
