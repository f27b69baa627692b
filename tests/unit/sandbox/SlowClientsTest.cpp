// Slow and idle clients must not keep a well-behaved one waiting: every
// connection gets a deadline for its handshake and request header, and slow
// ones cannot take all the server's threads. Loopback only, bounded in time.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <thread>
#include <vector>

#include "SandboxFixture.h"
#include "ServiceHosts.h"

namespace quorvela::sandbox::test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

int connectTcp(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) return fd;
    if (fd >= 0) ::close(fd);
    return -1;
}

// Whether the server closed the connection, waiting at most `wait`.
bool closedByServer(int fd, std::chrono::milliseconds wait) {
    timeval timeout{0, static_cast<suseconds_t>(std::chrono::microseconds(wait).count())};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    char byte;
    const ssize_t n = ::recv(fd, &byte, 1, 0);
    return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}

class SlowClientsTest : public SandboxFixture {
protected:
    void TearDown() override {
        stop = true;
        for (auto& thread : clients) thread.join();
        if (tls) SSL_CTX_free(tls);
    }

    // Connects and sends nothing, again and again.
    void idleClient() {
        while (!stop) {
            const int fd = connectTcp(sandbox.port());
            if (fd < 0) {
                std::this_thread::sleep_for(10ms);
                continue;
            }
            while (!stop && !closedByServer(fd, 200ms)) {
            }
            ::close(fd);
        }
    }

    // Completes the handshake, then sends one header line every half second,
    // for ever unless the server cuts the connection off.
    void slowHeaderClient() {
        while (!stop) {
            const int fd = connectTcp(sandbox.port());
            if (fd < 0) {
                std::this_thread::sleep_for(10ms);
                continue;
            }
            SSL* ssl = SSL_new(tls);
            SSL_set_fd(ssl, fd);
            SSL_set_tlsext_host_name(ssl, QUORVELA_SERVICE_HOST);
            SSL_set1_host(ssl, QUORVELA_SERVICE_HOST);
            if (SSL_connect(ssl) == 1) {
                const std::string start = std::string("GET /events/?deviceid=slow HTTP/1.1\r\nHost: ") +
                                          QUORVELA_SERVICE_HOST + "\r\n";
                bool open = SSL_write(ssl, start.data(), static_cast<int>(start.size())) > 0;
                while (open && !stop) {
                    std::this_thread::sleep_for(500ms);
                    open = SSL_write(ssl, "X-Slow: 1\r\n", 11) > 0 && !closedByServer(fd, 1ms);
                }
                if (!open) ++cutOff;
            }
            SSL_free(ssl);
            ::close(fd);
        }
    }

    void startStorm(int idle, int slow) {
        ::signal(SIGPIPE, SIG_IGN);  // writes to a connection the server cut off
        tls = SSL_CTX_new(TLS_client_method());
        ASSERT_EQ(SSL_CTX_load_verify_locations(tls, sandbox.caFile().c_str(), nullptr), 1);
        SSL_CTX_set_verify(tls, SSL_VERIFY_PEER, nullptr);
        for (int i = 0; i < idle; ++i) clients.emplace_back([this] { idleClient(); });
        for (int i = 0; i < slow; ++i) clients.emplace_back([this] { slowHeaderClient(); });
    }

    SSL_CTX* tls = nullptr;
    std::atomic<bool> stop{false};
    std::atomic<int> cutOff{0};
    std::vector<std::thread> clients;
};

TEST_F(SlowClientsTest, AWellBehavedClientIsServedWhileAHundredSlowOnesHoldConnections) {
    startStorm(50, 50);
    std::this_thread::sleep_for(1s);  // let them take their connections
    // Longer than two request deadlines: every slow client is cut off at
    // least once and reconnects.
    const auto end = Clock::now() + 8s;
    while (Clock::now() < end) {
        // A fresh client each time: a new connection and handshake, as the
        // stalled clients needed.
        makeClient();
        // Far above the goal of one second, far below the stall this guards
        // against (without a deadline the request never gets a thread).
        HttpResult result = client->getBlocking(serviceUrl("/events/?deviceid=well"), 5s);
        ASSERT_TRUE(result.ok) << result.error;
        EXPECT_EQ(result.status, 200);
        std::this_thread::sleep_for(250ms);
    }
    EXPECT_GT(cutOff.load(), 0) << "a client that never finishes its header is cut off";
}

}  // namespace
}  // namespace quorvela::sandbox::test
