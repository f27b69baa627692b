#pragma once
// A Bluetooth beacon region matching one proximity UUID, major and minor.

#include <cctype>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "quorvela/Export.h"
#include "quorvela/platform/Region.h"

namespace quorvela {

class QUORVELA_EXPORT BeaconRegion final : public Region {
public:
    /// Nothing when `proximityUUID` is not a canonical UUID text (32
    /// hexadecimal digits in groups of 8, 4, 4, 4 and 12 joined by hyphens).
    static std::shared_ptr<BeaconRegion> make(const std::string& proximityUUID, std::uint16_t major,
                                              std::uint16_t minor, std::string identifier) {
        auto uuid = canonicalUuid(proximityUUID);
        if (!uuid) return nullptr;
        return std::shared_ptr<BeaconRegion>(new BeaconRegion(std::move(*uuid), major, minor, std::move(identifier)));
    }

    /// The UUID in upper case, or nothing when the text is no canonical UUID.
    static std::optional<std::string> canonicalUuid(const std::string& text) {
        if (text.size() != 36) return std::nullopt;
        std::string out = text;
        for (std::size_t i = 0; i < out.size(); ++i) {
            const bool hyphen = i == 8 || i == 13 || i == 18 || i == 23;
            const auto c = static_cast<unsigned char>(out[i]);
            if (hyphen ? c != '-' : !std::isxdigit(c)) return std::nullopt;
            out[i] = static_cast<char>(std::toupper(c));
        }
        return out;
    }

    Kind kind() const override { return Kind::Beacon; }
    const std::string& proximityUUID() const { return proximityUUID_; }
    std::uint16_t major() const { return major_; }
    std::uint16_t minor() const { return minor_; }

    bool isEqual(const Region& other) const override {
        if (other.kind() != Kind::Beacon || other.identifier() != identifier()) return false;
        const auto& o = static_cast<const BeaconRegion&>(other);
        return o.proximityUUID_ == proximityUUID_ && o.major_ == major_ && o.minor_ == minor_;
    }

    std::string description() const override {
        return "BeaconRegion (identifier:'" + identifier() + "', uuid:" + proximityUUID_ +
               ", major:" + std::to_string(major_) + ", minor:" + std::to_string(minor_) + ")";
    }

private:
    BeaconRegion(std::string uuid, std::uint16_t major, std::uint16_t minor, std::string identifier)
        : Region(std::move(identifier)), proximityUUID_(std::move(uuid)), major_(major), minor_(minor) {}

    const std::string proximityUUID_;
    const std::uint16_t major_;
    const std::uint16_t minor_;
};

}  // namespace quorvela
