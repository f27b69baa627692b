#pragma once
// The facade's side of the registration and device-subscription loaders. The
// facade does not implement the loaders' interfaces itself: each request gets
// one of these small objects, which holds the facade strongly (as a loader
// holds its delegate) and hands every callback to the registration flow.
// An unregistration's object also remembers which user it unregistered.

#include <memory>
#include <optional>
#include <string>

#include "protocol/DeviceSubscriberDelegate.h"
#include "protocol/RegisterPhoneDelegate.h"
#include "quorvela/Value.h"

namespace quorvela {

class QuorvelaCore;

class RegistrationCallbacks : public RegisterPhoneDelegate, public DeviceSubscriberDelegate {
public:
    /// `unregisteredUser`: the stored user when an unregistration is sent.
    explicit RegistrationCallbacks(std::shared_ptr<QuorvelaCore> facade,
                                   std::optional<Value> unregisteredUser = std::nullopt)
        : facade_(std::move(facade)), unregisteredUser_(std::move(unregisteredUser)) {}

    static std::shared_ptr<RegistrationCallbacks> create(std::shared_ptr<QuorvelaCore> facade,
                                                         std::optional<Value> unregisteredUser = std::nullopt) {
        return std::make_shared<RegistrationCallbacks>(std::move(facade), std::move(unregisteredUser));
    }

    void RegistrationStatus(bool successful, bool requireValidation,
                            const std::optional<std::string>& message) override;
    void UnRegisterUserSucceeded(bool successful) override;
    void ActivatePhoneSucceeded(bool successful, const std::optional<std::string>& message) override;
    void RegistrationThrowsError(const std::string& error) override;
    void UnRegisterUserError(const std::string& error) override;
    void ActivatePhoneReturnedError(const std::string& error) override;
    void deviceSubscriberSucceeded(bool successful, const std::optional<std::string>& message) override;
    void deviceSubscriberError(const std::string& error) override;

private:
    const std::shared_ptr<QuorvelaCore> facade_;
    const std::optional<Value> unregisteredUser_;
};

}  // namespace quorvela
