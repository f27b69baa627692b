#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace quorvela::sandbox {

class SandboxState;

/// A message waiting for its recipient: the fifteen message fields (those
/// that were given, in the order of the field list).
struct QueuedMessage {
    std::int64_t row = 0;
    std::string clientId;
    std::string user;
    std::vector<std::pair<std::string, std::string>> fields;

    std::optional<std::string> field(const std::string& name) const;
};

/// A response a user sent to a workspace.
struct ReceivedResponse {
    std::int64_t time = 0;
    std::string clientId;
    std::string sender;
    std::string appName;
    std::string encodedText;          ///< as it travelled (Base64)
    std::optional<std::string> text;  ///< decoded; nothing when it was not Base64
};

/// Messages queued for users, which device fetched which, and the responses
/// received (tables "queued_messages", "message_deliveries", "responses").
class MessageQueue {
public:
    /// The message field names, in reply order.
    static const std::vector<std::string>& fieldNames();

    explicit MessageQueue(SandboxState& state);

    /// Queues a message of workspace `clientId` for `user`. Missing "id",
    /// "blastID", "clientId" and "to" are filled in. Returns the stored message.
    QueuedMessage queue(const std::string& clientId, const std::string& user,
                        const std::vector<std::pair<std::string, std::string>>& fields);
    /// Messages that `device` has not fetched yet, oldest first, all
    /// workspaces or only `clientId`'s; they count as fetched afterwards.
    std::vector<QueuedMessage> takePending(const std::string& device, const std::optional<std::string>& clientId);
    /// The latest message of the workspace with that id.
    std::optional<QueuedMessage> find(const std::string& clientId, const std::string& messageId);
    std::vector<QueuedMessage> all();

    void recordResponse(const ReceivedResponse& response);
    std::vector<ReceivedResponse> responses();

private:
    SandboxState& state_;
};

}  // namespace quorvela::sandbox
