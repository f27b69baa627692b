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
    inbox.messages_.reserve(rows.size());
    inbox.positions_.reserve(rows.size());
    inbox.identities_.reserve(rows.size());
    for (const auto& row : rows) {
        // Rows come newest first; one out of order would break the look-ups.
        if (!inbox.positions_.empty() && row.position >= inbox.positions_.back()) continue;
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

std::size_t Inbox::indexOf(std::int64_t position) const {
    auto it = std::lower_bound(positions_.begin(), positions_.end(), position, std::greater<>());
    return static_cast<std::size_t>(it - positions_.begin());
}

void Inbox::insert(std::size_t index, std::int64_t position, const std::shared_ptr<Message>& message) {
    const auto at = static_cast<std::ptrdiff_t>(index);
    auto identity = message ? identityOf(*message) : std::string("null");
    byIdentity_[identity].insert(position);
    messages_.insert(messages_.begin() + at, message);
    positions_.insert(positions_.begin() + at, position);
    identities_.insert(identities_.begin() + at, std::move(identity));
}

void Inbox::erase(std::size_t index) {
    const auto at = static_cast<std::ptrdiff_t>(index);
    auto it = byIdentity_.find(identities_[index]);
    if (it != byIdentity_.end()) {
        it->second.erase(positions_[index]);
        if (it->second.empty()) byIdentity_.erase(it);
    }
    messages_.erase(messages_.begin() + at);
    positions_.erase(positions_.begin() + at);
    identities_.erase(identities_.begin() + at);
}

void Inbox::renumber() {
    byIdentity_.clear();
    std::int64_t position = 0;
    for (std::size_t i = messages_.size(); i-- > 0;) {
        position = freshPosition(position);
        positions_[i] = position;
        byIdentity_[identities_[i]].insert(position);
    }
}

bool Inbox::receive(const std::shared_ptr<Message>& message, std::int32_t limit, Edit& edit) {
    if (!message) return false;
    const auto found = byIdentity_.find(identityOf(*message));
    const bool known = found != byIdentity_.end();
    const std::size_t match = known ? indexOf(*found->second.begin()) : size();
    if (message->status() == "DELETED") {
        if (!known) return false;
        edit.removeAt(positions_[match]);
        erase(match);
        return true;
    }
    if (known) {
        messages_[match] = message;
        edit.putAt(positions_[match], message);
    } else {
        const auto position = freshPosition(positions_.empty() ? 0 : positions_.front());
        insert(0, position, message);
        edit.putAt(position, message);
    }
    // Oldest messages go first.
    while (limit >= 1 && size() > static_cast<std::size_t>(limit)) {
        edit.removeAt(positions_.back());
        erase(size() - 1);
    }
    return true;
}

bool Inbox::insertAt(const std::shared_ptr<Message>& message, std::size_t index, Edit& edit) {
    if (index > size()) return false;
    const std::int64_t newer = index == 0 ? 0 : positions_[index - 1];
    if (index == 0) {
        const auto position = freshPosition(positions_.empty() ? 0 : positions_.front());
        insert(0, position, message);
        edit.putAt(position, message);
    } else if (index == size() || newer - positions_[index] > 1) {
        const std::int64_t older = index == size() ? newer - 2 : positions_[index];
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
    const auto position = positions_[index];
    erase(index);
    insert(index, position, message);
    edit.putAt(position, message);
    return true;
}

bool Inbox::removeAt(std::size_t index, Edit& edit) {
    if (index >= size()) return false;
    edit.removeAt(positions_[index]);
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
        for (std::size_t i = 0; i < size(); ++i) change.put.push_back(row(positions_[i], messages_[i]));
    } else {
        for (const auto& [position, message] : edit.put) change.put.push_back(row(position, message));
        change.remove.assign(edit.remove.begin(), edit.remove.end());
    }
    change.whole = [this] {
        std::vector<Value::Dictionary> records;
        records.reserve(size());
        for (const auto& message : messages_)
            if (message) records.push_back(message->encodeWithCoder());
        return records;
    };
    return change;
}

}  // namespace quorvela
