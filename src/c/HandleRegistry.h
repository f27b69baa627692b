#pragma once
// The open C handle. A handle is a number disguised as a pointer and is
// never dereferenced, so a closed or made-up handle is answered with
// QUORVELA_ERR_CLOSED instead of touching freed memory; numbers are never
// reused. The facade's workspace service is process-wide, so one handle is
// open at a time.
//
// Calls hold a lease for their duration. Closing takes the handle away from
// new calls first, then waits until the running ones have returned.

#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <utility>

#include "quorvela/quorvela_c.h"

namespace quorvela::c {

class CSession;

class HandleRegistry {
public:
    /// Keeps the session usable while a call runs.
    class Lease {
    public:
        Lease(HandleRegistry& registry, std::shared_ptr<CSession> session)
            : registry_(&registry), session_(std::move(session)) {}
        ~Lease();
        Lease(Lease&& other) noexcept
            : registry_(std::exchange(other.registry_, nullptr)), session_(std::move(other.session_)) {}
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        Lease& operator=(Lease&&) = delete;
        CSession& operator*() const { return *session_; }
        CSession* operator->() const { return session_.get(); }

    private:
        HandleRegistry* registry_;
        std::shared_ptr<CSession> session_;
    };

    /// The process's registry (never destroyed, so late library threads at
    /// exit still find it).
    static HandleRegistry& instance();

    /// Claims the single slot for a handle being opened; throws CallError
    /// (QUORVELA_ERR_BUSY) while another handle is open, opening or closing.
    void reserve();
    /// Gives up a reservation whose opening failed.
    void abandon();
    /// Makes the reserved slot a handle.
    quorvela_handle_t* publish(std::shared_ptr<CSession> session);

    /// A lease on the open session; throws CallError (QUORVELA_ERR_CLOSED)
    /// when `handle` is not the open one.
    Lease acquire(const quorvela_handle_t* handle);
    /// Takes the session away from new calls and waits for the running ones;
    /// throws CallError (QUORVELA_ERR_CLOSED) as `acquire` does. Call
    /// `released` when the session is closed.
    std::shared_ptr<CSession> withdraw(const quorvela_handle_t* handle);
    /// Frees the slot for the next quorvela_init.
    void released();

private:
    enum class State { Free, Opening, Open, Closing };

    HandleRegistry() = default;
    void leave();

    std::mutex mutex_;
    std::condition_variable callsEnded_;
    State state_ = State::Free;
    std::uintptr_t lastNumber_ = 0;
    std::uintptr_t openNumber_ = 0;
    std::shared_ptr<CSession> session_;
    int calls_ = 0;
};

}  // namespace quorvela::c
