#pragma once
#include <string>

#include "sandbox/RestOperation.h"

namespace quorvela::sandbox {

class RestRouter;

/// registerUser, removeAppUser, activatePhone and iOSReg: signed with the
/// private key of the application whose public id is the segment before the
/// time stamp; every answer is a "transactionResult" with "successful" and
/// "message" (or, when the behaviour says so, a body that is not XML).
class RegistrationEndpoints {
public:
    static void addTo(RestRouter& router);

    static RestReply registerUser(const RestCall& call, SandboxState& state);
    static RestReply removeAppUser(const RestCall& call, SandboxState& state);
    static RestReply activatePhone(const RestCall& call, SandboxState& state);
    static RestReply iOSReg(const RestCall& call, SandboxState& state);

    /// The compact reply the clients read.
    static RestReply transactionResult(bool successful, const std::string& message, int status = 200);
};

}  // namespace quorvela::sandbox
