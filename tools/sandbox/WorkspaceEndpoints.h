#pragma once
#include <optional>
#include <string>

#include "sandbox/RestOperation.h"

namespace quorvela::sandbox {

class RestRouter;

/// getWorkspaces (the available list, optionally filtered by a Base64 name,
/// or the subscribed list; signed with the application's private key),
/// joinWorkspace and detachWorkspace (signed with the workspace's key).
class WorkspaceEndpoints {
public:
    /// The parameter segment of a list request: "userid=U", "userid=U&name=B"
    /// or "subscribed=true&userid=U".
    struct ListQuery {
        bool subscribed = false;
        std::string userId;
        std::optional<std::string> name;  ///< decoded filter; nothing without "name"
    };

    static void addTo(RestRouter& router);

    /// Nothing when the text follows none of the three forms or the name is
    /// not Base64.
    static std::optional<ListQuery> parseListQuery(const std::string& text);

    static RestReply getWorkspaces(const RestCall& call, SandboxState& state);
    static RestReply joinWorkspace(const RestCall& call, SandboxState& state);
    static RestReply detachWorkspace(const RestCall& call, SandboxState& state);
};

}  // namespace quorvela::sandbox
