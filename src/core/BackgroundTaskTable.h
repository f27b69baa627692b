#pragma once
// Platform background tasks kept by text identifier. Entries are never
// removed: an identifier whose tasks all ended holds the invalid value. Work
// of the same name may overlap (two unregistrations of one campaign), so an
// identifier keeps every task begun under it until each is ended: replacing
// one would leave the platform's task open for good. Push processing and
// the location engine use the table from several threads at once, so every
// look-up and store happens under one mutex; the platform is never called
// with that mutex held (its expiration handler may call back into the table).

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "quorvela/platform/BackgroundTasks.h"

namespace quorvela {

class BackgroundTaskTable : public std::enable_shared_from_this<BackgroundTaskTable> {
public:
    static std::shared_ptr<BackgroundTaskTable> create(std::shared_ptr<BackgroundTasks> platform);
    explicit BackgroundTaskTable(std::shared_ptr<BackgroundTasks> platform);

    /// Begins a platform task and keeps its number under `identifier`, beside
    /// any still open under it. When the platform's time runs out, one task
    /// kept under `identifier` is ended.
    void begin(const std::string& identifier);
    /// Ends the newest task kept under `identifier` (task 0 when none is
    /// open). Taking the number and dropping it happen together, so two
    /// concurrent ends never end one task twice.
    void end(const std::string& identifier);

    /// The newest open task under `identifier`, the invalid value when all
    /// ended, nothing when none was ever begun.
    std::optional<BackgroundTasks::TaskId> entry(const std::string& identifier) const;

private:
    std::shared_ptr<BackgroundTasks> platform_;
    mutable std::mutex mutex_;
    std::map<std::string, std::vector<BackgroundTasks::TaskId>> tasks_;
};

}  // namespace quorvela
