// Kills a writer with SIGKILL at random moments and checks that the store
// still opens cleanly, every value reads back, and everything the writer
// reported as stored is there: each inbox is exactly the previous inbox with
// the reported messages (and at most the one in flight) in front, trimmed to
// the limit; each other setting holds its last reported value or the one
// that was being written.
//
// QUORVELA_CRASH_SEED=<n> repeats a run's kill moments.
#include <sqlite3.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "../support/CapturingLog.h"
#include "ChildProcess.h"
#include "CrashRecords.h"
#include "model/WorkspaceRecord.h"

namespace quorvela {
namespace {

constexpr int kRuns = 50;
constexpr int kMinDelayMs = 5;
constexpr int kMaxDelayMs = 200;

std::string integrityCheck(const std::filesystem::path& file) {
    sqlite3* db = nullptr;
    std::string verdict = "cannot open";
    if (sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK) {
        sqlite3_stmt* statement = nullptr;
        if (sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &statement, nullptr) == SQLITE_OK) {
            verdict.clear();
            while (sqlite3_step(statement) == SQLITE_ROW)
                verdict += reinterpret_cast<const char*>(sqlite3_column_text(statement, 0));
        } else {
            verdict = sqlite3_errmsg(db);
        }
        sqlite3_finalize(statement);
    }
    sqlite3_close_v2(db);
    return verdict;
}

std::vector<std::string> trimmed(std::vector<std::string> ids) {
    if (ids.size() > static_cast<std::size_t>(crash::kInboxLimit)) ids.resize(crash::kInboxLimit);
    return ids;
}

class CrashSafety : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/quorvela-crash-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        std::error_code ignored;
        if (!HasFailure()) std::filesystem::remove_all(dir_, ignored);
        else std::cerr << "store kept for inspection: " << dir_ << "\n";
    }

    /// The stores as the writer left them, and what they logged on opening.
    std::shared_ptr<Platform> open() const { return crash::openStores(dir_, log); }

    std::shared_ptr<test::CapturingLog> log = std::make_shared<test::CapturingLog>();
    std::filesystem::path dir_;
};

