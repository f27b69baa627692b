#pragma once
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "sandbox/Database.h"

namespace quorvela::sandbox {

/// One user's membership of one workspace, per application name (the join
/// and leave paths name the application only by its name).
struct WorkspaceSubscription {
    std::string appName;
    std::string userId;
    std::string clientId;
};

/// Joins and leaves the admin makes the endpoints refuse, by workspace client
/// id ("*": every workspace).
struct WorkspaceBehaviour {
    std::set<std::string> refuseJoin;
    std::set<std::string> refuseLeave;

    bool refusesJoin(const std::string& clientId) const { return refuseJoin.count("*") || refuseJoin.count(clientId); }
    bool refusesLeave(const std::string& clientId) const {
        return refuseLeave.count("*") || refuseLeave.count(clientId);
    }
};

/// The users' workspace subscriptions and the join/leave behaviour, in the
/// sandbox's database. Tables are created on first use.
class WorkspaceSubscriptions {
public:
    explicit WorkspaceSubscriptions(Database& db);

    /// False when the user was subscribed already.
    bool add(const WorkspaceSubscription& subscription);
    /// False when the user was not subscribed.
    bool remove(const WorkspaceSubscription& subscription);
    bool contains(const WorkspaceSubscription& subscription);
    /// The user's workspaces in the order they were joined.
    std::vector<std::string> clientIds(const std::string& appName, const std::string& userId);
    std::vector<WorkspaceSubscription> all();

    WorkspaceBehaviour behaviour();
    void setBehaviour(const WorkspaceBehaviour& behaviour);

private:
    Database& db_;
};

}  // namespace quorvela::sandbox
