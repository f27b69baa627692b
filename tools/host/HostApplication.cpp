#include "HostApplication.h"

#include <fstream>
#include <iostream>

#include "CommandTable.h"
#include "Demo.h"
#include "HostDelegate.h"
#include "Output.h"
#include "core/QuorvelaCore.h"
#include "platform/StderrSystemLog.h"
#include "quorvela/platform/ManualNetworkMonitor.h"
#include "quorvela/platform/ManualWifiInfo.h"

namespace quorvela::host {

int HostApplication::run() {
    if (options_.demo) return Demo().run(options_.linger);
    if (!options_.script) return runScript(std::cin);
    std::ifstream file(*options_.script);
    if (!file) {
        std::fprintf(stderr, "cannot read script %s\n", options_.script->c_str());
        return 2;
    }
    return runScript(file);
}

int HostApplication::runScript(std::istream& input) {
    PlatformOptions platformOptions;
    platformOptions.dataDir = options_.dataDir;
    platformOptions.bundleDir = options_.bundleDir;
    platformOptions.http.connectTo = options_.connectTo;
    platformOptions.http.caFile = options_.caFile;
    auto platform = Platform::makeDefault(platformOptions);
    // Standard error carries the platform log, one whole line at a time.
    platform->systemLog = std::make_shared<StderrSystemLog>();
    // Scripts decide the Wi-Fi network (`wifi`) and when the network changes
    // (`network-change`); the machine's own network stays out of them.
    platform->wifiInfo = std::make_shared<ManualWifiInfo>();
    platform->networkMonitor = std::make_shared<ManualNetworkMonitor>();
    Quorvela::installPlatform(platform);

    auto output = std::make_shared<Output>(stdout);
    auto facade = QuorvelaCore::shared();
    if (options_.delegate != HostOptions::DelegateMode::None) {
        facade->setDelegate(std::make_shared<HostDelegate>(output, options_.delegate));
    }

    CommandTable commands(facade, *output, options_);
    std::string line;
    while (std::getline(input, line)) {
        std::optional<CommandLine> parsed;
        try {
            parsed = CommandLine::parse(line);
        } catch (const CommandError& error) {
            output->line("error " + error.text);
            continue;
        }
        if (parsed && commands.run(*parsed) == CommandTable::Flow::Quit) break;
    }
    platform->dispatcher->waitIdle(CommandTable::kExitWait);
    return 0;
}

}  // namespace quorvela::host
