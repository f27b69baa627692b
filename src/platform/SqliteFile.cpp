#include "platform/SqliteFile.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fmt/format.h>

namespace quorvela {

// SQLite gives the log, index and journal files the database's own mode, so
// it is enough to create the database file 0600 before SQLite does and to
// narrow one that an older run left wider.
void SqliteFile::makePrivate(const std::filesystem::path& file, const std::shared_ptr<SystemLog>& log) {
    int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) return;  // sqlite3_open_v2 reports the reason
    struct stat info {};
    bool wide = ::fstat(fd, &info) == 0 && (info.st_mode & 077) != 0;
    if (wide && ::fchmod(fd, 0600) == 0 && log)
        log->writeAt(LogLevel::Warning,
                     fmt::format("Quorvela: the settings store {} was readable by other users; its mode is now 0600",
                                 file.string()));
    ::close(fd);
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
        auto companion = file.string() + suffix;
        if (::stat(companion.c_str(), &info) == 0 && (info.st_mode & 077) != 0) ::chmod(companion.c_str(), 0600);
    }
}

int SqliteFile::open(const std::filesystem::path& file, const std::shared_ptr<SystemLog>& log, sqlite3** db) {
    makePrivate(file, log);
    int rc = sqlite3_open_v2(file.c_str(), db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX,
                             nullptr);
    auto exec = [&](const char* sql) {
        if (rc == SQLITE_OK) rc = sqlite3_exec(*db, sql, nullptr, nullptr, nullptr);
    };
    if (rc == SQLITE_OK) sqlite3_busy_timeout(*db, kBusyTimeoutMs);
    exec("PRAGMA journal_mode=WAL");
    exec("PRAGMA synchronous=NORMAL");
    exec("PRAGMA temp_store=MEMORY");  // no temporary files outside the private ones
    return rc;
}

}  // namespace quorvela
