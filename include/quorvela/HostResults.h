#pragma once
// The outcomes the facade reports to the host: what starting found in the
// configuration file, and how a registration or unregistration ended.
#include <functional>
#include <string>
#include <vector>

#include "quorvela/Export.h"

namespace quorvela {

/// What `Quorvela::start` found in the bundle's "Quorvela-Info.plist".
struct QUORVELA_EXPORT StartReport {
    enum class Status {
        Configured,   ///< all three credentials present: the library started
        FileMissing,  ///< no readable "Quorvela-Info.plist" in the bundle
        KeysMissing,  ///< the file lacks a credential (see `missingKeys`)
    };
    Status status = Status::FileMissing;
    /// The credential keys that are missing or empty, of "appName",
    /// "publicKey" and "privateKey" in that order.
    std::vector<std::string> missingKeys;

    bool configured() const { return status == Status::Configured; }
    /// One line for a log, such as "missing keys: privateKey".
    std::string describe() const;
};

/// How a registration or an unregistration ended.
enum class RegistrationResult {
    Succeeded,  ///< the service accepted it (a registration may still await validation)
    Unchanged,  ///< this user is already registered and validated: nothing was sent
    Refused,    ///< refused before sending (not configured, no user id) or by the service's reply
    Failed,     ///< no answer: a transport failure or a malformed reply
};

/// Called once, on the thread that handled the reply (on the caller's thread
/// when nothing was sent). Empty: none.
using RegistrationCompletion = std::function<void(RegistrationResult)>;

}  // namespace quorvela
