#include "c/ArgumentCheck.h"

#include "protocol/Utf8Text.h"

namespace quorvela::c {

std::string ArgumentCheck::required(const char* value, const char* name) {
    if (!value) throw InvalidArgument(std::string(name) + " is null");
    auto text = optional(value, name);
    return *text;
}

std::optional<std::string> ArgumentCheck::optional(const char* value, const char* name) {
    if (!value) return std::nullopt;
    std::string text(value);
    if (!Utf8Text::isValid(text)) throw InvalidArgument(std::string(name) + " is not valid UTF-8");
    return text;
}

void ArgumentCheck::present(const void* pointer, const char* name) {
    if (!pointer) throw InvalidArgument(std::string(name) + " is null");
}

}  // namespace quorvela::c
