#pragma once
// Reads the texts a C caller hands in: a null pointer where text is
// required, and bytes that are not well-formed UTF-8, are refused with a
// reason naming the argument.

#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <type_traits>

namespace quorvela::c {

/// Thrown by the checks; the C entry points answer it with
/// QUORVELA_ERR_INVALID_ARGUMENT and its text.
struct InvalidArgument : std::invalid_argument {
    using std::invalid_argument::invalid_argument;
};

class ArgumentCheck {
public:
    /// The text; throws InvalidArgument for null or invalid UTF-8.
    static std::string required(const char* value, const char* name);
    /// Nothing for null; throws InvalidArgument for invalid UTF-8.
    static std::optional<std::string> optional(const char* value, const char* name);
    /// Throws InvalidArgument when `pointer` is null.
    static void present(const void* pointer, const char* name);
    /// The number a C caller stored in an enumeration, any int: read as
    /// bytes, since reading a value outside the enumerators as the
    /// enumeration is undefined in C++.
    template <typename Enum>
    static long enumValue(const Enum& field) {
        std::underlying_type_t<Enum> raw;
        std::memcpy(&raw, &field, sizeof raw);
        return static_cast<long>(raw);
    }
};

}  // namespace quorvela::c
