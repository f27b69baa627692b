#pragma once
// The little world the demonstration plays in: one application with its own
// (default) workspace and a runners' club, a walk along a street with a few
// geofences, a Bluetooth beacon in the bakery and the café's Wi-Fi network.
// Everything the seeding, the story and its checks must agree on lives here.

#include <array>
#include <cstdint>
#include <string_view>

namespace quorvela::host {

struct DemoWorld {
    static constexpr std::string_view kAppName = "Quorvela Demo";
    static constexpr std::string_view kPublicId = "demo-app";
    static constexpr std::string_view kPrivateKey = "demo-app-secret";
    static constexpr std::string_view kUser = "ana@example.org";

    // The default workspace: the application's own client id and key.
    static constexpr std::string_view kShopId = kPublicId;
    static constexpr std::string_view kShopName = "Demo Shop";
    static constexpr std::string_view kClubId = "runners-club";
    static constexpr std::string_view kClubName = "Runners Club";
    static constexpr std::string_view kClubKey = "runners-club-key";

    struct Place {
        std::string_view regionId;
        std::string_view name;
        double latitude;
        double longitude;
        int radius;
    };
    // Along one street (latitude 40.4168, a longitude step of 0.001 is about
    // 85 m); the station lies off the route and is never entered.
    static constexpr Place kBakery{"g-bakery", "Corner Bakery", 40.4168, -3.7000, 60};
    static constexpr Place kPark{"g-park", "City Park", 40.4168, -3.6960, 80};
    static constexpr Place kStation{"g-station", "North Station", 40.4300, -3.7000, 120};
    // Announced later by a CRT_REGION push.
    static constexpr Place kMarket{"g-market", "Farmers Market", 40.4180, -3.6940, 70};

    static constexpr std::string_view kBeaconId = "b-bakery";
    static constexpr std::string_view kBeaconName = "Bakery counter";
    static constexpr std::string_view kBeaconUuid = "E2C56DB5-DFFB-48D2-B060-D0F5A71096E0";
    static constexpr std::string_view kWifiBeaconId = "w-cafe";
    static constexpr std::string_view kWifiSsid = "Quorvela Cafe";
    static constexpr std::string_view kWifiBssid = "02:00:5e:10:00:01";

    struct Fix {
        std::string_view label;
        double latitude;
        double longitude;
    };
    // Each fix at least 50 m from the one before (so the library re-ranks its
    // regions) except the second, which only settles where the walk starts.
    static constexpr std::array<Fix, 7> kRoute{{
        {"at the start of the street", 40.4168, -3.7038},
        {"walking east", 40.4168, -3.7030},
        {"a few steps on", 40.4168, -3.7027},
        {"inside the Corner Bakery", 40.4168, -3.7000},
        {"past the bakery", 40.4168, -3.6980},
        {"inside the City Park", 40.4168, -3.6960},
        {"out of the park, near the café", 40.4168, -3.6940},
    }};
    static constexpr std::size_t kBakeryFix = 3;
    static constexpr std::size_t kAfterBakeryFix = 4;
    static constexpr std::size_t kParkFix = 5;
    static constexpr std::size_t kAfterParkFix = 6;

    /// The device's push token (what a platform push service would issue).
    static constexpr std::array<std::uint8_t, 32> pushToken() {
        std::array<std::uint8_t, 32> token{};
        for (std::size_t i = 0; i < token.size(); ++i) token[i] = static_cast<std::uint8_t>(0xA0 + 7 * i);
        return token;
    }

    static constexpr std::string_view kReplyText = "See you on Saturday!";
};

}  // namespace quorvela::host
