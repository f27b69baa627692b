#pragma once
// The facade's side of a location report (an answer to a location request or
// a region event): forwards the outcome to the facade, which only logs it.
// Holds the facade strongly, as a loader holds its delegate, until the
// report's outcome has arrived.

#include <memory>

#include "protocol/LocationDelegate.h"

namespace quorvela {

class LocationHost;

class LocationReportDelegate : public LocationDelegate {
public:
    explicit LocationReportDelegate(std::shared_ptr<LocationHost> facade) : facade_(std::move(facade)) {}

    void LocationCallSuccess(bool successful, const std::optional<std::string>& message) override;
    void LocationCallReturnedError(const std::optional<std::string>& message) override;

private:
    const std::shared_ptr<LocationHost> facade_;
};

}  // namespace quorvela
