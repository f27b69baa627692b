#include "protocol/LoadBeacons.h"

namespace quorvela {

namespace {
constexpr RegionListEndpoint kBeacons{"getBeacons", "getBeaconsURL: ", "Beacons", "beacon", "Beacons Error: "};
}

LoadBeacons::LoadBeacons(std::shared_ptr<Platform> platform, ClientCredentials credentials)
    : RegionListLoader(kBeacons, std::move(platform), std::move(credentials)) {}

std::shared_ptr<LoadBeacons> LoadBeacons::create(std::shared_ptr<Platform> platform, ClientCredentials credentials) {
    return std::make_shared<LoadBeacons>(std::move(platform), std::move(credentials));
}

std::shared_ptr<LoadBeaconsDelegate> LoadBeacons::delegate() const {
    std::lock_guard lock(delegateMutex_);
    return delegate_;
}

void LoadBeacons::setDelegate(std::shared_ptr<LoadBeaconsDelegate> delegate) {
    std::lock_guard lock(delegateMutex_);
    delegate_ = std::move(delegate);
}

void LoadBeacons::getUpdatedBeaconsFromWorkspace(const std::shared_ptr<WorkspaceRecord>& workspace,
                                                 Completion completion) {
    fetch(workspace, std::move(completion));
}

void LoadBeacons::deliver(const RecordList& records) {
    if (auto listener = delegate()) listener->loadBeaconsSuccess(records);
}

void LoadBeacons::deliverError(const std::string& error) {
    if (auto listener = delegate()) listener->loadBeaconsReturnedError(error);
}

}  // namespace quorvela
