#pragma once
// The demonstration's stand-in for a platform push service: the sandbox
// "sends" a push to the device's token through its push outbox, and the
// device collects what arrived for it, as a phone would receive it.

#include <string>
#include <vector>

namespace quorvela::sandbox {
class Sandbox;
}

namespace quorvela::host {

class DemoPushService {
public:
    struct Delivery {
        std::vector<std::string> payloads;  ///< JSON texts, as the device received them
        std::string problem;                ///< why nothing arrived, when nothing did
    };

    DemoPushService(sandbox::Sandbox& sandbox, std::string pushToken)
        : sandbox_(sandbox), pushToken_(std::move(pushToken)) {}

    /// Sends `payloadJson` (a JSON object) to the device's token and collects
    /// what is waiting for the device.
    Delivery send(const std::string& payloadJson);

private:
    sandbox::Sandbox& sandbox_;
    std::string pushToken_;
};

}  // namespace quorvela::host
