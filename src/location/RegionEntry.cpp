#include "location/RegionEntry.h"

#include "model/WorkspaceRecord.h"

namespace quorvela {

bool RegionEntry::isEqual(const RegionEntry& other) const {
    const bool regions = region && other.region ? region->isEqual(*other.region) : region == other.region;
    if (!regions || name != other.name || timeStamp != other.timeStamp) return false;
    if (workspace && other.workspace) return workspace == other.workspace || workspace->isEqual(*other.workspace);
    return workspace == other.workspace;
}

const std::string& RegionEntry::identifier() const {
    static const std::string none;
    return region ? region->identifier() : none;
}

}  // namespace quorvela
