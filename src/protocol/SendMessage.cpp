#include "protocol/SendMessage.h"

#include <fmt/format.h>

#include "model/WorkspaceRecord.h"
#include "protocol/Base64Text.h"
#include "protocol/EventLogger.h"
#include "protocol/RequestTimeStamp.h"
#include "protocol/SharedSession.h"
#include "protocol/SignedUrl.h"
#include "protocol/StoredText.h"

namespace quorvela {

std::string SendMessage::rawPath(const Platform& platform, const ClientCredentials& credentials,
                                 const std::optional<std::string>& text, const std::optional<std::string>& from,
                                 const std::shared_ptr<WorkspaceRecord>& workspace) {
    // Base64 keeps "+", "/" and "=", so a "/" in it adds a path segment.
    const std::optional<std::string> encoded = text ? std::optional(Base64Text::encode(*text)) : std::nullopt;
    const auto clientId = workspace ? workspace->clientId() : std::nullopt;
    return fmt::format("{}/{}", SignedUrl::joinPath({encoded, from, credentials.appName, std::string("IOS"), clientId}),
                       RequestTimeStamp::now(platform));
}

void SendMessage::sendMessage(const std::shared_ptr<Platform>& platform, const ClientCredentials& credentials,
                              const std::optional<std::string>& text, const std::optional<std::string>& from,
                              const std::shared_ptr<WorkspaceRecord>& workspace) {
    const auto key = workspace ? workspace->publicKey() : std::nullopt;
    const auto url = SignedUrl::build("sendResponse", rawPath(*platform, credentials, text, from, workspace), key);
    auto done = [platform](const HttpResult& result) {
        if (!result.ok) {
            EventLogger::debugMessage(*platform, "sendResponse: completed with error: " +
                                                     (result.error.empty() ? "The request failed" : result.error));
        } else {
            EventLogger::debugMessage(*platform, "sendResponse: completed successfully");
        }
    };
    if (!url.ok()) {
        SharedSession::fail(platform, url.error(), done);
        return;
    }
    EventLogger::debugMessage(*platform, "sendResponse: " + url.url());
    SharedSession::dataTask(platform, url.url(), done);
}

void SendMessage::sendMessage(const std::shared_ptr<Platform>& platform, const ClientCredentials& credentials,
                              const std::optional<std::string>& text,
                              const std::shared_ptr<WorkspaceRecord>& workspace) {
    sendMessage(platform, credentials, text, StoredText::read(*platform, "clientUserID"), workspace);
}

}  // namespace quorvela
