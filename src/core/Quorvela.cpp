#include "quorvela/Quorvela.h"

#include <chrono>
#include <cmath>

#include "core/QuorvelaCore.h"
#include "model/WorkspaceRecord.h"
#include "protocol/RequestSigner.h"

// The handle forwards every operation to its implementation; see QuorvelaCore.
namespace quorvela {

namespace {

std::vector<std::shared_ptr<Workspace>> asWorkspaces(const std::vector<std::shared_ptr<WorkspaceRecord>>& records) {
    return {records.begin(), records.end()};
}

}  // namespace

// ---- Making the facade ------------------------------------------------------

std::shared_ptr<Quorvela> Quorvela::sharedInstance() {
    // One handle for the whole process, like the implementation behind it.
    static const auto* instance = new std::shared_ptr<Quorvela>(QuorvelaCore::shared()->facade());
    return *instance;
}

bool Quorvela::installPlatform(std::shared_ptr<Platform> platform) {
    return QuorvelaCore::installPlatform(std::move(platform));
}

std::shared_ptr<Quorvela> Quorvela::create(std::shared_ptr<Platform> platform) {
    return QuorvelaCore::create(std::move(platform))->facade();
}

std::shared_ptr<Quorvela> Quorvela::create(const Options& options) {
    auto facade = create(Platform::makeDefault(options.platform));
    facade->setDelegate(options.delegate);
    return facade;
}

Quorvela::Quorvela(std::shared_ptr<QuorvelaCore> core) : core_(std::move(core)) {}

Quorvela::~Quorvela() = default;

const std::shared_ptr<Platform>& Quorvela::platform() const { return core_->platform(); }

// ---- Configuration and start-up ----------------------------------------------

void Quorvela::configure() { sharedInstance()->configureInstance(); }
void Quorvela::configureInstance() { core_->configureInstance(); }
StartReport Quorvela::start() { return core_->configureInstance(); }
void Quorvela::loadQuorvelaCredentials(const std::string& fileName) { core_->loadQuorvelaCredentials(fileName); }
void Quorvela::loadEnvironmentFromFile(const std::string& fileName) { core_->loadEnvironmentFromFile(fileName); }

// ---- Credentials and settings ---------------------------------------------------

std::optional<std::string> Quorvela::appName() const { return core_->appName(); }
void Quorvela::setAppName(std::optional<std::string> value) { core_->setAppName(std::move(value)); }
std::optional<std::string> Quorvela::clientID() const { return core_->clientID(); }
void Quorvela::setClientID(std::optional<std::string> value) { core_->setClientID(std::move(value)); }
std::optional<std::string> Quorvela::apiClientPrivateKey() const { return core_->apiClientPrivateKey(); }
void Quorvela::setApiClientPrivateKey(std::optional<std::string> value) {
    core_->setApiClientPrivateKey(std::move(value));
}

void Quorvela::setLogAllEventsDisabled(bool disabled) { core_->setLogAllEventsDisabled(disabled); }
bool Quorvela::isLogAllEventsDisabled() const { return core_->isLogAllEventsDisabled(); }
void Quorvela::setGetLocationDisabled(bool disabled) { core_->setGetLocationDisabled(disabled); }
bool Quorvela::isGetLocationDisabled() const { return core_->isGetLocationDisabled(); }
void Quorvela::setMaxStoredMessages(std::int32_t maxStoredMessages) { core_->setMaxStoredMessages(maxStoredMessages); }

std::shared_ptr<QuorvelaProtocol> Quorvela::delegate() const { return core_->delegate(); }
void Quorvela::setDelegate(std::shared_ptr<QuorvelaProtocol> delegate) { core_->setDelegate(std::move(delegate)); }
std::optional<Location> Quorvela::quorvelaLastLocation() const { return core_->quorvelaLastLocation(); }

// ---- Registration ------------------------------------------------------------------

void Quorvela::registerWithUserID(const std::optional<std::string>& userID, RegistrationCompletion completion) {
    core_->registerWithUserID(userID, std::move(completion));
}
void Quorvela::unRegisterUser(RegistrationCompletion completion) { core_->unRegisterUser(std::move(completion)); }
void Quorvela::registerDeviceToken(const std::optional<std::vector<std::uint8_t>>& token) {
    core_->registerDeviceToken(token);
}
void Quorvela::deviceSubscriberWithUniqueID() { core_->deviceSubscriberWithUniqueID(); }
void Quorvela::registerDialog() { core_->registerDialog(); }

// ---- Push notifications ------------------------------------------------------------

void Quorvela::processRemoteNotification(const Value::Dictionary& payload, Completion handler) {
    core_->processRemoteNotification(payload, std::move(handler));
}
void Quorvela::processRemoteNotification(const std::string& payloadJson, Completion handler) {
    core_->processRemoteNotification(payloadJson, std::move(handler));
}
void Quorvela::getUnreadMessagesWithHandler(Completion handler) {
    core_->getUnreadMessagesWithHandler(std::move(handler));
}
void Quorvela::processPushNotificationForMsgID(const std::optional<std::string>& msgID, Completion handler) {
    core_->processPushNotificationForMsgID(msgID, std::move(handler));
}
void Quorvela::processPushNotificationForMsgID(const std::optional<std::string>& msgID,
                                               const std::shared_ptr<Workspace>& workspace, Completion handler) {
    core_->processPushNotificationForMsgID(msgID, WorkspaceRecord::of(workspace), std::move(handler));
}

// ---- Workspaces ----------------------------------------------------------------------

std::shared_ptr<Workspace> Quorvela::getWorkspaceWithClientID(const std::optional<std::string>& clientID) const {
    return core_->getWorkspaceWithClientID(clientID);
}
std::shared_ptr<Workspace> Quorvela::getDefaultWorkspace() const { return core_->getDefaultWorkspace(); }
void Quorvela::fetchAvailableWorkspacesWithCompletionHandler(Completion handler) {
    core_->fetchAvailableWorkspacesWithCompletionHandler(std::move(handler));
}
void Quorvela::fetchSubscribedWorkspacesWithCompletionHandler(Completion handler) {
    core_->fetchSubscribedWorkspacesWithCompletionHandler(std::move(handler));
}
void Quorvela::getAvailableWorkspaceswithFilter(const std::optional<std::string>& filter, Completion handler) {
    core_->getAvailableWorkspaceswithFilter(filter, std::move(handler));
}
std::vector<std::shared_ptr<Workspace>> Quorvela::getAvailableWorkspaces() const {
    return asWorkspaces(core_->getAvailableWorkspaces());
}
std::vector<std::shared_ptr<Workspace>> Quorvela::getSubscribedWorkspaces() const {
    return asWorkspaces(core_->getSubscribedWorkspaces());
}
void Quorvela::joinWorkspace(const std::shared_ptr<Workspace>& workspace, Completion handler) {
    core_->joinWorkspace(WorkspaceRecord::of(workspace), std::move(handler));
}
void Quorvela::leaveWorkspace(const std::shared_ptr<Workspace>& workspace, Completion handler) {
    core_->leaveWorkspace(WorkspaceRecord::of(workspace), std::move(handler));
}

// ---- Location and regions ---------------------------------------------------------------

bool Quorvela::locationServicesAreEnabled() const { return core_->locationServicesAreEnabled(); }
void Quorvela::forceUpdateLocation() { core_->forceUpdateLocation(); }
void Quorvela::refreshMonitoredRegionsToClosest() { core_->refreshMonitoredRegionsToClosest(); }
void Quorvela::resetMonitoringRegions() { core_->resetMonitoringRegions(); }
std::vector<std::shared_ptr<Region>> Quorvela::monitoredGeoFences() const { return core_->monitoredGeoFences(); }

// ---- Wi-Fi and network changes ----------------------------------------------------------

std::string Quorvela::findSSID() { return sharedInstance()->currentSSID(); }
std::string Quorvela::currentSSID() const { return core_->currentSSID(); }
std::optional<Value::Dictionary> Quorvela::findConnectionData() { return sharedInstance()->currentConnectionData(); }
std::optional<Value::Dictionary> Quorvela::currentConnectionData() const { return core_->currentConnectionData(); }
void Quorvela::onNetworkChangeCallback(const std::string& name) { core_->onNetworkChangeCallback(name); }

void onNetworkChangeCallback(const std::string& name) { Quorvela::sharedInstance()->onNetworkChangeCallback(name); }

// ---- Analytics ------------------------------------------------------------------------------

void Quorvela::logEvent(const std::optional<std::string>& eventType, const std::optional<std::string>& extraInfo,
                        const std::optional<std::string>& campaignName) {
    core_->logEvent(eventType, extraInfo, campaignName);
}
void Quorvela::logEvent(const std::optional<std::string>& eventType, const std::optional<std::string>& extraInfo) {
    core_->logEvent(eventType, extraInfo);
}
void Quorvela::logEvent(const std::optional<std::string>& eventType, const std::optional<std::string>& extraInfo,
                        const std::optional<std::string>& campaignName, std::shared_ptr<Workspace> workspace) {
    core_->logEvent(eventType, extraInfo, campaignName, WorkspaceRecord::of(workspace));
}
std::optional<std::string> Quorvela::getPublicIP() { return sharedInstance()->publicIP(); }
std::optional<std::string> Quorvela::publicIP() const { return core_->publicIP(); }

// ---- Idle and helpers ------------------------------------------------------------------------

bool Quorvela::flush(std::chrono::milliseconds timeout) { return core_->flush(timeout); }
bool Quorvela::close(std::chrono::milliseconds timeout) { return core_->close(timeout); }

void Quorvela::debugMessage(const std::string& message) const { core_->debugMessage(message); }

std::int64_t Quorvela::timeStamp() {
    using namespace std::chrono;
    return timeStampFor(duration<double>(system_clock::now().time_since_epoch()).count());
}

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
