#include "quorvela/platform/Platform.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include <fmt/format.h>

#include "platform/CurlHttpClient.h"
#include "platform/DirectoryBundle.h"
#include "platform/FileSecureStore.h"
#include "platform/LinuxDeviceInfo.h"
#include "platform/MemoryInboxStore.h"
#include "platform/MemoryKeyValueStore.h"
#include "platform/MemorySecureStore.h"
#include "platform/NetlinkNetworkMonitor.h"
#include "platform/Nl80211WifiInfo.h"
#include "platform/ProcessBackgroundTasks.h"
#include "platform/SqliteInboxStore.h"
#include "platform/SqliteKeyValueStore.h"
#include "platform/StderrSystemLog.h"
#include "platform/SystemClock.h"
#include "platform/ThreadDispatcher.h"
#include "quorvela/platform/ManualBeaconSource.h"
#include "quorvela/platform/ManualLocationSource.h"
#include "quorvela/platform/SoftwareLocationManager.h"

namespace quorvela {

namespace {

std::filesystem::path defaultDataDir() {
    if (const char* xdg = std::getenv("XDG_DATA_HOME"); xdg && *xdg == '/')
        return std::filesystem::path(xdg) / "quorvela";
    if (const char* home = std::getenv("HOME"); home && *home)
        return std::filesystem::path(home) / ".local/share/quorvela";
    std::error_code error;
    return std::filesystem::current_path(error) / ".quorvela";
}

// Creates the folder (private to the user) if needed; the reason when not.
std::optional<std::string> prepareFolder(const std::filesystem::path& folder) {
    std::error_code error;
    bool created = std::filesystem::create_directories(folder, error);
    if (error) return error.message();
    if (created && ::chmod(folder.c_str(), 0700) != 0) return std::generic_category().message(errno);
    if (!std::filesystem::is_directory(folder, error)) return "not a folder";
    if (::access(folder.c_str(), W_OK | X_OK) != 0) return std::generic_category().message(errno);
    return std::nullopt;
}

}  // namespace

std::shared_ptr<Platform> Platform::makeDefault(const PlatformOptions& options) {
    auto platform = std::make_shared<Platform>();
    auto log = std::make_shared<StderrSystemLog>(options.minimumLogLevel, options.logSink);
    auto dispatcher = std::make_shared<ThreadDispatcher>();
    platform->systemLog = log;
    platform->dispatcher = dispatcher;

    std::filesystem::path data = options.dataDir ? std::filesystem::path(*options.dataDir) : defaultDataDir();
    if (auto problem = prepareFolder(data)) {
        log->writeAt(LogLevel::Error,
                     fmt::format("Quorvela: cannot use the data folder {} ({}); settings and secure items are kept "
                                 "in memory for this run",
                                 data.string(), *problem));
        platform->keyValueStore = std::make_shared<MemoryKeyValueStore>();
        platform->inboxStore = std::make_shared<MemoryInboxStore>();
        platform->secureStore = std::make_shared<MemorySecureStore>();
    } else {
        platform->keyValueStore = std::make_shared<SqliteKeyValueStore>(data / "settings.sqlite3", log);
        platform->inboxStore = std::make_shared<SqliteInboxStore>(data / "settings.sqlite3", log);
        platform->secureStore = std::make_shared<FileSecureStore>(data / "secure");
    }

    std::error_code error;
    platform->bundle = std::make_shared<DirectoryBundle>(options.bundleDir ? std::filesystem::path(*options.bundleDir)
                                                                           : std::filesystem::current_path(error));
    platform->http = std::make_shared<CurlHttpClient>(options.http, dispatcher);
    platform->backgroundTasks = std::make_shared<ProcessBackgroundTasks>();
    platform->clock = std::make_shared<SystemClock>();
    platform->deviceInfo = std::make_shared<LinuxDeviceInfo>();
    platform->locationManager = SoftwareLocationManager::create(
        dispatcher, std::make_shared<ManualLocationSource>(platform->clock), std::make_shared<ManualBeaconSource>());
    platform->networkMonitor = std::make_shared<NetlinkNetworkMonitor>(log);
    platform->wifiInfo = std::make_shared<Nl80211WifiInfo>();
    return platform;
}

std::shared_ptr<SoftwareLocationManager> Platform::softwareLocationManager() const {
    return std::dynamic_pointer_cast<SoftwareLocationManager>(locationManager);
}

std::shared_ptr<ManualLocationSource> Platform::manualLocation() const {
    auto manager = softwareLocationManager();
    return manager ? std::dynamic_pointer_cast<ManualLocationSource>(manager->locationSource()) : nullptr;
}

std::shared_ptr<ManualBeaconSource> Platform::manualBeacons() const {
    auto manager = softwareLocationManager();
    return manager ? std::dynamic_pointer_cast<ManualBeaconSource>(manager->beaconSource()) : nullptr;
}

}  // namespace quorvela
