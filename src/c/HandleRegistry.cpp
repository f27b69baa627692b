#include "c/HandleRegistry.h"

#include "c/CallError.h"

namespace quorvela::c {

namespace {

std::uintptr_t numberOf(const quorvela_handle_t* handle) { return reinterpret_cast<std::uintptr_t>(handle); }

const char* kNotOpen = "the handle is null, unknown or closed";

}  // namespace

HandleRegistry::Lease::~Lease() {
    if (registry_) registry_->leave();
}

HandleRegistry& HandleRegistry::instance() {
    static auto* registry = new HandleRegistry();
    return *registry;
}

void HandleRegistry::reserve() {
    std::lock_guard lock(mutex_);
    if (state_ != State::Free)
        throw CallError(QUORVELA_ERR_BUSY, "another handle is open; close it before a new quorvela_init");
    state_ = State::Opening;
}

void HandleRegistry::abandon() {
    std::lock_guard lock(mutex_);
    if (state_ == State::Opening) state_ = State::Free;
}

quorvela_handle_t* HandleRegistry::publish(std::shared_ptr<CSession> session) {
    std::lock_guard lock(mutex_);
    session_ = std::move(session);
    openNumber_ = ++lastNumber_;
    state_ = State::Open;
    return reinterpret_cast<quorvela_handle_t*>(openNumber_);
}

HandleRegistry::Lease HandleRegistry::acquire(const quorvela_handle_t* handle) {
    std::lock_guard lock(mutex_);
    if (!handle || state_ != State::Open || numberOf(handle) != openNumber_)
        throw CallError(QUORVELA_ERR_CLOSED, kNotOpen);
    ++calls_;
    return Lease(*this, session_);
}

void HandleRegistry::leave() {
    std::lock_guard lock(mutex_);
    if (--calls_ == 0) callsEnded_.notify_all();
}

std::shared_ptr<CSession> HandleRegistry::withdraw(const quorvela_handle_t* handle) {
    std::unique_lock lock(mutex_);
    if (!handle || state_ != State::Open || numberOf(handle) != openNumber_)
        throw CallError(QUORVELA_ERR_CLOSED, kNotOpen);
    state_ = State::Closing;
    callsEnded_.wait(lock, [this] { return calls_ == 0; });
    return std::move(session_);
}

void HandleRegistry::released() {
    std::lock_guard lock(mutex_);
    if (state_ == State::Closing) state_ = State::Free;
}

}  // namespace quorvela::c
