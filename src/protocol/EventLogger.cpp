#include "protocol/EventLogger.h"

#include <fmt/format.h>

#include "model/WorkspaceRecord.h"
#include "protocol/HttpRequest.h"
#include "protocol/PercentEncoding.h"
#include "protocol/ServiceEndpoints.h"
#include "protocol/SignedUrl.h"
#include "protocol/StoredText.h"
#include "quorvela/FetchResult.h"

namespace quorvela {

namespace {

std::string encoded(const std::optional<std::string>& value) {
    return PercentEncoding::encodePath(SignedUrl::render(value));
}

}  // namespace

EventLogger::EventLogger(std::shared_ptr<Platform> platform, ClientCredentials credentials,
                         std::optional<Location> lastLocation)
    : platform_(std::move(platform)), credentials_(std::move(credentials)), lastLocation_(lastLocation) {}

void EventLogger::debugMessage(const Platform& platform, const std::string& message) {
    if (platform.keyValueStore && platform.keyValueStore->get("LoggingDisabled").boolValue()) return;
    if (platform.systemLog) platform.systemLog->writeAt(LogLevel::Debug, "QUORVELA-DEBUG: " + message);
}

void EventLogger::debugLocalized(const Platform& platform, const std::string& key) {
    debugMessage(platform, platform.bundle ? platform.bundle->localizedString(key) : key);
}

std::string EventLogger::eventUrl(const std::optional<std::string>& eventType,
                                  const std::optional<std::string>& extraInfo,
                                  const std::optional<std::string>& campaignName,
                                  const std::shared_ptr<WorkspaceRecord>& workspace) const {
    const auto client = workspace ? workspace->clientId() : credentials_.clientID;
    const auto deviceId = StoredText::read(*platform_, "deviceUniqueID");
    std::string url = eventsUrl() + "deviceid=" + SignedUrl::render(deviceId) + "&client=" + SignedUrl::render(client) +
                      "&app=" + encoded(credentials_.appName) + "&platform=IOS&eventtype=" + encoded(eventType);
    if (lastLocation_) {
        url += fmt::format("&latitude={:f}&longitude={:f}", lastLocation_->latitude, lastLocation_->longitude);
    }
    if (auto mobile = StoredText::read(*platform_, "clientUserID")) url += "&mobile=" + encoded(mobile);
    if (extraInfo) url += "&extrainfo=" + encoded(extraInfo);
    if (auto address = StoredText::read(*platform_, "ipAddress")) url += "&address=" + encoded(address);
    if (campaignName) url += "&campaign_name=" + encoded(campaignName);
    url += "&version=";
    url += kVersion;
    return url;
}

void EventLogger::logEvent(const std::optional<std::string>& eventType, const std::optional<std::string>& extraInfo,
                           const std::optional<std::string>& campaignName,
                           const std::shared_ptr<WorkspaceRecord>& workspace, Completion completion) {
    setCompletion(std::move(completion));
    const std::string url = eventUrl(eventType, extraInfo, campaignName, workspace);
    debugMessage(*platform_, "Analytics: " + url);
    auto request = HttpRequest::create(platform_);
    request->setDelegate(shared_from_this());
    request->makeGetRequestToUrl(url, "Analytics");
}

void EventLogger::logEvent(const std::optional<std::string>& eventType, const std::optional<std::string>& extraInfo,
                           const std::optional<std::string>& campaignName,
                           const std::shared_ptr<WorkspaceRecord>& workspace) {
    logEvent(eventType, extraInfo, campaignName, workspace, nullptr);
}

void EventLogger::logEvent(const std::optional<std::string>& eventType, const std::optional<std::string>& extraInfo) {
    logEvent(eventType, extraInfo, std::nullopt, nullptr, nullptr);
}

EventLogger::Completion EventLogger::completion() const {
    std::lock_guard lock(mutex_);
    return completion_;
}

void EventLogger::setCompletion(Completion completion) {
    std::lock_guard lock(mutex_);
    completion_ = std::move(completion);
}

void EventLogger::response(const std::string& /*body*/) {
    debugMessage(*platform_, "Analytics: completed successfully");
    if (auto done = completion()) done(kFetchResultNewData);
}

void EventLogger::requestError(const RequestError& /*error*/) {
    if (auto done = completion()) done(kFetchResultFailed);
}

}  // namespace quorvela
