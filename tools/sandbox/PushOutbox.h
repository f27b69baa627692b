#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "sandbox/RegistrationStore.h"

namespace quorvela::sandbox {

class SandboxState;

/// A push "sent" to a device, waiting for the device to collect it.
struct OutboxPush {
    std::int64_t id = 0;
    std::int64_t time = 0;  ///< milliseconds since 1970 when it was sent
    std::string pushToken;  ///< lower-case hexadecimal, as devices register it
    std::string deviceId;   ///< the device that registered the token
    std::string publicId;   ///< the application it registered the token for
    std::string payload;    ///< the notification's JSON object text
    bool delivered = false;
};

/// The sandbox's stand-in for a platform push service (table "push_outbox"):
/// pushes addressed to a device by the token it registered (iOSReg), kept
/// until the device collects them. Collecting marks them delivered in the
/// same statement, so two collectors never get the same push.
class PushOutbox {
public:
    explicit PushOutbox(SandboxState& state);

    /// Queues `payloadJson` (a JSON object) for the device that registered
    /// `pushToken` (either letter case). Throws std::invalid_argument for a
    /// token no device registered or a payload that is not a JSON object.
    OutboxPush send(const std::string& pushToken, const std::string& payloadJson);
    /// Queues a message of workspace `clientId` (MessageQueue) for `user`
    /// (absent: the user the device registered for the token's application)
    /// and sends a push announcing it: {"msgId": <its id>, "type": "TXT_MSG",
    /// "clientId": clientId, "subject": <its subject, if any>}, overlaid with
    /// the keys of `extraPayloadJson` (a JSON object, or empty). Throws
    /// std::invalid_argument for an unknown token or workspace, and queues
    /// nothing then.
    OutboxPush announce(const std::string& pushToken, const std::string& clientId,
                        const std::optional<std::string>& user,
                        const std::vector<std::pair<std::string, std::string>>& fields,
                        const std::string& extraPayloadJson = "");
    /// The undelivered pushes of the token, oldest first; they are delivered
    /// afterwards.
    std::vector<OutboxPush> takeUndelivered(const std::string& pushToken);
    /// The same without marking anything.
    std::vector<OutboxPush> undelivered(const std::string& pushToken);
    /// Every push, oldest first.
    std::vector<OutboxPush> all();
    void clear();

    /// The device that registered `pushToken` (either letter case).
    std::optional<DeviceToken> device(const std::string& pushToken);

    /// Lower-case form of a token.
    static std::string normalizedToken(const std::string& pushToken);

private:
    SandboxState& state_;
};

}  // namespace quorvela::sandbox
