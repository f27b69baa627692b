#pragma once
// The facade's workspace management: start-up of the two lists, their
// stores, the list requests, joining and leaving, the merges of the service's
// replies and the end of a workspace's full synchronisation. The core owns
// one; it is the delegate of every workspace loader it starts.

#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "core/QuorvelaCore.h"
#include "protocol/WorkspaceDelegate.h"

namespace quorvela {

class WorkspaceRecord;
class WorkspaceList;
class WorkspaceDataLoader;

class WorkspaceManagement : public WorkspaceDelegate {
public:
    using Items = std::vector<std::shared_ptr<WorkspaceRecord>>;
    using Completion = QuorvelaCore::Completion;

    static constexpr const char* kAvailableKey = "Workspace-Available";
    static constexpr const char* kSubscribedKey = "Workspace-Subscribed";

    explicit WorkspaceManagement(QuorvelaCore& facade);

    /// The available and the subscribed list. A list is replaced whole (an
    /// unregistration empties both); null stands for an empty list.
    std::shared_ptr<quorvela::WorkspaceList> workspaces() const;
    void setWorkspaces(std::shared_ptr<quorvela::WorkspaceList> list);
    std::shared_ptr<quorvela::WorkspaceList> workspacesSubscribed() const;
    void setWorkspacesSubscribed(std::shared_ptr<quorvela::WorkspaceList> list);

    void initWorkspaces();
    void loadWorkspaces();
    void storeWorkspaces();
    void storeSubscribedWorkspaces();

    std::shared_ptr<WorkspaceRecord> getDefaultWorkspace() const;
    /// Client id and key of this facade (both must be set).
    bool isDefaultWorkspace(const WorkspaceRecord& workspace) const;
    /// True when `list` holds a workspace equal to `object`.
    static bool findObject(const std::shared_ptr<WorkspaceRecord>& object, const Items& list);

    void fetchAvailableWorkspaces(Completion handler);
    void fetchSubscribedWorkspaces(Completion handler);
    void getAvailableWorkspaceswithFilter(const std::optional<std::string>& filter, Completion handler);
    Items getAvailableWorkspaces() const;
    Items getSubscribedWorkspaces() const;
    void joinWorkspace(const std::shared_ptr<WorkspaceRecord>& workspace, Completion handler);
    void leaveWorkspace(const std::shared_ptr<WorkspaceRecord>& workspace, Completion handler);

    // Loader replies.
    void availableWorkspacesLoadedSuccessfully(const Items& received) override;
    void availableWorkspacesLoadedWithErrors(const std::string& error) override;
    void subscribedWorkspacesLoadedSuccessfully(const Items& received) override;
    void subscribedWorkspacesLoadedWithErrors(const std::string& error) override;
    void workspaceSubscribedSuccessfully(const std::shared_ptr<WorkspaceRecord>& workspace) override;
    void failedToSubscribeWorkspace(const std::shared_ptr<WorkspaceRecord>& workspace,
                                    const std::optional<std::string>& error) override;
    void workspaceUnsubscribedSuccessfully(const std::shared_ptr<WorkspaceRecord>& workspace) override;
    /// Leaves the workspace locally all the same (and logs).
    void failedToUnsubscribeWorkspace(const std::shared_ptr<WorkspaceRecord>& workspace,
                                      const std::optional<std::string>& error) override;
    /// The debug line of a failed request: the localized text of `key`.
    void logLocalized(const std::string& key) const;

    void synchronicedWorkspace(const std::shared_ptr<WorkspaceRecord>& workspace);

    /// Makes `workspace` report to the facade and read its application name.
    void adopt(const std::shared_ptr<WorkspaceRecord>& workspace) const;
    /// Only the application name (workspaces of the available list).
    void giveAppName(const std::shared_ptr<WorkspaceRecord>& workspace) const;

private:
    bool requireUser(const char* configuredName, const char* userName) const;
    std::shared_ptr<WorkspaceDataLoader> newLoader();
    void store(const char* key, const std::shared_ptr<quorvela::WorkspaceList>& list);

    QuorvelaCore& facade_;
    mutable std::mutex listsMutex_;  // the two list references; each list locks itself
    std::shared_ptr<quorvela::WorkspaceList> available_;
    std::shared_ptr<quorvela::WorkspaceList> subscribed_;
};

}  // namespace quorvela
