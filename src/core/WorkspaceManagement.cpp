#include "core/WorkspaceManagement.h"

#include <algorithm>

#include "core/ConfigurationGuard.h"
#include "core/DelegateCalls.h"
#include "core/FacadeWorkspaceDelegate.h"
#include "model/WorkspaceList.h"
#include "model/WorkspaceRecord.h"
#include "protocol/EventLogger.h"
#include "protocol/SignedUrl.h"
#include "protocol/WorkspaceDataLoader.h"

namespace quorvela {

namespace {

bool equalWorkspaces(const std::shared_ptr<WorkspaceRecord>& a, const std::shared_ptr<WorkspaceRecord>& b) {
    return a && b && a->isEqual(*b);
}

// Index of the first element equal to `workspace`, or nothing.
std::optional<std::size_t> indexOf(const WorkspaceManagement::Items& items,
                                   const std::shared_ptr<WorkspaceRecord>& workspace) {
    for (std::size_t i = 0; i < items.size(); ++i)
        if (equalWorkspaces(items[i], workspace)) return i;
    return std::nullopt;
}

// Both list merges: append what was received and is missing (in received
// order), then drop what was not received; equal entries keep the held object.
void mergeReceived(WorkspaceManagement::Items& items, const WorkspaceManagement::Items& received) {
    for (const auto& workspace : received)
        if (workspace && !WorkspaceManagement::findObject(workspace, items)) items.push_back(workspace);
    for (const auto& workspace : WorkspaceManagement::Items(items))
        if (!WorkspaceManagement::findObject(workspace, received)) std::erase(items, workspace);
}

}  // namespace

WorkspaceManagement::WorkspaceManagement(QuorvelaCore& facade)
    : facade_(facade), available_(quorvela::WorkspaceList::create()), subscribed_(quorvela::WorkspaceList::create()) {}

std::shared_ptr<quorvela::WorkspaceList> WorkspaceManagement::workspaces() const {
    std::lock_guard lock(listsMutex_);
    return available_;
}

void WorkspaceManagement::setWorkspaces(std::shared_ptr<quorvela::WorkspaceList> list) {
    if (!list) list = quorvela::WorkspaceList::create();
    std::lock_guard lock(listsMutex_);
    available_ = std::move(list);
}

std::shared_ptr<quorvela::WorkspaceList> WorkspaceManagement::workspacesSubscribed() const {
    std::lock_guard lock(listsMutex_);
    return subscribed_;
}

void WorkspaceManagement::setWorkspacesSubscribed(std::shared_ptr<quorvela::WorkspaceList> list) {
    if (!list) list = quorvela::WorkspaceList::create();
    std::lock_guard lock(listsMutex_);
    subscribed_ = std::move(list);
}

// ---- Start-up and stores -------------------------------------------------------

void WorkspaceManagement::initWorkspaces() {
    loadWorkspaces();
    // The handler keeps the facade for the request's lifetime, as the loader's
    // callback object does.
    auto facade = facade_.shared_from_this();
    facade_.fetchSubscribedWorkspacesWithCompletionHandler([facade](unsigned long) {
        for (const auto& workspace : facade->workspacesSubscribed()->snapshot())
            if (workspace) workspace->synchronize();
        DelegateCalls::quorvelaReady(facade->delegate());
    });
}

void WorkspaceManagement::loadWorkspaces() {
    const auto& platform = facade_.platform();
    auto available = WorkspaceRecord::unarchiveList(platform, platform->keyValueStore->get(kAvailableKey));
    auto subscribed = WorkspaceRecord::unarchiveList(platform, platform->keyValueStore->get(kSubscribedKey));
    for (const auto& workspace : available) giveAppName(workspace);
    setWorkspaces(quorvela::WorkspaceList::create(std::move(available)));
    auto list = quorvela::WorkspaceList::create(std::move(subscribed));
    setWorkspacesSubscribed(list);
    for (const auto& workspace : list->snapshot()) adopt(workspace);
}

void WorkspaceManagement::store(const char* key, const std::shared_ptr<quorvela::WorkspaceList>& list) {
    facade_.platform()->keyValueStore->set(key, WorkspaceRecord::archiveList(list->snapshot()));
}

void WorkspaceManagement::storeWorkspaces() { store(kAvailableKey, workspaces()); }

void WorkspaceManagement::storeSubscribedWorkspaces() { store(kSubscribedKey, workspacesSubscribed()); }

void WorkspaceManagement::adopt(const std::shared_ptr<WorkspaceRecord>& workspace) const {
    if (!workspace) return;
    workspace->setDelegate(FacadeWorkspaceDelegate::create(facade_.weak_from_this()));
    giveAppName(workspace);
}

void WorkspaceManagement::giveAppName(const std::shared_ptr<WorkspaceRecord>& workspace) const {
    if (!workspace) return;
    workspace->setAppNameSource(FacadeWorkspaceDelegate::appNameSource(facade_.weak_from_this()));
}

// ---- Look-ups --------------------------------------------------------------------

bool WorkspaceManagement::isDefaultWorkspace(const WorkspaceRecord& workspace) const {
    const auto credentials = facade_.credentials();
    return credentials.clientID && credentials.apiClientPrivateKey && workspace.clientId() == credentials.clientID &&
           workspace.publicKey() == credentials.apiClientPrivateKey;
}

std::shared_ptr<WorkspaceRecord> WorkspaceManagement::getDefaultWorkspace() const {
    if (!ConfigurationGuard(*facade_.platform()).requireConfigured("getDefaultWorkspace")) return nullptr;
    for (const auto& workspace : workspacesSubscribed()->snapshot())
        if (workspace && isDefaultWorkspace(*workspace)) return workspace;
    return nullptr;
}

bool WorkspaceManagement::findObject(const std::shared_ptr<WorkspaceRecord>& object, const Items& list) {
    return indexOf(list, object).has_value();
}

// ---- Requests ----------------------------------------------------------------------

bool WorkspaceManagement::requireUser(const char* configuredName, const char* userName) const {
    ConfigurationGuard guard(*facade_.platform());
    return guard.requireConfigured(configuredName) && guard.requireUser(userName);
}

std::shared_ptr<WorkspaceDataLoader> WorkspaceManagement::newLoader() {
    auto loader = WorkspaceDataLoader::create(facade_.platform(), facade_.credentials());
    // Shares the core's ownership: the core (and this flow) live until the
    // loader has reported.
    loader->setDelegate(std::shared_ptr<WorkspaceDelegate>(facade_.shared_from_this(), this));
    return loader;
}

void WorkspaceManagement::fetchAvailableWorkspaces(Completion handler) {
    if (!requireUser("fetchAvailableWorkspacesWithCompletionHandler", "fetchAvailableWorkspaces")) return;
    newLoader()->getAvailableWorkspacesWithCompletionHandler(std::move(handler));
}

void WorkspaceManagement::fetchSubscribedWorkspaces(Completion handler) {
    if (!requireUser("fetchSubscribedWorkspacesWithCompletionHandler", "fetchSubscribedWorkspaces")) return;
    newLoader()->getSubscribedWorkspacesWithCompletionHander(std::move(handler));
}

void WorkspaceManagement::getAvailableWorkspaceswithFilter(const std::optional<std::string>& filter,
                                                           Completion handler) {
    if (!requireUser("getAvailableWorkspaceswithFilter", "getAvailableWorkspaceswithFilter")) return;
    newLoader()->getAvailableWorkspacesWithFilter(filter, std::move(handler));
}

WorkspaceManagement::Items WorkspaceManagement::getAvailableWorkspaces() const {
    requireUser("getAvailableWorkspaces", "getAvailableWorkspaces");
    return workspaces()->snapshot();
}

WorkspaceManagement::Items WorkspaceManagement::getSubscribedWorkspaces() const {
    requireUser("getSubscribedWorkspaces", "getSubscribedWorkspaces");
    return workspacesSubscribed()->snapshot();
}

void WorkspaceManagement::joinWorkspace(const std::shared_ptr<WorkspaceRecord>& workspace, Completion handler) {
    ConfigurationGuard guard(*facade_.platform());
    if (!guard.requireConfigured("JoinWorkspace")) return;
    if (!workspace) {
        facade_.debugMessage("joinWorkspace: Workspace can't be null");
        return;
    }
    if (!guard.requireUser("JoinWorkspace")) return;
    newLoader()->subscribeToWorkspace(workspace, std::move(handler));
}

void WorkspaceManagement::leaveWorkspace(const std::shared_ptr<WorkspaceRecord>& workspace, Completion handler) {
    ConfigurationGuard guard(*facade_.platform());
    if (!guard.requireConfigured("LeaveWorkspace")) return;
    if (!workspace) {
        facade_.debugMessage("LeaveWorkspace: Workspace can't be null");
        return;
    }
    if (isDefaultWorkspace(*workspace)) {
        facade_.debugMessage("LeaveWorkspace: You are trying to delete workspaces by default and it is not allowed");
        return;
    }
    if (!guard.requireUser("LeaveWorkspace")) return;
    newLoader()->unsubscribeFromWorkspace(workspace, std::move(handler));
}

// ---- Replies --------------------------------------------------------------------------

void WorkspaceManagement::availableWorkspacesLoadedSuccessfully(const Items& received) {
    {
        auto list = workspaces();
        auto guard = list->lock();
        auto& items = list->items();
        mergeReceived(items, received);
        for (const auto& workspace : items) giveAppName(workspace);
    }
    storeWorkspaces();
}

void WorkspaceManagement::subscribedWorkspacesLoadedSuccessfully(const Items& received) {
    {
        auto list = workspacesSubscribed();
        auto guard = list->lock();
        mergeReceived(list->items(), received);
        for (const auto& workspace : list->snapshot()) adopt(workspace);
        storeSubscribedWorkspaces();
    }
    for (const auto& workspace : received) {
        if (workspace && isDefaultWorkspace(*workspace) && !workspace->subscribed()) {
            facade_.joinWorkspace(workspace);
            break;
        }
    }
    facade_.debugMessage("Workspace: READY");
}

void WorkspaceManagement::workspaceSubscribedSuccessfully(const std::shared_ptr<WorkspaceRecord>& workspace) {
    // A reply that carried its own record leaves no workspace to add.
    if (!workspace) return;
    {
        auto subscribed = workspacesSubscribed();
        auto guard = subscribed->lock();
        auto available = workspaces();
        auto availableGuard = available->lock();
        const auto found = indexOf(available->items(), workspace);
        workspace->setSubscribed(true);
        adopt(workspace);
        // One entry per workspace: a repeated join replaces the earlier one.
        auto& items = subscribed->items();
        if (auto existing = indexOf(items, workspace)) {
            items[*existing] = workspace;
            for (std::size_t i = items.size(); i-- > *existing + 1;)
                if (equalWorkspaces(items[i], workspace)) items.erase(items.begin() + static_cast<long>(i));
        } else {
            items.push_back(workspace);
        }
        if (found) available->items()[*found] = workspace;
    }
    workspace->synchronize();
    storeWorkspaces();
    storeSubscribedWorkspaces();
}

void WorkspaceManagement::workspaceUnsubscribedSuccessfully(const std::shared_ptr<WorkspaceRecord>& workspace) {
    if (!workspace) return;
    {
        auto subscribed = workspacesSubscribed();
        auto guard = subscribed->lock();
        auto available = workspaces();
        auto availableGuard = available->lock();
        const auto found = indexOf(available->items(), workspace);
        std::erase_if(subscribed->items(), [&](const auto& entry) { return equalWorkspaces(entry, workspace); });
        workspace->setSubscribed(false);
        if (found) {
            giveAppName(workspace);
            available->items()[*found] = workspace;
        }
    }
    storeWorkspaces();
    storeSubscribedWorkspaces();
}

void WorkspaceManagement::availableWorkspacesLoadedWithErrors(const std::string&) { logLocalized("Workspace"); }

void WorkspaceManagement::subscribedWorkspacesLoadedWithErrors(const std::string&) { logLocalized("Workspace"); }

void WorkspaceManagement::failedToSubscribeWorkspace(const std::shared_ptr<WorkspaceRecord>&,
                                                     const std::optional<std::string>&) {
    logLocalized("WorkspaceSubscription");
}

void WorkspaceManagement::failedToUnsubscribeWorkspace(const std::shared_ptr<WorkspaceRecord>& workspace,
                                                       const std::optional<std::string>&) {
    workspaceUnsubscribedSuccessfully(workspace);
    logLocalized("WorkspaceUnsubscription");
}

void WorkspaceManagement::logLocalized(const std::string& key) const {
    EventLogger::debugLocalized(*facade_.platform(), key);
}

// ---- End of a full synchronisation -------------------------------------------------------

void WorkspaceManagement::synchronicedWorkspace(const std::shared_ptr<WorkspaceRecord>& workspace) {
    if (!workspace) return;
    {
        auto list = workspacesSubscribed();
        auto guard = list->lock();
        const auto clientId = workspace->clientId();
        auto& items = list->items();
        for (auto& entry : items)
            if (entry && entry->clientId() == clientId) entry = workspace;
        storeSubscribedWorkspaces();
        for (const auto& entry : list->snapshot())
            if (entry && !entry->isSynchronized()) return;
    }
    facade_.stopMonitoringUnusedRegions();
    if (const auto& log = facade_.platform()->systemLog)
        log->writeAt(LogLevel::Info, "synchronicedWorkspace " + SignedUrl::render(workspace->name()));
    facade_.refreshMonitoredRegionsToClosest();
}

}  // namespace quorvela
