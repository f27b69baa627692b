#include "model/WorkspaceService.h"

#include <mutex>

namespace quorvela {

namespace {

struct Installed {
    std::mutex mutex;
    std::shared_ptr<WorkspaceService> service;
};

// Function-local, so installing from another file's static initialiser is
// safe whatever the order of initialisation.
Installed& installedService() {
    static Installed installed;
    return installed;
}

}  // namespace

void WorkspaceService::install(std::shared_ptr<WorkspaceService> service) {
    auto& installed = installedService();
    std::lock_guard lock(installed.mutex);
    installed.service = std::move(service);
}

std::shared_ptr<WorkspaceService> WorkspaceService::installed() {
    auto& installed = installedService();
    std::lock_guard lock(installed.mutex);
    return installed.service;
}

}  // namespace quorvela
