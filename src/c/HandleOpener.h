#pragma once
// Opens a C handle: claims the registry's slot, makes the platform (through
// `makePlatform`, so tests can bring their own ports), starts the session
// and publishes it. Throws CallError or InvalidArgument; the slot is given
// back on any failure.

#include <functional>
#include <memory>

#include "c/CallbackBridge.h"
#include "c/PlatformSetup.h"
#include "quorvela/quorvela_c.h"

namespace quorvela::c {

class HandleOpener {
public:
    using MakePlatform = std::function<PlatformSetup::Result(const std::shared_ptr<CallbackBridge>& bridge)>;

    static quorvela_handle_t* open(const quorvela_callbacks_t* callbacks, const MakePlatform& makePlatform);
};

}  // namespace quorvela::c
