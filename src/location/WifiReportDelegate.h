#pragma once
// The facade's side of a Wi-Fi beacon report: the outcome is only written to
// the debug log. Holds the facade strongly, as a loader holds its delegate,
// until the report's outcome has arrived.

#include <memory>

#include "protocol/LocationDelegate.h"

namespace quorvela {

class LocationHost;

class WifiReportDelegate : public LocationDelegate {
public:
    explicit WifiReportDelegate(std::shared_ptr<LocationHost> facade) : facade_(std::move(facade)) {}

    /// Logs "LocationDelegate: <message>".
    void LocationCallSuccess(bool successful, const std::optional<std::string>& message) override;
    /// Logs "LocationDelegate Error: <message>".
    void LocationCallReturnedError(const std::optional<std::string>& message) override;

private:
    const std::shared_ptr<LocationHost> facade_;
};

}  // namespace quorvela
