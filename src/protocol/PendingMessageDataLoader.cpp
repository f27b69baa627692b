#include "protocol/PendingMessageDataLoader.h"

#include <fmt/format.h>

#include "model/InboxStores.h"
#include "model/WorkspaceRecord.h"
#include "protocol/EventLogger.h"
#include "protocol/HttpRequest.h"
#include "protocol/PendingMessagesParser.h"
#include "protocol/RequestTimeStamp.h"
#include "protocol/SharedSession.h"
#include "protocol/SignedUrl.h"
#include "protocol/StoredText.h"
#include "quorvela/FetchResult.h"

namespace quorvela {

namespace {

// The journal keeps the reply as it came: a later run reads it as this run would.
constexpr const char* kJournalKey = "pendingMessagesReply";

}  // namespace

PendingMessageDataLoader::PendingMessageDataLoader(std::shared_ptr<Platform> platform, ClientCredentials credentials)
    : platform_(std::move(platform)), credentials_(std::move(credentials)) {}

std::shared_ptr<PendingMessageDataLoader> PendingMessageDataLoader::create(std::shared_ptr<Platform> platform,
                                                                           ClientCredentials credentials) {
    return std::make_shared<PendingMessageDataLoader>(std::move(platform), std::move(credentials));
}

std::shared_ptr<PendingMessageDataLoaderDelegate> PendingMessageDataLoader::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_;
}
void PendingMessageDataLoader::setDelegate(std::shared_ptr<PendingMessageDataLoaderDelegate> delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = std::move(delegate);
}
PendingMessageDataLoader::Completion PendingMessageDataLoader::completion() const {
    std::lock_guard lock(mutex_);
    return completion_;
}
void PendingMessageDataLoader::setCompletion(Completion completion) {
    std::lock_guard lock(mutex_);
    completion_ = std::move(completion);
}
PendingMessageDataLoader::MessageList PendingMessageDataLoader::messages() const {
    std::lock_guard lock(mutex_);
    return messages_;
}

std::string PendingMessageDataLoader::rawPath(const std::optional<std::string>& clientId) const {
    return fmt::format("{}/{}",
                       SignedUrl::joinPath({StoredText::read(*platform_, "deviceUniqueID"), credentials_.appName,
                                            std::string("IOS"), clientId}),
                       RequestTimeStamp::now(*platform_));
}

void PendingMessageDataLoader::startLoadingMessageWithCompletionHandler(Completion completion) {
    setCompletion(std::move(completion));
    const auto url = SignedUrl::build("getPendingMessages", rawPath(credentials_.clientID),
                                      credentials_.apiClientPrivateKey);
    auto request = HttpRequest::create(platform_);
    request->setDelegate(shared_from_this());
    if (!url.ok()) {
        request->failWith(RequestError{url.error(), {}, 0});
        return;
    }
    EventLogger::debugMessage(*platform_, "getPendingMessages: " + url.url());
    request->makeGetRequestToUrl(url.url(), "Messages");
}

void PendingMessageDataLoader::startLoadingMessageFromWorkspace(const std::shared_ptr<WorkspaceRecord>& workspace,
                                                                Completion completion) {
    setCompletion(std::move(completion));
    const auto clientId = workspace ? workspace->clientId() : std::nullopt;
    const auto key = workspace ? workspace->publicKey() : std::nullopt;
    const auto url = SignedUrl::build("getPendingMessages", rawPath(clientId), key);
    auto self = shared_from_this();
    auto done = [self](const HttpResult& result) {
        if (!result.ok) {
            const std::string description = result.error.empty() ? "The request failed" : result.error;
            self->fail("getPendingMessages: completed with error: " + description,
                       "getPendingMessages Error: " + description);
            return;
        }
        self->receive(result.body, Form::Workspace);
    };
    if (!url.ok()) {
        SharedSession::fail(platform_, url.error(), done);
        return;
    }
    EventLogger::debugMessage(*platform_, "getPendingMessages: " + url.url());
    SharedSession::dataTask(platform_, url.url(), done);
}

void PendingMessageDataLoader::response(const std::string& body) { receive(body, Form::FacadeCredentials); }

void PendingMessageDataLoader::requestError(const RequestError& error) {
    fail(error.text(), "Messages - Error: " + error.text());
}

void PendingMessageDataLoader::receive(std::string_view body, Form form) {
    auto store = InboxStores::of(*platform_);
    const auto entry = store ? store->journal({Value::Dictionary{{kJournalKey, Value(std::string(body))}}})
                             : std::nullopt;
    EventLogger::debugMessage(*platform_, form == Form::Workspace ? "getPendingMessages: completed successfully"
                                                                  : "Messages: completed successfully");
    handleBody(body, form, entry);
}

std::optional<PendingMessageDataLoader::MessageList> PendingMessageDataLoader::messagesOf(
    const InboxStore::JournalEntry& entry) {
    if (entry.records.size() != 1) return std::nullopt;
    auto it = entry.records.front().find(kJournalKey);
    if (it == entry.records.front().end() || !it->second.asText()) return std::nullopt;
    PendingMessagesParser parser;
    if (!parser.parse(*it->second.asText())) return std::nullopt;
    return parser.messages();
}

void PendingMessageDataLoader::handleBody(std::string_view body, Form form, std::optional<std::int64_t> journalEntry) {
    PendingMessagesParser parser;
    if (!parser.parse(body)) {
        // Nothing in it can be taken later either.
        if (auto store = InboxStores::of(*platform_); store && journalEntry) store->commit({}, journalEntry);
        const std::string text = parser.parseError() ? parser.parseError()->text() : std::string("(null) (null)");
        fail(text, (form == Form::Workspace ? "getPendingMessages Error: " : "Messages - Error: ") + text);
        return;
    }
    {
        std::lock_guard lock(mutex_);
        messages_ = parser.messages();
    }
    if (auto listener = delegate()) listener->pendingMessagesRetrieved(parser.messages(), journalEntry);
    if (auto done = completion()) done(kFetchResultNewData);
}

void PendingMessageDataLoader::fail(const std::string& logLine, const std::string& delegateText) {
    EventLogger::debugMessage(*platform_, logLine);
    if (auto listener = delegate()) listener->pendingMessagesRetrievedError(delegateText);
    if (auto done = completion()) done(kFetchResultFailed);
}

}  // namespace quorvela
