#include "protocol/LocationDataLoader.h"

#include <cmath>

#include <fmt/format.h>

#include "model/WorkspaceRecord.h"
#include "protocol/EventLogger.h"
#include "protocol/HttpRequest.h"
#include "protocol/SignedUrl.h"
#include "protocol/StoredText.h"
#include "quorvela/FetchResult.h"

namespace quorvela {

namespace {

// "%F": six decimals, upper-case names for the non-finite values.
std::string fixed(double value) { return fmt::format("{:.6F}", value); }

}  // namespace

LocationDataLoader::LocationDataLoader(std::shared_ptr<Platform> platform, ClientCredentials credentials)
    : platform_(std::move(platform)), credentials_(std::move(credentials)) {}

std::shared_ptr<LocationDataLoader> LocationDataLoader::create(std::shared_ptr<Platform> platform,
                                                               ClientCredentials credentials) {
    return std::make_shared<LocationDataLoader>(std::move(platform), std::move(credentials));
}

std::string LocationDataLoader::coordinate(float degrees) { return fixed(static_cast<double>(degrees)); }

std::int64_t LocationDataLoader::timeStamp() const {
    // Whole seconds times 1000 plus the truncated milliseconds, as everywhere.
    const double seconds = platform_->clock ? platform_->clock->now() : 0.0;
    if (!std::isfinite(seconds) || std::fabs(seconds) >= 9.2e15) return 0;
    const auto whole = static_cast<std::int64_t>(seconds);
    const auto millis = static_cast<std::int32_t>(std::fmod(seconds, 1.0) * 1000.0);
    return whole * 1000 + millis;
}

std::string LocationDataLoader::sendLocationPath(const std::optional<std::string>& requestID, float latitude,
                                                 float longitude, const std::shared_ptr<WorkspaceRecord>& workspace,
                                                 std::int64_t timeStamp) const {
    return SignedUrl::joinPath({requestID, StoredText::read(*platform_, "deviceUniqueID"), std::to_string(timeStamp),
                                coordinate(latitude), coordinate(longitude), std::string("APP"),
                                workspace ? workspace->clientId() : std::nullopt,
                                fixed(static_cast<double>(timeStamp))});
}

std::string LocationDataLoader::regionEventPath(const std::optional<std::string>& region,
                                                const std::optional<std::string>& regionType,
                                                const std::optional<std::string>& status, float latitude,
                                                float longitude, const std::shared_ptr<WorkspaceRecord>& workspace,
                                                std::int64_t timeStamp) const {
    return SignedUrl::joinPath(
        {region, StoredText::read(*platform_, "deviceUniqueID"), status, std::to_string(timeStamp),
         coordinate(latitude), coordinate(longitude), regionType, credentials_.appName, std::string("IOS"),
         workspace ? workspace->clientId() : std::nullopt, fixed(static_cast<double>(timeStamp))});
}

void LocationDataLoader::sendLocation(const std::optional<std::string>& requestID, float latitude, float longitude,
                                      const std::shared_ptr<WorkspaceRecord>& workspace, Completion completion) {
    operation_ = kSendLocation;
    completion_ = std::move(completion);
    send("sendLocation", sendLocationPath(requestID, latitude, longitude, workspace, timeStamp()), workspace);
}

void LocationDataLoader::fireEventInRegion(const std::optional<std::string>& region,
                                           const std::optional<std::string>& regionType,
                                           const std::optional<std::string>& status, float latitude, float longitude,
                                           const std::shared_ptr<WorkspaceRecord>& workspace, Completion completion) {
    operation_ = kNotifyRegionEvent;
    completion_ = std::move(completion);
    send("notifyRegionEvent", regionEventPath(region, regionType, status, latitude, longitude, workspace, timeStamp()),
         workspace);
}

void LocationDataLoader::send(const std::string& endpoint, const std::string& rawPath,
                              const std::shared_ptr<WorkspaceRecord>& workspace) {
    const SignedUrl url = SignedUrl::build(endpoint, rawPath, workspace ? workspace->publicKey() : std::nullopt);
    auto request = HttpRequest::create(platform_);
    request->setDelegate(shared_from_this());
    if (!url.ok()) {
        // No key (or a key that cannot sign): reported like a failed transfer.
        EventLogger::debugMessage(*platform_, endpoint + ": " + url.error());
        request->failWith(RequestError{url.error(), {}, 0});
        return;
    }
    EventLogger::debugMessage(*platform_, endpoint + ": " + url.url());
    request->makeGetRequestToUrl(url.url(), "Location");
}

std::string LocationDataLoader::errorText(const RequestError& error) const {
    return (operation_ == kSendLocation ? "Location - sendLocation Error: " : "Location - notifyRegionEvent Error: ") +
           error.text();
}

void LocationDataLoader::complete(unsigned long result) {
    if (completion_) completion_(result);
}

void LocationDataLoader::response(const std::string& body) {
    EventLogger::debugMessage(*platform_, "Location: completed successfully");
    if (parse(body)) return;  // the end of the document reported the outcome
    const RequestError error = parseError().value_or(RequestError{"The reply could not be read", {}, 0});
    EventLogger::debugMessage(*platform_, error.text());
    if (delegate_) delegate_->LocationCallReturnedError(errorText(error));
    complete(kFetchResultNewData);
}

void LocationDataLoader::requestError(const RequestError& error) {
    EventLogger::debugMessage(*platform_, error.text());
    if (delegate_) delegate_->LocationCallReturnedError(errorText(error));
    complete(kFetchResultFailed);
}

void LocationDataLoader::didStartDocument() {
    successful_ = false;
    message_.reset();
}

void LocationDataLoader::didStartElement(const std::string& name, const Attributes& /*attributes*/) {
    currentProperty_ = name;
    if (name == "message") message_ = std::string();
}

ReplyParser::AfterEnd LocationDataLoader::elementEnded(const std::string& name) {
    if (name == "message") {
        message_ = currentStringValue();
    } else if (name == "successful") {
        successful_ = currentStringValue() == std::optional<std::string>("true");
    }
    return AfterEnd::ClearBuffer;
}

void LocationDataLoader::didEndDocument() {
    if (successful_) {
        if (delegate_) delegate_->LocationCallSuccess(true, message_);
    } else if (delegate_) {
        delegate_->LocationCallReturnedError(message_);
    }
    complete(kFetchResultNewData);
}

}  // namespace quorvela
