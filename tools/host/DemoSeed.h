#pragma once
// Seeds the embedded sandbox for the demonstration through its C++ API, and
// changes what it serves as the story goes on (a new geofence, a deleted
// beacon, a geo-targeted message).

#include <string>

namespace quorvela::sandbox {
class Sandbox;
}

namespace quorvela::host {

class DemoSeed {
public:
    explicit DemoSeed(sandbox::Sandbox& sandbox) : sandbox_(sandbox) {}

    /// The application, its default workspace and the club, three pending
    /// messages, the geofences along the route, a Bluetooth beacon in the
    /// shop and a Wi-Fi beacon in the club. Throws when the sandbox refuses.
    void seed();
    /// A one-line account of what `seed` put in.
    std::string describe() const;

    /// Adds the market geofence to the shop's list (announced by CRT_REGION).
    void addMarketGeofence();
    /// Drops the Bluetooth beacon from the shop's list (announced by DLT_BEACON).
    void removeBakeryBeacon();
    /// Queues the club's message that a geo-targeted push announces.
    void queueGeoMessage(const std::string& messageId);

    int geofenceCount() const;
    int beaconCount() const;
    int pendingCount() const;

private:
    void setGeofences(bool withMarket);
    void setShopBeacons(bool withBakeryBeacon);
    void queue(const std::string& clientId, const std::string& id, const std::string& subject, const std::string& text);

    sandbox::Sandbox& sandbox_;
};

}  // namespace quorvela::host
