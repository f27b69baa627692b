#include "protocol/LoadBeacons.h"

#include <fmt/format.h>

#include "protocol/EventLogger.h"
#include "protocol/HttpRequest.h"
#include "protocol/RegionListParser.h"
#include "protocol/RequestTimeStamp.h"
#include "protocol/SignedUrl.h"
#include "quorvela/Beacon.h"
#include "quorvela/Workspace.h"

namespace quorvela {

LoadBeacons::LoadBeacons(std::shared_ptr<Platform> platform, ClientCredentials credentials)
    : platform_(std::move(platform)), credentials_(std::move(credentials)) {}

std::shared_ptr<LoadBeacons> LoadBeacons::create(std::shared_ptr<Platform> platform,
                                                       ClientCredentials credentials) {
    return std::make_shared<LoadBeacons>(std::move(platform), std::move(credentials));
}

std::shared_ptr<LoadBeaconsDelegate> LoadBeacons::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_;
}
void LoadBeacons::setDelegate(std::shared_ptr<LoadBeaconsDelegate> delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = std::move(delegate);
}
LoadBeacons::Completion LoadBeacons::completion() const {
    std::lock_guard lock(mutex_);
    return completion_;
}
void LoadBeacons::setCompletion(Completion completion) {
    std::lock_guard lock(mutex_);
    completion_ = std::move(completion);
}
LoadBeacons::BeaconList LoadBeacons::beacons() const {
    std::lock_guard lock(mutex_);
    return beacons_;
}

void LoadBeacons::getUpdatedBeaconsFromWorkspace(const std::shared_ptr<Workspace>& workspace, Completion completion) {
    setCompletion(std::move(completion));
    const auto clientId = workspace ? workspace->clientId() : std::nullopt;
    const auto key = workspace ? workspace->publicKey() : std::nullopt;
    const std::string rawPath = fmt::format("{}/{}", SignedUrl::joinPath({credentials_.appName, clientId}),
                                            RequestTimeStamp::now(*platform_));
    const auto url = SignedUrl::build("getBeacons", rawPath, key);
    auto request = HttpRequest::create(platform_);
    request->setDelegate(shared_from_this());
    if (!url.ok()) {
        request->failWith(RequestError{url.error(), {}, 0});
        return;
    }
    EventLogger::debugMessage(*platform_, "getBeaconsURL: " + url.url());
    request->makeGetRequestToUrl(url.url(), "Beacons");
}

void LoadBeacons::response(const std::string& body) {
    EventLogger::debugMessage(*platform_, "Beacons: completed successfully");
    RegionListParser<Beacon> parser("beacon");
    if (!parser.parse(body)) {
        fail(parser.parseError().value_or(RequestError{}));
        return;
    }
    {
        std::lock_guard lock(mutex_);
        beacons_ = parser.records();
    }
    if (auto listener = delegate()) listener->loadBeaconsSuccess(parser.records());
    if (auto done = completion()) done(0);
}

void LoadBeacons::requestError(const RequestError& error) { fail(error); }

void LoadBeacons::fail(const RequestError& error) {
    const std::string text = error.text();
    EventLogger::debugMessage(*platform_, text);
    if (auto listener = delegate()) listener->loadBeaconsReturnedError("Beacons Error: " + text);
    if (auto done = completion()) done(2);
}

}  // namespace quorvela
