#include "LocationCommands.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include <nlohmann/json.hpp>

#include "EchoedInput.h"
#include "location/RegionEntry.h"
#include "quorvela/platform/SoftwareLocationManager.h"

namespace quorvela::host {

namespace {

using Arguments = CommandTable::Arguments;
using Flow = CommandTable::Flow;

void expectCount(const Arguments& arguments, std::size_t min, std::size_t max, const char* usage) {
    if (arguments.size() < min || arguments.size() > max) throw CommandError{std::string("usage: ") + usage};
}

double parseNumber(const std::string& text, const std::string& what) {
    double value = 0.0;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (first != last && *first == '+') ++first;
    auto [end, error] = std::from_chars(first, last, value);
    if (text.empty() || error != std::errc() || end != last || !std::isfinite(value))
        throw CommandError{"bad " + what + ": " + EchoedInput::of(text)};
    return value;
}

std::shared_ptr<SoftwareLocationManager> softwareManager(const std::shared_ptr<QuorvelaCore>& facade) {
    auto manager = facade->platform()->softwareLocationManager();
    if (!manager) throw CommandError{"the location cannot be driven on this platform"};
    return manager;
}

CommandTable::Handler regionEvent(std::shared_ptr<QuorvelaCore> facade, bool entered, Region::Kind kind,
                                  const char* usage) {
    return [facade, entered, kind, usage](const Arguments& arguments) {
        expectCount(arguments, 1, 1, usage);
        softwareManager(facade)->reportRegionEvent(arguments[0].text(), entered, kind);
        return Flow::Continue;
    };
}

nlohmann::json identifiers(const std::vector<RegionEntry>& entries) {
    auto ids = nlohmann::json::array();
    for (const auto& entry : entries) ids.push_back(entry.identifier());
    return ids;
}

}  // namespace

LocationCommands::Named LocationCommands::make(std::shared_ptr<QuorvelaCore> facade, const HostOptions& options) {
    if (auto manager = facade->platform()->softwareLocationManager())
        manager->setGrantedAuthorizationStatus(options.authorization);

    Named commands;
    commands.emplace_back("authorize", [facade](const Arguments& arguments) {
        expectCount(arguments, 1, 1, "authorize <n>");
        auto status = parseInteger(arguments[0].text(), INT32_MIN, INT32_MAX, "status");
        softwareManager(facade)->setAuthorizationStatus(static_cast<int>(status));
        return Flow::Continue;
    });
    commands.emplace_back("services", [facade](const Arguments& arguments) {
        const char* usage = "usage: services on|off";
        if (arguments.size() != 1) throw CommandError{usage};
        const std::string value = arguments[0].text();
        if (value != "on" && value != "off") throw CommandError{usage};
        softwareManager(facade)->setLocationServicesEnabled(value == "on");
        return Flow::Continue;
    });
    commands.emplace_back("location", [facade](const Arguments& arguments) {
        expectCount(arguments, 2, 3, "location <lat> <lon> [accuracy]");
        Location fix;
        fix.latitude = parseNumber(arguments[0].text(), "latitude");
        fix.longitude = parseNumber(arguments[1].text(), "longitude");
        fix.horizontalAccuracy = arguments.size() > 2 ? parseNumber(arguments[2].text(), "accuracy") : 5.0;
        if (std::fabs(fix.latitude) > 90.0 || std::fabs(fix.longitude) > 180.0 || fix.horizontalAccuracy < 0.0)
            throw CommandError{"not a valid position"};
        fix.timestamp = facade->platform()->clock->now();
        softwareManager(facade)->receiveFix(fix);
        return Flow::Continue;
    });
    commands.emplace_back("enter", regionEvent(facade, true, Region::Kind::Circular, "enter <regionId>"));
    commands.emplace_back("exit", regionEvent(facade, false, Region::Kind::Circular, "exit <regionId>"));
    commands.emplace_back("enter-beacon", regionEvent(facade, true, Region::Kind::Beacon, "enter-beacon <regionId>"));
    commands.emplace_back("exit-beacon", regionEvent(facade, false, Region::Kind::Beacon, "exit-beacon <regionId>"));
    commands.emplace_back("refresh-regions", [facade](const Arguments& arguments) {
        expectCount(arguments, 0, 0, "refresh-regions");
        facade->refreshMonitoredRegionsToClosest();
        return Flow::Continue;
    });
    commands.emplace_back("reset-regions", [facade](const Arguments& arguments) {
        expectCount(arguments, 0, 0, "reset-regions");
        facade->resetMonitoringRegions();
        return Flow::Continue;
    });
    return commands;
}

LocationCommands::Named LocationCommands::showTargets(std::shared_ptr<QuorvelaCore> facade, Output& output) {
    Named targets;
    targets.emplace_back("regions", [facade, &output](const Arguments& arguments) {
        expectCount(arguments, 0, 0, "show regions");
        nlohmann::ordered_json regions{{"geofences", identifiers(facade->geoFencesList())},
                                       {"beacons", identifiers(facade->beaconsList())}};
        output.line("regions " + regions.dump());
        return Flow::Continue;
    });
    targets.emplace_back("monitored", [facade, &output](const Arguments& arguments) {
        expectCount(arguments, 0, 0, "show monitored");
        std::vector<std::string> ids;
        for (const auto& region : facade->monitoredGeoFences())
            if (region) ids.push_back(region->identifier());
        std::sort(ids.begin(), ids.end());
        output.line("monitored " + nlohmann::json(ids).dump());
        return Flow::Continue;
    });
    targets.emplace_back("location", [facade, &output](const Arguments& arguments) {
        expectCount(arguments, 0, 0, "show location");
        auto last = facade->quorvelaLastLocation();
        if (!last) {
            output.line("location null");
        } else {
            nlohmann::json position{{"latitude", last->latitude}, {"longitude", last->longitude}};
            output.line("location " + position.dump());
        }
        return Flow::Continue;
    });
    return targets;
}

}  // namespace quorvela::host
