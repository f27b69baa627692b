#pragma once
// One workspace's inbox in memory: messages newest first, each at the position
// the inbox store keeps it at, found by identity (blastID and id) without a
// scan. Every change is noted in an Edit, which becomes the store's change, so
// that a store writes only the rows that changed.
//
// Positions are unique within the process and grow with time, so two objects
// holding one workspace never give two new messages one position. Not
// thread-safe: the workspace holds its inbox lock around every use.

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "quorvela/platform/InboxStore.h"

namespace quorvela {

class Message;

class Inbox {
public:
    using MessageList = std::vector<std::shared_ptr<Message>>;

    /// What changed since the last store write.
    struct Edit {
        bool replaceAll = false;
        std::map<std::int64_t, std::shared_ptr<Message>> put;
        std::set<std::int64_t> remove;
        bool empty() const { return !replaceAll && put.empty() && remove.empty(); }
        void putAt(std::int64_t position, std::shared_ptr<Message> message);
        void removeAt(std::int64_t position);
    };

    Inbox() = default;
    /// The stored rows, newest first.
    static Inbox fromRows(const InboxStore::Rows& rows);
    /// `messages` in this order, at fresh positions.
    static Inbox fromMessages(MessageList messages);

    /// The messages, newest first.
    MessageList messages() const;
    std::size_t size() const { return entries_.size(); }

    /// The inbox rules for one received message: "DELETED" drops the newest
    /// message of the same identity; any other status replaces that message
    /// in place or goes in front. Then the oldest messages beyond `limit` go
    /// (0 or less: no limit). False when nothing changed.
    bool receive(const std::shared_ptr<Message>& message, std::int32_t limit, Edit& edit);
    /// Index-based changes; false (and nothing done) for an index out of range.
    bool insertAt(const std::shared_ptr<Message>& message, std::size_t index, Edit& edit);
    bool replaceAt(const std::shared_ptr<Message>& message, std::size_t index, Edit& edit);
    bool removeAt(std::size_t index, Edit& edit);
    /// Notes a rewrite of the whole inbox.
    static void rewriteAll(Edit& edit);

    /// The store's change for `edit` to the inbox `key`.
    InboxStore::Change changeFor(const std::string& key, const Edit& edit) const;

private:
    static std::string identityOf(const Message& message);
    static std::int64_t freshPosition(std::int64_t above);
    std::size_t indexOf(std::int64_t position) const;
    void insert(std::size_t index, std::int64_t position, const std::shared_ptr<Message>& message);
    void insert(std::size_t index, std::int64_t position, const std::shared_ptr<Message>& message,
                std::string identity);
    void erase(std::size_t index);
    void renumber();

    struct Entry {
        std::shared_ptr<Message> message;
        std::int64_t position = 0;
        std::string identity;  // as the message had it when it came in
    };
    // Positions decreasing. A deque: new messages go in front and the oldest
    // leave at the back, neither moving the rest.
    std::deque<Entry> entries_;
    std::unordered_map<std::string, std::set<std::int64_t, std::greater<>>> byIdentity_;
};

}  // namespace quorvela
