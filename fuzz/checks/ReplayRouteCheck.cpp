// The route readers behind the replay location source (GPX and NMEA): every
// fix they return is usable.
#include <cmath>
#include <vector>

#include "FuzzChecks.h"
#include "platform/RouteParser.h"

namespace quorvela::fuzz {
namespace {

void expectUsable(const std::vector<Location>& fixes) {
    for (const auto& fix : fixes) {
        expect(std::isfinite(fix.latitude) && std::isfinite(fix.longitude), "a fix has a finite position");
        expect(std::fabs(fix.latitude) <= 90.0 && std::fabs(fix.longitude) <= 180.0, "a fix is on the globe");
        expect(fix.horizontalAccuracy >= 0.0, "a fix's accuracy is not negative");
        expect(std::isfinite(fix.timestamp), "a fix has a finite time");
        expect(fix.course < 360.0, "a fix's course is below 360");
    }
}

}  // namespace

void replayRoute(std::string_view text) {
    if (auto gpx = RouteParser::parseGpx(text)) expectUsable(*gpx);
    expectUsable(RouteParser::parseNmea(text));
    expectUsable(RouteParser::parse(text));
    if (text.size() >= 2) {
        const auto split = static_cast<std::size_t>(static_cast<unsigned char>(text[0])) % text.size();
        (void)RouteParser::parseNmeaCoordinate(text.substr(1, split), text.substr(split));
        (void)RouteParser::parseIsoTime(text.substr(1));
    }
}

}  // namespace quorvela::fuzz
