#pragma once
#include <optional>
#include <string>
#include <vector>

#include "sandbox/MessageQueue.h"

namespace httplib {
class Server;
}

namespace quorvela::sandbox {

class RestRouter;
class SandboxState;

/// getPendingMessages, getMessage and sendResponse, and their admin routes:
///   POST /workspaces {clientId, name, publicKey, callbackURL?}, GET /workspaces
///   POST /messages {clientId, user, fields: {<message field>: text, ...}}, GET /messages
///   GET /responses
///   PUT /faults {operation, fault: "malformed" | "html" | "drop" | null}
///
/// getPendingMessages signed with an application's private key (its public
/// id in the client position) returns the pending messages of every
/// workspace; signed with a workspace's key only that workspace's. A message
/// is pending for a device until that device fetched it.
class MessageEndpoints {
public:
    static void addTo(RestRouter& router);
    static void addAdminRoutes(httplib::Server& server, SandboxState& state);

    /// "<messages><message>...</message>...</messages>"
    static std::string pendingReply(const std::vector<QueuedMessage>& messages);
    /// "<message>...</message>", or "<messages/>" when there is none.
    static std::string messageReply(const std::optional<QueuedMessage>& message);
};

}  // namespace quorvela::sandbox
