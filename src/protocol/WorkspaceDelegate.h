#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvela {

class WorkspaceRecord;

/// The outcome of one WorkspaceDataLoader call: exactly one callback, before
/// the completion handler. Calls arrive on the thread that handles the reply
/// (a global-queue job, never the main thread).
class WorkspaceDelegate {
public:
    using WorkspaceList = std::vector<std::shared_ptr<WorkspaceRecord>>;

    virtual ~WorkspaceDelegate() = default;
    virtual void availableWorkspacesLoadedSuccessfully(const WorkspaceList& workspaces) = 0;
    virtual void availableWorkspacesLoadedWithErrors(const std::string& error) = 0;
    virtual void subscribedWorkspacesLoadedSuccessfully(const WorkspaceList& workspaces) = 0;
    virtual void subscribedWorkspacesLoadedWithErrors(const std::string& error) = 0;
    /// `workspace` is the caller's, or null when the reply carried a record
    /// of its own.
    virtual void workspaceSubscribedSuccessfully(const std::shared_ptr<WorkspaceRecord>& workspace) = 0;
    /// `error` is the reply's "message" (null when it had none) or the text
    /// of a failed request or parse.
    virtual void failedToSubscribeWorkspace(const std::shared_ptr<WorkspaceRecord>& workspace,
                                            const std::optional<std::string>& error) = 0;
    virtual void workspaceUnsubscribedSuccessfully(const std::shared_ptr<WorkspaceRecord>& workspace) = 0;
    virtual void failedToUnsubscribeWorkspace(const std::shared_ptr<WorkspaceRecord>& workspace,
                                              const std::optional<std::string>& error) = 0;
};

}  // namespace quorvela
