#pragma once
// Everything a chapter of the demonstration acts on and looks at.

#include <memory>

#include "DemoCompletions.h"
#include "DemoDelegate.h"
#include "DemoProbe.h"
#include "DemoPushService.h"
#include "DemoSeed.h"
#include "DemoStory.h"
#include "core/QuorvelaCore.h"
#include "quorvela/platform/ManualBeaconSource.h"
#include "quorvela/platform/ManualLocationSource.h"
#include "quorvela/platform/ManualNetworkMonitor.h"
#include "quorvela/platform/ManualWifiInfo.h"
#include "quorvela/platform/SoftwareLocationManager.h"

namespace quorvela::host {

struct DemoContext {
    DemoStory& story;
    DemoSeed& seed;
    DemoProbe& probe;
    DemoPushService& pushes;
    std::shared_ptr<QuorvelaCore> facade;
    std::shared_ptr<DemoDelegate> delegate;
    DemoCompletions& completions;
    // The device: position fixes, beacons in range, the Wi-Fi network and the
    // system's network-change notification.
    std::shared_ptr<SoftwareLocationManager> locationManager;
    std::shared_ptr<ManualLocationSource> gps;
    std::shared_ptr<ManualBeaconSource> beacons;
    std::shared_ptr<ManualWifiInfo> wifi;
    std::shared_ptr<ManualNetworkMonitor> network;
};

}  // namespace quorvela::host
