#pragma once
// The checks that every facade operation talking to the service makes first:
// the library is configured, and (for some) a user is registered. A failed
// check writes the operation's debug line; the caller then does nothing else.

#include <string>
#include <string_view>

#include "quorvela/platform/Platform.h"

namespace quorvela {

class ConfigurationGuard {
public:
    explicit ConfigurationGuard(const Platform& platform) : platform_(platform) {}

    /// True when "configureQuorvela" is present; otherwise writes
    /// "<operation>: check in the configuration file ..." and returns false.
    bool requireConfigured(std::string_view operation) const;
    /// True when "clientUserID" holds a non-empty value; otherwise writes
    /// "<operation>: User can't be null or empty" and returns false.
    bool requireUser(std::string_view operation) const;

    static std::string notConfiguredLine(std::string_view operation);
    static std::string noUserLine(std::string_view operation);

private:
    const Platform& platform_;
};

}  // namespace quorvela
