#pragma once
// What the crash child writes, derived from (run, step) alone, so that the
// test can tell exactly which value belongs where.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "model/MessageRecord.h"
#include "platform/SqliteInboxStore.h"
#include "platform/SqliteKeyValueStore.h"
#include "quorvela/Message.h"
#include "quorvela/Value.h"
#include "quorvela/platform/Platform.h"

namespace quorvela::crash {

/// Settings written beside the inbox, each every `cadence` steps.
struct Setting {
    const char* key;
    int cadence;
    char tag;  // the child's output line prefix
};
inline constexpr Setting kSettings[] = {{"crash-counter", 2, 'C'}, {"crash-blob", 3, 'B'}, {"crash-profile", 5, 'D'}};
inline constexpr int kSyncCadence = 20;
inline constexpr std::int32_t kInboxLimit = 250;
inline constexpr const char* kStoreFile = "settings.sqlite3";

/// The writer's stores as both sides open them: SQLite in `dir`, failures to `log`.
inline std::shared_ptr<Platform> openStores(const std::filesystem::path& dir, std::shared_ptr<SystemLog> log) {
    auto platform = std::make_shared<Platform>();
    platform->systemLog = log;
    platform->keyValueStore = std::make_shared<SqliteKeyValueStore>(dir / kStoreFile, log);
    platform->inboxStore = std::make_shared<SqliteInboxStore>(dir / kStoreFile, log);
    return platform;
}

inline std::int64_t stamp(int run, int step) { return std::int64_t{run} * 1000000 + step; }

inline std::string messageId(int run, int step) { return "r" + std::to_string(run) + "-" + std::to_string(step); }

inline std::string workspaceId(int run) { return "ws-" + std::to_string(run % 4); }

inline std::string messageText(const std::string& id) {
    std::string text;
    while (text.size() < 120) text += "body of " + id + "; ";
    return text;
}

inline std::shared_ptr<Message> makeMessage(int run, int step) {
    auto message = MessageRecord::create();
    const auto id = messageId(run, step);
    message->setBlastID(workspaceId(run));
    message->setId(id);
    message->setType("TXT_MSG");
    message->setSubject("subject " + id);
    message->setText(messageText(id));
    message->setStatus("NEW");
    message->setDate("2026-12-06T11:00:00.000+00:00");
    message->setClientId(workspaceId(run));
    return message;
}

/// The value of setting `key` at `stamp`.
inline Value settingValue(const std::string& key, std::int64_t at) {
    if (key == "crash-counter") return Value(static_cast<long long>(at));
    if (key == "crash-blob") {
        Value::Data bytes(static_cast<std::size_t>(8 + (at * 131) % 4096));
        for (std::size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<std::uint8_t>(i < 8 ? (at >> (8 * i)) & 0xff
                                                       : (at + static_cast<std::int64_t>(i)) & 0xff);
        return Value(std::move(bytes));
    }
    return Value(Value::Dictionary{{"stamp", Value(static_cast<long long>(at))},
                                   {"label", Value("profile " + std::to_string(at))},
                                   {"flags", Value(Value::Array{Value(at % 2 == 0), Value(double(at) / 4)})}});
}

}  // namespace quorvela::crash
