#pragma once
// The outcome of a location report (an answer to a location request, a region
// or a Wi-Fi event) is only logged. The flows that send reports derive from
// this and are the loaders' delegate themselves, sharing the core's ownership
// so that they live until the report's outcome has arrived.
#include <memory>
#include <optional>
#include <string>

#include "protocol/LocationDelegate.h"

namespace quorvela {

class LocationHost;

class LocationReportLog : public LocationDelegate {
public:
    /// "LocationDelegate: <message>" as a debug line.
    void LocationCallSuccess(bool successful, const std::optional<std::string>& message) override;
    /// "LocationDelegate Error: <message>" as a debug line.
    void LocationCallReturnedError(const std::optional<std::string>& message) override;

protected:
    explicit LocationReportLog(LocationHost& host) : host_(host) {}
    /// This flow as a loader's delegate, kept alive by `owner` (the core).
    std::shared_ptr<LocationDelegate> reportDelegate(std::shared_ptr<LocationHost> owner) {
        return std::shared_ptr<LocationDelegate>(std::move(owner), this);
    }

private:
    LocationHost& host_;
};

}  // namespace quorvela
