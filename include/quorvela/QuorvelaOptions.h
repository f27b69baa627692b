#pragma once
#include <memory>

#include "quorvela/Export.h"
#include "quorvela/QuorvelaProtocol.h"
#include "quorvela/platform/Platform.h"

namespace quorvela {

/// How `Quorvela::create(const Options&)` makes a facade.
struct QUORVELA_EXPORT QuorvelaOptions {
    /// Folders and HTTP overrides of the default ports.
    PlatformOptions platform;
    /// The host's delegate, set before anything can call it (on a second
    /// launch `QuorvelaReady` may arrive while `start` runs).
    std::shared_ptr<QuorvelaProtocol> delegate;
};

}  // namespace quorvela
