#include "c/CSession.h"

#include <cmath>

#include "c/ArgumentCheck.h"
#include "c/BridgeDelegate.h"
#include "c/CallError.h"
#include "c/JsonExport.h"
#include "c/ObservedLocationManager.h"
#include "c/ObservedWifiInfo.h"
#include "model/MessageRecord.h"
#include "model/WorkspaceRecord.h"
#include "quorvela/Message.h"
#include "quorvela/Workspace.h"
#include "quorvela/platform/ManualLocationSource.h"
#include "quorvela/platform/ManualWifiInfo.h"
#include "quorvela/platform/NetworkMonitor.h"
#include "quorvela/platform/SoftwareLocationManager.h"

namespace quorvela::c {

namespace {

std::shared_ptr<Workspace> withClientId(const std::vector<std::shared_ptr<Workspace>>& list,
                                        const std::string& clientId) {
    for (const auto& workspace : list)
        if (workspace && workspace->clientId() == clientId) return workspace;
    return nullptr;
}

quorvela_fetch_result_t fetchResult(unsigned long value) {
    switch (fetchResultOf(value).value_or(FetchResult::Failed)) {
    case FetchResult::NewData: return QUORVELA_FETCH_NEW_DATA;
    case FetchResult::NoData: return QUORVELA_FETCH_NO_DATA;
    case FetchResult::Failed: return QUORVELA_FETCH_FAILED;
    }
    return QUORVELA_FETCH_FAILED;
}

quorvela_registration_t registrationResult(RegistrationResult result) {
    switch (result) {
    case RegistrationResult::Succeeded: return QUORVELA_REGISTRATION_SUCCEEDED;
    case RegistrationResult::Unchanged: return QUORVELA_REGISTRATION_UNCHANGED;
    case RegistrationResult::Refused: return QUORVELA_REGISTRATION_REFUSED;
    case RegistrationResult::Failed: return QUORVELA_REGISTRATION_FAILED;
    }
    return QUORVELA_REGISTRATION_FAILED;
}

}  // namespace

std::shared_ptr<CSession> CSession::open(std::shared_ptr<Platform> platform, SessionInputs inputs,
                                         std::shared_ptr<CallbackBridge> bridge) {
    if (platform->locationManager)
        platform->locationManager = std::make_shared<ObservedLocationManager>(platform->locationManager, bridge);
    if (platform->wifiInfo) platform->wifiInfo = std::make_shared<ObservedWifiInfo>(platform->wifiInfo, bridge);
    auto facade = Quorvela::create(platform);
    facade->setDelegate(std::make_shared<BridgeDelegate>(bridge));
    const StartReport report = facade->start();
    if (!report.configured()) {
        // Nothing was started; the facade goes without a trace.
        facade->close(std::chrono::milliseconds(0));
        bridge->closeGate();
        throw CallError(QUORVELA_ERR_CONFIGURATION, "cannot start: " + report.describe());
    }
    return std::shared_ptr<CSession>(new CSession(std::move(facade), std::move(inputs), std::move(bridge)));
}

CSession::Handed<Quorvela::Completion> CSession::fetchCompletion(quorvela_fetch_callback_t done, void* userData) {
    if (!done) return {};
    const auto id = bridge_->addCompletion(
        [done, userData](int result) { done(userData, static_cast<quorvela_fetch_result_t>(result)); },
        QUORVELA_FETCH_FAILED);
    return {[bridge = bridge_, id](unsigned long value) { bridge->complete(id, fetchResult(value)); }, id};
}

CSession::Handed<RegistrationCompletion> CSession::registrationCompletion(quorvela_registration_callback_t done,
                                                                          void* userData) {
    if (!done) return {};
    const auto id = bridge_->addCompletion(
        [done, userData](int result) { done(userData, static_cast<quorvela_registration_t>(result)); },
        QUORVELA_REGISTRATION_FAILED);
    return {[bridge = bridge_, id](RegistrationResult result) { bridge->complete(id, registrationResult(result)); },
            id};
}

void CSession::registerUser(const std::string& userId, quorvela_registration_callback_t done, void* userData) {
    if (userId.empty()) throw InvalidArgument("user_id is empty");
    handOver(registrationCompletion(done, userData),
             [&](const auto& completion) { facade_->registerWithUserID(userId, completion); });
}

void CSession::unregisterUser(quorvela_registration_callback_t done, void* userData) {
    handOver(registrationCompletion(done, userData),
             [&](const auto& completion) { facade_->unRegisterUser(completion); });
}

void CSession::setPushToken(std::vector<std::uint8_t> token) {
    if (token.empty()) throw InvalidArgument("the push token is empty");
    facade_->registerDeviceToken(std::move(token));
}

void CSession::processPush(const std::string& payloadJson, quorvela_fetch_callback_t done, void* userData) {
    // The facade calls its handler in every case; a host without one still
    // gets the work done.
    handOver(fetchCompletion(done, userData), [&](const auto& completion) {
        facade_->processRemoteNotification(
            payloadJson, completion ? completion : [](unsigned long) {});
    });
}

void CSession::logEvent(const std::string& eventType, const std::optional<std::string>& extraInfo,
                        const std::optional<std::string>& campaign) {
    facade_->logEvent(eventType, extraInfo, campaign);
}

void CSession::fetchAvailableWorkspaces(quorvela_fetch_callback_t done, void* userData) {
    handOver(fetchCompletion(done, userData),
             [&](const auto& completion) { facade_->fetchAvailableWorkspacesWithCompletionHandler(completion); });
}

std::string CSession::availableWorkspaces() const { return JsonExport::workspaces(facade_->getAvailableWorkspaces()); }

std::string CSession::subscribedWorkspaces() const {
    return JsonExport::workspaces(facade_->getSubscribedWorkspaces());
}

void CSession::joinWorkspace(const std::string& clientId, quorvela_fetch_callback_t done, void* userData) {
    auto workspace = withClientId(facade_->getAvailableWorkspaces(), clientId);
    if (!workspace) throw CallError(QUORVELA_ERR_NOT_FOUND, "no available workspace " + clientId);
    handOver(fetchCompletion(done, userData),
             [&](const auto& completion) { facade_->joinWorkspace(workspace, completion); });
}

void CSession::leaveWorkspace(const std::string& clientId, quorvela_fetch_callback_t done, void* userData) {
    auto workspace = withClientId(facade_->getSubscribedWorkspaces(), clientId);
    if (!workspace) throw CallError(QUORVELA_ERR_NOT_FOUND, "no subscribed workspace " + clientId);
    handOver(fetchCompletion(done, userData),
             [&](const auto& completion) { facade_->leaveWorkspace(workspace, completion); });
}

std::shared_ptr<Workspace> CSession::subscribed(const std::optional<std::string>& clientId) const {
    auto workspace = clientId ? facade_->getWorkspaceWithClientID(clientId) : facade_->getDefaultWorkspace();
    if (!workspace)
        throw CallError(QUORVELA_ERR_NOT_FOUND,
                        clientId ? "no subscribed workspace " + *clientId : "no default workspace");
    return workspace;
}

std::string CSession::inbox(const std::optional<std::string>& clientId) const {
    return JsonExport::messages(subscribed(clientId)->getMessages());
}

void CSession::changeMessageStatus(const std::optional<std::string>& clientId, const std::string& messageId,
                                   const std::string& status) {
    auto record = WorkspaceRecord::of(subscribed(clientId));
    if (!record) throw CallError(QUORVELA_ERR_INTERNAL, "the workspace is not the library's");
    for (const auto& message : record->getMessages()) {
        if (!message || message->id() != messageId) continue;
        auto changed = std::make_shared<MessageRecord>(*message);
        changed->setStatus(status);
        record->processMessage(changed);
        return;
    }
    throw CallError(QUORVELA_ERR_NOT_FOUND, "no message " + messageId + " in the inbox");
}

void CSession::setPosition(double latitude, double longitude, double accuracy) {
    if (!inputs_.positions) throw CallError(QUORVELA_ERR_UNSUPPORTED, "the location source takes no positions");
    if (!std::isfinite(latitude) || !std::isfinite(longitude) || std::fabs(latitude) > 90.0 ||
        std::fabs(longitude) > 180.0 || !std::isfinite(accuracy) || accuracy < 0.0)
        throw InvalidArgument("the position is not on the globe, or the accuracy is negative");
    if (!inputs_.positions->pushPosition(latitude, longitude, accuracy))
        throw CallError(QUORVELA_ERR_UNSUPPORTED, "the location source is stopped");
}

void CSession::reportRegion(const std::string& regionId, bool entered) {
    if (!inputs_.regions) throw CallError(QUORVELA_ERR_UNSUPPORTED, "the location source takes no region reports");
    if (regionId.empty()) throw InvalidArgument("region_id is empty");
    inputs_.regions->reportRegionEvent(regionId, entered, Region::Kind::Circular);
}

void CSession::setWifi(const std::optional<std::string>& ssid, const std::optional<std::string>& bssid) {
    if (!inputs_.wifi) throw CallError(QUORVELA_ERR_UNSUPPORTED, "the Wi-Fi source is the platform's");
    if (!ssid) {
        inputs_.wifi->setCurrentNetwork(std::nullopt);
        return;
    }
    Value::Dictionary record{{"SSID", Value(*ssid)}};
    if (bssid) record.emplace("BSSID", Value(*bssid));
    inputs_.wifi->setCurrentNetwork(std::move(record));
}

void CSession::notifyNetworkChange() { facade_->onNetworkChangeCallback(NetworkMonitor::kNetworkChange); }

bool CSession::flush(std::chrono::milliseconds timeout) { return facade_->flush(timeout); }

bool CSession::close(std::chrono::milliseconds timeout) {
    const bool finished = facade_->close(timeout);
    bridge_->closeGate();
    return finished;
}

}  // namespace quorvela::c
