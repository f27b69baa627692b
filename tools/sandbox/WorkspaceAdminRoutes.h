#pragma once

namespace httplib {
class Server;
}

namespace quorvela::sandbox {

class SandboxState;

/// The admin API's workspace-membership routes (JSON):
///   GET /subscriptions   [{appName, userId, clientId}] in the order they were made
///   PUT /applications/<publicId>/defaultWorkspace {clientId: text or null}
///       marks a seeded workspace as the application's default (null: none)
///   GET /workspace-behaviour, PUT /workspace-behaviour
///       {refuseJoin: [clientId or "*", ...], refuseLeave: [...]} (PUT changes
///       only the members it names)
class WorkspaceAdminRoutes {
public:
    static void add(httplib::Server& server, SandboxState& state);
};

}  // namespace quorvela::sandbox
