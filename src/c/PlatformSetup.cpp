#include "c/PlatformSetup.h"

#include "c/ArgumentCheck.h"
#include "quorvela/platform/ManualLocationSource.h"
#include "quorvela/platform/ManualNetworkMonitor.h"
#include "quorvela/platform/ManualWifiInfo.h"
#include "quorvela/platform/SoftwareLocationManager.h"

namespace quorvela::c {

namespace {

LogLevel levelOf(long level) {
    switch (level) {
    case QUORVELA_LOG_DEBUG: return LogLevel::Debug;
    case QUORVELA_LOG_INFO: return LogLevel::Info;
    case QUORVELA_LOG_WARNING: return LogLevel::Warning;
    case QUORVELA_LOG_ERROR: return LogLevel::Error;
    }
    throw InvalidArgument("minimum_log_level is out of range");
}

quorvela_log_level_t levelOf(LogLevel level) {
    switch (level) {
    case LogLevel::Debug: return QUORVELA_LOG_DEBUG;
    case LogLevel::Info: return QUORVELA_LOG_INFO;
    case LogLevel::Warning: return QUORVELA_LOG_WARNING;
    case LogLevel::Error: return QUORVELA_LOG_ERROR;
    }
    return QUORVELA_LOG_ERROR;
}

void checkSource(long source, const char* name) {
    if (source != QUORVELA_SOURCE_MANUAL && source != QUORVELA_SOURCE_PLATFORM)
        throw InvalidArgument(std::string(name) + " is out of range");
}

}  // namespace

PlatformSetup::Result PlatformSetup::make(const quorvela_options_t& options,
                                          const std::shared_ptr<CallbackBridge>& bridge) {
    checkSource(ArgumentCheck::enumValue(options.location_source), "location_source");
    checkSource(ArgumentCheck::enumValue(options.wifi_source), "wifi_source");
    PlatformOptions platformOptions;
    platformOptions.bundleDir = ArgumentCheck::optional(options.bundle_dir, "bundle_dir");
    platformOptions.dataDir = ArgumentCheck::optional(options.data_dir, "data_dir");
    platformOptions.http.connectTo = ArgumentCheck::optional(options.connect_to, "connect_to");
    platformOptions.http.caFile = ArgumentCheck::optional(options.ca_file, "ca_file");
    platformOptions.minimumLogLevel = levelOf(ArgumentCheck::enumValue(options.minimum_log_level));
    platformOptions.logSink = [bridge](LogLevel level, const std::string& line) {
        bridge->logLine(levelOf(level), line);
    };

    Result result;
    result.platform = Platform::makeDefault(platformOptions);
    if (options.location_source == QUORVELA_SOURCE_MANUAL) {
        // The host is this device's user: location services are on, and a
        // request for always-authorization is granted.
        result.inputs.regions = result.platform->softwareLocationManager();
        result.inputs.positions = result.platform->manualLocation();
        if (result.inputs.regions) result.inputs.regions->setLocationServicesEnabled(true);
    }
    if (options.wifi_source == QUORVELA_SOURCE_MANUAL) {
        result.inputs.wifi = std::make_shared<ManualWifiInfo>();
        result.platform->wifiInfo = result.inputs.wifi;
        // Network changes come from quorvela_notify_network_change alone.
        result.platform->networkMonitor = std::make_shared<ManualNetworkMonitor>();
    }
    return result;
}

}  // namespace quorvela::c