TEST_F(CrashSafety, KilledWriterLosesNothingItReportedStored) {
    const unsigned seed = crash::randomSeed();
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> delayMs(kMinDelayMs, kMaxDelayMs);

    {
        auto platform = open();
        platform->keyValueStore->set("maxStoredMessages", Value(crash::kInboxLimit));
        ASSERT_TRUE(platform->keyValueStore->synchronize());
    }

    // What the store is known to hold, from the last check.
    std::map<std::string, std::vector<std::string>> inboxes;  // workspace -> ids, newest first
    std::map<std::string, Value> settings;
    int totalMessages = 0;
    int killedMidWrite = 0;

    for (int run = 0; run < kRuns; ++run) {
        SCOPED_TRACE("run " + std::to_string(run) + " (seed " + std::to_string(seed) + ")");
        const auto delay = std::chrono::milliseconds(delayMs(random));
        const auto child = crash::runChild({QUORVELA_CRASH_CHILD, dir_.string(), std::to_string(run)}, delay);
        ASSERT_TRUE(child.killed) << "the writer ended on its own, status " << child.status
                                  << (child.lines.empty() ? std::string() : ", last line: " + child.lines.back());

        // What the writer reported.
        std::vector<std::string> reported;  // message ids in order
        std::map<std::string, std::int64_t> lastStamp;
        for (const auto& line : child.lines) {
            ASSERT_FALSE(line.empty());
            ASSERT_NE(line[0], 'L') << "the writer's store reported a failure: " << line.substr(2);
            if (line == "S" || line == "Y") continue;
            ASSERT_GT(line.size(), 2u) << line;
            if (line[0] == 'M') {
                reported.push_back(line.substr(2));
                continue;
            }
            bool known = false;
            for (const auto& setting : crash::kSettings)
                if (line[0] == setting.tag) {
                    lastStamp[setting.key] = std::stoll(line.substr(2));
                    known = true;
                }
            ASSERT_TRUE(known) << "unexpected line from the writer: " << line;
        }
        totalMessages += static_cast<int>(reported.size());

        ASSERT_EQ(integrityCheck(dir_ / crash::kStoreFile), "ok");
        log->clear();
        auto platform = open();
        ASSERT_TRUE(static_cast<SqliteKeyValueStore&>(*platform->keyValueStore).isPersistent());

        // The inbox of this run's workspace: the reported messages in front
        // of the previous inbox, possibly preceded by the one in flight.
        const auto workspaceId = crash::workspaceId(run);
        auto workspace = WorkspaceRecord::create(platform);
        workspace->setClientId(workspaceId);
        const auto stored = workspace->loadMessage();
        std::vector<std::string> storedIds;
        for (const auto& message : stored) {
            ASSERT_TRUE(message && message->id());
            const auto id = *message->id();
            storedIds.push_back(id);
            EXPECT_EQ(message->blastID(), workspaceId) << id;
            EXPECT_EQ(message->subject(), "subject " + id);
            EXPECT_EQ(message->text(), crash::messageText(id));
            EXPECT_EQ(message->status(), "NEW") << id;
        }
        std::vector<std::string> expected(reported.rbegin(), reported.rend());
        expected.insert(expected.end(), inboxes[workspaceId].begin(), inboxes[workspaceId].end());
        auto withInFlight = expected;
        withInFlight.insert(withInFlight.begin(), crash::messageId(run, static_cast<int>(reported.size()) + 1));
        expected = trimmed(expected);
        withInFlight = trimmed(withInFlight);
        if (storedIds == withInFlight) ++killedMidWrite;
        ASSERT_TRUE(storedIds == expected || storedIds == withInFlight)
            << "inbox " << workspaceId << " after " << reported.size() << " reported messages: stored "
            << storedIds.size() << " " << ::testing::PrintToString(storedIds) << ", expected " << expected.size()
            << " or " << withInFlight.size();
        inboxes[workspaceId] = storedIds;

        // The other workspaces' inboxes are untouched.
        for (const auto& [otherId, ids] : inboxes) {
            if (otherId == workspaceId) continue;
            auto other = WorkspaceRecord::create(platform);
            other->setClientId(otherId);
            std::vector<std::string> otherIds;
            for (const auto& message : other->loadMessage()) otherIds.push_back(message->id().value_or("(null)"));
            ASSERT_EQ(otherIds, ids) << "inbox " << otherId << " changed while another workspace was written";
        }

        // Each setting holds its last reported value, or the next one when the
        // kill hit its write; without a report this run, the previous value or
        // this run's first.
        for (const auto& setting : crash::kSettings) {
            const auto value = platform->keyValueStore->get(setting.key);
            std::vector<Value> allowed;
            if (auto it = lastStamp.find(setting.key); it != lastStamp.end()) {
                allowed.push_back(crash::settingValue(setting.key, it->second));
            } else {
                allowed.push_back(settings.count(setting.key) ? settings[setting.key] : Value());
            }
            const auto next = lastStamp.count(setting.key) ? lastStamp[setting.key] + setting.cadence
                                                           : crash::stamp(run, setting.cadence);
            allowed.push_back(crash::settingValue(setting.key, next));
            ASSERT_TRUE(value == allowed[0] || value == allowed[1])
                << setting.key << " reads back as " << value.describe() << ", reported "
                << (lastStamp.count(setting.key) ? std::to_string(lastStamp[setting.key]) : "nothing");
            settings[setting.key] = value;
        }
        EXPECT_EQ(platform->keyValueStore->get("maxStoredMessages"), Value(crash::kInboxLimit));
        EXPECT_TRUE(log->lines().empty()) << log->lines().front();
    }
    std::cout << kRuns << " kills, " << totalMessages << " messages reported stored, " << killedMidWrite
              << " kills with an unreported message already stored" << std::endl;
    // The kills must land while the writer works, or the test proves nothing.
    EXPECT_GT(totalMessages, kRuns);
}

}  // namespace
}  // namespace quorvela
