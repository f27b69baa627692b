#include "platform/RouteParser.h"

#include <expat.h>

#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <regex>
#include <sstream>
#include <string>

#include <date/date.h>

namespace quorvela {

namespace {

// A whole decimal number (leading/trailing blanks allowed), finite.
std::optional<double> number(std::string_view text) {
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
    while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
    if (text.empty() || text.size() > 64) return std::nullopt;
    std::string copy(text);
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(copy.c_str(), &end);
    if (end != copy.c_str() + copy.size() || errno == ERANGE || !std::isfinite(value)) return std::nullopt;
    return value;
}

bool validPosition(double latitude, double longitude) {
    return latitude >= -90.0 && latitude <= 90.0 && longitude >= -180.0 && longitude <= 180.0;
}

std::string_view localName(const XML_Char* name) {
    std::string_view text(name);
    const auto colon = text.rfind(':');
    return colon == std::string_view::npos ? text : text.substr(colon + 1);
}

struct GpxReader {
    XML_Parser parser = nullptr;
    std::vector<Location> fixes;
    std::optional<Location> point;
    std::string text;
    bool pointValid = false;

    static void start(void* data, const XML_Char* name, const XML_Char** attributes) {
        auto& self = *static_cast<GpxReader*>(data);
        self.text.clear();
        const auto element = localName(name);
        if (element != "trkpt" && element != "rtept" && element != "wpt") return;
        std::optional<double> latitude, longitude;
        for (int i = 0; attributes[i] && attributes[i + 1]; i += 2) {
            const std::string_view key(attributes[i]);
            if (key == "lat") latitude = number(attributes[i + 1]);
            if (key == "lon") longitude = number(attributes[i + 1]);
        }
        Location fix;
        fix.horizontalAccuracy = RouteParser::kDefaultAccuracy;
        self.pointValid = latitude && longitude && validPosition(*latitude, *longitude);
        if (self.pointValid) {
            fix.latitude = *latitude;
            fix.longitude = *longitude;
        }
        self.point = fix;
    }

    static void end(void* data, const XML_Char* name) {
        auto& self = *static_cast<GpxReader*>(data);
        const auto element = localName(name);
        if (!self.point) return;
        Location& fix = *self.point;
        if (element == "trkpt" || element == "rtept" || element == "wpt") {
            if (self.pointValid) self.fixes.push_back(fix);
            self.point.reset();
        } else if (element == "ele") {
            if (auto value = number(self.text)) {
                fix.altitude = *value;
                fix.verticalAccuracy = RouteParser::kDefaultAccuracy;
            }
        } else if (element == "time") {
            if (auto value = RouteParser::parseIsoTime(self.text)) fix.timestamp = *value;
        } else if (element == "course") {
            if (auto value = number(self.text); value && *value >= 0.0 && *value < 360.0) fix.course = *value;
        } else if (element == "speed") {
            if (auto value = number(self.text); value && *value >= 0.0) fix.speed = *value;
        } else if (element == "hdop") {
            if (auto value = number(self.text); value && *value > 0.0)
                fix.horizontalAccuracy = *value * RouteParser::kAccuracyPerDop;
        }
        self.text.clear();
    }

    static void characters(void* data, const XML_Char* s, int length) {
        auto& self = *static_cast<GpxReader*>(data);
        // Only a point's child values are read; they are short.
        if (self.point && self.text.size() < 256) self.text.append(s, static_cast<std::size_t>(length));
    }

