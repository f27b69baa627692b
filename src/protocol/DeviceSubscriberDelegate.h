#pragma once
#include <optional>
#include <string>

namespace quorvela {

/// The outcome of a DeviceSubscriber call: exactly one of the two, once, on
/// the thread that handles the reply (a global-queue job, never the main
/// thread).
class DeviceSubscriberDelegate {
public:
    virtual ~DeviceSubscriberDelegate() = default;

    /// The reply was read to its end (also when it held no "transactionResult").
    virtual void deviceSubscriberSucceeded(bool successful, const std::optional<std::string>& message) = 0;
    /// The transfer failed, the request was refused, or the reply was not well-formed.
    virtual void deviceSubscriberError(const std::string& error) = 0;
};

}  // namespace quorvela
