#pragma once
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "sandbox/Database.h"

namespace quorvela::sandbox {

/// A user registered for one device of one application.
struct AppUser {
    std::string deviceId;
    std::string publicId;
    std::string userId;
    bool validated = false;
};

/// The push token a device registered for one application.
struct DeviceToken {
    std::string deviceId;
    std::string publicId;
    std::string pushToken;
};

/// How the registration endpoints answer; set through the admin API.
struct RegistrationBehaviour {
    /// "accept": registrations succeed; "reject": they answer successful
    /// false; "validate": they answer successful false until activatePhone
    /// brings `validationCode`.
    std::string registerMode = "accept";
    std::string validationCode = "123456";
    /// Operations (registerUser, removeAppUser, activatePhone, iOSReg) that
    /// answer with a body that is not well-formed XML.
    std::set<std::string> malformed;
};

/// The sandbox's registration state in its database: one user per device and
/// application, one push token per device and application, and the
/// behaviour. Tables are created on first use.
class RegistrationStore {
public:
    explicit RegistrationStore(Database& db);

    /// Adds or replaces the device's user.
    void putUser(const AppUser& user);
    /// Removes the device's user; false when it had none.
    bool removeUser(const std::string& deviceId, const std::string& publicId);
    std::optional<AppUser> user(const std::string& deviceId, const std::string& publicId);
    std::vector<AppUser> users();

    void putDevice(const DeviceToken& device);
    std::vector<DeviceToken> devices();

    RegistrationBehaviour behaviour();
    void setBehaviour(const RegistrationBehaviour& behaviour);

private:
    Database& db_;
};

}  // namespace quorvela::sandbox
