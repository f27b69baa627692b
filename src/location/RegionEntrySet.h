#pragma once
// An ordered set of region entries: entries keep the order they were added
// in, and an entry equal to one already present is not added again. Lookups
// go through a hash of the region identifier kept in one flat table, so a set
// of many thousand geofences is built without an allocation per entry.

#include <cstddef>
#include <string>
#include <vector>

#include "location/RegionEntry.h"

namespace quorvela {

class RegionEntrySet {
public:
    RegionEntrySet() = default;
    explicit RegionEntrySet(const std::vector<RegionEntry>& entries);

    /// Makes room for `count` entries in all.
    void reserve(std::size_t count);
    /// False when an equal entry is present already.
    bool add(RegionEntry entry);
    std::size_t size() const { return entries_.size(); }
    const std::vector<RegionEntry>& entries() const { return entries_; }
    /// Hands the entries out and leaves the set empty.
    std::vector<RegionEntry> take();

private:
    struct Slot {
        std::size_t hash = 0;
        std::size_t position = 0;  // in entries_, plus one; 0 marks a free slot
    };

    void rehash(std::size_t slotCount);
    void place(std::size_t hash, std::size_t position);

    std::vector<RegionEntry> entries_;
    std::vector<Slot> slots_;  // open addressing, a power of two in size, at most half full
};

}  // namespace quorvela
