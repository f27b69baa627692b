#pragma once
// The shared body of the geofence and beacon list loaders: one signed GET for
// one workspace (path "<appName>/<clientId>/<timestamp>", signed with the
// workspace's key), the reply read by RegionListParser, then the concrete
// loader's delegate and finally the completion handler (0 after a well-formed
// reply, 2 after any failure). The two loaders differ only in the texts of
// `RegionListEndpoint` and in their delegate interfaces.
#include <fmt/format.h>

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "model/WorkspaceRecord.h"
#include "protocol/ClientCredentials.h"
#include "protocol/EventLogger.h"
#include "protocol/HttpRequest.h"
#include "protocol/RegionListParser.h"
#include "protocol/RequestDelegate.h"
#include "protocol/RequestTimeStamp.h"
#include "protocol/SignedUrl.h"
#include "quorvela/FetchResult.h"
#include "quorvela/platform/Platform.h"

namespace quorvela {

/// The texts that tell one list endpoint from the other.
struct RegionListEndpoint {
    const char* endpoint;      // "getGeoFences"
    const char* urlLogPrefix;  // debug line before the URL
    const char* requestName;   // the HttpRequest's name
    const char* listElement;   // the reply's element per record
    const char* errorPrefix;   // prefix of the delegate's error text
};

template <class Record>
class RegionListLoader : public RequestDelegate, public std::enable_shared_from_this<RegionListLoader<Record>> {
public:
    using Completion = FetchCompletion;
    using RecordList = std::vector<std::shared_ptr<Record>>;

    Completion completion() const {
        std::lock_guard lock(mutex_);
        return completion_;
    }
    void setCompletion(Completion completion) {
        std::lock_guard lock(mutex_);
        completion_ = std::move(completion);
    }

    void response(const std::string& body) override {
        EventLogger::debugMessage(*platform_, std::string(texts_.requestName) + ": completed successfully");
        RegionListParser<Record> parser(texts_.listElement);
        if (!parser.parse(body)) {
            fail(parser.parseError().value_or(RequestError{}));
            return;
        }
        {
            std::lock_guard lock(mutex_);
            records_ = parser.records();
        }
        deliver(parser.records());
        if (auto done = completion()) done(0);
    }

    void requestError(const RequestError& error) override { fail(error); }

protected:
    /// `credentials` are the facade's (only its application name is used).
    RegionListLoader(RegionListEndpoint texts, std::shared_ptr<Platform> platform, ClientCredentials credentials)
        : texts_(texts), platform_(std::move(platform)), credentials_(std::move(credentials)) {}

    void fetch(const std::shared_ptr<WorkspaceRecord>& workspace, Completion completion) {
        setCompletion(std::move(completion));
        const auto clientId = workspace ? workspace->clientId() : std::nullopt;
        const auto key = workspace ? workspace->publicKey() : std::nullopt;
        const std::string rawPath = fmt::format("{}/{}", SignedUrl::joinPath({credentials_.appName, clientId}),
                                                RequestTimeStamp::now(*platform_));
        const auto url = SignedUrl::build(texts_.endpoint, rawPath, key);
        auto request = HttpRequest::create(platform_);
        request->setDelegate(this->shared_from_this());
        if (!url.ok()) {
            request->failWith(RequestError{url.error(), {}, 0});
            return;
        }
        EventLogger::debugMessage(*platform_, texts_.urlLogPrefix + url.url());
        request->makeGetRequestToUrl(url.url(), texts_.requestName);
    }

    /// The records of the last well-formed reply, in document order.
    RecordList records() const {
        std::lock_guard lock(mutex_);
        return records_;
    }

    /// Hands the outcome to the concrete loader's delegate.
    virtual void deliver(const RecordList& records) = 0;
    virtual void deliverError(const std::string& error) = 0;

private:
    void fail(const RequestError& error) {
        const std::string text = error.text();
        EventLogger::debugMessage(*platform_, text);
        deliverError(texts_.errorPrefix + text);
        if (auto done = completion()) done(2);
    }

    const RegionListEndpoint texts_;
    const std::shared_ptr<Platform> platform_;
    const ClientCredentials credentials_;
    mutable std::mutex mutex_;
    Completion completion_;
    RecordList records_;
};

}  // namespace quorvela
