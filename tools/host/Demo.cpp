#include "Demo.h"

#include <fmt/format.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "DemoCafeChapter.h"
#include "DemoContext.h"
#include "DemoGoodbyeChapter.h"
#include "DemoPushChapter.h"
#include "DemoRouteChapter.h"
#include "DemoStartChapter.h"
#include "DemoSummary.h"
#include "DemoWorld.h"
#include "Output.h"
#include "StopSignal.h"
#include "platform/ValueConversions.h"
#include "sandbox/Sandbox.h"

namespace quorvela::host {

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// Bounded even after the story's budget is spent, so the whole run stays
// under a minute.
constexpr auto kFinalFlush = 5s;

std::string text(std::string_view view) { return std::string(view); }

// The demonstration's scratch folder (sandbox state and certificates, the
// bundle, the library's stores), removed at the end.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (fs::temp_directory_path() / "quorvela-demo-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) throw std::runtime_error("cannot make a temporary folder");
        path_ = pattern;
    }
    ~ScratchFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

void writeBundle(const fs::path& folder) {
    fs::create_directories(folder);
    const Value::Dictionary info{{"appName", text(DemoWorld::kAppName)},
                                 {"publicKey", text(DemoWorld::kPublicId)},
                                 {"privateKey", text(DemoWorld::kPrivateKey)},
                                 {"maxStoredMessages", 50}};
    const auto xml = xmlPlistFromValue(Value(info));
    if (!xml) throw std::runtime_error("cannot write the property list");
    std::ofstream out(folder / "Quorvela-Info.plist", std::ios::binary | std::ios::trunc);
    out << *xml;
    if (!out.flush()) throw std::runtime_error("cannot write " + (folder / "Quorvela-Info.plist").string());
}

}  // namespace

int Demo::run(bool linger) {
    const auto started = std::chrono::steady_clock::now();
    Output output(stdout);
    std::shared_ptr<QuorvelaCore> facade;
    DemoStory story(output,
                    [&facade](std::chrono::milliseconds timeout) { return facade ? facade->flush(timeout) : true; });
    story.title("Quorvela demo: the real library against an embedded sandbox, over HTTPS on loopback");

    story.chapter("Setting the stage");
    std::unique_ptr<ScratchFolder> scratch;
    sandbox::Sandbox sandbox;
    try {
        scratch = std::make_unique<ScratchFolder>();
        sandbox::SandboxOptions options;
        options.dataDir = scratch->path() / "sandbox";
        sandbox.start(options);
    } catch (const std::exception& error) {
        story.step("sandbox started", [&] { return DemoCheck::fail(error.what()); });
        return 1;
    }
    story.step("sandbox started", [&] {
        return DemoCheck::pass(
            fmt::format("https on {}, admin API on port {}, its own CA", sandbox.connectTo(), sandbox.adminPort()));
    });

    DemoSeed seed(sandbox);
    std::string problem;
    try {
        seed.seed();
        writeBundle(scratch->path() / "bundle");
    } catch (const std::exception& error) {
        problem = error.what();
    }
    if (!story.step("sandbox seeded, temporary bundle written", [&] {
            if (!problem.empty()) return DemoCheck::fail(problem);
            return DemoCheck::pass(seed.describe());
        })) {
        return 1;
    }

    PlatformOptions platformOptions;
    platformOptions.dataDir = (scratch->path() / "data").string();
    platformOptions.bundleDir = (scratch->path() / "bundle").string();
    platformOptions.http = sandbox.httpOptions();  // the real HTTPS client, verifying against the sandbox's CA
    auto platform = Platform::makeDefault(platformOptions);
    auto gps = std::make_shared<ManualLocationSource>(platform->clock);
    auto beacons = std::make_shared<ManualBeaconSource>();
    auto locationManager = SoftwareLocationManager::create(platform->dispatcher, gps, beacons);
    platform->locationManager = locationManager;
    auto wifi = std::make_shared<ManualWifiInfo>();
    auto network = std::make_shared<ManualNetworkMonitor>();
    platform->wifiInfo = wifi;
    platform->networkMonitor = network;
    const bool installed = Quorvela::installPlatform(platform);
    auto library = QuorvelaCore::shared();
    auto delegate = std::make_shared<DemoDelegate>();
    library->setDelegate(delegate);
    if (!story.step("library set up: HTTPS client, software location manager, manual Wi-Fi", [&] {
            if (!installed) return DemoCheck::fail("the shared instance existed before the demo's platform");
            return DemoCheck::pass(
                fmt::format("connections to {}, CA {}", sandbox.connectTo(), sandbox.caFile().filename().string()));
        })) {
        return 1;
    }
    facade = library;

    DemoProbe probe(sandbox, library, locationManager);
    const auto token = DemoWorld::pushToken();
    DemoPushService pushes(sandbox, Quorvela::NSDataToNSString({token.begin(), token.end()}));
    DemoCompletions completions;
    DemoContext demo{story,           seed, probe,   pushes, library, delegate, completions,
                     locationManager, gps,  beacons, wifi,   network};

    DemoStartChapter::play(demo);
    DemoRouteChapter::play(demo);
    DemoPushChapter::play(demo);
    DemoCafeChapter::play(demo);
    library->flush(kFinalFlush);
    const auto hostView = DemoSummary::captureHost(probe, *delegate);
    DemoGoodbyeChapter::play(demo);
    library->flush(kFinalFlush);

    story.chapter("Summary");
    for (const auto& line : DemoSummary::lines(DemoSummary::captureSandbox(probe, sandbox), hostView))
        output.line(line);

    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const auto failures = story.failures();
    output.line("");
    if (failures.empty()) {
        output.line(fmt::format("Result: all {} steps happened, in {:.1f} s", story.steps(), seconds));
    } else {
        output.line(
            fmt::format("Result: {} of {} steps FAILED, in {:.1f} s:", failures.size(), story.steps(), seconds));
        for (const auto& failure : failures) output.line("  - " + failure);
    }
    if (linger) {
        output.line("");
        output.line("The sandbox stays open; its console shows the story: " + sandbox.consoleUrl());
        output.line("Press Ctrl-C to stop.");
        StopSignal::wait();
    }
    sandbox.stop();
    return failures.empty() ? 0 : 1;
}

}  // namespace quorvela::host
