#include "platform/ValueConversions.h"

#include "platform/PlistNesting.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <stdexcept>

#include <nlohmann/json.hpp>
#include <openssl/evp.h>

namespace quorvela {

namespace {

// plist_to_* / plist_from_* take 32-bit lengths.
constexpr std::size_t kMaxPlistBytes = std::numeric_limits<std::uint32_t>::max();

// libplist writes non-ASCII text as UTF-16 converted from UTF-8 and turns
// ill-formed UTF-8 into a file it cannot read back; such bytes become U+FFFD
// on the way in and out.
std::string wellFormedUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        auto c = static_cast<unsigned char>(text[i]);
        std::size_t length = c < 0x80                   ? 1
                             : (c >= 0xC2 && c <= 0xDF) ? 2
                             : (c >= 0xE0 && c <= 0xEF) ? 3
                             : (c >= 0xF0 && c <= 0xF4) ? 4
                                                        : 0;
        bool good = length > 0 && i + length <= text.size();
        for (std::size_t k = 1; good && k < length; ++k)
            good = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        if (good && length >= 3) {
            auto next = static_cast<unsigned char>(text[i + 1]);
            if (c == 0xE0) good = next >= 0xA0;       // overlong
            else if (c == 0xED) good = next < 0xA0;   // surrogates
            else if (c == 0xF0) good = next >= 0x90;  // overlong
            else if (c == 0xF4) good = next < 0x90;   // beyond U+10FFFF
        }
        if (good) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            out += "\xEF\xBF\xBD";
            ++i;
        }
    }
    return out;
}

PlistPtr dateNode(double secondsSince1970) {
    double t = secondsSince1970 - kPlistEpochOffset;
    if (!std::isfinite(t)) t = 0.0;
    // libplist 2.2 mangles the microseconds of dates before its epoch, so
    // those are rounded to whole seconds.
    double whole = t < 0 ? std::round(t) : std::floor(t);
    auto micros = t < 0 ? 0 : static_cast<std::int64_t>(std::llround((t - whole) * 1e6));
    if (micros >= 1000000) {
        whole += 1.0;
        micros -= 1000000;
    }
    constexpr double lo = std::numeric_limits<std::int32_t>::min();
    constexpr double hi = std::numeric_limits<std::int32_t>::max();
    if (whole < lo) whole = lo, micros = 0;
    if (whole > hi) whole = hi, micros = 0;
    return PlistPtr(plist_new_date(static_cast<std::int32_t>(whole), static_cast<std::int32_t>(micros)));
}

}  // namespace

PlistPtr toPlist(const Value& value) {
    switch (value.kind()) {
    case Value::Kind::Null: return nullptr;
    case Value::Kind::Boolean: return PlistPtr(plist_new_bool(*value.asBoolean() ? 1 : 0));
    case Value::Kind::Integer:
        // libplist keeps integers as 64-bit patterns; negatives come back intact.
        return PlistPtr(plist_new_uint(static_cast<std::uint64_t>(*value.asInteger())));
    case Value::Kind::Real: return PlistPtr(plist_new_real(*value.asReal()));
    case Value::Kind::Text: return PlistPtr(plist_new_string(wellFormedUtf8(*value.asText()).c_str()));
    case Value::Kind::Data: {
        const auto& data = *value.asData();
        return PlistPtr(plist_new_data(reinterpret_cast<const char*>(data.data()), data.size()));
    }
    case Value::Kind::Date: return dateNode(value.asDate()->secondsSince1970);
    case Value::Kind::Array: {
        PlistPtr array(plist_new_array());
        for (const auto& item : *value.asArray())
            if (auto node = toPlist(item)) plist_array_append_item(array.get(), node.release());
        return array;
    }
    case Value::Kind::Dictionary: {
        PlistPtr dict(plist_new_dict());
        for (const auto& [key, item] : *value.asDictionary())
            if (auto node = toPlist(item)) plist_dict_set_item(dict.get(), wellFormedUtf8(key).c_str(), node.release());
        return dict;
    }
    }
    return nullptr;
}

