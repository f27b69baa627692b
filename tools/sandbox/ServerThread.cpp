#include "ServerThread.h"

#include <httplib.h>

#include <chrono>
#include <stdexcept>

namespace quorvela::sandbox {

ServerThread::~ServerThread() { stop(); }

int ServerThread::start(httplib::Server& server, const std::string& host, int port,
                        const std::function<void(int)>& bound) {
    if (thread_.joinable()) throw std::logic_error("The server is already started");
    const int boundPort = port == 0 ? server.bind_to_any_port(host) : (server.bind_to_port(host, port) ? port : -1);
    if (boundPort <= 0) throw std::runtime_error("Cannot listen on " + host + ":" + std::to_string(port));
    if (bound) bound(boundPort);
    server_ = &server;
    thread_ = std::thread([&server] { server.listen_after_bind(); });
    // httplib's stop() does nothing until the loop runs; wait for it.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!server.is_running()) {
        if (std::chrono::steady_clock::now() > deadline) {
            throw std::runtime_error("The server on " + host + " did not start");
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return boundPort;
}

void ServerThread::stop() {
    if (server_ != nullptr) server_->stop();
    if (thread_.joinable()) thread_.join();
}

}  // namespace quorvela::sandbox
