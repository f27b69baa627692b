#pragma once
#include <functional>
#include <string>
#include <thread>

namespace httplib {
class Server;
}

namespace quorvela::sandbox {

/// Runs one httplib server on a thread of its own. start() returns only once
/// the server is accepting, so an early stop() cannot be missed.
class ServerThread {
public:
    ~ServerThread();

    /// Binds `host`:`port` (0: any free port) and returns the bound port;
    /// throws std::runtime_error when it cannot. `bound` runs with the port
    /// before the first request can be accepted.
    int start(httplib::Server& server, const std::string& host, int port, const std::function<void(int)>& bound = {});
    void stop();

private:
    httplib::Server* server_ = nullptr;
    std::thread thread_;
};

}  // namespace quorvela::sandbox
