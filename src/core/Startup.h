#pragma once
// The persisted-state steps of start-up: adopt a legacy phone number as the
// user, make sure a device identifier exists, flush.

#include "quorvela/platform/Platform.h"

namespace quorvela {

class Startup {
public:
    explicit Startup(Platform& platform) : platform_(platform) {}

    /// Stores "clientPhoneNumber" under "clientUserID" when only the phone
    /// number is present; makes and stores a device identifier when
    /// "deviceUniqueID" is absent or empty (with its debug line); flushes.
    void prepareIdentity() const;

    /// A registered and validated user exists ("clientUserID" and
    /// "validated" both present).
    bool isReady() const;

private:
    Platform& platform_;
};

}  // namespace quorvela
