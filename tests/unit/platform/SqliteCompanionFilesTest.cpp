#include <gtest/gtest.h>

#include <sys/stat.h>

#include "platform/SqliteKeyValueStore.h"
#include "support/CapturingLog.h"
#include "support/TestSupport.h"

namespace quorvela {
namespace {

// A log or journal file that an older run left readable by others holds the
// same secrets as the database: opening the store narrows it too.
TEST(SqliteCompanionFiles, WiderCompanionFilesAreNarrowedOnOpening) {
    test::TempDir dir;
    const auto file = dir.path() / "settings.sqlite3";
    auto log = std::make_shared<test::CapturingLog>();
    auto first = std::make_unique<SqliteKeyValueStore>(file, log);
    first->set("secret", Value("key"));  // the open store keeps its -wal and -shm
    for (const char* suffix : {"-wal", "-shm"}) ASSERT_EQ(::chmod((file.string() + suffix).c_str(), 0644), 0);
    const auto journal = dir.write("settings.sqlite3-journal", "");
    ASSERT_EQ(::chmod(journal.c_str(), 0644), 0);

    SqliteKeyValueStore second(file, log);
    for (const char* suffix : {"-wal", "-shm", "-journal"}) {
        struct stat info {};
        ASSERT_EQ(::stat((file.string() + suffix).c_str(), &info), 0) << suffix;
        EXPECT_EQ(info.st_mode & 0777, 0600u) << suffix;
    }
    EXPECT_EQ(second.get("secret"), Value("key"));
}

}  // namespace
}  // namespace quorvela
