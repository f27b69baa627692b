#include "model/Inbox.h"

#include <algorithm>
#include <atomic>
#include <chrono>

#include "quorvela/Message.h"

namespace quorvela {

void Inbox::Edit::putAt(std::int64_t position, std::shared_ptr<Message> message) {
    remove.erase(position);
    put[position] = std::move(message);
}

void Inbox::Edit::removeAt(std::int64_t position) {
    put.erase(position);
    remove.insert(position);
}

std::string Inbox::identityOf(const Message& message) {
    // Length-prefixed, so that no two (blastID, id) pairs share a key.
    std::string key;
    for (const auto& part : {message.blastID(), message.id()}) {
        if (part) key += std::to_string(part->size()) + ':' + *part;
        else key += '-';
        key += ';';
    }
    return key;
}

// Microseconds since 1970 to start with: a new run's messages go above every
// earlier run's, as long as the clock did not step back by more than the gap.
std::int64_t Inbox::freshPosition(std::int64_t above) {
    static std::atomic<std::int64_t> next{
        std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch())
            .count()};
    std::int64_t current = next.load();
    std::int64_t chosen = 0;
    do {
        chosen = std::max(current, above + 1);
    } while (!next.compare_exchange_weak(current, chosen + 1));
    return chosen;
}

Inbox Inbox::fromRows(const InboxStore::Rows& rows) {
    Inbox inbox;
    for (const auto& row : rows) {
        // Rows come newest first; one out of order would break the look-ups.
        if (!inbox.entries_.empty() && row.position >= inbox.entries_.back().position) continue;
        inbox.insert(inbox.size(), row.position, Message::initWithCoder(row.record));
    }
    return inbox;
}

Inbox Inbox::fromMessages(MessageList messages) {
    Inbox inbox;
    for (auto& message : messages) inbox.insert(inbox.size(), 0, std::move(message));
    inbox.renumber();
    return inbox;
}

Inbox::MessageList Inbox::messages() const {
    MessageList list;
    list.reserve(entries_.size());
    for (const auto& entry : entries_) list.push_back(entry.message);
    return list;
}

std::size_t Inbox::indexOf(std::int64_t position) const {
    auto it = std::lower_bound(entries_.begin(), entries_.end(), position,
                               [](const Entry& entry, std::int64_t p) { return entry.position > p; });
    return static_cast<std::size_t>(it - entries_.begin());
}

void Inbox::insert(std::size_t index, std::int64_t position, const std::shared_ptr<Message>& message) {
    insert(index, position, message, message ? identityOf(*message) : std::string("null"));
}

void Inbox::insert(std::size_t index, std::int64_t position, const std::shared_ptr<Message>& message,
                   std::string identity) {
    byIdentity_[identity].insert(position);
    entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(index),
                    Entry{message, position, std::move(identity)});
}

void Inbox::erase(std::size_t index) {
    auto it = byIdentity_.find(entries_[index].identity);
    if (it != byIdentity_.end()) {
        it->second.erase(entries_[index].position);
        if (it->second.empty()) byIdentity_.erase(it);
    }
    entries_.erase(entries_.begin() + static_cast<std::ptrdiff_t>(index));
}

void Inbox::renumber() {
    byIdentity_.clear();
    std::int64_t position = 0;
    for (std::size_t i = entries_.size(); i-- > 0;) {
        position = freshPosition(position);
        entries_[i].position = position;
        byIdentity_[entries_[i].identity].insert(position);
    }
}

bool Inbox::receive(const std::shared_ptr<Message>& message, std::int32_t limit, Edit& edit) {
    if (!message) return false;
    auto identity = identityOf(*message);
    const auto found = byIdentity_.find(identity);
    const bool known = found != byIdentity_.end();
    const std::size_t match = known ? indexOf(*found->second.begin()) : size();
    if (message->status() == "DELETED") {
        if (!known) return false;
        edit.removeAt(entries_[match].position);
        erase(match);
        return true;
    }
    if (known) {
        entries_[match].message = message;
        edit.putAt(entries_[match].position, message);
    } else {
        const auto position = freshPosition(entries_.empty() ? 0 : entries_.front().position);
        insert(0, position, message, std::move(identity));
        edit.putAt(position, message);
    }
    // Oldest messages go first.
    while (limit >= 1 && size() > static_cast<std::size_t>(limit)) {
        edit.removeAt(entries_.back().position);
        erase(size() - 1);
    }
    return true;
}

bool Inbox::insertAt(const std::shared_ptr<Message>& message, std::size_t index, Edit& edit) {
    if (index > size()) return false;
    const std::int64_t newer = index == 0 ? 0 : entries_[index - 1].position;
    if (index == 0) {
        const auto position = freshPosition(entries_.empty() ? 0 : entries_.front().position);
        insert(0, position, message);
        edit.putAt(position, message);
    } else if (index == size() || newer - entries_[index].position > 1) {
        const std::int64_t older = index == size() ? newer - 2 : entries_[index].position;
        const std::int64_t position = older + (newer - older) / 2;
        insert(index, position, message);
        edit.putAt(position, message);
    } else {
        // No room between the neighbours: every message gets a new position.
        insert(index, 0, message);
        renumber();
        rewriteAll(edit);
    }
    return true;
}

bool Inbox::replaceAt(const std::shared_ptr<Message>& message, std::size_t index, Edit& edit) {
    if (index >= size()) return false;
    const auto position = entries_[index].position;
    erase(index);
    insert(index, position, message);
    edit.putAt(position, message);
    return true;
}

bool Inbox::removeAt(std::size_t index, Edit& edit) {
    if (index >= size()) return false;
    edit.removeAt(entries_[index].position);
    erase(index);
    return true;
}

void Inbox::rewriteAll(Edit& edit) {
    edit.replaceAll = true;
    edit.put.clear();
    edit.remove.clear();
}

InboxStore::Change Inbox::changeFor(const std::string& key, const Edit& edit) const {
    InboxStore::Change change;
    change.inbox = key;
    change.replaceAll = edit.replaceAll;
    auto row = [](std::int64_t position, const std::shared_ptr<Message>& message) {
        return InboxStore::Row{position, message ? message->encodeWithCoder() : Value::Dictionary()};
    };
    if (edit.replaceAll) {
        change.put.reserve(size());
        for (const auto& entry : entries_) change.put.push_back(row(entry.position, entry.message));
    } else {
        for (const auto& [position, message] : edit.put) change.put.push_back(row(position, message));
        change.remove.assign(edit.remove.begin(), edit.remove.end());
    }
    change.whole = [this] {
        std::vector<Value::Dictionary> records;
        records.reserve(size());
        for (const auto& entry : entries_)
            if (entry.message) records.push_back(entry.message->encodeWithCoder());
        return records;
    };
    return change;
}

}  // namespace quorvela
