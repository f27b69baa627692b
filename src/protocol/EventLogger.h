#pragma once
// Analytics events (one unsigned GET with a query string per event, reply
// ignored) and the library's debug log.
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "protocol/ClientCredentials.h"
#include "protocol/RequestDelegate.h"
#include "quorvela/FetchResult.h"
#include "quorvela/Location.h"
#include "quorvela/platform/Platform.h"

namespace quorvela {

class WorkspaceRecord;

/// Always held by std::shared_ptr: it is the delegate of its own request.
class EventLogger : public RequestDelegate, public std::enable_shared_from_this<EventLogger> {
public:
    using Completion = FetchCompletion;
    static constexpr const char* kVersion = "3.6.0";

    /// `credentials` and `lastLocation` are the facade's at the time of the event.
    EventLogger(std::shared_ptr<Platform> platform, ClientCredentials credentials,
                std::optional<Location> lastLocation);

    /// Writes "QUORVELA-DEBUG: " + message to the system log unless the stored
    /// boolean "LoggingDisabled" is true. Safe from any thread.
    static void debugMessage(const Platform& platform, const std::string& message);
    /// The debug line of the bundle's localised text for `key` (the key
    /// itself without a bundle or a translation).
    static void debugLocalized(const Platform& platform, const std::string& key);

    /// Sends one event and returns at once. The workspace's client id, when a
    /// workspace is given, replaces the facade's. `completion`, when given, is
    /// called after the outcome: 0 when the service answered, 2 when not.
    void logEvent(const std::optional<std::string>& eventType, const std::optional<std::string>& extraInfo,
                  const std::optional<std::string>& campaignName, const std::shared_ptr<WorkspaceRecord>& workspace,
                  Completion completion);
    void logEvent(const std::optional<std::string>& eventType, const std::optional<std::string>& extraInfo,
                  const std::optional<std::string>& campaignName, const std::shared_ptr<WorkspaceRecord>& workspace);
    void logEvent(const std::optional<std::string>& eventType, const std::optional<std::string>& extraInfo);

    /// The events URL for these values, as logEvent sends it.
    std::string eventUrl(const std::optional<std::string>& eventType, const std::optional<std::string>& extraInfo,
                         const std::optional<std::string>& campaignName,
                         const std::shared_ptr<WorkspaceRecord>& workspace) const;

    Completion completion() const;
    void setCompletion(Completion completion);

    /// The reply is not read: success is only logged.
    void response(const std::string& body) override;
    void requestError(const RequestError& error) override;

private:
    const std::shared_ptr<Platform> platform_;
    const ClientCredentials credentials_;
    const std::optional<Location> lastLocation_;
    mutable std::mutex mutex_;
    Completion completion_;
};

}  // namespace quorvela
