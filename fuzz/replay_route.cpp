// Feeds arbitrary bytes to the route readers behind the replay location
// source (GPX and NMEA), checking that every fix they return is usable.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/RouteParser.h"

namespace {

void check(const std::vector<quorvela::Location>& fixes) {
    for (const auto& fix : fixes) {
        if (!std::isfinite(fix.latitude) || !std::isfinite(fix.longitude)) __builtin_trap();
        if (std::fabs(fix.latitude) > 90.0 || std::fabs(fix.longitude) > 180.0) __builtin_trap();
        if (!(fix.horizontalAccuracy >= 0.0) || !std::isfinite(fix.timestamp)) __builtin_trap();
        if (fix.course >= 360.0) __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (auto gpx = quorvela::RouteParser::parseGpx(text)) check(*gpx);
    check(quorvela::RouteParser::parseNmea(text));
    check(quorvela::RouteParser::parse(text));
    if (size >= 2) {
        const auto split = static_cast<std::size_t>(data[0]) % size;
        (void)quorvela::RouteParser::parseNmeaCoordinate(text.substr(1, split), text.substr(split));
        (void)quorvela::RouteParser::parseIsoTime(text.substr(1));
    }
    return 0;
}
