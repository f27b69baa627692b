#include "platform/ThreadDispatcher.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace quorvela {

struct ThreadDispatcher::State {
    std::mutex mutex;
    std::condition_variable mainWork;
    std::condition_variable globalWork;
    std::condition_variable changed;  // idle reached or a thread exited
    std::deque<Job> mainJobs;
    std::deque<Job> globalJobs;
    std::size_t running = 0;
    std::size_t activities = 0;
    std::size_t exited = 0;
    bool stopping = false;

    bool idle() const { return mainJobs.empty() && globalJobs.empty() && running == 0 && activities == 0; }
};

ThreadDispatcher::ThreadDispatcher(std::size_t globalThreads) : state_(std::make_shared<State>()) {
    if (globalThreads == 0) globalThreads = std::max<std::size_t>(2, std::thread::hardware_concurrency());
    main_ = std::thread(&ThreadDispatcher::serve, state_, Queue::Main);
    mainId_ = main_.get_id();
    pool_.reserve(globalThreads);
    for (std::size_t i = 0; i < globalThreads; ++i) pool_.emplace_back(&ThreadDispatcher::serve, state_, Queue::Global);
}

ThreadDispatcher::~ThreadDispatcher() {
    // A job that drops the last reference runs this destructor on one of our
    // own threads: that thread cannot exit (nor the queues become idle) while
    // it is here.
    auto self = std::this_thread::get_id();
    bool onOwnThread = self == mainId_ ||
                       std::any_of(pool_.begin(), pool_.end(), [&](auto& t) { return t.get_id() == self; });
    if (!onOwnThread) waitIdle(kDrainTimeout);
    std::deque<Job> dropped;
    std::size_t threads = pool_.size() + 1;
    bool allExited;
    {
        std::unique_lock lock(state_->mutex);
        state_->stopping = true;
        dropped.swap(state_->mainJobs);
        for (auto& job : state_->globalJobs) dropped.push_back(std::move(job));
        state_->globalJobs.clear();
        state_->mainWork.notify_all();
        state_->globalWork.notify_all();
        std::size_t needed = onOwnThread ? threads - 1 : threads;
        allExited = state_->changed.wait_for(lock, kJoinTimeout, [&] { return state_->exited >= needed; });
        allExited = allExited && !onOwnThread;
    }
    dropped.clear();  // outside the lock: a job's captures may do anything when destroyed
    auto finish = [&](std::thread& t) {
        if (!t.joinable()) return;
        if (allExited) t.join();
        else t.detach();  // it keeps the shared state alive until it ends
    };
    finish(main_);
    for (auto& t : pool_) finish(t);
}

void ThreadDispatcher::serve(std::shared_ptr<State> state, Queue queue) {
    auto& jobs = queue == Queue::Main ? state->mainJobs : state->globalJobs;
    auto& work = queue == Queue::Main ? state->mainWork : state->globalWork;
    std::unique_lock lock(state->mutex);
    for (;;) {
        work.wait(lock, [&] { return state->stopping || !jobs.empty(); });
        if (state->stopping) break;
        Job job = std::move(jobs.front());
        jobs.pop_front();
        ++state->running;
        lock.unlock();
        try {
            job();
        } catch (...) {
            // A throwing job must not take the queue down with it.
        }
        job = nullptr;  // release captures before counting the job as done
        lock.lock();
        --state->running;
        if (state->idle()) state->changed.notify_all();
    }
    ++state->exited;
    state->changed.notify_all();
}

void ThreadDispatcher::async(Queue queue, Job job) {
    if (!job) return;
    std::lock_guard lock(state_->mutex);
    if (state_->stopping) return;
    if (queue == Queue::Main) {
        state_->mainJobs.push_back(std::move(job));
        state_->mainWork.notify_one();
    } else {
        state_->globalJobs.push_back(std::move(job));
        state_->globalWork.notify_one();
    }
}

void ThreadDispatcher::beginActivity() {
    std::lock_guard lock(state_->mutex);
    ++state_->activities;
}

void ThreadDispatcher::endActivity() {
    std::lock_guard lock(state_->mutex);
    if (state_->activities > 0) --state_->activities;
    if (state_->idle()) state_->changed.notify_all();
}

bool ThreadDispatcher::waitIdle(std::chrono::milliseconds timeout) {
    std::unique_lock lock(state_->mutex);
    return state_->changed.wait_for(lock, timeout, [&] { return state_->idle(); });
}

bool ThreadDispatcher::isMainThread() const { return std::this_thread::get_id() == mainId_; }

}  // namespace quorvela
