#include "location/RegionEntrySet.h"

#include <utility>

namespace quorvela {

RegionEntrySet::RegionEntrySet(const std::vector<RegionEntry>& entries) {
    for (const auto& entry : entries) add(entry);
}

bool RegionEntrySet::add(RegionEntry entry) {
    const std::string id = entry.identifier();
    auto [first, last] = byIdentifier_.equal_range(id);
    for (auto it = first; it != last; ++it)
        if (entries_[it->second].isEqual(entry)) return false;
    byIdentifier_.emplace(id, entries_.size());
    entries_.push_back(std::move(entry));
    return true;
}

std::vector<RegionEntry> RegionEntrySet::take() {
    byIdentifier_.clear();
    return std::exchange(entries_, {});
}

}  // namespace quorvela
