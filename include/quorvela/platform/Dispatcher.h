#pragma once
#include <chrono>
#include <functional>

#include "quorvela/Export.h"

namespace quorvela {

/// The main serial queue and the global concurrent queue.
class QUORVELA_EXPORT Dispatcher {
public:
    enum class Queue { Main, Global };
    using Job = std::function<void()>;

    virtual ~Dispatcher() = default;
    /// Queues a job and returns at once.
    virtual void async(Queue queue, Job job) = 0;
    void main(Job job) { async(Queue::Main, std::move(job)); }
    void global(Job job) { async(Queue::Global, std::move(job)); }

    /// Work outside the queues (a transfer in flight) that counts as busy.
    virtual void beginActivity() = 0;
    virtual void endActivity() = 0;

    /// Waits until no job is queued or running and no activity is open;
    /// true when that happened before the time-out.
    virtual bool waitIdle(std::chrono::milliseconds timeout) = 0;
    virtual bool isMainThread() const = 0;
};

}  // namespace quorvela
