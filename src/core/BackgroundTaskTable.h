#pragma once
// Platform background tasks kept by text identifier. Entries are never
// removed: an ended task's entry holds the invalid value. Push processing and
// the location engine use the table from several threads at once, so every
// look-up and store happens under one mutex; the platform is never called
// with that mutex held (its expiration handler may call back into the table).

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "quorvela/platform/BackgroundTasks.h"

namespace quorvela {

class BackgroundTaskTable : public std::enable_shared_from_this<BackgroundTaskTable> {
public:
    static std::shared_ptr<BackgroundTaskTable> create(std::shared_ptr<BackgroundTasks> platform);
    explicit BackgroundTaskTable(std::shared_ptr<BackgroundTasks> platform);

    /// Begins a platform task and keeps its number under `identifier`
    /// (replacing an earlier entry). When the platform's time runs out, the
    /// task kept under `identifier` at that moment is ended.
    void begin(const std::string& identifier);
    /// Ends the task kept under `identifier` (task 0 when there is none) and
    /// stores the invalid value under it. Taking the number and marking the
    /// entry happen together, so two concurrent ends never end one task twice.
    void end(const std::string& identifier);

    /// The entry under `identifier`, if any.
    std::optional<BackgroundTasks::TaskId> entry(const std::string& identifier) const;

private:
    std::shared_ptr<BackgroundTasks> platform_;
    mutable std::mutex mutex_;
    std::map<std::string, BackgroundTasks::TaskId> tasks_;
};

}  // namespace quorvela