std::optional<Value> fromPlist(plist_t node) {
    if (!node) return std::nullopt;
    switch (plist_get_node_type(node)) {
    case PLIST_BOOLEAN: {
        std::uint8_t b = 0;
        plist_get_bool_val(node, &b);
        return Value(b != 0);
    }
    case PLIST_UINT: {
        std::uint64_t u = 0;
        plist_get_uint_val(node, &u);
        return Value(static_cast<long long>(u));
    }
    case PLIST_REAL: {
        double d = 0;
        plist_get_real_val(node, &d);
        return Value(d);
    }
    case PLIST_STRING: {
        std::uint64_t length = 0;
        const char* text = plist_get_string_ptr(node, &length);
        return Value(text ? wellFormedUtf8(std::string_view(text, length)) : std::string());
    }
    case PLIST_KEY: {
        char* text = nullptr;
        plist_get_key_val(node, &text);
        std::string result = text ? wellFormedUtf8(text) : "";
        std::free(text);
        return Value(std::move(result));
    }
    case PLIST_DATA: {
        char* bytes = nullptr;
        std::uint64_t length = 0;
        plist_get_data_val(node, &bytes, &length);
        Value::Data data(bytes, bytes + (bytes ? length : 0));
        std::free(bytes);
        return Value(std::move(data));
    }
    case PLIST_DATE: {
        std::int32_t sec = 0, usec = 0;
        plist_get_date_val(node, &sec, &usec);
        return Value(Value::Date{kPlistEpochOffset + sec + usec / 1e6});
    }
    case PLIST_UID: {
        // Only keyed archives use UIDs; their number is the useful part.
        std::uint64_t uid = 0;
        plist_get_uid_val(node, &uid);
        return Value(static_cast<long long>(uid));
    }
    case PLIST_ARRAY: {
        Value::Array array;
        std::uint32_t count = plist_array_get_size(node);
        array.reserve(count);
        for (std::uint32_t i = 0; i < count; ++i) {
            auto item = fromPlist(plist_array_get_item(node, i));
            if (!item) return std::nullopt;
            array.push_back(std::move(*item));
        }
        return Value(std::move(array));
    }
    case PLIST_DICT: {
        Value::Dictionary dict;
        plist_dict_iter iter = nullptr;
        plist_dict_new_iter(node, &iter);
        if (!iter) return Value(std::move(dict));
        bool good = true;
        for (;;) {
            char* key = nullptr;
            plist_t item = nullptr;
            plist_dict_next_item(node, iter, &key, &item);
            if (!key || !item) {
                std::free(key);
                break;
            }
            auto converted = fromPlist(item);
            if (converted) dict.insert_or_assign(wellFormedUtf8(key), std::move(*converted));
            std::free(key);
            if (!converted) {
                good = false;
                break;
            }
        }
        std::free(iter);
        if (!good) return std::nullopt;
        return Value(std::move(dict));
    }
    default: return std::nullopt;
    }
}

namespace {

// libplist 2.2 aborts (an assertion) when asked for a key or string holding
// a NUL byte, which a damaged file can produce. Its XML writer copies such
// text as it is, so a NUL in the XML form marks a tree that must not be read.
bool safeToRead(plist_t root) {
    if (!root) return false;
    auto type = plist_get_node_type(root);
    if (type != PLIST_DICT && type != PLIST_ARRAY && type != PLIST_STRING && type != PLIST_KEY) return true;
    char* xml = nullptr;
    std::uint32_t length = 0;
    plist_to_xml(root, &xml, &length);
    if (!xml) return false;
    bool clean = std::memchr(xml, '\0', length) == nullptr;
    plist_to_xml_free(xml);
    return clean;
}

}  // namespace

std::optional<Value> valueFromBinaryPlist(std::string_view bytes) {
    if (bytes.size() < 8 || bytes.size() > kMaxPlistBytes || std::memcmp(bytes.data(), "bplist00", 8) != 0)
        return std::nullopt;
    if (!binaryPlistNestingWithin(bytes)) return std::nullopt;
    plist_t root = nullptr;
    plist_from_bin(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &root);
    PlistPtr owner(root);
    if (!safeToRead(root)) return std::nullopt;
    return fromPlist(root);
}

std::optional<Value> valueFromXmlPlist(std::string_view bytes) {
    if (bytes.empty() || bytes.size() > kMaxPlistBytes || !xmlPlistNestingWithin(bytes)) return std::nullopt;
    plist_t root = nullptr;
    plist_from_xml(bytes.data(), static_cast<std::uint32_t>(bytes.size()), &root);
    PlistPtr owner(root);
    if (!safeToRead(root)) return std::nullopt;
    return fromPlist(root);
}

std::optional<Value> valueFromPlistBytes(std::string_view bytes) {
    if (bytes.size() >= 8 && std::memcmp(bytes.data(), "bplist00", 8) == 0) return valueFromBinaryPlist(bytes);
    return valueFromXmlPlist(bytes);
}

