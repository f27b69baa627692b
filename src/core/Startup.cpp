#include "core/Startup.h"

#include "core/Settings.h"
#include "model/DeviceUID.h"
#include "protocol/EventLogger.h"

namespace quorvela {

void Startup::prepareIdentity() const {
    auto& store = *platform_.keyValueStore;
    Value phone = store.get(Settings::kClientPhoneNumber);
    if (!phone.isNull() && !store.contains(Settings::kClientUserID)) {
        store.set(Settings::kClientUserID, phone);
    }

    Value device = store.get(Settings::kDeviceUniqueID);
    const std::string* deviceText = device.asText();
    if (device.isNull() || (deviceText && deviceText->empty())) {
        std::string uid = DeviceUID::uid(platform_);
        EventLogger::debugMessage(platform_, "deviceUniqueID: " + uid);
        store.set(Settings::kDeviceUniqueID, Value(uid));
    }

    store.synchronize();
}

bool Startup::isReady() const {
    Settings settings(*platform_.keyValueStore);
    return settings.isPresent(Settings::kClientUserID) && settings.isPresent(Settings::kValidated);
}

}  // namespace quorvela
