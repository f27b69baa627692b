#pragma once
#include <optional>
#include <string>

namespace quorvela {

/// The outcome of one LocationDataLoader request: exactly one of the two is
/// called, once, on the thread that delivers the request's outcome (a job on
/// the global queue, never the main thread). Both are required.
class LocationDelegate {
public:
    virtual ~LocationDelegate() = default;
    /// The service accepted the report; `successful` is always true.
    virtual void LocationCallSuccess(bool successful, const std::optional<std::string>& message) = 0;
    /// The service refused the report (its message), or the reply could not
    /// be read or the transfer failed (an error text).
    virtual void LocationCallReturnedError(const std::optional<std::string>& message) = 0;
};

}  // namespace quorvela
