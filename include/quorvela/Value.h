#pragma once
// The property-list value model shared by the key-value store, the bundle,
// push payloads and record serialisation.

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "quorvela/Export.h"

namespace quorvela {

class QUORVELA_EXPORT Value {
public:
    enum class Kind { Null, Boolean, Integer, Real, Text, Data, Date, Array, Dictionary };

    using Data = std::vector<std::uint8_t>;
    using Array = std::vector<Value>;
    using Dictionary = std::map<std::string, Value>;
    /// A moment as seconds since 1970-01-01 00:00 UTC.
    struct Date {
        double secondsSince1970 = 0.0;
        bool operator==(const Date&) const = default;
    };

    Value() = default;
    Value(std::nullptr_t) {}
    Value(bool b) : v_(b) {}
    Value(int i) : v_(static_cast<std::int64_t>(i)) {}
    Value(long i) : v_(static_cast<std::int64_t>(i)) {}
    Value(long long i) : v_(static_cast<std::int64_t>(i)) {}
    Value(unsigned i) : v_(static_cast<std::int64_t>(i)) {}
    /// Sizes and counts; one beyond the signed 64-bit range becomes a real.
    Value(unsigned long i) : Value(static_cast<unsigned long long>(i)) {}
    Value(unsigned long long i) {
        if (i <= static_cast<unsigned long long>(INT64_MAX)) v_ = static_cast<std::int64_t>(i);
        else v_ = static_cast<double>(i);
    }
    Value(double d) : v_(d) {}
    Value(const char* s) : v_(std::string(s)) {}
    Value(std::string s) : v_(std::move(s)) {}
    Value(Data d) : v_(std::move(d)) {}
    Value(Date d) : v_(d) {}
    Value(Array a) : v_(std::move(a)) {}
    Value(Dictionary d) : v_(std::move(d)) {}

    Kind kind() const { return static_cast<Kind>(v_.index()); }
    bool isNull() const { return kind() == Kind::Null; }
    bool isNumber() const { return kind() == Kind::Boolean || kind() == Kind::Integer || kind() == Kind::Real; }

    /// Typed access: a pointer to the held value, or null when the kind differs.
    const bool* asBoolean() const { return std::get_if<bool>(&v_); }
    const std::int64_t* asInteger() const { return std::get_if<std::int64_t>(&v_); }
    const double* asReal() const { return std::get_if<double>(&v_); }
    const std::string* asText() const { return std::get_if<std::string>(&v_); }
    const Data* asData() const { return std::get_if<Data>(&v_); }
    const Date* asDate() const { return std::get_if<Date>(&v_); }
    const Array* asArray() const { return std::get_if<Array>(&v_); }
    const Dictionary* asDictionary() const { return std::get_if<Dictionary>(&v_); }
    Array* asArray() { return std::get_if<Array>(&v_); }
    Dictionary* asDictionary() { return std::get_if<Dictionary>(&v_); }

    /// Dictionary look-up; null when this is no dictionary or the key is absent.
    const Value* find(const std::string& key) const;

    /// The platform's lenient conversions: numbers as themselves; text read as
    /// the leading decimal number after white space (" 42abc" -> 42); a boolean
    /// text is true when it starts (after white space, a sign and zeros) with
    /// Y, y, T, t or a digit 1-9; everything else gives false / 0.
    bool boolValue() const;
    std::int64_t integerValue() const;
    double doubleValue() const;

    /// The text of the value: text as is, numbers as decimal digits (booleans
    /// as 1 or 0), null as "(null)", containers and data in a readable form.
    std::string describe() const;

    /// Text if this is text, otherwise nothing.
    std::optional<std::string> optionalText() const;

    bool operator==(const Value& other) const = default;

private:
    std::variant<std::monostate, bool, std::int64_t, double, std::string, Data, Date, Array, Dictionary> v_;
};

}  // namespace quorvela
