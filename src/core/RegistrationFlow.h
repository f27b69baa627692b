#pragma once
// The facade's registration flows: registering and unregistering the host's
// user, the validation bookkeeping after a reply, the push token and the
// device subscription. Stateless: the facade makes one per call and the
// persisted keys carry everything between calls.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "quorvela/Value.h"

namespace quorvela {

class QuorvelaCore;

class RegistrationFlow {
public:
    explicit RegistrationFlow(QuorvelaCore& facade) : facade_(facade) {}

    // Host operations.
    void registerWithUserID(const std::optional<std::string>& userID);
    void unRegisterUser();
    void registerDeviceToken(const std::optional<std::vector<std::uint8_t>>& token);
    void deviceSubscriberWithUniqueID();
    void registerDialog();

    // Replies.
    void registrationStatus(bool successful, bool requireValidation);
    void activatePhoneSucceeded(bool successful);
    /// `unregisteredUser` is what "clientUserID" held when the unregistration
    /// was sent; the key is removed only while it still holds that value, so
    /// a user registered in the meantime survives. Without it (a reply whose
    /// request is unknown) the key is removed whatever it holds.
    void unRegisterUserSucceeded(bool successful, const std::optional<Value>& unregisteredUser);
    /// Registration and unregistration errors: logged, nothing else.
    void logError(const std::string& error);
    void deviceSubscriberSucceeded();
    void deviceSubscriberError();

    /// The stored form of a push token: lower-case hexadecimal of its first
    /// 32 bytes (of all of them when it is shorter).
    static std::string tokenText(const std::vector<std::uint8_t>& token);

private:
    void sendUnregistration(const Value& storedUser);
    void markValidated();

    QuorvelaCore& facade_;
};

}  // namespace quorvela
