#include "protocol/SingleMessageLoader.h"
#include "model/MessageRecord.h"

#include <fmt/format.h>

#include "model/WorkspaceRecord.h"
#include "protocol/EventLogger.h"
#include "protocol/HttpRequest.h"
#include "protocol/RequestTimeStamp.h"
#include "protocol/SignedUrl.h"
#include "protocol/SingleMessageParser.h"
#include "quorvela/FetchResult.h"

namespace quorvela {

SingleMessageLoader::SingleMessageLoader(std::shared_ptr<Platform> platform) : platform_(std::move(platform)) {}

std::shared_ptr<SingleMessageLoader> SingleMessageLoader::create(std::shared_ptr<Platform> platform) {
    return std::make_shared<SingleMessageLoader>(std::move(platform));
}

std::shared_ptr<SingleMessageLoaderDelegate> SingleMessageLoader::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_;
}
void SingleMessageLoader::setDelegate(std::shared_ptr<SingleMessageLoaderDelegate> delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = std::move(delegate);
}
SingleMessageLoader::Completion SingleMessageLoader::completion() const {
    std::lock_guard lock(mutex_);
    return completion_;
}
void SingleMessageLoader::setCompletion(Completion completion) {
    std::lock_guard lock(mutex_);
    completion_ = std::move(completion);
}
std::shared_ptr<Message> SingleMessageLoader::message() const {
    std::lock_guard lock(mutex_);
    return message_;
}

void SingleMessageLoader::startLoadingDataForMessageWithID(const std::optional<std::string>& messageId,
                                                           const std::shared_ptr<WorkspaceRecord>& workspace,
                                                           Completion completion) {
    setCompletion(std::move(completion));
    const auto clientId = workspace ? workspace->clientId() : std::nullopt;
    const auto key = workspace ? workspace->publicKey() : std::nullopt;
    const std::string rawPath = fmt::format("{}/{}", SignedUrl::joinPath({messageId, clientId}),
                                            RequestTimeStamp::now(*platform_));
    const auto url = SignedUrl::build("getMessage", rawPath, key);
    auto request = HttpRequest::create(platform_);
    request->setDelegate(shared_from_this());
    if (!url.ok()) {
        request->failWith(RequestError{url.error(), {}, 0});
        return;
    }
    EventLogger::debugMessage(*platform_, "getMessageURL: " + url.url());
    request->makeGetRequestToUrl(url.url(), "Message");
}

void SingleMessageLoader::response(const std::string& body) {
    EventLogger::debugMessage(*platform_, "Message: completed successfully");
    SingleMessageParser parser;
    if (!parser.parse(body)) {
        fail(parser.parseError().value_or(RequestError{}));
        return;
    }
    {
        std::lock_guard lock(mutex_);
        message_ = parser.message();
    }
    if (auto listener = delegate()) listener->SingleMessageRetrieved(parser.message());
    if (auto done = completion()) done(kFetchResultNewData);
}

void SingleMessageLoader::requestError(const RequestError& error) { fail(error); }

void SingleMessageLoader::fail(const RequestError& error) {
    const std::string text = error.text();
    EventLogger::debugMessage(*platform_, text);
    if (auto listener = delegate()) listener->SingleMessageRetrievedError("Message - Error: " + text);
    if (auto done = completion()) done(kFetchResultFailed);
}

}  // namespace quorvela
