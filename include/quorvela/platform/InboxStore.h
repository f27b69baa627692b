#pragma once
// The stored inboxes: per inbox (named by its store key, "<clientId>-messages")
// an ordered list of message records, each at a position (a larger position
// is newer), and a journal of received messages that the inboxes have not
// taken yet.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "quorvela/Export.h"
#include "quorvela/Value.h"

namespace quorvela {

/// Safe to use from any thread. Every operation is all or nothing: a reader
/// after a crash sees an inbox, or the journal, as before the operation or as
/// after it.
class QUORVELA_EXPORT InboxStore {
public:
    struct Row {
        std::int64_t position = 0;
        Value::Dictionary record;
    };
    /// Newest first (positions decreasing).
    using Rows = std::vector<Row>;

    /// The changes to one inbox.
    struct Change {
        std::string inbox;
        /// Drops every stored row of the inbox before `put`.
        bool replaceAll = false;
        /// Rows written at their position (replacing a row there).
        Rows put;
        /// Positions whose rows are dropped (absent ones are ignored).
        std::vector<std::int64_t> remove;
        /// The whole inbox after the change, newest first: for stores that
        /// keep an inbox as one value rather than row by row.
        std::function<std::vector<Value::Dictionary>()> whole;
    };

    struct JournalEntry {
        std::int64_t id = 0;
        std::vector<Value::Dictionary> records;
    };

    virtual ~InboxStore() = default;

    /// The rows of `inbox`; nothing when this store never held it (an inbox
    /// kept elsewhere before may then be adopted).
    virtual std::optional<Rows> load(const std::string& inbox) = 0;
    /// Applies every change and, when given, drops the journal entry
    /// `journalDone`, in one step. False when nothing could be stored.
    virtual bool commit(const std::vector<Change>& changes, std::optional<std::int64_t> journalDone = {}) = 0;
    /// Takes `rows` as the inbox unless the store holds it already (another
    /// caller adopted it first); gives the rows held afterwards.
    virtual Rows adopt(const std::string& inbox, const Rows& rows) = 0;

    /// Keeps received records until an inbox commit names the entry done;
    /// nothing when they could not be kept.
    virtual std::optional<std::int64_t> journal(const std::vector<Value::Dictionary>& records) = 0;
    /// Entries not yet done, oldest first.
    virtual std::vector<JournalEntry> journalEntries() = 0;
};

}  // namespace quorvela
