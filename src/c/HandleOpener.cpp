#include "c/HandleOpener.h"

#include "c/CSession.h"
#include "c/CallError.h"
#include "c/HandleRegistry.h"

namespace quorvela::c {

quorvela_handle_t* HandleOpener::open(const quorvela_callbacks_t* callbacks, const MakePlatform& makePlatform) {
    if (CallbackBridge::insideCallback())
        throw CallError(QUORVELA_ERR_IN_CALLBACK, "quorvela_init may not be called from a callback");
    auto& registry = HandleRegistry::instance();
    registry.reserve();
    try {
        auto bridge = std::make_shared<CallbackBridge>(callbacks);
        auto setup = makePlatform(bridge);
        return registry.publish(CSession::open(std::move(setup.platform), std::move(setup.inputs), std::move(bridge)));
    } catch (...) {
        registry.abandon();
        throw;
    }
}

}  // namespace quorvela::c
