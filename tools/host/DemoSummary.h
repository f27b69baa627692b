#pragma once
// The table that ends the demonstration: what the sandbox received (requests
// per endpoint with their signature checks, analytics events, region and
// location reports, responses) and what the host saw (inboxes, region lists,
// monitored regions, delegate calls).

#include <memory>
#include <string>
#include <vector>

#include "sandbox/LocationStore.h"
#include "sandbox/SandboxRecords.h"

namespace quorvela::sandbox {
class Sandbox;
}

namespace quorvela::host {

class DemoProbe;
class DemoDelegate;

class DemoSummary {
public:
    struct Inbox {
        std::string name;
        std::string clientId;
        std::size_t messages = 0;
        std::size_t geofences = 0;
        std::size_t beacons = 0;
    };
    struct HostView {
        std::vector<Inbox> workspaces;
        std::vector<std::string> monitored;
        int readyCalls = 0;
        int messagesHanded = 0;
    };
    struct SandboxView {
        std::vector<sandbox::RequestRecord> requests;
        std::vector<sandbox::AnalyticsEvent> events;
        std::vector<sandbox::LocationReport> reports;
        std::size_t responses = 0;
        std::size_t pushesSent = 0;
        std::size_t pushesCollected = 0;
    };

    static HostView captureHost(const DemoProbe& probe, const DemoDelegate& delegate);
    static SandboxView captureSandbox(const DemoProbe& probe, sandbox::Sandbox& sandbox);

    /// The summary's lines.
    static std::vector<std::string> lines(const SandboxView& received, const HostView& host);
};

}  // namespace quorvela::host
