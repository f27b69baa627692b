#include "location/RegionEntrySet.h"

#include <functional>
#include <utility>

namespace quorvela {

namespace {

constexpr std::size_t kMinimumSlots = 16;

std::size_t hashOf(const RegionEntry& entry) { return std::hash<std::string>{}(entry.identifier()); }

}  // namespace

RegionEntrySet::RegionEntrySet(const std::vector<RegionEntry>& entries) {
    reserve(entries.size());
    for (const auto& entry : entries) add(entry);
}

void RegionEntrySet::reserve(std::size_t count) {
    entries_.reserve(count);
    std::size_t slots = kMinimumSlots;
    while (slots < 2 * count) slots *= 2;
    if (slots > slots_.size()) rehash(slots);
}

bool RegionEntrySet::add(RegionEntry entry) {
    if (2 * (entries_.size() + 1) > slots_.size()) rehash(slots_.empty() ? kMinimumSlots : 2 * slots_.size());
    const std::size_t hash = hashOf(entry);
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = hash & mask;
    for (; slots_[i].position != 0; i = (i + 1) & mask) {
        if (slots_[i].hash == hash && entries_[slots_[i].position - 1].isEqual(entry)) return false;
    }
    slots_[i] = Slot{hash, entries_.size() + 1};
    entries_.push_back(std::move(entry));
    return true;
}

void RegionEntrySet::place(std::size_t hash, std::size_t position) {
    const std::size_t mask = slots_.size() - 1;
    std::size_t i = hash & mask;
    while (slots_[i].position != 0) i = (i + 1) & mask;
    slots_[i] = Slot{hash, position};
}

void RegionEntrySet::rehash(std::size_t slotCount) {
    std::vector<Slot> old = std::exchange(slots_, std::vector<Slot>(slotCount));
    for (const Slot& slot : old)
        if (slot.position != 0) place(slot.hash, slot.position);
}

std::vector<RegionEntry> RegionEntrySet::take() {
    slots_.clear();
    return std::exchange(entries_, {});
}

}  // namespace quorvela
