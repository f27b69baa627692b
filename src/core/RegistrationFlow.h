#pragma once
// The core's registration flow: registering and unregistering the host's
// user, the validation bookkeeping after a reply, the push token and the
// device subscription. The core owns one; it is the delegate of every
// registration and device-subscription loader it starts. The persisted keys
// carry everything between calls.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <memory>
#include <mutex>
#include <vector>

#include "protocol/DeviceSubscriberDelegate.h"
#include "protocol/RegisterPhoneDelegate.h"
#include "quorvela/HostResults.h"
#include "quorvela/Value.h"

namespace quorvela {

class QuorvelaCore;

class RegistrationFlow : public RegisterPhoneDelegate, public DeviceSubscriberDelegate {
public:
    explicit RegistrationFlow(QuorvelaCore& facade) : facade_(facade) {}

    // Host operations.
    /// `completion` (optional) hears how the registration ended.
    void registerWithUserID(const std::optional<std::string>& userID, RegistrationCompletion completion = {});
    void unRegisterUser(RegistrationCompletion completion = {});
    void registerDeviceToken(const std::optional<std::vector<std::uint8_t>>& token);
    void deviceSubscriberWithUniqueID();
    void registerDialog();
    /// Sends the validation code the user received (activatePhone).
    void activatePhoneWithCode(const std::optional<std::string>& code);

    // Replies, on the loaders' reply threads.
    void RegistrationStatus(bool successful, bool requireValidation,
                            const std::optional<std::string>& message) override;
    /// "clientUserID" is removed only while it still holds a user that an
    /// unregistration in flight was sent for, so a user registered in the
    /// meantime survives. With none in flight (a reply whose request is
    /// unknown) the key is removed whatever it holds.
    void UnRegisterUserSucceeded(bool successful) override;
    void ActivatePhoneSucceeded(bool successful, const std::optional<std::string>& message) override;
    /// Registration and unregistration errors: logged, nothing else.
    void RegistrationThrowsError(const std::string& error) override;
    void UnRegisterUserError(const std::string& error) override;
    void ActivatePhoneReturnedError(const std::string& error) override;
    void deviceSubscriberSucceeded(bool successful, const std::optional<std::string>& message) override;
    void deviceSubscriberError(const std::string& error) override;

    /// The stored form of a push token: lower-case hexadecimal of its first
    /// 32 bytes (of all of them when it is shorter).
    static std::string tokenText(const std::vector<std::uint8_t>& token);

private:
    void sendUnregistration(const Value& storedUser, RegistrationCompletion completion);
    void markValidated();
    /// This flow as a loader's delegate: shares the core's ownership, so the
    /// core (and the flow) live until the loader has reported.
    std::shared_ptr<RegistrationFlow> asDelegate();

    QuorvelaCore& facade_;
    /// True when no unregistration is in flight (a reply of an unknown
    /// request) or one was sent for `storedUser`.
    bool mayRemoveUser(const Value& storedUser);
    /// Called when the unregistration `id` has ended, however it ended.
    void endUnregistration(std::uint64_t id);

    std::mutex unregisteringMutex_;
    // The unregistrations in flight with the user each was sent for; an
    // entry lives from the send to the end of its request.
    std::vector<std::pair<std::uint64_t, Value>> unregistering_;
    std::uint64_t lastUnregistration_ = 0;
};

}  // namespace quorvela
