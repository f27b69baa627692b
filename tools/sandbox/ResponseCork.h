#pragma once
// Makes a response leave in one TCP segment. The HTTP server writes the
// header and the body with separate writes (two TLS records); held by
// TCP_CORK, they go out together once the response is complete instead of
// as two packets, and with TCP_NODELAY on the socket the release is sent at
// once rather than after the peer's delayed ACK.

namespace quorvela::sandbox {

class ResponseCork {
public:
    /// Before the response's first write.
    static void hold(int fd);
    /// After its last: sends what is held. Without it the kernel still sends
    /// held data after 200 ms, or when the socket closes.
    static void release(int fd);
};

}  // namespace quorvela::sandbox
