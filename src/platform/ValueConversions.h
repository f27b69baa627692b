#pragma once
// Conversions between Value and libplist / nlohmann::json, and the property
// list byte formats. Internal: keeps both libraries out of public headers.
//
// Property lists cannot hold a null: a null inside an array or dictionary is
// left out, a null at the top has no property list (nullptr / nothing).
// Property-list dates count seconds from 2001-01-01, Value::Date from 1970.
// libplist 2.2 keeps a date as seconds and microseconds: a binary plist keeps
// dates from 2001 on to the microsecond and earlier ones to the second; XML
// plists keep whole seconds. Text is cut at an embedded NUL (libplist takes
// C strings), and bytes that are not well-formed UTF-8 become U+FFFD both
// ways (libplist cannot read back what it writes for them).
//
// JSON has no data and no date: data goes out as {"data":"<base64>"} and a
// date as its seconds since 1970; reading JSON back maps objects, arrays,
// text, numbers, booleans and null one to one and reinterprets nothing.
//
// Every reader returns nothing for malformed input and never throws; that
// includes arrays and dictionaries nested deeper than kMaxPlistNesting (512),
// which libplist would recurse through until the stack overflows.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json_fwd.hpp>
#include <plist/plist.h>

#include "quorvela/Value.h"

namespace quorvela {

/// Owns a plist_t tree.
struct PlistDeleter {
    void operator()(void* node) const { plist_free(static_cast<plist_t>(node)); }
};
using PlistPtr = std::unique_ptr<void, PlistDeleter>;

/// Seconds from 1970-01-01 to 2001-01-01, the property-list epoch.
inline constexpr double kPlistEpochOffset = 978307200.0;

/// A new plist tree for the value (nullptr for a null).
PlistPtr toPlist(const Value& value);
/// The value of a plist tree; nothing for a null node or an unknown node type.
std::optional<Value> fromPlist(plist_t node);

/// Reads binary ("bplist00") or XML property-list bytes.
std::optional<Value> valueFromPlistBytes(std::string_view bytes);
std::optional<Value> valueFromBinaryPlist(std::string_view bytes);
std::optional<Value> valueFromXmlPlist(std::string_view bytes);
/// Writes the value as a binary / XML property list; nothing for a null.
std::optional<std::string> binaryPlistFromValue(const Value& value);
std::optional<std::string> xmlPlistFromValue(const Value& value);

nlohmann::json toJson(const Value& value);
/// Throws std::length_error for arrays and objects nested deeper than
/// kMaxPlistNesting.
Value fromJson(const nlohmann::json& json);
/// Parses JSON text; nothing when it is not valid JSON.
std::optional<Value> valueFromJsonText(std::string_view text);

/// Standard Base64 with padding (OpenSSL EVP).
std::string base64Encode(const Value::Data& data);
/// Nothing when `text` is not valid padded Base64.
std::optional<Value::Data> base64Decode(std::string_view text);

}  // namespace quorvela
