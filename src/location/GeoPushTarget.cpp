#include "location/GeoPushTarget.h"

#include <cctype>
#include <cmath>
#include <charconv>
#include <string_view>
#include <system_error>
#include <vector>

namespace quorvela {

namespace {

std::vector<std::string> splitFields(const std::string& text) {
    std::vector<std::string> fields;
    std::string::size_type at = 0;
    for (;;) {
        auto colon = text.find(':', at);
        fields.push_back(text.substr(at, colon == std::string::npos ? std::string::npos : colon - at));
        if (colon == std::string::npos) return fields;
        at = colon + 1;
    }
}

bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

}  // namespace

double GeoPushTarget::leadingNumber(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
    const std::size_t start = i;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    std::size_t digits = 0;
    while (i < text.size() && isDigit(text[i])) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && isDigit(text[i])) ++i, ++digits;
    }
    if (digits == 0) return 0.0;
    // An exponent counts only when digits follow it ("5e" reads as 5).
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        if (j < text.size() && isDigit(text[j])) {
            while (j < text.size() && isDigit(text[j])) ++j;
            i = j;
        }
    }
    // Only the scanned characters are converted (never "inf", "nan" or
    // hexadecimal forms), independent of the process's locale.
    const char* first = text.data() + start;
    const char* last = text.data() + i;
    const bool negative = *first == '-';
    if (*first == '+' || *first == '-') ++first;
    double value = 0.0;
    auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
    if (error == std::errc::result_out_of_range) {
        // Too small reads as 0, too large as an infinity.
        const std::string_view scanned(first, static_cast<std::size_t>(last - first));
        value = scanned.find("e-") != std::string_view::npos || scanned.find("E-") != std::string_view::npos
                    ? 0.0
                    : HUGE_VAL;
    } else if (error != std::errc()) {
        value = 0.0;
    }
    (void)end;
    return negative ? -value : value;
}

std::optional<GeoPushTarget> GeoPushTarget::parse(const std::string& msgID) {
    auto fields = splitFields(msgID);
    if (fields.size() < 5) return std::nullopt;
    GeoPushTarget target;
    target.messageId = fields[1];
    target.latitude = leadingNumber(fields[2]);
    target.longitude = leadingNumber(fields[3]);
    target.radius = leadingNumber(fields[4]);
    return target;
}

}  // namespace quorvela
