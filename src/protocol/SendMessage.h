#pragma once
// sendResponse: a reply text from the user to a workspace (shared session).
// The answer is not read and nobody is told: the only trace is the log line.
#include <memory>
#include <optional>
#include <string>

#include "protocol/ClientCredentials.h"
#include "quorvela/platform/Platform.h"

namespace quorvela {

class WorkspaceRecord;

class SendMessage {
public:
    /// Sends `text` (as Base64 of its UTF-8 bytes) as the response of `from`.
    /// `credentials` are the facade's (only its application name is used).
    static void sendMessage(const std::shared_ptr<Platform>& platform, const ClientCredentials& credentials,
                            const std::optional<std::string>& text, const std::optional<std::string>& from,
                            const std::shared_ptr<WorkspaceRecord>& workspace);
    /// The same with the stored "clientUserID" as the sender.
    static void sendMessage(const std::shared_ptr<Platform>& platform, const ClientCredentials& credentials,
                            const std::optional<std::string>& text, const std::shared_ptr<WorkspaceRecord>& workspace);

    /// The raw parameter path of a response (before percent-encoding).
    static std::string rawPath(const Platform& platform, const ClientCredentials& credentials,
                               const std::optional<std::string>& text, const std::optional<std::string>& from,
                               const std::shared_ptr<WorkspaceRecord>& workspace);
};

}  // namespace quorvela
