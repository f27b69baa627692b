#pragma once
#include <map>
#include <optional>
#include <string>

#include "sandbox/RestOperation.h"

namespace quorvela::sandbox {

class SandboxState;

/// Faults the admin can make an operation answer with instead of its reply
/// (table "endpoint_faults"):
///   "malformed": a truncated XML body (status 200);
///   "html": an HTML error page (status 500);
///   "drop": the start of a reply, then the connection closes mid-body.
class EndpointFaults {
public:
    explicit EndpointFaults(SandboxState& state);

    static bool isKnown(const std::string& fault);
    /// Sets the operation's fault; nothing clears it.
    void set(const std::string& operation, const std::optional<std::string>& fault);
    std::optional<std::string> get(const std::string& operation);
    /// Every operation's fault, by operation name.
    std::map<std::string, std::string> all();

    /// The reply that stands for `fault`.
    static RestReply reply(const std::string& fault);
    /// `operation` with the faults applied before its handler.
    static RestOperation withFaults(const std::string& name, RestOperation operation);

private:
    SandboxState& state_;
};

}  // namespace quorvela::sandbox
