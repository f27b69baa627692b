#include "protocol/CheckGeoFences.h"

#include <fmt/format.h>

#include "protocol/EventLogger.h"
#include "protocol/HttpRequest.h"
#include "protocol/RegionListParser.h"
#include "protocol/RequestTimeStamp.h"
#include "protocol/SignedUrl.h"
#include "quorvela/Geofence.h"
#include "quorvela/Workspace.h"

namespace quorvela {

CheckGeoFences::CheckGeoFences(std::shared_ptr<Platform> platform, ClientCredentials credentials)
    : platform_(std::move(platform)), credentials_(std::move(credentials)) {}

std::shared_ptr<CheckGeoFences> CheckGeoFences::create(std::shared_ptr<Platform> platform,
                                                       ClientCredentials credentials) {
    return std::make_shared<CheckGeoFences>(std::move(platform), std::move(credentials));
}

std::shared_ptr<CheckGeoFencesDelegate> CheckGeoFences::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_;
}
void CheckGeoFences::setDelegate(std::shared_ptr<CheckGeoFencesDelegate> delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = std::move(delegate);
}
CheckGeoFences::Completion CheckGeoFences::completion() const {
    std::lock_guard lock(mutex_);
    return completion_;
}
void CheckGeoFences::setCompletion(Completion completion) {
    std::lock_guard lock(mutex_);
    completion_ = std::move(completion);
}
CheckGeoFences::GeofenceList CheckGeoFences::geofences() const {
    std::lock_guard lock(mutex_);
    return geofences_;
}

void CheckGeoFences::getUpdatedGeoFencesFromWorkspace(const std::shared_ptr<Workspace>& workspace,
                                                      Completion completion) {
    getUpdatedGeoFencesUsingNSXMLParserFromWorkspace(workspace, std::move(completion));
}

void CheckGeoFences::getUpdatedGeoFencesUsingNSXMLParserFromWorkspace(const std::shared_ptr<Workspace>& workspace,
                                                                      Completion completion) {
    setCompletion(std::move(completion));
    const auto clientId = workspace ? workspace->clientId() : std::nullopt;
    const auto key = workspace ? workspace->publicKey() : std::nullopt;
    const std::string rawPath = fmt::format("{}/{}", SignedUrl::joinPath({credentials_.appName, clientId}),
                                            RequestTimeStamp::now(*platform_));
    const auto url = SignedUrl::build("getGeoFences", rawPath, key);
    auto request = HttpRequest::create(platform_);
    request->setDelegate(shared_from_this());
    if (!url.ok()) {
        request->failWith(RequestError{url.error(), {}, 0});
        return;
    }
    EventLogger::debugMessage(*platform_, "getGeoFences: " + url.url());
    request->makeGetRequestToUrl(url.url(), "Geofence");
}

void CheckGeoFences::response(const std::string& body) {
    EventLogger::debugMessage(*platform_, "Geofence: completed successfully");
    RegionListParser<Geofence> parser("geoFence");
    if (!parser.parse(body)) {
        fail(parser.parseError().value_or(RequestError{}));
        return;
    }
    {
        std::lock_guard lock(mutex_);
        geofences_ = parser.records();
    }
    if (auto listener = delegate()) listener->checkGeoFencesSuccess(parser.records());
    if (auto done = completion()) done(0);
}

void CheckGeoFences::requestError(const RequestError& error) { fail(error); }

void CheckGeoFences::fail(const RequestError& error) {
    const std::string text = error.text();
    EventLogger::debugMessage(*platform_, text);
    if (auto listener = delegate()) listener->checkGeoFencesReturnedError("Geofence Error: " + text);
    if (auto done = completion()) done(2);
}

}  // namespace quorvela
