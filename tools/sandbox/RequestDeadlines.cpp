#include "RequestDeadlines.h"

#include <sys/socket.h>

#include <stdexcept>

namespace quorvela::sandbox {

namespace {

constexpr std::chrono::milliseconds kTick{100};

}  // namespace

// One index per process for each kind: a context's points at its
// RequestDeadlines, a connection's at the same object while it is watched.
int RequestDeadlines::contextIndex() {
    static const int index = SSL_CTX_get_ex_new_index(0, nullptr, nullptr, nullptr, nullptr);
    return index;
}

int RequestDeadlines::connectionIndex() {
    static const int index = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, &RequestDeadlines::onFree);
    return index;
}

RequestDeadlines::RequestDeadlines(SSL_CTX* context, std::chrono::milliseconds deadline,
                                   std::chrono::milliseconds keepAlive)
    : context_(context), deadline_(deadline), keepAlive_(keepAlive) {
    if (context == nullptr || contextIndex() < 0 || connectionIndex() < 0 ||
        SSL_CTX_set_ex_data(context, contextIndex(), this) != 1)
        throw std::runtime_error("Cannot watch the sandbox's connections");
    SSL_CTX_set_info_callback(context, &RequestDeadlines::onInfo);
    watchdog_ = std::thread([this] { watch(); });
}

RequestDeadlines::~RequestDeadlines() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    watchdog_.join();
    SSL_CTX_set_info_callback(context_, nullptr);
    SSL_CTX_set_ex_data(context_, contextIndex(), nullptr);
}

void RequestDeadlines::onInfo(const SSL* connection, int where, int) {
    if ((where & SSL_CB_HANDSHAKE_START) == 0) return;
    auto* self = static_cast<RequestDeadlines*>(SSL_CTX_get_ex_data(SSL_get_SSL_CTX(connection), contextIndex()));
    // The callback is handed a const object, but it is the server's own.
    if (self) self->started(const_cast<SSL*>(connection));
}

// Runs for every TLS object the process frees, the clients' too: only those
// that carry a pointer were watched.
void RequestDeadlines::onFree(void* parent, void* pointer, CRYPTO_EX_DATA*, int, long, void*) {
    if (pointer) static_cast<RequestDeadlines*>(pointer)->forget(static_cast<const SSL*>(parent));
}

void RequestDeadlines::started(SSL* connection) {
    std::lock_guard lock(mutex_);
    // A renegotiation or key update starts a handshake again: the first counts.
    if (open_.count(connection)) return;
    const int fd = SSL_get_fd(connection);
    if (fd < 0 || SSL_set_ex_data(connection, connectionIndex(), this) != 1) return;
    open_[connection] = Open{fd, Clock::now() + deadline_};
}

void RequestDeadlines::requestRead(const SSL* connection) {
    std::lock_guard lock(mutex_);
    if (auto found = open_.find(connection); found != open_.end())
        found->second.deadline = Clock::now() + keepAlive_ + deadline_;
}

void RequestDeadlines::forget(const SSL* connection) {
    std::lock_guard lock(mutex_);
    open_.erase(connection);
}

void RequestDeadlines::watch() {
    std::unique_lock lock(mutex_);
    while (!wake_.wait_for(lock, kTick, [this] { return stopping_; })) {
        const auto now = Clock::now();
        for (auto& [connection, open] : open_) {
            if (open.deadline > now) continue;
            // Under the lock the object is not yet freed, so the socket is
            // not yet closed and its number not yet reused.
            ::shutdown(open.fd, SHUT_RDWR);
            open.deadline = Clock::time_point::max();
        }
    }
}

}  // namespace quorvela::sandbox
