#pragma once
// Reports the device's whereabouts: a position asked for by push
// (sendLocation) or a region entry / exit (notifyRegionEvent). One loader per
// request; its request keeps it alive until the delegate and the completion
// were called. Coordinates are single precision, printed with six decimals.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "protocol/ClientCredentials.h"
#include "protocol/LocationDelegate.h"
#include "protocol/ReplyParser.h"
#include "protocol/RequestDelegate.h"
#include "quorvela/FetchResult.h"
#include "quorvela/platform/Platform.h"

namespace quorvela {

class WorkspaceRecord;

/// Always held by std::shared_ptr.
class LocationDataLoader : public ReplyParser,
                           public RequestDelegate,
                           public std::enable_shared_from_this<LocationDataLoader> {
public:
    using Completion = FetchCompletion;
    static constexpr std::int32_t kSendLocation = 0;
    static constexpr std::int32_t kNotifyRegionEvent = 2;

    /// `credentials` are the facade's (the application name travels with
    /// region events); the time stamp comes from the platform's clock.
    LocationDataLoader(std::shared_ptr<Platform> platform, ClientCredentials credentials);
    static std::shared_ptr<LocationDataLoader> create(std::shared_ptr<Platform> platform,
                                                      ClientCredentials credentials);

    /// Answers a location request; signed with the workspace's key. Returns at
    /// once. `completion` (may be empty) gets 0 after a reply, 2 after a
    /// transport error.
    void sendLocation(const std::optional<std::string>& requestID, float latitude, float longitude,
                      const std::shared_ptr<WorkspaceRecord>& workspace, Completion completion);
    /// Reports entry into or exit from a region ("GEOFENCE", "BEACON",
    /// "WIFI_BEACON"; "ENTER" or "EXIT").
    void fireEventInRegion(const std::optional<std::string>& region, const std::optional<std::string>& regionType,
                           const std::optional<std::string>& status, float latitude, float longitude,
                           const std::shared_ptr<WorkspaceRecord>& workspace, Completion completion);

    /// The raw (unencoded, signed) parameter paths, as the two calls build them.
    std::string sendLocationPath(const std::optional<std::string>& requestID, float latitude, float longitude,
                                 const std::shared_ptr<WorkspaceRecord>& workspace, std::int64_t timeStamp) const;
    std::string regionEventPath(const std::optional<std::string>& region, const std::optional<std::string>& regionType,
                                const std::optional<std::string>& status, float latitude, float longitude,
                                const std::shared_ptr<WorkspaceRecord>& workspace, std::int64_t timeStamp) const;
    /// A coordinate as "%F" prints it after widening: "10.480600".
    static std::string coordinate(float degrees);

    // RequestDelegate.
    void response(const std::string& body) override;
    void requestError(const RequestError& error) override;

    // XmlReaderDelegate (the reply grammar).
    void didStartDocument() override;
    void didStartElement(const std::string& name, const Attributes& attributes) override;
    void didEndDocument() override;

    bool successful() const { return successful_; }
    std::int32_t operation() const { return operation_; }
    const std::string& currentProperty() const { return currentProperty_; }
    const std::optional<std::string>& message() const { return message_; }
    std::shared_ptr<LocationDelegate> delegate() const { return delegate_; }
    void setDelegate(std::shared_ptr<LocationDelegate> delegate) { delegate_ = std::move(delegate); }
    Completion completion() const { return completion_; }
    void setCompletion(Completion completion) { completion_ = std::move(completion); }

protected:
    AfterEnd elementEnded(const std::string& name) override;

private:
    void send(const std::string& endpoint, const std::string& rawPath,
              const std::shared_ptr<WorkspaceRecord>& workspace);
    std::string errorText(const RequestError& error) const;
    void complete(unsigned long result);
    std::int64_t timeStamp() const;

    const std::shared_ptr<Platform> platform_;
    const ClientCredentials credentials_;
    bool successful_ = false;
    std::int32_t operation_ = kSendLocation;
    std::string currentProperty_;
    std::shared_ptr<LocationDelegate> delegate_;
    Completion completion_;
    std::optional<std::string> message_;
};

}  // namespace quorvela