std::optional<std::string> binaryPlistFromValue(const Value& value) {
    auto root = toPlist(value);
    if (!root) return std::nullopt;
    char* bytes = nullptr;
    std::uint32_t length = 0;
    plist_to_bin(root.get(), &bytes, &length);
    if (!bytes) return std::nullopt;
    std::string result(bytes, length);
    plist_to_bin_free(bytes);
    return result;
}

std::optional<std::string> xmlPlistFromValue(const Value& value) {
    auto root = toPlist(value);
    if (!root) return std::nullopt;
    char* text = nullptr;
    std::uint32_t length = 0;
    plist_to_xml(root.get(), &text, &length);
    if (!text) return std::nullopt;
    std::string result(text, length);
    plist_to_xml_free(text);
    return result;
}

nlohmann::json toJson(const Value& value) {
    switch (value.kind()) {
    case Value::Kind::Null: return nullptr;
    case Value::Kind::Boolean: return *value.asBoolean();
    case Value::Kind::Integer: return *value.asInteger();
    case Value::Kind::Real: return *value.asReal();
    case Value::Kind::Text: return *value.asText();
    case Value::Kind::Data: return nlohmann::json{{"data", base64Encode(*value.asData())}};
    case Value::Kind::Date: return value.asDate()->secondsSince1970;
    case Value::Kind::Array: {
        auto array = nlohmann::json::array();
        for (const auto& item : *value.asArray()) array.push_back(toJson(item));
        return array;
    }
    case Value::Kind::Dictionary: {
        auto object = nlohmann::json::object();
        for (const auto& [key, item] : *value.asDictionary()) object[key] = toJson(item);
        return object;
    }
    }
    return nullptr;
}

namespace {

// Recursion is bounded like the plist readers' nesting: a hostile payload must
// not run the stack out.
Value fromJsonAt(const nlohmann::json& json, std::size_t depth) {
    if (depth > kMaxPlistNesting) throw std::length_error("JSON nested too deeply");
    switch (json.type()) {
    case nlohmann::json::value_t::boolean: return Value(json.get<bool>());
    case nlohmann::json::value_t::number_integer: return Value(static_cast<long long>(json.get<std::int64_t>()));
    case nlohmann::json::value_t::number_unsigned: {
        auto u = json.get<std::uint64_t>();
        if (u <= static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            return Value(static_cast<long long>(u));
        return Value(static_cast<double>(u));
    }
    case nlohmann::json::value_t::number_float: return Value(json.get<double>());
    case nlohmann::json::value_t::string: return Value(json.get<std::string>());
    case nlohmann::json::value_t::array: {
        Value::Array array;
        array.reserve(json.size());
        for (const auto& item : json) array.push_back(fromJsonAt(item, depth + 1));
        return Value(std::move(array));
    }
    case nlohmann::json::value_t::object: {
        Value::Dictionary dict;
        for (const auto& [key, item] : json.items()) dict.emplace(key, fromJsonAt(item, depth + 1));
        return Value(std::move(dict));
    }
    case nlohmann::json::value_t::binary: {
        const auto& bin = json.get_binary();
        return Value(Value::Data(bin.begin(), bin.end()));
    }
    default: return Value();
    }
}

}  // namespace

Value fromJson(const nlohmann::json& json) { return fromJsonAt(json, 0); }

std::optional<Value> valueFromJsonText(std::string_view text) {
    auto json = nlohmann::json::parse(text.begin(), text.end(), nullptr, false);
    if (json.is_discarded()) return std::nullopt;
    try {
        return fromJson(json);
    } catch (const std::length_error&) {
        return std::nullopt;
    }
}

std::string base64Encode(const Value::Data& data) {
    if (data.empty()) return {};
    std::string out(4 * ((data.size() + 2) / 3) + 1, '\0');
    int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), data.data(),
                                  static_cast<int>(data.size()));
    out.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return out;
}

std::optional<Value::Data> base64Decode(std::string_view text) {
    if (text.empty()) return Value::Data{};
    if (text.size() % 4 != 0 || text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max()))
        return std::nullopt;
    Value::Data out(3 * (text.size() / 4));
    int written = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                  static_cast<int>(text.size()));
    if (written < 0) return std::nullopt;
    // EVP_DecodeBlock counts padding as zero bytes.
    std::size_t padding = 0;
    if (text.back() == '=') ++padding;
    if (text.size() >= 2 && text[text.size() - 2] == '=') ++padding;
    out.resize(static_cast<std::size_t>(written) - padding);
    return out;
}

}  // namespace quorvela
