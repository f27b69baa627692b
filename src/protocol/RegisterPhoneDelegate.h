#pragma once
#include <optional>
#include <string>

namespace quorvela {

/// The outcome of a RegisterPhoneDataloader call. Every callback runs on the
/// thread that handles the reply (a global-queue job, never the main thread);
/// one loader's callbacks never overlap, those of different loaders may.
/// A delegate must implement all six.
class RegisterPhoneDelegate {
public:
    virtual ~RegisterPhoneDelegate() = default;

    /// A registerUser reply's "transactionResult" ended. `requireValidation`
    /// is the flag the request was started with, never read from the reply.
    virtual void RegistrationStatus(bool successful, bool requireValidation,
                                    const std::optional<std::string>& message) = 0;
    /// A removeAppUser reply's "transactionResult" ended.
    virtual void UnRegisterUserSucceeded(bool successful) = 0;
    /// An activatePhone reply's "transactionResult" ended.
    virtual void ActivatePhoneSucceeded(bool successful, const std::optional<std::string>& message) = 0;
    /// A registerUser reply was not well-formed.
    virtual void RegistrationThrowsError(const std::string& error) = 0;
    /// A removeAppUser reply was not well-formed.
    virtual void UnRegisterUserError(const std::string& error) = 0;
    /// An activatePhone reply was not well-formed.
    virtual void ActivatePhoneReturnedError(const std::string& error) = 0;
};

}  // namespace quorvela