    static void entityDeclaration(void* data, const XML_Char*, int, const XML_Char*, int, const XML_Char*,
                                  const XML_Char*, const XML_Char*, const XML_Char*) {
        // Entities are never needed in a route; refusing them rules out expansion attacks.
        XML_StopParser(static_cast<GpxReader*>(data)->parser, XML_FALSE);
    }
};

// "hhmmss(.sss)" as seconds of the day.
std::optional<double> timeOfDay(std::string_view text) {
    if (text.size() < 6) return std::nullopt;
    for (int i = 0; i < 6; ++i)
        if (!std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
    const int hours = (text[0] - '0') * 10 + (text[1] - '0');
    const int minutes = (text[2] - '0') * 10 + (text[3] - '0');
    auto seconds = number(text.substr(4));
    if (hours > 23 || minutes > 59 || !seconds || *seconds < 0.0 || *seconds >= 61.0) return std::nullopt;
    return hours * 3600.0 + minutes * 60.0 + *seconds;
}

// "ddmmyy" as seconds since 1970 of that day's midnight (years 80-99 are 19xx).
std::optional<double> dayStart(std::string_view text) {
    if (text.size() != 6) return std::nullopt;
    for (char c : text)
        if (!std::isdigit(static_cast<unsigned char>(c))) return std::nullopt;
    const unsigned day = static_cast<unsigned>((text[0] - '0') * 10 + (text[1] - '0'));
    const unsigned month = static_cast<unsigned>((text[2] - '0') * 10 + (text[3] - '0'));
    const int shortYear = (text[4] - '0') * 10 + (text[5] - '0');
    const date::year_month_day ymd{date::year(shortYear >= 80 ? 1900 + shortYear : 2000 + shortYear),
                                   date::month(month), date::day(day)};
    if (!ymd.ok()) return std::nullopt;
    return static_cast<double>(date::sys_days(ymd).time_since_epoch().count()) * 86400.0;
}

// The checksum after "*" when there is one; false when it does not match.
bool checksumMatches(std::string_view sentence) {
    const auto star = sentence.find('*');
    if (star == std::string_view::npos) return true;
    unsigned expected = 0;
    const auto digits = sentence.substr(star + 1, 2);
    auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), expected, 16);
    if (error != std::errc() || end != digits.data() + 2) return false;
    unsigned sum = 0;
    for (char c : sentence.substr(1, star - 1)) sum ^= static_cast<unsigned char>(c);
    return sum == expected;
}

std::vector<std::string_view> fields(std::string_view sentence) {
    const auto star = sentence.find('*');
    if (star != std::string_view::npos) sentence = sentence.substr(0, star);
    std::vector<std::string_view> out;
    std::size_t begin = 1;  // after "$"
    for (;;) {
        const auto comma = sentence.find(',', begin);
        out.push_back(sentence.substr(begin, comma == std::string_view::npos ? std::string_view::npos : comma - begin));
        if (comma == std::string_view::npos) return out;
        begin = comma + 1;
    }
}

// Sentences of one moment (the same time field) make one fix.
struct NmeaReader {
    std::vector<Location> fixes;
    std::optional<Location> pending;
    std::string pendingTime;
    double secondsOfDay = 0.0;
    bool pendingHasDate = false;
    std::optional<double> lastDay;

    void flush() {
        if (pending) fixes.push_back(*pending);
        pending.reset();
        pendingTime.clear();
    }

    Location& fixAt(std::string_view time, double seconds) {
        if (!pending || pendingTime != time) {
            flush();
            pending.emplace();
            pending->horizontalAccuracy = RouteParser::kDefaultAccuracy;
            pendingTime = std::string(time);
            secondsOfDay = seconds;
            pendingHasDate = false;
            pending->timestamp = lastDay.value_or(0.0) + seconds;
        }
        return *pending;
    }

    // The coordinate reader takes either hemisphere pair; a latitude field
    // must carry N or S and a longitude field E or W.
    static std::optional<double> latitudeAt(std::string_view value, std::string_view hemisphere) {
        if (hemisphere != "N" && hemisphere != "S") return std::nullopt;
        return RouteParser::parseNmeaCoordinate(value, hemisphere);
    }
    static std::optional<double> longitudeAt(std::string_view value, std::string_view hemisphere) {
        if (hemisphere != "E" && hemisphere != "W") return std::nullopt;
        return RouteParser::parseNmeaCoordinate(value, hemisphere);
    }

    void gga(const std::vector<std::string_view>& f) {
        if (f.size() < 10) return;
        auto seconds = timeOfDay(f[1]);
        auto latitude = latitudeAt(f[2], f[3]);
        auto longitude = longitudeAt(f[4], f[5]);
        auto quality = number(f[6]);
        if (!seconds || !latitude || !longitude || !quality || *quality <= 0.0) return;
        Location& fix = fixAt(f[1], *seconds);
        fix.latitude = *latitude;
        fix.longitude = *longitude;
        if (auto hdop = number(f[8]); hdop && *hdop > 0.0)
            fix.horizontalAccuracy = *hdop * RouteParser::kAccuracyPerDop;
        if (auto altitude = number(f[9])) {
            fix.altitude = *altitude;
            fix.verticalAccuracy = fix.horizontalAccuracy * 1.5;
        }
    }

    void rmc(const std::vector<std::string_view>& f) {
        if (f.size() < 10 || f[2] != "A") return;
        auto seconds = timeOfDay(f[1]);
        auto latitude = latitudeAt(f[3], f[4]);
        auto longitude = longitudeAt(f[5], f[6]);
        if (!seconds || !latitude || !longitude) return;
        if (auto day = dayStart(f[9])) lastDay = *day;
        Location& fix = fixAt(f[1], *seconds);
        fix.latitude = *latitude;
        fix.longitude = *longitude;
        if (lastDay && !pendingHasDate) {
            fix.timestamp = *lastDay + secondsOfDay;
            pendingHasDate = true;
        }
        if (auto knots = number(f[7]); knots && *knots >= 0.0) fix.speed = *knots * RouteParser::kKnot;
        if (auto course = number(f[8]); course && *course >= 0.0 && *course < 360.0) fix.course = *course;
    }

