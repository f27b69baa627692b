#pragma once
// Background tasks on a desktop: nothing suspends the process, so a task is
// only an entry in a table. Numbers start at 1 and are never reused.

#include <map>
#include <mutex>

#include "quorvela/platform/BackgroundTasks.h"

namespace quorvela {

class ProcessBackgroundTasks : public BackgroundTasks {
public:
    TaskId begin(std::function<void()> expiration) override;
    /// Ending an unknown or already ended task does nothing.
    void end(TaskId task) override;

    /// Number of tasks begun and not ended.
    std::size_t openCount() const;
    /// Runs the expiration handler of every open task, as a platform does when
    /// the time runs out (the tasks stay open until their owners end them).
    /// Handlers run on the caller's thread, outside the table's lock.
    void expireAll();

private:
    mutable std::mutex mutex_;
    TaskId next_ = 1;
    std::map<TaskId, std::function<void()>> open_;
};

}  // namespace quorvela
