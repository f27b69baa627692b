#include "ResponseCork.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace quorvela::sandbox {

namespace {

// A failure only costs the coalescing, never the response: ignored.
void setCork(int fd, int on) {
    if (fd >= 0) ::setsockopt(fd, IPPROTO_TCP, TCP_CORK, &on, sizeof on);
}

}  // namespace

void ResponseCork::hold(int fd) { setCork(fd, 1); }

void ResponseCork::release(int fd) { setCork(fd, 0); }

}  // namespace quorvela::sandbox
