#pragma once
// Makes the platform a C handle runs on from quorvela_options_t: the default
// ports with the folders, HTTP overrides and log sink given, and the chosen
// location and Wi-Fi sources.

#include <memory>

#include "c/CallbackBridge.h"
#include "c/SessionInputs.h"
#include "quorvela/platform/Platform.h"
#include "quorvela/quorvela_c.h"

namespace quorvela::c {

class PlatformSetup {
public:
    struct Result {
        std::shared_ptr<Platform> platform;
        SessionInputs inputs;
    };

    /// Throws InvalidArgument for a text that is not UTF-8 or a value out of
    /// range.
    static Result make(const quorvela_options_t& options, const std::shared_ptr<CallbackBridge>& bridge);
};

}  // namespace quorvela::c
