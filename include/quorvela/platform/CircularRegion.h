#pragma once
// A circle on the earth's surface: centre in degrees, radius in metres.

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "quorvela/Export.h"
#include "quorvela/platform/Region.h"

namespace quorvela {

class QUORVELA_EXPORT CircularRegion final : public Region {
public:
    /// Nothing when the centre lies outside [-90, 90] x [-180, 180] or is not
    /// finite, or when the radius is negative or not finite.
    static std::shared_ptr<CircularRegion> make(double latitude, double longitude, double radius,
                                                std::string identifier) {
        if (!isValidCentre(latitude, longitude) || !std::isfinite(radius) || radius < 0.0) return nullptr;
        return std::shared_ptr<CircularRegion>(new CircularRegion(latitude, longitude, radius, std::move(identifier)));
    }

    static bool isValidCentre(double latitude, double longitude) {
        return std::isfinite(latitude) && std::isfinite(longitude) && latitude >= -90.0 && latitude <= 90.0 &&
               longitude >= -180.0 && longitude <= 180.0;
    }

    Kind kind() const override { return Kind::Circular; }
    double latitude() const { return latitude_; }
    double longitude() const { return longitude_; }
    double radius() const { return radius_; }

    bool isEqual(const Region& other) const override {
        if (other.kind() != Kind::Circular || other.identifier() != identifier()) return false;
        const auto& o = static_cast<const CircularRegion&>(other);
        return o.latitude_ == latitude_ && o.longitude_ == longitude_ && o.radius_ == radius_;
    }

    std::string description() const override {
        char buffer[128];
        std::snprintf(buffer, sizeof buffer, " <%+.8f,%+.8f> radius %.2f", latitude_, longitude_, radius_);
        return "CircularRegion (identifier:'" + identifier() + "', center:" + buffer + "m)";
    }

private:
    CircularRegion(double latitude, double longitude, double radius, std::string identifier)
        : Region(std::move(identifier)), latitude_(latitude), longitude_(longitude), radius_(radius) {}

    const double latitude_;
    const double longitude_;
    const double radius_;
};

}  // namespace quorvela
