#pragma once
// An ordered set of region entries: entries keep the order they were added
// in, and an entry equal to one already present is not added again. Lookups
// go through the region identifier, so large sets stay fast.

#include <cstddef>
#include <string>
#include <unordered_map>
#include <vector>

#include "location/RegionEntry.h"

namespace quorvela {

class RegionEntrySet {
public:
    RegionEntrySet() = default;
    explicit RegionEntrySet(const std::vector<RegionEntry>& entries);

    /// False when an equal entry is present already.
    bool add(RegionEntry entry);
    std::size_t size() const { return entries_.size(); }
    const std::vector<RegionEntry>& entries() const { return entries_; }
    /// Hands the entries out and leaves the set empty.
    std::vector<RegionEntry> take();

private:
    std::vector<RegionEntry> entries_;
    std::unordered_multimap<std::string, std::size_t> byIdentifier_;
};

}  // namespace quorvela
