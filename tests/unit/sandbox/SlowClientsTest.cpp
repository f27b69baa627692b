// Slow and idle clients must not keep a well-behaved one waiting: a
// connection that sends nothing, or that trickles its request header one line
// at a time (each line resets the server's read timeout), is closed once the
// request deadline has passed, and others are served meanwhile.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <openssl/ssl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>
#include <vector>

#include "SandboxFixture.h"
#include "ServiceHosts.h"
#include "sandbox/SandboxServer.h"

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
    timeval timeout{static_cast<time_t>(wait.count() / 1000), static_cast<suseconds_t>(wait.count() % 1000 * 1000)};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    char byte;
    const ssize_t n = ::recv(fd, &byte, 1, 0);
    return n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK);
}

using SlowClientsTest = SandboxFixture;

TEST_F(SlowClientsTest, IdleAndUnfinishedRequestsAreClosedAfterTheDeadlineWhileOthersAreServed) {
    ::signal(SIGPIPE, SIG_IGN);  // writes to a connection the server cut off
    std::vector<int> idle;
    for (int i = 0; i < 20; ++i) idle.push_back(connectTcp(sandbox.port()));

    SSL_CTX* tls = SSL_CTX_new(TLS_client_method());
    ASSERT_EQ(SSL_CTX_load_verify_locations(tls, sandbox.caFile().c_str(), nullptr), 1);
    SSL_CTX_set_verify(tls, SSL_VERIFY_PEER, nullptr);
    const int fd = connectTcp(sandbox.port());
    SSL* ssl = SSL_new(tls);
    SSL_set_fd(ssl, fd);
    SSL_set_tlsext_host_name(ssl, QUORVELA_SERVICE_HOST);
    SSL_set1_host(ssl, QUORVELA_SERVICE_HOST);
    ASSERT_EQ(SSL_connect(ssl), 1);
    const auto opened = Clock::now();
    const std::string start = std::string("GET /events/?deviceid=slow HTTP/1.1\r\nHost: ") + QUORVELA_SERVICE_HOST +
                              "\r\n";
    bool open = SSL_write(ssl, start.data(), static_cast<int>(start.size())) > 0;

    HttpResult result = get(serviceUrl("/events/?deviceid=well"));
    ASSERT_TRUE(result.ok) << result.error;
    EXPECT_EQ(result.status, 200);

    const auto limit = opened + SandboxServer::kRequestDeadline + 3s;
    while (open && Clock::now() < limit) {
        std::this_thread::sleep_for(400ms);
        open = SSL_write(ssl, "X-Slow: 1\r\n", 11) > 0 && !closedByServer(fd, 1ms);
    }
    EXPECT_FALSE(open) << "a header that never ends is cut off";
    EXPECT_GE(Clock::now() - opened, SandboxServer::kRequestDeadline - 500ms) << "not before the deadline";
    for (const int connection : idle) {
        EXPECT_TRUE(connection >= 0 && closedByServer(connection, 3s)) << "an idle connection is closed";
        if (connection >= 0) ::close(connection);
    }
    SSL_free(ssl);
    ::close(fd);
    SSL_CTX_free(tls);
}

}  // namespace
}  // namespace quorvela::sandbox::test
