#pragma once
#include <optional>
#include <string>
#include <vector>

namespace quorvela::sandbox {

class SandboxState;

/// A workspace the sandbox serves: its client id, display name, signing key
/// and callback address.
struct SandboxWorkspace {
    std::string clientId;
    std::string name;
    std::string publicKey;
    std::optional<std::string> callbackUrl;
};

/// The seeded workspaces (table "workspaces").
class WorkspaceTable {
public:
    explicit WorkspaceTable(SandboxState& state);

    /// Adds the workspace or replaces the one with the same client id.
    void put(const SandboxWorkspace& workspace);
    std::optional<SandboxWorkspace> find(const std::string& clientId);
    /// The workspace; std::invalid_argument "Unknown workspace: <id>" (the
    /// admin API's 400) when there is none.
    SandboxWorkspace require(const std::string& clientId);
    std::vector<SandboxWorkspace> all();
    /// The workspace's signing key, for the route table's key lookups.
    std::optional<std::string> keyOf(const std::string& clientId);

private:
    SandboxState& state_;
};

}  // namespace quorvela::sandbox
