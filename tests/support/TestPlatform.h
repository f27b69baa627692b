#pragma once
// A ready Platform for tests: everything in memory or faked, except the real
// ThreadDispatcher and a DirectoryBundle on the test's temporary folder.
//
//   TempDir dir;
//   auto platform = makeTestPlatform(dir);
//   writePlist(dir, "Quorvela-Info.plist", {{"appName", "demo"}});
//   fakeHttp(*platform).answer("https://service...", FakeHttpClient::reply("<xml/>"));
//   ... run the code ...
//   ASSERT_TRUE(platform->dispatcher->waitIdle(std::chrono::seconds(10)));
//
// The accessors below give the concrete fakes back; they throw std::bad_cast
// when the test has replaced that port with something else.
//
// (Header-only so that every test executable gets it without build changes.)

#include <memory>
#include <string>

#include "platform/DirectoryBundle.h"
#include "platform/LinuxDeviceInfo.h"
#include "platform/MemoryKeyValueStore.h"
#include "platform/MemorySecureStore.h"
#include "platform/ProcessBackgroundTasks.h"
#include "platform/ThreadDispatcher.h"
#include "platform/ValueConversions.h"
#include "quorvela/platform/ManualBeaconSource.h"
#include "quorvela/platform/ManualLocationSource.h"
#include "quorvela/platform/Platform.h"
#include "quorvela/platform/SoftwareLocationManager.h"
#include "support/CapturingLog.h"
#include "support/FakeClock.h"
#include "support/FakeHttpClient.h"
#include "support/TestSupport.h"
#include "support/ValuePrinter.h"

namespace quorvela::test {

inline std::shared_ptr<Platform> makeTestPlatform(const TempDir& dir) {
    auto platform = std::make_shared<Platform>();
    auto dispatcher = std::make_shared<ThreadDispatcher>();
    platform->keyValueStore = std::make_shared<MemoryKeyValueStore>();
    platform->secureStore = std::make_shared<MemorySecureStore>();
    platform->bundle = std::make_shared<DirectoryBundle>(dir.path());
    platform->http = std::make_shared<FakeHttpClient>(dispatcher);
    platform->dispatcher = dispatcher;
    platform->backgroundTasks = std::make_shared<ProcessBackgroundTasks>();
    platform->systemLog = std::make_shared<CapturingLog>();
    platform->clock = std::make_shared<FakeClock>();
    platform->deviceInfo = std::make_shared<LinuxDeviceInfo>();
    platform->locationManager = SoftwareLocationManager::create(
        dispatcher, std::make_shared<ManualLocationSource>(platform->clock), std::make_shared<ManualBeaconSource>());
    return platform;
}

inline FakeHttpClient& fakeHttp(const Platform& p) { return dynamic_cast<FakeHttpClient&>(*p.http); }
inline CapturingLog& capturingLog(const Platform& p) { return dynamic_cast<CapturingLog&>(*p.systemLog); }
inline FakeClock& fakeClock(const Platform& p) { return dynamic_cast<FakeClock&>(*p.clock); }
inline MemorySecureStore& memorySecureStore(const Platform& p) {
    return dynamic_cast<MemorySecureStore&>(*p.secureStore);
}
inline SoftwareLocationManager& softwareLocationManager(const Platform& p) {
    return dynamic_cast<SoftwareLocationManager&>(*p.locationManager);
}
/// The software location manager with location services on and "always" granted.
inline SoftwareLocationManager& grantedLocationManager(const Platform& p) {
    auto& manager = softwareLocationManager(p);
    manager.setLocationServicesEnabled(true);
    manager.setAuthorizationStatus(LocationManager::kAuthorizationAlways);
    return manager;
}
inline ProcessBackgroundTasks& processBackgroundTasks(const Platform& p) {
    return dynamic_cast<ProcessBackgroundTasks&>(*p.backgroundTasks);
}

/// Writes `dict` as an XML property list to `name` in the folder (a resource
/// of the test bundle) and returns its path.
inline std::filesystem::path writePlist(const TempDir& dir, const std::string& name, const Value::Dictionary& dict) {
    return dir.write(name, xmlPlistFromValue(Value(dict)).value_or(""));
}

}  // namespace quorvela::test
