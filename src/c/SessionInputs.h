#pragma once
// The ports through which a C host hands in positions, region reports and
// the Wi-Fi network; null where the chosen source takes no such input.

#include <memory>

namespace quorvela {
class ManualLocationSource;
class ManualWifiInfo;
class SoftwareLocationManager;
}  // namespace quorvela

namespace quorvela::c {

struct SessionInputs {
    std::shared_ptr<ManualLocationSource> positions;
    std::shared_ptr<SoftwareLocationManager> regions;
    std::shared_ptr<ManualWifiInfo> wifi;
};

}  // namespace quorvela::c
