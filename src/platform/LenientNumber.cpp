#include "platform/LenientNumber.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <system_error>

namespace quorvela {

namespace {

bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// The decimal exponent of the scanned number's leading digit, roughly: only
// its sign matters, to tell an overflow from an underflow.
std::int64_t magnitude(std::string_view number) {
    std::int64_t position = 0;  // of the leading non-zero digit, relative to the point
    bool seenPoint = false, seenDigit = false;
    std::size_t i = 0;
    for (; i < number.size() && number[i] != 'e' && number[i] != 'E'; ++i) {
        if (number[i] == '.') {
            seenPoint = true;
        } else if (!seenDigit && number[i] == '0') {
            if (seenPoint) --position;
        } else if (!seenDigit) {
            seenDigit = true;
            if (seenPoint) --position;
        } else if (!seenPoint) {
            ++position;
        }
    }
    std::int64_t exponent = 0;
    if (i < number.size()) {
        const char* first = number.data() + i + 1;
        const bool negative = *first == '-';
        if (*first == '+' || *first == '-') ++first;
        auto [end, error] = std::from_chars(first, number.data() + number.size(), exponent);
        if (error == std::errc::result_out_of_range) exponent = INT64_MAX / 2;
        (void)end;
        if (negative) exponent = -exponent;
    }
    return position + exponent;
}

}  // namespace

double LenientNumber::leading(std::string_view text) {
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
    const char* first = text.data() + start;
    const char* last = text.data() + i;
    const bool negative = *first == '-';
    if (*first == '+' || *first == '-') ++first;
    double value = 0.0;
    auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
    (void)end;
    if (error == std::errc::result_out_of_range) {
        value = magnitude(std::string_view(first, static_cast<std::size_t>(last - first))) > 0 ? HUGE_VAL : 0.0;
    } else if (error != std::errc()) {
        value = 0.0;
    }
    return negative ? -value : value;
}

}  // namespace quorvela
