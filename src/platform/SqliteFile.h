#pragma once
// Opens the library's SQLite file as each of its stores needs it. The file
// holds signing keys and the inboxes: it and its companion files are the
// owner's alone (created 0600 whatever the umask; an existing wider file is
// narrowed, with one line in the system log). WAL mode with
// synchronous=NORMAL: a write is atomic at once and durable at the latest
// after a checkpoint.

#include <filesystem>
#include <memory>

#include "quorvela/platform/SystemLog.h"

struct sqlite3;

namespace quorvela {

class SqliteFile {
public:
    static constexpr int kBusyTimeoutMs = 5000;

    /// Opens `file` into `*db` and sets it up. `*db` may be set even when the
    /// result is not SQLITE_OK (for its error text); the caller closes it.
    static int open(const std::filesystem::path& file, const std::shared_ptr<SystemLog>& log, sqlite3** db);

private:
    static void makePrivate(const std::filesystem::path& file, const std::shared_ptr<SystemLog>& log);
};

}  // namespace quorvela
