#pragma once
// The requests a workspace makes of the service: its geofences, its beacons,
// one message, and a response sent by the user. Records state what they need
// here; the request layer installs the implementation that drives the
// loaders, so the model never depends on the requests that fill it.
#include <memory>
#include <optional>
#include <string>

#include "quorvela/FetchResult.h"

namespace quorvela {

class WorkspaceRecord;

class WorkspaceService {
public:
    virtual ~WorkspaceService() = default;

    /// Each request ends with `completion` (when set) and the workspace's own
    /// result callback, on the loader's reply thread.
    virtual void fetchGeofences(const std::shared_ptr<WorkspaceRecord>& workspace, FetchCompletion completion) = 0;
    virtual void fetchBeacons(const std::shared_ptr<WorkspaceRecord>& workspace, FetchCompletion completion) = 0;
    virtual void fetchMessage(const std::shared_ptr<WorkspaceRecord>& workspace,
                              const std::optional<std::string>& messageId, FetchCompletion completion) = 0;
    virtual void sendMessage(const std::shared_ptr<WorkspaceRecord>& workspace,
                             const std::optional<std::string>& text) = 0;

    /// The service every workspace uses; installed once by the request layer
    /// (any later install replaces it). Thread-safe.
    static void install(std::shared_ptr<WorkspaceService> service);
    /// Null until one is installed.
    static std::shared_ptr<WorkspaceService> installed();
};

}  // namespace quorvela