    void sentence(std::string_view line) {
        if (line.size() < 7 || line.front() != '$' || !checksumMatches(line)) return;
        auto f = fields(line);
        if (f.empty() || f[0].size() != 5) return;
        const auto type = f[0].substr(2);
        if (type == "GGA") gga(f);
        if (type == "RMC") rmc(f);
    }
};

}  // namespace

std::optional<double> RouteParser::parseNmeaCoordinate(std::string_view value, std::string_view hemisphere) {
    const bool latitude = hemisphere == "N" || hemisphere == "S";
    if (!latitude && hemisphere != "E" && hemisphere != "W") return std::nullopt;
    const auto point = value.find('.');
    const std::size_t wholeDigits = point == std::string_view::npos ? value.size() : point;
    if (wholeDigits < 3 || wholeDigits > (latitude ? 4u : 5u)) return std::nullopt;
    for (std::size_t i = 0; i < wholeDigits; ++i)
        if (!std::isdigit(static_cast<unsigned char>(value[i]))) return std::nullopt;
    const auto degreeDigits = value.substr(0, wholeDigits - 2);
    auto minutes = number(value.substr(wholeDigits - 2));
    int degrees = 0;
    std::from_chars(degreeDigits.data(), degreeDigits.data() + degreeDigits.size(), degrees);
    if (!minutes || *minutes < 0.0 || *minutes >= 60.0) return std::nullopt;
    double result = degrees + *minutes / 60.0;
    if (result > (latitude ? 90.0 : 180.0)) return std::nullopt;
    if (hemisphere == "S" || hemisphere == "W") result = -result;
    return result;
}

std::optional<double> RouteParser::parseIsoTime(std::string_view text) {
    using namespace std::chrono;
    // The date parser turns some malformed fields into NaN seconds and then
    // converts them to an integer, which is undefined; only the documented
    // shape reaches it.
    static const std::regex shape(R"(\d{4}-\d{2}-\d{2}T\d{2}:\d{2}:\d{2}(\.\d{1,9})?(Z|[+-]\d{2}:\d{2})?)");
    const std::string value(text.substr(0, 64));
    if (!std::regex_match(value, shape)) return std::nullopt;
    for (const char* format : {"%FT%TZ", "%FT%T%Ez", "%FT%T"}) {
        std::istringstream in(value);
        date::sys_time<microseconds> moment;
        in >> date::parse(format, moment);
        if (!in.fail() && in.peek() == std::char_traits<char>::eof())
            return duration<double>(moment.time_since_epoch()).count();
    }
    return std::nullopt;
}

std::optional<std::vector<Location>> RouteParser::parseGpx(std::string_view text) {
    GpxReader reader;
    reader.parser = XML_ParserCreate("UTF-8");
    if (!reader.parser) return std::nullopt;
    XML_SetUserData(reader.parser, &reader);
    XML_SetElementHandler(reader.parser, &GpxReader::start, &GpxReader::end);
    XML_SetCharacterDataHandler(reader.parser, &GpxReader::characters);
    XML_SetEntityDeclHandler(reader.parser, &GpxReader::entityDeclaration);
    bool ok = true;
    // Fed in pieces: expat takes an int length.
    constexpr std::size_t kChunk = 1 << 20;
    do {
        const std::size_t size = std::min(text.size(), kChunk);
        const bool last = size == text.size();
        if (XML_Parse(reader.parser, text.data(), static_cast<int>(size), last ? XML_TRUE : XML_FALSE) !=
            XML_STATUS_OK) {
            ok = false;
            break;
        }
        text.remove_prefix(size);
    } while (!text.empty());
    XML_ParserFree(reader.parser);
    if (!ok) return std::nullopt;
    return std::move(reader.fixes);
}

std::vector<Location> RouteParser::parseNmea(std::string_view text) {
    NmeaReader reader;
    while (!text.empty()) {
        const auto newline = text.find('\n');
        auto line = text.substr(0, newline);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
        reader.sentence(line);
        if (newline == std::string_view::npos) break;
        text.remove_prefix(newline + 1);
    }
    reader.flush();
    return std::move(reader.fixes);
}

std::vector<Location> RouteParser::parse(std::string_view text) {
    std::string_view rest = text;
    if (rest.substr(0, 3) == "\xEF\xBB\xBF") rest.remove_prefix(3);
    while (!rest.empty() && std::isspace(static_cast<unsigned char>(rest.front()))) rest.remove_prefix(1);
    if (!rest.empty() && rest.front() == '<') return parseGpx(text).value_or(std::vector<Location>{});
    return parseNmea(text);
}

}  // namespace quorvela
