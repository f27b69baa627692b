#include "protocol/WorkspaceSynchronization.h"

#include "model/WorkspaceRecord.h"
#include "protocol/CheckGeoFences.h"
#include "protocol/ClientCredentials.h"
#include "protocol/LoadBeacons.h"
#include "protocol/SendMessage.h"
#include "protocol/SingleMessageLoader.h"
#include "protocol/WorkspaceLoaderDelegate.h"

namespace quorvela {

namespace {

// Requests from a workspace carry only the application name.
ClientCredentials credentialsOf(const WorkspaceRecord& workspace) {
    return ClientCredentials{workspace.appName(), std::nullopt, std::nullopt};
}

// Any program that links the request layer gets the service before main();
// the core installs it as well, so a static link that drops this file's
// initialiser still has it.
[[maybe_unused]] const bool kInstalled = (WorkspaceSynchronization::install(), true);

}  // namespace

void WorkspaceSynchronization::install() {
    static const auto instance = std::make_shared<WorkspaceSynchronization>();
    if (WorkspaceService::installed() != instance) WorkspaceService::install(instance);
}

void WorkspaceSynchronization::fetchGeofences(const std::shared_ptr<WorkspaceRecord>& workspace,
                                              FetchCompletion completion) {
    auto loader = CheckGeoFences::create(workspace->platform(), credentialsOf(*workspace));
    loader->setDelegate(std::make_shared<WorkspaceLoaderDelegate>(workspace));
    loader->getUpdatedGeoFencesFromWorkspace(workspace, std::move(completion));
}

void WorkspaceSynchronization::fetchBeacons(const std::shared_ptr<WorkspaceRecord>& workspace,
                                            FetchCompletion completion) {
    auto loader = LoadBeacons::create(workspace->platform(), credentialsOf(*workspace));
    loader->setDelegate(std::make_shared<WorkspaceLoaderDelegate>(workspace));
    loader->getUpdatedBeaconsFromWorkspace(workspace, std::move(completion));
}

void WorkspaceSynchronization::fetchMessage(const std::shared_ptr<WorkspaceRecord>& workspace,
                                            const std::optional<std::string>& messageId, FetchCompletion completion) {
    auto loader = SingleMessageLoader::create(workspace->platform());
    loader->setDelegate(std::make_shared<WorkspaceLoaderDelegate>(workspace));
    loader->startLoadingDataForMessageWithID(messageId, workspace, std::move(completion));
}

void WorkspaceSynchronization::sendMessage(const std::shared_ptr<WorkspaceRecord>& workspace,
                                           const std::optional<std::string>& text) {
    SendMessage::sendMessage(workspace->platform(), credentialsOf(*workspace), text, workspace);
}

}  // namespace quorvela
