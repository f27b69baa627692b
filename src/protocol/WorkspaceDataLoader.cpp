#include "protocol/WorkspaceDataLoader.h"

#include <fmt/format.h>

#include "model/WorkspaceRecord.h"
#include "protocol/Base64Text.h"
#include "protocol/EventLogger.h"
#include "protocol/HttpRequest.h"
#include "protocol/RequestTimeStamp.h"
#include "protocol/SignedUrl.h"
#include "protocol/StoredText.h"
#include "quorvela/FetchResult.h"

namespace quorvela {

namespace {

constexpr const char* kIdentifier = "Workspaces";
constexpr const char* kPlatformName = "IOS";

bool isRecordField(const std::string& name) {
    return name == "clientId" || name == "name" || name == "publicKey" || name == "callbackUrl" || name == "subscribed";
}

}  // namespace

WorkspaceDataLoader::WorkspaceDataLoader(std::shared_ptr<Platform> platform, ClientCredentials credentials)
    : platform_(std::move(platform)), credentials_(std::move(credentials)) {}

std::shared_ptr<WorkspaceDataLoader> WorkspaceDataLoader::create(std::shared_ptr<Platform> platform,
                                                                 ClientCredentials credentials) {
    return std::make_shared<WorkspaceDataLoader>(std::move(platform), std::move(credentials));
}

void WorkspaceDataLoader::getAvailableWorkspacesWithCompletionHandler(Completion completion) {
    getAvailableWorkspacesUsingNSXMLParserWithFilter(std::nullopt, std::move(completion));
}

void WorkspaceDataLoader::getAvailableWorkspacesWithFilter(const std::optional<std::string>& filter,
                                                           Completion completion) {
    getAvailableWorkspacesUsingNSXMLParserWithFilter(filter, std::move(completion));
}

void WorkspaceDataLoader::getSubscribedWorkspacesWithCompletionHander(Completion completion) {
    getSubscribedWorkspacesUsingNSXMLParserWithCompletionHandler(std::move(completion));
}

void WorkspaceDataLoader::getAvailableWorkspacesUsingNSXMLParserWithFilter(const std::optional<std::string>& filter,
                                                                           Completion completion) {
    setCompletion(std::move(completion));
    const auto user = SignedUrl::render(StoredText::read(*platform_, "clientUserID"));
    const auto stamp = RequestTimeStamp::now(*platform_);
    const std::string rawPath =
        filter ? fmt::format("{}/{}/userid={}&name={}/{}/{}", SignedUrl::render(credentials_.appName), kPlatformName,
                             user, Base64Text::encode(*filter), SignedUrl::render(credentials_.clientID), stamp)
               : fmt::format("{}/{}/userid={}/{}/{}", SignedUrl::render(credentials_.appName), kPlatformName, user,
                             SignedUrl::render(credentials_.clientID), stamp);
    start(ListAvailable, "getWorkspaces", rawPath, credentials_.apiClientPrivateKey, "getAvailableWorkspaces: ");
}

void WorkspaceDataLoader::getSubscribedWorkspacesUsingNSXMLParserWithCompletionHandler(Completion completion) {
    setCompletion(std::move(completion));
    const std::string rawPath = fmt::format(
        "{}/{}/subscribed=true&userid={}/{}/{}", SignedUrl::render(credentials_.appName), kPlatformName,
        SignedUrl::render(StoredText::read(*platform_, "clientUserID")), SignedUrl::render(credentials_.clientID),
        RequestTimeStamp::now(*platform_));
    start(ListSubscribed, "getWorkspaces", rawPath, credentials_.apiClientPrivateKey, "getSubscribedWorkspaces: ");
}

void WorkspaceDataLoader::subscribeToWorkspace(const std::shared_ptr<WorkspaceRecord>& workspace,
                                               Completion completion) {
    setCompletion(std::move(completion));
    setWorkspace(workspace);
    const std::string rawPath = fmt::format("{}/{}",
                                            SignedUrl::joinPath({credentials_.appName, std::string(kPlatformName),
                                                                 StoredText::read(*platform_, "clientUserID"),
                                                                 workspace ? workspace->clientId() : std::nullopt}),
                                            RequestTimeStamp::now(*platform_));
    start(Join, "joinWorkspace", rawPath, workspace ? workspace->publicKey() : std::nullopt,
          "subscribeToWorkspaceURL: ");
}

void WorkspaceDataLoader::unsubscribeFromWorkspace(const std::shared_ptr<WorkspaceRecord>& workspace,
                                                   Completion completion) {
    setCompletion(std::move(completion));
    setWorkspace(workspace);
    const std::string rawPath = fmt::format("{}/{}",
                                            SignedUrl::joinPath({credentials_.appName, std::string(kPlatformName),
                                                                 StoredText::read(*platform_, "clientUserID"),
                                                                 workspace ? workspace->clientId() : std::nullopt}),
                                            RequestTimeStamp::now(*platform_));
    start(Leave, "detachWorkspace", rawPath, workspace ? workspace->publicKey() : std::nullopt,
          "unsubscribeFromWorkspaceURL: ");
}

void WorkspaceDataLoader::start(std::int32_t operation, const std::string& endpoint, const std::string& rawPath,
                                const std::optional<std::string>& key, const std::string& logPrefix) {
    setOperation(operation);
    const auto url = SignedUrl::build(endpoint, rawPath, key);
    auto request = HttpRequest::create(platform_);
    request->setDelegate(shared_from_this());
    if (!url.ok()) {
        // A request that cannot be signed still ends on the error path.
        request->failWith(RequestError{url.error(), {}, 0});
        return;
    }
    EventLogger::debugMessage(*platform_, logPrefix + url.url());
    request->makeGetRequestToUrl(url.url(), kIdentifier);
}

void WorkspaceDataLoader::response(const std::string& body) {
    EventLogger::debugMessage(*platform_, "Workspace: completed successfully");
    if (!parse(body)) fail(parseError().value_or(RequestError{}));
}

void WorkspaceDataLoader::requestError(const RequestError& error) { fail(error); }

void WorkspaceDataLoader::fail(const RequestError& error) {
    const std::string text = error.text();
    EventLogger::debugMessage(*platform_, text);
    auto listener = delegate();
    const auto target = workspace();
    if (listener) {
        switch (operation()) {
        case ListAvailable:
            listener->availableWorkspacesLoadedWithErrors("Workspace - List Availible Error: " + text);
            break;
        case ListSubscribed:
            listener->subscribedWorkspacesLoadedWithErrors("Workspace - List Subscribed Error: " + text);
            break;
        case Join: listener->failedToSubscribeWorkspace(target, "Workspace - Subscribe Error: " + text); break;
        case Leave: listener->failedToUnsubscribeWorkspace(target, "Workspace - Unsubscribe Error: " + text); break;
        default: break;
        }
    }
    if (auto done = completion()) done(kFetchResultFailed);
}

void WorkspaceDataLoader::didStartDocument() {
    std::lock_guard lock(mutex_);
    workspaces_.clear();
    successful_ = false;
    message_.reset();
}

void WorkspaceDataLoader::didStartElement(const std::string& name, const Attributes& /*attributes*/) {
    if (name != "workspace") return;
    auto record = WorkspaceRecord::create(platform_);
    std::lock_guard lock(mutex_);
    workspace_ = std::move(record);
}

ReplyParser::AfterEnd WorkspaceDataLoader::elementEnded(const std::string& name) {
    std::unique_lock lock(mutex_);
    if (workspace_ && isRecordField(name)) {
        auto record = workspace_;
        lock.unlock();
        // The record has its own lock; no need to hold ours meanwhile.
        record->setValue(currentStringValue(), name);
    } else if (name == "workspace") {
        if (workspace_) workspaces_.push_back(workspace_);
        workspace_.reset();
    } else if (name == "message") {
        message_ = currentStringValue();
    } else if (name == "successful") {
        successful_ = currentStringValue() == std::optional<std::string>("true");
    }
    return AfterEnd::ClearBuffer;
}

void WorkspaceDataLoader::didEndDocument() {
    std::unique_lock lock(mutex_);
    auto listener = delegate_;
    const auto operation = operation_;
    const auto list = workspaces_;
    const auto target = workspace_;
    const bool successful = successful_;
    const auto message = message_;
    lock.unlock();
    if (listener) {
        switch (operation) {
        case ListAvailable: listener->availableWorkspacesLoadedSuccessfully(list); break;
        case ListSubscribed: listener->subscribedWorkspacesLoadedSuccessfully(list); break;
        case Join:
            if (successful) listener->workspaceSubscribedSuccessfully(target);
            else listener->failedToSubscribeWorkspace(target, message);
            break;
        case Leave:
            if (successful) listener->workspaceUnsubscribedSuccessfully(target);
            else listener->failedToUnsubscribeWorkspace(target, message);
            break;
        default: break;
        }
    }
    if (auto done = completion()) done(kFetchResultNewData);
}

std::int32_t WorkspaceDataLoader::operation() const {
    std::lock_guard lock(mutex_);
    return operation_;
}
void WorkspaceDataLoader::setOperation(std::int32_t operation) {
    std::lock_guard lock(mutex_);
    operation_ = operation;
}
std::shared_ptr<WorkspaceDelegate> WorkspaceDataLoader::delegate() const {
    std::lock_guard lock(mutex_);
    return delegate_;
}
void WorkspaceDataLoader::setDelegate(std::shared_ptr<WorkspaceDelegate> delegate) {
    std::lock_guard lock(mutex_);
    delegate_ = std::move(delegate);
}
WorkspaceDataLoader::Completion WorkspaceDataLoader::completion() const {
    std::lock_guard lock(mutex_);
    return completion_;
}
void WorkspaceDataLoader::setCompletion(Completion completion) {
    std::lock_guard lock(mutex_);
    completion_ = std::move(completion);
}
WorkspaceDataLoader::WorkspaceList WorkspaceDataLoader::workspaces() const {
    std::lock_guard lock(mutex_);
    return workspaces_;
}
void WorkspaceDataLoader::setWorkspaces(WorkspaceList workspaces) {
    std::lock_guard lock(mutex_);
    workspaces_ = std::move(workspaces);
}
std::shared_ptr<WorkspaceRecord> WorkspaceDataLoader::workspace() const {
    std::lock_guard lock(mutex_);
    return workspace_;
}
void WorkspaceDataLoader::setWorkspace(std::shared_ptr<WorkspaceRecord> workspace) {
    std::lock_guard lock(mutex_);
    workspace_ = std::move(workspace);
}
bool WorkspaceDataLoader::successful() const {
    std::lock_guard lock(mutex_);
    return successful_;
}
void WorkspaceDataLoader::setSuccessful(bool successful) {
    std::lock_guard lock(mutex_);
    successful_ = successful;
}
std::optional<std::string> WorkspaceDataLoader::message() const {
    std::lock_guard lock(mutex_);
    return message_;
}
void WorkspaceDataLoader::setMessage(std::optional<std::string> message) {
    std::lock_guard lock(mutex_);
    message_ = std::move(message);
}
std::optional<std::string> WorkspaceDataLoader::currentProperty() const {
    std::lock_guard lock(mutex_);
    return currentProperty_;
}
void WorkspaceDataLoader::setCurrentProperty(std::optional<std::string> property) {
    std::lock_guard lock(mutex_);
    currentProperty_ = std::move(property);
}

}  // namespace quorvela
