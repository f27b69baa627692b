#include "core/RegistrationCallbacks.h"

#include "core/QuorvelaCore.h"
#include "core/RegistrationFlow.h"

namespace quorvela {

void RegistrationCallbacks::RegistrationStatus(bool successful, bool requireValidation,
                                               const std::optional<std::string>& message) {
    facade_->RegistrationStatus(successful, requireValidation, message);
}

void RegistrationCallbacks::UnRegisterUserSucceeded(bool successful) {
    // Not through the facade's operation: this object knows which user the
    // request unregistered.
    facade_->registration().unRegisterUserSucceeded(successful, unregisteredUser_);
}

void RegistrationCallbacks::ActivatePhoneSucceeded(bool successful, const std::optional<std::string>& message) {
    facade_->ActivatePhoneSucceeded(successful, message);
}

void RegistrationCallbacks::RegistrationThrowsError(const std::string& error) {
    facade_->RegistrationThrowsError(error);
}

void RegistrationCallbacks::UnRegisterUserError(const std::string& error) { facade_->UnRegisterUserError(error); }

void RegistrationCallbacks::ActivatePhoneReturnedError(const std::string& error) {
    facade_->ActivatePhoneReturnedError(error);
}

void RegistrationCallbacks::deviceSubscriberSucceeded(bool successful, const std::optional<std::string>& message) {
    facade_->deviceSubscriberSucceeded(successful, message);
}

void RegistrationCallbacks::deviceSubscriberError(const std::string& error) { facade_->deviceSubscriberError(error); }

}  // namespace quorvela
