#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "CommandLine.h"
#include "LocationCommands.h"
#include "model/BeaconRecord.h"
#include "model/WorkspaceList.h"
#include "model/WorkspaceRecord.h"
#include "quorvela/Beacon.h"
#include "quorvela/platform/ManualNetworkMonitor.h"
#include "quorvela/platform/SoftwareLocationManager.h"

namespace quorvela::host {
namespace {

class LinesLog : public SystemLog {
public:
    void write(const std::string& line) override {
        std::lock_guard lock(mutex);
        lines.push_back(line);
    }
    bool contains(const std::string& text) {
        std::lock_guard lock(mutex);
        for (const auto& line : lines)
            if (line.find(text) != std::string::npos) return true;
        return false;
    }
    std::mutex mutex;
    std::vector<std::string> lines;
};

class LocationCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        PlatformOptions platformOptions;
        platformOptions.dataDir = folder.string();
        auto platform = Platform::makeDefault(platformOptions);
        platform->systemLog = log;
        platform->networkMonitor = std::make_shared<ManualNetworkMonitor>();
        facade = QuorvelaCore::create(platform);
        outputFile = std::tmpfile();
        output = std::make_unique<Output>(outputFile);
    }
    void TearDown() override {
        idle();
        output.reset();
        std::fclose(outputFile);
        std::filesystem::remove_all(folder);
    }
    void make(int authorization = 3) {
        HostOptions options;
        options.authorization = authorization;
        for (auto& [name, handler] : LocationCommands::make(facade, options)) handlers[name] = handler;
        for (auto& [name, handler] : LocationCommands::showTargets(facade, *output)) shows[name] = handler;
    }
    void idle() { facade->platform()->dispatcher->waitIdle(std::chrono::seconds(10)); }
    void run(const std::string& text) {
        auto line = CommandLine::parse(text);
        ASSERT_TRUE(line);
        if (line->command == "show") {
            auto arguments = line->arguments;
            std::string what = arguments.at(0).text();
            arguments.erase(arguments.begin());
            shows.at(what)(arguments);
        } else {
            handlers.at(line->command)(line->arguments);
        }
        idle();
    }
    std::string error(const std::string& text) {
        try {
            run(text);
        } catch (const CommandError& e) {
            return e.text;
        }
        return "(no error)";
    }
    std::vector<std::string> printed() {
        std::fflush(outputFile);
        std::rewind(outputFile);
        std::vector<std::string> lines;
        char buffer[1024];
        while (std::fgets(buffer, sizeof buffer, outputFile)) {
            std::string line(buffer);
            if (!line.empty() && line.back() == '\n') line.pop_back();
            lines.push_back(line);
        }
        std::fseek(outputFile, 0, SEEK_END);
        return lines;
    }
    SoftwareLocationManager& manager() {
        return dynamic_cast<SoftwareLocationManager&>(*facade->platform()->locationManager);
    }

    std::filesystem::path folder = std::filesystem::temp_directory_path() /
                                   ("qv-location-host-" + std::to_string(::getpid()));
    std::shared_ptr<LinesLog> log = std::make_shared<LinesLog>();
    std::shared_ptr<QuorvelaCore> facade;
    std::FILE* outputFile = nullptr;
    std::unique_ptr<Output> output;
    std::map<std::string, CommandTable::Handler> handlers;
    std::map<std::string, CommandTable::Handler> shows;
};

TEST_F(LocationCommandsTest, FixesReachTheLibraryOnlyWhileUpdatesRun) {
    make();
    run("location 10.5 -66.9");
    run("show location");
    facade->startStandardUpdates();
    idle();
    run("location 10.5 -66.9 12");
    run("show location");
    EXPECT_EQ(manager().location()->horizontalAccuracy, 12.0);
    run("authorize 2");
    run("location 11 -66.9");
    run("show location");
    EXPECT_EQ(printed(), (std::vector<std::string>{"location null", R"(location {"latitude":10.5,"longitude":-66.9})",
                                                   R"(location {"latitude":10.5,"longitude":-66.9})"}));
    EXPECT_TRUE(log->contains("Change Authorization status, new status: 2"));
    run("services off");
    EXPECT_FALSE(manager().locationServicesEnabled());
    run("services on");
    EXPECT_TRUE(manager().locationServicesEnabled());
}

TEST_F(LocationCommandsTest, AuthorizationOptionIsWhatTheRequestGrants) {
    make(4);
    facade->startStandardUpdates();
    idle();
    EXPECT_EQ(manager().authorizationStatus(), 4);
    EXPECT_FALSE(manager().isUpdatingLocation());
}

TEST_F(LocationCommandsTest, RegionsAndMonitoredSet) {
    make();
    auto workspace = WorkspaceRecord::create(facade->platform());
    workspace->setClientId("ws1");
    auto beacon = BeaconRecord::create();
    beacon->setRegionId("b1");
    beacon->setName("Door");
    beacon->setType("BEACON");
    beacon->setUuid("E2C56DB5-DFFB-48D2-B060-D0F5A71096E0");
    workspace->setBeacons({beacon});
    facade->workspacesSubscribed()->append(workspace);
    run("show regions");
    facade->startStandardUpdates();  // the granted authorization refreshes once
    idle();
    run("refresh-regions");
    run("show regions");
    run("show monitored");
    run("enter x-1");
    EXPECT_TRUE(log->contains("Error With Region: x-1, Reason: campaignName or Workspace are NULL"));
    run("exit-beacon b1");
    run("reset-regions");
    run("show monitored");
    EXPECT_EQ(printed(), (std::vector<std::string>{R"(regions {"geofences":[],"beacons":[]})",
                                                   R"(regions {"geofences":[],"beacons":["b1"]})",
                                                   R"(monitored ["b1"])", R"(monitored ["b1"])"}));
}

TEST_F(LocationCommandsTest, BadArguments) {
    make();
    EXPECT_EQ(error("location a 2"), "bad latitude: a");
    EXPECT_EQ(error("location 1 2 -3"), "not a valid position");
    EXPECT_EQ(error("location 91 2"), "not a valid position");
    EXPECT_EQ(error("location 1"), "usage: location <lat> <lon> [accuracy]");
    EXPECT_EQ(error("services maybe"), "usage: services on|off");
    EXPECT_EQ(error("authorize"), "usage: authorize <n>");
    EXPECT_EQ(error("enter"), "usage: enter <regionId>");
    EXPECT_EQ(error("show monitored now"), "usage: show monitored");
    EXPECT_EQ(error("refresh-regions now"), "usage: refresh-regions");
}

}  // namespace
}  // namespace quorvela::host
