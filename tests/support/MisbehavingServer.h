#pragma once
// A TLS server on loopback that misbehaves on purpose, one way per instance,
// for transport faults that must go through the real HTTP client. It reads one
// request per connection and then behaves as chosen; stop() (or the
// destructor) ends every connection. Header-only, plain sockets and OpenSSL.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <atomic>
#include <condition_variable>
#include <csignal>
#include <cstring>
#include <mutex>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace quorvela::test {

class MisbehavingServer {
public:
    enum class Behaviour {
        RefuseConnections,  ///< the port is bound but nobody listens: every connect is refused
        CompleteReply,      ///< a complete 200 reply with `body` (pair it with an untrusted certificate)
        ResetMidBody,       ///< headers promising more, half of `body`, then a TCP reset
        NeverEnd,           ///< headers promising more, half of `body`, then silence until stop()
        Oversized,          ///< `body`, then XML comments up to `oversizedBytes`, no length, clean close
    };

    MisbehavingServer(Behaviour behaviour, std::string body, const std::string& certFile, const std::string& keyFile,
                      std::size_t oversizedBytes = 0)
        : behaviour_(behaviour), body_(std::move(body)), oversizedBytes_(oversizedBytes) {
        // A client that gives up makes our next write fail; that must not end the test process.
        std::signal(SIGPIPE, SIG_IGN);
        listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (listenFd_ < 0) throw std::runtime_error("socket failed");
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            ::close(listenFd_);
            throw std::runtime_error("bind failed");
        }
        port_ = ntohs(address.sin_port);
        if (behaviour_ == Behaviour::RefuseConnections) return;

        context_ = SSL_CTX_new(TLS_server_method());
        if (context_ == nullptr || SSL_CTX_use_certificate_chain_file(context_, certFile.c_str()) != 1 ||
            SSL_CTX_use_PrivateKey_file(context_, keyFile.c_str(), SSL_FILETYPE_PEM) != 1 ||
            ::listen(listenFd_, 16) != 0) {
            release();
            throw std::runtime_error("cannot serve TLS with " + certFile);
        }
        acceptor_ = std::thread([this] { acceptLoop(); });
    }

    ~MisbehavingServer() { stop(); }
    MisbehavingServer(const MisbehavingServer&) = delete;
    MisbehavingServer& operator=(const MisbehavingServer&) = delete;

    /// "127.0.0.1:PORT" for HttpClientOptions::connectTo.
    std::string connectTo() const { return "127.0.0.1:" + std::to_string(port_); }
    /// Connections accepted so far.
    int connections() const { return connections_.load(); }

    void stop() {
        {
            std::lock_guard lock(mutex_);
            if (stopping_ && !acceptor_.joinable() && workers_.empty()) return;
            stopping_ = true;
            for (int fd : open_) ::shutdown(fd, SHUT_RDWR);
        }
        stopped_.notify_all();
        if (acceptor_.joinable()) acceptor_.join();
        std::vector<std::thread> workers;
        {
            std::lock_guard lock(mutex_);
            workers.swap(workers_);
        }
        for (auto& worker : workers) worker.join();
        release();
    }

private:
    void release() {
        if (listenFd_ >= 0) ::close(listenFd_);
        listenFd_ = -1;
        if (context_ != nullptr) SSL_CTX_free(context_);
        context_ = nullptr;
    }

    void acceptLoop() {
        for (;;) {
            {
                std::lock_guard lock(mutex_);
                if (stopping_) return;
            }
            pollfd ready{listenFd_, POLLIN, 0};
            if (::poll(&ready, 1, 50) <= 0) continue;
            const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) continue;
            std::lock_guard lock(mutex_);
            if (stopping_) {
                ::close(fd);
                return;
            }
            ++connections_;
            open_.insert(fd);
            workers_.emplace_back([this, fd] { serve(fd); });
        }
    }

    void serve(int fd) {
        const timeval limit{10, 0};  // a stuck peer cannot keep this thread
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
        ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
        SSL* ssl = SSL_new(context_);
        SSL_set_fd(ssl, fd);
        bool closed = false;
        if (SSL_accept(ssl) == 1 && readRequest(ssl)) closed = behave(ssl, fd);
        SSL_free(ssl);
        ERR_clear_error();
        if (!closed) closeFd(fd);
    }

    static bool readRequest(SSL* ssl) {
        std::string request;
        char buffer[4096];
        while (request.find("\r\n\r\n") == std::string::npos && request.size() < 65536) {
            const int n = SSL_read(ssl, buffer, sizeof buffer);
            if (n <= 0) return false;
            request.append(buffer, static_cast<std::size_t>(n));
        }
        return true;
    }

    static bool writeAll(SSL* ssl, const std::string& data) {
        std::size_t sent = 0;
        while (sent < data.size()) {
            const int n = SSL_write(ssl, data.data() + sent, static_cast<int>(data.size() - sent));
            if (n <= 0) return false;
            sent += static_cast<std::size_t>(n);
        }
        return true;
    }

    std::string headers(std::optional<std::size_t> contentLength) const {
        std::string text = "HTTP/1.1 200 OK\r\nContent-Type: application/xml\r\nConnection: close\r\n";
        if (contentLength) text += "Content-Length: " + std::to_string(*contentLength) + "\r\n";
        return text + "\r\n";
    }

    /// True when it closed the socket itself.
    bool behave(SSL* ssl, int fd) {
        const std::string half = body_.substr(0, body_.size() / 2);
        switch (behaviour_) {
        case Behaviour::RefuseConnections: return false;
        case Behaviour::CompleteReply:
            if (writeAll(ssl, headers(body_.size()) + body_)) SSL_shutdown(ssl);
            return false;
        case Behaviour::ResetMidBody: {
            writeAll(ssl, headers(body_.size() + 1024) + half);
            const linger abortive{1, 0};  // close sends RST instead of FIN
            ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
            closeFd(fd);
            return true;
        }
        case Behaviour::NeverEnd: {
            writeAll(ssl, headers(body_.size() + 1024) + half);
            std::unique_lock lock(mutex_);
            stopped_.wait(lock, [this] { return stopping_; });
            return false;
        }
        case Behaviour::Oversized: {
            if (!writeAll(ssl, headers(std::nullopt) + body_)) return false;
            const std::string padding = "<!--" + std::string(64 * 1024 - 7, 'p') + "-->";
            for (std::size_t sent = body_.size(); sent < oversizedBytes_; sent += padding.size())
                if (!writeAll(ssl, padding)) return false;  // the client gave up, as it should
            SSL_shutdown(ssl);
            return false;
        }
        }
        return false;
    }

    void closeFd(int fd) {
        {
            std::lock_guard lock(mutex_);
            open_.erase(fd);  // before close: the number may be reused at once
        }
        ::close(fd);
    }

    const Behaviour behaviour_;
    const std::string body_;
    const std::size_t oversizedBytes_;
    int listenFd_ = -1;
    int port_ = 0;
    SSL_CTX* context_ = nullptr;
    std::atomic<int> connections_{0};
    std::mutex mutex_;
    std::condition_variable stopped_;
    bool stopping_ = false;
    std::set<int> open_;
    std::thread acceptor_;
    std::vector<std::thread> workers_;
};

}  // namespace quorvela::test
