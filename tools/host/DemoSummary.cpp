#include "DemoSummary.h"

#include <fmt/format.h>

#include <map>

#include "DemoDelegate.h"
#include "DemoProbe.h"
#include "model/WorkspaceRecord.h"
#include "sandbox/PushOutbox.h"
#include "sandbox/Sandbox.h"

namespace quorvela::host {

namespace {

struct EndpointCount {
    int requests = 0;
    int checked = 0;
    int verified = 0;
};

std::string unnamed(const std::string& operation) { return operation.empty() ? "(unrouted)" : operation; }

}  // namespace

DemoSummary::HostView DemoSummary::captureHost(const DemoProbe& probe, const DemoDelegate& delegate) {
    HostView view;
    for (const auto& id : probe.subscribedIds()) {
        auto workspace = probe.subscribed(id);
        if (!workspace) continue;
        view.workspaces.push_back({workspace->name().value_or("(null)"), id, workspace->getMessages().size(),
                                   workspace->getGeofences().size(), workspace->getBeacons().size()});
    }
    view.monitored = probe.monitored();
    view.readyCalls = delegate.readyCalls();
    for (const auto& [client, ids] : delegate.messagesByWorkspace())
        view.messagesHanded += static_cast<int>(ids.size());
    return view;
}

DemoSummary::SandboxView DemoSummary::captureSandbox(const DemoProbe& probe, sandbox::Sandbox& sandbox) {
    SandboxView view{sandbox.requests(), sandbox.analyticsEvents(), probe.locationReports(), probe.responses().size()};
    for (const auto& push : sandbox::PushOutbox(sandbox.state()).all()) {
        ++view.pushesSent;
        view.pushesCollected += push.delivered ? 1 : 0;
    }
    return view;
}

std::vector<std::string> DemoSummary::lines(const SandboxView& received, const HostView& host) {
    std::vector<std::string> out;
    out.push_back("What the sandbox received");
    // Endpoints in the order they were first called.
    std::vector<std::string> order;
    std::map<std::string, EndpointCount> counts;
    for (const auto& request : received.requests) {
        const std::string name = unnamed(request.operation);
        if (!counts.count(name)) order.push_back(name);
        auto& count = counts[name];
        ++count.requests;
        if (request.signatureOk) {
            ++count.checked;
            count.verified += *request.signatureOk ? 1 : 0;
        }
    }
    out.push_back(fmt::format("  {:<22}{:>9}  {}", "endpoint", "requests", "signatures verified"));
    int total = 0, checked = 0, verified = 0;
    for (const auto& name : order) {
        const auto& count = counts[name];
        total += count.requests;
        checked += count.checked;
        verified += count.verified;
        out.push_back(fmt::format("  {:<22}{:>9}  {}", name, count.requests,
                                  count.checked ? fmt::format("{} of {}", count.verified, count.checked) : "unsigned"));
    }
    out.push_back(fmt::format("  {:<22}{:>9}  {} of {}", "all", total, verified, checked));

    std::vector<std::string> eventOrder;
    std::map<std::string, int> events;
    for (const auto& event : received.events) {
        const std::string type = event.value("eventtype").value_or("(none)");
        if (!events.count(type)) eventOrder.push_back(type);
        ++events[type];
    }
    std::string eventText;
    for (const auto& type : eventOrder)
        eventText += fmt::format("{}{} {}", eventText.empty() ? "" : ", ", type, events[type]);
    out.push_back(
        fmt::format("  analytics events ({}): {}", received.events.size(), eventText.empty() ? "none" : eventText));

    out.push_back(fmt::format("  location reports ({}):", received.reports.size()));
    for (const auto& report : received.reports) {
        if (report.operation == "sendLocation") {
            out.push_back(fmt::format("    {:<6} {:<12} {:<12} {},{}  ({})", "ASKED", "LOCATION",
                                      report.requestId.value_or("(null)"), report.latitude, report.longitude,
                                      report.clientId));
        } else {
            out.push_back(fmt::format("    {:<6} {:<12} {:<12} {},{}  ({})", report.status.value_or("(null)"),
                                      report.regionType.value_or("(null)"), report.region.value_or("(null)"),
                                      report.latitude, report.longitude, report.clientId));
        }
    }
    out.push_back(fmt::format("  responses from the user: {}", received.responses));
    out.push_back(fmt::format("  pushes sent to the device: {} ({} collected by it)", received.pushesSent,
                              received.pushesCollected));

    out.push_back("");
    out.push_back("What the host saw (before unregistering)");
    out.push_back(fmt::format("  {:<32}{:>7}{:>11}{:>9}", "workspace", "inbox", "geofences", "beacons"));
    for (const auto& inbox : host.workspaces) {
        out.push_back(fmt::format("  {:<32}{:>7}{:>11}{:>9}", fmt::format("{} ({})", inbox.name, inbox.clientId),
                                  inbox.messages, inbox.geofences, inbox.beacons));
    }
    if (host.workspaces.empty()) out.push_back("  (no subscribed workspace)");
    std::string monitored;
    for (const auto& id : host.monitored) monitored += (monitored.empty() ? "" : ", ") + id;
    out.push_back(
        fmt::format("  monitored regions ({}): {}", host.monitored.size(), monitored.empty() ? "none" : monitored));
    out.push_back(fmt::format("  QuorvelaReady calls: {}; messages handed to the host: {}", host.readyCalls,
                              host.messagesHanded));
    return out;
}

}  // namespace quorvela::host
