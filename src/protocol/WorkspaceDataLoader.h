#pragma once
// getWorkspaces / joinWorkspace / detachWorkspace: the four workspace calls
// (HttpRequest "Workspaces"). List replies become new Workspace records; join
// and leave replies say "successful" and "message".
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "protocol/ClientCredentials.h"
#include "protocol/ReplyParser.h"
#include "protocol/RequestDelegate.h"
#include "protocol/WorkspaceDelegate.h"
#include "quorvela/FetchResult.h"
#include "quorvela/platform/Platform.h"

namespace quorvela {

class WorkspaceRecord;

/// Serves one call; always held by std::shared_ptr. The request in flight
/// keeps it alive until the delegate and then the completion handler (0 after
/// a reply parsed to its end, 2 after any failure) have been called. Set the
/// delegate before starting.
class WorkspaceDataLoader : public ReplyParser,
                            public RequestDelegate,
                            public std::enable_shared_from_this<WorkspaceDataLoader> {
public:
    using Completion = FetchCompletion;
    using WorkspaceList = std::vector<std::shared_ptr<WorkspaceRecord>>;

    enum Operation : std::int32_t { ListAvailable = 0, ListSubscribed = 1, Join = 2, Leave = 3 };

    /// `credentials` are the facade's at the moment the call starts.
    WorkspaceDataLoader(std::shared_ptr<Platform> platform, ClientCredentials credentials);
    static std::shared_ptr<WorkspaceDataLoader> create(std::shared_ptr<Platform> platform,
                                                       ClientCredentials credentials);

    void getAvailableWorkspacesWithCompletionHandler(Completion completion);
    void getAvailableWorkspacesWithFilter(const std::optional<std::string>& filter, Completion completion);
    void getSubscribedWorkspacesWithCompletionHander(Completion completion);
    /// A null filter lists everything; a filter is sent as the Base64 text of
    /// its UTF-8 bytes.
    void getAvailableWorkspacesUsingNSXMLParserWithFilter(const std::optional<std::string>& filter,
                                                          Completion completion);
    void getSubscribedWorkspacesUsingNSXMLParserWithCompletionHandler(Completion completion);
    void subscribeToWorkspace(const std::shared_ptr<WorkspaceRecord>& workspace, Completion completion);
    void unsubscribeFromWorkspace(const std::shared_ptr<WorkspaceRecord>& workspace, Completion completion);

    std::int32_t operation() const;
    void setOperation(std::int32_t operation);
    std::shared_ptr<WorkspaceDelegate> delegate() const;
    void setDelegate(std::shared_ptr<WorkspaceDelegate> delegate);
    Completion completion() const;
    void setCompletion(Completion completion);
    WorkspaceList workspaces() const;
    void setWorkspaces(WorkspaceList workspaces);
    std::shared_ptr<WorkspaceRecord> workspace() const;
    void setWorkspace(std::shared_ptr<WorkspaceRecord> workspace);
    bool successful() const;
    void setSuccessful(bool successful);
    std::optional<std::string> message() const;
    void setMessage(std::optional<std::string> message);
    std::optional<std::string> currentProperty() const;
    void setCurrentProperty(std::optional<std::string> property);

    // RequestDelegate.
    void response(const std::string& body) override;
    void requestError(const RequestError& error) override;

    // Reply parsing.
    void didStartDocument() override;
    void didStartElement(const std::string& name, const Attributes& attributes) override;
    void didEndDocument() override;

protected:
    AfterEnd elementEnded(const std::string& name) override;

private:
    void start(std::int32_t operation, const std::string& endpoint, const std::string& rawPath,
               const std::optional<std::string>& key, const std::string& logPrefix);
    void fail(const RequestError& error);

    const std::shared_ptr<Platform> platform_;
    const ClientCredentials credentials_;
    mutable std::mutex mutex_;
    std::int32_t operation_ = ListAvailable;
    std::shared_ptr<WorkspaceDelegate> delegate_;
    Completion completion_;
    WorkspaceList workspaces_;
    std::shared_ptr<WorkspaceRecord> workspace_;
    bool successful_ = false;
    std::optional<std::string> message_;
    std::optional<std::string> currentProperty_;
};

}  // namespace quorvela
