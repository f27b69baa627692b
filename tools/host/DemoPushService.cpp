#include "DemoPushService.h"

#include <stdexcept>

#include "sandbox/PushOutbox.h"
#include "sandbox/Sandbox.h"

namespace quorvela::host {

DemoPushService::Delivery DemoPushService::send(const std::string& payloadJson) {
    Delivery delivery;
    try {
        sandbox::PushOutbox outbox(sandbox_.state());
        outbox.send(pushToken_, payloadJson);
        for (const auto& push : outbox.takeUndelivered(pushToken_)) delivery.payloads.push_back(push.payload);
    } catch (const std::exception& error) {
        // An unknown token: the library never registered it.
        delivery.problem = error.what();
    }
    if (delivery.payloads.empty() && delivery.problem.empty()) delivery.problem = "nothing arrived for the device";
    return delivery;
}

}  // namespace quorvela::host
