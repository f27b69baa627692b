#include "quorvela/Value.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "platform/LenientNumber.h"

namespace quorvela {

namespace {

std::size_t skipSpace(const std::string& s, std::size_t i = 0) {
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
    return i;
}

std::int64_t leadingInteger(const std::string& s) {
    std::size_t i = skipSpace(s);
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
    std::int64_t result = 0;
    constexpr auto max = std::numeric_limits<std::int64_t>::max();
    for (; i < s.size() && std::isdigit(static_cast<unsigned char>(s[i])); ++i) {
        int digit = s[i] - '0';
        if (result > (max - digit) / 10) return negative ? std::numeric_limits<std::int64_t>::min() : max;
        result = result * 10 + digit;
    }
    return negative ? -result : result;
}

bool leadingBoolean(const std::string& s) {
    std::size_t i = skipSpace(s);
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    while (i < s.size() && s[i] == '0') ++i;
    if (i >= s.size()) return false;
    char c = s[i];
    return c == 'Y' || c == 'y' || c == 'T' || c == 't' || (c >= '1' && c <= '9');
}

std::string realText(double d) {
    if (std::isnan(d)) return "nan";
    if (std::isinf(d)) return d > 0 ? "inf" : "-inf";
    char buffer[64];
    auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, d);
    return ec == std::errc() ? std::string(buffer, end) : std::string("0");
}

}  // namespace

const Value* Value::find(const std::string& key) const {
    const auto* dict = asDictionary();
    if (!dict) return nullptr;
    auto it = dict->find(key);
    return it == dict->end() ? nullptr : &it->second;
}

bool Value::boolValue() const {
    switch (kind()) {
    case Kind::Boolean: return *asBoolean();
    case Kind::Integer: return *asInteger() != 0;
    case Kind::Real: return *asReal() != 0.0;
    case Kind::Text: return leadingBoolean(*asText());
    default: return false;
    }
}

std::int64_t Value::integerValue() const {
    switch (kind()) {
    case Kind::Boolean: return *asBoolean() ? 1 : 0;
    case Kind::Integer: return *asInteger();
    case Kind::Real: {
        double d = *asReal();
        if (!std::isfinite(d)) return 0;
        if (d >= 9.2e18) return std::numeric_limits<std::int64_t>::max();
        if (d <= -9.2e18) return std::numeric_limits<std::int64_t>::min();
        return static_cast<std::int64_t>(d);
    }
    case Kind::Text: return leadingInteger(*asText());
    default: return 0;
    }
}

double Value::doubleValue() const {
    switch (kind()) {
    case Kind::Boolean: return *asBoolean() ? 1.0 : 0.0;
    case Kind::Integer: return static_cast<double>(*asInteger());
    case Kind::Real: return *asReal();
    case Kind::Text: return LenientNumber::leading(*asText());
    default: return 0.0;
    }
}

std::optional<std::string> Value::optionalText() const {
    if (const auto* text = asText()) return *text;
    return std::nullopt;
}

std::string Value::describe() const {
    switch (kind()) {
    case Kind::Null: return "(null)";
    case Kind::Boolean: return *asBoolean() ? "1" : "0";
    case Kind::Integer: return std::to_string(*asInteger());
    case Kind::Real: return realText(*asReal());
    case Kind::Text: return *asText();
    case Kind::Data: {
        static const char* digits = "0123456789abcdef";
        std::string out = "<";
        for (std::size_t i = 0; i < asData()->size(); ++i) {
            if (i > 0 && i % 4 == 0) out += ' ';
            out += digits[(*asData())[i] >> 4];
            out += digits[(*asData())[i] & 15];
        }
        return out + ">";
    }
    case Kind::Date: return realText(asDate()->secondsSince1970);
    case Kind::Array: {
        std::string out = "(";
        for (std::size_t i = 0; i < asArray()->size(); ++i) out += (i ? ", " : "") + (*asArray())[i].describe();
        return out + ")";
    }
    case Kind::Dictionary: {
        std::string out = "{";
        bool first = true;
        for (const auto& [key, value] : *asDictionary()) {
            out += (first ? "" : "; ") + key + " = " + value.describe();
            first = false;
        }
        return out + "}";
    }
    }
    return "(null)";
}

}  // namespace quorvela
